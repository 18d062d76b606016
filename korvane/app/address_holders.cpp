#include "korvane/app/address_holders.h"

#include <cstring>

#include "korvane/core/polling.h"
#include "platform/platform.h"
#include "tools.h"

namespace korvane {

void AddressHolders::Look() {
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

// The address is asked (a short wait for the answer) before the table is read.
std::optional<OtherHolder> AddressHolders::BeforeShutdown(const std::string& computer) {
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

}  // namespace korvane
