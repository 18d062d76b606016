// The real netsweep on a LAN whose devices announce hostile NetBIOS names
// (tests/lab/netsweep-names-hosts.txt) beside two managed computers; runs
// started together; runs killed at any moment.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>
#include <string>

#include "../unit/test_folder.h"
#include "lab_support.h"
#include "utils.h"

namespace {

namespace fs = std::filesystem;
using toolkit::TextList;

class NetsweepNamesLab : public testing::Test {
  protected:
    void SetUp() override {
        env_ = std::make_unique<testing_support::ScopedEnv>("KORVANE_SCRATCH", scratch_.Path());
        for (const char* program : {"netsweep", "netcmd"}) {
            fs::copy_file(lab::BinPath(program), folder_ / program);
        }
        Write("liste.ip", kListeIP);
        Write("liste.mac", kListeMAC);
        Write("localGM", "pc-salon\r\nserveur-nas\r\n");
    }

    // Starts `count` runs at once; gives their outputs, separated by "--".
    std::string RunTogether(int count, const std::string& args = "") {
        std::string line = "cd '" + folder_.Path() + "'";
        for (int i = 0; i < count; ++i) {
            line += " && { ./netsweep " + args + " >run" + std::to_string(i) + ".txt 2>&1 & }";
        }
        line += " && wait";
        lab::Run(line);
        std::string outputs;
        for (int i = 0; i < count; ++i) {
            outputs += Read("run" + std::to_string(i) + ".txt") + "--\n";
        }
        return outputs;
    }
    std::string Read(const std::string& name) const { return lab::ReadFile(folder_ / name); }
    void Write(const std::string& name, const std::string& bytes) const {
        lab::WriteFile(folder_ / name, bytes);
    }

    // The managed computers' lines still lead liste.mac. A run that does not
    // find an adapter in the ARP table (a noscan run once the lab's entries
    // have aged) keeps its line with the name upper-cased.
    bool KeepsManagedMacLines() const {
        return toolkit::AsciiLower(Read("liste.mac")).starts_with(toolkit::AsciiLower(kListeMAC));
    }

    // Every line of a list whole: a name, one space, an address or a MAC.
    static void ExpectWhole(const std::string& bytes, const std::regex& line,
                            const std::string& what) {
        EXPECT_TRUE(bytes.empty() || bytes.ends_with("\r\n")) << what << ": " << bytes;
        for (const std::string& text : toolkit::SplitLines(bytes)) {
            EXPECT_TRUE(std::regex_match(text, line)) << what << ": « " << text << " »";
        }
    }
    void ExpectListsWhole() const {
        ExpectWhole(Read("liste.ip"), std::regex(R"([a-z0-9][a-z0-9._-]* 198\.18\.0\.\d+)"),
                    "liste.ip");
        ExpectWhole(Read("liste.mac"),
                    std::regex(R"([A-Za-z0-9][A-Za-z0-9._-]* 02-4B-52-00-00-[0-9A-F]{2})"),
                    "liste.mac");
        ExpectWhole(Read("liste.ip.discover"),
                    std::regex(R"(198\.18\.0\.\d+=[A-Za-z0-9][A-Za-z0-9._-]*)"),
                    "liste.ip.discover");
    }

    static constexpr const char* kListeIP = "pc-salon 198.18.0.11\r\nserveur-nas 198.18.0.12\r\n";
    static constexpr const char* kListeMAC =
        "pc-salon 02-4B-52-00-00-11\r\nserveur-nas 02-4B-52-00-00-12\r\n";

    testing_support::TempFolder folder_;
    testing_support::TempFolder scratch_;
    std::unique_ptr<testing_support::ScopedEnv> env_;
};

TEST_F(NetsweepNamesLab, HostileNamesNeverTouchTheManagedComputersLines) {
    for (int run = 1; run <= 3; ++run) {
        SCOPED_TRACE("passe " + std::to_string(run));
        const std::string out = RunTogether(1);
        ASSERT_NE(out.find("198.18.0.24 est active"), std::string::npos) << out;
        EXPECT_TRUE(Read("liste.ip").starts_with(kListeIP)) << Read("liste.ip");
        EXPECT_TRUE(Read("liste.mac").starts_with(kListeMAC)) << Read("liste.mac");
        ExpectListsWhole();
        EXPECT_FALSE(fs::exists(folder_ / "netsweep.lck"));
    }
    // PC and 1 are names of their own, each on its own line; "." and "-RF" are none.
    EXPECT_EQ(Read("liste.ip"), std::string(kListeIP) + "pc 198.18.0.21\r\n1 198.18.0.22\r\n");
    TextList mac = toolkit::SplitLines(Read("liste.mac"));
    std::sort(mac.begin() + 2, mac.end());
    EXPECT_EQ(mac, (TextList{"pc-salon 02-4B-52-00-00-11", "serveur-nas 02-4B-52-00-00-12",
                             "1 02-4B-52-00-00-22", "pc 02-4B-52-00-00-21"}));
    EXPECT_EQ(Read("liste.ip.discover"), "198.18.0.21=pc\r\n198.18.0.22=1\r\n");
}

TEST_F(NetsweepNamesLab, RunsStartedTogetherGiveOneRunAndWholeLists) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        SCOPED_TRACE("essai " + std::to_string(attempt));
        const std::string outputs = RunTogether(3, "noscan");
        std::size_t runs = 0;
        for (std::size_t at = 0; (at = outputs.find("l'adresse IP est", at)) != std::string::npos;
             ++at) {
            ++runs;
        }
        EXPECT_EQ(runs, 1u) << outputs;
        EXPECT_EQ(outputs.find("Impossible"), std::string::npos) << outputs;
        EXPECT_FALSE(fs::exists(folder_ / "netsweep.lck"));
        EXPECT_TRUE(Read("liste.ip").starts_with(kListeIP)) << Read("liste.ip").substr(0, 200);
        EXPECT_TRUE(KeepsManagedMacLines()) << Read("liste.mac").substr(0, 200);
        ExpectListsWhole();
    }
}

// Large lists, so that a kill also falls while they are written. After each
// kill the marker left is aged, as 0.01 day would.
TEST_F(NetsweepNamesLab, RunsKilledAtAnyMomentNeverLeaveATornOrMissingList) {
    std::string ip = kListeIP, mac = kListeMAC, discover;
    for (int i = 0; i < 20000; ++i) {
        const std::string n = std::to_string(i);
        const std::string address = "198.18.0." + std::to_string(100 + i % 150);
        ip += "poste" + n + " " + address + "\r\n";
        mac += "POSTE" + n + " 02-4B-52-00-00-" + (i % 2 ? "AA" : "BB") + "\r\n";
        discover += address + "=poste" + n + "\r\n";
    }
    Write("liste.ip", ip);
    Write("liste.mac", mac);
    Write("liste.ip.discover", discover);
    const auto start = std::chrono::steady_clock::now();
    RunTogether(1, "noscan");
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    constexpr int kKills = 30;
    for (int kill = 0; kill < kKills; ++kill) {
        SCOPED_TRACE("arrêt " + std::to_string(kill));
        const auto delay = whole.count() * kill / kKills;
        lab::Run("cd '" + folder_.Path() + "' && { ./netsweep noscan >/dev/null 2>&1 & " +
                 "sleep " + std::to_string(static_cast<double>(delay) / 1e6) +
                 "; kill -KILL $! 2>/dev/null; " +
                 "wait; touch -d '-15 min' netsweep.lck 2>/dev/null; true; }");
        for (const char* list : {"liste.ip", "liste.mac", "liste.ip.discover"}) {
            ASSERT_TRUE(fs::is_regular_file(folder_ / list)) << list;
        }
        EXPECT_TRUE(Read("liste.ip").starts_with(kListeIP)) << Read("liste.ip").substr(0, 200);
        EXPECT_TRUE(KeepsManagedMacLines()) << Read("liste.mac").substr(0, 200);
        EXPECT_GE(toolkit::SplitLines(Read("liste.ip")).size(), 20002u);
        ExpectListsWhole();
        if (HasFailure()) break;
    }
}

}  // namespace
