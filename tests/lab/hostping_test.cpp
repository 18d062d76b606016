// hostping seen from outside, as Korvane's poll runs it on the simulated LAN:
// its exit status, its result file and its messages.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include "lab_support.h"
#include "neighbours.h"
#include "reseau.h"
#include "utils.h"

namespace {

using lab::ReadFile;
using lab::ScopedSetting;
using lab::ScopedSleep;
using lab::WriteFile;

namespace fs = std::filesystem;
using std::chrono::milliseconds;

std::string HostNamespace(const lab::Host& host) {
    const char* lab = std::getenv("KORVANE_LAB");
    if (lab == nullptr || *lab == '\0') throw std::logic_error("KORVANE_LAB is not set");
    return std::string(lab) + "-" + host.id;
}

// Takes `host` off the LAN, and brings it back `after` from now: a request
// sent meanwhile waits in the admin's neighbour table, which asks for the
// host every 50 ms, so the answer comes back a little after `after`.
class ScopedLateHost {
  public:
    ScopedLateHost(const lab::Host& host, milliseconds after) : host_(host) {
        lab::Run("ip -n " + HostNamespace(host_) + " link set eth0 down");
        lab::Run("ip neigh flush to " + host_.address);
        comeBack_ = std::thread([this, after] {
            std::this_thread::sleep_for(after);
            lab::Run("ip -n " + HostNamespace(host_) + " link set eth0 up");
        });
    }
    // The admin's pending query about the host is dropped with it, so that
    // the next request asks afresh.
    ~ScopedLateHost() {
        comeBack_.join();
        lab::Run("ip neigh flush to " + host_.address);
    }
    ScopedLateHost(const ScopedLateHost&) = delete;
    ScopedLateHost& operator=(const ScopedLateHost&) = delete;

  private:
    const lab::Host& host_;
    std::thread comeBack_;
};

// A host's card takes another hardware address until the end of the scope;
// the admin then forgets what it had learned of the host.
class ScopedMac {
  public:
    ScopedMac(const lab::Host& host, const std::string& mac) : host_(host) { Set(mac); }
    ~ScopedMac() {
        Set(host_.mac);
        lab::Run("ip neigh flush to " + host_.address);
    }
    ScopedMac(const ScopedMac&) = delete;
    ScopedMac& operator=(const ScopedMac&) = delete;

  private:
    void Set(const std::string& mac) {
        lab::Run("ip -n " + HostNamespace(host_) + " link set eth0 address " + mac);
    }
    const lab::Host& host_;
};

// "02:4b:52:00:00:11" as the neighbour table's questions write it.
std::string MacText(std::string mac) {
    for (char& c : mac) c = c == ':' ? '-' : c;
    return toolkit::AsciiUpper(mac);
}

const lab::Host& NamedHost(std::size_t rank = 0) {
    for (const auto& host : lab::Hosts()) {
        if (!host.reverseName.empty() && rank-- == 0) return host;
    }
    throw std::logic_error("lab-hosts.txt names too few hosts");
}

const lab::Host& UnnamedHost() {
    for (const auto& host : lab::Hosts()) {
        if (host.reverseName.empty()) return host;
    }
    throw std::logic_error("lab-hosts.txt has no host without a name");
}

class HostpingTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "hostping-XXXXXX");
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string Path(const std::string& name) const { return folder_ + "/" + name; }

    // Runs hostping with the words given (already shell-safe), after the
    // words of `wrapper` if any; standard error goes to Path("err"). Returns
    // the exit status.
    int Hostping(const std::string& arguments, const std::string& wrapper = "") const {
        const std::string line =
            wrapper + lab::BinPath("hostping") + " " + arguments + " 2>" + Path("err");
        const int status = std::system(line.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int HostpingOnList(const std::string& listText) const {
        WriteFile(Path("liste"), listText);
        return Hostping(Path("liste") + " " + Path("resultat"));
    }
    std::string Result() const { return ReadFile(Path("resultat")); }
    std::string Errors() const { return ReadFile(Path("err")); }

    std::string folder_;
};

// Addresses and names, in an order that is not the addresses' own, with every
// kind of line end and surrounding blanks; a sleeping host and an unused
// address give no line, and a host listed twice is written twice.
TEST_F(HostpingTest, WritesEachAnsweringHostAsListedInListOrder) {
    const lab::Host& salon = NamedHost(0);
    const lab::Host& bureau = NamedHost(1);
    const lab::Host& sleeper = UnnamedHost();
    ScopedSleep asleep(sleeper);
    // The admin's hosts file has the names in lower case; the resolver ignores case.
    const std::string upperShort = toolkit::AsciiUpper(toolkit::ShortHostName(bureau.reverseName));
    ASSERT_NE(upperShort, toolkit::ShortHostName(bureau.reverseName));

    ASSERT_EQ(HostpingOnList(bureau.address + "\r\n  " + salon.reverseName + " \r\n\r\n" +
                             sleeper.address + "\n" + lab::kUnused + "\r" + lab::kGateway +
                             "\r\n\t" + upperShort + "\r\n" +
                             toolkit::ShortHostName(salon.reverseName) + "\n" + bureau.address),
              0)
        << Errors();
    EXPECT_EQ(Result(), bureau.address + "=1\r\n" + salon.reverseName + "=1\r\n" + lab::kGateway +
                            "=1\r\n" + upperShort + "=1\r\n" +
                            toolkit::ShortHostName(salon.reverseName) + "=1\r\n" + bureau.address +
                            "=1\r\n");
    EXPECT_EQ(Errors(), "");
}

// The admin gives up asking for the unused address within the time-out, and
// its own "unreachable" report does not count as an answer.
TEST_F(HostpingTest, NobodyAnsweringGivesAnEmptyFile) {
    const lab::Host& sleeper = lab::Hosts().front();
    ScopedSleep asleep(sleeper);
    const std::string neigh = "/proc/sys/net/ipv4/neigh/eth0/";
    ScopedSetting retry(neigh + "retrans_time_ms", "50");
    ScopedSetting tries(neigh + "mcast_solicit", "3");
    lab::Run("ip neigh flush to " + lab::kUnused);
    ASSERT_EQ(
        HostpingOnList(lab::kUnused + "\r\n" + sleeper.address + "\r\ninconnu.maison.lan\r\n"), 0);
    EXPECT_TRUE(fs::exists(Path("resultat")));
    EXPECT_EQ(Result(), "");
}

// A bad line is skipped and the hosts around it are still polled. Text that
// the resolver would read as a number ("0xc6.18.0.1" is the gateway) names no
// listed host; nothing ever reaches a shell.
TEST_F(HostpingTest, SkipsMalformedLinesAndPollsTheOthers) {
    const std::string canary = Path("touche");
    const std::string longName(300, 'a');
    const std::string lines[] = {"pc 1",        "$(touch " + canary + ")",
                                 longName,      "",
                                 " \t ",        "PC\x01SALON",
                                 "-n",          "198.18.0.256",
                                 "0xc6.18.0.1", "3321888769",
                                 "pc;1",        "\xc3\xa9t\xc3\xa9"};
    std::string list = lab::kGateway + "\r\n";
    for (const auto& line : lines) list += line + "\r\n";
    list += lab::kAdmin + "\r\n";

    ASSERT_EQ(HostpingOnList(list), 0) << Errors();
    EXPECT_EQ(Result(), lab::kGateway + "=1\r\n" + lab::kAdmin + "=1\r\n");
    EXPECT_EQ(Errors(), "");
    EXPECT_FALSE(fs::exists(canary));
}

// The result is a new file renamed over the old one: a reader holding the old
// file (here through a second link) never sees it change under it, and no
// temporary file is left behind.
TEST_F(HostpingTest, ReplacesTheOldResultAtomically) {
    const std::string old = "198.18.0.200=1\r\nancien=1\r\n";
    WriteFile(Path("resultat"), old);
    fs::create_hard_link(Path("resultat"), Path("lecteur"));

    ASSERT_EQ(HostpingOnList(lab::kGateway + "\r\n"), 0) << Errors();
    EXPECT_EQ(Result(), lab::kGateway + "=1\r\n");
    EXPECT_EQ(ReadFile(Path("lecteur")), old);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder_)) ++files;
    EXPECT_EQ(files, 4U) << "liste, resultat, lecteur, err";
}

TEST_F(HostpingTest, RefusesBadArgumentsAndUnreadableLists) {
    WriteFile(Path("liste"), lab::kGateway + "\r\n");
    EXPECT_EQ(Hostping(Path("liste")), 2);
    EXPECT_NE(Errors().find("Utilisation : hostping"), std::string::npos);
    EXPECT_EQ(Hostping(Path("liste") + " " + Path("resultat") + " en-trop"), 2);
    EXPECT_FALSE(fs::exists(Path("resultat")));

    EXPECT_EQ(Hostping(Path("absente") + " " + Path("resultat")), 1);
    EXPECT_NE(Errors().find("Impossible d'ouvrir le fichier « " + Path("absente") + " »"),
              std::string::npos)
        << Errors();
    EXPECT_FALSE(fs::exists(Path("resultat")));

    EXPECT_EQ(Hostping(Path("liste") + " " + Path("dossier-absent/resultat")), 1);
    EXPECT_NE(Errors().find(Path("dossier-absent/resultat")), std::string::npos) << Errors();
}

// A list that is not a regular file is refused at once (a FIFO would hang the
// poll, a device never end), so is one above 16 MiB; a result path that is a
// link, a FIFO or a device is not replaced. Each time: exit 1, the file named,
// nothing touched. `timeout` turns a hang into a failure.
TEST_F(HostpingTest, RefusesSpecialFilesAndHugeListsLeavingEverythingAsItWas) {
    WriteFile(Path("liste"), lab::kGateway + "\r\n");
    ASSERT_EQ(mkfifo(Path("tube").c_str(), 0600), 0);
    WriteFile(Path("cible"), "ancien\r\n");
    fs::create_symlink(Path("cible"), Path("lien"));
    const bool hasDevice = mknod(Path("nul").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    WriteFile(Path("enorme"), "");
    fs::resize_file(Path("enorme"), toolkit::kMaxListBytes + 1);
    WriteFile(Path("resultat"), "ancien\r\n");

    const struct {
        std::string list, result, named;
    } refused[] = {
        {Path("tube"), Path("resultat"), Path("tube")},
        {Path("enorme"), Path("resultat"), Path("enorme")},
        {Path("liste"), Path("tube"), Path("tube")},
        {Path("liste"), Path("lien"), Path("lien")},
        {Path("liste"), Path("nul"), Path("nul")},
    };
    for (const auto& entry : refused) {
        if (entry.named == Path("nul") && !hasDevice) continue;
        EXPECT_EQ(Hostping(entry.list + " " + entry.result, "timeout 10 "), 1) << entry.named;
        EXPECT_NE(Errors().find("« " + entry.named + " »"), std::string::npos) << Errors();
    }
    EXPECT_EQ(Result(), "ancien\r\n");
    EXPECT_EQ(ReadFile(Path("cible")), "ancien\r\n");
    EXPECT_TRUE(fs::is_fifo(Path("tube")));
    EXPECT_TRUE(fs::is_symlink(Path("lien")));
    EXPECT_TRUE(!hasDevice || fs::is_character_file(Path("nul")));
}

// A DNS server that never answers: each name would cost the resolver's own
// time-out (5 s a try, two tries), once per name. Resolved together under
// one deadline, the unknown names count as not answering and the known ones
// still answer. The timing bound only tells one deadline from a resolver
// time-out; bench/poll_hostping.sh measures it.
TEST_F(HostpingTest, ResolvesNamesUnderOneDeadlineWhenTheDnsIsSilent) {
    const int silent = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(silent, 0);
    sockaddr_in dns{};
    dns.sin_family = AF_INET;
    dns.sin_port = htons(53);
    dns.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(silent, reinterpret_cast<const sockaddr*>(&dns), sizeof dns), 0);
    WriteFile(Path("resolv.conf"), "nameserver 127.0.0.1\n");
    WriteFile(Path("nsswitch.conf"), "hosts: files dns\n");
    // `timeout`: the resolver's own time-outs would take minutes.
    const std::string silentDns = "timeout 30 unshare --mount -- sh -c 'mount --bind " +
                                  Path("resolv.conf") + " /etc/resolv.conf && mount --bind " +
                                  Path("nsswitch.conf") +
                                  " /etc/nsswitch.conf && exec \"$0\" \"$@\"' ";
    const lab::Host& named = NamedHost(0);
    std::string list = lab::kGateway + "\r\n" + named.reverseName + "\r\n";
    for (int i = 1; i <= 32; ++i) list += "inconnu-" + std::to_string(i) + ".maison.lan\r\n";
    WriteFile(Path("liste"), list);

    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Hostping(Path("liste") + " " + Path("resultat"), silentDns), 0) << Errors();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(Result(), lab::kGateway + "=1\r\n" + named.reverseName + "=1\r\n");
    close(silent);
}

// Without the datagram socket (the range admits nobody here) and without the
// raw one (not root), nobody would seem to answer: hostping says why, exits 3
// and leaves the result alone, although it could write it. With the range
// admitting its group, the same run polls.
TEST_F(HostpingTest, WithoutAnIcmpSocketSaysSoAndWritesNothing) {
    constexpr unsigned kNobody = 65534;
    WriteFile(Path("liste"), lab::kGateway + "\r\n");
    WriteFile(Path("resultat"), "ancien=1\r\n");
    for (const char* name : {"", "liste", "resultat"}) {
        ASSERT_EQ(chown(Path(name).c_str(), kNobody, kNobody), 0);
    }
    const std::string asNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups -- ";
    const std::string arguments = Path("liste") + " " + Path("resultat");
    {
        ScopedSetting range("/proc/sys/net/ipv4/ping_group_range", "1 0");
        EXPECT_EQ(Hostping(arguments, asNobody), 3);
        // Korvane shows the first line in its status bar: it names the causes.
        const std::string first = Errors().substr(0, Errors().find('\n'));
        EXPECT_NE(first.find("net.ipv4.ping_group_range"), std::string::npos) << Errors();
        EXPECT_NE(first.find("cap_net_raw"), std::string::npos) << Errors();
        EXPECT_LE(first.size(), 200u);
        EXPECT_EQ(Result(), "ancien=1\r\n");
    }
    ScopedSetting range("/proc/sys/net/ipv4/ping_group_range", "65534 65534");
    EXPECT_EQ(Hostping(arguments, asNobody), 0) << Errors();
    EXPECT_EQ(Result(), lab::kGateway + "=1\r\n");
}

// After a poll the neighbour table names the computer that holds each address
// now. Here another computer takes the first host's address (its card
// changes its hardware address) and the first turns up at the second's: the
// table, learned at the previous poll, still names the old holders until the
// poll asks ARP again of its rows older than a poll period.
TEST_F(HostpingTest, APollLeavesTheNeighbourTableNamingTheHoldersOfNow) {
    const lab::Host& first = lab::Hosts().at(0);
    const lab::Host& second = lab::Hosts().at(1);
    const std::string list = first.address + "\r\n" + second.address + "\r\n";
    ASSERT_EQ(HostpingOnList(list), 0) << Errors();
    const toolkit::NeighbourSnapshot before = toolkit::NeighbourSnapshot::Take();
    EXPECT_EQ(before.MacOf(first.address), MacText(first.mac));
    EXPECT_EQ(before.AddressesOf(first.mac), std::vector<std::string>{first.address});

    const std::string newcomer = "02:4b:52:00:00:99";
    ScopedMac taken(first, newcomer);
    ScopedMac moved(second, first.mac);
    // Older than a poll period: the poll asks again.
    std::this_thread::sleep_for(std::chrono::seconds(10) + milliseconds(200));
    ASSERT_EQ(toolkit::NeighbourSnapshot::Take().MacOf(first.address), MacText(first.mac))
        << "the table should still name the old holder";
    ASSERT_EQ(HostpingOnList(list), 0) << Errors();
    EXPECT_EQ(Result(), first.address + "=1\r\n" + second.address + "=1\r\n");
    // The answers reach the table within a round trip of the poll's requests.
    const auto deadline = std::chrono::steady_clock::now() + milliseconds(500);
    while (toolkit::NeighbourSnapshot::Take().MacOf(first.address) != MacText(newcomer) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(10));
    }
    const toolkit::NeighbourSnapshot after = toolkit::NeighbourSnapshot::Take();
    EXPECT_EQ(after.MacOf(first.address), MacText(newcomer));
    EXPECT_EQ(after.MacOf(second.address), MacText(first.mac));
    EXPECT_EQ(after.AddressesOf(first.mac), std::vector<std::string>{second.address});
}

// A host answers only once its link is back: within the second it is up, past
// it hostping has already given up on it. A poll of hosts that all answer at
// once ends long before the time-out.
TEST_F(HostpingTest, WaitsOneSecondForAnswersAndNoLonger) {
    const lab::Host& early = lab::Hosts().front();
    const lab::Host& late = lab::Hosts().back();
    ASSERT_NE(&early, &late);
    const std::string list = early.address + "\r\n" + late.address + "\r\n";
    {
        const std::string neigh = "/proc/sys/net/ipv4/neigh/eth0/";
        ScopedSetting retry(neigh + "retrans_time_ms", "50");
        ScopedSetting tries(neigh + "mcast_solicit", "60");
        ScopedLateHost early300(early, milliseconds(300));
        ScopedLateHost late1800(late, milliseconds(1800));
        ASSERT_EQ(HostpingOnList(list), 0) << Errors();
        EXPECT_EQ(Result(), early.address + "=1\r\n");
    }
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(HostpingOnList(list), 0) << Errors();
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(800));
    EXPECT_EQ(Result(), early.address + "=1\r\n" + late.address + "=1\r\n");
}

}  // namespace
