// The access from the network as the app drives it: the requests queued by
// the server's threads acted on the app's thread with the window's
// refusals, serving only while this Korvane leads the folder, the
// preferences' checks and tokens, and the planner kept running through the
// system seam. The server is a stand-in (tests/web tries the real one).
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "app_folder.h"
#include "korvane/app/access_setup.h"
#include "korvane/app/always_on.h"
#include "korvane/app/texts.h"
#include "korvane/core/protection.h"
#include "korvane/core/webaccess.h"

namespace {

using app_testing::AppFolder;
using korvane::ActionState;
using korvane::WebAction;
using toolkit::TextList;

// Serves "on paper": it records each start with the port it was given.
struct ServingRecord {
    std::vector<int> starts;
    int stops = 0;
    std::string refusal;  // what Start says instead of serving
};

class FakeServing : public korvane::WebServing {
  public:
    FakeServing(korvane::AccessStore& access, ServingRecord& record)
        : access_(access), record_(record) {}
    std::string Start() override {
        access_.Refresh();
        const korvane::WebAccessSettings settings = access_.Settings();
        if (!settings.enabled) return {};
        if (!record_.refusal.empty()) return record_.refusal;
        record_.starts.push_back(settings.port);
        running_ = true;
        return {};
    }
    void Stop() override {
        if (running_) ++record_.stops;
        running_ = false;
    }
    bool Running() const override { return running_; }
    std::string Address() const override {
        return "https://192.0.2.1:" + std::to_string(access_.Settings().port) + "/";
    }
    std::string Fingerprint() const override { return "AB:CD"; }

  private:
    korvane::AccessStore& access_;
    ServingRecord& record_;
    bool running_ = false;
};

korvane::WebServingMaker Maker(ServingRecord& record) {
    return
        [&record](const std::string&, korvane::WebBoard&, korvane::AccessStore& access,
                  const korvane::Clock&) { return std::make_unique<FakeServing>(access, record); };
}

void TurnOn(const AppFolder& folder, int port = korvane::kDefaultWebPort) {
    korvane::WebAccessSettings settings;
    settings.enabled = true;
    settings.port = port;
    settings.password = korvane::HashPassword("motdepasse1");
    korvane::SaveWebAccess(folder.Dir(), settings);
}

// Each request is queued from another thread, as the server queues it; the
// app takes it only once its scheduler runs what was posted, and acts as
// its window would, refusals included.
TEST(WebFeature, RequestsAreActedOnTheAppThreadWithTheWindowsRefusals) {
    struct Case {
        const char* what;
        WebAction action;
        const char* entry;
        ActionState state;
        const char* message;  // the start of the outcome's message
        bool wolcmdRuns;
    };
    const Case cases[] = {
        {"woken", WebAction::WakeUp, "pc1", ActionState::Done, korvane::text::kWebSent, true},
        {"protected", WebAction::Shutdown, "pc1", ActionState::Refused, "", false},
        {"restart of a protected one", WebAction::Restart, "pc1", ActionState::Refused, "", false},
        {"gone from the map", WebAction::WakeUp, "PC1", ActionState::Refused, "« PC1 » n'est plus",
         false},
        {"no hardware address", WebAction::WakeUp, "pc2", ActionState::Refused, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AppFolder folder;
        folder.InstallHostpingStandIn();
        folder.Write("localGM", {"pc1", "pc2"});
        folder.Write("liste.ip", {"pc1 10.0.0.5", "pc2 10.0.0.6"});
        folder.Write("liste.mac", {"PC1 02-4B-52-00-00-05"});
        folder.Write("pc1", {"pc1"});
        folder.Write("pc2", {"pc2"});
        folder.Write(korvane::kProtectedFile, {"pc1"});
        folder.InstallScript("wolcmd", "echo \"$*\" >> '" + (folder / "wolcmd.calls") + "'");
        korvane::KorvaneApp& app = folder.Start();
        ASSERT_TRUE(folder.Settle());
        korvane::WebBoard& board = app.Web().Board();

        std::optional<std::uint64_t> id;
        std::thread server([&] { id = board.Request(c.action, c.entry, "domotique", 100); });
        server.join();
        ASSERT_TRUE(id);
        EXPECT_EQ(board.Progress(*id)->state,
                  ActionState::Queued);  // nothing ran on the server's thread
        ASSERT_TRUE(folder.RunUntil([&] {
            const ActionState state = board.Progress(*id)->state;
            return state != ActionState::Queued && state != ActionState::Running;
        }));
        const korvane::ActionProgress progress = *board.Progress(*id);
        EXPECT_EQ(progress.state, c.state);
        EXPECT_EQ(progress.message.rfind(c.message, 0), 0u) << progress.message;
        if (c.state == ActionState::Refused) {
            EXPECT_FALSE(progress.message.empty());
        }
        EXPECT_EQ(folder.Exists("wolcmd.calls"), c.wolcmdRuns);
        // Never a box for a request from the network: nobody may be at the desk.
        EXPECT_TRUE(folder.View().warnings.empty());
        EXPECT_EQ(folder.View().ConsoleLines("Demande depuis le réseau (domotique)"), 1);
        // Korvane's exit tells what is still awaited rather than leaving it running.
        app.Exit(std::nullopt);
        if (c.state == ActionState::Done) {
            EXPECT_EQ(board.Progress(*id)->followUp, korvane::text::kWebEndedVerdict);
        }
    }
}

// Only the Korvane leading the folder serves; the others say where the page
// is, and take over once the lead is free.
TEST(WebFeature, ServesOnlyWhileLeadingAndSaysWhereThePageIs) {
    struct Case {
        const char* what;
        bool on;
        bool otherLeads;
        const char* refusal;
        korvane::WebServed served;
        std::string text;
    };
    const std::string address = "https://192.0.2.1:8765/";
    const Case cases[] = {
        {"off", false, false, "", korvane::WebServed::Off, korvane::text::kWebAccessOff},
        {"on, leading", true, false, "", korvane::WebServed::Here,
         korvane::text::kWebServedHere + address},
        {"on, beside the planner", true, true, "", korvane::WebServed::Elsewhere,
         korvane::text::kWebServedElsewhere + address},
        {"on, port taken", true, false, "Le port 8765 est déjà pris.", korvane::WebServed::Refused,
         std::string(korvane::text::kWebNotServed) + "Le port 8765 est déjà pris."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AppFolder folder;
        folder.InstallHostpingStandIn();
        if (c.on) TurnOn(folder);
        // flock(2) locks belong to an open file: this one keeps the app's
        // own open out, as the planner's would.
        const int holder = c.otherLeads ? open((folder / "planning.lck").c_str(),
                                               O_RDWR | O_CREAT | O_CLOEXEC, 0644)
                                        : -1;
        if (c.otherLeads) {
            ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
        }
        ServingRecord record;
        record.refusal = c.refusal;
        folder.serving = Maker(record);
        korvane::KorvaneApp& app = folder.Start({}, false);
        const korvane::WebAccessStatus status = app.Web().Status();
        EXPECT_EQ(status.served, c.served);
        EXPECT_EQ(status.text, c.text);
        EXPECT_EQ(record.starts.size(), c.served == korvane::WebServed::Here ? 1u : 0u);
        if (c.on) {
            EXPECT_EQ(folder.View().ConsoleLines(c.text), 1);
        }
        if (c.otherLeads) {
            close(holder);  // the planner ended: the window serves at its next look
            app.Web().Look();
            EXPECT_EQ(app.Web().Status().served, korvane::WebServed::Here);
            EXPECT_EQ(record.starts.size(), 1u);
        }
        folder.Exit();
        EXPECT_EQ(record.stops, static_cast<int>(record.starts.size()));
    }
}

// The preferences refuse what cannot be served and save the rest through
// the running server's store, which starts again on the new port.
TEST(WebPreferences, RefuseWhatCannotBeServedAndApplyTheRestAtOnce) {
    struct Step {
        const char* what;
        korvane::WebPreferencesTyped typed;
        std::string warning;  // empty: saved
        std::vector<int> starts;
    };
    const Step steps[] = {
        {"on without a password",
         {true, "8765", "", "", {}},
         std::string(korvane::text::kWebCannotEnable) + "aucun mot de passe n'est défini ; "
                                                        "définissez-en un avant d'activer l'accès.",
         {}},
        {"port zero", {false, "0", "", "", {}}, korvane::text::kWebPortRefused, {}},
        {"port too high", {false, "65536", "", "", {}}, korvane::text::kWebPortRefused, {}},
        {"port not a number", {false, "80a", "", "", {}}, korvane::text::kWebPortRefused, {}},
        {"passwords differ",
         {true, "8765", "motdepasse1", "motdepasse2", {}},
         korvane::text::kWebPasswordsDiffer,
         {}},
        {"password too short",
         {true, "8765", "court", "court", {}},
         "Le mot de passe doit compter au moins 8 caractères.",
         {}},
        {"on with a password", {true, "8765", "motdepasse1", "motdepasse1", {}}, "", {8765}},
        {"a new port, the password kept", {true, " 9000 ", "", "", {}}, "", {8765, 9000}},
        {"off", {false, "9000", "", "", {}}, "", {8765, 9000}},
    };
    AppFolder folder;
    folder.InstallHostpingStandIn();
    ServingRecord record;
    folder.serving = Maker(record);
    korvane::KorvaneApp& app = folder.Start();
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        folder.View().warnings.clear();
        const korvane::WebAccessSettings before = korvane::LoadWebAccess(folder.Dir()).settings;
        const bool saved = app.WebPrefs().Save(step.typed);
        EXPECT_EQ(saved, step.warning.empty());
        EXPECT_EQ(folder.View().warnings,
                  step.warning.empty() ? TextList{} : TextList{step.warning});
        const korvane::WebAccessSettings after = korvane::LoadWebAccess(folder.Dir()).settings;
        if (!saved) {
            EXPECT_EQ(after, before);
        }
        if (saved) {
            EXPECT_EQ(after.enabled, step.typed.enabled);
        }
        EXPECT_EQ(record.starts, step.starts);
        EXPECT_EQ(app.Web().Status().served == korvane::WebServed::Here,
                  saved && step.typed.enabled);
    }
    EXPECT_EQ(app.WebPrefs().Current().port, "9000");
    EXPECT_TRUE(app.WebPrefs().Current().passwordSet);
}

// Tokens: an administrator's, a "réveil seulement" one limited to entries
// of the map, listed with their role, revoked once.
TEST(WebPreferences, TokensAreMadeListedAndRevoked) {
    AppFolder folder;
    folder.InstallHostpingStandIn();
    folder.Write("localGM", {"pc1", "pc2"});
    korvane::KorvaneApp& app = folder.Start();
    korvane::WebPreferences& prefs = app.WebPrefs();
    struct Make {
        const char* name;
        bool admin;
        const char* entries;
        std::string warning;  // empty: made
    };
    const Make makes[] = {
        {"hub", false, "", korvane::text::kWebTokenNoEntry},
        {"hub", false, "pc1, inconnu", "« inconnu »" + std::string(korvane::text::kWebNotOnMap)},
        {"", true, "", "?"},  // the core's own refusal of an empty name
        {"hub", false, " pc1 ,pc2,pc1", ""},
        {"script", true, "ignoré", ""},
    };
    for (const Make& make : makes) {
        SCOPED_TRACE(make.name + std::string(" ") + make.entries);
        folder.View().warnings.clear();
        const std::optional<std::string> secret =
            prefs.MakeToken(make.name, make.admin, make.entries);
        EXPECT_EQ(secret.has_value(), make.warning.empty());
        if (secret) {
            EXPECT_EQ(secret->rfind(korvane::kTokenPrefix, 0), 0u);
        }
        ASSERT_EQ(folder.View().warnings.size(), make.warning.empty() ? 0u : 1u);
        if (!make.warning.empty() && make.warning != "?") {
            EXPECT_EQ(folder.View().warnings[0], make.warning);
        }
    }
    std::vector<korvane::WebTokenRow> rows = prefs.Current().tokens;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name + "|" + rows[0].role + "|" + rows[0].entries + "|" + rows[0].lastUse,
              "hub|réveil seulement|pc1, pc2|jamais");
    EXPECT_EQ(rows[1].name + "|" + rows[1].role + "|" + rows[1].entries, "script|administrateur|");
    // Kept only as digests in the file, which is its owner's alone.
    const korvane::WebAccessSettings kept = korvane::LoadWebAccess(folder.Dir()).settings;
    ASSERT_EQ(kept.tokens.size(), 2u);
    EXPECT_EQ(kept.tokens[0].role, korvane::WebRole::WakeOnly);
    EXPECT_EQ(kept.tokens[0].entries, (TextList{"pc1", "pc2"}));
    EXPECT_EQ(std::filesystem::status(folder / korvane::kWebAccessFile).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    EXPECT_TRUE(prefs.RevokeToken(rows[0].id));
    EXPECT_FALSE(prefs.RevokeToken(rows[0].id));
    EXPECT_EQ(folder.View().warnings.back(), korvane::text::kWebTokenGone);
    rows = prefs.Current().tokens;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, "script");
}

// "Garder Korvane actif, fenêtre fermée": systemctl --user on Linux, the
// logon entry on Windows; only a change is applied, a failure is told.
TEST(AlwaysOn, TheUnitOrTheLogonEntryFollowsThePreference) {
    struct Fake {
        std::vector<std::string> runs;  // each command line
        std::string isEnabled = "disabled";
        int isEnabledCode = 1;
        int changeCode = 0;
        std::string changeOutput;
        std::map<std::string, std::string> entries;
        korvane::SystemSeam Seam() {
            korvane::SystemSeam seam;
            seam.run = [this](const std::string& program, const std::vector<std::string>& arguments,
                              std::string& output) {
                std::string line = program;
                for (const std::string& argument : arguments) line += " " + argument;
                runs.push_back(line);
                if (arguments.at(1) == "is-enabled") {
                    output = isEnabled + "\n";
                    return isEnabledCode;
                }
                output = changeOutput;
                return changeCode;
            };
            seam.logonEntry = [this](const std::string& name) -> std::optional<std::string> {
                const auto found = entries.find(name);
                if (found == entries.end()) return std::nullopt;
                return found->second;
            };
            seam.setLogonEntry = [this](const std::string& name, const std::string& command) {
                entries[name] = command;
                return true;
            };
            seam.removeLogonEntry = [this](const std::string& name) {
                entries.erase(name);
                return true;
            };
            seam.programFolder = "C:\\Program Files\\Korvane\\";
            return seam;
        }
    };
    using toolkit::Os;
    const std::string unit = korvane::kPlannerUnit;
    // Linux: the state read, then each change through systemctl.
    {
        Fake fake;
        const korvane::SystemSeam seam = fake.Seam();
        EXPECT_EQ(korvane::PlannerKeptRunning(Os::Posix, seam), false);
        EXPECT_EQ(korvane::KeepPlannerRunning(Os::Posix, seam, true), std::nullopt);
        EXPECT_EQ(korvane::KeepPlannerRunning(Os::Posix, seam, false), std::nullopt);
        EXPECT_EQ(fake.runs, (TextList{"systemctl --user is-enabled " + unit,
                                       "systemctl --user enable --now " + unit,
                                       "systemctl --user disable --now " + unit}));
        fake.isEnabled = "Failed to connect to bus: No medium found";
        EXPECT_EQ(korvane::PlannerKeptRunning(Os::Posix, seam), std::nullopt);
        fake.isEnabled = "enabled";
        fake.isEnabledCode = 0;
        EXPECT_EQ(korvane::PlannerKeptRunning(Os::Posix, seam), true);
        fake.changeCode = 1;
        fake.changeOutput = "Failed to enable unit: Unit file " + unit + " does not exist.\nmore";
        EXPECT_EQ(korvane::KeepPlannerRunning(Os::Posix, seam, true),
                  korvane::text::kKeepRunningFailed +
                      ("Failed to enable unit: Unit file " + unit + " does not exist.") +
                      korvane::text::kKeepRunningManual);
        fake.changeCode = -1;
        EXPECT_EQ(korvane::KeepPlannerRunning(Os::Posix, seam, true),
                  korvane::text::kKeepRunningNoSystemctl);
    }
    // Windows: the entry the installer also writes, under the same name.
    {
        Fake fake;
        const korvane::SystemSeam seam = fake.Seam();
        EXPECT_EQ(korvane::PlannerKeptRunning(Os::Windows, seam), false);
        EXPECT_EQ(korvane::KeepPlannerRunning(Os::Windows, seam, true), std::nullopt);
        EXPECT_EQ(fake.entries.at("Korvane planificateur"),
                  "\"C:\\Program Files\\Korvane\\korvane.exe\" --planificateur");
        EXPECT_EQ(korvane::PlannerKeptRunning(Os::Windows, seam), true);
        EXPECT_EQ(korvane::KeepPlannerRunning(Os::Windows, seam, false), std::nullopt);
        EXPECT_TRUE(fake.entries.empty());
        EXPECT_TRUE(fake.runs.empty());
    }
    // Through the preferences: only a change runs systemctl.
    {
        AppFolder folder;
        folder.InstallHostpingStandIn();
        korvane::KorvaneApp& app = folder.Start();
        Fake fake;
        fake.isEnabled = "enabled";
        fake.isEnabledCode = 0;
        app.WebPrefs().SetSystem(fake.Seam());
        EXPECT_EQ(app.WebPrefs().KeepRunning(), true);
        EXPECT_TRUE(app.WebPrefs().Save({false, "8765", "", "", true}));
        EXPECT_TRUE(app.WebPrefs().Save({false, "8765", "", "", std::nullopt}));
        EXPECT_EQ(fake.runs.size(), 2u);  // two looks, no change
        EXPECT_TRUE(app.WebPrefs().Save({false, "8765", "", "", false}));
        EXPECT_EQ(fake.runs.back(), "systemctl --user disable --now " + unit);
        fake.isEnabled = "disabled";
        fake.isEnabledCode = 1;
        fake.changeCode = 1;
        EXPECT_FALSE(app.WebPrefs().Save({false, "8765", "", "", true}));
        EXPECT_EQ(folder.View().warnings.size(), 1u);
    }
}

// "korvane --acces-web": the password asked twice (again on a terminal, up
// to three times), the access turned on with the tokens already made kept,
// a damaged file left as it is, the address told; nothing changes otherwise.
TEST(AccessSetup, TurnsTheAccessOnOnlyWithTheSamePasswordTwice) {
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        std::vector<std::string> lines;  // typed, in order
        bool terminal;
        const char* file;  // acces-web.ini before; nullptr: none
        int status;
        int port;  // of the file after, when on
    };
    const char* damaged = "actif=oui\r\nport=8765\r\n";  // on without a password
    const Case cases[] = {
        {"piped", {}, {"motdepasse1", "motdepasse1"}, false, nullptr, 0, 8765},
        {"another port",
         {"--port", "9000"},
         {"motdepasse1", "motdepasse1"},
         false,
         nullptr,
         0,
         9000},
        {"they differ", {}, {"motdepasse1", "motdepasse2"}, false, nullptr, 1, 0},
        {"too short", {}, {"court", "court"}, false, nullptr, 1, 0},
        {"input ended", {}, {"motdepasse1"}, false, nullptr, 1, 0},
        {"typed again on a terminal",
         {},
         {"court", "motdepasse1", "autre", "motdepasse1", "motdepasse1"},
         true,
         nullptr,
         0,
         8765},
        {"three misses", {}, {"a", "b", "c", "motdepasse1", "motdepasse1"}, true, nullptr, 1, 0},
        {"port out of range",
         {"--port", "0"},
         {"motdepasse1", "motdepasse1"},
         false,
         nullptr,
         1,
         0},
        {"unknown argument", {"--mot-de-passe", "x"}, {}, false, nullptr, 1, 0},
        {"damaged file", {}, {"motdepasse1", "motdepasse1"}, false, damaged, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        app_testing::ProgramDirectory folder;
        // A token made before stays.
        korvane::WebAccessSettings before;
        before.tokens.push_back(
            korvane::MakeToken("hub", korvane::WebRole::WakeOnly, {"pc1"}, 1).kept);
        if (c.file == nullptr) {
            korvane::SaveWebAccess(folder.Dir(), before);
        } else {
            testing_support::WriteBytes(folder / korvane::kWebAccessFile, c.file);
        }
        const std::string bytesBefore =
            testing_support::ReadBytes(folder / korvane::kWebAccessFile);
        std::size_t next = 0;
        korvane::AccessSetupInput input;
        input.programDir = folder.Dir();
        input.arguments = c.arguments;
        input.terminal = c.terminal;
        input.read = [&](const std::string&) -> std::optional<std::string> {
            if (next == c.lines.size()) return std::nullopt;
            return c.lines[next++];
        };
        ServingRecord record;
        std::ostringstream out, err;
        EXPECT_EQ(korvane::SetUpWebAccess(input, Maker(record), out, err), c.status);
        const korvane::WebAccessRead after = korvane::LoadWebAccess(folder.Dir());
        if (c.status != 0) {
            EXPECT_EQ(testing_support::ReadBytes(folder / korvane::kWebAccessFile), bytesBefore);
            EXPECT_FALSE(err.str().empty());
            EXPECT_TRUE(out.str().empty());
            continue;
        }
        EXPECT_TRUE(after.settings.enabled);
        EXPECT_EQ(after.settings.port, c.port);
        ASSERT_TRUE(after.settings.password);
        EXPECT_TRUE(korvane::PasswordMatches(*after.settings.password, "motdepasse1"));
        EXPECT_EQ(after.settings.tokens, before.tokens);
        EXPECT_NE(out.str().find("https://192.0.2.1:" + std::to_string(c.port) + "/"),
                  std::string::npos)
            << out.str();
    }
}

}  // namespace
