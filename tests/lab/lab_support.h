// What lab tests know of the simulated LAN they run in (scripts/lab.sh), and
// the few actions they take on it. Lab test programs run inside the lab's
// admin namespace; run-in-lab.sh brings the lab up and down around them.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lab {

inline const std::string kGateway = "198.18.0.1";
inline const std::string kAdmin = "198.18.0.2";
inline const std::string kAdminMac = "02:4b:52:00:00:02";
inline const std::string kMask = "255.255.255.0";
inline const std::string kUnused = "198.18.0.99";         // no host holds it
inline const std::string kBeyondGateway = "203.0.113.5";  // the gateway answers "unreachable"
inline const std::string kDnsServer = "198.18.0.1";

struct Host {
    std::string id;           // h1, h2, ...
    std::string address;      // 198.18.0.11, ...
    std::string mac;          // 02:4b:52:00:00:11 (lower case, ":")
    std::string netbiosName;  // PC-SALON, or empty for a host without one
    std::string workgroup;    // MAISON
    std::string reverseName;  // pc-salon.maison.lan, or empty when it has none
    bool nmbd = false;        // Samba's nmbd answers for the NetBIOS name
    bool dnsOnly = false;     // the reverse name is known to the lab's DNS server only
    bool dropsEcho = false;   // its firewall drops echo requests ("noecho", "firewall")
    bool dropsTcp = false;    // ... every TCP connection but to file sharing ("notcp", "firewall")
    int lossPercent = 0;      // share of the echo requests its link loses ("loss=N")
};

// The hosts of the lab's hosts file ($KORVANE_LAB_HOSTS, else
// scripts/lab-hosts.txt) that the lab brought up.
const std::vector<Host>& Hosts();
// The host of that id ("h1"), or the index-th host in the file's order.
const Host& HostById(const std::string& id);
const Host& HostAt(int index);

// A host goes to sleep: it drops every frame, ARP included, until a magic
// packet or Wake wakes it.
void Sleep(const Host& host);
void Wake(const Host& host);
bool IsAsleep(const Host& host);

// A host's cable out of the LAN's switch / back in: it is gone, then back.
void Unplug(const Host& host);
void Replug(const Host& host);
// A host takes another address of the LAN and announces it (gratuitous ARP),
// as a computer that joins a network does.
void Readdress(const Host& host, const std::string& address);

// A host asleep until the end of the scope.
class ScopedSleep {
  public:
    explicit ScopedSleep(const Host& host) : host_(host) { Sleep(host_); }
    ~ScopedSleep() { Wake(host_); }
    ScopedSleep(const ScopedSleep&) = delete;
    ScopedSleep& operator=(const ScopedSleep&) = delete;

  private:
    const Host& host_;
};

// Runs a shell command line, returns its standard output; fails the test
// (gtest ADD_FAILURE) when it exits non-zero and `mustSucceed` is set.
std::string Run(const std::string& commandLine, bool mustSucceed = true);
// Runs it and gives its exit status (-1 when it did not exit) with its output.
struct RunResult {
    int status = -1;
    std::string output;
};
RunResult RunForStatus(const std::string& commandLine);

// Samba's smbd on a host, answering remote shutdowns: its shutdown script
// puts the host to sleep, or does nothing. The lab's accounts: root (allowed
// to shut down) and daemon (not allowed), both with kSambaPassword.
enum class ShutdownScript { Sleeps, DoesNothing };
inline const std::string kSambaPassword = "labo-korvane";
void StartSamba(const Host& host, ShutdownScript script);
// The calls of the host's shutdown script so far, one line each.
std::vector<std::string> ShutdownCalls(const Host& host);

// OpenSSH's sshd on a host, letting root in with the key whose public half
// is `publicKey` only, through a forced command that notes the command asked:
// "...poweroff" puts the host to sleep, "...reboot" puts it to sleep and
// wakes it a few seconds later, anything else only answers.
void StartSsh(const Host& host, const std::string& publicKey);
// The host's sshd gets a new host key, as a reinstalled computer.
void RenewSshHostKey(const Host& host);
// The commands the host's sshd was asked so far, one line each.
std::vector<std::string> SshCalls(const Host& host);

// The UDP datagrams a host's interface receives from the capture's creation
// on, whatever their port (a packet socket in the host's own namespace, so
// the host's own listeners are not disturbed).
struct Datagram {
    std::string destination;  // dotted
    std::uint16_t port = 0;
    std::vector<std::uint8_t> payload;
    std::chrono::microseconds received{};  // the kernel's receive time
};
class UdpCapture {
  public:
    explicit UdpCapture(const Host& host);
    ~UdpCapture();
    UdpCapture(const UdpCapture&) = delete;
    UdpCapture& operator=(const UdpCapture&) = delete;
    // What has come so far, waiting until `quiet` passes with nothing new.
    std::vector<Datagram> Collect(std::chrono::milliseconds quiet = std::chrono::milliseconds(300));

  private:
    int fd_ = -1;
};

// Whole files, read and written as bytes; a failed write fails the test.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// A setting of the admin machine (a /proc/sys file, where the test runs)
// until the end of the scope.
class ScopedSetting {
  public:
    ScopedSetting(std::string path, const std::string& value);
    ~ScopedSetting();
    ScopedSetting(const ScopedSetting&) = delete;
    ScopedSetting& operator=(const ScopedSetting&) = delete;

  private:
    std::string path_;
    std::string old_;
};

// The admin machine's resolver pointed at a DNS server that takes every
// question and never answers, until the end of the scope.
class ScopedSilentDns {
  public:
    ScopedSilentDns();
    ~ScopedSilentDns();
    ScopedSilentDns(const ScopedSilentDns&) = delete;
    ScopedSilentDns& operator=(const ScopedSilentDns&) = delete;

  private:
    int fd_;
    std::unique_ptr<ScopedSetting> resolver_;
};

// Full path of a program of the installation folder (build/bin).
std::string BinPath(const std::string& program);

// The name of a host's entry in Korvane's inventory: its NetBIOS name in
// lower case ("pc-salon").
std::string EntryName(const Host& host);
// How a group file names a host: its short DNS name, else its address.
std::string MemberName(const Host& host);

// Korvane's inventory of `hosts` written into the program folder `dir` (with
// its trailing "/"): localGM (the entries, in the hosts' order), liste.ip
// ("entry address"), liste.mac ("NETBIOS-NAME MAC", as netsweep writes it)
// when asked, and, when `member` is given, each entry's group file holding
// member(host).
enum class Macs { Listed, Unlisted };
void WriteInventory(const std::string& dir, const std::vector<Host>& hosts, Macs macs,
                    const std::function<std::string(const Host&)>& member = nullptr);

}  // namespace lab
