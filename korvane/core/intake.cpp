#include "korvane/core/intake.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

#include "korvane/core/devicemarks.h"
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
    if (toolkit::IsWindowsSpecialName(line)) {
        return where +
               "ne peut pas devenir un nom d'ordinateur : Windows le prendrait pour un "
               "périphérique ou un programme (" +
               std::string(toolkit::kWindowsNameRule) + ").\nRien n'a été enregistré.";
    }
    return where +
           "ne peut pas devenir un nom d'ordinateur.\n"
           "Un nom ne contient que des " +
           std::string(kEntryNameRule) +
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

// A discovered machine offered by a row, with the device the record knows it as.
struct Candidate {
    std::string name;
    std::string ip;
    std::string mac;
    const toolkit::Device* device = nullptr;
};

// FindIP and FindMAC's answer, from the list's index.
std::string ValueOfName(const toolkit::NamedLines& list, std::string_view name) {
    const auto hit = list.IndexOfName(name);
    return hit ? toolkit::SplitAtFirstSpace(list[*hit]).after : std::string();
}

// Every line whose name is not in the memo, in file order, as without the
// record: a name twice is two rows, a line without a name a blank row.
std::vector<Candidate> Candidates(const TextList& discover, const TextList& memo, const KrvVar& krv,
                                  const DeviceFinder& finder) {
    std::unordered_set<std::string> managed;
    for (const std::string& line : memo) managed.insert(toolkit::AsciiLower(line));
    const toolkit::NamedLines ips(krv.IpList), macs(krv.MacList);
    std::vector<Candidate> candidates;
    for (const std::string& line : discover) {
        Candidate candidate;
        candidate.name = DiscoveredName(line);
        if (managed.contains(toolkit::AsciiLower(candidate.name))) continue;
        candidate.ip = ValueOfName(ips, candidate.name);
        candidate.mac = ValueOfName(macs, candidate.name);
        candidate.device = finder.ByMac(candidate.mac);
        if (candidate.device == nullptr) {
            candidate.device = finder.ByAddress(
                candidate.ip.empty() ? toolkit::SplitKeyValue(line).first : candidate.ip);
        }
        candidates.push_back(std::move(candidate));
    }
    return candidates;
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

IntakeRows FillIntakeRows(const TextList& discover, const TextList& memo, const KrvVar& krv,
                          const toolkit::DeviceRecord& record, std::int64_t now) {
    const DeviceFinder finder(record);
    std::vector<Candidate> candidates = Candidates(discover, memo, krv, finder);
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) {
                         if (b.device == nullptr) return a.device != nullptr;
                         if (a.device == nullptr) return false;
                         return LatestChange(*a.device) > LatestChange(*b.device);
                     });
    IntakeRows rows;
    for (std::size_t i = 0; i < rows.size() && i < candidates.size(); ++i) {
        Candidate& candidate = candidates[i];
        rows[i] = {std::move(candidate.name), std::move(candidate.ip), std::move(candidate.mac),
                   candidate.device ? DeviceMark(record, *candidate.device, now) : std::string()};
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
