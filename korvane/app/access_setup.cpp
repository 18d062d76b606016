#include "korvane/app/access_setup.h"

#include <iostream>

#include "korvane/app/access_store.h"
#include "korvane/app/texts.h"
#include "korvane/core/webaccess.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

namespace {

constexpr int kTries = 3;

std::optional<int> ParsePort(const std::string& text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    int port = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) return std::nullopt;
    return port;
}

// The password typed twice, the same both times and acceptable; nullopt
// (the reason told) when the input ended or the tries ran out.
std::optional<std::string> AskPassword(const AccessSetupInput& input, std::ostream& err) {
    for (int attempt = 0; attempt < (input.terminal ? kTries : 1); ++attempt) {
        const std::optional<std::string> first = input.read(text::kWebAskPassword);
        if (!first) break;
        if (const auto problem = PasswordProblem(*first)) {
            err << *problem << '\n';
            continue;
        }
        const std::optional<std::string> second = input.read(text::kWebAskPasswordAgain);
        if (!second) break;
        if (*second != *first) {
            err << text::kWebPasswordsDiffer << '\n';
            continue;
        }
        return first;
    }
    err << text::kWebSetupUnchanged << '\n';
    return std::nullopt;
}

}  // namespace

int SetUpWebAccess(const AccessSetupInput& input, const WebServingMaker& maker, std::ostream& out,
                   std::ostream& err) {
    std::optional<int> port;
    for (std::size_t i = 0; i < input.arguments.size(); ++i) {
        if (input.arguments[i] == "--port" && i + 1 < input.arguments.size() &&
            (port = ParsePort(input.arguments[i + 1]))) {
            ++i;
            continue;
        }
        err << text::kWebSetupUsage << '\n';
        return 1;
    }
    AccessStore store(input.programDir);
    // A damaged file holds tokens this run could not read: it is not
    // overwritten behind the user's back.
    if (!store.Problem().empty()) {
        err << store.Problem() << '\n' << text::kWebSetupDamaged << '\n';
        return 1;
    }
    const std::optional<std::string> password = AskPassword(input, err);
    if (!password) return 1;
    WebAccessSettings settings = store.Settings();
    settings.password = HashPassword(*password);
    settings.enabled = true;
    if (port) settings.port = *port;
    if (const auto problem = EnableProblem(settings)) {
        err << *problem << '\n' << text::kWebSetupUnchanged << '\n';
        return 1;
    }
    try {
        store.Replace(settings);
    } catch (const toolkit::FileError& error) {
        err << error.what() << '\n' << text::kWebSetupUnchanged << '\n';
        return 1;
    }
    out << text::kWebSetupDone << '\n';
    if (maker) {
        WebBoard board;
        SystemClock clock;
        const std::unique_ptr<WebServing> serving = maker(input.programDir, board, store, clock);
        out << text::kWebSetupAddress << serving->Address() << '\n';
    }
    out << text::kWebSetupServedBy << '\n';
    return 0;
}

int RunWebAccessSetup(const std::vector<std::string>& arguments, const WebServingMaker& maker) {
    AccessSetupInput input;
    input.programDir = toolkit::ProgramDir();
    input.arguments = arguments;
    input.read = toolkit::platform::ReadSecretLine;
    input.terminal = toolkit::platform::InputIsTerminal();
    return SetUpWebAccess(input, maker, std::cout, std::cerr);
}

}  // namespace korvane
