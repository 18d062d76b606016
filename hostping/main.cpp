// hostping [--essais N] [--verdict HÔTE] LISTE RESULTAT
//
// Korvane's poll: which of the listed computers are up right now. Every host
// of LISTE (one dotted address or host name per line; names are resolved) is
// probed, all of them at once, by toolkit::ProbeComputers: an ICMP echo
// request, and for a host still silent a quarter of the way through its
// window, a second request and TCP connections to the ports a computer
// serves (a firewall that drops pings, or a lost datagram, must not show a
// running computer off). RESULTAT receives one line per host found on within
// kAnswerTimeout: the host exactly as listed (the line without its
// surrounding blanks), then "=1", in list order, lines ending CR LF. The run
// ends as soon as every host has answered, so a LAN that is all up costs one
// round trip, and one that is partly asleep costs the time-out.
//
// The follow-up checks of Korvane ask more before a verdict: --essais N (1 to
// 10, 1 by default) probes the hosts still off again, up to N rounds in all;
// --verdict HÔTE ends RESULTAT with the line HÔTE "=up" when some host was
// found on, HÔTE "=down" otherwise, the verdict the check reads.
//
// First, where hostping may ask ARP itself (root or cap_net_raw), the
// system's neighbour table is refreshed for the listed hosts whose entries
// are older than a poll period (toolkit::RefreshNeighbours), so that after a
// poll it names the computer that holds each address now, even one that took
// the address of another since the previous poll.
//
// A line that cannot name a host (blank, holding a space or a control
// character, longer than 255 characters, or neither a dotted address nor
// made of letters, digits, "-", "." and "_") is skipped without a word: the
// list is the caller's, and one bad entry must not cost the others their
// poll.
//
// Names are resolved all at once under one deadline (kResolveDeadline): a
// DNS server that never answers must not cost its time-out once per name,
// and a name not resolved by then counts as not answering.
//
// RESULTAT is replaced atomically, so it is complete whenever it exists; a
// RESULTAT that exists and is not a regular file (a link, a device, a FIFO)
// is refused. LISTE must be a regular file of at most 16 MiB.
//
// Without any ICMP socket (the datagram one needs net.ipv4.ping_group_range
// to admit the user's group, the raw one needs root or cap_net_raw) nobody
// would seem to answer: hostping says so and writes nothing, rather than a
// result that shows every computer off.
//
// Exit status: 0 RESULTAT written (also when nobody answered); 1 LISTE
// unreadable or RESULTAT not written; 2 wrong arguments; 3 no ICMP socket
// can be opened, nothing probed. RESULTAT is left as it was on every failure,
// and every failure is reported in French on standard error.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lookups.h"
#include "neighbours.h"
#include "raw_ping.h"
#include "reseau.h"
#include "usage.h"
#include "utils.h"

namespace {

constexpr int kMaxRounds = 10;

constexpr int kExitDone = 0;
constexpr int kExitFileError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCannotProbe = 3;

// A computer of the LAN answers in well under a millisecond; one that has not
// answered in a second is asleep or gone. The toolkit's default is tuned for
// sweeping a whole subnet, where most addresses never answer.
constexpr std::chrono::milliseconds kAnswerTimeout{1000};
// Names the resolver has not given by then belong to no computer that could
// answer within the poll; a poll of a LAN thus lasts at most about 2 s.
constexpr std::chrono::milliseconds kResolveDeadline{1000};
// Neighbour entries confirmed since the previous poll (Korvane polls every
// 10 s) are trusted; older ones are asked ARP again. Each ARP request is a
// broadcast that every host of the LAN receives.
constexpr std::chrono::milliseconds kNeighbourAge{10000};

constexpr const char* kUsage =
    "Utilisation : hostping [--essais N] [--verdict HÔTE] FICHIER_LISTE FICHIER_RESULTAT\n"
    "Envoie en même temps une demande d'écho ICMP à chaque hôte de FICHIER_LISTE (une\n"
    "adresse IPv4 ou un nom par ligne ; les lignes vides ou mal formées sont ignorées) ;\n"
    "un hôte muet après 250 ms reçoit une seconde demande et des connexions TCP (ports\n"
    "445, 139, 135, 3389, 22 : une connexion acceptée ou refusée prouve qu'il est allumé).\n"
    "Écrit dans FICHIER_RESULTAT une ligne « hôte=1 » par hôte trouvé allumé en moins\n"
    "d'une seconde, dans l'ordre de la liste.\n"
    "  --essais N      sonde jusqu'à N fois (1 à 10) les hôtes encore éteints\n"
    "  --verdict HÔTE  termine le résultat par « HÔTE=up » si un hôte est allumé,\n"
    "                  sinon par « HÔTE=down »\n"
    "Code de sortie : 0 résultat écrit, 1 liste illisible ou résultat non écrit,\n"
    "2 arguments incorrects, 3 aucune socket ICMP disponible (rien n'est sondé ni écrit).\n";

// Its first line says it all: Korvane shows that line in its status bar.
constexpr const char* kCannotProbe =
    "hostping : aucune socket ICMP ne peut être ouverte (net.ipv4.ping_group_range n'admet "
    "pas le groupe, ni root ni cap_net_raw) : rien n'est sondé.\n"
    "Aucun résultat n'est écrit. Admettez le groupe de l'utilisateur\n"
    "(sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"), ou donnez à hostping la\n"
    "capacité cap_net_raw (setcap cap_net_raw+ep hostping), ou lancez-le en root.\n";

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A part that the resolver reads as a number: decimal, octal ("010") or hex ("0x1f").
bool IsNumberPart(std::string_view part) {
    if (part.size() > 1 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) {
        return std::all_of(part.begin() + 2, part.end(), IsHexDigit);
    }
    return !part.empty() &&
           std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// One to four numbers joined by dots are an address to the resolver, by the
// old inet_aton rules ("10.1" is 10.0.0.1, "0x7f.1" is 127.0.0.1): text of
// that form that is not a plain dotted address would probe a host nobody
// listed.
bool ReadsAsNumbers(std::string_view text) {
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = text.find('.');
        if (!IsNumberPart(text.substr(0, dot))) return false;
        if (dot == std::string_view::npos) return true;
        text.remove_prefix(dot + 1);
    }
    return false;
}

// A name neither starts with "-" (it would read as an option wherever it is
// passed on) nor with ".".
bool IsPlausibleHostName(std::string_view text) {
    if (!std::all_of(text.begin(), text.end(), IsNameCharacter)) return false;
    if (text.front() == '-' || text.front() == '.') return false;
    return !ReadsAsNumbers(text);
}

bool IsListableHost(std::string_view text) {
    if (text.empty() || text.size() > toolkit::kMaxFieldLength) return false;
    return toolkit::IsDottedIPv4(text) || IsPlausibleHostName(text);
}

toolkit::TextList ListedHosts(const toolkit::TextList& lines) {
    toolkit::TextList hosts;
    for (const auto& line : lines) {
        std::string host = toolkit::Trim(line);
        if (IsListableHost(host)) hosts.push_back(std::move(host));
    }
    return hosts;
}

toolkit::TextList AnsweredLines(const toolkit::TextList& hosts, const std::vector<bool>& answered) {
    toolkit::TextList lines;
    for (std::size_t i = 0; i < hosts.size() && i < answered.size(); ++i) {
        if (answered[i]) lines.push_back(hosts[i] + "=1");
    }
    return lines;
}

struct Arguments {
    int rounds = 1;
    std::optional<std::string> verdictHost;
    std::string list;
    std::string result;
};

std::optional<int> RoundsOf(std::string_view text) {
    int rounds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rounds);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (rounds < 1 || rounds > kMaxRounds) return std::nullopt;
    return rounds;
}

// A verdict line must stay one line of the result.
bool IsVerdictHost(std::string_view host) {
    return !host.empty() && host.size() <= toolkit::kMaxFieldLength &&
           std::none_of(host.begin(), host.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 32 || c == 127; });
}

// `args`: the program's arguments, its name first.
std::optional<Arguments> ParseArguments(const std::vector<std::string>& args) {
    Arguments arguments;
    std::vector<std::string> files;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view word = args[i];
        if (files.empty() && (word == "--essais" || word == "--verdict")) {
            if (++i == args.size()) return std::nullopt;
            if (word == "--essais") {
                const auto rounds = RoundsOf(args[i]);
                if (!rounds) return std::nullopt;
                arguments.rounds = *rounds;
            } else {
                if (!IsVerdictHost(args[i])) return std::nullopt;
                arguments.verdictHost = args[i];
            }
            continue;
        }
        files.emplace_back(word);
    }
    if (files.size() != 2) return std::nullopt;
    arguments.list = files[0];
    arguments.result = files[1];
    return arguments;
}

// Up to `rounds` probes, each of the hosts still found off. The listed
// hosts whose neighbour entries are old are asked ARP again first, the
// answers left to the system's table (a few sends, not waited for).
std::vector<bool> ProbeRounds(const std::vector<toolkit::IPv4>& addresses, int rounds) {
    toolkit::RefreshNeighbours(addresses, kNeighbourAge);
    std::vector<bool> on(addresses.size(), false);
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::size_t> silent;
        std::vector<toolkit::IPv4> again;
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            if (!on[i] && addresses[i] != toolkit::IPv4{}) {
                silent.push_back(i);
                again.push_back(addresses[i]);
            }
        }
        if (again.empty()) break;
        const std::vector<bool> found = toolkit::ProbeComputers(again, kAnswerTimeout);
        for (std::size_t k = 0; k < silent.size(); ++k) on[silent[k]] = found[k];
    }
    return on;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = toolkit::StartConsole(argc, argv);
    if (const auto answered = toolkit::AnswerInfoOption(args, "hostping", kUsage, std::cout)) {
        return *answered;
    }
    const auto arguments = ParseArguments(args);
    if (!arguments) {
        std::cerr << kUsage;
        return kExitUsage;
    }
    try {
        const toolkit::TextList hosts = ListedHosts(toolkit::LoadLines(arguments->list));
        if (!hosts.empty() && !toolkit::CanProbe()) {
            std::cerr << kCannotProbe;
            return kExitCannotProbe;
        }
        const auto addresses = toolkit::HostsToIPv4(hosts, kResolveDeadline);
        const std::vector<bool> answered = ProbeRounds(addresses, arguments->rounds);
        toolkit::TextList lines = AnsweredLines(hosts, answered);
        if (arguments->verdictHost) {
            lines.push_back(*arguments->verdictHost + (lines.empty() ? "=down" : "=up"));
        }
        toolkit::SaveLines(arguments->result, lines);
    } catch (const toolkit::FileError& error) {  // the list or the result; names the file
        std::cerr << "hostping : " << error.what() << '\n';
        return kExitFileError;
    } catch (const std::exception&) {  // out of memory: no result rather than a wrong one
        std::cerr << "hostping : mémoire insuffisante, aucun résultat écrit\n";
        return kExitFileError;
    }
    return kExitDone;
}
