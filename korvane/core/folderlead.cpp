#include "korvane/core/folderlead.h"

#include "platform/append.h"

namespace korvane {

FolderLead TakeFolderLead(const std::string& programDir) {
    const std::string path = programDir + kLeadLockFile;
    const toolkit::platform::LockState state = toolkit::platform::HoldLock(path);
    switch (state.hold) {
        case toolkit::platform::LockHold::Held:
            return {Lead::Ours, {}};
        case toolkit::platform::LockHold::HeldElsewhere:
            return {Lead::Elsewhere, {}};
        case toolkit::platform::LockHold::Refused:
            break;
    }
    return {Lead::Unavailable,
            "Le verrou « " + path + " » ne peut pas être pris : " + state.reason +
                ". Tant qu'il reste ainsi, aucun Korvane de ce dossier ne lance les actions "
                "planifiées ni ne tient l'historique : supprimez-le, ou remplacez-le par un "
                "fichier ordinaire qui vous appartient."};
}

}  // namespace korvane
