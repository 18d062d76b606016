// Korvane's notifications through the real window and a real notification
// server: dunst in a D-Bus session of the test's own, on an Xvfb display
// (tests/gui/notify_session.sh makes them and sets KORVANE_NOTIFY_SESSION).
// A sweep that saw a new device is told; a click opens the intake dialog,
// whose row of that device says "nouveau".
#include <gtest/gtest.h>

#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "devices.h"
#include "program_folder.h"
#include "uAddMachines.h"

namespace {

using gui_testing::ProgramFolder;
using gui_testing::WaitFor;

std::string Output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t count = fread(buffer, 1, sizeof buffer, pipe)) {
            text.append(buffer, count);
        }
        pclose(pipe);
    }
    return text;
}

void Sweep(const ProgramFolder& folder, toolkit::DeviceRecord& record, std::int64_t time,
           const std::string& mac, const std::string& address, const std::string& name) {
    record.previousSweep = record.lastSweep;
    record.lastSweep = time;
    toolkit::Device device;
    device.mac = mac;
    device.address = address;
    device.name = name;
    device.firstSeen = device.lastSeen = time;
    record.devices.push_back(device);
    toolkit::SaveLines(folder / toolkit::kDeviceRecordFile, toolkit::DeviceRecordLines(record));
}

TEST(DesktopNotice, ANewDeviceIsToldAndItsClickOpensTheIntakeDialogWithItsMark) {
    if (std::getenv("KORVANE_NOTIFY_SESSION") == nullptr) {
        GTEST_SKIP() << "no notification server of the test's own (notify_session.sh)";
    }
    ProgramFolder folder;
    folder.Write("notifications.ini", {"nouveaux-appareils=1"});
    toolkit::DeviceRecord record;
    const std::int64_t start = 1'800'000'000;
    Sweep(folder, record, start, "02-4B-52-00-00-11", "198.18.0.11", "pc-salon");
    Sweep(folder, record, start + 540, "02-4B-52-00-00-12", "198.18.0.12", "pc-bureau");
    korvane::TForm1& form = folder.StartStill();
    folder.Clock().Set(std::chrono::system_clock::from_time_t(start + 1100));
    Sweep(folder, record, start + 1080, "02-4B-52-00-00-13", "198.18.0.13", "imprimante");
    folder.Write("liste.ip.discover", {"198.18.0.13=imprimante", "198.18.0.12=pc-bureau"});
    folder.App().TimerRedrawTimer();
    ASSERT_TRUE(WaitFor([] { return Output("dunstctl count displayed") == "1\n"; }, 5000))
        << Output("dunstctl debug");

    korvane::TAddMachine& intake = *korvane::Application()->AddMachine();
    QString firstMark;
    bool opened = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!intake.isVisible()) return;
        WaitFor([&] { return !intake.Rows[0].mark->text().isEmpty(); }, 2000);
        opened = true;
        firstMark = intake.Rows[0].mark->text();
        EXPECT_EQ(intake.Rows[0].name->text(), QStringLiteral("imprimante"));
        intake.reject();
    });
    watch.start(50);
    std::system("dunstctl action 0");
    EXPECT_TRUE(WaitFor([&] { return opened; }, 5000));
    EXPECT_EQ(firstMark, QStringLiteral("nouveau"));
    // Closed, it goes to the server's history.
    std::system("dunstctl close");
    std::string history;
    WaitFor(
        [&] {
            history = Output("dunstctl history");
            return history.find("Nouvel appareil") != std::string::npos;
        },
        3000);
    EXPECT_NE(history.find("Nouvel appareil sur le réseau"), std::string::npos) << history;
    EXPECT_NE(history.find("imprimante (198.18.0.13, 02-4B-52-00-00-13)"), std::string::npos)
        << history;
    (void)form;
}

}  // namespace
