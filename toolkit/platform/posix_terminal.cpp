// A secret typed on the terminal, POSIX: the echo turned off for the line,
// and turned on again whatever happens: Ctrl+C while typing gives the
// terminal back as it was before the signal ends the program. Called before
// CatchQuitRequests (nothing is there to save yet).
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "platform.h"

namespace toolkit::platform {

namespace {

termios savedTerminal{};

void RestoreAndEnd(int signal) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

std::optional<std::string> ReadSecretLine(const std::string& prompt) {
    const bool terminal = isatty(STDIN_FILENO) != 0;
    bool hidden = false;
    struct sigaction previousInt {
    }, previousTerm{};
    if (terminal) {
        std::cerr << prompt << std::flush;
        if (tcgetattr(STDIN_FILENO, &savedTerminal) == 0) {
            struct sigaction restore {};
            restore.sa_handler = RestoreAndEnd;
            sigemptyset(&restore.sa_mask);
            sigaction(SIGINT, &restore, &previousInt);
            sigaction(SIGTERM, &restore, &previousTerm);
            termios quiet = savedTerminal;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            quiet.c_lflag |= ECHONL;
            hidden = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
    }
    std::string line;
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (hidden) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
        sigaction(SIGINT, &previousInt, nullptr);
        sigaction(SIGTERM, &previousTerm, nullptr);
    }
    if (!read) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

bool InputIsTerminal() {
    return isatty(STDIN_FILENO) != 0;
}

}  // namespace toolkit::platform
