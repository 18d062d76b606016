// Two Korvanes sharing a program folder, each in a process of its own, as a
// window opened beside "korvane --planificateur": the lead writes the history
// and runs the plan, the other does neither; when the lead goes, the other
// takes over without cutting the history short nor running an action of the
// day a second time.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <tuple>

#include "korvane/core/folderlead.h"
#include "korvane/core/history.h"
#include "korvane/core/schedule.h"
#include "test_folder.h"

namespace {

using korvane::StateChange;

constexpr std::int64_t kHour = 3600;
// 2026-12-07T00:00:00Z
constexpr std::int64_t kMonday = 1796601600;
const korvane::Schedules kPlan{{"pc1", 7 * 60 + 55, 0}};

// The history and the plan of one Korvane, in a child process that does what
// each request line says and answers a line:
//   "debut T" / "arret T"  its start and its close (seconds);
//   "releve T 0|1"         a poll that sees pc1 off or on;
//   "ouverture J M"        the plan's first look, at its start (local day J,
//                          minute M), which only marks the start;
//   "minute J M"           a look at the plan: the names due, or "ailleurs"
//                          when it does not lead.
class Korvane {
  public:
    explicit Korvane(const std::string& dir) {
        int toChild[2], fromChild[2];
        if (pipe(toChild) != 0 || pipe(fromChild) != 0) ADD_FAILURE() << "pipe";
        pid_ = fork();
        if (pid_ == 0) {
            // The other Korvanes' pipes stay the parent's alone: a copy here
            // would keep them from seeing their end.
            for (const int fd : ParentEnds()) close(fd);
            close(toChild[1]);
            close(fromChild[0]);
            Serve(dir, fdopen(toChild[0], "r"), fdopen(fromChild[1], "w"));
            _exit(0);
        }
        close(toChild[0]);
        close(fromChild[1]);
        requests_ = fdopen(toChild[1], "w");
        answers_ = fdopen(fromChild[0], "r");
        ParentEnds().insert(ParentEnds().end(), {toChild[1], fromChild[0]});
    }
    ~Korvane() { Quit(); }

    std::string Ask(const std::string& request) {
        std::fprintf(requests_, "%s\n", request.c_str());
        std::fflush(requests_);
        char line[256] = {};
        if (std::fgets(line, sizeof line, answers_) == nullptr) return "(parti)";
        return toolkit::Trim(line);
    }
    // The process ends, and its lock with it.
    void Quit() {
        if (pid_ <= 0) return;
        std::erase_if(ParentEnds(), [this](int fd) {
            return fd == fileno(requests_) || fd == fileno(answers_);
        });
        std::fclose(requests_);
        std::fclose(answers_);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    static std::vector<int>& ParentEnds() {
        static std::vector<int> ends;
        return ends;
    }

    static void Serve(const std::string& dir, FILE* in, FILE* out) {
        korvane::HistoryKeeper history(dir, [dir] { return korvane::TakeFolderLead(dir); });
        korvane::DailyTrigger trigger;
        char line[256];
        while (std::fgets(line, sizeof line, in) != nullptr) {
            std::fprintf(out, "%s\n", Handle(line, dir, history, trigger).c_str());
            std::fflush(out);
        }
    }

    static std::string Handle(const std::string& line, const std::string& dir,
                              korvane::HistoryKeeper& history, korvane::DailyTrigger& trigger) try {
        std::istringstream request(line);
        std::string what, answer = "ok";
        std::int64_t time = 0;
        request >> what >> time;
        if (what == "debut") history.Start(time);
        if (what == "arret") history.Stop(time);
        if (what == "releve") {
            int up = 0;
            request >> up;
            history.Observe(time, {{"pc1", up == 1}});
        }
        int minute = 0;
        request >> minute;
        const korvane::LocalMinute now{static_cast<int>(time), minute};
        if (what == "ouverture") trigger.Tick(now, {});
        if (what == "minute") {
            if (!korvane::TakeFolderLead(dir)) {
                answer = "ailleurs";
            } else {
                answer.clear();
                for (const auto& due : korvane::LookAtPlan(trigger, dir, now, kPlan).due)
                    answer += due.name + " ";
            }
        }
        return answer;
    } catch (const toolkit::FileError& error) {
        return std::string("erreur : ") + error.what();
    }

    pid_t pid_ = -1;
    FILE* requests_ = nullptr;
    FILE* answers_ = nullptr;
};

std::string Hours(std::int64_t hours) {
    return std::to_string(kMonday + hours * kHour);
}

// A on from its start; B opened and closed meanwhile, then C, which takes
// over once A has closed. pc1 is on all along, but not watched between A's
// close (5:00) and C's next poll (6:00).
TEST(FolderLead, OnlyTheLeadWritesTheHistoryAndTheNextOneTakesOverWhole) {
    testing_support::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    Korvane a(dir);
    a.Ask("debut " + Hours(0));
    a.Ask("releve " + Hours(0) + " 1");
    {
        Korvane b(dir);
        b.Ask("debut " + Hours(1));
        b.Ask("releve " + Hours(1) + " 1");
        b.Ask("arret " + Hours(2));
    }
    Korvane c(dir);
    c.Ask("debut " + Hours(3));
    c.Ask("releve " + Hours(3) + " 1");
    a.Ask("releve " + Hours(4) + " 1");
    a.Ask("arret " + Hours(5));
    a.Quit();
    c.Ask("releve " + Hours(6) + " 1");
    c.Ask("releve " + Hours(7) + " 1");

    const std::vector<StateChange> history = korvane::LoadHistory(dir);
    EXPECT_EQ(history, (std::vector<StateChange>{{kMonday, "*", '?'},
                                                 {kMonday, "pc1", '1'},
                                                 {kMonday + 5 * kHour, "*", '?'},
                                                 {kMonday + 6 * kHour, "pc1", '1'}}));
    EXPECT_EQ(
        korvane::HoursOn(history, "pc1", {kMonday, kMonday + 24 * kHour}, kMonday + 8 * kHour),
        std::vector<double>{7.0});
}

// A ran the 7:55 wake-up and closed within that minute; B, waiting, takes
// the plan over in the same minute and does not run it again. The next day
// it runs, once.
TEST(FolderLead, AnActionRunByTheLeadIsNotRunAgainByTheNextOne) {
    testing_support::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    constexpr int kDay = 20794;
    const std::string today = std::to_string(kDay);
    Korvane a(dir);
    Korvane b(dir);
    a.Ask("ouverture " + today + " 470");
    b.Ask("ouverture " + today + " 473");
    EXPECT_EQ(a.Ask("minute " + today + " 474"), "");
    EXPECT_EQ(b.Ask("minute " + today + " 474"), "ailleurs");
    EXPECT_EQ(a.Ask("minute " + today + " 475"), "pc1");
    a.Quit();
    for (const auto& [day, minute, due] : std::vector<std::tuple<int, int, std::string>>{
             {kDay, 475, ""},
             {kDay, 476, ""},
             {kDay + 1, 474, ""},
             {kDay + 1, 475, "pc1"},
             {kDay + 1, 475, ""},
         }) {
        EXPECT_EQ(b.Ask("minute " + std::to_string(day) + " " + std::to_string(minute)), due)
            << day << " " << minute;
    }
}

}  // namespace
