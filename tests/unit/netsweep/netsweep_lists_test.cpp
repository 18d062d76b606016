// netsweep's list rules and its readers of the tools' listings, without any
// network: look-ups and their indexes, the in-place replacements, the
// discover list's order and duplicates.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "listings.h"
#include "lists.h"
#include "test_folder.h"

namespace {

using netsweep::DiscoveryLists;
using toolkit::TextList;

TEST(NetsweepMac, NormalisedAndRecognised) {
    EXPECT_EQ(netsweep::NormalizeMac(" \t02:00:00:aa:bb:cc\r\n"), "02-00-00-AA-BB-CC");
    EXPECT_EQ(netsweep::NormalizeMac("pc1 02:00:00:aa:bb:cc"), "PC1 02-00-00-AA-BB-CC");
    EXPECT_EQ(netsweep::NormalizeMac("\xC3\xA9t\xC3\xA9"), "\xC3\xA9T\xC3\xA9");
    for (const char* mac : {"02-00-00-AA-BB-CC", "02:00:00:aa:bb:cc"}) {
        EXPECT_TRUE(netsweep::IsMacText(mac)) << mac;
    }
    for (const char* bad :
         {"", "02-00-00-AA-BB", "02-00-00-AA-BB-CG", "02-00-00-AA-BB-CC-", "0200.00AA.BBCC..."}) {
        EXPECT_FALSE(netsweep::IsMacText(bad)) << bad;
    }
}

TEST(NetsweepLoad, ListeIPLowerCasedListeMACNormalisedEntriesFromLines) {
    testing_support::TempFolder folder;
    testing_support::WriteBytes(folder / "liste.ip",
                                "PC1 192.168.1.5\r\n  Box 192.168.1.1 \r\n\r\nseul\r\n");
    testing_support::WriteBytes(folder / "liste.mac", " pc1 02:00:00:aa:bb:cc\n");
    const TextList ip = netsweep::LoadListeIP(folder / "liste.ip");
    EXPECT_EQ(ip, (TextList{"pc1 192.168.1.5", "  box 192.168.1.1 ", "", "seul"}));
    // A line without a name or an address gives no entry.
    EXPECT_EQ(netsweep::Ip2NameOf(ip), (TextList{"192.168.1.5=pc1", "192.168.1.1=box"}));
    EXPECT_EQ(netsweep::LoadListeMAC(folder / "liste.mac"), TextList{"PC1 02-00-00-AA-BB-CC"});
    EXPECT_THROW(netsweep::LoadListeIP(folder / "absent"), toolkit::FileError);
}

// Only a whole name field (case ignored), or a whole MAC field, is a hit: a
// name that is part of another line, or of every address, finds nothing.
TEST(NetsweepLookups, OnlyAWholeFieldIsAHitAndSetsItsIndex) {
    DiscoveryLists lists;
    lists.ListeIP = TextList{"pc10 192.168.1.30", "pc1 192.168.1.5", "pc-salon 192.168.1.7",
                             "serveur-nas 192.168.1.11", "nue"};
    lists.ListeMAC = TextList{"PC-SALON 02-00-00-AA-BB-11", "pc2", "tv 02-00-00-00-00-01"};
    struct Case {
        std::string name;
        std::optional<std::string> address;
        std::size_t index;
    };
    for (const Case& c : std::vector<Case>{
             {"pc1", "192.168.1.5", 1},
             {"PC10", "192.168.1.30", 0},
             {"Pc-Salon", "192.168.1.7", 2},
             {"nue", "", 4},  // a line without a space: found, no address
             {"PC", std::nullopt, 0},
             {"salon", std::nullopt, 0},
             {"NAS", std::nullopt, 0},
             {"1", std::nullopt, 0},
             {".", std::nullopt, 0},
             {"192.168.1.5", std::nullopt, 0},
             {"pc1 192.168.1.5", std::nullopt, 0},
             {"", std::nullopt, 0},
         }) {
        lists.ipIndex = 99;
        EXPECT_EQ(lists.IpByName(c.name), c.address) << c.name;
        EXPECT_EQ(lists.ipIndex, c.index) << c.name;
    }
    EXPECT_EQ(lists.MacByName("pc-salon"), "02-00-00-AA-BB-11");
    EXPECT_EQ(lists.macIndex, 0u);
    EXPECT_EQ(lists.MacByName("pc2"), "");
    EXPECT_EQ(lists.macIndex, 1u);
    EXPECT_EQ(lists.MacByName("1"), std::nullopt);
    EXPECT_EQ(lists.NameByMac(" 02:00:00:00:00:01 "), "tv");
    EXPECT_EQ(lists.macIndex, 2u);
    for (const char* part : {"1", "02-00-00", "AA-BB-11", "02-00-00-00-00-0", ""}) {
        EXPECT_EQ(lists.NameByMac(part), std::nullopt) << part;
        EXPECT_EQ(lists.macIndex, 0u);
    }
}

// The names a device on the LAN may announce: only usable names stand in the
// lists, and an entry whose name merely appears in another line adds a line
// of its own instead of overwriting that one.
TEST(NetsweepRules, NamesFromTheNetworkNeverTakeAnotherComputersLine) {
    for (const char* good : {"pc-salon", "PC", "1", "serveur_nas", "a.b"}) {
        EXPECT_TRUE(netsweep::IsUsableName(good)) << good;
    }
    for (const char* bad : {"", ".", "..", "..lan", "-rf", "-x", "pc 1", "pc=1", "a/b"}) {
        EXPECT_FALSE(netsweep::IsUsableName(bad)) << bad;
    }
    EXPECT_EQ(netsweep::Ip2NameOf({". 192.168.1.9", "-rf 192.168.1.8", "pc 192.168.1.7"}),
              TextList{"192.168.1.7=pc"});
    EXPECT_EQ(netsweep::UsableDiscoverLines(
                  {"192.168.1.9=.", "192.168.1.8=-RF", "192.168.1.7=PC", "192.168.1.6=..lan",
                   "192.168.1.5=", "192.168.1.4=SSH.CMD", "192.168.1.3=NUL"}),
              TextList{"192.168.1.7=PC"});
    // A DNS name that only its ending makes unusable names its computer by
    // its first label; a device or program name stays unusable.
    for (const auto& [dns, usable] : std::vector<std::pair<std::string, std::string>>{
             {"pc-salon.maison.lan", "pc-salon.maison.lan"},
             {"pc7.acme.com", "pc7"},
             {"nul.acme.com", ""},
             {"attrib.bat", "attrib"},
             {"-x.acme.com", ""},
             {"pc 7.acme.com", ""}}) {
        EXPECT_EQ(netsweep::UsableDnsName(dns), usable) << dns;
    }

    DiscoveryLists lists;
    lists.ListeIP = TextList{"pc-salon 192.168.1.12", "serveur-nas 192.168.1.20"};
    lists.ListeMAC = TextList{"PC-SALON 02-00-00-00-00-12", "SERVEUR-NAS 02-00-00-00-00-20"};
    lists.ip2name = TextList{"192.168.1.31=PC", "192.168.1.32=1", "192.168.1.33=nas"};
    lists.ip2mac = {"192.168.1.31=02-00-00-00-00-31", "192.168.1.32=02-00-00-00-00-32",
                    "192.168.1.33=02-00-00-00-00-33"};
    std::ostringstream console;
    netsweep::MergeNamesIntoListeIP(lists, console);
    netsweep::MergeMacsIntoListeMAC(
        lists, [&](const std::string& address) { return lists.NameOf(address); }, console);
    EXPECT_EQ(lists.ListeIP.Lines(),
              (TextList{"pc-salon 192.168.1.12", "serveur-nas 192.168.1.20", "pc 192.168.1.31",
                        "1 192.168.1.32", "nas 192.168.1.33"}));
    EXPECT_EQ(lists.ListeMAC.Lines(),
              (TextList{"PC-SALON 02-00-00-00-00-12", "SERVEUR-NAS 02-00-00-00-00-20",
                        "PC 02-00-00-00-00-31", "1 02-00-00-00-00-32", "nas 02-00-00-00-00-33"}));
}

TEST(NetsweepRules, NamesGoIntoListeIPInPlaceOrAtTheEnd) {
    DiscoveryLists lists;
    lists.ListeIP = TextList{"pc1 192.168.1.5", "box 192.168.1.1"};
    lists.ip2name =
        TextList{"192.168.1.9=PC1", "192.168.1.1=box", "192.168.1.12=pc-salon.maison.lan"};
    std::ostringstream console;
    netsweep::MergeNamesIntoListeIP(lists, console);
    // The moved computer keeps its line; the name is lower-cased.
    EXPECT_EQ(lists.ListeIP.Lines(),
              (TextList{"pc1 192.168.1.9", "box 192.168.1.1", "pc-salon.maison.lan 192.168.1.12"}));
    EXPECT_EQ(console.str(),
              "Ajout ip2name vers ListeIP : pc1 192.168.1.9\n"
              "Ajout ip2name vers ListeIP : box 192.168.1.1\n"
              "Ajout ip2name vers ListeIP : pc-salon.maison.lan 192.168.1.12\n");
}

TEST(NetsweepRules, ArpEntriesRenameTheirMacLineThenSetTheNamesMac) {
    DiscoveryLists lists;
    lists.ListeMAC =
        TextList{"PC1 02-00-00-AA-BB-CC", "tv 02-00-00-00-00-07", "pc2 02-00-00-00-00-02"};
    lists.ip2mac = {"192.168.1.5=02-00-00-AA-BB-CC", "192.168.1.6=02-00-00-00-00-06",
                    "192.168.1.7=02-00-00-00-00-07", "192.168.1.8=02-00-00-00-00-08",
                    "192.168.1.9=02-00-00-00-00-09"};
    const std::map<std::string, std::string> names = {{"192.168.1.5", "pc1"},
                                                      {"192.168.1.6", "pc2"},
                                                      {"192.168.1.7", "radio"},
                                                      {"192.168.1.8", "neuf"}};
    std::ostringstream console;
    netsweep::MergeMacsIntoListeMAC(
        lists,
        [&](const std::string& address) {
            const auto found = names.find(address);
            return found == names.end() ? std::string() : found->second;
        },
        console);
    EXPECT_EQ(lists.ListeMAC.Lines(),
              (TextList{"pc1 02-00-00-AA-BB-CC",    // renamed: PC1 != pc1
                        "radio 02-00-00-00-00-07",  // the adapter changed hands
                        "pc2 02-00-00-00-00-06",    // a new adapter for pc2
                        "neuf 02-00-00-00-00-08"}));
    EXPECT_EQ(console.str(),
              "Ajout ip2mac vers ListeMAC : pc1 02-00-00-AA-BB-CC\n"
              "Ajout ip2mac vers ListeMAC : pc2 02-00-00-00-00-06\n"
              "Ajout ip2mac vers ListeMAC : radio 02-00-00-00-00-07\n"
              "Ajout ip2mac vers ListeMAC : neuf 02-00-00-00-00-08\n");
}

// The router gave pc1's and pc2's addresses to each other, and a printer
// took pc3's; pc4 kept its own, and the box has no MAC line to compare with.
// The names of the three taken addresses are forgotten (every entry of
// theirs), the others kept in order.
TEST(NetsweepRules, NamesOfAddressesAnotherDeviceTookAreForgotten) {
    DiscoveryLists lists;
    lists.ListeMAC = TextList{"pc1 02-00-00-00-00-01", "pc2 02-00-00-00-00-02",
                              "pc3 02-00-00-00-00-03", "pc4 02-00-00-00-00-04"};
    lists.ip2name = TextList{"192.168.1.11=pc1", "192.168.1.12=pc2", "192.168.1.13=pc3",
                             "192.168.1.14=pc4", "192.168.1.1=box",  "192.168.1.11=PC1"};
    lists.ip2mac = {"192.168.1.11=02-00-00-00-00-02", "192.168.1.12=02:00:00:00:00:01",
                    "192.168.1.13=02-00-00-00-00-99", "192.168.1.14=02-00-00-00-00-04",
                    "192.168.1.1=02-00-00-00-00-AB",  "192.168.1.20=02-00-00-00-00-20"};
    EXPECT_EQ(netsweep::ForgetMovedNames(lists),
              (std::vector<std::string>{"192.168.1.11", "192.168.1.12", "192.168.1.13"}));
    EXPECT_EQ(lists.ip2name.Lines(), (TextList{"192.168.1.14=pc4", "192.168.1.1=box"}));
}

TEST(NetsweepRules, DiscoverListTakesUnmanagedNamesSortedOnce) {
    DiscoveryLists lists;
    lists.ListeDiscover.Add("192.168.1.100=Box");
    lists.ip2name = TextList{"192.168.1.5=pc1",   "192.168.1.10=pc-salon", "192.168.1.10=PC-SALON",
                             "192.168.1.5=autre", "192.168.1.2=tv",        "192.168.1.10=pc-salon"};
    netsweep::AddUnmanaged(lists, {"PC1", "tv "});
    // 192.168.1.5 is pc1's (its first name), managed: both its entries stay
    // out; a line differing only in case is a duplicate; "tv " is not "tv".
    EXPECT_EQ(lists.ListeDiscover.Lines(),
              (TextList{"192.168.1.10=pc-salon", "192.168.1.100=Box", "192.168.1.2=tv"}));

    DiscoveryLists none;
    none.ip2name = lists.ip2name;
    netsweep::AddUnmanaged(none, {});
    EXPECT_EQ(none.ListeDiscover.Size(), 4u);
}

TEST(NetsweepListings, NodeStatusNameIsTheFirstUniqueLine) {
    const TextList listing = {
        "Connexion au réseau local:",
        "Adresse IP du nœud : [192.168.1.2] ID d'étendue : []",
        "    MAISON          <00>  GROUP       Inscrit",
        "    PC-SALON        <00>  UNIQUE      Inscrit",
        "    AUTRE           <20>  UNIQUE      Inscrit",
    };
    EXPECT_EQ(netsweep::FirstUniqueName(listing), "pc-salon");
    EXPECT_EQ(netsweep::FirstUniqueName({"Hôte introuvable."}), "");
    EXPECT_EQ(netsweep::FirstUniqueName({"   UNIQUE sans crochet  "}), "unique sans crochet");

    TextList two = {"avant"};
    two.insert(two.end(), listing.begin(), listing.end());
    two.insert(two.end(), listing.begin(), listing.begin() + 2);
    const auto listings = netsweep::SplitNodeListings(two);
    ASSERT_EQ(listings.size(), 2u);
    EXPECT_EQ(netsweep::NodeListingName(listings[0]), "pc-salon");
    EXPECT_EQ(listings[1], (TextList{listing[0], listing[1]}));
}

// netcmd's list mode: each listing starts with its adapter's line. A silent
// host followed by a listing whose adapter's name looks like a name line
// must stay nameless, and that adapter name is no one's.
TEST(NetsweepListings, EachAdapterLineBelongsToItsOwnListing) {
    const TextList output = {
        "",
        "eth0:",
        "Adresse IP du nœud : [192.168.1.2] ID d'étendue : []",
        "",
        "    Hôte introuvable.",
        "",
        "PIEGE<00>UNIQUE:",
        "Adresse IP du nœud : [192.168.1.2] ID d'étendue : []",
        "",
        "    Hôte introuvable.",
        "",
        "PIEGE<00>UNIQUE:",
        "Adresse IP du nœud : [192.168.1.2] ID d'étendue : []",
        "    PC-SALON       <00>  UNIQUE      Inscrit",
    };
    const auto listings = netsweep::SplitNodeListings(output);
    ASSERT_EQ(listings.size(), 3u);
    std::vector<std::string> names;
    for (const TextList& listing : listings) names.push_back(netsweep::NodeListingName(listing));
    EXPECT_EQ(names, (std::vector<std::string>{"", "", "pc-salon"}));
    EXPECT_EQ(listings[1].front(), "PIEGE<00>UNIQUE:");
}

TEST(NetsweepListings, CacheAndArpLines) {
    const auto cache = netsweep::ReadNameCache({
        "    PC-SALON        <00>  UNIQUE          192.168.1.12        590",
        "    MAISON          <00>  GROUP           192.168.1.12        590",
        "    SEUL            <00>  UNIQUE",  // nothing after the word: no address
        "PC2<20>UNIQUE192.168.1.13",
    });
    ASSERT_EQ(cache.size(), 3u);
    EXPECT_EQ(cache[0].name, "pc-salon");
    EXPECT_EQ(cache[0].address, "192.168.1.12");
    EXPECT_EQ(cache[1].address, "");
    EXPECT_EQ(cache[2].address, "192.168.1.13");

    const auto arp = netsweep::ReadArpTable({
        "Interface : 192.168.1.2 --- 0x2",
        "  192.168.1.1           02-00-00-00-00-01     dynamique",
        "  192.168.1.7           02:00:00:aa:bb:07     dynamique",
        "  192.168.1.255         ff-ff-ff-ff-ff-ff     statique",
        "dynamique",
    });
    ASSERT_EQ(arp.size(), 3u);
    EXPECT_EQ(arp[0].address, "192.168.1.1");
    EXPECT_EQ(arp[1].mac, "02-00-00-AA-BB-07");
    EXPECT_EQ(arp[2].address, "dynamique");
    EXPECT_EQ(arp[2].mac, "");
}

}  // namespace
