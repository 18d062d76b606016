// The outside-program contract: the scratch folder's safety rules, the
// captured command lines in both forms, shell quoting, the program folder.
#include "tools.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
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
                                const std::string& file) {
            EXPECT_EQ(command.line, start + " > " + c.redirection + file + close);
            EXPECT_EQ(command.outputFile, c.scratch + file);
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
    const ToolPaths paths{"/opt/kor vane/", "/run/user/1000/korvane/"};
    EXPECT_EQ(toolkit::IpConfigCommand(Os::Posix, paths).line,
              "'/opt/kor vane/netcmd' ipconfig /all > '/run/user/1000/korvane/ipconfig.txt'");
    const auto nbtstat = toolkit::NbtstatCommand(Os::Posix, paths, "10.0.0.7");
    EXPECT_EQ(
        nbtstat.line,
        "'/opt/kor vane/netcmd' nbtstat -a '10.0.0.7' > '/run/user/1000/korvane/nbtstat.txt'");
    EXPECT_EQ(nbtstat.outputFile, "/run/user/1000/korvane/nbtstat.txt");
    EXPECT_EQ(toolkit::NbtCacheCommand(Os::Posix, paths).line,
              "'/opt/kor vane/netcmd' nbtstat -c > '/run/user/1000/korvane/nbtcache.txt'");
    EXPECT_EQ(toolkit::ArpCommand(Os::Posix, paths).outputFile,
              "/run/user/1000/korvane/arpcache.txt");
    EXPECT_EQ(toolkit::ScratchFile(Os::Posix, paths, "ping3.txt"),
              "/run/user/1000/korvane/ping3.txt");
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
