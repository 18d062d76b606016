// The ipconfig listing as the toolkit reads it back: whatever the adapters,
// ParseIpConfig must find the first connected adapter's settings.
#include <gtest/gtest.h>

#include <sstream>

#include <optional>
#include <string>

#include "ipconfig.h"
#include "reseau.h"
#include "system_files.h"

namespace {

using netcmd::IpConfigAdapter;
using netcmd::IpConfigState;
using toolkit::host_params;
using toolkit::TextList;

IpConfigAdapter Connected(const std::string& name, const std::string& address,
                          const std::string& gateway, std::uint8_t macEnd) {
    IpConfigAdapter adapter;
    adapter.name = name;
    adapter.description = "Carte réseau " + name + " (veth)";
    adapter.hardwareAddress = {0x02, 0x4B, 0x52, 0x00, 0x00, macEnd};
    adapter.connected = true;
    adapter.linkLocal = "fe80::4b:52ff:fe00:2%3";
    adapter.ipv4 = {{address, "255.255.255.0"}};
    adapter.gateway = gateway;
    return adapter;
}

IpConfigState Lab() {
    IpConfigState state;
    state.hostName = "admin";
    state.dnsSuffix = "maison.lan";
    state.dnsServers = {"198.18.0.1", "9.9.9.9"};
    state.adapters = {Connected("eth0", "198.18.0.2", "198.18.0.1", 0x02)};
    return state;
}

void ExpectFirstAdapter(const host_params& p) {
    EXPECT_EQ(p.hostName, "admin");
    EXPECT_EQ(p.address, "198.18.0.2");
    EXPECT_EQ(p.mask, "255.255.255.0");
    EXPECT_EQ(p.gateway, "198.18.0.1");
    EXPECT_EQ(p.physicalAddress, "02-4B-52-00-00-02");
    EXPECT_EQ(p.description, "Carte réseau eth0 (veth)");
    EXPECT_EQ(p.dnsServer, "198.18.0.1");
}

host_params Parse(const IpConfigState& state) {
    return toolkit::ParseIpConfig(netcmd::FormatIpConfig(state));
}

TEST(FormatIpConfig, OneAdapterGivesEverySetting) {
    IpConfigState state = Lab();
    state.adapters[0].dhcp = true;
    state.adapters[0].dhcpServer = "198.18.0.1";
    state.adapters[0].ipv6 = {"2001:db8::2"};
    const host_params p = Parse(state);
    ExpectFirstAdapter(p);
    EXPECT_EQ(p.dhcpServer, "198.18.0.1");
}

TEST(FormatIpConfig, FurtherDnsServersSitUnderTheFirst) {
    const TextList lines = netcmd::FormatIpConfig(Lab());
    const auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("Serveurs DNS") != std::string::npos;
    });
    ASSERT_NE(first, lines.end());
    ASSERT_NE(first + 1, lines.end());
    EXPECT_EQ(first->find("198.18.0.1"), (first + 1)->find("9.9.9.9"));
    EXPECT_EQ(toolkit::Trim(*(first + 1)), "9.9.9.9");
}

TEST(FormatIpConfig, WithoutGatewayOrDhcpServerThoseStayEmpty) {
    IpConfigState state = Lab();
    state.adapters[0].gateway.clear();
    const host_params p = Parse(state);
    EXPECT_EQ(p.gateway, "");
    EXPECT_EQ(p.dhcpServer, "");
    EXPECT_EQ(p.address, "198.18.0.2");
}

TEST(FormatIpConfig, WithoutIPv6TheAddressStillFindsItsAdapterLines) {
    IpConfigState state = Lab();
    state.adapters[0].linkLocal.clear();
    ExpectFirstAdapter(Parse(state));
}

TEST(FormatIpConfig, TwoAdaptersGiveTheFirstOnesSettings) {
    IpConfigState state = Lab();
    state.adapters.push_back(Connected("eth1", "10.0.0.5", "10.0.0.1", 0x99));
    state.adapters[1].ipv4.front().mask = "255.0.0.0";
    ExpectFirstAdapter(Parse(state));
}

TEST(FormatIpConfig, ADisconnectedFirstAdapterIsPassedOver) {
    IpConfigState state = Lab();
    IpConfigAdapter down = Connected("wlan0", "", "", 0x77);
    down.connected = false;
    down.dhcp = true;
    down.dhcpServer = "192.168.1.1";
    state.adapters.insert(state.adapters.begin(), down);
    const TextList lines = netcmd::FormatIpConfig(state);
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "   Statut du média. . . . . . . . . . . . : Média déconnecté"),
              lines.end());
    const host_params p = toolkit::ParseIpConfig(lines);
    ExpectFirstAdapter(p);
    EXPECT_EQ(p.dhcpServer, "");  // the disconnected adapter lists no server
}

TEST(FormatIpConfig, SeveralIPv4AddressesGiveTheFirst) {
    IpConfigState state = Lab();
    state.adapters[0].ipv4.push_back({"198.18.0.3", "255.255.0.0"});
    ExpectFirstAdapter(Parse(state));
}

// The listing travels as text: a value holding a line end would start a line
// of its own, which a first-match pass could pick.
TEST(FormatIpConfig, ControlCharactersCannotAddLines) {
    const auto asText = [](const TextList& lines) {
        std::string text;
        for (const auto& line : lines) text += line + "\n";
        return toolkit::SplitLines(text);
    };
    IpConfigState state = Lab();
    state.hostName = "ad\nmin";
    state.adapters[0].description = "x\r\ny";
    const TextList lines = asText(netcmd::FormatIpConfig(state));
    EXPECT_EQ(lines.size(), netcmd::FormatIpConfig(Lab()).size());
    const host_params p = toolkit::ParseIpConfig(lines);
    EXPECT_EQ(p.hostName, "ad_min");
    EXPECT_EQ(p.description, "x__y");
    EXPECT_EQ(p.address, "198.18.0.2");
}

TEST(ParseResolvConf, TakesNumericServersAndTheLastDomain) {
    const auto settings = netcmd::ParseResolvConf({
        "# generated",
        "domain first.lan",
        "search maison.lan other.lan",
        "nameserver 198.18.0.1",
        "; nameserver 6.6.6.6",
        "nameserver not-an-address",
        "nameserver 1.2.3.04",
        "nameserver fe80::1%eth0",
        "nameserver",
        "options edns0",
    });
    EXPECT_EQ(settings.domain, "maison.lan");
    EXPECT_EQ(settings.nameServers, (std::vector<std::string>{"198.18.0.1", "fe80::1%eth0"}));
}

TEST(ParseDefaultGateways, KeepsTheDefaultRouteWithTheLowestMetric) {
    // Kernel byte order as printed on a little-endian machine.
    const auto gateways = netcmd::ParseDefaultGateways({
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT",
        "eth0\t00000000\t0200A8C0\t0003\t0\t0\t200\t00000000\t0\t0\t0",
        "eth0\t00000000\t0100A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0",
        "eth0\t0000A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0",
        "eth1\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0",
        "eth2\t00000000\t010012C6\t0002\t0\t0\t0\t00000000\t0\t0\t0",
        "eth3\t0000000G\t010012C6\t0003\t0\t0\t0\t00000000\t0\t0\t0",
    });
    ASSERT_EQ(gateways.size(), 1u);  // eth1 has no gateway, eth2's route is down
    EXPECT_EQ(gateways.at("eth0"), "192.168.0.1");
}

// 2026-12-08 00:00:00 UTC.
constexpr std::int64_t kNow = 1796688000;

TEST(ParseDhclientLeases, TakesTheLastLeaseOfTheInterface) {
    const TextList leases = {
        "lease {", "  interface \"eth0\";", "  option dhcp-server-identifier 192.168.1.1;",   "}",
        "lease {", "  interface \"eth1\";", "  option dhcp-server-identifier 10.0.0.1;",      "}",
        "lease {", "  interface \"eth0\";", "  option dhcp-server-identifier 192.168.1.254;", "}",
        "lease {", "  interface \"eth2\";", "  option dhcp-server-identifier 1.2.3.400;",     "}",
    };
    EXPECT_EQ(netcmd::ParseDhclientLeases(leases, "eth0", kNow)->server, "192.168.1.254");
    EXPECT_EQ(netcmd::ParseDhclientLeases(leases, "eth1", kNow)->server, "10.0.0.1");
    EXPECT_FALSE(netcmd::ParseDhclientLeases(leases, "eth9", kNow));
    const auto unnamed = netcmd::ParseDhclientLeases(leases, "eth2", kNow);
    ASSERT_TRUE(unnamed);
    EXPECT_EQ(unnamed->server, "");

    // An expired lease counts for nothing, even the last one.
    const TextList dated = {
        "lease {", "  interface \"eth0\";", "  option dhcp-server-identifier 10.0.0.1;",
        "  expire 2 2099/01/01 00:00:00;", "}",
        "lease {", "  interface \"eth0\";", "  option dhcp-server-identifier 10.0.0.2;",
        "  expire 4 2019/05/02 10:00:00;", "}",
    };
    EXPECT_EQ(netcmd::ParseDhclientLeases(dated, "eth0", kNow)->server, "10.0.0.1");
    EXPECT_EQ(netcmd::ParseDhclientLeases(dated, "eth0", 1556791199)->server, "10.0.0.2");
    const struct {
        std::string words;
        std::optional<std::int64_t> time;
    } times[] = {
        {"4 2019/05/02 10:00:00;", 1556791200},
        {"epoch 1556791200; # Thu May 02 10:00:00 2019", 1556791200},
        {"epoch 1556791200;", 1556791200},
        {"2 2000/02/29 23:59:59;", 951868799},
        {"never;", std::nullopt},
        {"4 2019/13/02 10:00:00;", std::nullopt},
        {"4 2019/05/02;", std::nullopt},
    };
    for (const auto& entry : times) {
        std::istringstream in(entry.words);
        std::vector<std::string> words;
        for (std::string word; in >> word;) words.push_back(word);
        EXPECT_EQ(netcmd::ParseLeaseTime(words), entry.time) << entry.words;
    }

    // A lease cut off before its closing brace counts for nothing.
    EXPECT_FALSE(netcmd::ParseDhclientLeases({"lease {", "  interface \"eth0\";"}, "eth0", kNow));
}

TEST(ParseNetworkdLease, TakesADottedServerAddress) {
    EXPECT_EQ(netcmd::ParseNetworkdLease({"ADDRESS=10.0.0.5", "SERVER_ADDRESS=10.0.0.1"}).server,
              "10.0.0.1");
    EXPECT_EQ(netcmd::ParseNetworkdLease({"SERVER_ADDRESS=$(reboot)"}).server, "");
}

// NetworkManager keeps the lease in its device state ([dhcp4] options) and
// in lease files of its own, dhclient's form or key=value lines; the fixtures
// are a machine where each interface has one of them.
TEST(FindLease, ReadsNetworkManagerLeasesBesideTheOthers) {
    const std::string root = std::string(KORVANE_SOURCE_DIR) + "tests/unit/fixtures/leases/";
    const netcmd::LeaseFolders folders{root + "dhcp", root + "networkd", root + "nm-lib",
                                       root + "nm-devices"};
    const struct {
        std::string name;
        unsigned index;
        std::optional<std::string> server;  // nullopt: no lease at all
    } cases[] = {
        {"eth0", 3, "192.168.1.254"},  // the device's [dhcp4] group, not the stale dhclient lease
        {"wlan0", 4, "10.0.0.1"},      // no [dhcp4]; the dhclient-*-wlan0.lease file
        {"eth1", 5, ""},               // a server that is no address; a lease holding only ours
        {"eth3", 7, "172.16.0.1"},     // ifupdown's lease names no server, NetworkManager's does
        {"eth2", 6, std::nullopt},
        {"eth4", 8, std::nullopt},          // its only lease expired in 2019
        {"eth5", 9, "10.5.5.5"},            // dhclient's lease, still running
        {"lan", 10, std::nullopt},          // br-lan's file is not lan's
        {"br-lan", 11, "192.168.50.1"},
    };
    for (const auto& entry : cases) {
        const auto lease = netcmd::FindLease(folders, entry.name, entry.index, kNow);
        EXPECT_EQ(lease ? std::optional(lease->server) : std::nullopt, entry.server) << entry.name;
    }
}

}  // namespace
