#include "usage.h"

#include "platform/platform.h"
#include "version.h"

namespace toolkit {

std::string VersionText(std::string_view program) {
    return std::string(program) + " (Korvane) " + kKorvaneVersion + "\n";
}

std::optional<int> AnswerInfoOption(int argc, const char* const* argv, std::string_view program,
                                    std::string_view help, std::ostream& out) {
    if (argc < 2 || argv[1] == nullptr) return std::nullopt;
    return AnswerInfoOption(std::vector<std::string>{"", argv[1]}, program, help, out);
}

std::optional<int> AnswerInfoOption(const std::vector<std::string>& args, std::string_view program,
                                    std::string_view help, std::ostream& out) {
    if (args.size() < 2) return std::nullopt;
    const std::string_view option = args[1];
    if (option == "--help") {
        out << help
            << "Options : --help affiche cette aide, --version affiche la version ; "
               "toutes deux finissent avec le code 0.\n";
    } else if (option == "--version") {
        out << VersionText(program);
    } else {
        return std::nullopt;
    }
    out.flush();
    return out ? 0 : 1;
}

std::vector<std::string> StartConsole(int argc, char** argv) {
    platform::UseUnicodeConsole();
    return platform::ProgramArguments(argc, argv);
}

}  // namespace toolkit
