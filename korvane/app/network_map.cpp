#include "korvane/app/network_map.h"

#include "korvane/app/texts.h"
#include "korvane/core/mapgrid.h"
#include "tools.h"

namespace korvane {

void NetworkMap::Redraw() {
    map_.rebuild = rebuild_;
    rebuild_ = false;
    ctx_.krv.EntryIPs.clear();
    for (const auto& name : ctx_.krv.ManagedList)
        ctx_.krv.EntryIPs.push_back(ctx_.krv.FindIP(name));
    map_.nbyrow = ctx_.krv.settings.nbyrow;
    map_.height = ctx_.krv.settings.height;
    const std::string& gateway = ctx_.localHost.gateway;
    map_.gateway = {!gateway.empty(), ctx_.krv.FindName(gateway), gateway, gateway_.Up()};
    map_.entries.clear();
    for (std::size_t entry = 0; entry < ctx_.krv.ManagedList.size(); ++entry) {
        map_.entries.push_back(CellOf(entry));
    }
    ctx_.view.ShowMap(map_);
    map_.rebuild = false;
}

MapEntry NetworkMap::CellOf(std::size_t entry) const {
    const std::string& name = ctx_.krv.ManagedList[entry];
    const std::string& address = ctx_.krv.EntryIPs[entry];
    MapEntry cell;
    cell.caption = toolkit::AsciiUpper(name);
    cell.address = address;
    cell.mac = ctx_.krv.FindMAC(name);
    cell.shown = !IsFilteredOut(address, ctx_.localHost);
    // Another device's answer is not the entry's.
    cell.addressTaken = holders_.Displaced(name);
    cell.up = IsUp(poller_.States(), name, address) && !cell.addressTaken;
    cell.isProtected = toolkit::IndexOfLine(planner_.Protected(), name).has_value();
    cell.hint = HintOf(name);
    return cell;
}

// Another device at the entry's address, the user's comment, then the
// protection, then the next planned action.
std::string NetworkMap::HintOf(const std::string& name) const {
    std::string hint;
    const auto add = [&hint](const std::string& line) {
        if (!line.empty()) hint += (hint.empty() ? "" : "\n") + line;
    };
    const auto displaced = holders_.All().find(name);
    if (displaced != holders_.All().end()) add(AddressTakenHint(displaced->second));
    const auto comment = comments_.find(name);
    if (comment != comments_.end()) add(comment->second);
    if (toolkit::IndexOfLine(planner_.Protected(), name)) add(text::kProtectedHint);
    add(NextActionHint(ScheduleOf(planner_.Plan(), name), LocalMinuteOf(ctx_.clock.Now()).minute));
    return hint;
}

std::string NetworkMap::CommentOf(const std::string& name) const {
    const auto comment = comments_.find(name);
    return comment != comments_.end() ? comment->second : "";
}

void NetworkMap::SetComment(const std::string& name, const std::string& text) {
    comments_[name] = text;
}

void NetworkMap::MoveComment(const std::string& oldName, const std::string& newName) {
    if (auto comment = comments_.extract(oldName)) {
        comment.key() = newName;
        comments_.insert(std::move(comment));
    }
}

}  // namespace korvane
