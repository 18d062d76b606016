#include "korvane/core/export.h"

#include "korvane/core/KrvVar.h"

namespace korvane {

namespace {

// The Windows shell's rule: a result of 32 or more means the program started.
constexpr int kFirstStartedCode = 32;

const char* SpreadsheetProgram(Os os) {
    return os == Os::Windows ? "scalc.exe" : "localc";
}

}  // namespace

std::string MachineListHeader() {
    return "\"  Machine  \";\"     Adresse MAC     \";\"     Adresse IP    \"";
}

std::string MachineListRow(std::string_view member, std::string_view mac, std::string_view ip) {
    const std::string between = "\";\"";
    return "\"" + std::string(member) + between + std::string(mac) + between + std::string(ip) +
           "\"";
}

TextList MachineListLines(const TextList& managed, const GroupLoader& loadGroup,
                          const TextList& ipList, const TextList& macList,
                          std::vector<std::string>* skipped) {
    TextList lines{MachineListHeader()};
    for (const auto& entry : managed) {
        TextList members;
        try {
            members = loadGroup(entry);
        } catch (const toolkit::FileError& error) {
            if (skipped != nullptr) skipped->push_back("« " + entry + " » : " + error.what());
            continue;
        }
        for (const auto& member : members) {
            lines.push_back(
                MachineListRow(member, FindMAC(macList, member), FindIP(ipList, member)));
        }
    }
    return lines;
}

Opener OpenReport(Os os, const std::string& path) {
    if (toolkit::ShellOpenProgram(SpreadsheetProgram(os), path, ".") >= kFirstStartedCode) {
        return Opener::Spreadsheet;
    }
    const int code = os == Os::Windows ? toolkit::ShellOpenProgram("notepad.exe", path, ".")
                                       : toolkit::ShellOpenDocument(path);
    return code >= kFirstStartedCode ? Opener::Fallback : Opener::None;
}

}  // namespace korvane
