#include "run.h"

#include <cerrno>
#include <filesystem>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "devices.h"
#include "listings.h"
#include "lists.h"
#include "naming.h"
#include "tools.h"
#include "utctime.h"

namespace netsweep {
namespace {

using toolkit::TextList;

constexpr const char* kMarkerName = "netsweep.lck";
constexpr int kFirstHost = 1;
constexpr int kLastHost = 254;

// The text up to and including its last "."; empty when it has none.
std::string UpToLastDot(const std::string& text) {
    return text.substr(0, text.rfind('.') + 1);
}

std::vector<int> NumbersOf(const std::string& dotted) {
    std::vector<int> numbers;
    for (std::size_t start = 0; start <= dotted.size();) {
        const std::size_t dot = std::min(dotted.find('.', start), dotted.size());
        numbers.push_back(std::stoi(dotted.substr(start, dot - start)));
        start = dot + 1;
    }
    return numbers;
}

// A file that netsweep reads only when it is there; one that is there but
// cannot be read is an error like any other.
TextList LoadIfPresent(const std::string& path) {
    if (!toolkit::platform::FileExists(path)) return {};
    return toolkit::LoadLines(path);
}

std::string WorkFile(std::string_view name) {
    return toolkit::ScratchFile(toolkit::kHostOs, toolkit::HostToolPaths(), name);
}

class ScanRun {
  public:
    ScanRun(Network& network, std::ostream& console, bool sweep)
        : network_(network), console_(console), sweep_(sweep), namer_(network) {}

    void Execute() {
        LoadLists();
        FindLocalNetwork();
        ReportLocalNetwork();
        if (sweep_) {
            Sweep();
            NameSweptHosts();
        }
        ReadNameCache();
        ReadArpTable();
        MergeNamesIntoListeIP(lists_, console_);
        MergeMacsIntoListeMAC(
            lists_,
            [this](const std::string& address) {
                return namer_.ResolveName(address, lists_.ip2name, console_);
            },
            console_);
        AddDiscovered();
        RecordDevices();
        SaveLists();
    }

  private:
    // Steps 4 to 6: the lists as the last run left them. A folder where
    // Korvane has not created them yet has empty lists, as Korvane would
    // create them.
    void LoadLists() {
        const std::string ip = exeDir_ + "liste.ip", mac = exeDir_ + "liste.mac";
        TextList listeIP = toolkit::platform::FileExists(ip) ? LoadListeIP(ip) : TextList();
        lists_.ip2name = Ip2NameOf(listeIP);
        lists_.ListeIP = std::move(listeIP);
        if (toolkit::platform::FileExists(mac)) lists_.ListeMAC = LoadListeMAC(mac);
        LoadDeviceRecord();
        const std::string discover = exeDir_ + "liste.ip.discover";
        if (!toolkit::platform::FileExists(discover)) return;
        for (const std::string& line : UsableDiscoverLines(toolkit::LoadLines(discover))) {
            lists_.ListeDiscover.Add(line);
        }
    }

    // The record of the devices seen. One that cannot be read (beyond the
    // readers' 16 MiB, a FIFO) or replaced (a folder, a link in its place)
    // would stop every run, and with it the three lists: it is set aside
    // under a dated name beside it, never deleted, and this run starts from
    // an empty record. When even that fails, it stays as it is and this run
    // leaves it alone.
    void LoadDeviceRecord() {
        const std::string path = exeDir_ + toolkit::kDeviceRecordFile;
        const std::optional<toolkit::platform::FileStatus> status =
            toolkit::platform::StatusOf(path);
        if (!status) return;
        std::string problem;
        try {
            const TextList lines = toolkit::LoadLines(path);  // says why it cannot be read
            if (status->regular) {
                record_ = toolkit::ParseDeviceRecord(lines);
                return;
            }
            problem = "Impossible de remplacer le fichier « " + path +
                      " » : ce n'est pas un fichier ordinaire";
        } catch (const toolkit::FileError& error) {
            problem = error.what();
        }
        console_ << "Relevé des appareils illisible : " << problem << ".\n";
        int error = EEXIST;
        const std::string stamp = SetAsideStamp();
        for (int copy = 1; copy <= 99 && error == EEXIST; ++copy) {
            const std::string aside =
                path + ".illisible-" + stamp + (copy == 1 ? "" : "-" + std::to_string(copy));
            error = toolkit::platform::MoveFileNoReplace(path, aside);
            if (error == 0) {
                console_ << "Il est mis de côté sous « " << aside
                         << " » ; ce passage repart d'un relevé vide.\n";
                return;
            }
        }
        console_ << "Il n'a pas pu être mis de côté (" << toolkit::SystemErrorText(error)
                 << ") : il est laissé tel quel et ce passage ne le met pas à jour.\n";
        recordWritable_ = false;
    }

    // "20261208-073012": the time, UTC, as a file name may hold it everywhere.
    static std::string SetAsideStamp() {
        std::string stamp;
        for (const char c : toolkit::UtcText(toolkit::UtcNow())) {
            if (c == 'T') stamp += '-';
            if (c >= '0' && c <= '9') stamp += c;
        }
        return stamp;
    }

    // Steps 7 to 9: the network from the adapter listing, the local address
    // from krv.ini or the system's tables.
    void FindLocalNetwork() {
        params_ = network_.ReadIpConfig();
        if (!params_.gateway.empty() && !params_.mask.empty()) {
            networkText_ = toolkit::NetworkAddress(params_.gateway, params_.mask);
            broadcastText_ = toolkit::BroadcastAddress(params_.gateway, params_.mask);
        } else if (!params_.gateway.empty()) {
            networkText_ = UpToLastDot(params_.gateway);
        }
        const TextList settings = LoadIfPresent("krv.ini");
        localAddress_ = toolkit::ValueOfKey(settings, "ip");
        localMask_ = toolkit::ValueOfKey(settings, "masque");
        if (!localAddress_.empty() && networkText_.empty())
            networkText_ = UpToLastDot(localAddress_);
        if (!localAddress_.empty()) return;
        network_.LoadLocalAddressTable(localAddresses_, localMasks_);
        tableRead_ = true;
        if (!networkText_.empty()) {
            for (std::size_t i = 0; i < localAddresses_.size(); ++i) {
                if (!localAddresses_[i].starts_with(networkText_)) continue;
                localAddress_ = localAddresses_[i];
                localMask_ = localMasks_[i];
            }
        }
        if (localAddress_.empty()) {
            localAddress_ = params_.address;
            localMask_ = params_.mask;
        }
        // Without any address table the address stays unknown: it only
        // serves the report.
        if (localAddress_.empty() && !localAddresses_.empty()) {
            localAddress_ = localAddresses_.front();
            localMask_ = localMasks_.front();
        }
    }

    // Step 10.
    void ReportLocalNetwork() {
        console_ << "l'adresse IP est : " << localAddress_ << '\n'
                 << "l'adresse IP de la passerelle est : " << params_.gateway << '\n'
                 << "le réseau est : " << networkText_ << '\n';
        if (!tableRead_) return;
        for (std::size_t k = 0; k < localAddresses_.size(); ++k) {
            console_ << k << "eme adresse IP => " << localAddresses_[k] << '\n';
        }
    }

    // Without gateway or mask the range is the local address's network.
    std::vector<std::string> SweptAddresses() {
        if (toolkit::IsDottedIPv4(networkText_) && toolkit::IsDottedIPv4(broadcastText_)) {
            return SweepAddresses(networkText_, broadcastText_);
        }
        std::string mask = localMask_;
        if (!toolkit::IsDottedIPv4(mask)) {
            TextList addresses, masks;
            network_.LoadLocalAddressTable(addresses, masks);
            const auto row = toolkit::IndexOfLine(addresses, localAddress_);
            if (row) mask = masks[*row];
        }
        // The loopback network is this machine, not the LAN.
        if (!toolkit::IsDottedIPv4(localAddress_) || !toolkit::IsDottedIPv4(mask) ||
            localAddress_.starts_with("127.")) {
            return {};
        }
        return SweepAddresses(toolkit::NetworkAddress(localAddress_, mask),
                              toolkit::BroadcastAddress(localAddress_, mask));
    }

    // Step 12: every address probed at once, reported in probe order.
    void Sweep() {
        const std::vector<std::string> addresses = SweptAddresses();
        if (addresses.empty()) {
            console_ << "aucune adresse à sonder : ni la passerelle et le masque, ni l'adresse "
                        "locale et son masque ne sont connus\n";
        }
        const std::vector<bool> answered = ProbeAddresses(network_, addresses);
        // Without an ICMP socket every address is silent: that says nothing
        // of who is there.
        swept_ = !addresses.empty() && network_.CanProbe();
        if (swept_) probed_.insert(addresses.begin(), addresses.end());
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            if (answered[i]) ipactive_.push_back(addresses[i]);
            console_ << addresses[i] << (answered[i] ? " est active" : " est inactif") << '\n';
        }
        toolkit::SaveLines("ipactive", ipactive_);
    }

    // Step 13 (update rule 2).
    void NameSweptHosts() {
        namer_.Prefetch(ipactive_, lists_.ip2name);
        for (const std::string& address : ipactive_) {
            const std::string name = namer_.ResolveName(address, lists_.ip2name, console_);
            if (name.empty()) continue;
            if (!lists_.ip2name.HasKey(address)) lists_.ip2name.Append(address + "=" + name);
            if (!lists_.IpByName(name)) lists_.ListeIP.Append(name + " " + address);
        }
    }

    // Step 14 (update rule 3). Entries that could not be a host's are left out.
    void ReadNameCache() {
        for (const CachedName& cached : netsweep::ReadNameCache(network_.NameCacheListing())) {
            if (!toolkit::IsDottedIPv4(cached.address) || !IsUsableName(cached.name)) continue;
            const std::string entry = cached.address + "=" + cached.name;
            lists_.ip2name.Append(entry);
            console_ << entry << '\n';
        }
        toolkit::SaveLines(WorkFile("ip2name.txt"), lists_.ip2name.Lines());
    }

    // Step 15, and the names step 17 will need, asked at once; the names of
    // the addresses another device took, asked again.
    void ReadArpTable() {
        std::vector<std::string> addresses;
        for (const ArpEntry& arp : netsweep::ReadArpTable(network_.ArpListing())) {
            if (!toolkit::IsDottedIPv4(arp.address) || !IsMacText(arp.mac)) continue;
            const std::string entry = arp.address + "=" + arp.mac;
            lists_.ip2mac.push_back(entry);
            addresses.push_back(arp.address);
            console_ << entry << '\n';
        }
        toolkit::SaveLines(WorkFile("ip2mac.txt"), lists_.ip2mac);
        const std::vector<std::string> moved = ForgetMovedNames(lists_);
        namer_.Prefetch(addresses, lists_.ip2name);
        for (const std::string& address : moved) {
            console_ << "Adresse reprise par un autre appareil : " << address << '\n';
            namer_.ResolveName(address, lists_.ip2name, console_);
        }
    }

    // Step 18 (update rule 6).
    void AddDiscovered() {
        const std::string managed = exeDir_ + "localGM";
        if (!toolkit::platform::FileExists(managed)) return;
        AddUnmanaged(lists_, toolkit::LoadLines(managed));
    }

    // What the run saw, device by device: every address that answered, and
    // every address of the ARP table with its MAC.
    void RecordDevices() {
        std::vector<toolkit::Sighting> sightings;
        std::unordered_map<std::string, std::size_t> index;
        const auto at = [&](const std::string& address) -> toolkit::Sighting& {
            const auto [found, added] = index.try_emplace(address, sightings.size());
            if (added) {
                sightings.push_back(
                    {address, "", RecordName(address), false, probed_.contains(address)});
            }
            return sightings[found->second];
        };
        for (const std::string& address : ipactive_) at(address).answered = true;
        for (const std::string& entry : lists_.ip2mac) {
            const auto [address, mac] = toolkit::SplitKeyValue(entry);
            toolkit::Sighting& sighting = at(address);
            if (sighting.mac.empty()) sighting.mac = mac;
        }
        AskSilentOnesAgain(sightings);
        toolkit::MergeSightings(record_, sightings, toolkit::UtcNow(), swept_);
    }

    // The short name the lists give the address, as liste.ip holds it.
    std::string RecordName(const std::string& address) const {
        const std::string name =
            toolkit::AsciiLower(toolkit::ShortHostName(lists_.NameOf(address)));
        return IsUsableName(name) ? name : std::string();
    }

    // A computer that answered before and was silent in the sweep, though the
    // ARP table still lists it, has left, or answers late: it is asked once
    // more, waiting longer.
    void AskSilentOnesAgain(std::vector<toolkit::Sighting>& sightings) {
        std::unordered_set<std::string> answeredBefore;
        for (const toolkit::Device& device : record_.devices) {
            if (device.answersPing && !device.mac.empty()) answeredBefore.insert(device.mac);
        }
        std::vector<std::size_t> silent;
        std::vector<std::string> addresses;
        for (std::size_t i = 0; i < sightings.size(); ++i) {
            const toolkit::Sighting& s = sightings[i];
            if (!s.probed || s.answered || !answeredBefore.contains(toolkit::DeviceMac(s.mac)))
                continue;
            silent.push_back(i);
            addresses.push_back(s.address);
        }
        if (addresses.empty()) return;
        const std::vector<bool> answered = ProbeAddresses(network_, addresses, true);
        for (std::size_t k = 0; k < addresses.size(); ++k) {
            sightings[silent[k]].answered = answered[k];
            console_ << addresses[k] << (answered[k] ? " est active" : " est inactif")
                     << " (second essai)\n";
        }
    }

    // Step 19 (update rule 7): the three lists, and the record of the devices
    // seen, replaced as one set.
    void SaveLists() {
        const TextList devices = toolkit::DeviceRecordLines(record_);
        std::vector<std::pair<std::string, const TextList*>> files = {
            {exeDir_ + "liste.ip", &lists_.ListeIP.Lines()},
            {exeDir_ + "liste.mac", &lists_.ListeMAC.Lines()},
            {exeDir_ + "liste.ip.discover", &lists_.ListeDiscover.Lines()}};
        if (recordWritable_) files.push_back({exeDir_ + toolkit::kDeviceRecordFile, &devices});
        toolkit::SaveLinesTogether(files);
    }

    Network& network_;
    std::ostream& console_;
    const bool sweep_;
    const std::string exeDir_ = toolkit::ProgramDir();
    Namer namer_;
    DiscoveryLists lists_;
    toolkit::host_params params_;
    std::string networkText_, broadcastText_, localAddress_, localMask_;
    TextList localAddresses_, localMasks_;
    bool tableRead_ = false;
    TextList ipactive_;
    std::unordered_set<std::string> probed_;
    bool swept_ = false;
    toolkit::DeviceRecord record_;
    bool recordWritable_ = true;  // false: left as it was, unreadable
};

}  // namespace

bool MarkerBlocks(std::chrono::system_clock::time_point written,
                  std::chrono::system_clock::time_point now) {
    return now < written + kMarkerLifetime && written <= now + kMarkerClockSlack;
}

std::vector<std::string> SweepAddresses(const std::string& network, const std::string& broadcast) {
    if (!toolkit::IsDottedIPv4(network) || !toolkit::IsDottedIPv4(broadcast)) return {};
    const std::vector<int> from = NumbersOf(network);
    const std::vector<int> to = NumbersOf(broadcast);
    const std::string prefix = std::to_string(from[0]) + "." + std::to_string(from[1]) + ".";
    std::vector<std::string> addresses;
    for (int third = from[2]; third <= to[2]; ++third) {
        for (int host = kFirstHost; host <= kLastHost; ++host) {
            addresses.push_back(prefix + std::to_string(third) + "." + std::to_string(host));
        }
    }
    return addresses;
}

int RunNetsweep(const std::vector<std::string>& args, Network& network, std::ostream& console,
                std::ostream& errors) {
    const bool sweep = args.empty() || args.front() != "noscan";
    const std::string marker = toolkit::ProgramDir() + kMarkerName;
    std::optional<int> claim;
    try {
        // Exactly one of several runs started together gets the marker; the
        // others end at once, as before a marker less than 0.01 day old.
        claim = toolkit::platform::ClaimRunMarker(
            marker, [](std::chrono::system_clock::time_point written) {
                return MarkerBlocks(written, std::chrono::system_clock::now());
            });
        if (!claim) return kExitDone;
        // A list's temporary left by a run killed while saving it, and the
        // captured listings of a process (Korvane, netsweep) killed before
        // it removed them.
        toolkit::platform::RemoveStaleTemporaries(toolkit::ProgramDir());
        toolkit::platform::RemoveStaleTemporaries(toolkit::ScratchDir());
        ScanRun(network, console, sweep).Execute();
        const int handle = *std::exchange(claim, std::nullopt);
        if (!toolkit::platform::ReleaseRunMarker(handle, marker, true)) {
            throw toolkit::FileError("Impossible de supprimer le marqueur « " + marker + " »");
        }
    } catch (const std::exception& error) {  // FileError, ScratchError, out of memory
        // The marker goes whatever failed: one left behind would keep the
        // next runs away, and Korvane's scan light on, for 0.01 day.
        if (claim) toolkit::platform::ReleaseRunMarker(*claim, marker, true);
        console.flush();
        errors << "netsweep : " << error.what() << '\n';
        return kExitFileError;
    }
    console.flush();
    return kExitDone;
}

}  // namespace netsweep
