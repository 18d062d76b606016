// The record of the devices netsweep saw (liste.appareils), with the real
// netsweep on the simulated LAN of tests/lab/netsweep-hosts.txt: a computer
// plugged in between two runs, one unplugged, two that swap addresses, and
// runs killed at moments spread over a run.
//
// Before each run the admin machine's neighbour entries are made stale, as a
// run nine minutes after the previous one finds them: to be confirmed again
// when used.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "../unit/test_folder.h"
#include "devices.h"
#include "korvane/core/devicemarks.h"
#include "lab_support.h"
#include "utctime.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Marks = std::map<std::string, std::string>;  // by MAC, or address without one
using toolkit::DeviceRecord;

std::string Mac(const lab::Host& host) {
    return toolkit::DeviceMac(host.mac);
}

const std::string kNeigh = "/proc/sys/net/ipv4/neigh/eth0/";

class DevicesLab : public testing::Test {
  protected:
    void SetUp() override {
        env_ = std::make_unique<testing_support::ScopedEnv>("KORVANE_SCRATCH", scratch_.Path());
        for (const char* program : {"netsweep", "netcmd"}) {
            fs::copy_file(lab::BinPath(program), folder_ / program);
        }
        lab::WriteFile(folder_ / "liste.ip", "");
        lab::WriteFile(folder_ / "liste.mac", "");
        // A test starts on a LAN the admin knows nothing of: an entry that the
        // test before left failed or being resolved (a computer it unplugged)
        // would hold that computer's echo past the first run's window.
        lab::Run("ip -4 neigh flush dev eth0");
    }
    void TearDown() override {
        for (const lab::Host& host : lab::Hosts()) lab::Replug(host);
        for (const lab::Host* host : moved_) lab::Readdress(*host, host->address);
    }

    void Move(const lab::Host& host, const std::string& address) {
        moved_.push_back(&host);
        lab::Readdress(host, address);
    }

    // A whole run, once the admin's neighbour entries have gone stale.
    std::string Netsweep() {
        lab::Run(
            "ip -4 neigh show dev eth0 | awk '/lladdr/ && !/PERMANENT/ { print $1, $3 }' |"
            " while read -r address mac; do"
            "   ip neigh change \"$address\" dev eth0 lladdr \"$mac\" nud stale; done");
        const std::string out = folder_ / "out.txt";
        const lab::RunResult run =
            lab::RunForStatus("cd '" + folder_.Path() + "' && ./netsweep >'" + out + "' 2>&1");
        EXPECT_EQ(run.status, 0) << lab::ReadFile(out);
        return lab::ReadFile(out);
    }

    // Until the neighbour entry of `address` is not in `state`.
    void WaitForNeighbour(const std::string& state, const std::string& address) {
        const auto until = Clock::now() + std::chrono::seconds(20);
        for (std::string table;
             (table = lab::Run("ip -4 neigh show dev eth0 " + address)).find(state) !=
             std::string::npos;) {
            ASSERT_LT(Clock::now(), until) << table;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    DeviceRecord Record() const {
        return toolkit::LoadDeviceRecord(folder_ / toolkit::kDeviceRecordFile);
    }
    const toolkit::Device* Find(const DeviceRecord& record, const lab::Host& host) const {
        for (const toolkit::Device& device : record.devices) {
            if (device.mac == Mac(host)) return &device;
        }
        return nullptr;
    }
    Marks MarksNow() const {
        const DeviceRecord record = Record();
        Marks marks;
        for (const toolkit::Device& device : record.devices) {
            marks[device.mac.empty() ? device.address : device.mac] =
                korvane::DeviceMark(record, device, toolkit::UtcNow());
        }
        return marks;
    }
    // The marks of a LAN where nothing changed, but for `changed`.
    Marks Quiet(const Marks& changed) const {
        Marks marks = {{"198.18.0.2", ""}, {"02-4B-52-00-00-01", ""}};
        for (const lab::Host& host : lab::Hosts()) marks[Mac(host)] = "";
        for (const auto& [key, mark] : changed) marks[key] = mark;
        return marks;
    }

    testing_support::TempFolder folder_;
    testing_support::TempFolder scratch_;
    std::unique_ptr<testing_support::ScopedEnv> env_;
    std::vector<const lab::Host*> moved_;
    // The entry of a computer gone fails in 2 s rather than 8.
    lab::ScopedSetting firstProbe_{kNeigh + "delay_first_probe_time", "1"};
    lab::ScopedSetting retransmit_{kNeigh + "retrans_time_ms", "300"};
};

TEST_F(DevicesLab, AComputerPluggedInIsNewAtTheRunThatFirstSeesItOnly) {
    const lab::Host& late = lab::HostById("h6");
    lab::Unplug(late);
    Netsweep();
    EXPECT_EQ(Find(Record(), late), nullptr);
    EXPECT_EQ(MarksNow().size(), lab::Hosts().size() + 1);  // the gateway and this machine

    // Plugged in once the system has given up asking for it, as a computer
    // plugged in minutes after a run is: an entry still being resolved holds
    // the next run's echo until its next ARP try, after the echo's window.
    WaitForNeighbour("INCOMPLETE", late.address);
    lab::Replug(late);
    Netsweep();
    EXPECT_EQ(MarksNow(), Quiet({{Mac(late), "nouveau"}}));
    const DeviceRecord record = Record();
    const toolkit::Device* device = Find(record, late);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->address, late.address);
    EXPECT_EQ(device->firstSeen, record.lastSweep);
    EXPECT_TRUE(device->answersPing);

    Netsweep();
    EXPECT_EQ(MarksNow(), Quiet({}));
}

// The ARP entry of the computer unplugged outlives it: it is asked once more
// and counts as gone; once the entry has failed, nothing brings it back.
TEST_F(DevicesLab, AComputerUnpluggedIsLastSeenAtTheRunBefore) {
    const lab::Host& leaving = lab::HostById("h5");
    Netsweep();
    const auto before = Record().lastSweep;
    ASSERT_TRUE(before);

    lab::Unplug(leaving);
    const std::string out = Netsweep();
    EXPECT_NE(out.find(leaving.address + " est inactif (second essai)\n"), std::string::npos)
        << out;
    const DeviceRecord record = Record();
    const toolkit::Device* gone = Find(record, leaving);
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(gone->lastSeen, *before);
    EXPECT_FALSE(gone->answersPing);
    EXPECT_EQ(MarksNow(), Quiet({{Mac(leaving), "vu il y a moins d'une minute"}}));

    // Nine minutes later the entry has failed: probed in vain since the run.
    WaitForNeighbour("DELAY", leaving.address);
    WaitForNeighbour("PROBE", leaving.address);
    Netsweep();
    EXPECT_EQ(Find(Record(), leaving)->lastSeen, *before);
    EXPECT_EQ(MarksNow(), Quiet({{Mac(leaving), "vu il y a moins d'une minute"}}));
}

TEST_F(DevicesLab, TwoComputersThatSwapAddressesHaveMoved) {
    const lab::Host& salon = lab::HostById("h1");
    const lab::Host& bureau = lab::HostById("h2");
    Netsweep();
    Move(salon, bureau.address);
    Move(bureau, salon.address);
    Netsweep();
    const DeviceRecord record = Record();
    const toolkit::Device* a = Find(record, salon);
    const toolkit::Device* b = Find(record, bureau);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->address, bureau.address);
    EXPECT_EQ(a->previousAddress, salon.address);
    EXPECT_EQ(a->movedAt, record.lastSweep);
    EXPECT_EQ(b->address, salon.address);
    EXPECT_EQ(MarksNow(), Quiet({{Mac(salon), "déplacé (ancienne adresse 198.18.0.11)"},
                                 {Mac(bureau), "déplacé (ancienne adresse 198.18.0.12)"}}));
    Netsweep();
    EXPECT_EQ(MarksNow(), Quiet({}));
    EXPECT_EQ(Find(Record(), salon)->address, bureau.address);
}

// SIGKILL at moments spread over a whole run: the record is always the old
// one or the new one, whole, never a mix or a part.
TEST_F(DevicesLab, KilledAtAnyMomentTheRecordIsNeverTorn) {
    Netsweep();
    const auto start = Clock::now();
    Netsweep();
    const auto length = Clock::now() - start;
    constexpr int kKills = 16;
    for (int k = 0; k < kKills; ++k) {
        SCOPED_TRACE(k);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            if (chdir(folder_.Path().c_str()) == 0) execl("./netsweep", "netsweep", nullptr);
            _exit(127);
        }
        std::this_thread::sleep_for(length * k / kKills);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const std::string bytes = lab::ReadFile(folder_ / toolkit::kDeviceRecordFile);
        const toolkit::TextList lines = toolkit::SplitLines(bytes);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_TRUE(bytes.ends_with("\r\n"));
        EXPECT_TRUE(lines[0].starts_with("balayage=2"));
        EXPECT_EQ(toolkit::ParseDeviceRecord(lines).devices.size(), lines.size() - 3);
        // A killed run leaves its marker; runs nine minutes later find it old.
        fs::remove(folder_ / "netsweep.lck");
    }
    Netsweep();
    EXPECT_EQ(MarksNow(), Quiet({}));
    for (const auto& entry : fs::directory_iterator(folder_.Path())) {
        EXPECT_FALSE(entry.path().filename().string().starts_with(".liste")) << entry.path();
    }
}

}  // namespace
