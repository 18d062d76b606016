// Korvanes sharing a program folder, each in a process of its own (a window
// beside "korvane --planificateur"): only the lead writes the history and
// runs the plan, and the next one takes over without cutting the history
// short nor running an action of the day a second time.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>

#include "korvane/core/folderlead.h"
#include "korvane/core/history.h"
#include "korvane/core/schedule.h"
#include "test_folder.h"

namespace {

using korvane::StateChange;

constexpr std::int64_t kHour = 3600;
constexpr std::int64_t kMonday = 1796601600;  // 2026-12-07T00:00:00Z

// One Korvane in a child process that does what each request line says and
// answers a line: "debut T", "arret T" and "releve T 0|1" (a poll that sees
// pc1 off or on) for the history; "ouverture J M", the plan's first look at
// its start (local day J, minute M), and "minute J M", a look that answers
// the names due, or "ailleurs" when another Korvane leads.
class Korvane {
  public:
    explicit Korvane(const std::string& dir) {
        int down[2], up[2];
        EXPECT_EQ(pipe(down) | pipe(up), 0);
        pid_ = fork();
        if (pid_ == 0) {
            for (const int fd : Ends()) close(fd);  // the others' ends: they must see theirs close
            close(down[1]);
            close(up[0]);
            Serve(dir, fdopen(down[0], "r"), fdopen(up[1], "w"));
            _exit(0);
        }
        close(down[0]);
        close(up[1]);
        Ends().insert(Ends().end(), {down[1], up[0]});
        requests_ = fdopen(down[1], "w");
        answers_ = fdopen(up[0], "r");
    }
    ~Korvane() { Quit(); }

    std::string Ask(const std::string& request) {
        std::fprintf(requests_, "%s\n", request.c_str());
        std::fflush(requests_);
        char line[256] = {};
        return std::fgets(line, sizeof line, answers_) ? toolkit::Trim(line) : "(parti)";
    }
    // The process ends, and its lock with it.
    void Quit() {
        if (pid_ <= 0) return;
        std::erase_if(Ends(),
                      [&](int fd) { return fd == fileno(requests_) || fd == fileno(answers_); });
        std::fclose(requests_);
        std::fclose(answers_);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    static std::vector<int>& Ends() {
        static std::vector<int> ends;
        return ends;
    }

    static void Serve(const std::string& dir, FILE* in, FILE* out) {
        korvane::HistoryKeeper history(dir, [dir] { return korvane::TakeFolderLead(dir).Ours(); });
        korvane::DailyTrigger trigger;
        const korvane::Schedules plan{{"pc1", 7 * 60 + 55, 0}};
        char line[256];
        while (std::fgets(line, sizeof line, in) != nullptr) {
            std::istringstream request(line);
            std::string what, answer;
            std::int64_t a = 0, b = 0;
            request >> what >> a >> b;
            const korvane::LocalMinute now{static_cast<int>(a), static_cast<int>(b)};
            try {
                if (what == "debut") history.Start(a);
                if (what == "arret") history.Stop(a);
                if (what == "releve") history.Observe(a, {{"pc1", b == 1}});
                if (what == "ouverture") trigger.Tick(now, {});
                if (what == "minute" && !korvane::TakeFolderLead(dir).Ours()) answer = "ailleurs";
                if (what == "minute" && answer.empty()) {
                    for (const auto& due : korvane::LookAtPlan(trigger, dir, now, plan).due)
                        answer += due.name + " ";
                }
            } catch (const toolkit::FileError& error) {
                answer = error.what();
            }
            std::fprintf(out, "%s\n", answer.c_str());
            std::fflush(out);
        }
    }

    pid_t pid_ = -1;
    FILE* requests_ = nullptr;
    FILE* answers_ = nullptr;
};

std::string At(const char* what, std::int64_t hours, int up = 0) {
    return std::string(what) + " " + std::to_string(kMonday + hours * kHour) + " " +
           std::to_string(up);
}

// A leads from 0:00; B opens and closes meanwhile, then C, which takes over
// once A has closed at 5:00. pc1 is on all along, unwatched from 5:00 until
// C's next poll at 6:00.
TEST(FolderLead, OnlyTheLeadWritesTheHistoryAndTheNextOneTakesOverWhole) {
    testing_support::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    Korvane a(dir);
    a.Ask(At("debut", 0));
    a.Ask(At("releve", 0, 1));
    {
        Korvane b(dir);
        b.Ask(At("debut", 1));
        b.Ask(At("releve", 1, 1));
        b.Ask(At("arret", 2));
    }
    Korvane c(dir);
    for (const std::string& step : {At("debut", 3), At("releve", 3, 1)}) c.Ask(step);
    for (const std::string& step : {At("releve", 4, 1), At("arret", 5)}) a.Ask(step);
    a.Quit();
    for (const std::string& step : {At("releve", 6, 1), At("releve", 7, 1)}) c.Ask(step);

    const std::vector<StateChange> history = korvane::LoadHistory(dir);
    EXPECT_EQ(history, (std::vector<StateChange>{{kMonday, "*", '?'},
                                                 {kMonday, "pc1", '1'},
                                                 {kMonday + 5 * kHour, "*", '?'},
                                                 {kMonday + 6 * kHour, "pc1", '1'}}));
    EXPECT_EQ(
        korvane::HoursOn(history, "pc1", {kMonday, kMonday + 24 * kHour}, kMonday + 8 * kHour),
        std::vector<double>{7.0});
}

// A runs the 7:55 wake-up and closes within that minute; B, open since 7:53,
// takes the plan over in the same minute and does not run it again. The
// next day it runs, once.
TEST(FolderLead, AnActionRunByTheLeadIsNotRunAgainByTheNextOne) {
    testing_support::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    Korvane a(dir);
    Korvane b(dir);
    a.Ask("ouverture 20794 470");
    b.Ask("ouverture 20794 473");
    EXPECT_EQ(a.Ask("minute 20794 474"), "");
    EXPECT_EQ(b.Ask("minute 20794 474"), "ailleurs");
    EXPECT_EQ(a.Ask("minute 20794 475"), "pc1");
    a.Quit();
    for (const auto& [look, due] : std::vector<std::pair<std::string, std::string>>{
             {"minute 20794 475", ""},
             {"minute 20794 476", ""},
             {"minute 20795 474", ""},
             {"minute 20795 475", "pc1"},
             {"minute 20795 475", ""},
         }) {
        EXPECT_EQ(b.Ask(look), due) << look;
    }
}

// The lock file deleted, or another file put in its place, while A leads:
// the first to look takes the new file, and the other gives way, so that
// one Korvane leads at any time.
TEST(FolderLead, ALockFileDeletedOrReplacedPassesTheLeadOnAndNeverToTwo) {
    testing_support::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    const std::string lock = dir + korvane::kLeadLockFile;
    Korvane a(dir);
    Korvane b(dir);
    const std::string look = "minute 20794 400";  // nothing due then
    ASSERT_EQ(a.Ask(look), "");
    ASSERT_EQ(b.Ask(look), "ailleurs");
    std::remove(lock.c_str());
    EXPECT_EQ(b.Ask(look), "");
    EXPECT_EQ(a.Ask(look), "ailleurs");
    EXPECT_EQ(b.Ask(look), "");
    testing_support::WriteBytes(dir + "autre", "");
    ASSERT_EQ(std::rename((dir + "autre").c_str(), lock.c_str()), 0);
    EXPECT_EQ(a.Ask(look), "");
    EXPECT_EQ(b.Ask(look), "ailleurs");
    EXPECT_EQ(a.Ask(look), "");
}

// A lock file that no Korvane can take is no other Korvane's lead: it is
// told, naming the file, the cause and the remedy; nothing is written
// through it, and what a link leads to is left as it was.
TEST(FolderLead, ALockFileThatCannotBeTakenIsToldApartFromAnotherLead) {
    struct Case {
        const char* kind;
        std::function<void(const std::string& lock, const std::string& dir)> make;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"folder", [](const std::string& lock, const std::string&) { mkdir(lock.c_str(), 0755); },
         "c'est un dossier, pas un fichier ordinaire"},
        {"link",
         [](const std::string& lock, const std::string& dir) {
             testing_support::WriteBytes(dir + "cible", "garde");
             symlink((dir + "cible").c_str(), lock.c_str());
         },
         "c'est un lien symbolique, pas un fichier ordinaire"},
        {"dangling link",
         [](const std::string& lock, const std::string& dir) {
             symlink((dir + "absent").c_str(), lock.c_str());
         },
         "c'est un lien symbolique, pas un fichier ordinaire"},
        {"fifo", [](const std::string& lock, const std::string&) { mkfifo(lock.c_str(), 0600); },
         "c'est un tube nommé, pas un fichier ordinaire"},
        {"another user's file",
         [](const std::string& lock, const std::string&) {
             testing_support::WriteBytes(lock, "");
             if (chown(lock.c_str(), geteuid() + 1, getegid()) != 0) std::perror("chown");
         },
         "il appartient à un autre utilisateur"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        testing_support::TempFolder folder;
        const std::string dir = folder.Path() + "/";
        const std::string lock = dir + korvane::kLeadLockFile;
        c.make(lock, dir);
        const korvane::FolderLead lead = korvane::TakeFolderLead(dir);
        EXPECT_EQ(lead.lead, korvane::Lead::Unavailable);
        EXPECT_EQ(lead.problem, "Le verrou « " + lock + " » ne peut pas être pris : " + c.reason +
                                    ". Tant qu'il reste ainsi, aucun Korvane de ce dossier ne "
                                    "lance les actions planifiées ni ne tient l'historique : "
                                    "supprimez-le, ou remplacez-le par un fichier ordinaire qui "
                                    "vous appartient.");
        korvane::HistoryKeeper history(dir, [dir] { return korvane::TakeFolderLead(dir).Ours(); });
        history.Start(kMonday);
        history.Observe(kMonday, {{"pc1", true}});
        EXPECT_FALSE(std::filesystem::exists(dir + korvane::kHistoryFile));
        EXPECT_FALSE(std::filesystem::exists(dir + "absent"));
        if (std::filesystem::exists(dir + "cible")) {
            EXPECT_EQ(testing_support::ReadBytes(dir + "cible"), "garde");
        }
    }
}

}  // namespace
