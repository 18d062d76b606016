// The POSIX calls that the unit tests' helpers make, for Windows: enough for
// the helpers to build. The tests of POSIX behaviour itself (modes, /bin/sh,
// fork) are left out of the Windows run by tests/windows/run.sh.
#pragma once

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif

inline char* mkdtemp(char* pattern) {
    std::string text = pattern;
    const std::size_t x = text.rfind("XXXXXX");
    if (x == std::string::npos) return nullptr;
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = 0; i < 6; ++i) text[x + i] = static_cast<char>('a' + random() % 26);
        std::error_code error;
        if (std::filesystem::create_directory(text, error)) {
            text.copy(pattern, text.size());
            return pattern;
        }
    }
    return nullptr;
}

inline int setenv(const char* name, const char* value, int) {
    return _putenv_s(name, value);
}
inline int unsetenv(const char* name) {
    return _putenv_s(name, "");
}
// Windows has no named pipe in the file system: the cases that make one are
// left out of the Windows run.
inline int mkfifo(const char*, int) {
    errno = ENOSYS;
    return -1;
}
inline pid_t fork() {
    return -1;
}
inline pid_t waitpid(pid_t, int*, int) {
    return -1;
}
