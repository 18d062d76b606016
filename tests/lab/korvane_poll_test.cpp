// Korvane in the lab with the real hostping and ping: the map follows hosts
// going to sleep and waking, the gateway's picture follows its probe, and a
// single-host check tells up from down.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <map>

#include "KrvVar.h"
#include "lab_support.h"
#include "polling.h"
#include "program_folder.h"
#include "reseau.h"
#include "tools.h"

namespace {

using gui_testing::ProgramFolder;
using gui_testing::WaitFor;

class KorvaneLab : public testing::Test {
  protected:
    void SetUp() override {
        folder.InstallProgram("hostping");
        toolkit::TextList managed, addresses;
        for (const lab::Host& host : lab::Hosts()) {
            managed.push_back(toolkit::AsciiLower(host.netbiosName));
            addresses.push_back(toolkit::AsciiLower(host.netbiosName) + " " + host.address);
        }
        folder.Write("localGM", managed);
        folder.Write("liste.ip", addresses);
    }
    void TearDown() override {
        for (const lab::Host& host : lab::Hosts()) lab::Wake(host);
    }
    korvane::TForm1& Start() {
        korvane::TForm1& form = folder.Start();
        form.Timer1->stop();
        form.TimerRedraw->stop();
        form.show();
        return form;
    }
    bool Pending() const { return gui_testing::HasPendingRequests(folder.Form()); }
    // One 10-second tick, collected.
    void Poll() {
        folder.Form().TimerRedrawTimer();
        ASSERT_TRUE(WaitFor([this] { return !Pending(); }, 10000));
    }
    int Glyph(int entry) const { return folder.Form().EntryButtons.at(entry)->GlyphWidth(); }

    ProgramFolder folder;
};

TEST_F(KorvaneLab, MapFollowsHostsGoingToSleepAndWaking) {
    const lab::Host& sleeper = lab::Hosts().at(1);
    lab::Sleep(sleeper);
    korvane::TForm1& form = Start();
    ASSERT_EQ(form.LocalHost.gateway, lab::kGateway);
    Poll();
    EXPECT_EQ(Glyph(0), 67);
    EXPECT_EQ(Glyph(1), 69);
    EXPECT_EQ(Glyph(2), 67);
    EXPECT_EQ(folder.Read("localIP").at(1), sleeper.address);

    lab::Wake(sleeper);
    Poll();
    EXPECT_EQ(Glyph(1), 67);

    lab::Sleep(lab::Hosts().at(0));
    Poll();
    EXPECT_EQ(Glyph(0), 69);
    EXPECT_EQ(Glyph(1), 67);
}

// Blanks or a tab after the address in liste.ip: the real hostping answers
// the trimmed host, and the map shows the awake computers on.
TEST_F(KorvaneLab, BlanksAfterTheAddressStillShowTheHostAwake) {
    const char* const endings[] = {" ", "  ", "\t", " \t "};
    toolkit::TextList addresses;
    std::size_t i = 0;
    for (const lab::Host& host : lab::Hosts()) {
        addresses.push_back(toolkit::AsciiLower(host.netbiosName) + " " + host.address +
                            endings[i++ % std::size(endings)]);
    }
    folder.Write("liste.ip", addresses);
    lab::Sleep(lab::Hosts().at(1));
    Start();
    Poll();
    for (std::size_t entry = 0; entry < lab::Hosts().size(); ++entry) {
        EXPECT_EQ(folder.Read("localIP").at(entry), lab::Hosts()[entry].address);
        EXPECT_EQ(Glyph(static_cast<int>(entry)), entry == 1 ? 69 : 67) << entry;
    }
}

TEST_F(KorvaneLab, GatewayPictureFollowsItsProbe) {
    korvane::TForm1& form = Start();
    EXPECT_EQ(form.routeur->GlyphWidth(), 67);
    EXPECT_EQ(form.gw_ip->text().toStdString(), lab::kGateway);
    form.LocalHost.gateway = lab::kUnused;
    form.Redraw_network();
    EXPECT_EQ(form.routeur->GlyphWidth(), 69);
    form.LocalHost.gateway = lab::kGateway;
    form.Redraw_network();
    EXPECT_EQ(form.routeur->GlyphWidth(), 67);
}

// The check's own handler collects it, as the follow-up reports do.
TEST_F(KorvaneLab, SingleHostCheckEndsWithItsVerdictAndAWritableMarker) {
    korvane::TForm1& form = Start();
    const lab::Host& awake = lab::Hosts().at(0);
    const lab::Host& asleep = lab::Hosts().at(1);
    lab::Sleep(asleep);
    std::map<int, toolkit::TextList> results;
    const auto collect = [&](korvane::TTimer* timer) {
        const auto files = korvane::SlotFilesFor(toolkit::kHostOs, toolkit::HostToolPaths(),
                                                 static_cast<std::uint8_t>(timer->Tag));
        if (korvane::MarkerIsArmed(files.marker)) return;
        results[timer->Tag] = toolkit::LoadLines(files.result);
        form.ReleasePingTimer(timer->Tag);
    };
    const int first = korvane::Krv().PingSlot;
    // A member as group files name it: the admin machine's hosts file knows it.
    const std::string awakeName = toolkit::ShortHostName(awake.reverseName);
    ASSERT_FALSE(awakeName.empty());
    form.ExecPING_host(awakeName, collect);
    form.ExecPING_host(asleep.address, collect);
    ASSERT_TRUE(WaitFor([&] { return results.size() == 2; }, 10000));
    EXPECT_EQ(results[first].back(), awakeName + "=up");
    EXPECT_EQ(results[first + 1].back(), asleep.address + "=down");
    EXPECT_TRUE(form.console->toPlainText().contains(
        QString::fromStdString("Lancement de ping " + awakeName + "...")));
    const auto marker = korvane::SlotFilesFor(toolkit::kHostOs, toolkit::HostToolPaths(),
                                              static_cast<std::uint8_t>(first))
                            .marker;
    EXPECT_FALSE(korvane::MarkerIsArmed(marker));
}

}  // namespace
