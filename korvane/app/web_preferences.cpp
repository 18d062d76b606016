#include "korvane/app/web_preferences.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "korvane/app/texts.h"
#include "korvane/core/schedule.h"
#include "tools.h"

namespace korvane {

namespace {

std::string LocalText(std::int64_t time) {
    const LocalMinute local =
        LocalMinuteOf(std::chrono::system_clock::time_point(std::chrono::seconds(time)));
    char clock[32];
    std::snprintf(clock, sizeof clock, "%02d:%02d", local.minute / 60, local.minute % 60);
    return FormatDayMonthYear(CivilFromDays(local.day)) + " " + clock;
}

std::optional<int> ParsePort(const std::string& typed) {
    const std::string text = toolkit::Trim(typed);
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const int port = std::stoi(text);
    if (port < 1 || port > 65535) return std::nullopt;
    return port;
}

// "pc1, pc2" as the user typed it: each name trimmed, empty ones dropped.
toolkit::TextList EntryNames(const std::string& typed) {
    toolkit::TextList names;
    std::size_t start = 0;
    while (start <= typed.size()) {
        const std::size_t comma = std::min(typed.find(',', start), typed.size());
        const std::string name = toolkit::Trim(typed.substr(start, comma - start));
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(name);
        }
        start = comma + 1;
    }
    return names;
}

std::string Joined(const toolkit::TextList& names) {
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

}  // namespace

WebPreferences::WebPreferences(AppContext& ctx, WebFeature& web, SystemSeam system)
    : ctx_(ctx), web_(web), system_(std::move(system)) {}

AccessStore& WebPreferences::Store() {
    if (AccessStore* store = web_.Access()) return *store;
    if (!own_) own_.emplace(toolkit::ProgramDir());
    own_->Refresh();
    return *own_;
}

// The server follows the new settings now rather than at the next tick.
void WebPreferences::Applied() {
    web_.Look();
}

WebPreferencesShown WebPreferences::Current() {
    AccessStore& store = Store();
    store.Refresh();
    const WebAccessSettings settings = store.Settings();
    WebPreferencesShown shown;
    shown.enabled = settings.enabled;
    shown.port = std::to_string(settings.port);
    shown.passwordSet = settings.password.has_value();
    const WebAccessStatus status = web_.Status();
    shown.address = status.address;
    shown.fingerprint = status.fingerprint;
    shown.status = status.text;
    for (const ApiToken& token : settings.tokens) {
        shown.tokens.push_back(
            {token.id, token.name,
             token.role == WebRole::Admin ? text::kWebRoleAdmin : text::kWebRoleWakeOnly,
             Joined(token.entries), LocalText(token.created),
             token.lastUse ? LocalText(*token.lastUse) : text::kWebNeverUsed});
    }
    return shown;
}

std::optional<bool> WebPreferences::KeepRunning() {
    if (!system_.run) return std::nullopt;
    return PlannerKeptRunning(toolkit::kHostOs, system_);
}

bool WebPreferences::Save(const WebPreferencesTyped& typed) {
    AccessStore& store = Store();
    WebAccessSettings settings = store.Settings();
    const std::optional<int> port = ParsePort(typed.port);
    if (!port) {
        ctx_.view.Warn(text::kWebPortRefused);
        return false;
    }
    settings.port = *port;
    if (!typed.password.empty() || !typed.passwordAgain.empty()) {
        if (typed.password != typed.passwordAgain) {
            ctx_.view.Warn(text::kWebPasswordsDiffer);
            return false;
        }
        if (const auto problem = PasswordProblem(typed.password)) {
            ctx_.view.Warn(*problem);
            return false;
        }
        settings.password = HashPassword(typed.password);
    }
    settings.enabled = typed.enabled;
    if (settings.enabled) {
        if (const auto problem = EnableProblem(settings)) {
            ctx_.view.Warn(text::kWebCannotEnable + *problem + ".");
            return false;
        }
    }
    if (settings != store.Settings() || !store.Problem().empty()) {
        try {
            store.Replace(settings);
        } catch (const toolkit::FileError& error) {
            ctx_.view.Warn(error.what());
            return false;
        }
        Applied();
    }
    if (typed.keepRunning && system_.run) {
        if (KeepRunning() != typed.keepRunning) {
            if (const auto problem =
                    KeepPlannerRunning(toolkit::kHostOs, system_, *typed.keepRunning)) {
                ctx_.view.Warn(*problem);
                return false;
            }
        }
    }
    return true;
}

std::optional<std::string> WebPreferences::MakeToken(const std::string& name, bool admin,
                                                     const std::string& entries) {
    toolkit::TextList names;
    if (!admin) {
        names = EntryNames(entries);
        if (names.empty()) {
            ctx_.view.Warn(text::kWebTokenNoEntry);
            return std::nullopt;
        }
        for (const std::string& entry : names) {
            const toolkit::TextList& managed = ctx_.krv.ManagedList;
            if (std::find(managed.begin(), managed.end(), entry) == managed.end()) {
                ctx_.view.Warn("« " + entry + " »" + text::kWebNotOnMap);
                return std::nullopt;
            }
        }
    }
    try {
        const NewToken made =
            Store().AddToken(toolkit::Trim(name), admin ? WebRole::Admin : WebRole::WakeOnly, names,
                             ctx_.NowSeconds());
        return made.secret;
    } catch (const std::invalid_argument& refused) {
        ctx_.view.Warn(refused.what());
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(error.what());
    }
    return std::nullopt;
}

bool WebPreferences::RevokeToken(const std::string& id) {
    try {
        if (Store().RevokeToken(id)) return true;
        ctx_.view.Warn(text::kWebTokenGone);
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(error.what());
    }
    return false;
}

}  // namespace korvane
