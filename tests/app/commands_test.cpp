// The commands of the windows, once for both window layers: the table they
// build their menus and keys from, each command's questions and effect, an
// entry's click through its on/off dialog, a notification's click, and the
// intake dialog's rows on the app's scheduler. The view answers as the user.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>

#include "app_folder.h"
#include "korvane/app/command_table.h"
#include "korvane/app/texts.h"

namespace {

namespace fs = std::filesystem;
using app_testing::AppFolder;
using korvane::CardChoice;
using korvane::Command;
using korvane::Window;
using toolkit::TextList;

// Every command in one menu, each once; names, keys and, within a menu,
// mnemonics never shared. The keys users learnt stay where they are.
TEST(CommandTable, EachCommandOnceWithItsOwnNameKeysAndMnemonic) {
    std::vector<std::vector<Command>> groups;
    for (const korvane::MenuInfo& menu : korvane::MainMenus()) {
        groups.emplace_back(menu.items.begin(), menu.items.end());
    }
    groups.emplace_back(korvane::EntryMenu().begin(), korvane::EntryMenu().end());
    std::multiset<Command> placed;
    std::set<std::string> names, keys;
    const auto letterOf = [](const char* text, std::size_t at) {
        const auto c = static_cast<unsigned char>(std::string_view(text).at(at));
        EXPECT_TRUE(std::isalnum(c)) << text;
        return static_cast<char>(std::tolower(c));
    };
    std::set<char> titles;
    for (const korvane::MenuInfo& menu : korvane::MainMenus()) {
        EXPECT_TRUE(titles.insert(letterOf(menu.text, menu.mnemonic)).second) << menu.text;
    }
    for (const auto& group : groups) {
        std::set<char> letters;
        for (const Command command : group) {
            const korvane::CommandInfo& info = korvane::InfoOf(command);
            EXPECT_EQ(info.command, command);
            placed.insert(command);
            EXPECT_TRUE(names.insert(info.name).second) << info.name;
            EXPECT_TRUE(letters.insert(letterOf(info.text, info.mnemonic)).second) << info.name;
            const std::string shown = korvane::KeyText(info.keys);
            if (!shown.empty()) {
                EXPECT_TRUE(keys.insert(shown).second) << shown;
            }
        }
    }
    for (const korvane::CommandInfo& info : korvane::AllCommands()) {
        EXPECT_EQ(placed.count(info.command), 1u) << info.name;
    }
    const std::pair<const char*, const char*> learnt[] = {
        {"Quitter1", "Ctrl+Q"},
        {"Prfrences1", "Ctrl+P"},
        {"Dfinir1", "Ctrl+N"},
        {"Nejamaisteindre1", "Ctrl+J"},
        {"CleSsh1", ""},
        {"IncidentsWOL1", "Ctrl+I"},
        {"Incidentsshutdown1", "Ctrl+Maj+I"},
        {"Listemachines1", "Ctrl+L"},
        {"Console1", "Ctrl+K"},
        {"Consommation1", "Ctrl+E"},
        {"Apropos1", "F1"},
        {"Commentaire1", ""},
        {"Renommer1", ""},
        {"ConsommationEntry1", ""},
    };
    for (const auto& [name, shown] : learnt) {
        const auto& all = korvane::AllCommands();
        const auto info = std::find_if(all.begin(), all.end(),
                                       [&](const auto& c) { return c.name == std::string(name); });
        ASSERT_NE(info, all.end()) << name;
        EXPECT_EQ(korvane::KeyText(info->keys), shown) << name;
    }
    EXPECT_EQ(korvane::MnemonicText(korvane::text::kMenuEnergy, 1), "C&onsommation électrique");
}

class CommandsTest : public testing::Test {
  protected:
    void SetUp() override {
        folder.Write("localGM", {"pc1", "bureau"});
        folder.Write("liste.ip", {"pc1 10.0.0.5", "bureau 10.0.0.9"});
        folder.Write("liste.mac", {"PC1 02-4B-52-00-00-05"});
        folder.Write("pc1", {"pc1"});
        folder.Write("bureau", {"bureau"});
        folder.InstallScript("wolcmd", "true");
        folder.InstallOnPath("net", "true");
        folder.InstallOnPath("localc", "echo \"$*\" >> \"" + (folder / "opened") + "\"");
        testing_support::WriteBytes(folder / "shutdown.auth", "username = root\npassword = x\n");
        fs::permissions(folder / "shutdown.auth", fs::perms::owner_read | fs::perms::owner_write);
    }
    korvane::KorvaneApp& Start() {
        korvane::KorvaneApp& app = folder.Start();
        EXPECT_TRUE(folder.Settle());
        return app;
    }
    app_testing::FakeView& View() { return folder.View(); }

    AppFolder folder;
};

// What each command asks the view, opens, and does; the map is drawn again
// after the preferences and the intake dialog, however they closed.
TEST_F(CommandsTest, EachCommandAsksTheViewThenActs) {
    korvane::KorvaneApp& app = Start();
    using Prompts = std::vector<std::pair<std::string, std::string>>;
    using Opened = std::vector<std::pair<Window, TextList>>;
    const struct {
        Command command;
        int entry;
        std::optional<std::string> typed;  // the one-line dialog's answer
        Prompts prompts;
        Opened opened;
        bool redrawn;
        std::function<bool()> done;
    } cases[] = {
        {Command::Quit, -1, {}, {}, {}, false, [&] { return View().quits == 1; }},
        {Command::Preferences, -1, {}, {}, {{Window::Preferences, {}}}, true, {}},
        {Command::AddComputers, -1, {}, {}, {{Window::Intake, {}}}, true, {}},
        {Command::NeverOff,
         -1,
         {},
         {{korvane::text::kAskNeverOff, ""}},
         {},
         false,
         [&] { return !folder.Exists("liste.protegees"); }},
        {Command::NeverOff,
         -1,
         "pc1",
         {{korvane::text::kAskNeverOff, ""}},
         {},
         true,
         [&] { return folder.Read("liste.protegees") == TextList{"pc1"}; }},
        {Command::SshKey, -1, {}, {}, {}, false, [&] { return folder.Exists("korvane_ssh.pub"); }},
        {Command::WolIncidents,
         -1,
         {},
         {},
         {},
         false,
         [&] { return folder.Exists("wol.followup"); }},
        {Command::ShutdownIncidents,
         -1,
         {},
         {},
         {},
         false,
         [&] { return folder.Exists("shutdown.followup"); }},
        {Command::MachineList,
         -1,
         {},
         {},
         {},
         false,
         [&] { return folder.Read("liste.machines").size() == 3; }},
        {Command::Console, -1, {}, {}, {{Window::Console, {}}}, false, {}},
        {Command::Energy, -1, {}, {}, {{Window::Energy, {"pc1", "bureau"}}}, false, {}},
        {Command::About, -1, {}, {}, {{Window::About, {}}}, false, {}},
        {Command::Comment, 5, "x", {}, {}, false, {}},
        {Command::Comment,
         1,
         "Serveur",
         {{korvane::text::kAskComment, ""}},
         {},
         true,
         [&] { return app.CommentOf(1) == "Serveur"; }},
        {Command::Comment,
         1,
         {},
         {{korvane::text::kAskComment, "Serveur"}},
         {},
         false,
         [&] { return app.CommentOf(1) == "Serveur"; }},
        {Command::EntryEnergy, 1, {}, {}, {{Window::Energy, {"bureau"}}}, false, {}},
        {Command::EntryEnergy, 7, {}, {}, {}, false, {}},
        {Command::Rename,
         1,
         {},
         {{korvane::text::kAskRename, "bureau"}},
         {},
         false,
         [&] { return app.NameOf(1) == "bureau"; }},
        {Command::Rename,
         1,
         "salon",
         {{korvane::text::kAskRename, "bureau"}},
         {},
         true,
         [&] {
             return folder.Read("localGM") == TextList{"pc1", "salon"};
         }},
    };
    for (const auto& c : cases) {
        const std::string name = korvane::InfoOf(c.command).name;
        View().prompts.clear();
        View().opened.clear();
        View().lines = {c.typed};
        const std::size_t maps = View().maps.size();
        app.Run(c.command, c.entry);
        EXPECT_EQ(View().prompts, c.prompts) << name;
        EXPECT_EQ(View().opened, c.opened) << name;
        EXPECT_EQ(View().maps.size() > maps, c.redrawn) << name;
        if (c.done) {
            EXPECT_TRUE(folder.RunUntil(c.done, 5000)) << name;
        }
    }
    EXPECT_TRUE(View().warnings.empty()) << View().warnings.front();
    // The reports opened: the incidents of each kind, the machine list.
    EXPECT_TRUE(folder.RunUntil([&] { return folder.Lines("opened").size() == 3; }));
}

// The card shows the entry; its times are saved however it closed, then the
// choice acts: a command line for each button, nothing for "Annuler".
TEST_F(CommandsTest, EntryClickShowsTheCardSavesItsFieldsThenActs) {
    korvane::KorvaneApp& app = Start();
    const struct {
        CardChoice choice;
        const char* wakeUp;
        std::string launched;  // the console's line, empty for none
    } cases[] = {
        {CardChoice::Cancel, "7:30", ""},
        {CardChoice::On, "7:30", "commande lancée : '" + folder.Dir() + "wolcmd' 02-4B-52"},
        {CardChoice::Off, "0:00", "commande lancée : net rpc shutdown -f"},
        {CardChoice::Restart, "0:00", "commande lancée : net rpc shutdown -r"},
        {CardChoice::TestAccess, "0:00", "commande lancée : net rpc service"},
    };
    int launched = 0;
    for (const auto& c : cases) {
        View().answerCard = [&](const korvane::EntryCard& card) {
            korvane::EntryCard edited = card;
            edited.wakeUp = c.wakeUp;
            return korvane::CardAnswer{c.choice, edited};
        };
        app.EntryClicked(0);
        const korvane::EntryCard& shown = View().cards.back();
        EXPECT_EQ(shown.caption + " " + shown.address + " " + shown.mac,
                  "PC1 10.0.0.5 02-4B-52-00-00-05");
        EXPECT_EQ(folder.Lines("liste.planning"),
                  std::string(c.wakeUp) == "0:00" ? TextList{} : TextList{"pc1;7:30;0:00"});
        if (!c.launched.empty()) ++launched;
        EXPECT_EQ(View().ConsoleLines("commande lancée : "), launched);
        if (!c.launched.empty()) {
            EXPECT_EQ(View().ConsoleLines(c.launched), 1) << c.launched;
        }
        EXPECT_TRUE(folder.Settle());
    }
    app.EntryClicked(2);  // no such entry: no dialog
    EXPECT_EQ(View().cards.size(), std::size(cases));
}

// A notification's click opens what it speaks of.
TEST_F(CommandsTest, NoticeClickOpensWhatItSpeaksOf) {
    korvane::KorvaneApp& app = Start();
    app.NoticeClicked({korvane::NoticeKind::NewDevices, "", "", korvane::FollowKind::Shutdown});
    app.NoticeClicked({korvane::NoticeKind::PlanFailure, "", "", korvane::FollowKind::Shutdown});
    EXPECT_EQ(View().opened, (std::vector<std::pair<Window, TextList>>{{Window::Intake, {}},
                                                                       {Window::Console, {}}}));
    app.NoticeClicked({korvane::NoticeKind::Incident, "", "", korvane::FollowKind::WakeUp});
    EXPECT_TRUE(folder.RunUntil(
        [&] { return folder.Lines("opened") == TextList{folder / "wol.followup"}; }));
}

// The rows come at once and then every second while the dialog is shown,
// following the discovery list and the list as typed; nothing ticks once it
// is closed. A click on a notification meanwhile opens no second dialog.
TEST_F(CommandsTest, IntakeRowsFollowTheListsOnlyWhileTheDialogIsShown) {
    folder.Write("liste.ip.discover", {"10.0.0.5=pc1", "10.0.0.6=pc2"});
    korvane::KorvaneApp& app = Start();
    folder.Scheduler().Advance(5000);
    EXPECT_TRUE(View().intakeRows.empty());
    const std::size_t timers = app.TimerCount();
    const auto names = [&] {
        TextList shown;
        for (const auto& row : View().intakeRows.back()) {
            if (!row.name.empty()) shown.push_back(row.name);
        }
        return shown;
    };
    std::vector<TextList> seen;
    View().whileOpen = [&](Window window) {
        if (window != Window::Intake) return;
        folder.Scheduler().Advance(0);
        seen.push_back(names());
        EXPECT_EQ(View().intakeRows.back()[0].ip, "10.0.0.5");
        View().memo = {"PC1"};
        folder.Scheduler().Advance(999);
        EXPECT_EQ(View().intakeRows.size(), 1u);
        folder.Scheduler().Advance(1);
        seen.push_back(names());
        folder.Write("liste.ip.discover", {"10.0.0.5=pc1", "10.0.0.6=pc2", "10.0.0.7=pc3"});
        folder.Scheduler().Advance(1000);
        seen.push_back(names());
        app.NoticeClicked({korvane::NoticeKind::NewDevices, "", "", korvane::FollowKind::Shutdown});
    };
    app.Run(Command::AddComputers);
    EXPECT_EQ(seen, (std::vector<TextList>{{"pc1", "pc2"}, {"pc2"}, {"pc2", "pc3"}}));
    EXPECT_EQ(View().opened.size(), 1u);
    EXPECT_EQ(app.TimerCount(), timers);
    const std::size_t pushed = View().intakeRows.size();
    folder.Scheduler().Advance(5000);
    EXPECT_EQ(View().intakeRows.size(), pushed);
}

}  // namespace
