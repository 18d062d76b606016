// Stands in, under Wine, for the Windows commands that Wine lacks or gets
// wrong, copied under each command's name (ipconfig.exe, nbtstat.exe,
// arp.exe, ping.exe, shutdown.exe, sc.exe) into Wine's system folder, where
// the programs call them by their full path (run.sh has Wine prefer them to
// its own). Its listings and its trace are in the folder %KORVANE_STANDINS%
// (else beside it):
//   ipconfig /all, nbtstat -a ADDR, nbtstat -c, arp -a
//       print the French Windows listings kept there (ipconfig-all.txt,
//       nbtstat-a-ADDR.txt or nbtstat-a-absent.txt, nbtstat-c.txt,
//       arp-a.txt), byte for byte as Windows wrote them;
//   sc \\ADDR query RemoteRegistry
//       sc-query-ADDR.txt and 0 (the service runs there), else
//       sc-query-absent.txt and 1722, the code of a computer that does not
//       answer;
//   ping -n 1 HOST
//       one real echo (IcmpSendEcho, 1 s), the French layout, and Windows'
//       exit status: 0 answered, 1 not (Wine's ping says 0 for both);
//   shutdown ARGS
//       appends its arguments to shutdown-calls.txt there: the computer
//       that would receive the remote shutdown is the one thing no lab has;
//       and prints them, one "[argument]" line each, as its C runtime split
//       the command line;
//   ssh ARGS (copied as ssh.exe into system32\OpenSSH, where Windows keeps
//       its OpenSSH client)
//       the same, into ssh-calls.txt.
#include <fcntl.h>
#include <io.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "raw_ping.h"
#include "tools.h"

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

// The command this copy stands for: its file name without folder and ".exe".
std::string CommandName(const char* argv0) {
    std::string name = argv0;
    name = name.substr(name.find_last_of("\\/") + 1);
    name = Lower(name);
    if (name.ends_with(".exe")) name.resize(name.size() - 4);
    return name;
}

std::string DataDir() {
    const char* named = std::getenv("KORVANE_STANDINS");
    if (named == nullptr || *named == '\0') return toolkit::ProgramDir();
    return std::string(named) + "\\";
}

bool Print(const std::string& listing) {
    std::ifstream in(DataDir() + listing, std::ios::binary);
    if (!in) return false;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    _setmode(_fileno(stdout), _O_BINARY);
    std::fwrite(bytes.str().data(), 1, bytes.str().size(), stdout);
    return true;
}

int Listing(const std::string& command, const std::vector<std::string>& args) {
    std::string listing;
    if (command == "ipconfig" && args == std::vector<std::string>{"/all"})
        listing = "ipconfig-all.txt";
    if (command == "arp" && args == std::vector<std::string>{"-a"}) listing = "arp-a.txt";
    if (command == "nbtstat" && args == std::vector<std::string>{"-c"}) listing = "nbtstat-c.txt";
    if (command == "nbtstat" && args.size() == 2 && args[0] == "-a") {
        if (!Print("nbtstat-a-" + args[1] + ".txt")) return Print("nbtstat-a-absent.txt") ? 0 : 1;
        return 0;
    }
    if (listing.empty() || !Print(listing)) {
        std::cerr << command << " : listing absent pour ces arguments\n";
        return 1;
    }
    return 0;
}

int Sc(const std::vector<std::string>& args) {
    constexpr int kRpcServerUnavailable = 1722;
    if (args.size() != 3 || !args[0].starts_with("\\\\") || args[1] != "query") return 1;
    if (Print("sc-query-" + args[0].substr(2) + ".txt")) return 0;
    return Print("sc-query-absent.txt") ? kRpcServerUnavailable : 1;
}

int Ping(const std::vector<std::string>& args) {
    if (args.size() != 3 || args[0] != "-n" || args[1] != "1") return 1;
    const std::string& host = args[2];
    const toolkit::IPv4 address = toolkit::HostToIPv4(host);
    if (address == toolkit::IPv4{}) {
        std::cout << "La requête Ping n'a pas pu trouver l'hôte " << host
                  << ". Vérifiez le nom et essayez à nouveau.\r\n";
        return 1;
    }
    const std::string dotted = toolkit::ToDotted(address);
    // A name is shown with its address in brackets, an address alone.
    if (host == dotted) {
        std::cout << "\r\nEnvoi d'une requête 'Ping'  " << dotted;
    } else {
        std::cout << "\r\nEnvoi d'une requête 'ping' sur " << host << " [" << dotted << "]";
    }
    std::cout << " avec 32 octets de données :\r\n";
    const bool answered = toolkit::IcmpProbeMany({dotted}, std::chrono::seconds(1)).front();
    std::cout << (answered ? "Réponse de " + dotted + " : octets=32 temps<1ms TTL=64"
                           : std::string("Délai d'attente de la demande dépassé."))
              << "\r\n\r\nStatistiques Ping pour " << dotted << ":\r\n"
              << "    Paquets : envoyés = 1, reçus = " << (answered ? 1 : 0)
              << ", perdus = " << (answered ? 0 : 1) << " (perte " << (answered ? 0 : 100)
              << "%),\r\n";
    return answered ? 0 : 1;
}

int Record(const std::string& command, const std::vector<std::string>& args) {
    std::ofstream calls(DataDir() + command + "-calls.txt", std::ios::binary | std::ios::app);
    for (std::size_t i = 0; i < args.size(); ++i) calls << (i ? " " : "") << args[i];
    calls << "\r\n";
    for (const std::string& arg : args) std::cout << "[" << arg << "]\n";
    return calls ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = CommandName(argv[0]);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (command == "ping") return Ping(args);
    if (command == "shutdown" || command == "ssh") return Record(command, args);
    if (command == "sc") return Sc(args);
    return Listing(command, args);
}
