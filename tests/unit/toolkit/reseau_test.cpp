// Local network information: the ipconfig parser on French listings of both
// layouts, the address arithmetic, the strict dotted check, the address table.
#include "reseau.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "test_folder.h"
#include "tools.h"

namespace {

using testing_support::ScopedProgramDir;

using testing_support::ScopedEnv;
using testing_support::TempFolder;
using toolkit::host_params;
using toolkit::ParseIpConfig;
using toolkit::TextList;

std::string Fixture(const std::string& name) {
    return std::string(KORVANE_SOURCE_DIR) + "tests/unit/fixtures/" + name;
}

host_params ParseFixture(const std::string& name) {
    return ParseIpConfig(toolkit::LoadLines(Fixture(name)));
}

TEST(ParseIpConfig, OlderLayoutFillsEveryFieldFromItsLabel) {
    const host_params p = ParseFixture("ipconfig_older.txt");
    EXPECT_EQ(p.hostName, "pc-bureau");
    EXPECT_EQ(p.description, "Carte réseau Realtek RTL8139 Family PCI Fast Ethernet");
    EXPECT_EQ(p.physicalAddress, "00-11-22-33-44-55");
    EXPECT_EQ(p.address, "192.168.1.12");
    EXPECT_EQ(p.mask, "255.255.255.0");
    EXPECT_EQ(p.gateway, "192.168.1.1");
    EXPECT_EQ(p.dhcpServer, "192.168.1.1");
    EXPECT_EQ(p.dnsServer, "192.168.1.1");  // the first server only
    EXPECT_EQ(p.spare1, "");
    EXPECT_EQ(p.spare2, "");
}

// Here "Description." and "physique." carry no space, the first "Adresse IP"
// line is the IPv6 one, and a tunnel adapter further down lists its own
// description and hardware address: the "(préféré)" IPv4 line decides all three.
TEST(ParseIpConfig, NewerLayoutTakesAddressAndAdapterFromTheIPv4Line) {
    const host_params p = ParseFixture("ipconfig_newer.txt");
    EXPECT_EQ(p.address, "192.168.1.12");
    EXPECT_EQ(p.physicalAddress, "00-1E-4F-AA-BB-CC");
    EXPECT_EQ(p.description, "Intel(R) 82567LM-3 Gigabit Network Connection");
    EXPECT_EQ(p.hostName, "PC-SALON");
    EXPECT_EQ(p.mask, "255.255.255.0");
    EXPECT_EQ(p.gateway, "192.168.1.254");
    EXPECT_EQ(p.dhcpServer, "192.168.1.254");
    EXPECT_EQ(p.dnsServer, "192.168.1.254");
}

TEST(ParseIpConfig, IPv6LineStaysWhenNoPreferredIPv4LineExists) {
    const TextList lines = {
        "   Adresse IPv6 de liaison locale. . . . .: fe80::8d4f:1c2b%11(préféré)",
        "   Adresse IPv4. . . . . . . . . . . . . .: 169.254.3.4(tentative)",
    };
    EXPECT_EQ(ParseIpConfig(lines).address, "fe80::8d4f:1c2b%11(préféré)");
}

// Windows 10 prints the IPv6 gateway on the "Passerelle" line and the IPv4
// one on the next: the gateway is the first IPv4 address among them.
TEST(ParseIpConfig, GatewayIsTheFirstIPv4AddressOfItsLineAndContinuations) {
    const host_params listed = toolkit::ParseIpConfig(toolkit::LoadLines(
        std::string(KORVANE_SOURCE_DIR) + "tests/fixtures/windows/ipconfig-all.txt"));
    EXPECT_EQ(listed.gateway, "198.18.0.1");
    EXPECT_EQ(listed.address, "198.18.0.2");
    EXPECT_EQ(listed.mask, "255.255.255.0");
    EXPECT_EQ(listed.dnsServer, "fe80::4b:52ff:fe00:1%12");  // the first one listed, as ever
    const std::string label = "   Passerelle par défaut. . . . . . . . . : ";
    const std::string more = "                                       ";
    const struct {
        TextList lines;
        std::string gateway;
    } cases[] = {
        {{label + "fe80::1%12", more + "198.18.0.1"}, "198.18.0.1"},
        {{label + "fe80::1%12", more + "2a01:e0a::1", more + "10.0.0.1"}, "10.0.0.1"},
        {{label + "192.168.1.1", more + "192.168.1.254"}, "192.168.1.1"},
        {{label + "fe80::1%12"}, "fe80::1%12"},  // IPv6 only: the listed value stands
        {{label + "fe80::1%12", "   Serveur DHCP . . . . . . . . . . . . . : 198.18.0.1"},
         "fe80::1%12"},
        {{label + "fe80::1%12", "", more + "198.18.0.1"}, "fe80::1%12"},
        {{label, more + "198.18.0.1"}, "198.18.0.1"},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseIpConfig(c.lines).gateway, c.gateway) << c.lines[0];
}

TEST(ParseIpConfig, EachFieldComesFromTheFirstAdapterListingIt) {
    const host_params p = ParseFixture("ipconfig_two_adapters.txt");
    EXPECT_EQ(p.hostName, "portable");
    EXPECT_EQ(p.description, "VirtualBox Host-Only Ethernet Adapter");
    EXPECT_EQ(p.physicalAddress, "08-00-27-00-8A-3C");
    EXPECT_EQ(p.address, "192.168.56.1");
    EXPECT_EQ(p.mask, "255.255.255.0");
    // The first adapter prints the label with nothing after it.
    EXPECT_EQ(p.gateway, "");
    EXPECT_EQ(p.dhcpServer, "10.0.0.1");
    EXPECT_EQ(p.dnsServer, "10.0.0.1");
}

TEST(ParseIpConfig, MissingLabelsLeaveFieldsEmpty) {
    const host_params p = ParseIpConfig({"        Adresse IP. . . . . . . . . . . . : 10.1.2.3",
                                         "        Masque de sous-réseau . . . . . . : 255.0.0.0"});
    EXPECT_EQ(p.address, "10.1.2.3");
    EXPECT_EQ(p.gateway, "");
    EXPECT_EQ(p.dhcpServer, "");
    EXPECT_EQ(p.hostName, "");
    EXPECT_EQ(ParseIpConfig({}).address, "");
}

TEST(ParseIpConfig, LabelsAreCaseSensitiveAndValuesCutThenTrimmed) {
    const std::string longValue(300, 'x');
    const host_params p = ParseIpConfig({
        "   nom de l'hôte . . . : ignored",
        "   Nom de l'hôte . . . :\t pc1 \r",
        "   Passerelle par défaut . . : " + longValue,
        "   Serveur DHCP . . : a:b",
    });
    EXPECT_EQ(p.hostName, "pc1");
    EXPECT_EQ(p.gateway, std::string(254, 'x'));  // 255 characters from the colon on
    EXPECT_EQ(p.dhcpServer, "a:b");
}

// A label counts only where a line starts: names inside values (the host,
// an adapter, a continued list, a description) never stand for one.
TEST(ParseIpConfig, LabelsCountOnlyAtTheStartOfTheirLine) {
    const host_params p = ParseIpConfig({
        "   Nom de l'hôte . . . . . . . . . . : Passerelle-Salon",
        "   Liste de recherche du suffixe DNS : maison",
        "                                       Serveur DHCP-lan",
        "Carte Ethernet Masque :",
        "   Description . . . . . . . . . . . : Adresse IPv4 (pr) Serveurs DNS: x",
        "   Statut : Adresse physique : 02-00-00-00-00-09",
        "   Adresse physique . . . . . . . . .: 00-11-22-33-44-55",
        "   Adresse IP. . . . . . . . . . . . : 192.168.1.12",
        "   Masque de sous-réseau . . . . . . : 255.255.255.0",
        "\tPasserelle par défaut . . . . . . : 192.168.1.1",
        "   Serveur DHCP. . . . . . . . . . . : 192.168.1.2",
        "   Serveurs DNS . . . . . . . . . . : 192.168.1.3",
    });
    EXPECT_EQ(p.hostName, "Passerelle-Salon");
    EXPECT_EQ(p.description, "Adresse IPv4 (pr) Serveurs DNS: x");
    EXPECT_EQ(p.physicalAddress, "00-11-22-33-44-55");
    EXPECT_EQ(p.address, "192.168.1.12");
    EXPECT_EQ(p.mask, "255.255.255.0");
    EXPECT_EQ(p.gateway, "192.168.1.1");
    EXPECT_EQ(p.dhcpServer, "192.168.1.2");
    EXPECT_EQ(p.dnsServer, "192.168.1.3");
}

// Lines that would lie above the listing do not exist: what the earlier
// passes found stands.
TEST(ParseIpConfig, IPv4LineNearTheTopKeepsEarlierValues) {
    const TextList third = {
        "Description . . . : Carte A",
        "Adresse physique . . . : 00-11-22-33-44-55",
        "Adresse IPv4. . . : 10.0.0.5(préféré)",
    };
    host_params p = ParseIpConfig(third);
    EXPECT_EQ(p.address, "10.0.0.5");
    EXPECT_EQ(p.physicalAddress, "00-11-22-33-44-55");
    EXPECT_EQ(p.description, "Carte A");

    const TextList fifth = {
        "Adresse physique. . . : 02-00-00-00-00-01", "Description . . . : Carte B", "x", "y",
        "Adresse IPv4. . . : 10.0.0.6(préféré)",
    };
    p = ParseIpConfig(fifth);
    EXPECT_EQ(p.address, "10.0.0.6");
    EXPECT_EQ(p.physicalAddress, "02-00-00-00-00-01");  // four lines above
    EXPECT_EQ(p.description, "Carte B");                // five above: none, pass 2 stands
}

// The whole chain: the captured command runs a stand-in netcmd from the
// program folder, its output lands in the scratch folder and is parsed.
TEST(ReadIpConfig, RunsTheCommandAndParsesItsOutput) {
    TempFolder programs, scratch;
    ScopedEnv env("KORVANE_SCRATCH", scratch.Path());
    const std::string fake = programs / "netcmd";
    testing_support::WriteBytes(fake, "#!/bin/sh\n[ \"$1 $2\" = 'ipconfig /all' ] && cat '" +
                                          Fixture("ipconfig_newer.txt") + "'\n");
    chmod(fake.c_str(), 0755);
    const ScopedProgramDir programDir(programs.Path());
    const host_params p = toolkit::ReadIpConfig();
    EXPECT_EQ(p.address, "192.168.1.12");
    EXPECT_EQ(p.hostName, "PC-SALON");
}

TEST(ReadIpConfig, UnusableScratchFolderIsAFileError) {
    TempFolder folder;
    const std::string link = folder / "link";
    ASSERT_EQ(symlink(folder.Path().c_str(), link.c_str()), 0);
    ScopedEnv env("KORVANE_SCRATCH", link);
    EXPECT_THROW(toolkit::ReadIpConfig(), toolkit::FileError);
}

TEST(AddressArithmetic, NetworkAndBroadcastPerByte) {
    EXPECT_EQ(toolkit::NetworkAddress("10.1.2.3", "255.0.0.0"), "10.0.0.0");
    EXPECT_EQ(toolkit::BroadcastAddress("10.1.2.3", "255.0.0.0"), "10.255.255.255");
    EXPECT_EQ(toolkit::NetworkAddress("192.168.1.1", "255.255.255.0"), "192.168.1.0");
    EXPECT_EQ(toolkit::BroadcastAddress("192.168.1.1", "255.255.255.0"), "192.168.1.255");
    EXPECT_EQ(toolkit::NetworkAddress("172.16.37.200", "255.255.240.0"), "172.16.32.0");
    EXPECT_EQ(toolkit::BroadcastAddress("172.16.37.200", "255.255.240.0"), "172.16.47.255");
}

TEST(AddressArithmetic, OddNumbersAreEightBitValuesAndMissingOnesZero) {
    EXPECT_EQ(toolkit::NetworkAddress("300.1.2.3", "255.255.255.255"), "44.1.2.3");
    EXPECT_EQ(toolkit::BroadcastAddress("10.1", "255.255.0.0"), "10.1.255.255");
    EXPECT_EQ(toolkit::NetworkAddress("a.b.c.d", "255.255.255.255"), "0.0.0.0");
    EXPECT_EQ(toolkit::BroadcastAddress("", ""), "255.255.255.255");
}

TEST(ShortHostName, TextBeforeTheFirstDot) {
    EXPECT_EQ(toolkit::ShortHostName("pc1.maison"), "pc1");
    EXPECT_EQ(toolkit::ShortHostName("pc1.maison.lan"), "pc1");
    EXPECT_EQ(toolkit::ShortHostName("pc1"), "pc1");
    EXPECT_EQ(toolkit::ShortHostName("192.168.1.12"), "192");
    EXPECT_EQ(toolkit::ShortHostName(".x"), "");
}

TEST(IsDottedIPv4, AcceptsOnlyFourPlainNumbers) {
    for (const char* good : {"0.0.0.0", "192.168.1.12", "255.255.255.255", "10.0.0.1"}) {
        EXPECT_TRUE(toolkit::IsDottedIPv4(good)) << good;
    }
    for (const char* bad : {"", "01.2.3.4", "1.2.3.04", "256.1.1.1", "1.2.3", "1.2.3.4.5",
                            "1.2.3.4.", ".1.2.3", " 1.2.3.4", "1.2.3.4 ", "+1.2.3.4", "-1.2.3.4",
                            "1..2.3", "1.2.3.4;ls", "0x1.2.3.4", "1000.1.1.1", "pc1.maison"}) {
        EXPECT_FALSE(toolkit::IsDottedIPv4(bad)) << bad;
    }
}

TEST(LoadLocalAddressTable, EqualLengthListsHoldingLoopback) {
    TextList addresses = {"stale"}, masks;
    toolkit::LoadLocalAddressTable(addresses, masks);
    ASSERT_EQ(addresses.size(), masks.size());
    const auto loopback = std::find(addresses.begin(), addresses.end(), "127.0.0.1");
    ASSERT_NE(loopback, addresses.end());
    EXPECT_EQ(masks[static_cast<std::size_t>(loopback - addresses.begin())], "255.0.0.0");
    for (const auto& address : addresses) EXPECT_TRUE(toolkit::IsDottedIPv4(address)) << address;
}

// Which addresses name another computer, for a computer at 198.18.0.2/24
// with a point-to-point link (/31) and a host route (/32).
TEST(ScopeOfAddress, OnlyAnotherComputerIsAComputer) {
    using toolkit::AddressScope;
    const auto row = [](const char* address, const char* mask) {
        std::uint32_t a = 0, m = 0;
        const toolkit::IPv4 x = toolkit::HostToIPv4(address), y = toolkit::HostToIPv4(mask);
        std::memcpy(&a, x.data(), 4);
        std::memcpy(&m, y.data(), 4);
        return toolkit::platform::AddressRow{a, m};
    };
    const std::vector<toolkit::platform::AddressRow> local = {
        row("127.0.0.1", "255.0.0.0"), row("198.18.0.2", "255.255.255.0"),
        row("10.9.0.0", "255.255.255.254"), row("192.0.2.7", "255.255.255.255")};
    for (const auto& [address, scope] : std::vector<std::pair<const char*, AddressScope>>{
             {"198.18.0.11", AddressScope::Computer},
             {"198.18.0.0", AddressScope::Computer},
             {"10.9.0.1", AddressScope::Computer},  // the far end of the /31
             {"223.255.255.254", AddressScope::Computer},
             {"198.18.0.2", AddressScope::Own},
             {"10.9.0.0", AddressScope::Own},
             {"192.0.2.7", AddressScope::Own},
             {"198.18.0.255", AddressScope::Broadcast},
             {"0.0.0.0", AddressScope::ThisNetwork},
             {"0.1.2.3", AddressScope::ThisNetwork},
             {"127.0.0.1", AddressScope::Loopback},
             {"127.255.255.255", AddressScope::Loopback},
             {"224.0.0.1", AddressScope::Multicast},
             {"239.255.255.250", AddressScope::Multicast},
             {"240.0.0.1", AddressScope::Reserved},
             {"255.255.255.255", AddressScope::Reserved},
         }) {
        EXPECT_EQ(toolkit::ScopeOfAddress(toolkit::HostToIPv4(address), local), scope) << address;
    }
    EXPECT_EQ(toolkit::ScopeOfAddress(toolkit::HostToIPv4("198.18.0.255"), {}),
              AddressScope::Computer);
    EXPECT_EQ(toolkit::ScopeOfAddress("127.0.0.1"), AddressScope::Loopback);  // this namespace's
    EXPECT_EQ(toolkit::ScopeOfAddress("10.0.0.5 "), std::nullopt);
}

}  // namespace
