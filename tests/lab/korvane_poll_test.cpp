// Korvane in the lab with the real hostping and ping: the map follows hosts
// going to sleep and waking, the gateway's picture follows its probe, and a
// single-host check tells up from down.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <map>

#include "korvane/core/KrvVar.h"
#include "korvane/core/polling.h"
#include "lab_support.h"
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
        lab::WriteInventory(folder.Dir(), lab::Hosts(), lab::Macs::Unlisted);
    }
    void TearDown() override {
        for (const lab::Host& host : lab::Hosts()) lab::Wake(host);
    }
    korvane::TForm1& Start() { return folder.StartStill(); }
    bool Pending() const { return gui_testing::HasPendingRequests(folder.Form()); }
    // One 10-second tick, collected.
    void Poll() {
        folder.App().TimerRedrawTimer();
        ASSERT_TRUE(WaitFor([this] { return !Pending(); }, 10000));
    }
    int Glyph(int entry) const { return folder.Form().EntryButtons.at(entry)->GlyphWidth(); }

    ProgramFolder folder;
};

TEST_F(KorvaneLab, MapFollowsHostsGoingToSleepAndWaking) {
    const lab::Host& sleeper = lab::Hosts().at(1);
    lab::Sleep(sleeper);
    Start();
    ASSERT_EQ(folder.App().LocalHost().gateway, lab::kGateway);
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

// The gateway is probed at each poll, away from the drawing: its picture
// follows its answers.
TEST_F(KorvaneLab, GatewayPictureFollowsItsProbe) {
    korvane::TForm1& form = Start();
    EXPECT_EQ(form.gw_ip->text().toStdString(), lab::kGateway);
    const auto glyph = [&](int width) {
        return WaitFor([&] { return form.routeur->GlyphWidth() == width; }, 3000);
    };
    EXPECT_TRUE(glyph(67));
    const std::string echoes = "ip netns exec " + std::string(std::getenv("KORVANE_LAB")) +
                               "-gw sysctl -qw net.ipv4.icmp_echo_ignore_all=";
    lab::Run(echoes + "1");
    Poll();
    EXPECT_TRUE(glyph(69));
    lab::Run(echoes + "0");
    Poll();
    EXPECT_TRUE(glyph(67));
}

// The check's own handler collects it, as the follow-up reports do.
TEST_F(KorvaneLab, SingleHostCheckEndsWithItsVerdictAndAWritableMarker) {
    korvane::TForm1& form = Start();
    const lab::Host& awake = lab::Hosts().at(0);
    const lab::Host& asleep = lab::Hosts().at(1);
    lab::Sleep(asleep);
    std::map<int, toolkit::TextList> results;
    korvane::KorvaneApp& app = folder.App();
    const auto collect = [&](int slot) {
        const auto files = korvane::SlotFilesFor(toolkit::kHostOs, korvane::SlotPaths(),
                                                 static_cast<std::uint8_t>(slot));
        if (korvane::MarkerIsArmed(files.marker)) return;
        results[slot] = toolkit::LoadLines(files.result);
        app.ReleaseRequest(slot);
    };
    const int first = folder.App().Vars().PingSlot;
    // A member as group files name it: the admin machine's hosts file knows it.
    const std::string awakeName = toolkit::ShortHostName(awake.reverseName);
    ASSERT_FALSE(awakeName.empty());
    app.ExecPING_host(awakeName, collect);
    app.ExecPING_host(asleep.address, collect);
    ASSERT_TRUE(WaitFor([&] { return results.size() == 2; }, 10000));
    EXPECT_EQ(results[first].back(), awakeName + "=up");
    EXPECT_EQ(results[first + 1].back(), asleep.address + "=down");
    EXPECT_TRUE(form.console->toPlainText().contains(
        QString::fromStdString("Lancement de ping " + awakeName + "...")));
    const auto marker = korvane::SlotFilesFor(toolkit::kHostOs, korvane::SlotPaths(),
                                              static_cast<std::uint8_t>(first))
                            .marker;
    EXPECT_FALSE(korvane::MarkerIsArmed(marker));
}

}  // namespace
