// Starting outside programs: the captured start (waited for, in the scratch
// folder, long lines whole), the detached start (own session, silent streams,
// no zombie) and the shell open of a program (its result code).
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "reseau.h"
#include "test_folder.h"
#include "tools.h"

namespace {

using testing_support::ReadBytes;
using testing_support::ScopedEnv;
using testing_support::TempFolder;
using toolkit::ShellQuote;

// Loose bound: a detached start normally shows its effect within milliseconds.
bool WaitForFile(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (access(path.c_str(), F_OK) == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

struct ProcStat {
    char state = '?';
    long parent = 0;
    long session = 0;
};

// Fields of /proc/PID/stat after the command name, which may hold spaces.
ProcStat ParseStat(const std::string& text) {
    ProcStat stat;
    std::istringstream rest(text.substr(text.rfind(')') + 1));
    long group = 0;
    rest >> stat.state >> stat.parent >> group >> stat.session;
    return stat;
}

// Every process whose parent is this test program, zombies included.
std::vector<std::string> ChildrenOfThisProcess() {
    std::vector<std::string> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string text = ReadBytes(entry.path() / "stat");
        if (text.empty()) continue;  // ended meanwhile
        const ProcStat stat = ParseStat(text);
        if (stat.parent == getpid()) children.push_back(name + " state " + stat.state);
    }
    return children;
}

std::string LinkTarget(const std::string& path) {
    std::error_code error;
    return std::filesystem::read_symlink(path, error).string();
}

// A shell line that records, into `folder`, the shell's standard descriptors
// and working directory (as links) and its /proc stat line, then "done". It
// uses no redirection: the shell would apply it to its own descriptors.
std::string SnapshotLine(const std::string& folder) {
    const std::string to = ShellQuote(folder + "/");
    return "mkdir " + to + " && cp -P /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2 /proc/$$/cwd " +
           to + " && cp /proc/$$/stat " + to + " && touch " + ShellQuote(folder + "/done");
}

class ProcessTest : public ::testing::Test {
  protected:
    TempFolder scratch;
    ScopedEnv env{"KORVANE_SCRATCH", scratch.Path()};
};

TEST_F(ProcessTest, RunAndWaitGivesTheStatusRunningInTheScratchFolder) {
    const int status = toolkit::RunAndWait("pwd -P > where.txt; exit 3");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_EQ(ReadBytes(scratch / "where.txt"),
              std::filesystem::canonical(scratch.Path()).string() + "\n");
    // Waited for: the file is complete once RunAndWait returns.
    toolkit::RunAndWait("sleep 0.2; echo late > late.txt");
    EXPECT_EQ(ReadBytes(scratch / "late.txt"), "late\n");
}

TEST_F(ProcessTest, RunAndWaitInheritsTheStandardStreams) {
    const std::string folder = scratch / "snapshot";
    toolkit::RunAndWait(SnapshotLine(folder));
    for (const char* fd : {"0", "1", "2"}) {
        EXPECT_EQ(LinkTarget(folder + "/" + fd), LinkTarget(std::string("/proc/self/fd/") + fd))
            << "descriptor " << fd;
    }
}

TEST_F(ProcessTest, RunAndWaitPassesLongLinesWhole) {
    const std::string head = "printf '%s' '", tail = "' > long.txt";
    for (const std::size_t length : {std::size_t{255}, std::size_t{256}, std::size_t{5000}}) {
        const std::string payload(length - head.size() - tail.size(), 'k');
        const std::string line = head + payload + tail;
        ASSERT_EQ(line.size(), length);
        EXPECT_EQ(toolkit::RunAndWait(line), 0);
        EXPECT_EQ(ReadBytes(scratch / "long.txt"), payload) << length;
    }
}

TEST_F(ProcessTest, RunAndWaitWithoutAScratchFolderDoesNotStart) {
    const std::string link = scratch / "link";
    ASSERT_EQ(symlink(scratch.Path().c_str(), link.c_str()), 0);
    ScopedEnv refused("KORVANE_SCRATCH", link);
    EXPECT_EQ(toolkit::RunAndWait("touch ran.txt"), -1);
    EXPECT_FALSE(std::filesystem::exists(scratch / "ran.txt"));
}

TEST_F(ProcessTest, StartDetachedRunsInItsOwnSessionAndLeavesNoChild) {
    const std::string folder = scratch / "snapshot";
    ASSERT_TRUE(toolkit::StartDetached(SnapshotLine(folder)));
    ASSERT_TRUE(WaitForFile(folder + "/done"));
    const ProcStat stat = ParseStat(ReadBytes(folder + "/stat"));
    EXPECT_NE(stat.parent, getpid());
    EXPECT_NE(stat.session, getsid(0));
    for (const char* fd : {"0", "1", "2"}) {
        EXPECT_EQ(LinkTarget(folder + "/" + fd), "/dev/null") << "descriptor " << fd;
    }
    EXPECT_EQ(LinkTarget(folder + "/cwd"), std::filesystem::current_path().string());
    EXPECT_EQ(ChildrenOfThisProcess(), std::vector<std::string>{});
}

TEST_F(ProcessTest, ManyDetachedStartsLeaveNoZombie) {
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(toolkit::StartDetached("touch " + ShellQuote(scratch / std::to_string(i))));
    }
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(WaitForFile(scratch / std::to_string(i)));
    EXPECT_EQ(ChildrenOfThisProcess(), std::vector<std::string>{});
}

TEST_F(ProcessTest, ShellOpenProgramStartsInTheFolderWithTheArgument) {
    const std::string script = scratch / "script.sh";
    testing_support::WriteBytes(script, "pwd -P > where.part && mv where.part where.txt\n");
    const std::string folder = scratch / "work";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    EXPECT_GE(toolkit::ShellOpenProgram("sh", script, folder), 32);
    ASSERT_TRUE(WaitForFile(folder + "/where.txt"));
    EXPECT_EQ(ReadBytes(folder + "/where.txt"), std::filesystem::canonical(folder).string() + "\n");
    EXPECT_GE(toolkit::ShellOpenProgram("true", "x", "."), 32);
    EXPECT_GE(toolkit::ShellOpenProgram("/bin/true", "x", "."), 32);
    EXPECT_EQ(ChildrenOfThisProcess(), std::vector<std::string>{});
}

// An empty PATH entry, also the last one, is our current folder; the program
// found there is the one started, although it starts in another folder.
TEST_F(ProcessTest, ShellOpenProgramFindsItInAnEmptyPathEntry) {
    const std::string tool = scratch / "korvane-tool";
    testing_support::WriteBytes(tool,
                                "#!/bin/sh\npwd -P > where.part && /bin/mv where.part where.txt\n");
    ASSERT_EQ(chmod(tool.c_str(), 0755), 0);
    const std::string folder = scratch / "work";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(scratch.Path());
    int trailing = 0, empty = 0;
    {
        ScopedEnv path("PATH", scratch / "no-such-folder:");
        trailing = toolkit::ShellOpenProgram("korvane-tool", "x", folder);
    }
    {
        ScopedEnv path("PATH", "");
        empty = toolkit::ShellOpenProgram("korvane-tool", "x", folder);
    }
    std::filesystem::current_path(here);
    EXPECT_GE(trailing, 32);
    EXPECT_GE(empty, 32);
    ASSERT_TRUE(WaitForFile(folder + "/where.txt"));
    EXPECT_EQ(ReadBytes(folder + "/where.txt"), std::filesystem::canonical(folder).string() + "\n");
    EXPECT_EQ(ChildrenOfThisProcess(), std::vector<std::string>{});
}

TEST_F(ProcessTest, ShellOpenProgramReportsWhatCannotStart) {
    EXPECT_EQ(toolkit::ShellOpenProgram("korvane-no-such-program", "x", "."), 2);
    EXPECT_LT(toolkit::ShellOpenProgram(scratch / "absent", "x", "."), 32);
    const std::string plain = scratch / "plain", garbage = scratch / "garbage";
    testing_support::WriteBytes(plain, "#!/bin/sh\ntrue\n");
    chmod(plain.c_str(), 0644);
    EXPECT_LT(toolkit::ShellOpenProgram(plain, "x", "."), 32);  // not executable
    // Executable but not a program: only the exec itself finds out.
    testing_support::WriteBytes(garbage, std::string("\x7f"
                                                     "ELF\x01\x01 broken",
                                                     13));
    chmod(garbage.c_str(), 0755);
    EXPECT_LT(toolkit::ShellOpenProgram(garbage, "x", "."), 32);
    EXPECT_LT(toolkit::ShellOpenProgram("true", "x", scratch / "no-folder"), 32);
    EXPECT_EQ(ChildrenOfThisProcess(), std::vector<std::string>{});
}

}  // namespace
