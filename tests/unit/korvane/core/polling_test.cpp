// The reachability polling outside its window: slot files, both script forms,
// the poll list, the scan schedule and the exit clean-up.
#include "korvane/core/polling.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "korvane/core/KrvVar.h"
#include "korvane/core/mapgrid.h"
#include "korvane/core/timescale.h"
#include "platform/platform.h"
#include "test_folder.h"

namespace {

using korvane::Os;
using korvane::SlotFiles;
using korvane::ToolPaths;
using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;
using toolkit::TextList;

const ToolPaths kWindowsPaths{"D:\\Tools\\", "c:\\"};
const ToolPaths kPosixPaths{"/opt/korvane/", "/run/user/1000/korvane/"};

void MakeExecutable(const std::string& path, const std::string& text) {
    WriteBytes(path, text);
    ASSERT_EQ(chmod(path.c_str(), 0755), 0) << path;
}

TEST(PollSlotFiles, NamedAfterTheSlotNumber) {
    const SlotFiles windows = korvane::SlotFilesFor(Os::Windows, kWindowsPaths, 7);
    EXPECT_EQ(windows.marker, "c:\\7.mark");
    EXPECT_EQ(windows.script, "c:\\ping7.bat");
    EXPECT_EQ(windows.result, "c:\\ping7.txt");
    EXPECT_EQ(windows.errors, "c:\\ping7.err");
    const SlotFiles posix = korvane::SlotFilesFor(Os::Posix, kPosixPaths, 255);
    EXPECT_EQ(posix.marker, "/run/user/1000/korvane/255.mark");
    EXPECT_EQ(posix.script, "/run/user/1000/korvane/ping255.sh");
    EXPECT_EQ(posix.result, "/run/user/1000/korvane/ping255.txt");
    EXPECT_EQ(posix.errors, "/run/user/1000/korvane/ping255.err");
    EXPECT_EQ(posix.list, "/run/user/1000/korvane/ping255.lst");
    EXPECT_EQ(korvane::SlotFilesFor(Os::Posix, kPosixPaths, 0).marker,
              "/run/user/1000/korvane/0.mark");
}

// Every program by its full path: cmd.exe would look in the current folder
// (the program folder, where group files are) first. A folder holding "&",
// "^", blanks or "%" stays one word.
TEST(PollScripts, WindowsPollBatchIsExact) {
    EXPECT_EQ(korvane::PollScript(Os::Windows, kWindowsPaths, "localIP", 7),
              "\"D:\\Tools\\hostping.exe\" localIP c:\\ping7.txt\r\n"
              "\"%SystemRoot%\\System32\\attrib.exe\" -R c:\\7.mark\r\n");
    EXPECT_EQ(
        korvane::PollScript(Os::Windows, {"D:\\R&D ^1 100%\\", "C:\\R&D\\travail\\"}, "localGM", 3),
        "\"D:\\R&D ^1 100%%\\hostping.exe\" localGM \"C:\\R&D\\travail\\ping3.txt\"\r\n"
        "\"%SystemRoot%\\System32\\attrib.exe\" -R \"C:\\R&D\\travail\\3.mark\"\r\n");
}

// The check probes the address when the member has one, names the member,
// and asks hostping for three rounds and the verdict line.
TEST(PollScripts, CheckScriptsRunHostpingOnAOneLineList) {
    EXPECT_EQ(korvane::CheckScript(Os::Windows, kWindowsPaths, "pc2", "192.168.1.6", 12),
              "echo 192.168.1.6 >c:\\ping12.lst\r\n"
              "\"D:\\Tools\\hostping.exe\" --essais 3 --verdict pc2 c:\\ping12.lst "
              "c:\\ping12.txt\r\n"
              "\"%SystemRoot%\\System32\\attrib.exe\" -R c:\\12.mark\r\n");
    EXPECT_EQ(korvane::CheckScript(Os::Posix, kPosixPaths, "pc2", "192.168.1.6", 12),
              "printf '%s\\n' '192.168.1.6' >'/run/user/1000/korvane/ping12.lst'\n"
              "'/opt/korvane/hostping' --essais 3 --verdict 'pc2' "
              "'/run/user/1000/korvane/ping12.lst' '/run/user/1000/korvane/ping12.txt' "
              "2>'/run/user/1000/korvane/ping12.err'\n"
              "chmod u+w '/run/user/1000/korvane/12.mark'\n");
}

TEST(PollScripts, HostsThatAreNotPlainWordsAreRefused) {
    for (const char* host :
         {"", "pc 2", "pc'2", "pc;reboot", "$(reboot)", "`id`", "-c", "pc2&", "pc\n2", "a/b"}) {
        EXPECT_FALSE(korvane::IsSafeHostWord(host)) << host;
        EXPECT_EQ(korvane::CheckScript(Os::Windows, kWindowsPaths, host, host, 1), std::nullopt)
            << host;
        EXPECT_EQ(korvane::CheckScript(Os::Posix, kPosixPaths, host, host, 1), std::nullopt)
            << host;
        EXPECT_EQ(korvane::CheckScript(Os::Posix, kPosixPaths, "pc2", host, 1), std::nullopt)
            << host;
    }
    for (const char* host : {"pc2", "192.168.1.5", "poste-3.lan", "ws_01"}) {
        EXPECT_TRUE(korvane::IsSafeHostWord(host)) << host;
    }
    // A name with accents is quoted in the POSIX script; the batch cannot quote it.
    EXPECT_TRUE(korvane::CheckScript(Os::Posix, kPosixPaths, "Comptabilité", "10.0.0.9", 1));
    EXPECT_FALSE(korvane::CheckScript(Os::Windows, kWindowsPaths, "Comptabilité", "10.0.0.9", 1));
    // The batch's "echo on" would switch its echo instead of writing the list.
    for (const char* target : {"on", "OFF"}) {
        EXPECT_FALSE(korvane::CheckScript(Os::Windows, kWindowsPaths, "pc2", target, 1)) << target;
        EXPECT_TRUE(korvane::CheckScript(Os::Posix, kPosixPaths, "pc2", target, 1)) << target;
    }
}

TEST(PollScripts, CommandLines) {
    EXPECT_EQ(korvane::ScriptCommand(Os::Windows, "c:\\ping7.bat"), "c:\\ping7.bat");
    EXPECT_EQ(korvane::ScriptCommand(Os::Windows, "C:\\R&D ^1\\ping7.bat"),
              "\"C:\\R&D ^1\\ping7.bat\"");
    EXPECT_EQ(korvane::ScriptCommand(Os::Posix, "/run/k/ping7.sh"), "/bin/sh '/run/k/ping7.sh'");
    EXPECT_EQ(korvane::NetsweepCommand(Os::Windows, kWindowsPaths), "D:\\Tools\\netsweep.exe");
    EXPECT_EQ(korvane::NetsweepCommand(Os::Windows, {"D:\\R&D\\", "c:\\"}),
              "\"D:\\R&D\\netsweep.exe\"");
    EXPECT_EQ(korvane::NetsweepCommand(Os::Posix, {"/opt/it's/", "/tmp/"}),
              "'/opt/it'\\''s/netsweep'");
}

// Folders whose names need quoting, a fake hostping that echoes its list
// (no packet leaves), and the marker armed as the launcher arms it.
class PollRun : public ::testing::Test {
  protected:
    void SetUp() override {
        paths.programDir = root / "prog dir's/";
        paths.scratchDir = root / "scratch $(x)/";
        std::filesystem::create_directories(paths.programDir);
        std::filesystem::create_directories(paths.scratchDir);
    }

    bool RunScript(const std::string& text, const SlotFiles& files) {
        WriteBytes(files.script, text);
        korvane::ArmMarker(files.marker);
        return toolkit::platform::RunShellAndWait(korvane::ScriptCommand(Os::Posix, files.script),
                                                  paths.programDir) == 0;
    }

    TempFolder root;
    ToolPaths paths;
};

TEST_F(PollRun, PosixPollScriptRunsHostpingOnTheListThenReleasesTheMarker) {
    MakeExecutable(paths.programDir + "hostping",
                   "#!/bin/sh\ntr -d '\\r' < \"$1\" | while read -r h; do echo \"$h=1\"; done "
                   "> \"$2\"\n");
    toolkit::SaveLines(paths.programDir + "local IP", {"192.168.1.5", "pc2"});
    const SlotFiles files = korvane::SlotFilesFor(Os::Posix, paths, 3);
    ASSERT_TRUE(RunScript(korvane::PollScript(Os::Posix, paths, "local IP", 3), files));
    EXPECT_EQ(toolkit::LoadLines(files.result), (TextList{"192.168.1.5=1", "pc2=1"}));
    EXPECT_FALSE(korvane::MarkerIsArmed(files.marker));
}

TEST_F(PollRun, PosixPollScriptReleasesTheMarkerWhenHostpingIsMissing) {
    const SlotFiles files = korvane::SlotFilesFor(Os::Posix, paths, 4);
    RunScript(korvane::PollScript(Os::Posix, paths, "localIP", 4), files);
    EXPECT_FALSE(std::filesystem::exists(files.result));
    EXPECT_FALSE(korvane::MarkerIsArmed(files.marker));
}

// The check script runs with a stand-in hostping (no packet leaves) that
// writes its arguments and list as its result, or fails: the list holds the
// target, the member is named as given (accents kept whole), and
// the marker is released either way.
TEST_F(PollRun, PosixCheckScriptHandsTheListAndTheMemberToHostping) {
    const std::string echoes =
        "for a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$6\"; echo >> \"$6\"; "
        "cat \"$5\" >> \"$6\"";
    for (const auto& [body, fails] : std::vector<std::pair<std::string, bool>>{
             {echoes, false}, {"echo 'hostping : aucune socket ICMP' >&2; exit 3", true}}) {
        MakeExecutable(paths.programDir + "hostping", "#!/bin/sh\n" + body + "\n");
        const SlotFiles files = korvane::SlotFilesFor(Os::Posix, paths, 12);
        std::filesystem::remove(files.result);
        RunScript(korvane::CheckScript(Os::Posix, paths, "Accueil-été", "10.0.0.6", 12).value(),
                  files);
        EXPECT_EQ(toolkit::LoadLines(files.list), TextList{"10.0.0.6"});
        if (fails) {
            EXPECT_FALSE(std::filesystem::exists(files.result));
            EXPECT_EQ(korvane::ProbeFailureReasonIn(files.errors), "hostping : aucune socket ICMP");
        } else {
            EXPECT_EQ(toolkit::LoadLines(files.result),
                      (TextList{"[--essais][3][--verdict][Accueil-été][" + files.list + "][" +
                                    files.result + "]",
                                "10.0.0.6"}));
        }
        EXPECT_FALSE(korvane::MarkerIsArmed(files.marker)) << body;
    }
}

TEST(PollList, AddressOrTheEntryName) {
    const TextList ipList{"pc1 192.168.1.5", "pc3 192.168.1.7"};
    EXPECT_EQ(korvane::PollList({"pc1", "pc2", "pc3"}, ipList),
              (TextList{"192.168.1.5", "pc2", "192.168.1.7"}));
    EXPECT_EQ(korvane::PollList({}, ipList), TextList{});
}

// Blanks after an address in liste.ip: the poll list holds the host as
// hostping answers it (trimmed), and the map finds that answer; the look-up
// itself still gives the text as it stands.
TEST(PollList, PollListAnswerAndMapAgreeOnTheTrimmedHost) {
    const TextList ipList{"pc1 10.0.0.5 ", "pc2 10.0.0.6\t", "pc3    "};
    EXPECT_EQ(korvane::PollList({"pc1", "pc2", "pc3", " pc4\t"}, ipList),
              (TextList{"10.0.0.5", "10.0.0.6", "pc3", "pc4"}));
    EXPECT_EQ(korvane::FindIP(ipList, "pc1"), "10.0.0.5 ");
    EXPECT_TRUE(korvane::IsUp({"10.0.0.6=1"}, "pc2", "10.0.0.6\t"));
    EXPECT_TRUE(korvane::IsUp({"pc4=1"}, " pc4\t", ""));
}

TEST(PollTimers, TimeScaleDividesEveryInterval) {
    const std::pair<std::optional<std::string>, int> cases[] = {
        {std::nullopt, 10000}, {"60", 166},     {"+10", 1000},
        {"0", 10000},          {"3601", 10000}, {"abc", 10000}};
    for (const auto& [scale, interval] : cases) {
        testing_support::ScopedEnv env("KORVANE_TIME_SCALE", scale);
        EXPECT_EQ(korvane::ScaledInterval(10000), interval) << scale.value_or("unset");
    }
    testing_support::ScopedEnv env("KORVANE_TIME_SCALE", "3600");
    EXPECT_EQ(korvane::ScaledInterval(20), 1);  // never 0: a timer would spin
}

TEST(PollSchedule, NetsweepEveryNinthTickAndAfterTheWrap) {
    std::vector<int> starts;
    for (int tick = 0; tick <= 255; ++tick) {
        if (korvane::StartsScan(static_cast<std::uint8_t>(tick))) starts.push_back(tick);
    }
    ASSERT_EQ(starts.size(), 29u);
    EXPECT_EQ(starts.front(), 1);
    EXPECT_EQ(starts.back(), 253);
    for (std::size_t i = 1; i < starts.size(); ++i) EXPECT_EQ(starts[i] - starts[i - 1], 9);

    std::uint8_t tick = 253;
    int ticksToNext = 0;
    do {
        ++tick;
        ++ticksToNext;
    } while (!korvane::StartsScan(tick));
    EXPECT_EQ(tick, 1);
    EXPECT_EQ(ticksToNext, 4);
}

TEST(PollSlotFiles, SlotFileNamesAreStrict) {
    for (const char* name : {"0.mark", "7.mark", "255.mark", "ping0.txt", "ping7.bat", "ping12.sh",
                             "ping255.txt", "ping9.err", "ping3.lst"}) {
        EXPECT_TRUE(korvane::IsSlotFileName(name)) << name;
    }
    for (const char* name :
         {"007.mark", "00.mark", "256.mark", "1000.mark", ".mark", "-1.mark", "+1.mark", "ping.txt",
          "pingx.txt", "ping7.txt.bak", "ping7.exe", "7.bat", "Ping7.txt", "notes.txt", "7.MARK",
          "x7.mark", "ping 7.txt", "ping7.ERR", "7.err"}) {
        EXPECT_FALSE(korvane::IsSlotFileName(name)) << name;
    }
}

TEST(PollMarker, ArmedUntilTheScriptMakesItWritable) {
    TempFolder folder;
    const std::string marker = folder / "7.mark";
    korvane::ArmMarker(marker);
    EXPECT_EQ(ReadBytes(marker), "");
    EXPECT_TRUE(korvane::MarkerIsArmed(marker));
    struct stat info {};
    ASSERT_EQ(stat(marker.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0444u);

    ASSERT_EQ(chmod(marker.c_str(), 0644), 0);  // what "chmod u+w" leaves
    EXPECT_FALSE(korvane::MarkerIsArmed(marker));
    korvane::ArmMarker(marker);  // a slot reused after the wrap
    EXPECT_TRUE(korvane::MarkerIsArmed(marker));

    // A marker whose state cannot be read counts as a script still running.
    EXPECT_TRUE(korvane::MarkerIsArmed(folder / "gone.mark"));
    try {
        korvane::ArmMarker(folder / "gone/8.mark");
        FAIL() << "no FileError";
    } catch (const toolkit::FileError& error) {
        EXPECT_NE(std::string(error.what()).find("8.mark"), std::string::npos) << error.what();
    }
}

TEST(PollCleanUp, SlotFilesGoExceptArmedMarkers) {
    TempFolder folder;
    for (const char* name : {"7.mark", "8.mark", "ping7.txt", "ping7.sh", "ping7.bat", "ping8.txt",
                             "notes.txt", "007.mark", ".ping9.txt", ".hidden"}) {
        WriteBytes(folder / name, "x");
    }
    ASSERT_EQ(chmod((folder / "7.mark").c_str(), 0444), 0);
    std::filesystem::create_directory(folder / "9.mark");
    korvane::CleanSlotFiles(folder.Path() + "/");

    std::vector<std::string> left = toolkit::platform::ListFolder(folder.Path());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"007.mark", "7.mark", "9.mark", "notes.txt"}));
    EXPECT_TRUE(std::filesystem::exists(folder / ".hidden"));
    EXPECT_TRUE(std::filesystem::exists(folder / ".ping9.txt"));
}

// A slot folder's name tells its process; nothing else is taken for one.
TEST(SlotFolders, NamesGiveBackTheirProcessAndNothingElseIsOne) {
    using toolkit::platform::ProcessIdentity;
    const std::vector<std::pair<std::string, std::optional<ProcessIdentity>>> cases = {
        {"p4242-981735", ProcessIdentity{4242, 981735}},
        {"p1-0", ProcessIdentity{1, 0}},
        {"p18446744073709551615-7", ProcessIdentity{18446744073709551615u, 7}},
        {"p18446744073709551616-7", {}},  // beyond 64 bits
        {"p04242-981735", {}},
        {"p4242-", {}},
        {"p-981735", {}},
        {"p4242", {}},
        {"q4242-981735", {}},
        {"p4242-98x", {}},
        {"p4242-981735-1", {}},
        {"p+4242-1", {}},
        {"P4242-1", {}},
        {"7.mark", {}},
    };
    for (const auto& [name, process] : cases) {
        EXPECT_EQ(korvane::ProcessOfFolder(name), process) << name;
    }
    const ProcessIdentity self = toolkit::platform::ThisProcess();
    EXPECT_EQ(korvane::ProcessOfFolder(korvane::ProcessFolderName(self)), self);
    EXPECT_NE(self.started, 0u);
}

// Another Korvane's slot folder stays while it runs, even when its script's
// marker is armed, and goes at the first start after it ended. A link named
// as a slot folder is never followed.
TEST(SlotFolders, AnotherProcesssFolderStaysWhileItRunsAndGoesOnceItEnded) {
    TempFolder folder;
    const std::string scratch = folder.Path() + "/";
    int pipe_[2];
    ASSERT_EQ(pipe(pipe_), 0);
    const pid_t other = fork();
    if (other == 0) {
        const std::string name = korvane::ProcessFolderName(toolkit::platform::ThisProcess());
        if (write(pipe_[1], name.data(), name.size()) < 0) _exit(1);
        close(pipe_[1]);
        pause();
        _exit(0);
    }
    close(pipe_[1]);
    char buffer[64] = {};
    ASSERT_GT(read(pipe_[0], buffer, sizeof buffer - 1), 0);
    close(pipe_[0]);
    const std::string living = scratch + buffer + "/";
    const std::string ended = scratch + "p" + std::to_string(testing_support::GonePid()) + "-1/";
    const std::string elsewhere = scratch + "ailleurs/";
    for (const auto& dir : {living, ended, elsewhere}) std::filesystem::create_directory(dir);
    for (const auto& path : {living + "0.mark", living + "ping0.sh", ended + "3.mark",
                             ended + ".ping3.sh.tmp-1-0", elsewhere + "0.mark"}) {
        WriteBytes(path, "x");
    }
    ASSERT_EQ(chmod((living + "0.mark").c_str(), 0444), 0);
    ASSERT_EQ(chmod((ended + "3.mark").c_str(), 0444), 0);
    std::filesystem::create_directory_symlink(elsewhere, scratch + "p1-1");

    korvane::RemoveEarlierRunFiles(scratch);
    EXPECT_TRUE(std::filesystem::exists(living + "0.mark"));
    EXPECT_TRUE(std::filesystem::exists(living + "ping0.sh"));
    EXPECT_FALSE(std::filesystem::exists(ended));
    EXPECT_TRUE(std::filesystem::exists(elsewhere + "0.mark"));

    kill(other, SIGKILL);
    waitpid(other, nullptr, 0);
    korvane::RemoveEarlierRunFiles(scratch);
    EXPECT_FALSE(std::filesystem::exists(living));
    EXPECT_TRUE(std::filesystem::exists(elsewhere + "0.mark"));
}

TEST(PollProblems, ProbeReasonIsOneBoundedLineOfPlainText) {
    const std::string accent = "é";  // two bytes
    // The cut falls inside the first "é" and goes back to its start.
    const std::string longLine(korvane::kMaxReasonLength - 4, 'x');
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"\r\n \n", ""},
        {"hostping : pas de socket\nsecond\n", "hostping : pas de socket"},
        {"\n  \tpremier\t\r\n", "premier"},
        {"a\x01"
         "b\x1b[31mc\x7f",
         "a b [31mc"},
        {"<b>gras</b>", "<b>gras</b>"},
        {longLine + accent + accent + "fin", longLine + "…"},
    };
    for (const auto& [output, reason] : cases) {
        EXPECT_EQ(korvane::ProbeFailureReason(output), reason) << output;
    }
    // The shell's complaint about the slot's script, without the script's
    // name and line: the same from every slot.
    const std::string script = "/run/user/0/korvane/p12-34/ping7.sh";
    for (const auto& [output, reason] : std::vector<std::pair<std::string, std::string>>{
             {script + ": 1: /opt/k/hostping: not found\n", "/opt/k/hostping: not found"},
             {script + ": line 1: /opt/k/hostping: Permission denied",
              "/opt/k/hostping: Permission denied"},
             {script + ":", ""},
             {"/autre/ping7.sh: 1: x", "/autre/ping7.sh: 1: x"},
             {script + ": sans ligne", "sans ligne"},
         }) {
        EXPECT_EQ(korvane::ProbeFailureReason(output, script), reason) << output;
    }
    EXPECT_LE(korvane::ProbeFailureReason(std::string(100000, 'y')).size(),
              korvane::kMaxReasonLength);
    EXPECT_EQ(korvane::ProbeFailureReasonIn("/nonexistent/ping1.err"), "");
}

TEST(PollPlatform, FolderListingAndFileTests) {
    TempFolder folder;
    WriteBytes(folder / "a", "");
    WriteBytes(folder / ".b", "");
    std::filesystem::create_directory(folder / "c");
    std::vector<std::string> names = toolkit::platform::ListFolder(folder.Path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(toolkit::platform::ListFolder(folder / "gone"), std::vector<std::string>{});
    EXPECT_TRUE(toolkit::platform::FileExists(folder / "a"));
    EXPECT_FALSE(toolkit::platform::FileExists(folder / "c"));
    EXPECT_FALSE(toolkit::platform::FileExists(folder / "gone"));
    EXPECT_EQ(toolkit::platform::IsReadOnly(folder / "gone"), std::nullopt);
    EXPECT_FALSE(toolkit::platform::RemoveFile(folder / "c"));
    EXPECT_TRUE(toolkit::platform::RemoveFile(folder / "a"));
    EXPECT_FALSE(toolkit::platform::FileExists(folder / "a"));
}

}  // namespace
