#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <set>

#include "platform/append.h"
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

// The descriptors stay open on purpose: a lock goes with the process, also
// when it is killed. flock belongs to the open file, so each path is opened
// once.
bool HoldLock(const std::string& path) {
    static std::set<std::string> held;
    if (held.count(path) != 0) return true;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    held.insert(path);
    return true;
}

}  // namespace toolkit::platform
