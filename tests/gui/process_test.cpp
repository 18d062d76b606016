// The korvane program itself: its windows in their order, and the signals of a
// desktop logout or a Ctrl+C ending it as "Quitter" does.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "forms.h"
#include "program_folder.h"
#include "uAddMachines.h"
#include "uBottomdlg.h"
#include "uapropos.h"
#include "ucomingsoon.h"
#include "umachine.h"
#include "uprefs.h"

namespace {

namespace fs = std::filesystem;
using gui_testing::ProgramFolder;

TEST(KorvaneForms, DialogsAreCreatedAfterTheMainWindowWithTheirTitles) {
    ProgramFolder folder;
    folder.Start();
    const korvane::Forms* forms = korvane::Application();
    ASSERT_NE(forms, nullptr);
    EXPECT_EQ(forms->AboutBox()->windowTitle(), QStringLiteral("A propos"));
    EXPECT_EQ(forms->Prefs()->windowTitle(), QStringLiteral("Prefs"));
    EXPECT_EQ(forms->OKBottomDlg()->windowTitle(), QStringLiteral("Dialogue"));
    EXPECT_EQ(forms->machines()->windowTitle(), QStringLiteral("machines"));
    EXPECT_EQ(forms->AddMachine()->windowTitle(), QStringLiteral("Ajouter une machine"));
    EXPECT_EQ(forms->comingsoon()->windowTitle(), QStringLiteral("Oups!"));
    for (const QDialog* dialog : std::initializer_list<const QDialog*>{
             forms->AboutBox(), forms->Prefs(), forms->machines(), forms->AddMachine()}) {
        EXPECT_FALSE(dialog->isVisible());
    }
    folder.Stop();
    EXPECT_EQ(korvane::Application(), nullptr);
}

// Opens a dialog through its menu entry and reads it while it is up.
template <typename Read>
void WhileShown(korvane::TForm1& form, const char* entry, QDialog* dialog, Read read) {
    bool shown = false;
    QTimer::singleShot(0, dialog, [&] {
        shown = dialog->isVisible();
        read();
        dialog->accept();
    });
    form.MainMenu1->findChild<QAction*>(QString::fromLatin1(entry))->trigger();
    EXPECT_TRUE(shown) << entry;
}

TEST(KorvaneForms, AboutEntryShowsItsBox) {
    ProgramFolder folder;
    korvane::TForm1& form = folder.Start();
    korvane::TAboutBox* about = korvane::Application()->AboutBox();
    WhileShown(form, "Apropos1", about, [&] {
        EXPECT_EQ(about->ProductName->text(), QStringLiteral("Korvane"));
        EXPECT_EQ(about->Version->text(), QStringLiteral("V1.0 beta (8/4/2012)"));
        EXPECT_EQ(about->Comments->text(),
                  QStringLiteral("Attention : ceci est une version BETA "));
    });
    QTimer::singleShot(0, about, [about] { about->OKButton->click(); });
    EXPECT_EQ(about->exec(), 1);
}

// With `argument` when given, its standard error to `errors` when given.
pid_t StartKorvane(const ProgramFolder& folder, const char* argument = nullptr,
                   const std::string& errors = "") {
    const std::string program = folder / "korvane";  // offscreen, as this process
    const pid_t pid = fork();
    if (pid == 0) {
        if (!errors.empty()) {
            const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd >= 0) dup2(fd, 2);
        }
        execl(program.c_str(), program.c_str(), argument, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

int WaitForExit(pid_t pid) {
    int status = 0;
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
        usleep(50'000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    ADD_FAILURE() << "korvane did not end";
    return status;
}

class KorvaneProcess : public testing::TestWithParam<int> {};

// The signal ends the program normally, with its six settings saved.
void EndsAsQuitterDoes(pid_t pid, int signal, const ProgramFolder& folder) {
    kill(pid, signal);
    const int status = WaitForExit(pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const toolkit::TextList settings = folder.Read("krv.ini");
    ASSERT_EQ(settings.size(), 6u);
    EXPECT_EQ(settings[0], "pdc=SRV");
    EXPECT_EQ(settings[5], "nbyrow=2");
}

TEST_P(KorvaneProcess, QuitSignalSavesTheSettingsAsQuitterDoes) {
    ProgramFolder folder;
    folder.InstallProgram("korvane");
    folder.Write("localGM", {"pc1", "pc2"});
    folder.Write("krv.ini", {"pdc=SRV", "nbyrow=2", "ip=10.0.0.0"});
    const pid_t pid = StartKorvane(folder);
    ASSERT_GT(pid, 0);
    // The first files appear while the main window is created, after the
    // signals are taken over.
    ASSERT_TRUE(gui_testing::WaitFor([&] { return fs::exists(folder / "liste.known"); }, 10000));
    EndsAsQuitterDoes(pid, GetParam(), folder);
    EXPECT_EQ(folder.Read("settings.ini").size(), 6u);
}

// An unusable scratch folder makes the start show a message box before the
// message loop runs; the signal, during the box or before it, still ends the
// program as "Quitter" does.
TEST_P(KorvaneProcess, QuitSignalDuringAStartUpMessageBoxIsNotLost) {
    ProgramFolder folder;
    folder.InstallProgram("korvane");
    folder.Write("krv.ini", {"pdc=SRV", "nbyrow=2"});
    fs::create_directory(folder / "ailleurs");
    fs::create_directory_symlink(folder / "ailleurs", fs::path(folder.Scratch()).parent_path());
    const pid_t pid = StartKorvane(folder);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(gui_testing::WaitFor([&] { return fs::exists(folder / "liste.known"); }, 10000));
    gui_testing::WaitFor([] { return false; }, 300);  // the box is up by now
    EndsAsQuitterDoes(pid, GetParam(), folder);
}

INSTANTIATE_TEST_SUITE_P(Signals, KorvaneProcess, testing::Values(SIGTERM, SIGINT));

// "--planificateur": no window, what a box would say goes to the standard
// error (here the refused scratch folder), the history is kept, and a signal
// ends it as "Quitter" does.
TEST(KorvanePlanner, RunsWithNoWindowTellsOnStandardErrorAndEndsOnASignal) {
    ProgramFolder folder;
    folder.InstallProgram("korvane");
    folder.Write("localGM", {"pc1"});
    folder.Write("krv.ini", {"pdc=SRV", "nbyrow=2"});
    fs::create_directory(folder / "ailleurs");
    fs::create_directory_symlink(folder / "ailleurs", fs::path(folder.Scratch()).parent_path());
    const pid_t pid = StartKorvane(folder, "--planificateur", folder / "stderr.txt");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(gui_testing::WaitFor(
        [&] {
            return fs::exists(folder / "historique.etats") &&
                   testing_support::ReadBytes(folder / "stderr.txt").find("korvane : ") !=
                       std::string::npos;
        },
        10000));
    EndsAsQuitterDoes(pid, SIGTERM, folder);
    const toolkit::TextList history = folder.Read("historique.etats");
    ASSERT_EQ(history.size(), 2u);
    EXPECT_TRUE(history[1].ends_with(";*;?"));
}

}  // namespace
