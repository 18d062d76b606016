#include "lab_support.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if_ether.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "reseau.h"
#include "utils.h"

namespace lab {
namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

std::string LabScript() {
    return EnvOr("KORVANE_LAB_SCRIPT", std::string(KORVANE_SOURCE_DIR) + "scripts/lab.sh");
}

std::vector<Host> ReadHosts() {
    std::ifstream in(
        EnvOr("KORVANE_LAB_HOSTS", std::string(KORVANE_SOURCE_DIR) + "scripts/lab-hosts.txt"));
    std::vector<Host> hosts;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Host h;
        std::string options;
        if (!(fields >> h.id >> h.address >> h.mac >> h.netbiosName >> h.workgroup >>
              h.reverseName))
            continue;
        fields >> options;
        if (h.netbiosName == "-") h.netbiosName.clear();
        if (h.reverseName == "-") h.reverseName.clear();
        const std::string all = "," + options + ",";
        h.nmbd = all.find(",nmbd,") != std::string::npos;
        h.dnsOnly = all.find(",dns,") != std::string::npos;
        const bool firewall = all.find(",firewall,") != std::string::npos;
        h.dropsEcho = firewall || all.find(",noecho,") != std::string::npos;
        h.dropsTcp = firewall || all.find(",notcp,") != std::string::npos;
        if (const std::size_t loss = all.find(",loss="); loss != std::string::npos) {
            h.lossPercent = std::atoi(all.c_str() + loss + 6);
        }
        hosts.push_back(h);
    }
    return hosts;
}

// One datagram and the kernel's receive time (SO_TIMESTAMP), zero without one.
ssize_t ReceiveStamped(int fd, void* buffer, std::size_t size, std::chrono::microseconds& stamp) {
    iovec data{buffer, size};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(timeval))> control{};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    const ssize_t got = recvmsg(fd, &message, 0);
    timeval time{};
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMP) {
            std::memcpy(&time, CMSG_DATA(c), sizeof time);
        }
    }
    stamp = std::chrono::seconds(time.tv_sec) + std::chrono::microseconds(time.tv_usec);
    return got;
}

// The kernel turns receive times on a moment after the first socket asks for
// them (deferred work); until then a datagram is stamped when it is read, not
// when it came. Waits until a datagram sent to ourselves on loopback comes
// back stamped with its arrival.
void WaitForLiveTimestamps() {
    using namespace std::chrono;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMP, &on, sizeof on);
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof self;
    bind(fd, reinterpret_cast<const sockaddr*>(&self), sizeof self);
    getsockname(fd, reinterpret_cast<sockaddr*>(&self), &length);
    for (int tries = 0; tries < 100; ++tries) {
        const auto sent = duration_cast<microseconds>(system_clock::now().time_since_epoch());
        sendto(fd, "x", 1, 0, reinterpret_cast<const sockaddr*>(&self), sizeof self);
        usleep(20'000);
        char byte = 0;
        microseconds stamp{};
        if (ReceiveStamped(fd, &byte, 1, stamp) == 1 && stamp - sent < milliseconds(10)) break;
    }
    close(fd);
}

}  // namespace

const std::vector<Host>& Hosts() {
    static const std::vector<Host> hosts = ReadHosts();
    return hosts;
}

const Host& HostById(const std::string& id) {
    for (const Host& host : Hosts()) {
        if (host.id == id) return host;
    }
    throw std::logic_error("the lab's hosts file has no " + id);
}

const Host& HostAt(int index) {
    return Hosts().at(static_cast<std::size_t>(index));
}

RunResult RunForStatus(const std::string& commandLine) {
    RunResult result;
    FILE* pipe = popen(commandLine.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run: " << commandLine;
        return result;
    }
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.output.append(buffer.data(), n);
    }
    const int status = pclose(pipe);
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    return result;
}

std::string Run(const std::string& commandLine, bool mustSucceed) {
    RunResult result = RunForStatus(commandLine);
    if (mustSucceed && result.status != 0)
        ADD_FAILURE() << "command failed (" << result.status << "): " << commandLine;
    return result.output;
}

void StartSamba(const Host& host, ShutdownScript script) {
    Run(LabScript() + " samba " + host.id +
        (script == ShutdownScript::Sleeps ? " sleep" : " ignore"));
}

std::vector<std::string> ShutdownCalls(const Host& host) {
    std::vector<std::string> calls;
    std::istringstream lines(Run(LabScript() + " shutdowns " + host.id));
    for (std::string line; std::getline(lines, line);) calls.push_back(line);
    return calls;
}

void StartSsh(const Host& host, const std::string& publicKey) {
    Run(LabScript() + " ssh " + host.id + " '" + publicKey + "'");
}

void RenewSshHostKey(const Host& host) {
    Run(LabScript() + " sshrekey " + host.id);
}

std::vector<std::string> SshCalls(const Host& host) {
    std::vector<std::string> calls;
    std::istringstream lines(Run(LabScript() + " sshcalls " + host.id));
    for (std::string line; std::getline(lines, line);) calls.push_back(line);
    return calls;
}

// The socket is made while this thread stands in the host's namespace; it
// stays there when the thread comes back.
UdpCapture::UdpCapture(const Host& host) {
    const std::string name = "/run/netns/" + EnvOr("KORVANE_LAB", "krvlab") + "-" + host.id;
    const int own = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (own >= 0 && target >= 0 && setns(target, CLONE_NEWNET) == 0) {
        fd_ = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_IP));
        const int on = 1;  // each datagram comes with the kernel's receive time
        if (fd_ >= 0) setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMP, &on, sizeof on);
        if (setns(own, CLONE_NEWNET) != 0)
            ADD_FAILURE() << "cannot come back to the admin namespace";
    }
    if (fd_ < 0) ADD_FAILURE() << "no capture in " << name << ": " << std::strerror(errno);
    WaitForLiveTimestamps();
    if (own >= 0) close(own);
    if (target >= 0) close(target);
}

UdpCapture::~UdpCapture() {
    if (fd_ >= 0) close(fd_);
}

std::vector<Datagram> UdpCapture::Collect(std::chrono::milliseconds quiet) {
    std::vector<Datagram> datagrams;
    std::array<std::uint8_t, 2048> packet{};
    pollfd ready{fd_, POLLIN, 0};
    while (fd_ >= 0 && poll(&ready, 1, static_cast<int>(quiet.count())) > 0) {
        std::chrono::microseconds received{};
        const ssize_t got = ReceiveStamped(fd_, packet.data(), packet.size(), received);
        if (got < 28) continue;
        const std::size_t headerLength = (packet[0] & 0x0F) * 4u;
        if ((packet[0] >> 4) != 4 || packet[9] != IPPROTO_UDP ||
            static_cast<std::size_t>(got) < headerLength + 8) {
            continue;
        }
        Datagram datagram;
        in_addr destination{};
        std::memcpy(&destination, &packet[16], sizeof destination);
        datagram.destination = inet_ntoa(destination);
        datagram.port =
            static_cast<std::uint16_t>(packet[headerLength + 2] << 8 | packet[headerLength + 3]);
        datagram.payload.assign(packet.begin() + static_cast<std::ptrdiff_t>(headerLength + 8),
                                packet.begin() + got);
        datagram.received = received;
        datagrams.push_back(std::move(datagram));
    }
    return datagrams;
}

void Sleep(const Host& host) {
    Run(LabScript() + " sleep " + host.id);
}
void Wake(const Host& host) {
    Run(LabScript() + " wake " + host.id);
}
bool IsAsleep(const Host& host) {
    return Run(LabScript() + " asleep " + host.id) == "1\n";
}
void Unplug(const Host& host) {
    Run(LabScript() + " unplug " + host.id);
}
void Replug(const Host& host) {
    Run(LabScript() + " replug " + host.id);
}
void Readdress(const Host& host, const std::string& address) {
    Run(LabScript() + " readdress " + host.id + " " + address);
}

std::string BinPath(const std::string& program) {
    return EnvOr("KORVANE_BIN_DIR", KORVANE_BIN_DIR) + program;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out.flush()) ADD_FAILURE() << "cannot write " << path;
}

ScopedSetting::ScopedSetting(std::string path, const std::string& value)
    : path_(std::move(path)), old_(ReadFile(path_)) {
    WriteFile(path_, value);
}

ScopedSetting::~ScopedSetting() {
    WriteFile(path_, old_);
}

// The lab's own copy of the admin's resolv.conf, which `ip netns exec` shows
// as /etc/resolv.conf: written in place, never the machine's file.
ScopedSilentDns::ScopedSilentDns() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    inet_pton(AF_INET, "127.0.0.2", &address.sin_addr);
    if (bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ADD_FAILURE() << "cannot take 127.0.0.2:53";
    }
    const std::string lab = EnvOr("KORVANE_LAB", "");
    const std::string path = "/etc/netns/" + lab + "-admin/resolv.conf";
    if (lab.empty() || !std::ifstream(path)) {
        ADD_FAILURE() << "no lab resolver at " << path;
        return;
    }
    resolver_ = std::make_unique<ScopedSetting>(path, "nameserver 127.0.0.2\n");
}

ScopedSilentDns::~ScopedSilentDns() {
    resolver_.reset();
    close(fd_);
}

std::string EntryName(const Host& host) {
    return toolkit::AsciiLower(host.netbiosName);
}

std::string MemberName(const Host& host) {
    return host.reverseName.empty() ? host.address : toolkit::ShortHostName(host.reverseName);
}

void WriteInventory(const std::string& dir, const std::vector<Host>& hosts, Macs macs,
                    const std::function<std::string(const Host&)>& member) {
    toolkit::TextList entries, addresses, macLines;
    for (const Host& host : hosts) {
        const std::string entry = EntryName(host);
        entries.push_back(entry);
        addresses.push_back(entry + " " + host.address);
        macLines.push_back(host.netbiosName + " " + host.mac);
        if (member) toolkit::SaveLines(dir + entry, {member(host)});
    }
    toolkit::SaveLines(dir + "localGM", entries);
    toolkit::SaveLines(dir + "liste.ip", addresses);
    if (macs == Macs::Listed) toolkit::SaveLines(dir + "liste.mac", macLines);
}

}  // namespace lab
