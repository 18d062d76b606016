// The outside-program contract: the scratch folder's safety rules, the
// captured command lines in both forms, shell quoting, the program folder.
#include "tools.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "reseau.h"
#include "test_folder.h"

namespace {

using testing_support::ReadBytes;
using testing_support::ScopedEnv;
using testing_support::TempFolder;
using toolkit::Os;
using toolkit::ToolPaths;

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST(ScratchDir, CreatedPrivateWithItsParents) {
    TempFolder root;
    const std::string wanted = root / "a/b/work";
    ScopedEnv env("KORVANE_SCRATCH", wanted + "/");
    EXPECT_EQ(toolkit::ScratchDir(), wanted + "/");
    EXPECT_EQ(ModeOf(wanted), 0700u);
    EXPECT_EQ(toolkit::ScratchDir(), wanted + "/");  // a second call accepts it
}

TEST(ScratchDir, FallsBackToTheRuntimeFolder) {
    TempFolder runtime;
    ScopedEnv own("KORVANE_SCRATCH", std::nullopt);
    ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.Path());
    EXPECT_EQ(toolkit::ScratchDir(), runtime / "korvane/");
    EXPECT_EQ(ModeOf(runtime / "korvane"), 0700u);
    ScopedEnv emptyOwn("KORVANE_SCRATCH", "");
    EXPECT_EQ(toolkit::ScratchDir(), runtime / "korvane/");
}

// An existing folder is used as it is or refused, never changed: /tmp named
// as the scratch folder keeps its sticky bit.
TEST(ScratchDir, ExistingFolderIsUsedOnlyWhenPrivateAndNeverChanged) {
    TempFolder root;
    const std::string folder = root / "work";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ScopedEnv env("KORVANE_SCRATCH", folder);
    for (const mode_t mode : {01777, 0777, 0750, 0705}) {
        ASSERT_EQ(chmod(folder.c_str(), mode), 0);
        try {
            toolkit::ScratchDir();
            ADD_FAILURE() << std::oct << mode << " was accepted";
        } catch (const toolkit::ScratchError& error) {
            EXPECT_NE(std::string(error.what()).find("« " + folder + " » est ouvert aux autres"),
                      std::string::npos)
                << error.what();
        }
        EXPECT_EQ(ModeOf(folder), mode);
    }
    for (const mode_t mode : {0700, 0500}) {
        ASSERT_EQ(chmod(folder.c_str(), mode), 0);
        EXPECT_EQ(toolkit::ScratchDir(), folder + "/");
        EXPECT_EQ(ModeOf(folder), mode);
    }
    chmod(folder.c_str(), 0700);
}

// Commands run in the scratch folder: a relative path would name another one there.
TEST(ScratchDir, RelativePathIsRefused) {
    TempFolder root;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(root.Path());
    for (const std::string relative : {"work", "./work", "work/"}) {
        ScopedEnv env("KORVANE_SCRATCH", relative);
        try {
            toolkit::ScratchDir();
            ADD_FAILURE() << relative << " was accepted";
        } catch (const toolkit::ScratchError& error) {
            EXPECT_NE(std::string(error.what()).find("« " + relative + " »"), std::string::npos);
            EXPECT_NE(std::string(error.what()).find("chemin absolu"), std::string::npos);
        }
    }
    std::filesystem::current_path(previous);
    EXPECT_FALSE(std::filesystem::exists(root / "work"));
}

TEST(ScratchDir, RefusesLinksFilesAndOtherOwners) {
    TempFolder root;
    const std::string target = root / "target", link = root / "link", file = root / "file";
    ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    testing_support::WriteBytes(file, "x");
    for (const std::string& refused : {link, file}) {
        ScopedEnv env("KORVANE_SCRATCH", refused);
        try {
            toolkit::ScratchDir();
            ADD_FAILURE() << refused << " was accepted";
        } catch (const toolkit::ScratchError& error) {
            EXPECT_NE(std::string(error.what()).find("« " + refused + " »"), std::string::npos)
                << error.what();
        }
    }
    if (geteuid() == 0) {  // only root can hand a folder to someone else
        ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
        ScopedEnv env("KORVANE_SCRATCH", target);
        EXPECT_THROW(toolkit::ScratchDir(), toolkit::ScratchError);
    }
}

// A captured command's output is a file of the scratch folder of its own:
// the listing's name as a temporary of this process (".ipconfig.txt.tmp-PID-N"),
// which no other process is given, and a number that no other command of this
// one has had.
void ExpectOwnOutput(const std::string& output, const std::string& scratch,
                     const std::string& listing) {
    static std::set<std::string> given;
    const std::string start = scratch + "." + listing + ".tmp-" + std::to_string(getpid()) + "-";
    ASSERT_TRUE(output.starts_with(start)) << output;
    const std::string number = output.substr(start.size());
    EXPECT_TRUE(!number.empty() && number.find_first_not_of("0123456789") == std::string::npos)
        << output;
    EXPECT_TRUE(given.insert(number).second) << output << " given twice";
}

// The fixed lines of Windows with the scratch folder in place of "c:\": a
// user's folder holds blanks and accents, and is then one quoted word.
TEST(CapturedCommands, WindowsFormsNameTheScratchFolder) {
    struct Case {
        std::string scratch;
        std::string redirection;  // the output file as the line names it
    };
    const std::string user = "C:\\Users\\Hélène Dupont\\AppData\\Local\\Korvane\\travail\\";
    for (const Case& c : std::vector<Case>{
             {"c:\\", "c:\\"},
             {"C:\\Users\\pc1\\AppData\\Local\\Korvane\\travail\\",
              "C:\\Users\\pc1\\AppData\\Local\\Korvane\\travail\\"},
             {user, "\"" + user},
             {"D:\\a&b(1)\\", "\"D:\\a&b(1)\\"},
         }) {
        const ToolPaths paths{"D:\\Outils\\", c.scratch};
        const std::string close = c.redirection.starts_with('"') ? "\"" : "";
        const auto expect = [&](const toolkit::CapturedCommand& command, const std::string& start,
                                const std::string& listing) {
            ExpectOwnOutput(command.outputFile, c.scratch, listing);
            const std::string file = command.outputFile.substr(c.scratch.size());
            EXPECT_EQ(command.line, start + " > " + c.redirection + file + close);
        };
        // The tools by their full path, which cmd.exe completes: never a
        // program of the current folder named like them.
        expect(toolkit::IpConfigCommand(Os::Windows, paths),
               "\"%SystemRoot%\\System32\\ipconfig.exe\" /all", "ipconfig.txt");
        expect(toolkit::NbtstatCommand(Os::Windows, paths, "192.168.1.12"),
               "\"%SystemRoot%\\System32\\nbtstat.exe\" -a 192.168.1.12", "nbtstat.txt");
        expect(toolkit::NbtCacheCommand(Os::Windows, paths),
               "\"%SystemRoot%\\System32\\nbtstat.exe\" -c", "nbtcache.txt");
        expect(toolkit::ArpCommand(Os::Windows, paths), "\"%SystemRoot%\\System32\\arp.exe\" -a",
               "arpcache.txt");
        EXPECT_EQ(toolkit::ScratchFile(Os::Windows, paths, "0.mark"), c.scratch + "0.mark");
    }
    EXPECT_EQ(toolkit::BatchPath("D:\\100% sûr\\x.txt"), "\"D:\\100%% sûr\\x.txt\"");
    EXPECT_EQ(toolkit::BatchPath("D:\\100%\\x.txt"), "D:\\100%%\\x.txt");
}

TEST(CapturedCommands, PosixFormsQuoteEveryPath) {
    const std::string scratch = "/run/user/1000/kor'vane/";
    const ToolPaths paths{"/opt/kor vane/", scratch};
    const auto expect = [&](const toolkit::CapturedCommand& command, const std::string& start,
                            const std::string& listing) {
        ExpectOwnOutput(command.outputFile, scratch, listing);
        EXPECT_EQ(command.line, start + " > " + toolkit::ShellQuote(command.outputFile));
    };
    expect(toolkit::IpConfigCommand(Os::Posix, paths), "'/opt/kor vane/netcmd' ipconfig /all",
           "ipconfig.txt");
    expect(toolkit::NbtstatCommand(Os::Posix, paths, "10.0.0.7"),
           "'/opt/kor vane/netcmd' nbtstat -a '10.0.0.7'", "nbtstat.txt");
    expect(*toolkit::NbtstatListCommand(Os::Posix, paths, {"10.0.0.7", "10.0.0.8"}),
           "'/opt/kor vane/netcmd' nbtstat -a '10.0.0.7' '10.0.0.8'", "nbtstat.txt");
    expect(toolkit::NbtCacheCommand(Os::Posix, paths), "'/opt/kor vane/netcmd' nbtstat -c",
           "nbtcache.txt");
    expect(toolkit::ArpCommand(Os::Posix, paths), "'/opt/kor vane/netcmd' arp -a", "arpcache.txt");
    EXPECT_EQ(toolkit::ScratchFile(Os::Posix, paths, "ping3.txt"), scratch + "ping3.txt");
}

TEST(CapturedCommands, NbtstatRefusesAnythingButADottedAddress) {
    const ToolPaths paths{"/p/", "/s/"};
    for (const Os os : {Os::Windows, Os::Posix}) {
        for (const char* bad : {"1.2.3.4; rm -rf ~", "$(reboot)", "pc1", "01.2.3.4", ""}) {
            EXPECT_THROW(toolkit::NbtstatCommand(os, paths, bad), std::invalid_argument) << bad;
        }
    }
}

// The composed POSIX line really runs the program it names, through awkward
// folder names, and its output reaches the named file.
TEST(CapturedCommands, PosixLineRunsNetcmdFromAnAwkwardFolder) {
    TempFolder root;
    const std::string programs = root / "it's $HOME `x`";
    const std::string scratch = root / "scratch; rm";
    ASSERT_EQ(mkdir(programs.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(scratch.c_str(), 0700), 0);
    testing_support::WriteBytes(programs + "/netcmd", "#!/bin/sh\necho \"$*\"\n");
    chmod((programs + "/netcmd").c_str(), 0755);
    ScopedEnv env("KORVANE_SCRATCH", scratch);
    const auto command =
        toolkit::NbtstatCommand(Os::Posix, {programs + "/", scratch + "/"}, "192.168.1.12");
    EXPECT_EQ(toolkit::RunAndWait(command.line), 0);
    EXPECT_EQ(ReadBytes(command.outputFile), "nbtstat -a 192.168.1.12\n");
}

// Programs of one user capture at the same moment (a window starting beside
// the planner, netsweep beside them), and so may threads of one: each reads
// its own listing whole, and none is left behind. A process that ended
// before it read its listing leaves it under its own id, and it goes with
// the temporaries of writers that are gone.
TEST(CapturedCommands, EachCaptureReadsItsOwnListingAndLeavesNothing) {
    TempFolder root;
    const std::string programs = root / "programs", scratch = root / "scratch";
    ASSERT_EQ(mkdir(programs.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(scratch.c_str(), 0700), 0);
    // A listing written in two goes, as a slow tool writes it.
    testing_support::WriteBytes(programs + "/netcmd",
                                "#!/bin/sh\necho \"début $*\"\nsleep 0.3\necho \"fin $*\"\n");
    chmod((programs + "/netcmd").c_str(), 0755);
    ScopedEnv env("KORVANE_SCRATCH", scratch);
    const ToolPaths paths{programs + "/", scratch + "/"};
    std::vector<toolkit::TextList> read(4);
    {
        std::vector<std::jthread> captures;
        for (std::size_t i = 0; i < read.size(); ++i) {
            captures.emplace_back([&, i] {
                const std::string address = "10.0.0." + std::to_string(i);
                try {
                    read[i] =
                        toolkit::RunCaptured(toolkit::NbtstatCommand(Os::Posix, paths, address));
                } catch (const toolkit::FileError& error) {
                    read[i] = {error.what()};
                }
            });
        }
    }
    for (std::size_t i = 0; i < read.size(); ++i) {
        const std::string arguments = "nbtstat -a 10.0.0." + std::to_string(i);
        EXPECT_EQ(read[i], (toolkit::TextList{"début " + arguments, "fin " + arguments}));
    }
    EXPECT_TRUE(std::filesystem::is_empty(scratch));

    const pid_t child = fork();
    if (child == 0) _exit(toolkit::RunAndWait(toolkit::ArpCommand(Os::Posix, paths).line));
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(status, 0);
    const auto entries = std::distance(std::filesystem::directory_iterator(scratch), {});
    ASSERT_EQ(entries, 1);
    const std::string leftover = std::filesystem::directory_iterator(scratch)->path().filename();
    EXPECT_TRUE(leftover.starts_with(".arpcache.txt.tmp-" + std::to_string(child) + "-"))
        << leftover;
    EXPECT_EQ(toolkit::platform::RemoveStaleTemporaries(scratch), 1);
    EXPECT_TRUE(std::filesystem::is_empty(scratch));
}

TEST(ShellQuote, EveryWordReachesTheProgramUnchanged) {
    TempFolder scratch;
    ScopedEnv env("KORVANE_SCRATCH", scratch.Path());
    for (const std::string word : {"", "plain", "two words", "it's", "''", "$HOME", "`id`", "a\nb",
                                   "*", "\\", "x'\"'y", "-n"}) {
        const std::string out = scratch / "word.txt";
        toolkit::RunAndWait("printf '%s' " + toolkit::ShellQuote(word) + " > word.txt");
        EXPECT_EQ(ReadBytes(out), word);
    }
}

TEST(ProgramDir, FolderOfTheRunningProgramOrTheChosenOne) {
    EXPECT_EQ(std::filesystem::canonical(toolkit::platform::ExecutableDir()),
              std::filesystem::canonical(KORVANE_TEST_DIR));
    EXPECT_EQ(toolkit::platform::ExecutableDir().back(), '/');
    TempFolder scratch;
    ScopedEnv env("KORVANE_SCRATCH", scratch.Path());
    const std::string previous = toolkit::ProgramDir();
    toolkit::SetProgramDir(KORVANE_BIN_DIR);
    EXPECT_EQ(toolkit::ProgramDir(), KORVANE_BIN_DIR);
    toolkit::SetProgramDir("/opt/korvane");
    EXPECT_EQ(toolkit::ProgramDir(), "/opt/korvane/");
    EXPECT_EQ(toolkit::HostToolPaths().programDir, "/opt/korvane/");
    toolkit::SetProgramDir(previous);
}

}  // namespace
