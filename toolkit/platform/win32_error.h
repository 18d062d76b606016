// The Win32 and Winsock error codes as the errno values that the rest of the
// toolkit turns into French messages (SystemErrorText).
#pragma once

// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <cerrno>
#include <string>

namespace toolkit::platform {

inline int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case WSAEACCES:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_BUFFER_OVERFLOW:
            return ENAMETOOLONG;
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case WSAENETUNREACH:
            return ENETUNREACH;
        case WSAEHOSTUNREACH:
            return EHOSTUNREACH;
        case WSAENETDOWN:
            return ENETDOWN;
        case WSAEADDRNOTAVAIL:
            return EADDRNOTAVAIL;
        case WSAENOBUFS:
            return ENOBUFS;
        default:
            return EIO;
    }
}

// "c'est un dossier, pas un fichier ordinaire": what a path with these
// attributes holds instead of a plain file (0: a device), for a French
// refusal.
std::string NotRegularText(DWORD attributes);

inline int LastErrno() {
    return ErrnoOf(GetLastError());
}

}  // namespace toolkit::platform
