// The korvane program itself: the signals of a desktop logout or a Ctrl+C
// end it as "Quitter" does, even during a message box of its start.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "program_folder.h"

namespace {

namespace fs = std::filesystem;
using gui_testing::ProgramFolder;

pid_t StartKorvane(const ProgramFolder& folder) {
    const std::string program = folder / "korvane";  // offscreen, as this process
    const pid_t pid = fork();
    if (pid == 0) {
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
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

// The signal ends the program normally, with its settings saved, also when it
// comes during a message box of the start: an unusable scratch folder makes
// one before the message loop runs.
TEST_P(KorvaneProcess, QuitSignalSavesTheSettingsAsQuitterDoes) {
    for (const bool startUpBox : {false, true}) {
        ProgramFolder folder;
        folder.InstallProgram("korvane");
        folder.Write("localGM", {"pc1", "pc2"});
        folder.Write("krv.ini", {"pdc=SRV", "nbyrow=2", "ip=10.0.0.0"});
        if (startUpBox) {
            fs::create_directory(folder / "ailleurs");
            fs::create_directory_symlink(folder / "ailleurs",
                                         fs::path(folder.Scratch()).parent_path());
        }
        const pid_t pid = StartKorvane(folder);
        ASSERT_GT(pid, 0);
        // The first files appear while the main window is created, after the
        // signals are taken over.
        ASSERT_TRUE(gui_testing::WaitFor([&] { return folder.Exists("liste.known"); }, 10000));
        if (startUpBox) gui_testing::WaitFor([] { return false; }, 300);  // the box is up
        kill(pid, GetParam());
        const int status = WaitForExit(pid);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0);
        const toolkit::TextList settings = folder.Read("krv.ini");
        ASSERT_EQ(settings.size(), 6u) << startUpBox;
        EXPECT_EQ(settings[0] + " " + settings[5], "pdc=SRV nbyrow=2");
        EXPECT_EQ(folder.Read("settings.ini").size(), 6u) << startUpBox;
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, KorvaneProcess, testing::Values(SIGTERM, SIGINT));

}  // namespace
