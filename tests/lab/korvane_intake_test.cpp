// The whole loop in the lab, through Korvane's real window and the real
// netsweep: the scan Korvane starts finds the lab's hosts, the intake dialog
// offers them, two are enrolled, the map shows them and the next poll shows
// them on.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <filesystem>

#include "korvane/core/KrvVar.h"
#include "forms.h"
#include "lab_support.h"
#include "program_folder.h"
#include "uAddMachines.h"
#include "utils.h"

namespace {

namespace fs = std::filesystem;
using gui_testing::ProgramFolder;
using gui_testing::WaitFor;

constexpr int kScanTimeoutMs = 120000;
constexpr int kPollTimeoutMs = 10000;

// The name netsweep gives a lab host: its NetBIOS name, lower-cased.
std::string ScannedName(const lab::Host& host) {
    return toolkit::AsciiLower(host.netbiosName);
}

// The row of the dialog showing `name`, or -1.
int RowOf(const korvane::TAddMachine& dialog, const std::string& name) {
    for (int row = 0; row < korvane::kIntakeRowCount; ++row) {
        if (dialog.Rows[row].name->text().toStdString() == name) return row;
    }
    return -1;
}

// A MAC as liste.mac holds it: upper case, "-" between the bytes.
std::string Normalised(const std::string& mac) {
    std::string text = toolkit::AsciiUpper(mac);
    std::replace(text.begin(), text.end(), ':', '-');
    return text;
}

bool ScanDone(const ProgramFolder& folder) {
    return !fs::exists(folder / "netsweep.lck") && fs::exists(folder / "liste.ip.discover") &&
           !folder.Read("liste.ip.discover").empty();
}

TEST(KorvaneIntakeLab, ScannedHostsEnrolledInTheDialogAreMappedAndPolledOn) {
    if (!fs::exists(lab::BinPath("netsweep"))) GTEST_SKIP() << "netsweep n'est pas construit";
    ProgramFolder folder;
    folder.InstallProgram("hostping");
    folder.InstallProgram("netsweep");
    // As after a first start: the lists exist, nothing is managed yet.
    for (const char* list : {"localGM", "liste.ip", "liste.mac", "liste.ip.discover"}) {
        folder.Write(list, {});
    }
    korvane::TForm1& form = folder.StartStill();  // starts netsweep, as at every start
    ASSERT_TRUE(WaitFor([&] { return ScanDone(folder); }, kScanTimeoutMs));
    // The 10-second tick reloads liste.ip and liste.mac.
    folder.App().TimerRedrawTimer();
    ASSERT_TRUE(WaitFor([&] { return !gui_testing::HasPendingRequests(form); }, kPollTimeoutMs));

    korvane::TAddMachine& dialog = *korvane::Application()->AddMachine();
    const lab::Host& first = lab::Hosts().at(0);   // named by DNS and NetBIOS
    const lab::Host& second = lab::Hosts().at(2);  // by NetBIOS only
    const auto enrol = [&] {
        ASSERT_TRUE(WaitFor([&] { return RowOf(dialog, ScannedName(first)) >= 0; }, 3000));
        for (const lab::Host& host : lab::Hosts()) {
            const int row = RowOf(dialog, ScannedName(host));
            ASSERT_GE(row, 0) << host.netbiosName;
            EXPECT_EQ(dialog.Rows[row].ip->text().toStdString(), host.address);
            EXPECT_EQ(dialog.Rows[row].mac->text().toStdString(), Normalised(host.mac));
        }
        dialog.Rows[RowOf(dialog, ScannedName(first))].button->click();
        dialog.Rows[RowOf(dialog, ScannedName(second))].button->click();
        dialog.BitBtn1->click();
    };
    // Queued before the dialog blocks; a failed step still closes it.
    QTimer::singleShot(0, &dialog, [&] {
        enrol();
        if (dialog.isVisible()) dialog.done(korvane::kResultCancel);
    });
    form.MainMenu1->findChild<QAction*>(QStringLiteral("Dfinir1"))->trigger();
    ASSERT_EQ(dialog.result(), korvane::kResultOK);

    const toolkit::TextList enrolled{ScannedName(first), ScannedName(second)};
    EXPECT_EQ(folder.Read("localGM"), enrolled);
    for (const auto& name : enrolled) EXPECT_EQ(folder.Read(name), toolkit::TextList{name});
    ASSERT_EQ(folder.App().Map().entries.size(), 2u);
    EXPECT_EQ(form.IpCaptions[0]->text().toStdString(), first.address);
    EXPECT_EQ(form.IpCaptions[1]->text().toStdString(), second.address);
    EXPECT_EQ(form.EntryButtons[0]->GlyphWidth(), 69);  // not polled yet

    folder.App().TimerRedrawTimer();
    ASSERT_TRUE(WaitFor([&] { return !gui_testing::HasPendingRequests(form); }, kPollTimeoutMs));
    EXPECT_EQ(form.EntryButtons[0]->GlyphWidth(), 67);
    EXPECT_EQ(form.EntryButtons[1]->GlyphWidth(), 67);
}

}  // namespace
