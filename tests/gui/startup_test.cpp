// Korvane coming up and going down in a program folder of its own.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <csignal>
#include <filesystem>

#include "korvane/core/KrvVar.h"
#include "program_folder.h"

namespace {

namespace fs = std::filesystem;
using gui_testing::ProgramFolder;

const char* const kStartFiles[] = {"liste.mac",   "liste.ip", "liste.patch", "liste.ip.discover",
                                   "liste.known", "krv.ini",  "localGM"};

TEST(KorvaneStart, EmptyFolderGetsItsSevenFilesAndDefaultGeometry) {
    ProgramFolder folder;
    korvane::TForm1& form = folder.Start();
    for (const char* file : kStartFiles) {
        ASSERT_TRUE(fs::exists(folder / file)) << file;
        EXPECT_EQ(fs::file_size(folder / file), 0u) << file;
    }
    form.show();
    EXPECT_EQ(form.pos(), QPoint(100, 100));
    EXPECT_EQ(form.height(), 300);
    EXPECT_EQ(form.width(), 480);
    EXPECT_EQ(form.windowTitle().toStdString(),
              "Korvane 1.0  - Gestion des alimentations en énergie des ordinateurs");
    EXPECT_EQ(form.LastEntry, -1);
    // Without a poll list yet, the first poll reads the inventory itself.
    EXPECT_NE(testing_support::ReadBytes(folder.Scratch() + "ping0.sh").find("'localGM'"),
              std::string::npos);
    EXPECT_TRUE(folder.Messages().isEmpty());

    folder.Stop();
    EXPECT_EQ(folder.Read("krv.ini"),
              (toolkit::TextList{"pdc=", "esu=", "left=100", "top=100", "height=300", "nbyrow=3"}));
    EXPECT_TRUE(folder.Read("settings.ini").empty());
}

TEST(KorvaneStart, ExitWritesThreeLinesPerEntryAndDropsForeignSettings) {
    ProgramFolder folder;
    folder.Write("localGM", {"pc1", "bureau"});
    folder.Write("krv.ini", {"ip=10.0.0.0", "pdc=\\\\SRV", "esu=x", "masque=255.255.255.0"});
    folder.Start().show();
    folder.Stop();
    EXPECT_EQ(folder.Read("settings.ini"),
              (toolkit::TextList{"pc1", "bof", "bof", "bureau", "bof", "bof"}));
    EXPECT_EQ(folder.Read("krv.ini"), (toolkit::TextList{"pdc=\\\\SRV", "esu=x", "left=100",
                                                         "top=100", "height=300", "nbyrow=3"}));
}

TEST(KorvaneStart, GeometryChangedByTheUserComesBackAtTheNextStart) {
    ProgramFolder folder;
    korvane::TForm1& form = folder.Start();
    form.show();
    form.move(150, 160);
    form.resize(form.width(), 420);
    EXPECT_EQ(korvane::Krv().settings.height, 420);  // every resize keeps the height at once
    folder.Stop();
    EXPECT_EQ(folder.Read("krv.ini")[2], "left=150");
    EXPECT_EQ(folder.Read("krv.ini")[4], "height=420");

    korvane::TForm1& again = folder.Start();
    again.show();
    EXPECT_EQ(again.pos(), QPoint(150, 160));
    EXPECT_EQ(again.height(), 420);
    // The width always follows the number of entries per row.
    again.resize(900, again.height());
    again.Redraw_network();
    EXPECT_EQ(again.width(), 480);
}

// "Quitter" and the close box both end the message loop; a loop still
// running after 5 s ends with 1.
TEST(KorvaneStart, QuitterAndTheCloseBoxEndTheMessageLoop) {
    ProgramFolder folder;
    korvane::TForm1& form = folder.Start();
    form.show();
    QTimer guard;  // gone with the test, so it cannot end a later loop
    guard.setInterval(5000);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start();
    QTimer::singleShot(0, &form, [&form] {
        form.MainMenu1->findChild<QAction*>(QStringLiteral("Quitter1"))->trigger();
    });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    form.show();
    QTimer::singleShot(0, &form, [&form] { form.close(); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(form.Panel1->width(), form.width() - 8);
}

TEST(KorvaneStart, SecondStartPollsTheSavedPollList) {
    ProgramFolder folder;
    folder.Write("localGM", {"pc1"});
    folder.Start();
    folder.Form().TimerRedrawTimer();  // the 10-second tick writes localIP
    folder.Stop();
    ASSERT_TRUE(fs::exists(folder / "localIP"));
    fs::remove_all(folder.Scratch());
    folder.Start();
    EXPECT_NE(testing_support::ReadBytes(folder.Scratch() + "ping0.sh").find("'localIP'"),
              std::string::npos);
}

// A run killed during a save or with polls under way leaves temporaries and
// slot files; the next start removes them, but not the temporary of a writer
// still at work (netsweep writing a list) nor files of others.
TEST(KorvaneStart, LeftoversOfAKilledRunGoAtTheNextStart) {
    ProgramFolder folder;
    const std::string gone = std::to_string(testing_support::GonePid());
    const std::string live = std::to_string(getpid());
    fs::create_directory(folder.Scratch());
    fs::permissions(folder.Scratch(), fs::perms::owner_all);
    const std::vector<std::string> stale = {folder / (".krv.ini.tmp-" + gone + "-0"),
                                            folder / (".etats.tmp-" + gone + "-3"),
                                            folder.Scratch() + ".ping7.txt.tmp-" + gone + "-0",
                                            folder.Scratch() + "7.mark",
                                            folder.Scratch() + "ping7.sh",
                                            folder.Scratch() + "ping7.txt",
                                            folder.Scratch() + "ping7.err"};
    const std::vector<std::string> kept = {folder / (".liste.ip.tmp-" + live + "-0"),
                                           folder / "notes.txt", folder.Scratch() + "notes.txt"};
    for (const auto& path : stale) testing_support::WriteBytes(path, "x");
    for (const auto& path : kept) testing_support::WriteBytes(path, "x");
    fs::permissions(folder.Scratch() + "7.mark", fs::perms::owner_read);  // its run was killed
    folder.Start();
    for (const auto& path : stale) EXPECT_FALSE(fs::exists(path)) << path;
    for (const auto& path : kept) EXPECT_TRUE(fs::exists(path)) << path;
}

// Values no screen can show: 2^31 pixels high, a hundred thousand cells per
// row, a place on a monitor unplugged since. The window comes up on the
// screen, 32 cells wide at most, and that is what the next start finds.
TEST(KorvaneStart, SettingsBeyondTheScreenAreBroughtBack) {
    ProgramFolder folder;
    folder.Write("krv.ini", {"nbyrow=100000", "height=2147483647", "left=100000", "top=-5000"});
    korvane::TForm1& form = folder.Start();
    form.show();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(form.width(), 32 * 160);
    EXPECT_LE(form.height(), screen.height());
    EXPECT_TRUE(screen.contains(form.pos())) << form.pos().x() << "," << form.pos().y();
    folder.Stop();
    const toolkit::TextList saved = folder.Read("krv.ini");
    ASSERT_EQ(saved.size(), 6u);
    EXPECT_EQ(saved[5], "nbyrow=32");
    EXPECT_EQ(saved[4], "height=" + std::to_string(screen.height()));
}

TEST(KorvaneStart, MissingBitmapIsNamedAndStandInKeepsItsWidth) {
    ProgramFolder folder;
    fs::remove(folder / "ecran-on.bmp");
    fs::remove(folder / "neufbox_off.bmp");
    korvane::TForm1& form = folder.Start();
    const std::string status = form.StatusMain->currentMessage().toStdString();
    EXPECT_NE(status.find("ecran-on.bmp"), std::string::npos);
    EXPECT_NE(status.find("neufbox_off.bmp"), std::string::npos);
    EXPECT_EQ(form.ScreenOn.width(), 67);
    EXPECT_EQ(form.BoxOff.width(), 69);
    EXPECT_EQ(form.routeur->GlyphWidth(), 69);
}

TEST(KorvaneStart, UnusableScratchFolderIsReportedAndNothingBreaks) {
    ProgramFolder folder;
    fs::create_directory(folder / "ailleurs");
    fs::create_directory_symlink(folder / "ailleurs", fs::path(folder.Scratch()).parent_path());
    folder.Write("localGM", {"pc1"});
    folder.Write("liste.ip", {"pc1 10.0.0.5"});
    korvane::TForm1& form = folder.Start();
    ASSERT_EQ(folder.Messages().size(), 1);
    EXPECT_TRUE(folder.Messages()[0].startsWith(QStringLiteral("Paramètres réseau illisibles")));
    EXPECT_TRUE(form.StatusMain->currentMessage().startsWith(
        QStringLiteral("Relevé des ordinateurs impossible")));
    EXPECT_EQ(korvane::Krv().PingSlot, 0);
    form.TimerRedrawTimer();
    EXPECT_EQ(korvane::Krv().PingSlot, 0);
    ASSERT_NE(form.EntryButtons.at(0), nullptr);
    folder.Stop();
    EXPECT_TRUE(fs::is_empty(folder / "ailleurs"));
    EXPECT_EQ(folder.Read("krv.ini").size(), 6u);
}

TEST(KorvaneStart, FilesByBareNameAndInTheProgramFolderAreTheSame) {
    ProgramFolder folder;
    fs::current_path("/");
    folder.Write("liste.ip", {"pc1 10.0.0.5"});
    folder.Start();
    EXPECT_EQ(fs::current_path(), fs::path(folder.Dir()).parent_path());
    EXPECT_EQ(korvane::Krv().IpList, (toolkit::TextList{"pc1 10.0.0.5"}));
    EXPECT_FALSE(fs::exists("/liste.mac"));
}

// As root no permission stops a write, so the disk is made "full" for this
// process alone with a zero file-size limit.
class FileSizeLimit {
  public:
    FileSizeLimit() {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit none{0, old_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &none);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST(KorvaneExit, UnwritableSettingsKeepTheOldFileAndSaySo) {
    ProgramFolder folder;
    folder.Write("krv.ini", {"pdc=SRV", "nbyrow=4", "ip=10.0.0.0"});
    folder.Start().show();
    {
        FileSizeLimit full;
        folder.Stop();
    }
    EXPECT_EQ(folder.Read("krv.ini"), (toolkit::TextList{"pdc=SRV", "nbyrow=4", "ip=10.0.0.0"}));
    ASSERT_EQ(folder.Messages().size(), 1);
    EXPECT_TRUE(folder.Messages()[0].contains(QStringLiteral("n'ont pas été enregistrés")));
    EXPECT_TRUE(folder.Messages()[0].contains(QStringLiteral("krv.ini")));
}

TEST(KorvaneExit, CleansSlotFilesButKeepsRunningMarkersAndOtherFiles) {
    ProgramFolder folder;
    folder.Start();
    const std::string scratch = folder.Scratch();
    for (const char* name :
         {"7.mark", "ping7.txt", "ping7.sh", "ping7.bat", "notes.txt", "12.mark", "ping300.txt"}) {
        testing_support::WriteBytes(scratch + name, "x");
    }
    fs::permissions(scratch + "7.mark", fs::perms::owner_read);
    folder.Stop();
    EXPECT_TRUE(fs::exists(scratch + "7.mark"));
    EXPECT_TRUE(fs::exists(scratch + "notes.txt"));
    EXPECT_TRUE(fs::exists(scratch + "ping300.txt"));
    EXPECT_TRUE(fs::exists(scratch + "ipconfig.txt"));
    for (const char* gone : {"ping7.txt", "ping7.sh", "ping7.bat", "12.mark"}) {
        EXPECT_FALSE(fs::exists(scratch + gone)) << gone;
    }
}

TEST(KorvaneWindow, MenusAndPanelCarryTheirFrenchTexts) {
    ProgramFolder folder;
    korvane::TForm1& form = folder.Start();
    QStringList menus;
    for (QAction* action : form.MainMenu1->actions()) menus << action->text();
    EXPECT_EQ(menus, (QStringList{"Fichier", "Edition", "Ordinateurs", "Rapports", "Aide"}));
    QStringList entries;
    for (QAction* menu : form.MainMenu1->actions()) {
        for (QAction* entry : menu->menu()->actions()) entries << entry->text();
    }
    EXPECT_EQ(entries,
              (QStringList{"Quitter", "Préférences", "Ajouter un ordinateur",
                           "Ne jamais éteindre...", "Incidents WOL", "Incidents shutdown",
                           "Liste machines", "Console", "Consommation électrique", "A propos"}));
    QStringList popup;
    for (QAction* entry : form.popupGM->actions()) popup << entry->text();
    EXPECT_EQ(popup, (QStringList{"Commentaire", "Renommer", "Consommation électrique"}));
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Scan en cours..."));
    EXPECT_EQ(form.Label2->text(), QStringLiteral("Refresh : "));
    EXPECT_TRUE(gui_testing::SamePicture(form.scan_led->pixmap(), form.LedGrey));
    EXPECT_FALSE(form.console->isVisible());
    EXPECT_EQ(form.Timer1->interval(), 60000);
    EXPECT_EQ(form.TimerRedraw->interval(), 10000);
    EXPECT_TRUE(form.Timer1->isActive() && form.TimerRedraw->isActive());
}

}  // namespace
