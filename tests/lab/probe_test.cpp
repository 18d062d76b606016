// The echo probe on the simulated LAN, through both kinds of ICMP socket: the
// datagram socket that net.ipv4.ping_group_range allows, and the raw socket
// used when it does not.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "lab_support.h"
#include "raw_ping.h"

namespace {

using lab::ReadFile;
using lab::ScopedSetting;
using lab::ScopedSleep;
using lab::WriteFile;

const std::string kPingGroupRange = "/proc/sys/net/ipv4/ping_group_range";

bool DatagramIcmpAllowed() {
    const int fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
    if (fd < 0) return false;
    close(fd);
    return true;
}

const lab::Host& HostWithName() {
    for (const auto& host : lab::Hosts()) {
        if (!host.reverseName.empty()) return host;
    }
    throw std::logic_error("lab-hosts.txt has no host with a name");
}

// Each fixture makes the probe take one kind of socket; the range belongs to
// the lab's admin namespace, so changing it touches nothing else.
class ProbeFixture : public testing::Test {
  protected:
    explicit ProbeFixture(bool datagram)
        : datagram_(datagram), range_(kPingGroupRange, datagram ? "0 2147483647" : "1 0") {}

    void SetUp() override {
        ASSERT_GE(lab::Hosts().size(), 2U);
        ASSERT_EQ(DatagramIcmpAllowed(), datagram_) << "the probe would take the other path";
    }

  private:
    bool datagram_;
    ScopedSetting range_;
};

class DatagramSocket : public ProbeFixture {
  protected:
    DatagramSocket() : ProbeFixture(true) {}
};

class RawSocket : public ProbeFixture {
  protected:
    RawSocket() : ProbeFixture(false) {}
};

void ExpectGatewayAndLiveHostsAnswer() {
    EXPECT_TRUE(toolkit::IcmpProbe(lab::kGateway));
    for (const auto& host : lab::Hosts()) EXPECT_TRUE(toolkit::IcmpProbe(host.address)) << host.id;
}

void ExpectSleepingHostAndUnusedAddressSilent() {
    const lab::Host& host = lab::Hosts().front();
    {
        ScopedSleep asleep(host);
        EXPECT_FALSE(toolkit::IcmpProbe(host.address));
    }
    EXPECT_TRUE(toolkit::IcmpProbe(host.address)) << "awake again";

    // Nobody answers the neighbour query for it: the probe must not wait for
    // the kernel to give up on it.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(toolkit::IcmpProbe(lab::kUnused));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

// When nobody answers its address query, the kernel gives up and reports the
// queued request "host unreachable" from this machine itself: that says
// nothing of the host. The query is made to give up well within the time-out.
void ExpectOwnUnreachableReportIsNoAnswer() {
    const std::string neigh = "/proc/sys/net/ipv4/neigh/eth0/";
    ScopedSetting retry(neigh + "retrans_time_ms", "50");
    ScopedSetting tries(neigh + "mcast_solicit", "3");
    lab::Run("ip neigh flush to " + lab::kUnused);
    const std::vector<bool> verdict =
        toolkit::IcmpProbeMany({lab::kUnused, lab::kBeyondGateway}, std::chrono::seconds(1));
    EXPECT_EQ(verdict, (std::vector<bool>{false, true})) << "the gateway's report still counts";
}

// One sweep of the LAN and the single probe agree everywhere, and both see
// exactly the machines that are up; the gateway's "unreachable" for an
// address beyond it counts as an answer.
void ExpectBatchAgreesWithSingleProbe() {
    const lab::Host& sleeper = lab::Hosts().back();
    ScopedSleep asleep(sleeper);
    std::vector<std::string> texts;
    std::vector<bool> expected;
    for (int last = 1; last <= 20; ++last) {
        texts.push_back("198.18.0." + std::to_string(last));
        bool up = texts.back() == lab::kGateway || texts.back() == lab::kAdmin;
        for (const auto& host : lab::Hosts()) {
            if (host.address == texts.back() && &host != &sleeper) up = true;
        }
        expected.push_back(up);
    }
    texts.push_back(lab::kBeyondGateway);
    expected.push_back(true);
    texts.push_back("0.0.0.0");
    expected.push_back(false);

    const std::vector<bool> batch = toolkit::IcmpProbeMany(texts);
    ASSERT_EQ(batch.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(batch[i], expected[i]) << texts[i];
        EXPECT_EQ(toolkit::IcmpProbe(texts[i]), batch[i]) << texts[i];
    }
}

TEST_F(DatagramSocket, GatewayAndLiveHostsAnswer) {
    ExpectGatewayAndLiveHostsAnswer();
}
TEST_F(DatagramSocket, SleepingHostAndUnusedAddressStaySilent) {
    ExpectSleepingHostAndUnusedAddressSilent();
}
TEST_F(DatagramSocket, OwnUnreachableReportIsNoAnswer) {
    ExpectOwnUnreachableReportIsNoAnswer();
}
TEST_F(DatagramSocket, BatchAgreesWithSingleProbe) {
    ExpectBatchAgreesWithSingleProbe();
}

TEST_F(RawSocket, GatewayAndLiveHostsAnswer) {
    ExpectGatewayAndLiveHostsAnswer();
}
TEST_F(RawSocket, SleepingHostAndUnusedAddressStaySilent) {
    ExpectSleepingHostAndUnusedAddressSilent();
}
TEST_F(RawSocket, OwnUnreachableReportIsNoAnswer) {
    ExpectOwnUnreachableReportIsNoAnswer();
}
TEST_F(RawSocket, BatchAgreesWithSingleProbe) {
    ExpectBatchAgreesWithSingleProbe();
}

// Names go through the resolver: the admin's hosts file, then its DNS server,
// which is not there (the gateway answers "port unreachable").
TEST(ProbeNames, HostsFileNamesAreProbedAndUnknownNamesGiveNoAddress) {
    const lab::Host& host = HostWithName();
    EXPECT_EQ(toolkit::ToDotted(toolkit::HostToIPv4(host.reverseName)), host.address);
    EXPECT_TRUE(toolkit::IcmpProbe(host.reverseName));
    EXPECT_EQ(toolkit::HostToIPv4("inconnu.maison.lan"), (toolkit::IPv4{0, 0, 0, 0}));
}

}  // namespace
