// A sweep larger than the kernel's neighbour table, on the /20 LAN of
// tests/lab/sweep-hosts.txt: every host is found, a sleeper is not, whether
// the sweep may ask ARP first (root) or must wait for room in the table.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "lab_support.h"
#include "raw_ping.h"
#include "run.h"

namespace {

constexpr uid_t kNobody = 65534;

std::vector<std::string> Range() {
    return netsweep::SweepAddresses("198.18.0.0", "198.18.15.255");
}

std::vector<std::string> Answered(const std::vector<bool>& verdicts) {
    const auto range = Range();
    std::vector<std::string> up;
    for (std::size_t i = 0; i < range.size(); ++i) {
        if (verdicts[i]) up.push_back(range[i]);
    }
    return up;
}

std::vector<bool> Sweep() {
    std::vector<toolkit::IPv4> targets;
    for (const std::string& address : Range()) targets.push_back(toolkit::HostToIPv4(address));
    return toolkit::IcmpProbeAddresses(targets);
}

// The same sweep in a child that gave up root, and with it the packet socket.
std::vector<bool> SweepWithoutRawRight() {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        if (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
            setresuid(kNobody, kNobody, kNobody) != 0) {
            _exit(1);
        }
        std::string bytes;
        for (const bool up : Sweep()) bytes += up ? '1' : '0';
        const bool written =
            write(pipeFds[1], bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        _exit(written ? 0 : 1);
    }
    close(pipeFds[1]);
    std::string bytes;
    char buffer[4096];
    for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, got);
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::vector<bool> verdicts;
    for (const char c : bytes) verdicts.push_back(c == '1');
    return verdicts;
}

std::size_t UnresolvedNeighbours() {
    const std::string out = lab::Run("ip -4 neigh show nud incomplete nud failed | wc -l");
    return std::stoul(out);
}

TEST(LargeSweepLab, EveryHostOfASlash20IsFoundWithOrWithoutAskingArpFirst) {
    ASSERT_EQ(Range().size(), 16u * 254u);
    const lab::Host& sleeper = lab::Hosts().at(2);
    lab::ScopedSleep asleep(sleeper);
    std::vector<std::string> expected = {lab::kGateway, lab::kAdmin};
    for (const lab::Host& host : lab::Hosts()) {
        if (&host != &sleeper) expected.push_back(host.address);
    }
    std::sort(expected.begin(), expected.end());
    const auto sorted = [](std::vector<std::string> up) {
        std::sort(up.begin(), up.end());
        return up;
    };

    lab::Run("ip neigh flush all");
    EXPECT_EQ(sorted(Answered(Sweep())), expected);
    // ARP first: the silent addresses never took an entry of the table.
    EXPECT_LT(UnresolvedNeighbours(), 100u);

    lab::Run("ip neigh flush all");
    const std::vector<bool> verdicts = SweepWithoutRawRight();
    ASSERT_EQ(verdicts.size(), Range().size());
    EXPECT_EQ(sorted(Answered(verdicts)), expected);
}

}  // namespace
