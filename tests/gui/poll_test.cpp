// The polling driven by the real window and real scripts. hostping is a
// stand-in here that answers from a file, so no packet is sent; the lab tests
// run the real one.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>
#include <filesystem>

#include "korvane/core/KrvVar.h"
#include "program_folder.h"

namespace {

namespace fs = std::filesystem;
using gui_testing::ProgramFolder;
using gui_testing::SamePicture;
using gui_testing::WaitFor;

// The program folder made read-only for this process (gui_main gave it mount
// namespace of its own), its scratch folder left writable. The current
// folder is entered again, so that bare names meet the read-only mount too.
class ReadOnlyProgramFolder {
  public:
    explicit ReadOnlyProgramFolder(const ProgramFolder& folder)
        : dir_(folder.Dir()), scratch_(folder.Scratch()) {
        ownMounts_ = gui_testing::HasPrivateMounts();
        if (!ownMounts_) {
            ADD_FAILURE() << "no private mount namespace: the folder stays writable";
            return;
        }
        const bool mounted =
            mount(scratch_.c_str(), scratch_.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
            mount(dir_.c_str(), dir_.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0 &&
            mount(nullptr, dir_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
        EXPECT_TRUE(mounted) << "mount: " << std::strerror(errno);
        EXPECT_EQ(chdir(dir_.c_str()), 0);
    }
    ~ReadOnlyProgramFolder() {
        if (!ownMounts_) return;
        umount2(dir_.c_str(), MNT_DETACH);
        umount2(scratch_.c_str(), MNT_DETACH);
        EXPECT_EQ(chdir(dir_.c_str()), 0);
    }
    ReadOnlyProgramFolder(const ReadOnlyProgramFolder&) = delete;
    ReadOnlyProgramFolder& operator=(const ReadOnlyProgramFolder&) = delete;

  private:
    std::string dir_;
    std::string scratch_;
    bool ownMounts_ = false;
};

// Every message the status bar shows, in order.
class StatusMessages {
  public:
    explicit StatusMessages(QStatusBar* bar) {
        QObject::connect(bar, &QStatusBar::messageChanged, &context_, [this](const QString& text) {
            if (!text.isEmpty()) shown_.append(text);
        });
    }
    const QStringList& Shown() const { return shown_; }

  private:
    QStringList shown_;
    QObject context_;  // destroyed first: the connection goes with it
};

class PollTest : public testing::Test {
  protected:
    void SetUp() override {
        // Copies the prepared answers to the result file, as the real one
        // writes it: whole, at the end.
        folder.InstallScript("hostping",
                             "dir=$(dirname \"$0\"); cat \"$dir/answers\" > \"$2.part\"; "
                             "mv \"$2.part\" \"$2\"; echo \"$1\" >> \"$dir/lists\"");
        folder.Write("answers", {});
        folder.Write("localGM", {"pc1", "pc2", "pc3"});
        folder.Write("liste.ip", {"pc1 10.0.0.5", "pc3 10.0.0.7"});
        folder.Write("krv.ini", {});
    }
    korvane::TForm1& Start() {
        korvane::TForm1& form = folder.Start();
        form.Timer1->stop();
        form.TimerRedraw->stop();
        WaitUntilCollected();  // the start's own poll
        return form;
    }
    bool Pending() const { return gui_testing::HasPendingRequests(folder.Form()); }
    void WaitUntilCollected() {
        ASSERT_TRUE(WaitFor([this] { return !Pending(); }));
    }
    int Glyph(int entry) const { return folder.Form().EntryButtons.at(entry)->GlyphWidth(); }

    ProgramFolder folder;
};

TEST_F(PollTest, PollListHoldsAddressesOrNamesInInventoryOrder) {
    korvane::TForm1& form = Start();
    form.TimerRedrawTimer();
    EXPECT_EQ(folder.Read("localIP"), (toolkit::TextList{"10.0.0.5", "pc2", "10.0.0.7"}));
    WaitUntilCollected();
    EXPECT_EQ(folder.Read("lists"), (toolkit::TextList{"localGM", "localIP"}));
}

TEST_F(PollTest, AnswersBecomeEtatsAndTheMapFollows) {
    folder.Write("answers", {"10.0.0.5=1", "pc2=1"});
    korvane::TForm1& form = Start();
    EXPECT_EQ(folder.Read("etats"), (toolkit::TextList{"10.0.0.5=1", "pc2=1"}));
    EXPECT_EQ(Glyph(0), 67);
    EXPECT_EQ(Glyph(2), 69);
    EXPECT_TRUE(SamePicture(form.ping_led->pixmap(), form.LedGrey));
    EXPECT_EQ(folder.Read("log"), (toolkit::TextList{"timer called for 0"}));
    struct stat log {};
    ASSERT_EQ(stat((folder / "log").c_str(), &log), 0);

    folder.Write("answers", {"10.0.0.7=1"});
    form.TimerRedrawTimer();
    EXPECT_TRUE(SamePicture(form.ping_led->pixmap(), form.LedOrange));
    WaitUntilCollected();
    // The trace is rewritten in place, not replaced by a temporary file.
    struct stat logAgain {};
    ASSERT_EQ(stat((folder / "log").c_str(), &logAgain), 0);
    EXPECT_EQ(logAgain.st_ino, log.st_ino);
    EXPECT_EQ(folder.Read("log"), (toolkit::TextList{"timer called for 1"}));
    EXPECT_EQ(Glyph(0), 69);
    EXPECT_EQ(Glyph(2), 67);
    // A collected slot leaves neither its script nor its result behind.
    EXPECT_FALSE(fs::exists(folder.Scratch() + "ping1.txt"));
    EXPECT_FALSE(fs::exists(folder.Scratch() + "ping1.sh"));
    EXPECT_FALSE(fs::exists(folder.Scratch() + "ping1.err"));
    EXPECT_TRUE(fs::exists(folder.Scratch() + "1.mark"));
}

// The result exists only when hostping completed: an empty one means that
// nobody answered; a missing one says nothing and changes nothing.
TEST_F(PollTest, EmptyResultShowsEveryComputerOffAndAMissingOneChangesNothing) {
    folder.Write("answers", {"pc1=1", "10.0.0.7=1"});
    korvane::TForm1& form = Start();
    ASSERT_EQ(Glyph(0), 67);
    ASSERT_EQ(Glyph(2), 67);
    folder.Write("answers", {});
    form.TimerRedrawTimer();
    WaitUntilCollected();
    EXPECT_EQ(folder.Read("etats"), toolkit::TextList{});
    EXPECT_EQ(Glyph(0), 69);
    EXPECT_EQ(Glyph(2), 69);
    EXPECT_TRUE(SamePicture(form.ping_led->pixmap(), form.LedGrey));

    folder.Write("answers", {"pc1=1"});
    form.TimerRedrawTimer();
    WaitUntilCollected();
    fs::remove(folder / "hostping");
    form.TimerRedrawTimer();
    WaitUntilCollected();
    EXPECT_EQ(folder.Read("etats"), toolkit::TextList{"pc1=1"});
    EXPECT_EQ(Glyph(0), 67);
    EXPECT_TRUE(SamePicture(form.ping_led->pixmap(), form.LedOrange));
}

// hostping that cannot open an ICMP socket writes no result and says why:
// the status bar tells it, once, and the map stays as it was.
TEST_F(PollTest, ProbeThatCannotRunIsToldAndTheMapStays) {
    folder.Write("answers", {"pc1=1"});
    korvane::TForm1& form = Start();
    const std::string reason =
        "hostping : aucune socket ICMP ne peut être ouverte ; vérifiez net.ipv4.ping_group_range";
    folder.InstallScript("hostping", "echo '" + reason + "' >&2; echo 'suite' >&2; exit 3");
    StatusMessages status(form.StatusMain);
    for (int tick = 0; tick < 2; ++tick) {
        form.TimerRedrawTimer();
        WaitUntilCollected();
    }
    EXPECT_EQ(status.Shown(),
              QStringList{QString::fromStdString("Relevé des ordinateurs impossible : " + reason)});
    EXPECT_EQ(folder.Read("etats"), toolkit::TextList{"pc1=1"});
    EXPECT_EQ(Glyph(0), 67);
    EXPECT_TRUE(SamePicture(form.ping_led->pixmap(), form.LedOrange));
    EXPECT_FALSE(fs::exists(folder.Scratch() + "ping1.err"));
    EXPECT_FALSE(fs::exists(folder.Scratch() + "ping2.err"));
}

// With the program folder read-only, localIP and etats cannot be written;
// with liste.ip and liste.mac gone, they cannot be read again. Each cause is
// told once, not at every tick, and its message goes when the cause does.
TEST_F(PollTest, WriteAndReloadFailuresAreToldOncePerCause) {
    folder.Write("answers", {"pc1=1"});
    folder.Write("liste.mac", {"pc1 02-00-00-00-00-05"});
    korvane::TForm1& form = Start();
    StatusMessages status(form.StatusMain);
    {
        ReadOnlyProgramFolder readOnly(folder);
        for (int tick = 0; tick < 3; ++tick) {
            form.TimerRedrawTimer();
            WaitUntilCollected();
        }
    }
    ASSERT_EQ(status.Shown().size(), 2) << status.Shown().join('\n').toStdString();
    EXPECT_TRUE(status.Shown()[0].startsWith(QStringLiteral("Liste du relevé non enregistrée")));
    EXPECT_TRUE(status.Shown()[0].contains(QStringLiteral("localIP")));
    EXPECT_TRUE(
        status.Shown()[1].startsWith(QStringLiteral("État des ordinateurs non enregistré")));
    EXPECT_TRUE(status.Shown()[1].contains(QStringLiteral("lecture seule")));
    form.TimerRedrawTimer();
    WaitUntilCollected();
    EXPECT_TRUE(form.StatusMain->currentMessage().isEmpty());

    fs::remove(folder / "liste.ip");
    fs::remove(folder / "liste.mac");
    for (int tick = 0; tick < 3; ++tick) form.TimerRedrawTimer();
    WaitUntilCollected();
    ASSERT_EQ(status.Shown().size(), 4);
    EXPECT_TRUE(status.Shown()[2].contains(QStringLiteral("« liste.ip »")));
    EXPECT_TRUE(status.Shown()[3].contains(QStringLiteral("« liste.mac »")));
    EXPECT_EQ(korvane::Krv().IpList, (toolkit::TextList{"pc1 10.0.0.5", "pc3 10.0.0.7"}));
}

// A history that cannot be written is told once, in the status bar and the
// console, from the start on; the polls go on.
TEST_F(PollTest, AHistoryThatCannotBeWrittenIsToldOnce) {
    fs::create_directory(folder / "historique.etats");
    folder.Write("answers", {"pc1=1"});
    korvane::TForm1& form = Start();
    EXPECT_TRUE(
        form.StatusMain->currentMessage().startsWith(QStringLiteral("Historique des états : ")));
    for (int tick = 0; tick < 2; ++tick) {
        form.TimerRedrawTimer();
        WaitUntilCollected();
    }
    EXPECT_EQ(gui_testing::ConsoleLines(form, QStringLiteral("Historique des états : ")), 1);
    EXPECT_EQ(folder.Read("etats"), toolkit::TextList{"pc1=1"});
}

TEST_F(PollTest, MissingProbeProgramEndsTheRequestWithoutChange) {
    fs::remove(folder / "hostping");
    korvane::TForm1& form = Start();
    EXPECT_FALSE(fs::exists(folder / "etats"));
    EXPECT_TRUE(SamePicture(form.ping_led->pixmap(), form.LedOrange));
}

TEST_F(PollTest, OtherGroupIsNeverPolled) {
    korvane::TForm1& form = Start();
    const auto slot = korvane::Krv().PingSlot;
    const std::size_t files = std::distance(fs::directory_iterator(folder.Scratch()), {});
    form.ExecPING_GM("Autres", [&](korvane::TTimer* timer) { form.ReadPING_GM(timer); });
    EXPECT_EQ(korvane::Krv().PingSlot, slot);
    EXPECT_FALSE(Pending());
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Scratch()), {}),
              static_cast<std::ptrdiff_t>(files));
    // The comparison respects case: "autres" is polled.
    form.ExecPING_GM("autres", [&](korvane::TTimer* timer) { form.ReadPING_GM(timer); });
    EXPECT_EQ(korvane::Krv().PingSlot, slot + 1);
}

TEST_F(PollTest, TheSlotCounterWrapsAndAReusedSlotFreesItsOldTimer) {
    fs::remove(folder / "hostping");  // requests stay cheap; none is collected below
    korvane::TForm1& form = Start();
    const auto ignore = [](korvane::TTimer*) {};  // never collects: every timer stays
    for (int request = 1; request < 256; ++request) form.ExecPING_GM("localIP", ignore);
    ASSERT_EQ(korvane::Krv().PingSlot, 0);
    korvane::TTimer* old = form.PingTimers[0];
    EXPECT_EQ(old, nullptr);              // the start's own poll was collected
    form.ExecPING_GM("localIP", ignore);  // the 257th request
    EXPECT_EQ(korvane::Krv().PingSlot, 1);
    ASSERT_NE(form.PingTimers[0], nullptr);
    EXPECT_EQ(form.PingTimers[0]->Tag, 0);
    QPointer<korvane::TTimer> first = form.PingTimers[1];
    form.ExecPING_GM("localIP", ignore);  // slot 1 again: its old timer goes
    ASSERT_NE(form.PingTimers[1], nullptr);
    EXPECT_NE(form.PingTimers[1], first.data());
    EXPECT_FALSE(first->isActive());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_FALSE(fs::exists(folder.Scratch() + "256.mark"));
    EXPECT_TRUE(fs::exists(folder.Scratch() + "0.mark"));
}

TEST_F(PollTest, ScannerStartsOnTicksOneModuloNineAndAfterTheWrap) {
    folder.InstallScript("netsweep", "echo start >> \"$(dirname \"$0\")/scans\"");
    korvane::TForm1& form = Start();
    ASSERT_TRUE(WaitFor([&] { return fs::exists(folder / "scans"); }));  // at start
    const auto starts = [&] { return folder.Read("scans").size(); };
    form.Timer1Timer();  // tick 0
    form.Timer1Timer();  // tick 1
    EXPECT_TRUE(WaitFor([&] { return starts() == 2; }));
    for (int tick = 2; tick < 10; ++tick) form.Timer1Timer();
    form.Timer1Timer();  // tick 10
    EXPECT_TRUE(WaitFor([&] { return starts() == 3; }));
    korvane::Krv().ScanTick = 253;
    form.Timer1Timer();                                            // 253
    for (int tick = 254; tick <= 256; ++tick) form.Timer1Timer();  // 254, 255, 0
    EXPECT_TRUE(WaitFor([&] { return starts() == 4; }));
    form.Timer1Timer();  // 1 again
    EXPECT_TRUE(WaitFor([&] { return starts() == 5; }));
    WaitFor([] { return false; }, 300);
    EXPECT_EQ(starts(), 5u);
}

TEST_F(PollTest, ScanIndicatorFollowsTheRunMarker) {
    korvane::TForm1& form = Start();
    folder.Write("netsweep.lck", {});
    form.TimerRedrawTimer();
    EXPECT_TRUE(SamePicture(form.scan_led->pixmap(), form.LedGreen));
    fs::remove(folder / "netsweep.lck");
    form.TimerRedrawTimer();
    EXPECT_TRUE(SamePicture(form.scan_led->pixmap(), form.LedGrey));
}

TEST_F(PollTest, TickReloadsTheDiscoveryListsAfterBuildingThePollList) {
    korvane::TForm1& form = Start();
    folder.Write("liste.ip", {"pc2 10.0.0.6"});
    form.TimerRedrawTimer();
    EXPECT_EQ(folder.Read("localIP"), (toolkit::TextList{"10.0.0.5", "pc2", "10.0.0.7"}));
    EXPECT_EQ(korvane::Krv().IpList, (toolkit::TextList{"pc2 10.0.0.6"}));
}

TEST_F(PollTest, HostileHostIsNeverPutIntoACheckScript) {
    korvane::TForm1& form = Start();
    const auto slot = korvane::Krv().PingSlot;
    bool called = false;
    form.ExecPING_host("pc2;touch pwned", [&](korvane::TTimer*) { called = true; });
    EXPECT_EQ(korvane::Krv().PingSlot, slot);
    EXPECT_FALSE(Pending());
    EXPECT_FALSE(fs::exists(folder.Scratch() + "ping" + std::to_string(slot) + ".sh"));
    EXPECT_TRUE(form.console->toPlainText().contains(QStringLiteral("pc2;touch pwned")));
    EXPECT_FALSE(called);
}

}  // namespace
