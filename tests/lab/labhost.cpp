// labhost: what a simulated host of the lab runs inside its own network
// namespace. It answers NetBIOS node-status queries with its name table and
// wakes the host up on a magic packet for its MAC. A sleeping host (scripts/
// lab.sh sleep) drops every frame its interface receives or sends, ARP
// included, as a computer that is off does; its network card still sees the
// magic packet: labhost reads every frame from a packet socket, which the
// kernel serves before the rules that drop them, and wakes the host by
// taking those rules away. It binds the wildcard address, so it can start
// before its interface has an address, and runs until SIGTERM. Without a
// name it leaves the NetBIOS port alone (the host has no name, or Samba's
// nmbd answers for it).
//
//   labhost [--name PC-SALON --group MAISON] --mac 02:4b:52:00:00:11
#include <fcntl.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "responder.h"

namespace {

constexpr std::uint16_t kDiscardPort = 9;  // the usual Wake-on-LAN ports
constexpr std::uint16_t kEchoPort = 7;
// The nftables table that puts the host to sleep; scripts/lab.sh names it so.
constexpr const char* kSleepTable = "korvane_sommeil";
constexpr std::size_t kMaxFrame = 65536;
constexpr int kExitStart = 1;
constexpr int kExitUsage = 2;

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) {
    stopRequested = 1;
}

struct Options {
    std::string name;
    std::string group;
    netcmd::UnitId mac{};
};

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    bool haveMac = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const std::string value = argv[i + 1];
        if (key == "--name") {
            options.name = value;
        } else if (key == "--group") {
            options.group = value;
        } else if (key == "--mac") {
            const auto mac = netcmd::ParseMac(value);
            if (!mac) return std::nullopt;
            options.mac = *mac;
            haveMac = true;
        } else {
            return std::nullopt;
        }
    }
    const auto fits = [](const std::string& text) {
        return !text.empty() && text.size() <= netcmd::kNetbiosNameLength;
    };
    const bool named = fits(options.name) && fits(options.group);
    const bool nameless = options.name.empty() && options.group.empty();
    if (argc % 2 == 0 || !haveMac || !(named || nameless)) {
        return std::nullopt;
    }
    return options;
}

int BindUdp(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    // No SO_REUSEADDR: for UDP it would let a second responder share the
    // port and split the queries; failing to start is clearer.
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int saved = errno;
        close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

// Every frame the host's interfaces receive, before any rule may drop it.
int OpenFrameSocket() {
    return socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ALL));
}

// Takes the sleep rules away (nft delete table netdev korvane_sommeil); an
// awake host has none, and nft's complaint about that goes nowhere.
void Wake() {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
    }
    const char* const argv[] = {"nft", "delete", "table", "netdev", kSleepTable, nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, "nft", &actions, nullptr, const_cast<char* const*>(argv), environ) ==
        0) {
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

// One frame: a magic packet for this host's MAC, anywhere in it, wakes the
// host, as its network card would. The frames it sends itself do not count.
void WatchFrame(int fd, const netcmd::UnitId& mac) {
    static std::array<std::uint8_t, kMaxFrame> buffer{};
    sockaddr_ll from{};
    socklen_t fromLength = sizeof from;
    const ssize_t got = recvfrom(fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (got <= 0 || from.sll_pkttype == PACKET_OUTGOING) return;
    if (netcmd::ContainsMagicPacket(std::span(buffer.data(), static_cast<std::size_t>(got)), mac)) {
        Wake();
    }
}

// One datagram from a ready UDP socket: a name query gets its answer;
// malformed ones, and whatever reaches the Wake-on-LAN ports, are only read.
void Serve(int fd, bool isNameService, const netcmd::NodeStatus& table) {
    std::array<std::uint8_t, netcmd::kMaxNbnsPacket + 1> buffer{};
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t got = recvfrom(fd, buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (!isNameService || got < 0 || static_cast<std::size_t>(got) > netcmd::kMaxNbnsPacket) {
        return;
    }
    const std::span<const std::uint8_t> packet(buffer.data(), static_cast<std::size_t>(got));
    if (const auto reply = netcmd::AnswerNodeStatusQuery(packet, table)) {
        sendto(fd, reply->data(), reply->size(), MSG_DONTWAIT,
               reinterpret_cast<const sockaddr*>(&from), fromLength);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = ParseOptions(argc, argv);
    if (!options) {
        std::cerr << "Utilisation : labhost [--name NOM --group GROUPE] --mac XX:XX:XX:XX:XX:XX\n"
                     "  (NOM et GROUPE : 1 à 15 caractères)\n";
        return kExitUsage;
    }
    const netcmd::NodeStatus table =
        netcmd::HostNameTable(options->name, options->group, options->mac);

    // The stop signals are held back except inside ppoll, so one that comes
    // while a datagram is being served is seen at the next wait, not lost.
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigset_t stopSignals;
    sigset_t waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGINT);

    constexpr std::array<std::uint16_t, 3> kPorts = {netcmd::kNbnsPort, kDiscardPort, kEchoPort};
    std::array<pollfd, 4> watched{};
    for (std::size_t i = 0; i < kPorts.size(); ++i) {
        // poll() skips a negative descriptor: a nameless host answers no query.
        if (kPorts[i] == netcmd::kNbnsPort && options->name.empty()) {
            watched[i] = {-1, 0, 0};
            continue;
        }
        watched[i] = {BindUdp(kPorts[i]), POLLIN, 0};
        if (watched[i].fd < 0) {
            std::cerr << "labhost : impossible d'écouter sur le port UDP " << kPorts[i] << " : "
                      << std::strerror(errno) << '\n';
            return kExitStart;
        }
    }
    watched[3] = {OpenFrameSocket(), POLLIN, 0};
    if (watched[3].fd < 0) {
        std::cerr << "labhost : impossible d'ouvrir la socket de trames : " << std::strerror(errno)
                  << '\n';
        return kExitStart;
    }
    while (stopRequested == 0) {
        if (ppoll(watched.data(), watched.size(), nullptr, &waitMask) < 0) {
            if (errno == EINTR) continue;
            std::cerr << "labhost : attente impossible : " << std::strerror(errno) << '\n';
            return kExitStart;
        }
        for (std::size_t i = 0; i < kPorts.size(); ++i) {
            if ((watched[i].revents & POLLIN) != 0) Serve(watched[i].fd, i == 0, table);
        }
        if ((watched[3].revents & POLLIN) != 0) WatchFrame(watched[3].fd, table.unitId);
    }
    return 0;
}
