#include "cli.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "arp.h"
#include "ipconfig.h"
#include "layout.h"
#include "nbtstat.h"
#include "reseau.h"
#include "system.h"
#include "tools.h"

namespace netcmd {
namespace {

// Shown when no interface could be named, as Windows names its first adapter.
constexpr const char* kDefaultAdapter = "Connexion au réseau local";

void Print(const toolkit::TextList& lines, std::ostream& out) {
    for (const std::string& line : lines) out << line << '\n';
}

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void PrintHeader(const NodeStatusAnswer& adapter, std::ostream& out) {
    const std::string name = adapter.adapterName.empty() ? kDefaultAdapter : adapter.adapterName;
    Print(FormatNodeHeader(PrintableField(name), adapter.localAddress), out);
}

// One listing per address, in the order given, each with its adapter header;
// the names learned go to the cache in that order, as one query after the
// other would have left them.
int NodeStatusCommand(std::span<const std::string> addresses, std::ostream& out,
                      std::ostream& err) {
    for (const std::string& address : addresses) {
        if (!toolkit::IsDottedIPv4(address)) {
            err << "netcmd : « " << PrintableField(address)
                << " » n'est pas une adresse IPv4 (quatre nombres de 0 à 255 séparés par des "
                   "points)\n";
            return kExitFailure;
        }
    }
    const std::vector<std::string> list(addresses.begin(), addresses.end());
    const std::vector<NodeStatusAnswer> answers = QueryNodeStatusMany(list);
    std::string error;
    for (const NodeStatusAnswer& answer : answers) {
        PrintHeader(answer, out);
        if (!answer.error.empty()) error = answer.error;
        if (answer.status) Print(FormatNodeStatus(*answer.status), out);
    }
    if (!error.empty()) {
        err << "netcmd : " << error << '\n';
        return kExitFailure;
    }
    const bool learned = std::any_of(answers.begin(), answers.end(),
                                     [](const NodeStatusAnswer& answer) { return answer.status; });
    if (!learned) return kExitOk;
    try {
        const std::int64_t now = Now();
        std::vector<CacheEntry> cache = LoadCache(now);
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (answers[i].status)
                cache = MergeAnswer(std::move(cache), list[i], *answers[i].status, now);
        }
        SaveCache(cache);
    } catch (const std::exception& failure) {
        err << "netcmd : le cache NetBIOS n'a pas pu être mis à jour : " << failure.what() << '\n';
        return kExitFailure;
    }
    return kExitOk;
}

int CacheCommand(std::ostream& out, std::ostream& err) {
    PrintHeader(PrimaryAdapter(), out);
    const std::int64_t now = Now();
    std::vector<CacheEntry> cache;
    int status = kExitOk;
    try {
        cache = LoadCache(now);
    } catch (const std::exception& error) {
        err << "netcmd : le cache NetBIOS n'a pas pu être lu : " << error.what() << '\n';
        status = kExitFailure;
    }
    Print(FormatCacheTable(cache, now), out);
    return status;
}

int ArpCommand(std::ostream& out) {
    std::vector<ArpEntry> entries;
    if (const auto lines = ReadSmallTextFile("/proc/net/arp")) entries = ParseProcArp(*lines);
    Print(FormatArpTable(ArpInterfaces(), entries), out);
    return kExitOk;
}

int Usage(std::ostream& err) {
    err << "Utilisation : netcmd ipconfig /all\n"
           "              netcmd nbtstat -a ADRESSE_IPV4 [ADRESSE_IPV4...]\n"
           "              netcmd nbtstat -c\n"
           "              netcmd arp -a\n";
    return kExitUsage;
}

}  // namespace

int RunNetcmd(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    const auto is = [&](std::initializer_list<const char*> words) {
        if (args.size() != words.size()) return false;
        std::size_t i = 0;
        for (const char* word : words) {
            if (args[i++] != word) return false;
        }
        return true;
    };
    int status = kExitUsage;
    if (is({"ipconfig", "/all"})) {
        Print(FormatIpConfig(GatherIpConfig()), out);
        status = kExitOk;
    } else if (args.size() >= 3 && args[0] == "nbtstat" && args[1] == "-a") {
        status = NodeStatusCommand(args.subspan(2), out, err);
    } else if (is({"nbtstat", "-c"})) {
        status = CacheCommand(out, err);
    } else if (is({"arp", "-a"})) {
        status = ArpCommand(out);
    } else {
        return Usage(err);
    }
    out.flush();
    if (!out) {
        err << "netcmd : la sortie n'a pas pu être écrite\n";
        return kExitFailure;
    }
    return status;
}

}  // namespace netcmd
