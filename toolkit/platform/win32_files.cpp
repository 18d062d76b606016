// Files on Windows: bounded reading and atomic replacement of list files
// (ReplaceFile, MoveFileEx), the read-only attribute of the slot markers and
// the few file operations of the slots. Paths are UTF-8 here and UTF-16 at
// the wide calls, so that names with accents reach the disk as they are.

// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <windows.h>
// The platform layer's own ReplaceFile; the Win32 call is named ReplaceFileW below.
#undef ReplaceFile

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform.h"
#include "platform/temporaries.h"
#include "platform/win32_error.h"
#include "platform/win32_security.h"
#include "platform/win32_text.h"
#include "tools.h"
#include "utils.h"

namespace toolkit::platform {

// A link (reparse point) or a folder is not a list file; a device ("NUL",
// "COM1") is refused once opened, by its type.
std::string NotRegularText(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return "c'est un lien, pas un fichier ordinaire";
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "c'est un dossier, pas un fichier ordinaire";
    return "c'est un périphérique, pas un fichier ordinaire";
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

class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return handle_; }
    HANDLE Release() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool Close() {
        if (!Valid()) return true;
        const bool closed = CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

  private:
    HANDLE handle_;
};

std::optional<DWORD> AttributesOf(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return attributes;
}

bool IsOrdinary(DWORD attributes) {
    return (attributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
}

// Opened without following a link, sharing as other readers and writers
// expect (a list being replaced by the other program meanwhile).
HANDLE OpenFile(const std::string& path, DWORD access, DWORD disposition) {
    return CreateFileW(Wide(path).c_str(), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool IsDiskFile(const Handle& file) {
    return GetFileType(file.Get()) == FILE_TYPE_DISK;
}

bool WriteAll(const Handle& file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr)) return false;
        done += written;
    }
    return true;
}

// Windows moves the last-write time only when bytes change: rewriting an
// empty file (netsweep renewing its run marker) would leave it old.
bool TouchNow(const Handle& file) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return SetFileTime(file.Get(), nullptr, nullptr, &now) != 0;
}

void RefuseUnusualDestination(const std::string& path) {
    const auto attributes = AttributesOf(path);
    if (!attributes || IsOrdinary(*attributes)) return;
    throw FileError("Impossible d'écrire le fichier « " + path +
                    " » : " + NotRegularText(*attributes) + " ; il est laissé tel quel.");
}

// The new content is whole on the disk before it takes the list's name.
void WriteTemporary(const std::string& tempPath, const std::string& bytes,
                    const std::string& path) {
    Handle file(CreateFileW(Wide(tempPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) throw FileError(WriteErrorText(path, LastErrno()));
    int error = 0;
    if (!WriteAll(file, bytes) || !FlushFileBuffers(file.Get())) error = LastErrno();
    if (!file.Close() && error == 0) error = LastErrno();
    if (error != 0) {
        DeleteFileW(Wide(tempPath).c_str());
        throw FileError(WriteErrorText(path, error));
    }
}

// ReplaceFile keeps the replaced list's attributes and security; a list that
// does not exist yet simply takes its name (MoveFileEx).
bool PutInPlace(const std::string& tempPath, const std::string& path) {
    const std::wstring from = Wide(tempPath);
    const std::wstring to = Wide(path);
    if (AttributesOf(path) && ::ReplaceFileW(to.c_str(), from.c_str(), nullptr,
                                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        return true;
    }
    return MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool ProcessIsGone(std::int64_t pid) {
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;
    const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
    return folder;
}

}  // namespace

std::string ReadRegularFile(const std::string& path, std::size_t maxBytes) {
    if (const auto attributes = AttributesOf(path); attributes && !IsOrdinary(*attributes)) {
        throw FileError(OpenErrorText(path, NotRegularText(*attributes)));
    }
    const Handle file(OpenFile(path, GENERIC_READ, OPEN_EXISTING));
    if (!file.Valid()) throw FileError(OpenErrorText(path, SystemErrorText(LastErrno())));
    if (!IsDiskFile(file)) throw FileError(OpenErrorText(path, NotRegularText(0)));
    std::string bytes;
    char buffer[65536];
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file.Get(), buffer, sizeof buffer, &count, nullptr)) {
            throw FileError(ReadErrorText(path, SystemErrorText(LastErrno())));
        }
        if (count == 0) return bytes;
        if (bytes.size() + count > maxBytes) {
            throw FileError(ReadErrorText(path, "il dépasse " + SizeText(maxBytes)));
        }
        bytes.append(buffer, count);
    }
}

std::string ReadFilePart(const std::string& path, std::uint64_t offset, std::size_t maxBytes) {
    if (const auto attributes = AttributesOf(path); attributes && !IsOrdinary(*attributes)) {
        throw FileError(OpenErrorText(path, NotRegularText(*attributes)));
    }
    const Handle file(OpenFile(path, GENERIC_READ, OPEN_EXISTING));
    if (!file.Valid()) throw FileError(OpenErrorText(path, SystemErrorText(LastErrno())));
    if (!IsDiskFile(file)) throw FileError(OpenErrorText(path, NotRegularText(0)));
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN)) {
        throw FileError(ReadErrorText(path, SystemErrorText(LastErrno())));
    }
    // Sized by what the file holds now: a small file costs a small buffer.
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) {
        throw FileError(ReadErrorText(path, SystemErrorText(LastErrno())));
    }
    const auto held = static_cast<std::uint64_t>(size.QuadPart);
    const std::size_t wanted =
        held > offset ? static_cast<std::size_t>(std::min<std::uint64_t>(held - offset, maxBytes))
                      : 0;
    std::string bytes(wanted, '\0');
    std::size_t got = 0;
    while (got < wanted) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wanted - got, 1 << 20));
        DWORD count = 0;
        if (!ReadFile(file.Get(), bytes.data() + got, chunk, &count, nullptr)) {
            throw FileError(ReadErrorText(path, SystemErrorText(LastErrno())));
        }
        if (count == 0) break;
        got += count;
    }
    bytes.resize(got);
    return bytes;
}

std::optional<FileStamp> StampOf(const std::string& path) {
    const Handle file(
        CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.Valid() || !GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
    const auto join = [](DWORD high, DWORD low) {
        return (static_cast<std::uint64_t>(high) << 32) | low;
    };
    return FileStamp{join(info.nFileSizeHigh, info.nFileSizeLow),
                     static_cast<std::int64_t>(join(info.ftLastWriteTime.dwHighDateTime,
                                                    info.ftLastWriteTime.dwLowDateTime)),
                     join(info.nFileIndexHigh, info.nFileIndexLow)};
}

void ReplaceFile(const std::string& path, const std::string& bytes) {
    RefuseUnusualDestination(path);
    const std::string tempPath = TemporaryPathFor(path);
    WriteTemporary(tempPath, bytes, path);
    // Again at the last moment: the path may have changed while it was written.
    try {
        RefuseUnusualDestination(path);
    } catch (const FileError&) {
        DeleteFileW(Wide(tempPath).c_str());
        throw;
    }
    if (!PutInPlace(tempPath, path)) {
        const int error = LastErrno();
        DeleteFileW(Wide(tempPath).c_str());
        throw FileError(WriteErrorText(path, error));
    }
}

// The user's program folder (%LOCALAPPDATA%) is private to the user already.
void ReplacePrivateFile(const std::string& path, const std::string& bytes) {
    ReplaceFile(path, bytes);
}

// Every temporary is written, and every destination checked, before the
// first list takes its new content, so a failure keeps all the old lists.
void ReplaceFiles(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<std::string> temporaries;
    std::size_t placed = 0;
    const auto removeTemporaries = [&temporaries, &placed] {
        for (std::size_t i = placed; i < temporaries.size(); ++i)
            DeleteFileW(Wide(temporaries[i]).c_str());
    };
    try {
        for (const auto& file : files) RefuseUnusualDestination(file.first);
        for (const auto& [path, bytes] : files) {
            temporaries.push_back(TemporaryPathFor(path));
            WriteTemporary(temporaries.back(), bytes, path);
        }
        for (const auto& file : files) RefuseUnusualDestination(file.first);
        for (; placed < files.size(); ++placed) {
            if (!PutInPlace(temporaries[placed], files[placed].first)) {
                throw FileError(WriteErrorText(files[placed].first, LastErrno()));
            }
        }
    } catch (const FileError&) {
        removeTemporaries();
        throw;
    }
}

namespace {

std::string MarkerRefusal(const std::string& path, const std::string& reason) {
    return "Le marqueur « " + path + " » est refusé : " + reason +
           " ; il est laissé tel quel et aucune recherche n'est lancée.";
}

std::chrono::system_clock::time_point TimePointOf(const FILETIME& time) {
    // FILETIME counts 100 ns steps from 1601-01-01; the system clock from 1970.
    constexpr std::int64_t kEpochDifference = 116444736000000000LL;
    const std::int64_t ticks =
        (static_cast<std::int64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime) -
        kEpochDifference;
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::nanoseconds(ticks * 100)));
}

}  // namespace

// The marker is held open without sharing for the whole run: no other process
// can open it meanwhile, and the hold ends with the process however it ends.
// Kernel handles keep their meaning in 32 bits, so one fits the int handle.
std::optional<int> ClaimRunMarker(
    const std::string& path,
    const std::function<bool(std::chrono::system_clock::time_point)>& stillBlocks) {
    if (const auto attributes = AttributesOf(path); attributes && !IsOrdinary(*attributes)) {
        throw FileError(MarkerRefusal(path, NotRegularText(*attributes)));
    }
    HANDLE raw =
        CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    const DWORD opened = GetLastError();
    if (raw == INVALID_HANDLE_VALUE) {
        if (opened == ERROR_SHARING_VIOLATION) return std::nullopt;
        throw FileError(MarkerRefusal(path, SystemErrorText(LastErrno())));
    }
    Handle marker(raw);
    if (!IsDiskFile(marker)) throw FileError(MarkerRefusal(path, NotRegularText(0)));
    if (opened == ERROR_ALREADY_EXISTS) {
        FILETIME written{};
        if (!GetFileTime(marker.Get(), nullptr, nullptr, &written)) {
            throw FileError(MarkerRefusal(path, SystemErrorText(LastErrno())));
        }
        if (stillBlocks(TimePointOf(written))) return std::nullopt;
        if (!SetEndOfFile(marker.Get()) || !TouchNow(marker)) {
            throw FileError(MarkerRefusal(path, SystemErrorText(LastErrno())));
        }
    }
    const HANDLE held = marker.Release();
    return static_cast<int>(reinterpret_cast<std::intptr_t>(held));
}

bool ReleaseRunMarker(int handle, const std::string& path, bool remove) {
    CloseHandle(reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle)));
    if (!remove) return true;
    return DeleteFileW(Wide(path).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
           GetLastError() == ERROR_SHARING_VIOLATION;
}

// A Windows program folder is the one the user installed it in, as it has
// always been there: one folder per installation, no shared copy to leave.
// The batch files name its programs: a folder named with a character that
// the console's code page lacks ("Lœtitia") goes by its short form.
std::string UserProgramDir(const std::string& installedDir) {
    return Utf8(NameForBatchFiles(Wide(installedDir)));
}

std::string TemporaryPathFor(const std::string& path) {
    return TemporaryNameFor(path, static_cast<std::int64_t>(GetCurrentProcessId()));
}

// The temporaries' names start with ".", which ListFolder leaves out.
int RemoveStaleTemporaries(const std::string& folder) {
    int removed = 0;
    const std::string prefix = WithSeparator(folder);
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileW(Wide(prefix + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        const std::string name = Utf8(entry.cFileName);
        const std::int64_t writer = TemporaryWriter(name);
        if (writer <= 0 || !IsOrdinary(entry.dwFileAttributes) || !ProcessIsGone(writer)) continue;
        if (DeleteFileW(Wide(prefix + name).c_str())) ++removed;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return removed;
}

void WriteFileInPlace(const std::string& path, const std::string& bytes) {
    const std::string notRegular =
        "Impossible d'écrire le fichier « " + path + " » : ce n'est pas un fichier ordinaire";
    if (const auto attributes = AttributesOf(path); attributes && !IsOrdinary(*attributes)) {
        throw FileError(notRegular);
    }
    Handle file(OpenFile(path, GENERIC_WRITE, OPEN_ALWAYS));
    if (!file.Valid()) throw FileError(WriteErrorText(path, LastErrno()));
    if (!IsDiskFile(file)) throw FileError(notRegular);
    int error = 0;
    if (!SetEndOfFile(file.Get()) || !WriteAll(file, bytes) || !TouchNow(file)) error = LastErrno();
    if (!file.Close() && error == 0) error = LastErrno();
    if (error != 0) throw FileError(WriteErrorText(path, error));
}

std::optional<bool> IsReadOnly(const std::string& path) {
    const auto attributes = AttributesOf(path);
    if (!attributes) return std::nullopt;
    return (*attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool SetReadOnly(const std::string& path) {
    const auto attributes = AttributesOf(path);
    return attributes &&
           SetFileAttributesW(Wide(path).c_str(), *attributes | FILE_ATTRIBUTE_READONLY);
}

std::vector<std::string> ListFolder(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileW(Wide(WithSeparator(dir) + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (entry.cFileName[0] != L'.') names.push_back(Utf8(entry.cFileName));
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

// As on POSIX, a read-only file goes too (a marker whose script never ran);
// a folder never does.
bool RemoveFile(const std::string& path) {
    const auto attributes = AttributesOf(path);
    if (!attributes || (*attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (*attributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesW(Wide(path).c_str(), *attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    return DeleteFileW(Wide(path).c_str()) != 0;
}

// Made without rules of its own, the folder takes those its parent (the
// scratch folder, private) gives its children.
int MakeFolder(const std::string& path) {
    const int made = CreateDirectoryW(Wide(path).c_str(), nullptr) ? 0 : LastErrno();
    const auto attributes = AttributesOf(path);
    if (!attributes) return made != 0 ? made : LastErrno();
    if ((*attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (*attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return made != 0 && made != EEXIST ? made : ENOTDIR;
    }
    return 0;
}

bool RemoveEmptyFolder(const std::string& path) {
    return RemoveDirectoryW(Wide(path).c_str()) != 0;
}

// A junction or a symbolic link in the folder goes as a link: RemoveDirectory
// and DeleteFile act on the link itself, never on what it leads to.
bool RemoveFolderWithFiles(const std::string& path) {
    const auto attributes = AttributesOf(path);
    if (!attributes || (*attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (*attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return false;
    }
    const std::string prefix = WithSeparator(path);
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileW(Wide(prefix + "*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring full = Wide(prefix) + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    RemoveDirectoryW(full.c_str());
                continue;
            }
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
                SetFileAttributesW(full.c_str(),
                                   entry.dwFileAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
            }
            DeleteFileW(full.c_str());
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    return RemoveDirectoryW(Wide(path).c_str()) != 0;
}

bool FileExists(const std::string& path) {
    const auto attributes = AttributesOf(path);
    return attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Private to its owner: its access list lets in no one but the user, the
// system and the administrators, who may open any file anyway (OpenSSH for
// Windows keeps to the same rule for a key). A file whose rules cannot be
// read is no one's and open to all.
std::optional<FileStatus> StatusOf(const std::string& path) {
    const auto attributes = AttributesOf(path);
    if (!attributes) return std::nullopt;
    FileStatus status{IsOrdinary(*attributes), false, false, true};
    const Handle file(
        CreateFileW(Wide(path).c_str(), READ_CONTROL,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    Protection protection;
    if (file.Valid() && ProtectionOf(file.Get(), protection) == 0) {
        status.ownedByUs = protection.ownedByUs;
        status.privateToOwner = !protection.openToOthers;
    }
    return status;
}

// Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken, in
// one step.
int MoveFileNoReplace(const std::string& from, const std::string& to) {
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), 0)) return 0;
    return LastErrno();
}

// mingw's C library has no table of the names.
const char* SystemErrorName(int) {
    return nullptr;
}

}  // namespace toolkit::platform
