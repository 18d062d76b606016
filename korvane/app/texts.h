// The French texts Korvane shows, shared by every window layer: the menus,
// the dialogs' prompts and the app layer's messages. Texts that carry data
// are composed where the data is (core/, app/).
#pragma once

namespace korvane::text {

// The main window.
inline constexpr const char* kTitle =
    "Korvane 1.0  - Gestion des alimentations en énergie des ordinateurs";
inline constexpr const char* kScanLight = "Scan en cours...";
inline constexpr const char* kPollLight = "Refresh : ";
inline constexpr const char* kMenuFile = "Fichier";
inline constexpr const char* kMenuQuit = "Quitter";
inline constexpr const char* kMenuEdit = "Edition";
inline constexpr const char* kMenuPreferences = "Préférences";
inline constexpr const char* kMenuComputers = "Ordinateurs";
inline constexpr const char* kMenuAdd = "Ajouter un ordinateur";
inline constexpr const char* kMenuNeverOff = "Ne jamais éteindre...";
inline constexpr const char* kMenuReports = "Rapports";
inline constexpr const char* kMenuWolIncidents = "Incidents WOL";
inline constexpr const char* kMenuShutdownIncidents = "Incidents shutdown";
inline constexpr const char* kMenuMachineList = "Liste machines";
inline constexpr const char* kMenuConsole = "Console";
inline constexpr const char* kMenuEnergy = "Consommation électrique";
inline constexpr const char* kMenuHelp = "Aide";
inline constexpr const char* kMenuAbout = "A propos";
inline constexpr const char* kMenuComment = "Commentaire";
inline constexpr const char* kMenuRename = "Renommer";

// The preferences' notifications.
inline constexpr const char* kNotifyNewDevices = "Prévenir des nouveaux appareils du réseau";
inline constexpr const char* kNotifyIncidents = "Prévenir des incidents";
inline constexpr const char* kNotifyPlanFailures = "Prévenir des actions planifiées en échec";

// The one-line input dialog's prompts.
inline constexpr const char* kAskNeverOff = "Entrer le nom de la machine à ne jamais éteindre :";
inline constexpr const char* kAskComment = "Commentaire pour le groupe de machines :";
inline constexpr const char* kAskRename = "Donner un joli nom pour désigner cet ordinateur :";

// The map's hints.
inline constexpr const char* kProtectedHint = "Ne jamais éteindre : protégé";
inline constexpr const char* kProtectedMark = "protégé";

// The energy report.
inline constexpr const char* kEnergyAxis = "Heures sous tension par jour";

// The app layer's messages.
inline constexpr const char* kPollFailed = "Relevé des ordinateurs impossible : ";
inline constexpr const char* kPollListNotSaved = "Liste du relevé non enregistrée : ";
inline constexpr const char* kListNotReread = "Liste non relue : ";
inline constexpr const char* kStatesNotSaved = "État des ordinateurs non enregistré : ";
inline constexpr const char* kNetworkUnreadable = "Paramètres réseau illisibles : ";
inline constexpr const char* kSettingsNotSaved = "Les réglages n'ont pas été enregistrés.\n";
inline constexpr const char* kOutcomeNotFollowed = "Issue de la commande non suivie : ";
inline constexpr const char* kOutcomeUnreadable = "Issue de la commande illisible : ";
inline constexpr const char* kPlanUnreadable = "Planification illisible : ";
inline constexpr const char* kPlanNotSaved = "Planification non enregistrée : ";
inline constexpr const char* kPlanElsewhere =
    "planification : assurée par un autre Korvane de ce dossier";
inline constexpr const char* kHistory = "Historique des états : ";
inline constexpr const char* kHistoryUnreadable = "Historique illisible : ";
inline constexpr const char* kProtectNotChanged =
    "La liste des machines protégées n'a pas été modifiée : ";
inline constexpr const char* kListNotExported = "La liste des machines n'a pas été exportée : ";
inline constexpr const char* kListExportedWithout =
    "Liste des machines exportée sans ces entrées :";
inline constexpr const char* kReportNotExported = "Le rapport n'a pas été exporté : ";
inline constexpr const char* kConsoleNotSaved = "La console n'a pas été enregistrée : ";

}  // namespace korvane::text
