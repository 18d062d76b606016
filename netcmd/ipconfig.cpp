#include "ipconfig.h"

#include "layout.h"

namespace netcmd {
namespace {

constexpr const char* kPreferred = "(préféré)";

const char* YesNo(bool value) {
    return value ? "Oui" : "Non";
}

void AddHeader(const IpConfigState& state, toolkit::TextList& out) {
    out.push_back("");
    out.push_back("Configuration IP de Windows");
    out.push_back("");
    out.push_back("   Nom de l'hôte . . . . . . . . . . : " + PrintableField(state.hostName));
    out.push_back("   Suffixe DNS principal . . . . . . : " + PrintableField(state.dnsSuffix));
    out.push_back("   Type de noeud. . . . . . . . . .  : Hybride");
    out.push_back(std::string("   Routage IP activé . . . . . . . . : ") +
                  YesNo(state.ipForwarding));
    out.push_back("   Proxy WINS activé . . . . . . . . : Non");
}

// Description, physical address and the IPv4 line keep fixed distances
// (5 and 4 lines) in every connected block: the parser takes the first two
// from the lines above the first preferred IPv4 address.
void AddIdentity(const IpConfigAdapter& adapter, toolkit::TextList& out) {
    out.push_back("   Suffixe DNS propre à la connexion. . . : ");
    out.push_back("   Description. . . . . . . . . . . . . . : " +
                  PrintableField(adapter.description));
    out.push_back("   Adresse physique . . . . . . . . . . . : " +
                  FormatHardwareAddress(adapter.hardwareAddress, true));
    out.push_back(std::string("   DHCP activé. . . . . . . . . . . . . . : ") +
                  YesNo(adapter.dhcp));
    out.push_back("   Configuration automatique activée. . . : Oui");
}

void AddDnsServers(const IpConfigState& state, toolkit::TextList& out) {
    const std::string label = "   Serveurs DNS. . . . . . . . . . . . . : ";
    if (state.dnsServers.empty()) {
        out.push_back(label);
        return;
    }
    out.push_back(label + PrintableField(state.dnsServers.front()));
    for (std::size_t i = 1; i < state.dnsServers.size(); ++i) {
        out.push_back(std::string(label.size(), ' ') + PrintableField(state.dnsServers[i]));
    }
}

void AddAddresses(const IpConfigState& state, const IpConfigAdapter& adapter,
                  toolkit::TextList& out) {
    // Exactly one line between the identity block and the IPv4 address.
    if (adapter.linkLocal.empty()) {
        out.push_back("   Configuration IPv6 . . . . . . . . . . : Désactivée");
    } else {
        out.push_back("   Adresse IPv6 de liaison locale. . . . .: " +
                      PrintableField(adapter.linkLocal) + kPreferred);
    }
    for (const Ipv4Address& entry : adapter.ipv4) {
        out.push_back("   Adresse IPv4. . . . . . . . . . . . . .: " + entry.address + kPreferred);
        out.push_back("   Masque de sous-réseau. . . . . . . . . : " + entry.mask);
    }
    for (const std::string& address : adapter.ipv6) {
        out.push_back("   Adresse IPv6. . . . . . . . . . . . . .: " + PrintableField(address) +
                      kPreferred);
    }
    out.push_back("   Passerelle par défaut. . . . . . . . . : " + adapter.gateway);
    if (!adapter.dhcpServer.empty()) {
        out.push_back("   Serveur DHCP . . . . . . . . . . . . . : " + adapter.dhcpServer);
    }
    AddDnsServers(state, out);
    out.push_back("   NetBIOS sur Tcpip. . . . . . . . . . . : Activé");
}

// Where the parser's first-match passes land: a disconnected block (media
// state first, as Windows lists it) holds no address, mask, gateway or server
// line, so those passes land in the first connected block even when a
// disconnected adapter comes before it. Its description and physical address
// may be matched first, but the preferred-IPv4 pass then replaces both with
// the lines above the first connected block's address.
void AddAdapter(const IpConfigState& state, const IpConfigAdapter& adapter,
                toolkit::TextList& out) {
    out.insert(out.end(), {"", "Carte Ethernet " + PrintableField(adapter.name) + " :", ""});
    if (!adapter.connected) {
        out.push_back("   Statut du média. . . . . . . . . . . . : Média déconnecté");
    }
    AddIdentity(adapter, out);
    if (adapter.connected) AddAddresses(state, adapter, out);
}

}  // namespace

toolkit::TextList FormatIpConfig(const IpConfigState& state) {
    toolkit::TextList out;
    AddHeader(state, out);
    for (const IpConfigAdapter& adapter : state.adapters) AddAdapter(state, adapter, out);
    return out;
}

}  // namespace netcmd
