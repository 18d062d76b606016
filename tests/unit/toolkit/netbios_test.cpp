// The NetBIOS name query: the question a Windows computer broadcasts for a
// neighbour's name, and the answers it takes from the network.
#include "netbios.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "utils.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Encoded(std::string_view name) {
    Bytes out{32};
    for (const char c : toolkit::EncodeNetbiosName(toolkit::RawNetbiosName(name, 0)))
        out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(0);
    return out;
}

// A positive answer as Samba's nmbd sends it: the name, NB, IN, a TTL, one
// address entry.
Bytes Answer(std::uint16_t id, std::string_view name, std::array<std::uint8_t, 4> address,
             std::uint16_t flags = 0x8500) {
    Bytes out{static_cast<std::uint8_t>(id >> 8), static_cast<std::uint8_t>(id & 0xFF),
              static_cast<std::uint8_t>(flags >> 8), static_cast<std::uint8_t>(flags & 0xFF),
              0, 0, 0, 1, 0, 0, 0, 0};
    const Bytes wire = Encoded(name);
    out.insert(out.end(), wire.begin(), wire.end());
    const Bytes rest{0, 0x20, 0, 1, 0, 0x04, 0x93, 0xE0, 0, 6, 0, 0};
    out.insert(out.end(), rest.begin(), rest.end());
    out.insert(out.end(), address.begin(), address.end());
    return out;
}

TEST(NetbiosNameQuery, TheBroadcastQuestionForTheWorkstationName) {
    Bytes expected{0x12, 0x34, 0x01, 0x10, 0, 1, 0, 0, 0, 0, 0, 0};
    const Bytes wire = Encoded("PC1");
    expected.insert(expected.end(), wire.begin(), wire.end());
    expected.insert(expected.end(), {0, 0x20, 0, 1});
    EXPECT_EQ(toolkit::BuildNameQuery(0x1234, "PC1"), expected);
    // "PC1" padded with blanks, suffix 00: the form every NetBIOS tool shows.
    EXPECT_EQ(std::string(wire.begin() + 1, wire.end() - 1), "FAEDDBCACACACACACACACACACACACAAA");
}

TEST(NetbiosNameQuery, OnlyShortPlainNamesAreAsked) {
    for (const auto& [host, asked] : std::vector<std::pair<std::string, std::string>>{
             {"pc1", "PC1"}, {"Pc-Salon", "PC-SALON"}, {"serveur_nas", "SERVEUR_NAS"},
             {std::string(15, 'a'), std::string(15, 'A')}}) {
        EXPECT_EQ(toolkit::NetbiosQueryName(host), asked) << host;
    }
    for (const std::string& host : std::vector<std::string>{"", "pc1.maison.lan", std::string(16, 'a'), "pc 1", "pé", "pc*", "10.0.0.1"}) {
        EXPECT_FALSE(toolkit::NetbiosQueryName(host)) << host;
    }
}

TEST(NetbiosNameQuery, OnlyAPositiveAnswerToOurQuestionGivesAnAddress) {
    const toolkit::IPv4 pc1{198, 18, 0, 11};
    EXPECT_EQ(toolkit::ParseNameQueryResponse(Answer(7, "PC1", pc1), 7, "PC1"), pc1);
    Bytes truncated = Answer(7, "PC1", pc1);
    truncated.pop_back();
    Bytes longer = Answer(7, "PC1", pc1);  // a second entry after the first
    longer[longer.size() - 7] = 12;
    longer.insert(longer.end(), {0, 0, 198, 18, 0, 12});
    EXPECT_EQ(toolkit::ParseNameQueryResponse(longer, 7, "PC1"), pc1);
    for (const auto& [packet, why] : std::vector<std::pair<Bytes, std::string>>{
             {Answer(8, "PC1", pc1), "another query's answer"},
             {Answer(7, "PC10", pc1), "another name"},
             {Answer(7, "PC1", pc1, 0x8503), "negative answer (name error)"},
             {Answer(7, "PC1", pc1, 0x0110), "a question, not an answer"},
             {Answer(7, "PC1", {0, 0, 0, 0}), "no address"},
             {Answer(7, "PC1", {127, 0, 0, 1}), "loopback"},
             {Answer(7, "PC1", {127, 0, 1, 1}), "loopback, as a hosts file names itself"},
             {Answer(7, "PC1", {0, 1, 2, 3}), "this network"},
             {Answer(7, "PC1", {224, 0, 0, 251}), "multicast"},
             {Answer(7, "PC1", {255, 255, 255, 255}), "the limited broadcast"},
             {truncated, "cut short"},
             {Bytes{0, 7}, "a header alone"},
             {Bytes{}, "nothing"}}) {
        EXPECT_FALSE(toolkit::ParseNameQueryResponse(packet, 7, "PC1")) << why;
    }
}

// An answer may not have the asking computer probe itself: its own
// addresses stand only for its own name.
TEST(NetbiosNameQuery, TheAskersOwnAddressStandsOnlyForItsOwnName) {
    EXPECT_EQ(toolkit::OwnNetbiosName("poste-accueil.maison.lan"), "POSTE-ACCUEIL");
    EXPECT_EQ(toolkit::OwnNetbiosName("un-nom-bien-trop-long"), "UN-NOM-BIEN-TRO");
    const std::vector<toolkit::IPv4> own{{127, 0, 0, 1}, {198, 18, 0, 2}};
    const std::string ownName = toolkit::OwnNetbiosName("accueil");
    struct Case {
        toolkit::IPv4 address;
        const char* name;
        std::string ownName;
        bool accepted;
    };
    for (const Case& c : std::vector<Case>{
             {{198, 18, 0, 11}, "PC1", ownName, true},
             {{198, 18, 0, 2}, "PC1", ownName, false},
             {{198, 18, 0, 2}, "ACCUEIL", ownName, true},
             {{198, 18, 0, 2}, "PC1", "", false},
             {{198, 18, 0, 2}, "", "", false},
         }) {
        EXPECT_EQ(toolkit::AcceptableAnswer(c.address, c.name, own, c.ownName), c.accepted)
            << c.name << " / " << c.ownName;
    }
}

TEST(SystemErrors, NetworkErrorsAreToldInFrench) {
    EXPECT_EQ(toolkit::SystemErrorText(ENETUNREACH),
              "réseau injoignable (aucune route vers ce réseau)");
    EXPECT_EQ(toolkit::SystemErrorText(EHOSTUNREACH), "hôte injoignable");
    EXPECT_EQ(toolkit::SystemErrorText(EPROTO), "erreur système 71 (EPROTO)");
}

}  // namespace
