// The network map drawn by the real window: cells, filter, on/off pictures,
// rebuilds.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>

#include "korvane/core/KrvVar.h"
#include "forms.h"
#include "program_folder.h"
#include "umachine.h"
#include "url_catcher.h"

namespace {

using gui_testing::ProgramFolder;

class MapTest : public testing::Test {
  protected:
    void SetUp() override {
        folder.Write("localGM", {"pc1", "pc2", "pc3", "pc4"});
        folder.Write("liste.ip", {"pc1 10.0.0.5", "pc2 10.0.0.6", "pc3 10.0.0.7", "pc4 10.0.0.8"});
        folder.Write("liste.mac", {"PC1 02-00-00-00-00-05"});
    }
    korvane::TForm1& Start() {
        korvane::TForm1& form = folder.Start();
        form.show();
        return form;
    }
    void SetStates(const toolkit::TextList& lines) { folder.Write("etats", lines); }
    QPoint ButtonAt(int entry) { return folder.Form().EntryButtons.at(entry)->pos(); }
    int GlyphWidth(int entry) { return folder.Form().EntryButtons.at(entry)->GlyphWidth(); }

    ProgramFolder folder;
};

TEST_F(MapTest, ThreePerRowPutsTheGatewayFirstThenEntriesAfterIt) {
    korvane::TForm1& form = Start();
    EXPECT_EQ(form.width(), 480);
    EXPECT_EQ(form.LastEntry, 3);
    EXPECT_EQ(ButtonAt(0), QPoint(200, 50));
    EXPECT_EQ(ButtonAt(1), QPoint(340, 50));
    EXPECT_EQ(ButtonAt(2), QPoint(60, 190));
    EXPECT_EQ(ButtonAt(3), QPoint(200, 190));
    EXPECT_EQ(form.EntryButtons[0]->size(), QSize(67, 60));
    EXPECT_EQ(form.NameCaptions[0]->geometry(), QRect(185, 112, 100, 15));
    EXPECT_EQ(form.IpCaptions[0]->geometry(), QRect(185, 127, 100, 15));
    EXPECT_EQ(form.MacCaptions[0]->pos(), QPoint(185, 142));
    EXPECT_EQ(form.EntryFrames[0]->geometry(), QRect(180, 110, 120, 51));
    EXPECT_FALSE(form.EntryFrames[0]->isVisible());
    EXPECT_EQ(form.NameCaptions[0]->text(), QStringLiteral("PC1"));
    EXPECT_EQ(form.IpCaptions[0]->text(), QStringLiteral("10.0.0.5"));
    EXPECT_EQ(form.MacCaptions[0]->text(), QStringLiteral("02-00-00-00-00-05"));
    EXPECT_FALSE(form.MacCaptions[0]->isVisible());
    EXPECT_EQ(form.EntryButtons[2]->Tag, 2);
}

TEST_F(MapTest, OnePerRowGivesEachEntryItsOwnRow) {
    folder.Write("krv.ini", {"nbyrow=1"});
    korvane::TForm1& form = Start();
    EXPECT_EQ(form.width(), 160);
    EXPECT_EQ(ButtonAt(0), QPoint(60, 190));
    EXPECT_EQ(ButtonAt(1), QPoint(60, 330));
}

TEST_F(MapTest, StatesComeFromEtatsByNameOrAddressIgnoringCase) {
    SetStates({"PC1=1", "10.0.0.6=1", "pc3=0", "pc4=1 "});
    Start();
    EXPECT_EQ(GlyphWidth(0), 67);
    EXPECT_EQ(GlyphWidth(1), 67);
    EXPECT_EQ(GlyphWidth(2), 69);
    EXPECT_EQ(GlyphWidth(3), 69);
}

TEST_F(MapTest, PicturesChangeOnlyWhenTheStateChanges) {
    SetStates({"pc1=1"});
    korvane::TForm1& form = Start();
    const qint64 onKey = form.EntryButtons[0]->Glyph().cacheKey();
    const qint64 offKey = form.EntryButtons[1]->Glyph().cacheKey();
    form.Redraw_network();
    EXPECT_EQ(form.EntryButtons[0]->Glyph().cacheKey(), onKey);
    EXPECT_EQ(form.EntryButtons[1]->Glyph().cacheKey(), offKey);

    SetStates({"pc2=1"});
    form.Redraw_network();
    EXPECT_TRUE(gui_testing::SamePicture(form.EntryButtons[0]->Glyph(), form.ScreenOff));
    EXPECT_TRUE(gui_testing::SamePicture(form.EntryButtons[1]->Glyph(), form.ScreenOn));
}

TEST_F(MapTest, EntriesAtTheGatewayDnsOrDhcpAddressAreLeftOut) {
    korvane::TForm1& form = Start();
    form.LocalHost.gateway = "10.0.0.5";
    form.LocalHost.dnsServer = "10.0.0.6";
    form.LocalHost.dhcpServer = "10.0.0.7";
    korvane::Krv().MapRebuild = 1;
    form.Redraw_network();
    EXPECT_EQ(form.EntryButtons[0], nullptr);
    EXPECT_EQ(form.EntryButtons[1], nullptr);
    EXPECT_EQ(form.EntryButtons[2], nullptr);
    ASSERT_NE(form.EntryButtons[3], nullptr);
    EXPECT_EQ(ButtonAt(3), QPoint(200, 190));  // later entries keep their cells
    EXPECT_EQ(form.gw_ip->text(), QStringLiteral("10.0.0.5"));
    EXPECT_EQ(form.gw_nom->text(), QStringLiteral("pc1"));
}

// A group or a computer known by its name alone has no address: it is shown
// (and can be clicked) whether or not the adapter listing names a DNS or DHCP
// server.
TEST_F(MapTest, EntryWithoutAddressIsShownWithOrWithoutServerFields) {
    folder.Write("localGM", {"pc1", "inconnu"});
    korvane::TForm1& form = Start();
    ASSERT_TRUE(form.LocalHost.dnsServer.empty());  // a private namespace has none
    ASSERT_EQ(form.EntryButtons.size(), 2u);
    ASSERT_NE(form.EntryButtons[1], nullptr);
    EXPECT_EQ(form.IpCaptions[1]->text(), QString());
    EXPECT_EQ(GlyphWidth(1), 69);

    form.LocalHost.gateway = form.LocalHost.dnsServer = form.LocalHost.dhcpServer = "10.9.9.9";
    korvane::Krv().MapRebuild = 1;
    form.Redraw_network();
    ASSERT_NE(form.EntryButtons.at(1), nullptr);
    EXPECT_EQ(form.IpCaptions[1]->text(), QString());
}

TEST_F(MapTest, RebuildRecreatesEveryControlAtItsNewCell) {
    korvane::TForm1& form = Start();
    const korvane::GlyphButton* before = form.EntryButtons[0];
    korvane::Krv().settings.nbyrow = 1;
    form.Redraw_network();
    EXPECT_EQ(form.EntryButtons[0], before);  // no rebuild asked: nothing moves
    EXPECT_EQ(ButtonAt(0), QPoint(200, 50));

    korvane::Krv().MapRebuild = 1;
    form.Redraw_network();
    EXPECT_EQ(korvane::Krv().MapRebuild, 0);
    EXPECT_EQ(ButtonAt(0), QPoint(60, 190));
    EXPECT_EQ(ButtonAt(3), QPoint(60, 610));
    EXPECT_EQ(form.width(), 160);
}

// At the default height the second row's addresses and a third row do not
// fit: the map scrolls down to the last caption.
TEST_F(MapTest, EntriesBeyondTheWindowAreReachedByScrolling) {
    toolkit::TextList managed, addresses;
    for (int i = 1; i <= 7; ++i) {
        managed.push_back("pc" + std::to_string(i));
        addresses.push_back(managed.back() + " 10.0.0." + std::to_string(i + 4));
    }
    folder.Write("localGM", managed);
    folder.Write("liste.ip", addresses);
    korvane::TForm1& form = Start();
    auto* area = form.findChild<QScrollArea*>(QStringLiteral("carte"));
    ASSERT_NE(area, nullptr);
    const QWidget* content = area->widget();
    EXPECT_EQ(form.IpCaptions.at(6)->parentWidget(), content);
    EXPECT_GE(content->height(), form.IpCaptions[6]->geometry().bottom());
    EXPECT_GT(content->height(), area->viewport()->height());
    EXPECT_EQ(area->verticalScrollBar()->maximum(),
              content->height() - area->viewport()->height());
    area->ensureWidgetVisible(form.IpCaptions[6]);
    EXPECT_FALSE(form.IpCaptions[6]->visibleRegion().isEmpty());

    korvane::Krv().ManagedList = {"pc1"};  // one row fits: nothing to scroll
    korvane::Krv().MapRebuild = 1;
    form.Redraw_network();
    EXPECT_EQ(area->verticalScrollBar()->maximum(), 0);
}

TEST_F(MapTest, ShrunkenListKeepsOldControlsUntilTheNextRebuild) {
    korvane::TForm1& form = Start();
    korvane::Krv().ManagedList = {"pc1", "pc2"};
    form.Redraw_network();
    EXPECT_EQ(form.LastEntry, 1);
    ASSERT_NE(form.NameCaptions.at(3), nullptr);
    EXPECT_EQ(form.NameCaptions[3]->text(), QStringLiteral("PC4"));

    korvane::Krv().MapRebuild = 1;
    form.Redraw_network();
    EXPECT_EQ(form.NameCaptions[3], nullptr);
    EXPECT_EQ(form.EntryButtons[3], nullptr);
}

TEST_F(MapTest, NamesAndAddressesAreShownAsTheyAreNeverAsMarkup) {
    folder.Write("localGM", {"<b>pc1</b>"});
    folder.Write("liste.ip", {"<b>pc1</b> <img src=x>", "<i>gw</i> 10.0.0.1"});
    korvane::TForm1& form = Start();
    ASSERT_NE(form.NameCaptions.at(0), nullptr);
    EXPECT_EQ(form.NameCaptions[0]->textFormat(), Qt::PlainText);
    EXPECT_EQ(form.NameCaptions[0]->text(), QStringLiteral("<B>PC1</B>"));
    EXPECT_EQ(form.IpCaptions[0]->textFormat(), Qt::PlainText);
    EXPECT_EQ(form.MacCaptions[0]->textFormat(), Qt::PlainText);
    form.LocalHost.gateway = "10.0.0.1";
    form.Redraw_network();
    EXPECT_EQ(form.gw_nom->textFormat(), Qt::PlainText);
    EXPECT_EQ(form.gw_nom->text(), QStringLiteral("<i>gw</i>"));
}

TEST_F(MapTest, MoreThanThirtyTwoEntriesContinueTheGrid) {
    toolkit::TextList managed, addresses;
    for (int i = 0; i < 40; ++i) {
        managed.push_back("m" + std::to_string(i));
        addresses.push_back("m" + std::to_string(i) + " 10.1.0." + std::to_string(i + 1));
    }
    folder.Write("localGM", managed);
    folder.Write("liste.ip", addresses);
    korvane::TForm1& form = Start();
    ASSERT_EQ(form.EntryButtons.size(), 40u);
    EXPECT_EQ(ButtonAt(39), QPoint(60 + 140 * (40 % 3), 50 + 140 * (40 / 3)));
    folder.Stop();
    EXPECT_EQ(folder.Read("settings.ini").size(), 120u);
}

TEST_F(MapTest, EntryClickSelectsTheEntryAndOpensTheOnOffDialog) {
    korvane::TForm1& form = Start();
    bool dialogShown = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = korvane::Application()->machines();
        dialogShown = dialog->isVisible();
        dialog->reject();
    });
    form.EntryButtons[2]->click();
    EXPECT_TRUE(dialogShown);
    EXPECT_EQ(korvane::Krv().SelectedEntry, 2);
}

TEST_F(MapTest, GatewayClickOpensItsPageOnlyForADottedAddress) {
    korvane::TForm1& form = Start();
    gui_testing::UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "Open");
    form.LocalHost.gateway = "10.0.0.1";
    form.routeurClick();
    form.LocalHost.gateway = "evil.example/x";
    form.routeurClick();
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    EXPECT_EQ(catcher.opened, (QStringList{"http://10.0.0.1"}));
}

}  // namespace
