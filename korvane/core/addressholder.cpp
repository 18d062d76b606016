#include "korvane/core/addressholder.h"

#include "utils.h"
#include "wakeonlan.h"

namespace korvane {

namespace {

// " « pc1 » est vu à l'adresse 10.0.0.7." or nothing.
std::string SeenElsewhere(std::string_view name, const OtherHolder& holder) {
    if (holder.entrySeenAt.empty()) return "";
    std::string where;
    for (const auto& address : holder.entrySeenAt) where += (where.empty() ? "" : ", ") + address;
    return " « " + std::string(name) + " » est vu " +
           (holder.entrySeenAt.size() == 1 ? "à l'adresse " : "aux adresses ") + where + ".";
}

}  // namespace

std::optional<OtherHolder> FindOtherHolder(std::string_view entryMac, std::string_view address,
                                           const toolkit::NeighbourSnapshot& table) {
    const auto wanted = toolkit::ParseMac(toolkit::Trim(std::string(entryMac)));
    if (!wanted) return std::nullopt;
    const std::string dotted = toolkit::Trim(std::string(address));
    const std::optional<std::string> seen = table.MacOf(dotted);
    if (!seen) return std::nullopt;
    const auto seenMac = toolkit::ParseMac(*seen);
    if (!seenMac || *seenMac == *wanted) return std::nullopt;
    const std::string mine = toolkit::MacText(*wanted);
    return OtherHolder{dotted, mine, toolkit::MacText(*seenMac), table.AddressesOf(mine)};
}

std::string AddressTakenHint(const OtherHolder& holder) {
    return std::string(kAddressTaken) + " (MAC " + holder.seenMac + " au lieu de " +
           holder.entryMac + ")";
}

std::string AddressTakenNotice(std::string_view name, const OtherHolder& holder) {
    return "« " + std::string(name) + " » : " + kAddressTaken + " à l'adresse " + holder.address +
           " (MAC " + holder.seenMac + ", celle de « " + std::string(name) + " » est " +
           holder.entryMac + ")." + SeenElsewhere(name, holder) +
           " Recherche du réseau lancée pour mettre les listes à jour.";
}

std::string AddressTakenRefusal(std::string_view actionStart, std::string_view name,
                                const OtherHolder& holder) {
    return std::string(actionStart) + "« " + std::string(name) + " » refusé : l'adresse " +
           holder.address + " est occupée par un autre appareil (MAC " + holder.seenMac +
           ") ; celle de « " + std::string(name) + " » est " + holder.entryMac + " (liste.mac)." +
           SeenElsewhere(name, holder) +
           " Rien n'a été envoyé ; la recherche du réseau mettra les listes à jour.";
}

}  // namespace korvane
