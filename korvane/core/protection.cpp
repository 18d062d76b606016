#include "korvane/core/protection.h"

#include <algorithm>

#include "korvane/core/names.h"
#include "platform/platform.h"

namespace korvane {

namespace {

std::optional<std::string> Listed(const toolkit::TextList& list, std::string_view name) {
    const std::string wanted = toolkit::Trim(name);
    for (const std::string& line : list) {
        std::string listed = toolkit::ListName(line);
        if (toolkit::EqualsIgnoreCase(listed, wanted)) return listed;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ProtectedName(const toolkit::TextList& protectedList,
                                         std::string_view entry, const toolkit::TextList& members) {
    if (auto name = Listed(protectedList, entry)) return name;
    for (const std::string& member : members) {
        if (toolkit::Trim(member).empty()) continue;
        if (auto name = Listed(protectedList, member)) return name;
    }
    return std::nullopt;
}

std::string ProtectedRefusal(std::string_view entry, std::string_view protectedName,
                             std::string_view what) {
    const std::string start = std::string(what) + "« " + std::string(entry) + " » refusé : ";
    if (toolkit::EqualsIgnoreCase(entry, protectedName)) {
        return start + "cet ordinateur est dans la liste des machines à ne jamais éteindre.";
    }
    return start + "son membre « " + std::string(protectedName) +
           " » est dans la liste des machines à ne jamais éteindre.";
}

// A name goes where entry and member names go: the same rule keeps the file
// one name per line, whatever was typed.
ProtectChange ClassifyProtect(const toolkit::TextList& protectedList, std::string_view name) {
    const std::string trimmed = toolkit::Trim(name);
    if (!IsValidEntryName(trimmed)) return ProtectChange::Invalid;
    return Listed(protectedList, trimmed) ? ProtectChange::OfferRemoval : ProtectChange::Add;
}

toolkit::TextList WithProtected(toolkit::TextList list, std::string_view name) {
    list.push_back(toolkit::Trim(name));
    return list;
}

toolkit::TextList WithoutProtected(toolkit::TextList list, std::string_view name) {
    const std::string trimmed = toolkit::Trim(name);
    std::erase_if(list, [&](const std::string& line) {
        return toolkit::EqualsIgnoreCase(toolkit::ListName(line), trimmed);
    });
    return list;
}

toolkit::TextList LoadProtected(const std::string& programDir) {
    const std::string path = programDir + kProtectedFile;
    if (!toolkit::platform::FileExists(path)) return {};
    toolkit::TextList names;
    for (const std::string& line : toolkit::LoadLines(path)) {
        std::string name = toolkit::ListName(line);
        if (!name.empty()) names.push_back(std::move(name));
    }
    return names;
}

void SaveProtected(const std::string& programDir, const toolkit::TextList& list) {
    toolkit::SaveLines(programDir + kProtectedFile, list);
}

}  // namespace korvane
