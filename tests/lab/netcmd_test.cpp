// netcmd on the simulated LAN, read back the way the toolkit and netsweep read
// the Windows commands: the admin machine's settings, each host's NetBIOS
// name, the name cache, the neighbour table.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "lab_support.h"
#include "listings.h"
#include "raw_ping.h"
#include "reseau.h"
#include "tools.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// 02:4b:52:00:00:11 -> 02-4B-52-00-00-11 (ipconfig, nbtstat) or 02-4b-... (arp).
std::string DashedMac(std::string mac, bool upperCase) {
    for (char& c : mac) {
        if (c == ':') c = '-';
        if (upperCase) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return mac;
}

// Each test gets a scratch folder of its own, so the name cache starts empty.
class NetcmdLab : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = std::filesystem::temp_directory_path() / "korvane-lab-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        scratch_ = pattern;
        setenv("KORVANE_SCRATCH", scratch_.c_str(), 1);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(scratch_, ignored);
    }

    static std::string Netcmd(const std::string& arguments) {
        return lab::Run(lab::BinPath("netcmd") + " " + arguments);
    }

  private:
    std::string scratch_;
};

TEST_F(NetcmdLab, ReadIpConfigFindsTheAdminMachinesSettings) {
    toolkit::SetProgramDir(KORVANE_BIN_DIR);
    const toolkit::host_params p = toolkit::ReadIpConfig();
    EXPECT_EQ(p.address, lab::kAdmin);
    EXPECT_EQ(p.mask, lab::kMask);
    EXPECT_EQ(p.gateway, lab::kGateway);
    EXPECT_EQ(p.physicalAddress, DashedMac(lab::kAdminMac, true));
    EXPECT_EQ(p.dnsServer, lab::kDnsServer);
    EXPECT_EQ(p.dhcpServer, "");
}

// netsweep names a host by the first "UNIQUE" line, text before "<".
TEST_F(NetcmdLab, NodeStatusGivesEachHostsNameAndGroup) {
    ASSERT_FALSE(lab::Hosts().empty());
    for (const lab::Host& host : lab::Hosts()) {
        SCOPED_TRACE(host.id);
        const auto lines = Lines(Netcmd("nbtstat -a " + host.address));
        std::string firstUnique;
        bool groupSeen = false;
        bool macSeen = false;
        for (const std::string& line : lines) {
            if (firstUnique.empty() && line.find("UNIQUE") != std::string::npos) {
                firstUnique = toolkit::Trim(line.substr(0, line.find('<')));
            }
            groupSeen |= line.find("GROUP") != std::string::npos &&
                         toolkit::Trim(line.substr(0, line.find('<'))) == host.workgroup &&
                         line.find("<00>") != std::string::npos;
            macSeen |= line == "    Adresse MAC = " + DashedMac(host.mac, true);
        }
        EXPECT_EQ(firstUnique, host.netbiosName);
        EXPECT_TRUE(groupSeen);
        EXPECT_TRUE(macSeen);
        EXPECT_NE(std::find(lines.begin(), lines.end(),
                            "Adresse IP du nœud : [" + lab::kAdmin + "] ID d'étendue : []"),
                  lines.end());
    }
}

TEST_F(NetcmdLab, NobodyAtAnUnusedAddressGivesTheHeaderOnly) {
    const std::string out = Netcmd("nbtstat -a " + lab::kUnused);
    EXPECT_NE(out.find("[" + lab::kAdmin + "]"), std::string::npos);
    EXPECT_EQ(out.find("Table de noms"), std::string::npos);
    EXPECT_EQ(out.find("UNIQUE"), std::string::npos);
}

// A list is asked at once: one listing per address, in order, each named as
// when asked alone; the silent address costs one time-out for all.
TEST_F(NetcmdLab, NodeStatusOfAListGivesEachAddressItsListing) {
    std::string arguments = "nbtstat -a " + lab::kUnused + " " + lab::kGateway;
    for (const lab::Host& host : lab::Hosts()) arguments += " " + host.address;
    const auto listings = netsweep::SplitNodeListings(Lines(Netcmd(arguments)));
    ASSERT_EQ(listings.size(), lab::Hosts().size() + 2);
    EXPECT_EQ(netsweep::FirstUniqueName(listings[0]), "");
    EXPECT_EQ(netsweep::FirstUniqueName(listings[1]), "");
    for (std::size_t i = 0; i < lab::Hosts().size(); ++i) {
        EXPECT_EQ(netsweep::FirstUniqueName(listings[i + 2]),
                  toolkit::AsciiLower(lab::Hosts()[i].netbiosName));
    }
    const auto cached = netsweep::ReadNameCache(Lines(Netcmd("nbtstat -c")));
    ASSERT_FALSE(cached.empty());
    EXPECT_EQ(cached.front().address, lab::Hosts().front().address);
    EXPECT_EQ(cached.back().address, lab::Hosts().back().address);
}

// netsweep reads "nbtstat -c": name before "<", address after "UNIQUE".
TEST_F(NetcmdLab, CacheListsTheNamesLearnedWithTheirAddresses) {
    EXPECT_EQ(Netcmd("nbtstat -c").find("UNIQUE"), std::string::npos);
    for (const lab::Host& host : lab::Hosts()) Netcmd("nbtstat -a " + host.address);
    Netcmd("nbtstat -a " + lab::kUnused);

    std::multimap<std::string, std::string> cached;
    for (const std::string& line : Lines(Netcmd("nbtstat -c"))) {
        const std::size_t at = line.find("UNIQUE");
        if (at == std::string::npos) continue;
        const std::string rest = toolkit::Trim(line.substr(at + 6));
        cached.emplace(toolkit::Trim(line.substr(0, line.find('<'))),
                       rest.substr(0, rest.find(' ')));
    }
    for (const lab::Host& host : lab::Hosts()) {
        const auto [first, last] = cached.equal_range(host.netbiosName);
        ASSERT_NE(first, last) << host.netbiosName;
        for (auto it = first; it != last; ++it) EXPECT_EQ(it->second, host.address);
    }
    for (const auto& [name, address] : cached) EXPECT_NE(address, lab::kUnused);
}

// netsweep reads "arp -a": lines with "dynamique", address then MAC.
TEST_F(NetcmdLab, ArpListsThePingedHostsWithTheirMacs) {
    for (const lab::Host& host : lab::Hosts()) {
        EXPECT_TRUE(toolkit::IcmpProbe(host.address)) << host.id;
    }
    std::map<std::string, std::string> neighbours;
    for (const std::string& line : Lines(Netcmd("arp -a"))) {
        if (line.find("dynamique") == std::string::npos) continue;
        const std::string trimmed = toolkit::Trim(line);
        const std::string rest = toolkit::Trim(trimmed.substr(trimmed.find(' ')));
        neighbours[trimmed.substr(0, trimmed.find(' '))] = rest.substr(0, rest.find(' '));
    }
    for (const lab::Host& host : lab::Hosts()) {
        EXPECT_EQ(neighbours[host.address], DashedMac(host.mac, false)) << host.id;
    }
}

}  // namespace
