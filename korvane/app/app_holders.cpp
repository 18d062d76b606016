// KorvaneApp, the addresses another device took: the router gave an entry's
// address to another device and liste.ip does not know yet. At each poll the
// neighbour table (which hostping keeps fresh) says who holds each entry's
// address; an entry whose address is held by another hardware address is
// shown off with the map's words for it, its state is not that device's, a
// shutdown is refused before anything is sent, and netsweep runs at once so
// that the lists catch up.
#include <cstring>

#include "korvane/app/app.h"
#include "korvane/core/polling.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

void KorvaneApp::LookAtAddressHolders() {
    const toolkit::NeighbourSnapshot table = toolkit::NeighbourSnapshot::Take();
    if (!table.Readable()) return;
    std::map<std::string, OtherHolder> displaced;
    bool news = false;
    for (const auto& name : ctx_.krv.ManagedList) {
        const auto holder = FindOtherHolder(ctx_.krv.FindMAC(name), ctx_.krv.FindIP(name), table);
        if (!holder) continue;
        const auto known = displaced_.find(name);
        if (known == displaced_.end() || !(known->second == *holder)) {
            const std::string notice = AddressTakenNotice(name, *holder);
            ctx_.console.Log(notice);
            ctx_.console.Status(notice);
            news = true;
        }
        displaced.emplace(name, *holder);
    }
    displaced_ = std::move(displaced);
    if (news) scans_.StartUnlessRunning();
}

// Before a shutdown the address is asked again (a short wait for the
// answer), so that the table names who holds it at this moment.
std::optional<OtherHolder> KorvaneApp::HolderBeforeShutdown(const std::string& computer) {
    const std::string address = toolkit::Trim(ctx_.krv.FindIP(computer));
    const std::string mac = ctx_.krv.FindMAC(computer);
    if (!toolkit::IsDottedIPv4(address) || mac.empty()) return std::nullopt;
    try {
        const toolkit::IPv4 ip = toolkit::HostToIPv4(address);
        std::uint32_t value = 0;
        std::memcpy(&value, ip.data(), sizeof value);
        toolkit::platform::ArpAnswers({value});
    } catch (...) {
        // The table is read as it is.
    }
    return FindOtherHolder(mac, address, toolkit::NeighbourSnapshot::Take());
}

bool KorvaneApp::Displaced(const std::string& name) const {
    return displaced_.contains(name);
}

}  // namespace korvane
