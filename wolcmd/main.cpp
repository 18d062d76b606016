// wolcmd MAC IP MASQUE [PORT]
//
// Wakes the computer whose network adapter has the hardware address MAC: the
// magic packet (six bytes 0xFF, then the address sixteen times) goes by UDP
// to the broadcast address of IP's subnet (IP OR NOT MASQUE; 255.255.255.255
// stays as it is), port 7 unless PORT is given. A sleeping computer cannot
// answer, so nothing tells whether the packet arrived; it is sent three
// times, 100 ms apart, since a lost datagram is the commonest reason a wake
// fails.
//
// Exit status: 0 sent; 1 a bad argument (nothing sent) or a send that failed;
// 2 a wrong number of arguments. Every failure is reported in French on
// standard error.
#include <chrono>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "raw_ping.h"
#include "request.h"
#include "usage.h"
#include "utils.h"

namespace {

constexpr int kSends = 3;
constexpr std::chrono::milliseconds kGap{100};

constexpr const char* kUsage =
    "Utilisation : wolcmd MAC IP MASQUE [PORT]\n"
    "Envoie trois fois, à 100 ms d'intervalle, le paquet magique Wake-on-LAN de la carte\n"
    "réseau MAC (par exemple 02-4B-52-00-00-11, 02:4b:52:00:00:11 ou 024B52000011) à\n"
    "l'adresse de diffusion du sous-réseau de IP et MASQUE, port UDP 7 ou PORT.\n"
    "Code de sortie : 0 envoyé, 1 argument invalide ou envoi impossible, 2 nombre\n"
    "d'arguments incorrect.\n";

std::uint32_t NetworkOrder(const std::string& dotted) {
    const toolkit::IPv4 bytes = toolkit::HostToIPv4(dotted);
    std::uint32_t address = 0;
    std::memcpy(&address, bytes.data(), sizeof address);
    return address;
}

int Send(const wolcmd::WakeRequest& request) {
    const std::vector<std::uint8_t> packet = toolkit::MagicPacket(request.mac);
    const std::uint32_t destination = NetworkOrder(request.destination);
    for (int send = 0; send < kSends; ++send) {
        if (send > 0) std::this_thread::sleep_for(kGap);
        if (const int error =
                toolkit::platform::SendUdpDatagram(destination, request.port, packet)) {
            std::cerr << "wolcmd : envoi impossible vers " << request.destination << ", port "
                      << request.port << " : " << toolkit::SystemErrorText(error) << '\n';
            return wolcmd::kExitBadArgument;
        }
    }
    return wolcmd::kExitSent;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> all = toolkit::StartConsole(argc, argv);
    if (const auto answered = toolkit::AnswerInfoOption(all, "wolcmd", kUsage, std::cout)) {
        return *answered;
    }
    const std::vector<std::string_view> args(all.begin() + (all.empty() ? 0 : 1), all.end());
    const auto parsed = wolcmd::ParseArguments(args);
    if (const auto* error = std::get_if<wolcmd::ArgumentError>(&parsed)) {
        std::cerr << "wolcmd : " << error->message << '\n';
        if (error->exitStatus == wolcmd::kExitUsage) std::cerr << kUsage;
        return error->exitStatus;
    }
    return Send(std::get<wolcmd::WakeRequest>(parsed));
}
