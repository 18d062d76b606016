// Text and the console on POSIX: UTF-8 throughout, files and terminals alike.
#include "platform.h"

namespace toolkit::platform {

std::string LineAsUtf8(std::string line, TextOrigin) {
    return line;
}

std::string FileBytesFor(const std::string&, std::string_view text) {
    return std::string(text);
}

std::string BatchMissingCharacter(std::string_view) {
    return {};
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + (argc > 0 ? argc : 0));
}

void UseUnicodeConsole() {}

}  // namespace toolkit::platform
