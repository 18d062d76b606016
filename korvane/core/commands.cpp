#include "korvane/core/commands.h"

#include "korvane/core/KrvVar.h"
#include "korvane/core/names.h"
#include "platform/platform.h"

namespace korvane {

using toolkit::Quoted;

bool ParseEntriesPerRow(std::string_view text, int& value) {
    int parsed = 0;
    if (!ParseWholeNumber(text, parsed) || parsed != ClampEntriesPerRow(parsed)) return false;
    value = parsed;
    return true;
}

std::string RenameProblem(const TextList& managed, std::size_t entry, std::string_view newName,
                          const std::string& programDir) {
    const std::string refused = "Renommage refusé : ";
    if (!IsValidEntryName(newName)) {
        return refused + Quoted(newName) + " ne peut servir de nom (" + EntryNameRule(newName) +
               ").";
    }
    if (IsReservedFileName(newName)) {
        return refused + Quoted(newName) + " est le nom d'un fichier du programme.";
    }
    for (std::size_t other = 0; other < managed.size(); ++other) {
        if (other != entry && toolkit::EqualsIgnoreCase(managed[other], newName)) {
            return refused + Quoted(newName) + " désigne déjà une autre entrée.";
        }
    }
    if (toolkit::platform::FileExists(programDir + std::string(newName))) {
        return refused + "un fichier " + Quoted(newName) +
               " existe déjà dans le dossier du programme.";
    }
    return {};
}

std::string RenameEntry(TextList& managed, std::size_t entry, const std::string& newName,
                        const std::string& programDir) {
    TextList renamed = managed;
    const std::string oldName = renamed.at(entry);
    renamed[entry] = newName;
    toolkit::SaveLines(programDir + "localGM", renamed);
    managed = std::move(renamed);
    // A name that is not a valid entry name never became a file name of ours.
    if (!IsValidEntryName(oldName) || !toolkit::platform::FileExists(programDir + oldName))
        return {};
    const int error =
        toolkit::platform::MoveFileNoReplace(programDir + oldName, programDir + newName);
    if (error == 0) return {};
    return "Le fichier de groupe " + Quoted(oldName) +
           " n'a pas été renommé : " + toolkit::SystemErrorText(error);
}

}  // namespace korvane
