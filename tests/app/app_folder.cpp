#include "app_folder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include "korvane/core/timescale.h"
#include "tools.h"

namespace app_testing {

namespace fs = std::filesystem;

// --- the view -------------------------------------------------------------

void FakeView::ShowStatus(const std::string& text) {
    status = text;
    if (!text.empty()) statuses.push_back(text);
}

bool FakeView::AskYesNo(const std::string& question) {
    questions.push_back(question);
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
}

std::optional<std::string> FakeView::AskLine(const std::string& prompt,
                                             const std::string& initial) {
    prompts.emplace_back(prompt, initial);
    if (lines.empty()) return std::nullopt;
    std::optional<std::string> line = lines.front();
    lines.pop_front();
    return line;
}

korvane::CardAnswer FakeView::AskCard(const korvane::EntryCard& card) {
    cards.push_back(card);
    return answerCard ? answerCard(card) : korvane::CardAnswer{korvane::CardChoice::Cancel, card};
}

void FakeView::Open(korvane::Window window, const TextList& entries) {
    opened.emplace_back(window, entries);
    if (whileOpen) whileOpen(window);
}

const korvane::MapState& FakeView::Map() const {
    static const korvane::MapState none;
    return maps.empty() ? none : maps.back();
}

std::vector<bool> FakeView::Of(bool korvane::MapEntry::*flag) const {
    std::vector<bool> flags;
    for (const auto& entry : Map().entries) flags.push_back(entry.*flag);
    return flags;
}

int FakeView::ConsoleLines(std::string_view start) const {
    return static_cast<int>(std::count_if(
        console.begin(), console.end(), [&](const auto& line) { return line.starts_with(start); }));
}

// --- the scheduler --------------------------------------------------------

korvane::TimerId TestScheduler::Every(int ms, korvane::TimerCallback callback) {
    const korvane::TimerId id = SteppedScheduler::Every(ms, std::move(callback));
    if (ms >= 10000) routine_[id] = {Now(), ms};
    return id;
}

void TestScheduler::Cancel(korvane::TimerId id) {
    routine_.erase(id);
    SteppedScheduler::Cancel(id);
}

// Everything due up to now has run: a routine timer's next tick is the
// first of its period after now.
std::optional<std::int64_t> TestScheduler::NextRoutineDue() const {
    std::optional<std::int64_t> next;
    for (const auto& [id, timer] : routine_) {
        const auto [start, interval] = timer;
        const std::int64_t due = start + interval * ((Now() - start) / interval + 1);
        next = std::min(next.value_or(due), due);
    }
    return next;
}

// --- the folders ----------------------------------------------------------

ProgramDirectory::ProgramDirectory()
    : dir_(folder_.Path() + "/"),
      scratch_(folder_.Path() + "/scratch/"),
      oldCwd_(fs::current_path().string()),
      scratchEnv_("KORVANE_SCRATCH", scratch_),
      programDir_(dir_) {}

ProgramDirectory::~ProgramDirectory() {
    std::error_code ignored;
    fs::current_path(oldCwd_, ignored);
}

std::string ProgramDirectory::Slots() const {
    return scratch_ + korvane::ProcessFolderName(toolkit::platform::ThisProcess()) + "/";
}

void ProgramDirectory::InstallProgram(const std::string& name) const {
    fs::copy_file(std::string(KORVANE_BIN_DIR) + name, dir_ + name,
                  fs::copy_options::overwrite_existing);
}

void ProgramDirectory::InstallScript(const std::string& name, const std::string& body) const {
    std::ofstream(dir_ + name) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(dir_ + name, fs::perms::owner_all);
}

void ProgramDirectory::InstallOnPath(const std::string& name, const std::string& body) {
    fs::create_directories(dir_ + "path");
    InstallScript("path/" + name, body);
    if (pathEnv_) return;
    const char* path = std::getenv("PATH");
    pathEnv_ = std::make_unique<testing_support::ScopedEnv>(
        "PATH", dir_ + "path:" + (path != nullptr ? path : "/usr/bin:/bin"));
}

void ProgramDirectory::Write(const std::string& name, const TextList& lines) const {
    toolkit::SaveLines(dir_ + name, lines);
}

TextList ProgramDirectory::Read(const std::string& name) const {
    return toolkit::LoadLines(dir_ + name);
}

TextList ProgramDirectory::Lines(const std::string& name) const {
    return Exists(name) ? Read(name) : TextList{};
}

bool ProgramDirectory::Exists(const std::string& name) const {
    return fs::exists(dir_ + name);
}

AppFolder::AppFolder() : timeScale_(korvane::kTimeScaleVariable, std::nullopt) {
    SetAdapter("");
}

void AppFolder::InstallHostpingStandIn() const {
    InstallScript("hostping",
                  "dir=$(dirname \"$0\"); cat \"$dir/answers\" > \"$2.part\" && "
                  "mv \"$2.part\" \"$2\"; echo \"$1\" >> \"$dir/lists\"");
    Write("answers", {});
}

void AppFolder::SetAdapter(const std::string& gateway, const std::string& dns,
                           const std::string& dhcp) const {
    const std::string listing = "'Passerelle par défaut . . : " + gateway +
                                "' 'Serveur DHCP . . : " + dhcp + "' 'Serveurs DNS . . : " + dns +
                                "'";
    InstallScript("netcmd", "printf '   %s\\n' " + listing);
}

korvane::KorvaneApp& AppFolder::Start(const std::vector<korvane::Rect>& screens, bool windowless) {
    Exit();
    view_ = std::make_unique<FakeView>();
    scheduler_ = std::make_unique<TestScheduler>();
    app_ = std::make_unique<korvane::KorvaneApp>(*view_, *scheduler_, clock_, serving);
    app_->WebPrefs().SetSystem({});  // no systemctl, no registry from a test
    app_->Start(screens, windowless);
    return *app_;
}

void AppFolder::Exit(const std::optional<korvane::WindowGeometry>& window) {
    if (!app_) return;
    app_->Exit(window);
    Drop();
}

bool AppFolder::ScriptsRunning() const {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(Slots(), error)) {
        if (entry.path().extension() != ".mark") continue;
        const fs::perms perms = entry.status(error).permissions();
        if (!error && (perms & fs::perms::owner_write) == fs::perms::none) return true;
    }
    return false;
}

bool AppFolder::RunUntil(const std::function<bool()>& done, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (!scheduler_) continue;
        // What another thread posted runs whatever the time, as the app's
        // loop runs it.
        scheduler_->RunPosted();
        const std::optional<std::int64_t> next = scheduler_->NextDue();
        const std::optional<std::int64_t> routine = scheduler_->NextRoutineDue();
        if (!next || (routine && *next >= *routine) || ScriptsRunning()) continue;
        scheduler_->Advance(*next - scheduler_->Now());
    }
    return true;
}

bool AppFolder::Settle(int ms) {
    return RunUntil([this] { return !app_ || !app_->PendingRequests(); }, ms);
}

void AppFolder::Pass(std::int64_t ms) {
    const std::int64_t until = scheduler_->Now() + ms;
    while (scheduler_->Now() < until) {
        const std::int64_t next = scheduler_->NextRoutineDue().value_or(until);
        scheduler_->Advance(std::min(next, until) - scheduler_->Now());
        EXPECT_TRUE(Settle()) << "requests not collected at " << scheduler_->Now();
    }
}

void AppFolder::Poll() {
    app_->TimerRedrawTimer();
    EXPECT_TRUE(Settle()) << "poll not collected";
}

}  // namespace app_testing
