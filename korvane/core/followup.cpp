#include "korvane/core/followup.h"

#include <ctime>

#include "korvane/core/names.h"
#include "platform/platform.h"

namespace korvane {

namespace {

constexpr std::string_view kUpSuffix = "=up";
constexpr std::string_view kDownSuffix = "=down";
constexpr std::size_t kClockTextSize = 128;

struct Verdict {
    std::string host;
    bool up = false;
    std::size_t line = 0;  // where it stands in the output
};

// The check script's last line; blank lines after it (a trailing line end)
// are skipped.
std::optional<Verdict> VerdictOf(const TextList& output) {
    for (std::size_t line = output.size(); line-- > 0;) {
        const std::string text = toolkit::Trim(output[line]);
        if (text.empty()) continue;
        for (const auto& [suffix, up] :
             {std::pair{kUpSuffix, true}, std::pair{kDownSuffix, false}}) {
            if (text.ends_with(suffix))
                return Verdict{text.substr(0, text.size() - suffix.size()), up, line};
        }
        return std::nullopt;
    }
    return std::nullopt;
}

// The Windows ping's header names the host between "sur" and its address in
// brackets: "Envoi d'une requête 'ping' sur pc1 [192.168.1.5] avec ...".
std::optional<std::string> HeaderHost(const TextList& output) {
    for (const auto& line : output) {
        const std::size_t sur = line.find("sur");
        if (sur == std::string::npos) continue;
        const std::size_t bracket = line.find('[');
        if (bracket == std::string::npos || bracket < sur) return std::nullopt;
        return toolkit::Trim(std::string_view(line).substr(sur + 3, bracket - sur - 3));
    }
    return std::nullopt;
}

// Ping printed a header when it got as far as sending: the Windows "sur ... ["
// line or the POSIX "PING host (address)" line.
bool PingSent(const TextList& output) {
    if (HeaderHost(output)) return true;
    for (const auto& line : output) {
        if (line.starts_with("PING ")) return true;
    }
    return false;
}

// Ping's own first line, when it printed one before the verdict.
std::string ReasonOf(FollowKind kind, const TextList& output, const Verdict& verdict) {
    if (kind == FollowKind::Shutdown || PingSent(output) || verdict.line == 0)
        return kUnknownReason;
    const std::string first = toolkit::Trim(output.front());
    return first.empty() ? kUnknownReason : first;
}

std::string LocalClock(const char* format) {
    const std::time_t now = std::time(nullptr);
    const std::tm local = toolkit::platform::LocalTime(now);
    char text[kClockTextSize] = {};
    const std::size_t length = std::strftime(text, sizeof text, format, &local);
    return std::string(text, length);
}

}  // namespace

bool HasVerdict(const TextList& output) {
    return VerdictOf(output).has_value();
}

std::optional<Incident> CheckIncident(FollowKind kind, const TextList& output) {
    const auto verdict = VerdictOf(output);
    if (!verdict) return std::nullopt;
    const bool contradicts = kind == FollowKind::Shutdown ? verdict->up : !verdict->up;
    if (!contradicts) return std::nullopt;
    Incident incident;
    incident.host = HeaderHost(output).value_or(verdict->host);
    incident.verdict = kind == FollowKind::Shutdown ? kNotStopped
                       : kind == FollowKind::WakeUp ? kNotStarted
                                                    : kNotRestarted;
    incident.reason = ReasonOf(kind, output, *verdict);
    return incident;
}

std::string IncidentLine(std::string_view date, std::string_view time, const Incident& incident) {
    const std::string between = "\";\"";
    return "\"" + std::string(date) + between + std::string(time) + between + incident.host +
           between + incident.verdict + between + incident.reason + "\";";
}

std::string ShortDate() {
    return LocalClock("%x");
}

std::string LongTime() {
    return LocalClock("%X");
}

std::string ProgressLine(FollowKind kind, int slot) {
    const char* start = kind == FollowKind::Shutdown ? "followDownReport "
                        : kind == FollowKind::WakeUp ? "followupReport "
                                                     : "followRestartReport ";
    return start + std::to_string(slot);
}

const char* IncidentFileName(FollowKind kind) {
    return kind == FollowKind::WakeUp ? "wol.followup" : "shutdown.followup";
}

TextList GroupMembers(const TextList& groupFile) {
    TextList members;
    for (const auto& line : groupFile) {
        std::string member = toolkit::ListName(line);
        if (!member.empty()) members.push_back(std::move(member));
    }
    return members;
}

TextList LoadGroupFile(std::string_view entry) {
    if (!IsValidEntryName(entry)) {
        throw toolkit::FileError("Le nom « " + std::string(entry) +
                                 " » ne peut désigner un fichier de groupe (" +
                                 EntryNameRule(entry) + ").");
    }
    return toolkit::LoadLines(std::string(entry));
}

}  // namespace korvane
