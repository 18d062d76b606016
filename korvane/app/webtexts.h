// The French texts of the web page, by the keys its script looks them up
// with (GET /api/textes): the window's own texts (texts.h) where the page
// shows the same thing, and the page's few of its own. The script holds no
// French text of its own.
#pragma once

#include <map>
#include <string>

namespace korvane::text {

inline constexpr const char* kWebAccess = "Accès depuis le réseau";
inline constexpr const char* kWebPassword = "Mot de passe";
inline constexpr const char* kWebToken = "Jeton";
inline constexpr const char* kWebLogIn = "Se connecter";
inline constexpr const char* kWebLogOut = "Se déconnecter";
inline constexpr const char* kWebMap = "Ordinateurs";
inline constexpr const char* kWebGateway = "Passerelle";
inline constexpr const char* kWebOn = "allumé";
inline constexpr const char* kWebOff = "éteint";
inline constexpr const char* kWebAddressTaken = "adresse prise par un autre appareil";
inline constexpr const char* kWebNextAction = "Prochaine action planifiée";
inline constexpr const char* kWebConfirmOff = "Éteindre « %s » ?";
inline constexpr const char* kWebConfirmRestart = "Redémarrer « %s » ?";
inline constexpr const char* kWebIncidents = "Incidents";
inline constexpr const char* kWebDevices = "Nouveaux appareils";
inline constexpr const char* kWebNoIncident = "Aucun incident.";
inline constexpr const char* kWebNoDevice = "Aucun nouvel appareil.";
inline constexpr const char* kWebScanning = "Scan en cours...";
inline constexpr const char* kWebLastPoll = "Dernier relevé : ";
inline constexpr const char* kWebUnreachable = "Korvane ne répond pas.";
inline constexpr const char* kWebActionQueued = "Commande envoyée.";
inline constexpr const char* kWebWakeOnly = "Réveil seulement";
inline constexpr const char* kWebTokens = "Jetons d'accès";
inline constexpr const char* kWebRevoke = "Révoquer";
inline constexpr const char* kWebNewToken = "Nouveau jeton";
inline constexpr const char* kWebTokenShownOnce =
    "Copiez ce jeton maintenant : il ne sera plus jamais affiché.";
inline constexpr const char* kWebLastUse = "Dernier usage";
inline constexpr const char* kWebNever = "jamais";
inline constexpr const char* kWebName = "Nom";
inline constexpr const char* kWebRole = "Rôle";
inline constexpr const char* kWebEntries = "Entrées (séparées par des virgules)";
inline constexpr const char* kWebAddress = "Adresse";
inline constexpr const char* kWebMac = "Adresse MAC";
inline constexpr const char* kWebSeen = "Vu";
inline constexpr const char* kWebTime = "Heure";
inline constexpr const char* kWebVerdict = "Constat";
inline constexpr const char* kWebReason = "Raison";

// Every text of the page, by key.
std::map<std::string, std::string> WebTexts();

}  // namespace korvane::text
