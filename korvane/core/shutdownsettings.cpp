#include "korvane/core/shutdownsettings.h"

#include <algorithm>

#include "platform/platform.h"

namespace korvane {

namespace {

constexpr const char* kDelayKey = "delai";
constexpr const char* kCommentKey = "commentaire";

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

}  // namespace

std::optional<int> ParseShutdownDelay(std::string_view text) {
    const std::string digits = toolkit::Trim(text);
    if (digits.empty() || digits.size() > 3) return std::nullopt;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const int delay = std::stoi(digits);
    if (delay > kMaxShutdownDelay) return std::nullopt;
    return delay;
}

std::string ShutdownDelayRefusal(std::string_view text) {
    return "Durée d'attente refusée : « " + std::string(text) +
           " ». Donnez un nombre entier de secondes, de 0 à " + std::to_string(kMaxShutdownDelay) +
           ".";
}

std::optional<std::string> ShutdownCommentProblem(toolkit::Os os, std::string_view comment) {
    if (comment.size() > kMaxShutdownCommentLength) {
        return "Commentaire refusé : il dépasse " + std::to_string(kMaxShutdownCommentLength) +
               " octets.";
    }
    if (std::any_of(comment.begin(), comment.end(), IsControl)) {
        return std::string(
            "Commentaire refusé : il contient un saut de ligne ou un caractère de contrôle ; "
            "le message d'arrêt tient sur une ligne.");
    }
    if (os == toolkit::Os::Windows && comment.find('"') != std::string_view::npos) {
        return std::string("Commentaire refusé : les guillemets doubles (\") n'y sont pas permis.");
    }
    return std::nullopt;
}

ShutdownSettings ParseShutdownSettings(toolkit::Os os, const toolkit::TextList& lines) {
    ShutdownSettings settings;
    if (toolkit::IndexOfKey(lines, kDelayKey)) {
        settings.delay =
            ParseShutdownDelay(toolkit::ValueOfKey(lines, kDelayKey)).value_or(settings.delay);
    }
    // The comment is kept as written, blanks included.
    if (const auto index = toolkit::IndexOfKey(lines, kCommentKey)) {
        const std::string& line = lines[*index];
        const std::string comment = line.substr(line.find('=') + 1);
        if (!ShutdownCommentProblem(os, comment)) settings.comment = comment;
    }
    return settings;
}

toolkit::TextList ShutdownSettingsLines(const ShutdownSettings& settings) {
    return {std::string(kDelayKey) + "=" + std::to_string(settings.delay),
            std::string(kCommentKey) + "=" + settings.comment};
}

ShutdownSettings LoadShutdownSettings(toolkit::Os os, const std::string& programDir) {
    const std::string path = programDir + kShutdownSettingsFile;
    if (!toolkit::platform::FileExists(path)) return {};
    return ParseShutdownSettings(os, toolkit::LoadLines(path));
}

void SaveShutdownSettings(const std::string& programDir, const ShutdownSettings& settings) {
    toolkit::SaveLines(programDir + kShutdownSettingsFile, ShutdownSettingsLines(settings));
}

}  // namespace korvane
