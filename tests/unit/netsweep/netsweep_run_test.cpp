// netsweep's run against a network of fixtures: the steps' console lines in
// order, the files each step writes, the run marker, the choice of the local
// network and the sweep's range, and the names that cannot be trusted.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "devices.h"
#include "korvane/core/devicemarks.h"
#include "naming.h"
#include "run.h"
#include "test_folder.h"
#include "utctime.h"

namespace {

using testing_support::ReadBytes;
using testing_support::WriteBytes;
using toolkit::TextList;
namespace fs = std::filesystem;

class FakeNetwork : public netsweep::Network {
  public:
    toolkit::host_params params;
    TextList addresses, masks;
    std::set<std::string> alive;
    std::map<std::string, std::string> netbios;
    std::map<std::string, toolkit::platform::HostEntry> reverse;
    TextList cache, arp;
    std::vector<std::vector<std::string>> netbiosAsked, reverseAsked;
    std::vector<std::chrono::milliseconds> netbiosTimeLeft;
    std::chrono::milliseconds netbiosDelay{0};  // how long each NetBIOS step takes
    std::size_t probed = 0;
    bool icmp = true;

    std::function<void()> duringRun;  // called while the run holds its marker

    toolkit::host_params ReadIpConfig() override {
        if (duringRun) duringRun();
        return params;
    }
    void LoadLocalAddressTable(TextList& a, TextList& m) override {
        a = addresses;
        m = masks;
    }
    std::vector<bool> Probe(const std::vector<toolkit::IPv4>& targets) override {
        probed += targets.size();
        std::vector<bool> answers;
        for (const auto& target : targets)
            answers.push_back(alive.contains(toolkit::ToDotted(target)));
        return answers;
    }
    std::vector<std::string> NetbiosNames(const std::vector<std::string>& asked,
                                          netsweep::Clock::time_point deadline) override {
        netbiosTimeLeft.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - netsweep::Clock::now()));
        std::this_thread::sleep_for(netbiosDelay);
        netbiosAsked.push_back(asked);
        std::vector<std::string> names;
        for (const auto& address : asked) names.push_back(netbios[address]);
        return names;
    }
    std::vector<std::optional<toolkit::platform::HostEntry>> ReverseEntries(
        const std::vector<std::string>& asked, netsweep::Clock::time_point) override {
        reverseAsked.push_back(asked);
        std::vector<std::optional<toolkit::platform::HostEntry>> entries;
        for (const auto& address : asked) {
            const auto found = reverse.find(address);
            entries.push_back(found == reverse.end() ? std::nullopt : std::optional(found->second));
        }
        return entries;
    }
    bool CanProbe() override { return icmp; }
    TextList NameCacheListing() override { return cache; }
    TextList ArpListing() override { return arp; }
};

class ScopedCurrentDir {
  public:
    explicit ScopedCurrentDir(const std::string& dir) : previous_(fs::current_path()) {
        fs::current_path(dir);
    }
    ~ScopedCurrentDir() { fs::current_path(previous_); }

  private:
    fs::path previous_;
};

class NetsweepRun : public testing::Test {
  protected:
    // The LAN of most cases: 192.168.1.0/24 behind 192.168.1.1.
    void SetUp() override {
        net.params.address = "192.168.1.2";
        net.params.mask = "255.255.255.0";
        net.params.gateway = "192.168.1.1";
        net.addresses = {"127.0.0.1", "192.168.1.2"};
        net.masks = {"255.0.0.0", "255.255.255.0"};
        Write("liste.ip", "");
        Write("liste.mac", "");
    }
    void Run(std::vector<std::string> args = {}) {
        std::ostringstream console, errors;
        status = netsweep::RunNetsweep(args, net, console, errors);
        out = console.str();
        err = errors.str();
    }
    // The console without the sweep's silent addresses.
    std::string Shown() const {
        std::istringstream lines(out);
        std::string shown;
        for (std::string line; std::getline(lines, line);) {
            if (!line.ends_with(" est inactif")) shown += line + "\n";
        }
        return shown;
    }
    std::string File(const std::string& name) const { return ReadBytes(folder / name); }
    void Write(const std::string& name, const std::string& bytes) const {
        WriteBytes(folder / name, bytes);
    }

    testing_support::TempFolder folder;
    testing_support::ScopedProgramDir programDir{folder.Path()};
    testing_support::ScopedEnv scratch{"KORVANE_SCRATCH", folder / "scratch"};
    ScopedCurrentDir currentDir{folder.Path()};
    FakeNetwork net;
    int status = -1;
    std::string out, err;
};

// pc1 moved from .5 to .9; .10 answers NetBIOS, the gateway only the DNS.
TEST_F(NetsweepRun, FullRunWritesEveryStepsLinesAndTheListsThenASecondChangesNothing) {
    Write("liste.ip", "PC1 192.168.1.5\r\n");
    Write("liste.mac", "pc1 02:00:00:aa:bb:cc\r\n");
    Write("liste.ip.discover", "192.168.1.100=Box\r\n");
    Write("localGM", "PC1\r\n");
    net.alive = {"192.168.1.1", "192.168.1.9", "192.168.1.10"};
    net.netbios = {{"192.168.1.9", "pc1"}, {"192.168.1.10", "pc-salon"}};
    net.reverse["192.168.1.1"] = {"box.maison.lan", {"box"}};
    net.cache = {"    PC-SALON        <00>  UNIQUE          192.168.1.10         590"};
    net.arp = {"  192.168.1.1           02-00-00-00-00-01     dynamique",
               "  192.168.1.9           02-00-00-aa-bb-cc     dynamique",
               "  192.168.1.10          02-00-00-00-00-10     dynamique"};
    const std::string leftover =
        ".liste.ip.tmp-" + std::to_string(testing_support::GonePid()) + "-0";
    Write(leftover, "pc1 192.168.1.");  // from a run killed while saving
    Run();
    EXPECT_FALSE(fs::exists(folder / leftover));
    EXPECT_EQ(status, netsweep::kExitDone);
    EXPECT_EQ(err, "");
    EXPECT_EQ(Shown(),
              "l'adresse IP est : 192.168.1.2\n"
              "l'adresse IP de la passerelle est : 192.168.1.1\n"
              "le réseau est : 192.168.1.0\n"
              "0eme adresse IP => 127.0.0.1\n"
              "1eme adresse IP => 192.168.1.2\n"
              "192.168.1.1 est active\n"
              "192.168.1.9 est active\n"
              "192.168.1.10 est active\n"
              "getHostByAddr : 192.168.1.1 = box\n"
              "getAliasByAddr : 192.168.1.1 = box\n"
              "192.168.1.10=pc-salon\n"
              "192.168.1.1=02-00-00-00-00-01\n"
              "192.168.1.9=02-00-00-AA-BB-CC\n"
              "192.168.1.10=02-00-00-00-00-10\n"
              "Ajout ip2name vers ListeIP : pc1 192.168.1.5\n"
              "Ajout ip2name vers ListeIP : box 192.168.1.1\n"
              "Ajout ip2name vers ListeIP : pc1 192.168.1.9\n"
              "Ajout ip2name vers ListeIP : pc-salon 192.168.1.10\n"
              "Ajout ip2name vers ListeIP : pc-salon 192.168.1.10\n"
              "Ajout ip2mac vers ListeMAC : box 02-00-00-00-00-01\n"
              "Ajout ip2mac vers ListeMAC : pc1 02-00-00-AA-BB-CC\n"
              "Ajout ip2mac vers ListeMAC : pc-salon 02-00-00-00-00-10\n");
    EXPECT_EQ(net.probed, 254u);
    // Every name the sweep needed, asked at once; the ARP step needed none.
    EXPECT_EQ(
        net.netbiosAsked,
        (std::vector<std::vector<std::string>>{{"192.168.1.1", "192.168.1.9", "192.168.1.10"}}));
    EXPECT_EQ(net.reverseAsked, (std::vector<std::vector<std::string>>{{"192.168.1.1"}}));

    EXPECT_EQ(File("liste.ip"), "pc1 192.168.1.9\r\nbox 192.168.1.1\r\npc-salon 192.168.1.10\r\n");
    EXPECT_EQ(File("liste.mac"),
              "pc1 02-00-00-AA-BB-CC\r\nbox 02-00-00-00-00-01\r\npc-salon 02-00-00-00-00-10\r\n");
    EXPECT_EQ(File("liste.ip.discover"),
              "192.168.1.1=box\r\n192.168.1.10=pc-salon\r\n192.168.1.100=Box\r\n");
    EXPECT_EQ(File("ipactive"), "192.168.1.1\r\n192.168.1.9\r\n192.168.1.10\r\n");
    EXPECT_EQ(File("scratch/ip2name.txt"),
              "192.168.1.5=pc1\r\n192.168.1.1=box\r\n192.168.1.9=pc1\r\n192.168.1.10=pc-salon\r\n"
              "192.168.1.10=pc-salon\r\n");
    EXPECT_EQ(File("scratch/ip2mac.txt"),
              "192.168.1.1=02-00-00-00-00-01\r\n192.168.1.9=02-00-00-AA-BB-CC\r\n"
              "192.168.1.10=02-00-00-00-00-10\r\n");
    EXPECT_FALSE(fs::exists(folder / "netsweep.lck"));

    const std::string ip = File("liste.ip"), mac = File("liste.mac"),
                      discover = File("liste.ip.discover");
    net.netbiosAsked.clear();
    Run();
    EXPECT_EQ(status, netsweep::kExitDone);
    EXPECT_EQ(File("liste.ip"), ip);
    EXPECT_EQ(File("liste.mac"), mac);
    EXPECT_EQ(File("liste.ip.discover"), discover);
    EXPECT_TRUE(net.netbiosAsked.empty());
}

TEST_F(NetsweepRun, OnlyTheExactFirstArgumentNoscanSkipsTheSweep) {
    net.arp = {"  192.168.1.7           02-00-00-00-00-07     dynamique",
               "  192.168.1.8           02-00-00-00-00-08     dynamique"};
    net.netbios = {{"192.168.1.7", "pc7"}};
    for (const auto& [args, sweeps] :
         std::vector<std::pair<std::vector<std::string>, bool>>{{{"noscan"}, false},
                                                                {{"noscan", "x"}, false},
                                                                {{"NOSCAN"}, true},
                                                                {{}, true},
                                                                {{"x", "noscan"}, true},
                                                                {{" noscan"}, true}}) {
        SCOPED_TRACE(args.empty() ? "(aucun)" : args.front());
        fs::remove(folder / "ipactive");
        net.probed = 0;
        net.netbiosAsked.clear();
        Run(args);
        EXPECT_EQ(status, netsweep::kExitDone);
        EXPECT_EQ(net.probed, sweeps ? 254u : 0u);
        EXPECT_EQ(fs::exists(folder / "ipactive"), sweeps);
        // The ARP step still names its addresses, all at once, and merges.
        EXPECT_EQ(net.netbiosAsked,
                  (std::vector<std::vector<std::string>>{{"192.168.1.7", "192.168.1.8"}}));
        EXPECT_EQ(File("liste.mac"), "pc7 02-00-00-00-00-07\r\n");
        fs::remove(folder / "liste.ip");
        Write("liste.ip", "");
    }
}

// liste.appareils run after run: a computer that arrives is new; one that
// leaves while its ARP entry lingers is asked once more and counts as gone; a
// run that cannot probe is no sweep.
TEST_F(NetsweepRun, EachRunRecordsTheDevicesItSaw) {
    const auto record = [this] {
        return toolkit::ParseDeviceRecord(toolkit::SplitLines(File("liste.appareils")));
    };
    const auto marks = [&record] {
        const toolkit::DeviceRecord now = record();
        std::map<std::string, std::string> byAddress;
        for (const auto& device : now.devices) {
            byAddress[device.address] = korvane::DeviceMark(now, device, toolkit::UtcNow());
        }
        return byAddress;
    };
    const auto arp = [](const std::string& host) {
        const std::string byte = host.size() == 1 ? "0" + host : host;
        return "  192.168.1." + host + "           02-00-00-00-00-" + byte + "     dynamique";
    };
    net.alive = {"192.168.1.1", "192.168.1.2", "192.168.1.9"};
    net.arp = {arp("1"), arp("9")};
    net.netbios = {{"192.168.1.9", "PC9"}};
    Run();
    ASSERT_EQ(status, netsweep::kExitDone) << err;
    const TextList lines = toolkit::SplitLines(File("liste.appareils"));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[5].substr(0, 35), ";192.168.1.2;;" + lines[0].substr(9) + ";");
    EXPECT_TRUE(lines[4].starts_with("02-00-00-00-00-09;192.168.1.9;pc9;")) << lines[4];
    EXPECT_TRUE(lines[4].ends_with(";;;oui")) << lines[4];
    using Marks = std::map<std::string, std::string>;
    EXPECT_EQ(marks(), (Marks{{"192.168.1.1", ""}, {"192.168.1.2", ""}, {"192.168.1.9", ""}}));

    net.alive = {"192.168.1.1", "192.168.1.2", "192.168.1.10"};
    net.arp = {arp("1"), arp("9"), arp("10")};
    net.probed = 0;
    Run();
    EXPECT_NE(out.find("192.168.1.9 est inactif (second essai)\n"), std::string::npos) << out;
    EXPECT_EQ(net.probed, 255u);
    const Marks secondRun = {{"192.168.1.1", ""},
                             {"192.168.1.2", ""},
                             {"192.168.1.9", "vu il y a moins d'une minute"},
                             {"192.168.1.10", "nouveau"}};
    EXPECT_EQ(marks(), secondRun);

    // No echo can be sent: the ARP table counts, as in a run without sweep;
    // what only the echo showed (this computer, .2) is not seen; the sweep
    // times stay.
    const toolkit::DeviceRecord second = record();
    net.icmp = false;
    net.alive.clear();
    net.arp = {arp("1"), arp("10")};
    Run();
    const toolkit::DeviceRecord third = record();
    EXPECT_EQ(third.lastSweep, second.lastSweep);
    EXPECT_TRUE(third.devices[0].answersPing);
    EXPECT_GT(third.devices[0].lastSeen, second.devices[0].lastSeen);
    EXPECT_EQ(third.devices[2].address, "192.168.1.2");
    EXPECT_EQ(third.devices[2].lastSeen, second.devices[2].lastSeen);
}

// A devices record that cannot be read or replaced is set aside beside it,
// whole, under a dated name; the run goes on from an empty record, and says
// so on its console.
TEST_F(NetsweepRun, AnUnusableDeviceRecordIsSetAsideAndTheRunGoesOn) {
    const std::string record = folder / "liste.appareils";
    const std::string big(toolkit::kMaxListBytes + 1, '\n');
    struct Case {
        const char* kind;
        std::function<bool()> make;  // false where the system cannot make it (Wine)
        std::function<bool(const std::string& aside)> kept;  // the old record, whole
        const char* told;
    };
    const std::vector<Case> cases = {
        {"beyond 16 MiB",
         [&] {
             Write("liste.appareils", big);
             return true;
         },
         [&](const std::string& aside) { return ReadBytes(aside) == big; }, "il dépasse 16 Mio"},
        {"a folder",
         [&] {
             fs::create_directory(record);
             Write("liste.appareils/notes", "garde");
             return true;
         },
         [&](const std::string& aside) { return ReadBytes(aside + "/notes") == "garde"; },
         "c'est un dossier, pas un fichier ordinaire"},
        {"a link",
         [&] {
             std::error_code error;
             fs::create_symlink(folder / "ailleurs", record, error);
             return !error;
         },
         [&](const std::string& aside) {
             return fs::is_symlink(aside) && File("ailleurs") == "garde";
         },
         "ce n'est pas un fichier ordinaire"},
        {"a FIFO", [&] { return mkfifo(record.c_str(), 0600) == 0; },
         [&](const std::string& aside) { return fs::is_fifo(aside); },
         "c'est un tube nommé, pas un fichier ordinaire"},
    };
    Write("ailleurs", "garde");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        if (!c.make()) continue;
        net.arp = {"  192.168.1.7           02-00-00-00-00-07     dynamique"};
        Run({"noscan"});
        EXPECT_EQ(status, netsweep::kExitDone) << err;
        EXPECT_EQ(err, "");
        EXPECT_FALSE(fs::exists(folder / "netsweep.lck"));
        std::vector<fs::path> aside;
        for (const auto& entry : fs::directory_iterator(folder.Path())) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("liste.appareils.illisible-")) aside.push_back(entry.path());
        }
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_TRUE(c.kept(aside[0].string()));
        EXPECT_NE(out.find("Relevé des appareils illisible : "), std::string::npos) << out;
        EXPECT_NE(out.find(c.told), std::string::npos) << out;
        EXPECT_NE(
            out.find(aside[0].filename().string() + " » ; ce passage repart d'un relevé vide.\n"),
            std::string::npos)
            << out;
        ASSERT_TRUE(fs::is_regular_file(record));
        EXPECT_NE(File("liste.appareils").find("02-00-00-00-00-07;192.168.1.7;"),
                  std::string::npos);
        fs::remove_all(aside[0]);
        fs::remove(record);
    }
}

TEST(NetsweepMarker, BlocksForLessThanOneHundredthOfADayUnlessFromTheFuture) {
    using namespace std::chrono;
    const system_clock::time_point now = system_clock::now();
    for (const auto& [age, blocks] : std::vector<std::pair<seconds, bool>>{
             {seconds(0), true},
             {minutes(10), true},
             {seconds(863), true},
             {seconds(864), false},
             {minutes(15), false},
             {seconds(-30), true},  // a run that started a moment ago on a coarse clock
             {minutes(-5), false},  // written before the clock went back
         }) {
        EXPECT_EQ(netsweep::MarkerBlocks(now - age, now), blocks) << age.count() << " s";
    }
}

TEST_F(NetsweepRun, AFreshMarkerEndsTheRunAtOnceAnOldOneIsRenewed) {
    const std::string marker = folder / "netsweep.lck";
    Write("netsweep.lck", "");
    const auto tenMinutesAgo = fs::file_time_type::clock::now() - std::chrono::minutes(10);
    fs::last_write_time(marker, tenMinutesAgo);
    Run();
    EXPECT_EQ(status, netsweep::kExitDone);
    EXPECT_EQ(out + err, "");
    EXPECT_EQ(net.probed, 0u);
    EXPECT_EQ(fs::last_write_time(marker), tenMinutesAgo);
    EXPECT_FALSE(fs::exists(folder / "liste.ip.discover"));

    fs::last_write_time(marker, fs::file_time_type::clock::now() - std::chrono::minutes(15));
    std::optional<fs::file_time_type> written;
    net.duringRun = [&] { written = fs::last_write_time(marker); };
    Run();
    EXPECT_EQ(status, netsweep::kExitDone);
    ASSERT_TRUE(written);
    EXPECT_GT(*written, fs::file_time_type::clock::now() - std::chrono::minutes(1));
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(NetsweepRun, MissingListsAreEmptyAFileThatCannotBeReadStopsTheRun) {
    fs::remove(folder / "liste.ip");
    fs::remove(folder / "liste.mac");
    net.arp = {"  192.168.1.7           02-00-00-00-00-07     dynamique"};
    net.netbios = {{"192.168.1.7", "pc7"}};
    Run({"noscan"});
    EXPECT_EQ(status, netsweep::kExitDone);
    EXPECT_EQ(err, "");
    EXPECT_EQ(File("liste.ip"), "");  // the ARP step's names reach it at the next run
    EXPECT_EQ(File("liste.mac"), "pc7 02-00-00-00-00-07\r\n");
    EXPECT_FALSE(fs::exists(folder / "netsweep.lck"));

    // A list that is there but cannot be read is no empty list.
    fs::remove(folder / "liste.mac");
    ASSERT_EQ(mkfifo((folder / "liste.mac").c_str(), 0600), 0);
    Run({"noscan"});
    EXPECT_EQ(status, netsweep::kExitFileError);
    EXPECT_EQ(err, "netsweep : Impossible d'ouvrir le fichier « " + (folder / "liste.mac") +
                       " » : c'est un tube nommé, pas un fichier ordinaire\n");
    EXPECT_FALSE(fs::exists(folder / "netsweep.lck"));  // the next run is not kept away
    EXPECT_TRUE(fs::exists(folder / "liste.ip"));
}

// One destination refused: no list is replaced, and no temporary stays.
TEST_F(NetsweepRun, TheListsAreReplacedAsASetOrNotAtAll) {
    const fs::path elsewhere = folder / "ailleurs";
    for (const char* refused : {"liste.mac", "liste.ip.discover"}) {
        SCOPED_TRACE(refused);
        fs::remove(folder / "netsweep.lck");
        Write("liste.ip", "pc1 192.168.1.5\r\n");
        Write("liste.mac", "PC1 02-00-00-AA-BB-CC\r\n");
        Write("liste.ip.discover", "192.168.1.5=pc1\r\n");
        Write("ailleurs", "intact\r\n");
        fs::remove(folder / refused);
        if (std::string(refused) == "liste.mac") {
            fs::create_directory(folder / refused);
        } else {
            fs::create_symlink(elsewhere, folder / refused);
        }
        net.arp = {"  192.168.1.9           02-00-00-AA-BB-CC     dynamique"};
        net.netbios = {{"192.168.1.9", "pc1"}};
        Run({"noscan"});
        EXPECT_EQ(status, netsweep::kExitFileError);
        EXPECT_NE(err.find(std::string(refused) + " » : c'est un"), std::string::npos) << err;
        EXPECT_EQ(File("liste.ip"), "pc1 192.168.1.5\r\n");
        if (fs::is_regular_file(folder / "liste.mac")) {
            EXPECT_EQ(File("liste.mac"), "PC1 02-00-00-AA-BB-CC\r\n");
        }
        EXPECT_EQ(File("ailleurs"), "intact\r\n");
        for (const auto& entry : fs::directory_iterator(folder.Path())) {
            EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos)
                << entry.path();
        }
        fs::remove_all(folder / refused);
    }
}

// Only one run holds the marker; one that is not a plain file is never obeyed.
TEST_F(NetsweepRun, TheMarkerAdmitsOneRunAndRefusesAFolderOrALink) {
    const std::string marker = folder / "netsweep.lck";
    const auto held = toolkit::platform::ClaimRunMarker(marker, [](auto) { return true; });
    ASSERT_TRUE(held);
    Run();
    EXPECT_EQ(status, netsweep::kExitDone);
    EXPECT_EQ(out + err, "");
    EXPECT_EQ(net.probed, 0u);
    EXPECT_FALSE(fs::exists(folder / "liste.ip.discover"));
    toolkit::platform::ReleaseRunMarker(*held, marker, false);
    // Left by a run that ended: fresh, it still blocks; old, it is taken over.
    Run();
    EXPECT_EQ(net.probed, 0u);
    fs::last_write_time(marker, fs::file_time_type::clock::now() - std::chrono::minutes(15));
    Run();
    EXPECT_EQ(status, netsweep::kExitDone);
    EXPECT_EQ(net.probed, 254u);
    EXPECT_FALSE(fs::exists(marker));

    Write("ailleurs", "");
    fs::last_write_time(folder / "ailleurs",
                        fs::file_time_type::clock::now() - std::chrono::minutes(15));
    for (const auto& [kind, make] : std::vector<std::pair<std::string, std::function<void()>>>{
             {"un dossier", [&] { fs::create_directory(marker); }},
             {"un lien symbolique", [&] { fs::create_symlink(folder / "ailleurs", marker); }},
             {"un lien symbolique", [&] { fs::create_symlink(folder / "absent", marker); }},
         }) {
        SCOPED_TRACE(kind);
        make();
        net.probed = 0;
        Run();
        EXPECT_EQ(status, netsweep::kExitFileError);
        EXPECT_EQ(err, "netsweep : Le marqueur « " + marker + " » est refusé : c'est " + kind +
                           ", pas un fichier ordinaire ; il est laissé tel quel et aucune "
                           "recherche n'est lancée.\n");
        EXPECT_EQ(net.probed, 0u);
        EXPECT_FALSE(fs::exists(folder / "absent"));
        EXPECT_EQ(File("ailleurs"), "");
        fs::remove(marker);
    }
}

// The ARP step's names get their own bound, whatever the sweep's names took.
TEST_F(NetsweepRun, EachNamingStepHasItsOwnBound) {
    net.alive = {"192.168.1.7"};
    net.arp = {"  192.168.1.8           02-00-00-00-00-08     dynamique"};
    net.netbiosDelay = std::chrono::milliseconds(1000);
    Run();
    EXPECT_EQ(status, netsweep::kExitDone);
    ASSERT_EQ(net.netbiosTimeLeft.size(), 2u);
    for (const auto left : net.netbiosTimeLeft) {
        EXPECT_GT(left, netsweep::kNamingDeadline - std::chrono::milliseconds(500));
        EXPECT_LE(left, netsweep::kNamingDeadline);
    }
}

std::string Report(const std::string& address, const std::string& gateway,
                   const std::string& network) {
    return "l'adresse IP est : " + address + "\nl'adresse IP de la passerelle est : " + gateway +
           "\nle réseau est : " + network + "\n";
}

TEST_F(NetsweepRun, LocalAddressAndSweptRange) {
    const std::string nothing =
        "aucune adresse à sonder : ni la passerelle et le masque, ni l'adresse locale et son "
        "masque ne sont connus\n";
    const std::string table = "0eme adresse IP => 127.0.0.1\n";
    struct Case {
        const char* name;
        std::string gateway, mask, krv;
        TextList addresses, masks;
        std::string report;       // step 10's lines
        std::string firstProbed;  // empty: nothing probed
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"krv.ini names the address: the table is not read", "192.168.1.1", "255.255.255.0",
         "ip=10.0.0.7\r\nmasque=255.0.0.0\r\n", {"127.0.0.1"}, {"255.0.0.0"},
         Report("10.0.0.7", "192.168.1.1", "192.168.1.0"), "192.168.1.1"},
        {"a gateway without mask: the last entry of its network, and that entry's range",
         "192.168.1.1", "", "", {"127.0.0.1", "192.168.1.2", "192.168.1.3"},
         {"255.0.0.0", "255.255.255.0", "255.255.255.128"},
         Report("192.168.1.3", "192.168.1.1", "192.168.1.") + table +
             "1eme adresse IP => 192.168.1.2\n2eme adresse IP => 192.168.1.3\n", "192.168.1.1"},
        {"no gateway: krv.ini's address and mask give the network", "", "",
         "IP=10.1.2.3\r\nMASQUE=255.255.255.0\r\n", {}, {}, Report("10.1.2.3", "", "10.1.2."),
         "10.1.2.1"},
        {"nothing known: no address, nothing probed, no crash", "", "", "", {}, {},
         Report("", "", "") + nothing, ""},
        {"only loopback: this machine is not the LAN", "", "", "", {"127.0.0.1"}, {"255.0.0.0"},
         Report("127.0.0.1", "", "") + table + nothing, ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        net.params = {};
        net.params.gateway = c.gateway;
        net.params.mask = c.mask;
        net.addresses = c.addresses;
        net.masks = c.masks;
        fs::remove(folder / "krv.ini");
        if (!c.krv.empty()) Write("krv.ini", c.krv);
        net.probed = 0;
        Run();
        EXPECT_EQ(status, netsweep::kExitDone);
        EXPECT_EQ(out.substr(0, c.report.size()), c.report);
        EXPECT_EQ(net.probed, c.firstProbed.empty() ? 0u : 254u);
        if (!c.firstProbed.empty()) {
            EXPECT_EQ(out.substr(c.report.size()).find(c.firstProbed + " est inactif\n"), 0u);
        }
    }
}

TEST(NetsweepSweep, HostsOneTo254OfEachThirdNumber) {
    struct Case {
        std::string network, broadcast;
        std::size_t count;
        std::string first, last;
    };
    for (const Case& c : std::vector<Case>{
             {"192.168.1.0", "192.168.1.255", 254, "192.168.1.1", "192.168.1.254"},
             {"192.168.1.128", "192.168.1.255", 254, "192.168.1.1", "192.168.1.254"},
             {"192.168.0.0", "192.168.255.255", 65024, "192.168.0.1", "192.168.255.254"},
             {"192.168.2.0", "192.168.1.255", 0, "", ""},
             {"192.168.1.", "192.168.1.255", 0, "", ""},
         }) {
        const auto addresses = netsweep::SweepAddresses(c.network, c.broadcast);
        ASSERT_EQ(addresses.size(), c.count) << c.network;
        if (c.count == 0) continue;
        EXPECT_EQ(addresses.front(), c.first);
        EXPECT_EQ(addresses.back(), c.last);
        if (c.count > 254) {
            EXPECT_EQ(addresses[254], "192.168.1.1");  // the next third number
        }
    }
}

// Names from the network that would break a line, a script or a file name.
TEST_F(NetsweepRun, NamesThatCouldBreakAListCountAsNoName) {
    net.alive = {"192.168.1.5", "192.168.1.6", "192.168.1.7"};
    net.netbios = {{"192.168.1.5", "pc=5"}, {"192.168.1.6", "pc 6"}, {"192.168.1.7", "pc\x01"}};
    net.reverse["192.168.1.5"] = {"pc5;reboot", {}};
    net.reverse["192.168.1.6"] = {"pc6.maison.lan", {"pc 6"}};  // a bad alias: the official name
    net.reverse["192.168.1.7"] = {"\xC3\xA9t\xC3\xA9", {"ete"}};
    net.cache = {"    EVIL NAME       <00>  UNIQUE          192.168.1.8          590",
                 "    PC9             <00>  UNIQUE",
                 "    PC9             <00>  UNIQUE          192.168.1.999        590"};
    net.arp = {"  192.168.1.6           02-00-00-00-00-06     dynamique",
               "  192.168.1.7           02-00-00-00-00        dynamique",
               "  192.168.1.300         02-00-00-00-00-08     dynamique"};
    Run();
    EXPECT_EQ(status, netsweep::kExitDone);
    EXPECT_NE(Shown().find("getHostByAddr : 192.168.1.5 = \ngetAliasByAddr : 192.168.1.5 = \n"),
              std::string::npos);
    EXPECT_NE(Shown().find("getAliasByAddr : 192.168.1.7 = \n192.168.1.6=02-00-00-00-00-06\n"),
              std::string::npos);
    EXPECT_EQ(File("liste.ip"), "pc6 192.168.1.6\r\npc6.maison.lan 192.168.1.6\r\n");
    EXPECT_EQ(File("liste.mac"), "pc6 02-00-00-00-00-06\r\n");
    EXPECT_EQ(File("scratch/ip2name.txt"), "192.168.1.6=pc6.maison.lan\r\n");
}

}  // namespace
