#include "korvane/app/gateway.h"

#include "korvane/app/gateway_probe.h"
#include "tools.h"

namespace korvane {

namespace {

// The gateway's answer is looked for this often until it comes.
constexpr int kGatewayInterval = 50;

}  // namespace

Gateway::Gateway(AppContext& ctx, std::function<void()> changed)
    : ctx_(ctx), changed_(std::move(changed)) {}

Gateway::~Gateway() = default;

void Gateway::Probe() {
    if (ctx_.localHost.gateway.empty() || probe_) return;
    probe_ = std::make_unique<GatewayProbe>(ctx_.localHost.gateway);
    auto timer = std::make_shared<TimerId>(0);
    *timer = ctx_.timers.Every(kGatewayInterval, [this, timer] {
        const std::optional<bool> up = probe_ ? probe_->TakeResult() : false;
        if (!up) return;
        ctx_.timers.Cancel(*timer);
        probe_.reset();
        if (*up == up_) return;
        up_ = *up;
        changed_();
    });
}

void Gateway::Stop() {
    probe_.reset();
}

void Gateway::OpenPage() {
    // Only a strict dotted address reaches the browser, whatever the adapter
    // listing held.
    if (!toolkit::IsDottedIPv4(ctx_.localHost.gateway)) return;
    ctx_.view.OpenUrl("http://" + ctx_.localHost.gateway);
}

}  // namespace korvane
