#include "korvane/app/gateway_probe.h"

#include <chrono>

#include "raw_ping.h"

namespace korvane {

GatewayProbe::GatewayProbe(const std::string& address)
    : answer_(std::async(std::launch::async, [address] { return toolkit::IcmpProbe(address); })) {}

std::optional<bool> GatewayProbe::TakeResult() {
    if (!answer_.valid()) return std::nullopt;
    if (answer_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return std::nullopt;
    return answer_.get();
}

}  // namespace korvane
