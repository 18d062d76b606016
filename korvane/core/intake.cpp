#include "korvane/core/intake.h"

#include <cstdlib>

#include "korvane/core/names.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

namespace {

using toolkit::FileError;

constexpr std::size_t kShownLineLength = 60;

// A bad line may be long: the message shows its beginning.
std::string Shown(const std::string& line) {
    if (line.size() <= kShownLineLength) return line;
    return line.substr(0, kShownLineLength) + "…";
}

std::string BadLineText(std::size_t index, const std::string& line) {
    const std::string where = "Ligne " + std::to_string(index + 1) + " : « " + Shown(line) + " » ";
    if (IsReservedFileName(line)) {
        return where +
               "est le nom d'un fichier de Korvane et ne peut pas désigner un ordinateur.\n"
               "Rien n'a été enregistré.";
    }
    return where +
           "ne peut pas devenir un nom d'ordinateur.\n"
           "Un nom ne contient que des " + std::string(kEntryNameRule) +
           ", et compte au plus 255 octets.\n"
           "Rien n'a été enregistré.";
}

// localGM as it now stands; a missing one manages nothing.
TextList ReloadManagedList(const std::string& path) {
    if (!toolkit::platform::FileExists(path)) return {};
    return toolkit::LoadLines(path);
}

// Creates the group file of each entry that has none; returns the failures.
std::string CreateMissingGroupFiles(const TextList& memo) {
    std::string failures;
    for (const auto& entry : memo) {
        if (entry.empty()) continue;
        const std::string path = toolkit::ProgramDir() + entry;
        if (toolkit::platform::FileExists(path)) continue;
        try {
            toolkit::SaveLines(path, {entry});
        } catch (const FileError& error) {
            failures += std::string(error.what()) + "\n";
        }
    }
    return failures;
}

}  // namespace

std::string DiscoveredName(std::string_view line) {
    const std::size_t equals = line.find('=');
    return equals == std::string_view::npos ? std::string() : std::string(line.substr(equals + 1));
}

// One cursor walks the file once: each row takes the next line whose name is
// not in the memo, so the rows keep the file's order without repeating.
IntakeRows FillIntakeRows(const TextList& discover, const TextList& memo, const KrvVar& krv) {
    IntakeRows rows;
    std::size_t cursor = 0;
    for (IntakeRow& row : rows) {
        while (cursor < discover.size()) {
            std::string name = DiscoveredName(discover[cursor++]);
            if (!toolkit::IndexOfLine(memo, name)) {
                row.name = std::move(name);
                break;
            }
        }
        row.ip = krv.FindIP(row.name);
        row.mac = krv.FindMAC(row.name);
    }
    return rows;
}

std::optional<TextList> ReadDiscoverFile() {
    const std::string path = toolkit::ProgramDir() + kDiscoverFile;
    if (!toolkit::platform::FileExists(path)) return std::nullopt;
    try {
        return toolkit::LoadLines(path);
    } catch (const FileError&) {
        return std::nullopt;
    }
}

void TakeLogonServer(Settings& settings) {
    if (!settings.pdc.empty()) return;
    const char* server = std::getenv("LOGONSERVER");
    settings.pdc = server != nullptr ? server : "";
}

std::string MemoText(const TextList& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += '\n';
        text += lines[i];
    }
    // "a\n" splits into one line: an empty last line needs its own end.
    if (!lines.empty() && lines.back().empty()) text += '\n';
    return text;
}

std::optional<std::string> CheckIntakeLines(const TextList& memo) {
    for (std::size_t i = 0; i < memo.size(); ++i) {
        const std::string& line = memo[i];
        if (line.empty()) continue;
        if (!IsValidEntryName(line) || IsReservedFileName(line)) return BadLineText(i, line);
    }
    return std::nullopt;
}

std::optional<std::string> SaveIntake(const TextList& memo, KrvVar& krv) {
    if (auto bad = CheckIntakeLines(memo)) return bad;
    const std::string managedPath = toolkit::ProgramDir() + kManagedFile;
    try {
        if (!memo.empty()) toolkit::SaveLines(managedPath, memo);
    } catch (const FileError& error) {
        return "La liste des ordinateurs gérés n'a pas été enregistrée ; l'ancien fichier "
               "localGM est conservé.\n" +
               std::string(error.what());
    }
    try {
        krv.ManagedList = ReloadManagedList(managedPath);
    } catch (const FileError& error) {
        return "La liste des ordinateurs gérés n'a pas pu être relue ; aucun fichier de groupe "
               "n'a été créé.\n" +
               std::string(error.what());
    }
    const std::string failures = CreateMissingGroupFiles(memo);
    if (failures.empty()) return std::nullopt;
    return "La liste des ordinateurs gérés est enregistrée, mais des fichiers de groupe "
           "manquent :\n" +
           failures + "Appuyez de nouveau sur OK pour réessayer.";
}

}  // namespace korvane
