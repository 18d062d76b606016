// The NetBIOS decoder on any datagram: the first two bytes are the
// transaction the answer must match. A table it accepts, sent again by our
// own responder, reads back the same; a query it accepts is a node-status
// query for a 16-byte name.
#include <cstddef>
#include <cstdint>
#include <span>

#include "check.h"
#include "nbns.h"

namespace {

bool SameStatus(const netcmd::NodeStatus& a, const netcmd::NodeStatus& b) {
    if (a.unitId != b.unitId || a.names.size() != b.names.size()) return false;
    for (std::size_t i = 0; i < a.names.size(); ++i) {
        const auto& x = a.names[i];
        const auto& y = b.names[i];
        if (x.name != y.name || x.suffix != y.suffix || x.flags != y.flags) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> packet(data, size);
    const std::uint16_t id = size >= 2 ? static_cast<std::uint16_t>((data[0] << 8) | data[1]) : 0;
    if (const auto status = netcmd::ParseNodeStatusResponse(packet, id)) {
        FUZZ_CHECK(status->names.size() <= netcmd::kMaxNodeNames);
        netcmd::NodeStatusQuery query;
        query.transactionId = id;
        const netcmd::Bytes again = netcmd::BuildNodeStatusResponse(query, *status);
        const auto reread = netcmd::ParseNodeStatusResponse(again, id);
        FUZZ_CHECK(reread && SameStatus(*reread, *status));
    }
    if (const auto query = netcmd::ParseNodeStatusQuery(packet)) {
        FUZZ_CHECK(size == 50);  // header 12, name 34, type and class 4
        FUZZ_CHECK(query->transactionId == id);
    }
    return 0;
}
