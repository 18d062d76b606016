// An entry named with accents, its wake-up and shutdown batch files run by
// Wine's cmd.exe against the simulated LAN (tests/windows/lab.sh runs these
// in the lab's admin namespace, h4 198.18.0.14 put to sleep first), each
// reporting into a slot of a work folder with a blank and accents in its
// name. Skipped elsewhere.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "korvane/core/polling.h"
#include "korvane/core/power.h"
#include "platform/platform.h"
#include "raw_ping.h"
#include "tools.h"
#include "utils.h"

namespace {

using std::chrono::milliseconds;
using toolkit::Os;
using toolkit::TextList;

class Win32LabAccents : public testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("KORVANE_WINE_LAB") == nullptr) GTEST_SKIP() << "hors du laboratoire";
        SetEnvironmentVariableW(L"KORVANE_SCRATCH", L"C:\\korvane-lab Hélène\\travail");
        paths = korvane::SlotPaths();
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"KORVANE_SCRATCH", nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(L"C:\\korvane-lab Hélène"), ignored);
    }

    // Korvane's way with a reported power command: the slot's marker armed,
    // the script written whole and started hidden, its result read back as
    // Korvane reads it once attrib has made the marker writable again.
    TextList RunReported(const korvane::PowerScript& script, const korvane::SlotFiles& report,
                         std::uint8_t slot) {
        korvane::ArmMarker(report.marker);
        toolkit::platform::RemoveFile(report.result);
        toolkit::SaveText(script.scriptPath, script.scriptText);
        EXPECT_TRUE(toolkit::StartDetached(korvane::ScriptCommand(Os::Windows, script.scriptPath)));
        EXPECT_TRUE(WaitFor([&] { return korvane::FinishedSlot(slot).has_value(); }));
        return korvane::LoadPowerResult(report.result);
    }

    template <typename Condition>
    static bool WaitFor(Condition done) {
        const auto end = std::chrono::steady_clock::now() + milliseconds(30000);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(milliseconds(50));
        }
        return true;
    }

    toolkit::ToolPaths paths;
};

bool Answers(const std::string& host) {
    return toolkit::IcmpProbeMany({host}, milliseconds(200)).front();
}

// The end mark of the accented computer's line, which cmd.exe wrote in the
// console's code page, is found: its command succeeded.
void ExpectSucceeded(const TextList& result, const korvane::PowerScript& script) {
    ASSERT_FALSE(result.empty());
    EXPECT_EQ(korvane::PowerOutcomes(result, script.computers).size(), 1u)
        << toolkit::Trim(result.back());
    EXPECT_TRUE(korvane::PowerFailures(result, script.computers).empty());
}

TEST_F(Win32LabAccents, WakeUpBatchWakesTheSleepingHostAndReports) {
    ASSERT_FALSE(Answers("198.18.0.14")) << "h4 should sleep";
    const std::uint8_t slot = 230;
    const korvane::SlotFiles report = korvane::SlotFilesFor(Os::Windows, paths, slot);
    const korvane::PowerScript script = korvane::ComposePowerScript(
        Os::Windows, paths, korvane::PowerAction::WakeUp, "Comptabilité", {"Comptabilité"},
        {korvane::PowerUpCommand(Os::Windows, paths, "Comptabilité", "02-4B-52-00-00-14",
                                 "198.18.0.14")},
        report);
    ASSERT_FALSE(script.Refused()) << script.refusal;
    EXPECT_EQ(script.scriptPath, paths.programDir + "powerupComptabilité.bat");
    ExpectSucceeded(RunReported(script, report, slot), script);
    EXPECT_TRUE(WaitFor([] { return Answers("198.18.0.14"); }));
}

// The comment reaches the stand-in of Windows' shutdown as one argument,
// accents and all.
TEST_F(Win32LabAccents, ShutdownBatchCarriesItsCommentAndReports) {
    const char* standins = std::getenv("KORVANE_STANDINS");
    ASSERT_NE(standins, nullptr);
    const std::string calls = std::string(standins) + "\\shutdown-calls.txt";
    toolkit::platform::RemoveFile(calls);
    const std::uint8_t slot = 231;
    const korvane::SlotFiles report = korvane::SlotFilesFor(Os::Windows, paths, slot);
    const korvane::PowerScript script = korvane::ComposePowerScript(
        Os::Windows, paths, korvane::PowerAction::Shutdown, "Comptabilité", {"Comptabilité"},
        {korvane::ShutdownCommand(Os::Windows, paths, "Comptabilité", "198.18.0.12",
                                  {30, "Arrêt à 18 h"})},
        report);
    ASSERT_FALSE(script.Refused()) << script.refusal;
    EXPECT_EQ(script.scriptPath, paths.programDir + "shutdnComptabilité.bat");
    ExpectSucceeded(RunReported(script, report, slot), script);
    EXPECT_EQ(toolkit::LoadLines(calls),
              TextList{"-s -f -t 30 -c Arrêt à 18 h -m \\\\198.18.0.12"});
}

// "Tester l'accès" on the accented entry, at an address where nothing
// answers: sc.exe's failure, written in the console's code page, is told
// with its code and remedy, never taken for a test that did not end.
TEST_F(Win32LabAccents, AccessTestTellsScsFailureAndItsRemedy) {
    const std::uint8_t slot = 232;
    const korvane::SlotFiles report = korvane::SlotFilesFor(Os::Windows, paths, slot);
    const korvane::PowerScript script = korvane::ComposePowerScript(
        Os::Windows, paths, korvane::PowerAction::TestAccess, "Comptabilité", {"Comptabilité"},
        {korvane::ShutdownCommand(Os::Windows, paths, "Comptabilité", "198.18.0.99", {},
                                  korvane::PowerAction::TestAccess)},
        report);
    ASSERT_FALSE(script.Refused()) << script.refusal;
    const TextList result = RunReported(script, report, slot);
    const std::string reason = "erreur Windows 1722 : Le serveur RPC n'est pas disponible";
    EXPECT_EQ(korvane::AccessReport(result, script.computers, {false}),
              "Accès à « Comptabilité » : refusé : " + reason + ". " +
                  korvane::PowerFailureRemedy(reason));
    EXPECT_EQ(korvane::PowerFailureMessage(korvane::PowerAction::Shutdown,
                                           korvane::PowerFailures(result, script.computers)),
              "Arrêt de « Comptabilité » en échec : " + reason + ". " +
                  korvane::PowerFailureRemedy(reason));
}

}  // namespace
