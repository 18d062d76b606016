// Files on POSIX: bounded reading and atomic replacement of list files, the
// private scratch folder, and the few file operations of the slot files.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>  // renameat2
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform.h"
#include "platform/posix_fd.h"
#include "platform/temporaries.h"
#include "tools.h"
#include "utils.h"

namespace toolkit::platform {

std::string NotRegularText(mode_t mode) {
    const char* kind = "un fichier spécial";
    if (S_ISLNK(mode)) kind = "un lien symbolique";
    if (S_ISDIR(mode)) kind = "un dossier";
    if (S_ISFIFO(mode)) kind = "un tube nommé";
    if (S_ISCHR(mode) || S_ISBLK(mode)) kind = "un périphérique";
    return std::string("c'est ") + kind + ", pas un fichier ordinaire";
}

namespace {

std::string WriteErrorText(const std::string& path, int error) {
    return "Impossible d'écrire le fichier « " + path + " » : " + SystemErrorText(error);
}

std::string OpenErrorText(const std::string& path, const std::string& reason) {
    return "Impossible d'ouvrir le fichier « " + path + " » : " + reason;
}

std::string ReadErrorText(const std::string& path, const std::string& reason) {
    return "Impossible de lire le fichier « " + path + " » : " + reason;
}

std::string SizeText(std::size_t bytes) {
    constexpr std::size_t kMebibyte = std::size_t{1} << 20;
    if (bytes % kMebibyte == 0) return std::to_string(bytes / kMebibyte) + " Mio";
    return std::to_string(bytes) + " octets";
}

// Closes the descriptor whatever way the reading ends.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Fd() const { return fd_; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

// A FIFO would block the reader until some writer comes, and a device such
// as /dev/zero never ends: both are refused before they are opened, and
// again on the descriptor (opened O_NONBLOCK, so that it never waits) in
// case the path changed in between.
void RefuseUnusualSource(const std::string& path, int fd) {
    struct stat info {};
    const int examined = fd < 0 ? stat(path.c_str(), &info) : fstat(fd, &info);
    if (examined != 0) {
        if (fd < 0) return;  // open() will say why
        throw FileError(ReadErrorText(path, SystemErrorText(errno)));
    }
    if (!S_ISREG(info.st_mode)) throw FileError(OpenErrorText(path, NotRegularText(info.st_mode)));
}

// Files of /proc announce a size of 0, so the bound is kept while reading.
std::string ReadAtMost(const Descriptor& file, const std::string& path, std::size_t maxBytes) {
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t count = read(file.Fd(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throw FileError(ReadErrorText(path, SystemErrorText(errno)));
        if (count == 0) return bytes;
        if (bytes.size() + static_cast<std::size_t>(count) > maxBytes) {
            throw FileError(ReadErrorText(path, "il dépasse " + SizeText(maxBytes)));
        }
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Renaming over a link, a FIFO or a device would replace that entry itself
// (hostping told to write /dev/null would turn it into a list file): only a
// missing or regular destination is replaced.
void RefuseUnusualDestination(const std::string& path) {
    struct stat existing {};
    if (lstat(path.c_str(), &existing) != 0 || S_ISREG(existing.st_mode)) return;
    throw FileError("Impossible d'écrire le fichier « " + path +
                    " » : " + NotRegularText(existing.st_mode) + " ; il est laissé tel quel.");
}

// A new list is created 0666 so that the kernel applies the umask (and any
// default ACL) itself; reading the umask would mean changing it, which races
// with threads. A replacement starts no wider than the file it replaces: a
// reader who opened it while it was wider would keep reading what follows.
mode_t CreationMode(const std::string& path) {
    struct stat existing {};
    if (stat(path.c_str(), &existing) != 0 || !S_ISREG(existing.st_mode)) return 0666;
    return existing.st_mode & 0777;
}

int CreateTemporary(const std::string& path, std::string& tempPath) {
    const mode_t mode = CreationMode(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = TemporaryPathFor(path);
        const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// The replaced list keeps the permissions the user gave it.
bool KeepExistingMode(int fd, const std::string& path) {
    struct stat existing {};
    if (stat(path.c_str(), &existing) != 0 || !S_ISREG(existing.st_mode)) return true;
    return fchmod(fd, existing.st_mode & 07777) == 0;
}

// Makes the rename itself durable; a failure here loses nothing already written.
void SyncFolder(const std::string& path) {
    const int dirFd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return;
    fsync(dirFd);
    close(dirFd);
}

[[noreturn]] void FailScratch(const std::string& message) {
    throw ScratchError(message);
}

struct ScratchChoice {
    std::string path;
    bool named;  // given by the user through KORVANE_SCRATCH
};

ScratchChoice ChooseScratch() {
    if (const char* own = std::getenv("KORVANE_SCRATCH"); own && *own) {
        // Commands run with the scratch folder as their working folder: a
        // relative path would then name another folder.
        if (own[0] != '/') {
            FailScratch(std::string("Le dossier de travail « ") + own +
                        " » (KORVANE_SCRATCH) n'est pas un chemin absolu : il est refusé.");
        }
        return {own, true};
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        return {std::string(runtime) + "/korvane", false};
    }
    return {"/tmp/korvane-" + std::to_string(geteuid()), false};
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// Parents of a folder the user named explicitly are created with the usual
// mode; only the last folder holds our work files and is made private.
void CreateParents(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0777);
    }
}

// O_NOFOLLOW: a link planted in a shared folder such as /tmp must not lead
// our work files elsewhere.
int OpenScratchFolder(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) return fd;
    const int error = errno;
    struct stat link {};
    if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        FailScratch("Le dossier de travail « " + path +
                    " » est un lien symbolique : il est refusé par sécurité.");
    }
    if (error == ENOTDIR) {
        FailScratch("Le dossier de travail « " + path + " » n'est pas un dossier.");
    }
    FailScratch("Impossible d'ouvrir le dossier de travail « " + path +
                " » : " + SystemErrorText(error));
}

// Returns an empty text when the folder is fit for use, else the reason.
std::string ScratchFolderProblem(int fd, const std::string& path) {
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        return "Impossible d'examiner le dossier de travail « " + path +
               " » : " + SystemErrorText(errno);
    }
    if (info.st_uid != geteuid()) {
        return "Le dossier de travail « " + path +
               " » appartient à un autre utilisateur : il est refusé par sécurité.";
    }
    // Work files hold addresses and names of the network: ours alone. An
    // existing folder is never changed (a shared one such as /tmp would lose
    // its sticky bit); one that others may enter is refused.
    if ((info.st_mode & 077) != 0) {
        return "Le dossier de travail « " + path +
               " » est ouvert aux autres utilisateurs : il est refusé par sécurité.";
    }
    return {};
}

void CheckScratchFolder(const std::string& path) {
    const int fd = OpenScratchFolder(path);
    const std::string problem = ScratchFolderProblem(fd, path);
    close(fd);
    if (!problem.empty()) FailScratch(problem);
}

}  // namespace

std::string ReadRegularFile(const std::string& path, std::size_t maxBytes) {
    RefuseUnusualSource(path, -1);
    const Descriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.Fd() < 0) throw FileError(OpenErrorText(path, SystemErrorText(errno)));
    RefuseUnusualSource(path, file.Fd());
    return ReadAtMost(file, path, maxBytes);
}

std::string ReadFilePart(const std::string& path, std::uint64_t offset, std::size_t maxBytes) {
    RefuseUnusualSource(path, -1);
    const Descriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.Fd() < 0) throw FileError(OpenErrorText(path, SystemErrorText(errno)));
    RefuseUnusualSource(path, file.Fd());
    // Sized by what the file holds now: a small file costs a small buffer.
    struct stat info {};
    if (fstat(file.Fd(), &info) != 0) throw FileError(ReadErrorText(path, SystemErrorText(errno)));
    const auto size = static_cast<std::uint64_t>(info.st_size);
    const std::size_t wanted =
        size > offset ? static_cast<std::size_t>(std::min<std::uint64_t>(size - offset, maxBytes))
                      : 0;
    std::string bytes(wanted, '\0');
    std::size_t got = 0;
    while (got < wanted) {
        const ssize_t count =
            pread(file.Fd(), bytes.data() + got, wanted - got, static_cast<off_t>(offset + got));
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throw FileError(ReadErrorText(path, SystemErrorText(errno)));
        if (count == 0) break;
        got += static_cast<std::size_t>(count);
    }
    bytes.resize(got);
    return bytes;
}

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return std::nullopt;
    const std::int64_t modified =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return FileStamp{static_cast<std::uint64_t>(info.st_size), modified,
                     static_cast<std::uint64_t>(info.st_ino)};
}

namespace {

// Writes the temporary that will replace `path`; returns its name. Throws
// FileError, leaving nothing behind.
std::string WriteReplacement(const std::string& path, const std::string& bytes) {
    RefuseUnusualDestination(path);
    std::string tempPath;
    const int fd = CreateTemporary(path, tempPath);
    if (fd < 0) throw FileError(WriteErrorText(path, errno));
    int error = 0;
    if (!WriteAll(fd, bytes) || !KeepExistingMode(fd, path) || fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error != 0) {
        unlink(tempPath.c_str());
        throw FileError(WriteErrorText(path, error));
    }
    return tempPath;
}

}  // namespace

void ReplaceFile(const std::string& path, const std::string& bytes) {
    ReplaceFiles({{path, bytes}});
}

// Created 0600 and set so again (an existing file's wider mode is not kept):
// no other user may open the temporary while it is written.
void ReplacePrivateFile(const std::string& path, const std::string& bytes) {
    RefuseUnusualDestination(path);
    std::string tempPath;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempPath = TemporaryPathFor(path);
        fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw FileError(WriteErrorText(path, errno));
    int error = 0;
    if (!WriteAll(fd, bytes) || fchmod(fd, 0600) != 0 || fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0) {
        try {
            RefuseUnusualDestination(path);
        } catch (const FileError&) {
            unlink(tempPath.c_str());
            throw;
        }
        if (rename(tempPath.c_str(), path.c_str()) != 0) error = errno;
    }
    if (error != 0) {
        unlink(tempPath.c_str());
        throw FileError(WriteErrorText(path, error));
    }
    SyncFolder(path);
}

void ReplaceFiles(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<std::string> temporaries;
    const auto removeTemporaries = [&temporaries](std::size_t from) {
        for (std::size_t i = from; i < temporaries.size(); ++i) unlink(temporaries[i].c_str());
    };
    std::size_t renamed = 0;
    try {
        for (const auto& [path, bytes] : files)
            temporaries.push_back(WriteReplacement(path, bytes));
        // Again at the last moment: a path may have changed while it was written.
        for (const auto& file : files) RefuseUnusualDestination(file.first);
        for (; renamed < files.size(); ++renamed) {
            if (rename(temporaries[renamed].c_str(), files[renamed].first.c_str()) != 0) {
                throw FileError(WriteErrorText(files[renamed].first, errno));
            }
        }
    } catch (const FileError&) {
        removeTemporaries(renamed);
        throw;
    }
    for (const auto& file : files) SyncFolder(file.first);
}

namespace {

std::string MarkerRefusal(const std::string& path, const std::string& reason) {
    return "Le marqueur « " + path + " » est refusé : " + reason +
           " ; il est laissé tel quel et aucune recherche n'est lancée.";
}

// Opens the marker, creating it when it is missing. `created` tells which.
int OpenMarker(const std::string& path, bool& created) {
    constexpr int kFlags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    created = true;
    int fd = open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = open(path.c_str(), kFlags);
    }
    if (fd >= 0) return fd;
    const int error = errno;
    struct stat info {};
    if (error == ENOENT) return -1;  // removed in between: try again
    if (lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        throw FileError(MarkerRefusal(path, NotRegularText(info.st_mode)));
    }
    throw FileError(MarkerRefusal(path, SystemErrorText(error)));
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::chrono::system_clock::time_point LastWriteOf(const struct stat& info) {
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(info.st_mtim.tv_sec) +
            std::chrono::nanoseconds(info.st_mtim.tv_nsec)));
}

}  // namespace

// The creator of the file waits for the lock: another process may hold it
// for the moment it takes to find the marker fresh. Any other process gives
// way at once to a holder, which is either the run going on or a creator's
// run about to start.
std::optional<int> ClaimRunMarker(
    const std::string& path,
    const std::function<bool(std::chrono::system_clock::time_point)>& stillBlocks) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        bool created = false;
        const int fd = OpenMarker(path, created);
        if (fd < 0) continue;
        Descriptor marker(fd);
        struct stat info {};
        if (fstat(fd, &info) != 0) throw FileError(MarkerRefusal(path, SystemErrorText(errno)));
        if (!S_ISREG(info.st_mode))
            throw FileError(MarkerRefusal(path, NotRegularText(info.st_mode)));
        if (flock(fd, created ? LOCK_EX : LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK || errno == EINTR) return std::nullopt;
            throw FileError(MarkerRefusal(path, SystemErrorText(errno)));
        }
        // A run that ended removed the file between our open and our lock.
        struct stat named {};
        if (stat(path.c_str(), &named) != 0 || !SameFile(named, info)) continue;
        if (!created) {
            if (fstat(fd, &info) != 0 || stillBlocks(LastWriteOf(info))) return std::nullopt;
            if (ftruncate(fd, 0) != 0 || futimens(fd, nullptr) != 0) {
                throw FileError(MarkerRefusal(path, SystemErrorText(errno)));
            }
        }
        return marker.Release();
    }
    return std::nullopt;
}

bool ReleaseRunMarker(int handle, const std::string& path, bool remove) {
    const Descriptor marker(handle);
    if (!remove) return true;
    struct stat claimed {
    }, named{};
    if (fstat(handle, &claimed) != 0 || stat(path.c_str(), &named) != 0) return true;
    if (!SameFile(claimed, named)) return true;  // someone else's marker now
    return unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::string PrepareScratchDir() {
    const ScratchChoice choice = ChooseScratch();
    const std::string path = WithoutTrailingSlashes(choice.path);
    if (choice.named) CreateParents(path);
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        FailScratch("Impossible de créer le dossier de travail « " + path +
                    " » : " + SystemErrorText(errno));
    }
    CheckScratchFolder(path);
    return path == "/" ? path : path + "/";
}

std::optional<bool> IsReadOnly(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return std::nullopt;
    return (info.st_mode & S_IWUSR) == 0;
}

bool SetReadOnly(const std::string& path) {
    return chmod(path.c_str(), 0444) == 0;
}

std::vector<std::string> ListFolder(const std::string& dir) {
    std::vector<std::string> names;
    DIR* folder = opendir(dir.c_str());
    if (folder == nullptr) return names;
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
    }
    closedir(folder);
    return names;
}

// unlink, not remove: a folder that happens to carry a slot file's name stays.
bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

int MakeFolder(const std::string& path) {
    const int made = mkdir(path.c_str(), 0700) == 0 ? 0 : errno;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return made != 0 ? made : errno;
    if (!S_ISDIR(info.st_mode)) return made != 0 && made != EEXIST ? made : ENOTDIR;
    return info.st_uid == geteuid() ? 0 : EACCES;
}

bool RemoveEmptyFolder(const std::string& path) {
    return rmdir(path.c_str()) == 0;
}

// O_NOFOLLOW: the folder's files are deleted through the folder itself, so a
// link put in its place never leads the deletion elsewhere.
bool RemoveFolderWithFiles(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    DIR* folder = fdopendir(fd);
    if (folder == nullptr) {
        close(fd);
        return false;
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    for (const std::string& name : names) unlinkat(dirfd(folder), name.c_str(), 0);
    closedir(folder);
    return rmdir(path.c_str()) == 0;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::optional<FileStatus> StatusOf(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return std::nullopt;
    return FileStatus{S_ISREG(info.st_mode), info.st_uid == geteuid(),
                      (info.st_mode & (S_IRWXG | S_IRWXO)) == 0, (info.st_mode & S_IRUSR) != 0};
}

// renameat2 with RENAME_NOREPLACE decides in one step, so no file that
// appears between a test and the rename is ever overwritten.
int MoveFileNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    return errno;
}

// --- leftovers and traces --------------------------------------------------

namespace {

// EPERM means the process exists but is someone else's: it still runs.
bool ProcessIsGone(pid_t pid) {
    return kill(pid, 0) != 0 && errno == ESRCH;
}

}  // namespace

std::string TemporaryPathFor(const std::string& path) {
    return TemporaryNameFor(path, getpid());
}

// A writer killed between its write and its rename leaves its temporary for
// good; one that still runs (netsweep writing a list right now) will rename
// or remove it itself. A process id reused since only keeps a leftover.
int RemoveStaleTemporaries(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return 0;
    int removed = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        const auto writer = static_cast<pid_t>(TemporaryWriter(name));
        if (writer <= 0 || !ProcessIsGone(writer)) continue;
        struct stat info {};
        if (fstatat(dirfd(dir), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(info.st_mode) && unlinkat(dirfd(dir), name.c_str(), 0) == 0) ++removed;
    }
    closedir(dir);
    return removed;
}

// O_NOFOLLOW and O_NONBLOCK: a link is refused and a FIFO never blocks the
// caller; the file is emptied only once it is known to be a regular one.
void WriteFileInPlace(const std::string& path, const std::string& bytes) {
    const std::string notRegular =
        "Impossible d'écrire le fichier « " + path + " » : ce n'est pas un fichier ordinaire";
    const int fd =
        open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int openError = errno;
        throw FileError(openError == ELOOP ? notRegular : WriteErrorText(path, openError));
    }
    struct stat info {};
    int error = fstat(fd, &info) != 0 ? errno : 0;
    if (error == 0 && !S_ISREG(info.st_mode)) {
        close(fd);
        throw FileError(notRegular);
    }
    if (error == 0 && (ftruncate(fd, 0) != 0 || !WriteAll(fd, bytes))) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error != 0) throw FileError(WriteErrorText(path, error));
}

const char* SystemErrorName(int error) {
    return strerrorname_np(error);
}

}  // namespace toolkit::platform
