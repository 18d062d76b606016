#include "korvane/app/access_store.h"

#include <algorithm>
#include <stdexcept>

namespace korvane {

namespace {
constexpr std::int64_t kLastUseWriteSeconds = 60;
}

AccessStore::AccessStore(std::string programDir, WebAccessSettings settings)
    : programDir_(std::move(programDir)), settings_(std::move(settings)) {}

AccessStore::AccessStore(std::string programDir) : programDir_(std::move(programDir)) {
    RefreshLocked();
}

WebAccessSettings AccessStore::Settings() const {
    const std::lock_guard lock(mutex_);
    return settings_;
}

std::string AccessStore::Problem() const {
    const std::lock_guard lock(mutex_);
    return problem_;
}

bool AccessStore::Refresh() {
    const std::lock_guard lock(mutex_);
    return RefreshLocked();
}

bool AccessStore::RefreshLocked() {
    if (programDir_.empty()) return false;
    // Taken before the read: a change during it is seen at the next look.
    const auto stamp = toolkit::platform::StampOf(programDir_ + kWebAccessFile);
    if (looked_ && stamp == stamp_) return false;
    WebAccessRead read = LoadWebAccess(programDir_);
    stamp_ = stamp;
    looked_ = true;
    for (ApiToken& token : read.settings.tokens) {
        for (const ApiToken& kept : settings_.tokens) {
            if (kept.id == token.id && kept.lastUse > token.lastUse) token.lastUse = kept.lastUse;
        }
    }
    const bool changed = read.settings != settings_ || read.problem != problem_;
    settings_ = std::move(read.settings);
    problem_ = std::move(read.problem);
    return changed;
}

void AccessStore::Replace(const WebAccessSettings& settings) {
    const std::lock_guard lock(mutex_);
    const WebAccessSettings before = settings_;
    settings_ = settings;
    try {
        SaveLocked();
    } catch (...) {
        settings_ = before;
        throw;
    }
}

bool AccessStore::PasswordMatches(const std::string& password) const {
    std::optional<PasswordHash> kept;
    {
        const std::lock_guard lock(mutex_);
        kept = settings_.password;
    }
    return kept && korvane::PasswordMatches(*kept, password);
}

std::optional<ApiToken> AccessStore::UseToken(const std::string& secret, std::int64_t now) {
    const std::lock_guard lock(mutex_);
    const ApiToken* found = FindToken(settings_.tokens, secret);
    if (!found) return std::nullopt;
    ApiToken& token = settings_.tokens[static_cast<std::size_t>(found - settings_.tokens.data())];
    token.lastUse = now;
    lastUseUnwritten_ = true;
    if (now - lastUseWritten_ >= kLastUseWriteSeconds) {
        try {
            RefreshLocked();
            SaveLocked();
        } catch (const toolkit::FileError&) {
            // A last use is worth no refusal: written at the next change.
        }
    }
    return token;
}

std::optional<ApiToken> AccessStore::TokenById(const std::string& id) const {
    const std::lock_guard lock(mutex_);
    for (const ApiToken& token : settings_.tokens) {
        if (token.id == id) return token;
    }
    return std::nullopt;
}

NewToken AccessStore::AddToken(const std::string& name, WebRole role,
                               const toolkit::TextList& entries, std::int64_t now) {
    NewToken made = MakeToken(name, role, entries, now);
    const std::lock_guard lock(mutex_);
    RefreshLocked();
    if (settings_.tokens.size() >= kMaxTokens) {
        throw std::invalid_argument("Trop de jetons : révoquez-en un avant d'en créer un autre.");
    }
    settings_.tokens.push_back(made.kept);
    try {
        SaveLocked();
    } catch (...) {
        settings_.tokens.pop_back();
        throw;
    }
    return made;
}

bool AccessStore::RevokeToken(const std::string& id) {
    const std::lock_guard lock(mutex_);
    RefreshLocked();
    auto& tokens = settings_.tokens;
    const auto found =
        std::find_if(tokens.begin(), tokens.end(), [&id](const ApiToken& t) { return t.id == id; });
    if (found == tokens.end()) return false;
    const ApiToken revoked = *found;
    const auto at = found - tokens.begin();
    tokens.erase(found);
    try {
        SaveLocked();
    } catch (...) {
        tokens.insert(tokens.begin() + at, revoked);
        throw;
    }
    return true;
}

void AccessStore::Flush() {
    const std::lock_guard lock(mutex_);
    if (!lastUseUnwritten_) return;
    RefreshLocked();
    SaveLocked();
}

void AccessStore::SaveLocked() {
    if (!programDir_.empty()) {
        SaveWebAccess(programDir_, settings_);
        stamp_ = toolkit::platform::StampOf(programDir_ + kWebAccessFile);
        looked_ = true;
        problem_.clear();
    }
    lastUseUnwritten_ = false;
    for (const ApiToken& token : settings_.tokens) {
        if (token.lastUse) lastUseWritten_ = std::max(lastUseWritten_, *token.lastUse);
    }
}

}  // namespace korvane
