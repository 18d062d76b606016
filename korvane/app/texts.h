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
inline constexpr const char* kMenuSshKey = "Créer la clé SSH...";
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
// The names of the keys shown beside the menus' texts.
inline constexpr const char* kKeyControl = "Ctrl";
inline constexpr const char* kKeyShift = "Maj";
// The pictures of the program folder that could not be read, named after it.
inline constexpr const char* kPicturesMissing = "Images introuvables ou illisibles : ";

// The preferences' notifications.
inline constexpr const char* kNotifyNewDevices = "Prévenir des nouveaux appareils du réseau";
inline constexpr const char* kNotifyIncidents = "Prévenir des incidents";
inline constexpr const char* kNotifyPlanFailures = "Prévenir des actions planifiées en échec";

// The one-line input dialog's prompts.
inline constexpr const char* kAskNeverOff = "Entrer le nom de la machine à ne jamais éteindre :";
inline constexpr const char* kAskComment = "Commentaire pour le groupe de machines :";
inline constexpr const char* kAskRename = "Donner un joli nom pour désigner cet ordinateur :";

// The buttons every dialog shares.
inline constexpr const char* kOk = "OK";
inline constexpr const char* kCancel = "Annuler";
inline constexpr const char* kClose = "Fermer";

// The on/off dialog.
inline constexpr const char* kCardTitle = "machines";
inline constexpr const char* kCardName = "NOM DE LA MACHINE :";
inline constexpr const char* kCardAddress = "ADRESSE IP :";
inline constexpr const char* kCardMac = "ADRESSE MAC :";
inline constexpr const char* kCardWakeUp = "Allumage à :";
inline constexpr const char* kCardShutdown = "Arret à :";
inline constexpr const char* kCardOn = "ON";
inline constexpr const char* kCardOff = "OFF";
inline constexpr const char* kCardRestart = "Redémarrer";
inline constexpr const char* kCardTestAccess = "Tester l'accès";
inline constexpr const char* kCardSsh = "Arrêt par SSH (Linux)";
inline constexpr const char* kCardSshUser = "Utilisateur SSH :";

// The preferences.
inline constexpr const char* kPrefsTitle = "Prefs";
inline constexpr const char* kPrefsPerRow = "Nombre de machines par ligne :";
inline constexpr const char* kPrefsDelay = "Durée d'attente Sutdown :";
inline constexpr const char* kPrefsComment = "Commentaire Shutdown :";

// The one-line input dialog, the coming-soon box and the about box.
inline constexpr const char* kLineTitle = "Dialogue";
inline constexpr const char* kComingSoonTitle = "Oups!";
inline constexpr const char* kComingSoon = "Cette fonction sera disponible prochainement";
inline constexpr const char* kAboutTitle = "A propos";
inline constexpr const char* kProductName = "Korvane";
inline constexpr const char* kVersion = "V1.0 beta (8/4/2012)";
inline constexpr const char* kBetaRemark = "Attention : ceci est une version BETA ";

// The intake dialog.
inline constexpr const char* kIntakeTitle = "Ajouter une machine";
inline constexpr const char* kIntakeFound = "   NOUVELLES MACHINES DETECTEES";
inline constexpr const char* kIntakeManaged = " MACHINES A GERER";
inline constexpr const char* kIntakePurge = "Purger";
inline constexpr const char* kIntakeMove = "=>";
inline constexpr const char* kIntakeSampleName = "MA_MACHINE";
inline constexpr const char* kIntakeSampleIp = "mon_adresse_ip";
inline constexpr const char* kIntakeSampleMac = "mon_adresse_mac";
// Many network cards wake their computer for any packet sent to it: the poll,
// every 10 s, would then keep a sleeping computer awake.
inline constexpr const char* kIntakeHelp =
    "Carte réseau de chaque ordinateur : cochez « Autoriser uniquement un paquet magique à "
    "sortir l'ordinateur du mode veille », sinon l'interrogation de Korvane (toutes les 10 s) "
    "le tient éveillé.";

// The console window.
inline constexpr const char* kConsoleTitle = "Console";
inline constexpr const char* kConsoleSave = "Enregistrer...";
inline constexpr const char* kConsoleSaveTitle = "Enregistrer la console";
inline constexpr const char* kConsoleFile = "console.txt";
inline constexpr const char* kTextFiles = "Texte (*.txt)";
inline constexpr const char* kAllFiles = "Tous les fichiers (*)";

// The energy report.
inline constexpr const char* kEnergyPeriod = "Période :";
inline constexpr const char* kEnergyDays = " derniers jours";  // after the number
inline constexpr const char* kEnergyComputer = "Ordinateur";
inline constexpr const char* kEnergyDraw = "Puissance (W)";
inline constexpr const char* kEnergyHours = "Heures sous tension";
inline constexpr const char* kEnergyKwh = "Énergie (kWh)";
inline constexpr const char* kEnergyTotal = "Énergie estimée sur la période : ";
inline constexpr const char* kEnergyExport = "Exporter (CSV)";

// The map's hints.
inline constexpr const char* kProtectedHint = "Ne jamais éteindre : protégé";
inline constexpr const char* kProtectedMark = "protégé";

// The energy report.
inline constexpr const char* kEnergyAxis = "Heures sous tension par jour";
inline constexpr int kEnergyPeriods[] = {7, 30, 90};  // days

// The app layer's messages.
inline constexpr const char* kPollFailed = "Relevé des ordinateurs impossible : ";
// The folder, then the character that the batch files cannot hold.
inline constexpr const char* kProgramFolderUnfit = "Le dossier de Korvane « ";
inline constexpr const char* kProgramFolderUnfitCharacter = " » contient le caractère « ";
inline constexpr const char* kProgramFolderUnfitWhy =
    " », que les fichiers de commandes de Windows ne peuvent pas écrire, et le disque ne lui "
    "donne pas de nom court : Korvane ne pourra ni relever l'état des ordinateurs, ni les "
    "allumer ou les éteindre. Installez-le dans un dossier au nom sans ce caractère, par "
    "exemple C:\\Korvane.";
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
inline constexpr const char* kSshUnreadable = "Réglages SSH illisibles (liste.ssh) : ";
inline constexpr const char* kSshNotSaved = "Le réglage SSH n'a pas été enregistré. ";
inline constexpr const char* kSshKeyNotMade =
    "La clé SSH n'a pas pu être créée : ssh-keygen (paquet openssh-client ; sous Windows, le "
    "client OpenSSH de Windows 10 et suivants) n'a rien écrit dans « ";
inline constexpr const char* kSshPublicKeyMissing =
    "La moitié publique de la clé SSH est illisible : ";
inline constexpr const char* kSshKeyShown = "Clé SSH de Korvane : ";
inline constexpr const char* kSshKeyCopy =
    "Sur chaque ordinateur Linux à arrêter par SSH, ajoutez cette ligne au fichier "
    "~/.ssh/authorized_keys du compte indiqué dans le dialogue de l'ordinateur :";

// The access from the network (web_feature.h).
inline constexpr const char* kWebServedHere = "Accès depuis le réseau : page servie à ";
inline constexpr const char* kWebServedElsewhere =
    "Accès depuis le réseau : page servie par le Korvane qui tient ce dossier (le "
    "planificateur, ou une autre fenêtre), à ";
inline constexpr const char* kWebFingerprintTold =
    "Accès depuis le réseau : empreinte SHA-256 du certificat : ";
inline constexpr const char* kWebAccessOff = "Accès depuis le réseau : coupé.";
inline constexpr const char* kWebNotServed = "Accès depuis le réseau : page non servie : ";
inline constexpr const char* kWebNoLead =
    "aucun Korvane ne peut tenir ce dossier (voyez le message sur le verrou « planning.lck »).";
inline constexpr const char* kWebRequested = "Demande depuis le réseau (";
inline constexpr const char* kWebNotOnMap = " n'est plus sur la carte de Korvane.";
inline constexpr const char* kWebSent = "Commande envoyée.";
inline constexpr const char* kWebNoOutcome =
    "Sans nouvelles de la commande : son compte rendu n'est pas revenu (voyez la console de "
    "Korvane).";
inline constexpr const char* kWebNoVerdict =
    "Sans verdict : la vérification n'a pas rendu de résultat.";
inline constexpr const char* kWebEnded = "Korvane s'est arrêté avant la fin de la commande.";
inline constexpr const char* kWebEndedVerdict =
    "Sans verdict : Korvane s'est arrêté avant la vérification.";

// "korvane --acces-web" (access_setup.h).
inline constexpr const char* kWebAskPassword = "Mot de passe de l'accès depuis le réseau : ";
inline constexpr const char* kWebAskPasswordAgain = "Le même mot de passe, une seconde fois : ";
inline constexpr const char* kWebPasswordsDiffer = "Les deux mots de passe diffèrent.";
inline constexpr const char* kWebSetupUnchanged =
    "Rien n'a changé : l'accès depuis le réseau reste comme il était.";
inline constexpr const char* kWebSetupUsage =
    "Usage : korvane --acces-web [--port N] (N de 1 à 65535). Le mot de passe est demandé "
    "deux fois, jamais pris sur la ligne de commande.";
inline constexpr const char* kWebSetupDamaged =
    "Corrigez ou supprimez le fichier acces-web.ini du dossier de Korvane, puis recommencez.";
inline constexpr const char* kWebSetupDone = "Accès depuis le réseau activé.";
inline constexpr const char* kWebSetupAddress = "Adresse de la page : ";
inline constexpr const char* kWebSetupServedBy =
    "La page est servie par le planificateur (korvane --planificateur), ou par la fenêtre de "
    "Korvane quand aucun planificateur ne tourne ; un planificateur déjà lancé l'applique "
    "dans les dix secondes.";

// The preferences' "Accès depuis le réseau" (web_preferences.h).
inline constexpr const char* kWebPrefsSection = "Accès depuis le réseau";
inline constexpr const char* kWebPrefsEnable = "Activer l'accès depuis le réseau";
inline constexpr const char* kWebPrefsPort = "Port :";
inline constexpr const char* kWebPrefsPassword = "Mot de passe :";
inline constexpr const char* kWebPrefsPasswordAgain = "Mot de passe (une seconde fois) :";
inline constexpr const char* kWebPrefsPasswordSet =
    "Un mot de passe est défini ; laissez ces champs vides pour le garder.";
inline constexpr const char* kWebPrefsNoPassword =
    "Aucun mot de passe : définissez-en un avant d'activer l'accès.";
inline constexpr const char* kWebPrefsAddress = "Adresse de la page :";
inline constexpr const char* kWebPrefsCopy = "Copier";
inline constexpr const char* kWebPrefsFingerprint = "Empreinte du certificat (SHA-256) :";
inline constexpr const char* kWebPrefsTokens = "Jetons d'API";
inline constexpr const char* kWebPrefsTokenName = "Nom du jeton :";
inline constexpr const char* kWebPrefsTokenAdmin = "Administrateur";
inline constexpr const char* kWebPrefsTokenEntries =
    "Entrées (réveil seulement, séparées par des virgules) :";
inline constexpr const char* kWebPrefsMakeToken = "Créer un jeton";
inline constexpr const char* kWebPrefsRevoke = "Révoquer";
inline constexpr const char* kWebPrefsTokenColumns = "Nom|Rôle|Entrées|Créé le|Dernier usage";
inline constexpr const char* kWebPrefsTokenMade =
    "Voici le jeton. Copiez-le maintenant : il ne sera plus jamais montré.\n\n";
inline constexpr const char* kWebRoleAdmin = "administrateur";
inline constexpr const char* kWebRoleWakeOnly = "réveil seulement";
inline constexpr const char* kWebNeverUsed = "jamais";
inline constexpr const char* kWebPortRefused = "Le port doit être un nombre de 1 à 65535.";
inline constexpr const char* kWebCannotEnable = "L'accès depuis le réseau ne peut être activé : ";
inline constexpr const char* kWebTokenNoEntry =
    "Un jeton « réveil seulement » doit nommer au moins une entrée de la carte.";
inline constexpr const char* kWebTokenGone = "Ce jeton n'existe plus.";
inline constexpr const char* kKeepRunning = "Garder Korvane actif, fenêtre fermée";
inline constexpr const char* kKeepRunningNoSystemctl =
    "systemctl est introuvable : lancez « korvane --planificateur » à l'ouverture de session "
    "comme l'explique le README.";
inline constexpr const char* kKeepRunningFailed = "systemctl --user a échoué : ";
inline constexpr const char* kKeepRunningManual =
    ". Sans systemd pour votre compte, suivez les étapes du README.";
inline constexpr const char* kKeepRunningNoEntry =
    "L'entrée « Korvane planificateur » de l'ouverture de session n'a pu être écrite.";
inline constexpr const char* kKeepRunningEntryStays =
    "L'entrée « Korvane planificateur » de l'ouverture de session n'a pu être retirée.";

}  // namespace korvane::text
