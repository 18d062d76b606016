// A secret typed in the console, Windows: the console's echo turned off for
// the line, and on again after it. Input that is not a console (a pipe) is
// read as it comes.
#include <windows.h>

#include <iostream>

#include "platform.h"

namespace toolkit::platform {

std::optional<std::string> ReadSecretLine(const std::string& prompt) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    const bool console = input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &saved) != 0;
    bool hidden = false;
    if (console) {
        std::cerr << prompt << std::flush;
        hidden = SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
    }
    std::string line;
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (hidden) {
        SetConsoleMode(input, saved);
        std::cerr << '\n';
    }
    if (!read) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

bool InputIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

}  // namespace toolkit::platform
