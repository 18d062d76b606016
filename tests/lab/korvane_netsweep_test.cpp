// Korvane and the real netsweep in the lab: the runs Korvane starts, at its
// start and on its schedule, fill the discovery lists that it reads back, and
// its scan light shows the run while its marker is there.
#include <gtest/gtest.h>

#include <QLabel>
#include <filesystem>

#include "korvane/core/KrvVar.h"
#include "lab_support.h"
#include "program_folder.h"
#include "utils.h"

namespace {

namespace fs = std::filesystem;
using gui_testing::ProgramFolder;
using gui_testing::SamePicture;
using gui_testing::WaitFor;

TEST(KorvaneNetsweepLab, ScheduledRunsFillTheDiscoveryListsAndTheScanLightFollowsThem) {
    ProgramFolder folder;
    folder.InstallProgram("netsweep");
    folder.InstallProgram("hostping");
    folder.Write("localGM", {"pc-salon"});
    const std::string marker = folder / "netsweep.lck";
    const auto running = [&] { return fs::exists(marker); };
    // A DNS server that never answers holds each run in its naming for a
    // few seconds, long enough to watch the light.
    lab::ScopedSilentDns silent;

    korvane::TForm1& form = folder.StartStill();  // starts the first run
    ASSERT_TRUE(WaitFor(running, 5000));
    folder.App().TimerRedrawTimer();
    EXPECT_TRUE(SamePicture(form.scan_led->pixmap(), form.LedGreen));
    ASSERT_TRUE(WaitFor([&] { return !running(); }, 15000));
    folder.App().TimerRedrawTimer();
    EXPECT_TRUE(SamePicture(form.scan_led->pixmap(), form.LedGrey));

    // The lab of tests/lab/netsweep-hosts.txt: nmbd names three hosts; the
    // fourth name is the silent DNS server's.
    const toolkit::TextList expected = {"pc-salon 198.18.0.11", "pc-bureau 198.18.0.12",
                                        "serveur-nas 198.18.0.14"};
    EXPECT_EQ(folder.App().Vars().IpList, expected);  // read back at the tick
    const toolkit::TextList discovered = {"198.18.0.12=pc-bureau", "198.18.0.14=serveur-nas"};
    EXPECT_EQ(folder.Read("liste.ip.discover"), discovered);

    // The scheduled run, on the scan tick, finds the lists emptied and fills them again.
    folder.Write("liste.ip", {});
    folder.Write("liste.ip.discover", {});
    folder.App().Timer1Timer();  // the first tick starts nothing
    folder.App().Timer1Timer();
    ASSERT_TRUE(WaitFor(running, 5000));
    ASSERT_TRUE(WaitFor([&] { return !running(); }, 15000));
    folder.App().TimerRedrawTimer();
    EXPECT_EQ(folder.App().Vars().IpList, expected);
    EXPECT_EQ(folder.Read("liste.ip.discover"), discovered);
}

}  // namespace
