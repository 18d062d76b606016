// The console programs and the power batch files under Wine against the
// simulated LAN (tests/windows/lab.sh runs these in the lab's admin namespace,
// h3 198.18.0.13 put to sleep first). Skipped elsewhere.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "korvane/core/followup.h"
#include "korvane/core/polling.h"
#include "korvane/core/power.h"
#include "platform/platform.h"
#include "raw_ping.h"
#include "reseau.h"
#include "tools.h"
#include "utils.h"

namespace {

using std::chrono::milliseconds;
using toolkit::Os;

class Win32Lab : public testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("KORVANE_WINE_LAB") == nullptr) GTEST_SKIP() << "hors du laboratoire";
    }
    const toolkit::ToolPaths paths = korvane::SlotPaths();
};

template <typename Condition>
bool WaitFor(Condition done, milliseconds bound = milliseconds(30000)) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(milliseconds(50));
    }
    return true;
}

bool Answers(const std::string& host) {
    return toolkit::IcmpProbeMany({host}, milliseconds(200)).front();
}

// Korvane's way with a power batch: written whole, started hidden, not waited for.
void RunPowerBatch(const korvane::PowerCommand& command) {
    ASSERT_TRUE(command.refusal.empty()) << command.refusal;
    toolkit::SaveText(command.scriptPath, command.scriptText);
    ASSERT_TRUE(toolkit::StartDetached(korvane::ScriptCommand(Os::Windows, command.scriptPath)));
}

// The check batch of a follow-up, in its slot, read back once attrib has run.
toolkit::TextList RunCheckBatch(const toolkit::ToolPaths& paths, const std::string& host,
                                std::uint8_t slot) {
    const korvane::SlotFiles files = korvane::SlotFilesFor(Os::Windows, paths, slot);
    korvane::ArmMarker(files.marker);
    toolkit::platform::RemoveFile(files.result);
    toolkit::SaveText(files.script,
                      korvane::CheckScript(Os::Windows, paths, host, host, slot).value());
    EXPECT_TRUE(toolkit::StartDetached(korvane::ScriptCommand(Os::Windows, files.script)));
    EXPECT_TRUE(WaitFor([&] { return korvane::FinishedSlot(slot).has_value(); })) << host;
    toolkit::TextList output = toolkit::LoadOutputLines(files.result);
    korvane::CleanSlotFiles(paths.scratchDir);
    return output;
}

TEST_F(Win32Lab, HostpingAnswersForTheAwakeHostsOnly) {
    toolkit::SaveLines("c:\\lab-list", {"198.18.0.1", "198.18.0.11", "198.18.0.12", "198.18.0.13",
                                        "198.18.0.99", "pc-salon.maison.lan"});
    std::filesystem::remove("c:\\lab-answers");
    toolkit::RunAndWait("\"" + paths.programDir + "hostping.exe\" c:\\lab-list c:\\lab-answers");
    EXPECT_EQ(toolkit::LoadLines("c:\\lab-answers"),
              (toolkit::TextList{"198.18.0.1=1", "198.18.0.11=1", "198.18.0.12=1",
                                 "pc-salon.maison.lan=1"}));
}

// The sleeping host answers once the magic packet has reached it on the wire.
TEST_F(Win32Lab, WakeUpBatchWakesTheSleepingHost) {
    ASSERT_FALSE(Answers("198.18.0.13")) << "h3 should sleep";
    const korvane::PowerCommand command = korvane::PowerUpCommand(
        Os::Windows, paths, "PORTABLE-ANNE", "02-4B-52-00-00-13", "198.18.0.13");
    EXPECT_EQ(
        command.scriptText,
        "\"" + paths.programDir + "wolcmd.exe\" 02-4B-52-00-00-13 198.18.0.13 255.255.255.0\r\n");
    RunPowerBatch(command);
    EXPECT_TRUE(WaitFor([] { return Answers("198.18.0.13"); }));
}

// The remote shutdown reaches the stand-in of Windows' shutdown exactly as
// written; the host keeps answering, so the follow-up check finds an incident.
TEST_F(Win32Lab, ShutdownBatchAndItsFollowUpCheck) {
    const char* standins = std::getenv("KORVANE_STANDINS");
    ASSERT_NE(standins, nullptr);
    const std::string calls = std::string(standins) + "\\shutdown-calls.txt";
    std::filesystem::remove(calls);
    RunPowerBatch(korvane::ShutdownCommand(Os::Windows, paths, "PC-BUREAU", "198.18.0.12"));
    // The stand-in creates the file before it writes its line.
    ASSERT_TRUE(WaitFor([&] {
        return toolkit::platform::FileExists(calls) && !toolkit::LoadLines(calls).empty();
    }));
    EXPECT_EQ(toolkit::LoadLines(calls), toolkit::TextList{"-s -f -t 30 -m \\\\198.18.0.12"});

    const toolkit::TextList stillUp = RunCheckBatch(paths, "198.18.0.12", 220);
    const auto incident = korvane::CheckIncident(korvane::FollowKind::Shutdown, stillUp);
    ASSERT_TRUE(incident.has_value());
    EXPECT_EQ(incident->host, "198.18.0.12");
    const toolkit::TextList gone = RunCheckBatch(paths, "198.18.0.99", 221);
    EXPECT_EQ(toolkit::Trim(gone.back()), "198.18.0.99=down");
    EXPECT_FALSE(korvane::CheckIncident(korvane::FollowKind::Shutdown, gone).has_value());
}

// A program folder and a work folder under a path holding "&", "^" and a
// blank, as an account named "R&D" has, and in the program folder (the
// batch files' current folder, as Korvane's) batch files named like the
// tools the batch files call, as an entry's group file may be named: the
// poll, a wake-up, a shutdown and an access test run the real tools from
// there, and none of the planted ones.
TEST_F(Win32Lab, BatchesRunTheirToolsFromAFolderHoldingAmpersandAndCaret) {
    const std::filesystem::path root(L"C:\\korvane R&D ^1");
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root / L"programmes");
    const std::string programDir = "C:\\korvane R&D ^1\\programmes\\";
    for (const char* program : {"hostping.exe", "wolcmd.exe"}) {
        std::filesystem::copy_file(paths.programDir + program, programDir + program);
    }
    const std::string planted = programDir + "outil-remplace.txt";
    for (const char* tool : {"attrib", "shutdown", "sc", "hostping", "wolcmd"}) {
        toolkit::SaveText(programDir + tool + ".bat",
                          std::string("@echo ") + tool + ">>outil-remplace.txt\r\n");
    }
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(programDir);
    SetEnvironmentVariableW(L"KORVANE_SCRATCH", L"C:\\korvane R&D ^1\\travail");
    const toolkit::ToolPaths here{programDir, korvane::SlotPaths().scratchDir};
    ASSERT_EQ(here.scratchDir, "C:\\korvane R&D ^1\\travail\\" +
                                   korvane::ProcessFolderName(toolkit::platform::ThisProcess()) +
                                   "\\");

    // Korvane's way with a batch: its slot's marker armed, written whole,
    // started hidden; read back once attrib has cleared the marker.
    const auto run = [&](const std::string& script, const std::string& text, std::uint8_t slot) {
        const korvane::SlotFiles files = korvane::SlotFilesFor(Os::Windows, here, slot);
        korvane::ArmMarker(files.marker);
        toolkit::platform::RemoveFile(files.result);
        toolkit::SaveText(script, text);
        EXPECT_TRUE(toolkit::StartDetached(korvane::ScriptCommand(Os::Windows, script)));
        EXPECT_TRUE(WaitFor([&] { return korvane::FinishedSlot(slot).has_value(); })) << text;
        return korvane::LoadPowerResult(files.result);
    };

    toolkit::SaveLines(programDir + "localGM", {"198.18.0.11", "198.18.0.99"});
    const korvane::SlotFiles poll = korvane::SlotFilesFor(Os::Windows, here, 240);
    EXPECT_EQ(run(poll.script, korvane::PollScript(Os::Windows, here, "localGM", 240), 240),
              toolkit::TextList{"198.18.0.11=1"});

    const auto report = [&](korvane::PowerAction action, const korvane::PowerCommand& command,
                            std::uint8_t slot) {
        const korvane::PowerScript script =
            korvane::ComposePowerScript(Os::Windows, here, action, "PC-BUREAU", {"PC-BUREAU"},
                                        {command}, korvane::SlotFilesFor(Os::Windows, here, slot));
        EXPECT_FALSE(script.Refused()) << script.refusal;
        return run(script.scriptPath, script.scriptText, slot);
    };
    const toolkit::TextList woken = report(
        korvane::PowerAction::WakeUp,
        korvane::PowerUpCommand(Os::Windows, here, "PC-BUREAU", "02-4B-52-00-00-12", "198.18.0.12"),
        241);
    EXPECT_EQ(korvane::PowerOutcomes(woken, {"PC-BUREAU"}).size(), 1u);
    EXPECT_TRUE(korvane::PowerFailures(woken, {"PC-BUREAU"}).empty()) << woken.back();

    const std::string calls = std::string(std::getenv("KORVANE_STANDINS")) + "\\shutdown-calls.txt";
    toolkit::platform::RemoveFile(calls);
    const toolkit::TextList shut =
        report(korvane::PowerAction::Shutdown,
               korvane::ShutdownCommand(Os::Windows, here, "PC-BUREAU", "198.18.0.12"), 242);
    EXPECT_TRUE(korvane::PowerFailures(shut, {"PC-BUREAU"}).empty()) << shut.back();
    EXPECT_EQ(toolkit::LoadLines(calls), toolkit::TextList{"-s -f -t 30 -m \\\\198.18.0.12"});

    const toolkit::TextList access =
        report(korvane::PowerAction::TestAccess,
               korvane::ShutdownCommand(Os::Windows, here, "PC-BUREAU", "198.18.0.12", {},
                                        korvane::PowerAction::TestAccess),
               243);
    EXPECT_EQ(korvane::AccessReport(access, {"PC-BUREAU"}, {false}),
              "Accès à « PC-BUREAU » : accordé, l'arrêt à distance devrait fonctionner.");

    EXPECT_FALSE(toolkit::platform::FileExists(planted))
        << toolkit::platform::ReadRegularFile(planted, 1000);
    korvane::CleanSlotFiles(here.scratchDir);
    SetEnvironmentVariableW(L"KORVANE_SCRATCH", nullptr);
    std::filesystem::current_path(before);
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

}  // namespace
