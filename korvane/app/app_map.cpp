// KorvaneApp, the network map: what each cell shows, composed from what the
// app holds (no file is read while drawing), and the gateway's page.
#include "korvane/app/app.h"
#include "korvane/app/texts.h"
#include "korvane/core/mapgrid.h"
#include "tools.h"

namespace korvane {

void KorvaneApp::Redraw_network() {
    map_.rebuild = mapRebuild_;
    mapRebuild_ = false;
    krv_.EntryIPs.clear();
    for (const auto& name : krv_.ManagedList) krv_.EntryIPs.push_back(krv_.FindIP(name));
    map_.nbyrow = krv_.settings.nbyrow;
    map_.height = krv_.settings.height;
    const std::string& gateway = localHost_.gateway;
    map_.gateway = {!gateway.empty(), krv_.FindName(gateway), gateway, gatewayUp_};
    map_.entries.clear();
    for (std::size_t entry = 0; entry < krv_.ManagedList.size(); ++entry) {
        map_.entries.push_back(CellOf(entry));
    }
    view_.ShowMap(map_);
    map_.rebuild = false;
}

MapEntry KorvaneApp::CellOf(std::size_t entry) const {
    const std::string& name = krv_.ManagedList[entry];
    const std::string& address = krv_.EntryIPs[entry];
    MapEntry cell;
    cell.caption = toolkit::AsciiUpper(name);
    cell.address = address;
    cell.mac = krv_.FindMAC(name);
    cell.shown = !IsFilteredOut(address, localHost_);
    // Another device's answer is not the entry's.
    cell.addressTaken = Displaced(name);
    cell.up = IsUp(states_, name, address) && !cell.addressTaken;
    cell.isProtected = toolkit::IndexOfLine(protected_, name).has_value();
    cell.hint = HintOf(name);
    return cell;
}

// Another device at the entry's address, the user's comment, then the
// protection, then the next planned action.
std::string KorvaneApp::HintOf(const std::string& name) const {
    std::string hint;
    const auto add = [&hint](const std::string& line) {
        if (!line.empty()) hint += (hint.empty() ? "" : "\n") + line;
    };
    const auto displaced = displaced_.find(name);
    if (displaced != displaced_.end()) add(AddressTakenHint(displaced->second));
    const auto comment = comments_.find(name);
    if (comment != comments_.end()) add(comment->second);
    if (toolkit::IndexOfLine(protected_, name)) add(text::kProtectedHint);
    add(NextActionHint(ScheduleOf(plan_, name), LocalMinuteOf(clock_.Now()).minute));
    return hint;
}

void KorvaneApp::routeurClick() {
    // Only a strict dotted address reaches the browser, whatever the adapter
    // listing held.
    if (!toolkit::IsDottedIPv4(localHost_.gateway)) return;
    view_.OpenUrl("http://" + localHost_.gateway);
}

}  // namespace korvane
