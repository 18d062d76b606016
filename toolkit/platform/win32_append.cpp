// The journal's append and the process-long lock, for Windows.

// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <set>
#include <string>

#include "platform/append.h"
#include "platform/win32_error.h"
#include "platform/win32_text.h"
#include "utils.h"

namespace toolkit::platform {

namespace {

std::string AppendError(const std::string& path, int error) {
    return "Impossible d'écrire dans « " + path + " » : " + SystemErrorText(error);
}

// A link, a folder or a device is not a journal.
bool IsJournalFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

bool EndsWithLineEnd(HANDLE file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) return false;
    if (size.QuadPart == 0) return true;
    OVERLAPPED at{};
    const ULONGLONG last = static_cast<ULONGLONG>(size.QuadPart - 1);
    at.Offset = static_cast<DWORD>(last);
    at.OffsetHigh = static_cast<DWORD>(last >> 32);
    char byte = 0;
    DWORD count = 0;
    return ReadFile(file, &byte, 1, &count, &at) && count == 1 && byte == '\n';
}

}  // namespace

void AppendLines(const std::string& path, const std::string& bytes) {
    const HANDLE file = CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw FileError(AppendError(path, LastErrno()));
    int error = 0;
    if (!IsJournalFile(file)) {
        error = EINVAL;
    } else {
        // One write: a process killed during it has written all or nothing.
        const std::string text = EndsWithLineEnd(file) ? bytes : "\n" + bytes;
        DWORD written = 0;
        if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written != text.size() || !FlushFileBuffers(file)) {
            error = LastErrno();
        }
    }
    CloseHandle(file);
    if (error != 0) throw FileError(AppendError(path, error));
}

bool RenameOver(const std::string& from, const std::string& to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// The file is held open without sharing for the rest of the process's life;
// Windows closes it when the process ends, however it ends. Held so, the file
// can be neither deleted nor renamed, nor another moved over it: its name
// leads to it for as long as it is held.
LockState HoldLock(const std::string& path) {
    static std::set<std::string> held;
    if (held.count(path) != 0) return {LockHold::Held, {}};
    const std::wstring wide = Wide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    constexpr DWORD kUnusual =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kUnusual) != 0)
        return {LockHold::Refused, NotRegularText(attributes)};
    const HANDLE file =
        CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_SHARING_VIOLATION) return {LockHold::HeldElsewhere, {}};
        return {LockHold::Refused, SystemErrorText(LastErrno())};
    }
    if (!IsJournalFile(file)) {
        CloseHandle(file);
        return {LockHold::Refused, NotRegularText(0)};
    }
    held.insert(path);
    return {LockHold::Held, {}};
}

}  // namespace toolkit::platform
