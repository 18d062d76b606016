#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <string>
#include <utility>

#include "platform/append.h"
#include "platform/posix_fd.h"
#include "utils.h"

namespace toolkit::platform {

namespace {

std::string AppendError(const std::string& path, int error) {
    return "Impossible d'écrire dans « " + path + " » : " + SystemErrorText(error);
}

bool EndsWithLineEnd(int fd, off_t size) {
    if (size == 0) return true;
    char last = 0;
    return pread(fd, &last, 1, size - 1) == 1 && last == '\n';
}

}  // namespace

void AppendLines(const std::string& path, const std::string& bytes) {
    const int fd = open(path.c_str(),
                        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) throw FileError(AppendError(path, errno));
    struct stat info {};
    int error = 0;
    if (fstat(fd, &info) != 0) {
        error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        error = EINVAL;
    }
    if (error == 0) {
        // The file was opened write-only: its last byte is read through a
        // second descriptor.
        const int reader = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        const bool whole = reader >= 0 && EndsWithLineEnd(reader, info.st_size);
        if (reader >= 0) close(reader);
        // One write: a process killed during it has written all or nothing.
        const std::string text = whole ? bytes : "\n" + bytes;
        const ssize_t written = write(fd, text.data(), text.size());
        if (written < 0 || static_cast<std::size_t>(written) != text.size()) {
            error = written < 0 ? errno : EIO;
        } else if (fdatasync(fd) != 0) {
            error = errno;
        }
    }
    close(fd);
    if (error != 0) throw FileError(AppendError(path, error));
}

bool RenameOver(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Why the path, as it is now, may not be locked; empty when it may.
std::string LockRefusal(const struct stat& info) {
    if (!S_ISREG(info.st_mode)) return NotRegularText(info.st_mode);
    if (info.st_uid != geteuid()) return "il appartient à un autre utilisateur";
    return {};
}

}  // namespace

// The descriptors stay open on purpose: a lock goes with the process, also
// when it is killed. flock belongs to the open file, so each path is opened
// once while its file stays; a file deleted or replaced under its name is
// closed, which lets its lock go with it.
LockState HoldLock(const std::string& path) {
    static std::map<std::string, int> held;
    if (const auto found = held.find(path); found != held.end()) {
        struct stat locked {
        }, named{};
        if (fstat(found->second, &locked) == 0 && lstat(path.c_str(), &named) == 0 &&
            SameFile(locked, named)) {
            return {LockHold::Held, {}};
        }
        close(found->second);
        held.erase(found);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0) {
            if (std::string refusal = LockRefusal(info); !refusal.empty())
                return {LockHold::Refused, std::move(refusal)};
        }
        const int fd =
            open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
        if (fd < 0) {
            const int error = errno;
            if (error == ENOENT) continue;  // removed in between
            if (lstat(path.c_str(), &info) == 0 && !LockRefusal(info).empty())
                return {LockHold::Refused, LockRefusal(info)};
            return {LockHold::Refused, SystemErrorText(error)};
        }
        UniqueFd file(fd);
        if (fstat(fd, &info) != 0) return {LockHold::Refused, SystemErrorText(errno)};
        if (std::string refusal = LockRefusal(info); !refusal.empty())
            return {LockHold::Refused, std::move(refusal)};
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK || errno == EINTR) return {LockHold::HeldElsewhere, {}};
            return {LockHold::Refused, SystemErrorText(errno)};
        }
        // Between the open and the lock, the name may have gone to another file.
        struct stat named {};
        if (lstat(path.c_str(), &named) != 0 || !SameFile(named, info)) continue;
        held[path] = file.Release();
        return {LockHold::Held, {}};
    }
    return {LockHold::HeldElsewhere, {}};
}

}  // namespace toolkit::platform
