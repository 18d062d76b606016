// The real netsweep on the simulated LAN of tests/lab/netsweep-hosts.txt:
// hosts named by Samba's nmbd, one of them dropping pings, one by the
// gateway's DNS server only, two without any name, one asleep. Also the faults: a DNS server that
// never answers, a run killed halfway, a full disk.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "../unit/test_folder.h"
#include "lab_support.h"
#include "utils.h"

namespace {

namespace fs = std::filesystem;
using toolkit::TextList;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class NetsweepLab : public testing::Test {
  protected:
    void SetUp() override {
        // Each test has its own NetBIOS name cache.
        env_ = std::make_unique<testing_support::ScopedEnv>("KORVANE_SCRATCH", scratch_.Path());
        for (const char* program : {"netsweep", "netcmd"}) {
            fs::copy_file(lab::BinPath(program), folder_ / program);
        }
        Write("liste.ip", "");
        Write("liste.mac", "");
        Write("localGM", "pc-salon\r\n");
    }
    void TearDown() override {
        for (const lab::Host& host : lab::Hosts()) lab::Wake(host);
    }

    Outcome Netsweep(const std::string& args = "") {
        const std::string errors = scratch_ / "stderr.txt";
        const std::string out = lab::Run("cd '" + folder_.Path() + "' && ./netsweep " + args +
                                             " 2>'" + errors + "'; echo \"code=$?\"",
                                         false);
        const std::size_t code = out.rfind("code=");
        return {std::stoi(out.substr(code + 5)), out.substr(0, code), lab::ReadFile(errors)};
    }
    std::string Read(const std::string& name) const { return lab::ReadFile(folder_ / name); }
    void Write(const std::string& name, const std::string& bytes) const {
        lab::WriteFile(folder_ / name, bytes);
    }
    static TextList Sorted(TextList lines) {
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    bool MarkerExists() const { return fs::exists(folder_ / "netsweep.lck"); }

    testing_support::TempFolder folder_;
    testing_support::TempFolder scratch_;
    std::unique_ptr<testing_support::ScopedEnv> env_;
};

// The computer whose firewall drops pings answers ARP during the sweep: it is
// found with the others, as an ARP scanner finds it; the sleeper answers
// nothing at all.
TEST_F(NetsweepLab, FindsTheRunningHostsNamesThemWithTheirMacsAndLaterRunsChangeNothing) {
    lab::ScopedSleep asleep(lab::HostById("h6"));
    const Outcome run = Netsweep();
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Read("ipactive"),
              "198.18.0.1\r\n198.18.0.2\r\n198.18.0.11\r\n198.18.0.12\r\n198.18.0.13\r\n"
              "198.18.0.14\r\n198.18.0.15\r\n");
    EXPECT_NE(run.out.find("198.18.0.14 est active\n"), std::string::npos);
    EXPECT_NE(run.out.find("198.18.0.16 est inactif\n"), std::string::npos);
    EXPECT_NE(run.out.find("getHostByAddr : 198.18.0.13 = imprimante.maison.lan\n"),
              std::string::npos);
    // The swept hosts' names in address order, the DNS's short name with
    // them, then its whole name.
    EXPECT_EQ(Read("liste.ip"),
              "pc-salon 198.18.0.11\r\npc-bureau 198.18.0.12\r\nimprimante 198.18.0.13\r\n"
              "serveur-nas 198.18.0.14\r\nimprimante.maison.lan 198.18.0.13\r\n");
    EXPECT_EQ(Sorted(toolkit::SplitLines(Read("liste.mac"))),
              (TextList{"imprimante 02-4B-52-00-00-13", "pc-bureau 02-4B-52-00-00-12",
                        "pc-salon 02-4B-52-00-00-11", "serveur-nas 02-4B-52-00-00-14"}));
    // pc-salon is managed.
    EXPECT_EQ(Read("liste.ip.discover"),
              "198.18.0.12=pc-bureau\r\n198.18.0.13=imprimante.maison.lan\r\n"
              "198.18.0.14=serveur-nas\r\n");
    EXPECT_FALSE(MarkerExists());

    // The next run adds what the first learned last: the short form of the
    // DNS name read back from liste.ip. Then nothing moves.
    const std::string ip = Read("liste.ip"), mac = Read("liste.mac");
    ASSERT_EQ(Netsweep().status, 0);
    EXPECT_EQ(Read("liste.ip"), ip);
    EXPECT_EQ(Read("liste.mac"), mac);
    EXPECT_EQ(Read("liste.ip.discover"),
              "198.18.0.12=pc-bureau\r\n198.18.0.13=imprimante\r\n"
              "198.18.0.13=imprimante.maison.lan\r\n198.18.0.14=serveur-nas\r\n");
    const std::string after = Read("liste.ip") + Read("liste.mac") + Read("liste.ip.discover");
    ASSERT_EQ(Netsweep().status, 0);
    EXPECT_EQ(Read("liste.ip") + Read("liste.mac") + Read("liste.ip.discover"), after);
}

TEST_F(NetsweepLab, AMovedComputerKeepsItsLinesWithItsNewAddressAndMac) {
    Write("liste.ip", "PC-SALON 198.18.0.50\r\nautre 198.18.0.60\r\n");
    Write("liste.mac", "pc-salon 02:00:00:00:00:99\r\nautre 02-00-00-00-00-60\r\n");
    ASSERT_EQ(Netsweep().status, 0);
    const TextList ip = toolkit::SplitLines(Read("liste.ip"));
    ASSERT_GE(ip.size(), 2u);
    EXPECT_EQ(ip[0], "pc-salon 198.18.0.11");
    EXPECT_EQ(ip[1], "autre 198.18.0.60");
    EXPECT_EQ(std::count_if(ip.begin(), ip.end(),
                            [](const std::string& line) { return line.starts_with("pc-salon "); }),
              1);
    const TextList mac = toolkit::SplitLines(Read("liste.mac"));
    ASSERT_GE(mac.size(), 2u);
    EXPECT_EQ(mac[0], "pc-salon 02-4B-52-00-00-11");
    EXPECT_EQ(mac[1], "AUTRE 02-00-00-00-00-60");
}

// The DNS names are lost, the NetBIOS names, the one of the computer that
// drops pings included, are not: the silent look-ups cost their bound only.
TEST_F(NetsweepLab, ADnsServerThatNeverAnswersCostsEachNamingStepItsBoundOnly) {
    lab::ScopedSleep asleep(lab::HostById("h6"));
    lab::ScopedSilentDns silent;
    const Outcome run = Netsweep();
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("getHostByAddr : 198.18.0.13 = \n"), std::string::npos);
    EXPECT_EQ(Read("liste.ip"),
              "pc-salon 198.18.0.11\r\npc-bureau 198.18.0.12\r\nserveur-nas 198.18.0.14\r\n");
    EXPECT_NE(Read("liste.mac").find("serveur-nas 02-4B-52-00-00-14\r\n"), std::string::npos)
        << Read("liste.mac");
    EXPECT_NE(Read("liste.ip.discover").find("198.18.0.14=serveur-nas\r\n"), std::string::npos);
}

TEST_F(NetsweepLab, ARunKilledHalfwayLeavesTheOldListsWholeAndItsMarker) {
    const std::string ip = "pc-salon 198.18.0.50\r\n", mac = "PC-SALON 02-00-00-00-00-99\r\n";
    Write("liste.ip", ip);
    Write("liste.mac", mac);
    lab::ScopedSilentDns silent;  // holds the run in its naming
    const std::string pid =
        lab::Run("cd '" + folder_.Path() + "' && { ./netsweep >/dev/null 2>&1 & echo $!; }");
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(folder_ / "ipactive") && std::chrono::steady_clock::now() < until) {
        usleep(20'000);
    }
    ASSERT_TRUE(fs::exists(folder_ / "ipactive"));
    lab::Run("kill -KILL " + std::to_string(std::stoi(pid)));
    usleep(100'000);
    EXPECT_EQ(Read("liste.ip"), ip);
    EXPECT_EQ(Read("liste.mac"), mac);
    EXPECT_FALSE(fs::exists(folder_ / "liste.ip.discover"));
    EXPECT_TRUE(MarkerExists());
    // The marker is fresh: the next run ends at once.
    const Outcome next = Netsweep();
    EXPECT_EQ(next.status, 0);
    EXPECT_EQ(next.out + next.err, "");
    EXPECT_EQ(Read("liste.ip"), ip);
}

// In a private mount namespace: a tmpfs just big enough for netsweep, then filled.
TEST_F(NetsweepLab, AFullDiskGivesTheFrenchErrorAndKeepsTheOldLists) {
    const std::string script = R"(
set -e
export LC_ALL=C
dir=$1 bin=$2 errors=$3
size=$(( $(stat -c %s "$bin/netsweep") / 1024 + 1024 ))
mount -t tmpfs -o size=${size}k tmpfs "$dir"
cp "$bin/netsweep" "$dir/"
ln -s "$bin/netcmd" "$dir/netcmd"
printf 'pc-salon 198.18.0.50\r\n' >"$dir/liste.ip"
printf 'PC-SALON 02-00-00-00-00-99\r\n' >"$dir/liste.mac"
dd if=/dev/zero of="$dir/remplissage" bs=4k 2>/dev/null || true
cd "$dir"
set +e
./netsweep noscan >/dev/null 2>"$errors"
echo "code=$?"
cat liste.ip liste.mac
ls
)";
    const std::string dir = scratch_ / "disque";
    fs::create_directory(dir);
    lab::WriteFile(scratch_ / "full.sh", script);
    const std::string out =
        lab::Run("unshare --mount sh '" + (scratch_ / "full.sh") + "' '" + dir + "' '" +
                 lab::BinPath("") + "' '" + (scratch_ / "err.txt") + "'");
    EXPECT_EQ(out,
              "code=1\npc-salon 198.18.0.50\r\nPC-SALON 02-00-00-00-00-99\r\nliste.ip\nliste.mac\n"
              "netcmd\nnetsweep\nremplissage\n");  // the marker gone with the run
    EXPECT_EQ(lab::ReadFile(scratch_ / "err.txt"),
              "netsweep : Impossible d'écrire le fichier « " + dir +
                  "/liste.ip » : plus de place sur le disque\n");
}

}  // namespace
