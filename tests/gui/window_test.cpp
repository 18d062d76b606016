// Korvane's real main window (offscreen) over its app layer: the French
// texts, the map's cells and its scrolling, and the clicks that reach the
// app through the on/off dialog, the pop-up menu and the one-line dialog.
// What the app does with them is tested without a window (tests/app).
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <span>

#include "program_folder.h"
#include "uAddMachines.h"
#include "uBottomdlg.h"
#include "uapropos.h"
#include "ucomingsoon.h"
#include "uconsole.h"
#include "uprefs.h"

namespace {

namespace fs = std::filesystem;
using gui_testing::ProgramFolder;
using gui_testing::WaitFor;
using toolkit::TextList;

// The menus are the app's table: each title, item, object name, mnemonic
// and key as the table gives them, the keys shown as the Win32 window shows
// them; a key reaches its command.
TEST(KorvaneWindow, MenusAndKeysComeFromTheCommandTable) {
    ProgramFolder folder;
    korvane::TForm1& form = folder.StartStill();
    const auto marked = [](const char* text, std::size_t mnemonic) {
        return QString::fromStdString(korvane::MnemonicText(text, mnemonic));
    };
    const auto check = [&](const QList<QAction*>& actions,
                           std::span<const korvane::Command> items) {
        ASSERT_EQ(actions.size(), static_cast<qsizetype>(items.size()));
        for (std::size_t i = 0; i < items.size(); ++i) {
            const korvane::CommandInfo& info = korvane::InfoOf(items[i]);
            const QAction* action = actions[static_cast<qsizetype>(i)];
            EXPECT_EQ(action->objectName().toStdString(), info.name);
            EXPECT_EQ(action->text(), marked(info.text, info.mnemonic)) << info.name;
            EXPECT_EQ(action->shortcut().toString(QKeySequence::NativeText).toStdString(),
                      korvane::KeyText(info.keys))
                << info.name;
        }
    };
    const QList<QAction*> menus = form.MainMenu1->actions();
    ASSERT_EQ(menus.size(), static_cast<qsizetype>(korvane::MainMenus().size()));
    for (std::size_t m = 0; m < korvane::MainMenus().size(); ++m) {
        const korvane::MenuInfo& info = korvane::MainMenus()[m];
        QAction* menu = menus[static_cast<qsizetype>(m)];
        EXPECT_EQ(menu->text(), marked(info.text, info.mnemonic));
        check(menu->menu()->actions(), info.items);
    }
    check(form.popupGM->actions(), korvane::EntryMenu());
    EXPECT_EQ(form.findChild<QAction*>(QStringLiteral("Incidentsshutdown1"))
                  ->shortcut()
                  .toString(QKeySequence::NativeText),
              QStringLiteral("Ctrl+Maj+I"));

    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_K, Qt::ControlModifier);
    ASSERT_TRUE(WaitFor([] { return korvane::Application()->Console()->isVisible(); }));
}

// The pictures come from the program folder, wherever Korvane starts from;
// missing ones are named, and their stand-ins keep the width that tells on
// from off. The dialogs exist, hidden, from the start.
TEST(KorvaneWindow, PanelAndDialogsCarryTheirFrenchTexts) {
    ProgramFolder folder;
    fs::create_directory(folder / "ailleurs");
    fs::current_path(folder / "ailleurs");
    fs::remove(folder / "ecran-on.bmp");
    fs::remove(folder / "neufbox_off.bmp");
    korvane::TForm1& form = folder.Start();
    const QString status = form.StatusMain->currentMessage();
    EXPECT_TRUE(status.endsWith(QStringLiteral(" : ecran-on.bmp, neufbox_off.bmp")))
        << status.toStdString();
    EXPECT_EQ(form.ScreenOn.width(), 67);
    EXPECT_EQ(form.routeur->GlyphWidth(), 69);
    EXPECT_EQ(form.windowTitle().toStdString(),
              "Korvane 1.0  - Gestion des alimentations en énergie des ordinateurs");
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Scan en cours..."));
    EXPECT_EQ(form.Label2->text(), QStringLiteral("Refresh : "));
    EXPECT_FALSE(form.console->isVisible());
    const korvane::Forms* forms = korvane::Application();
    const std::pair<QDialog*, const char*> dialogs[] = {
        {forms->AboutBox(), "A propos"},    {forms->Prefs(), "Prefs"},
        {forms->OKBottomDlg(), "Dialogue"}, {forms->machines(), "machines"},
        {forms->comingsoon(), "Oups!"},     {forms->AddMachine(), "Ajouter une machine"}};
    for (const auto& [dialog, title] : dialogs) {
        EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(title));
        EXPECT_FALSE(dialog->isVisible()) << title;
    }
    EXPECT_EQ(forms->AboutBox()->Version->text(), QStringLiteral("V1.0 beta (8/4/2012)"));
    folder.Stop();
    EXPECT_EQ(korvane::Application(), nullptr);
}

// The gateway in cell 0, entry i in cell i + 1, three per row by default;
// each cell's captions, the hardware address hidden, data never read as markup.
TEST(KorvaneWindow, MapCellsFollowTheGrid) {
    ProgramFolder folder;
    folder.Write("localGM", {"pc1", "pc2", "pc3", "pc4"});
    folder.Write("liste.ip", {"pc1 10.0.0.5"});
    folder.Write("liste.mac", {"PC1 02-00-00-00-00-05"});
    folder.Write("etats", {"pc2=1"});
    korvane::TForm1& form = folder.Start();
    form.show();
    const QPoint cells[] = {{200, 50}, {340, 50}, {60, 190}, {200, 190}};
    for (int entry = 0; entry < 4; ++entry) {
        EXPECT_EQ(form.EntryButtons.at(entry)->pos(), cells[entry]) << entry;
        EXPECT_EQ(form.EntryButtons[entry]->GlyphWidth(), entry == 1 ? 67 : 69) << entry;
    }
    EXPECT_EQ(form.EntryButtons[0]->size(), QSize(67, 60));
    EXPECT_EQ(form.NameCaptions[0]->geometry(), QRect(185, 112, 100, 15));
    EXPECT_EQ(form.IpCaptions[0]->geometry(), QRect(185, 127, 100, 15));
    EXPECT_EQ(form.MacCaptions[0]->pos(), QPoint(185, 142));
    EXPECT_EQ(form.EntryFrames[0]->geometry(), QRect(180, 110, 120, 51));
    EXPECT_FALSE(form.EntryFrames[0]->isVisible() || form.MacCaptions[0]->isVisible());
    const std::pair<QLabel*, const char*> captions[] = {{form.NameCaptions[0], "PC1"},
                                                        {form.IpCaptions[0], "10.0.0.5"},
                                                        {form.MacCaptions[0], "02-00-00-00-00-05"}};
    for (const auto& [label, text] : captions) {
        EXPECT_EQ(label->text(), QString::fromLatin1(text));
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << text;
    }
    EXPECT_EQ(form.gw_nom->textFormat(), Qt::PlainText);
}

// The map scrolls down to the last caption when its rows do not fit; the
// window is then as wide as the rows and the vertical bar, so that no
// horizontal bar comes with it.
TEST(KorvaneWindow, MapScrollsVerticallyOnlyWhenItsRowsDoNotFit) {
    const struct {
        int entries;
        int nbyrow;
        bool scrolls;
    } cases[] = {{1, 3, false}, {3, 3, true}, {7, 3, true}, {7, 4, true}, {2, 4, false}};
    for (const auto& c : cases) {
        ProgramFolder folder;
        TextList managed;
        for (int i = 1; i <= c.entries; ++i) managed.push_back("pc" + std::to_string(i));
        folder.Write("localGM", managed);
        folder.Write("krv.ini", {"nbyrow=" + std::to_string(c.nbyrow)});
        korvane::TForm1& form = folder.Start();
        form.show();
        const int bar = c.scrolls ? form.style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
        EXPECT_EQ(form.width(), 160 * c.nbyrow + bar) << c.entries;
        auto* area = form.findChild<QScrollArea*>(QStringLiteral("carte"));
        const QWidget* content = area->widget();
        QLabel* last = form.NameCaptions.at(static_cast<std::size_t>(c.entries - 1));
        EXPECT_EQ(last->parentWidget(), content);
        EXPECT_GE(content->height(), last->geometry().bottom()) << c.entries;
        EXPECT_EQ(area->verticalScrollBar()->maximum(),
                  std::max(0, content->height() - area->viewport()->height()));
        EXPECT_EQ(area->verticalScrollBar()->maximum() > 0, c.scrolls) << c.entries;
        EXPECT_EQ(area->horizontalScrollBar()->maximum(), 0) << c.entries;
        area->ensureWidgetVisible(last);
        EXPECT_FALSE(last->visibleRegion().isEmpty()) << c.entries;
    }
}

// The dialog shows the entry and keeps its times however it closes; its
// "ON" and "OFF" reach the app, which runs the stand-ins of wolcmd and net.
TEST(KorvaneWindow, EntryClickOpensTheOnOffDialogWhoseButtonsReachTheApp) {
    ProgramFolder folder;
    folder.Write("localGM", {"pc1"});
    folder.Write("liste.ip", {"pc1 10.0.0.5"});
    folder.Write("liste.mac", {"PC1 02-00-00-00-00-05"});
    folder.InstallScript("wolcmd", "echo \"$*\" >> \"" + (folder / "calls") + "\"");
    folder.InstallOnPath("net", "echo \"net $1\" >> \"" + (folder / "calls") + "\"");
    testing_support::WriteBytes(folder / "shutdown.auth", "username = root\npassword = x\n");
    fs::permissions(folder / "shutdown.auth", fs::perms::owner_read);
    korvane::TForm1& form = folder.StartStill();
    QStringList shown;
    gui_testing::ClickEntry(form, 0, [&](korvane::Tmachines* dialog) {
        shown << dialog->nommachine->text() << dialog->ipmachine->text()
              << dialog->macmachine->text() << dialog->Edit1->text() << dialog->btn_restart->text()
              << dialog->btn_test->text() << dialog->chk_ssh->text() << dialog->Label6->text();
        dialog->Edit1->setText(QStringLiteral("7:30"));
        dialog->reject();  // the close box
    });
    EXPECT_EQ(shown, (QStringList{"PC1", "10.0.0.5", "02-00-00-00-00-05", "0:00", "Redémarrer",
                                  "Tester l'accès", "Arrêt par SSH (Linux)", "Utilisateur SSH :"}));
    EXPECT_EQ(folder.Read("liste.planning"), TextList{"pc1;7:30;0:00"});
    gui_testing::ClickEntry(form, 0, [](korvane::Tmachines* d) { d->btn_on->click(); });
    ASSERT_TRUE(WaitFor([&] { return folder.Exists("calls"); }));
    gui_testing::ClickEntry(form, 0, [](korvane::Tmachines* d) { d->btn_off->click(); });
    ASSERT_TRUE(WaitFor([&] { return folder.Read("calls").size() == 2; }));
    gui_testing::ClickEntry(form, 0, [](korvane::Tmachines* d) { d->btn_restart->click(); });
    ASSERT_TRUE(WaitFor([&] { return folder.Read("calls").size() == 3; }));
    gui_testing::ClickEntry(form, 0, [](korvane::Tmachines* d) { d->btn_test->click(); });
    ASSERT_TRUE(WaitFor([&] { return folder.Read("calls").size() == 4; }));
    EXPECT_EQ(folder.Read("calls"), (TextList{"02-00-00-00-00-05 10.0.0.5 255.255.255.0", "net rpc",
                                              "net rpc", "net rpc"}));
    EXPECT_EQ(
        gui_testing::ConsoleLines(form, QStringLiteral("commande lancée : net rpc shutdown -r")),
        1);
    EXPECT_EQ(gui_testing::ConsoleLines(form, QStringLiteral("commande lancée : net rpc service")),
              1);
    EXPECT_EQ(gui_testing::ConsoleLines(form, QStringLiteral("commande lancée : ")), 4);
    EXPECT_TRUE(folder.Messages().isEmpty());
}

// The pop-up menu acts on the entry it was opened on; the one-line dialog
// asks, and its "Annuler" changes nothing.
TEST(KorvaneWindow, PopupMenuAndOneLineDialogReachTheApp) {
    ProgramFolder folder;
    folder.Write("localGM", {"pc1", "bureau"});
    korvane::TForm1& form = folder.StartStill();
    korvane::TOKBottomDlg* line = korvane::Application()->OKBottomDlg();
    const auto answer = [&](const char* action, const QString& text, bool ok) {
        QTimer::singleShot(0, line, [=] {
            line->gEdit->setText(text);
            (ok ? line->OKBtn : line->CancelBtn)->click();
        });
        form.findChild<QAction*>(QString::fromLatin1(action))->trigger();
    };
    emit form.EntryButtons.at(1)->customContextMenuRequested(QPoint(5, 5));
    form.popupGM->close();
    answer("Renommer1", QStringLiteral("salon"), false);
    EXPECT_EQ(line->geditLabel->text(),
              QStringLiteral("Donner un joli nom pour désigner cet ordinateur :"));
    answer("Renommer1", QStringLiteral("salon"), true);
    EXPECT_EQ(folder.Read("localGM"), (TextList{"pc1", "salon"}));
    EXPECT_EQ(form.NameCaptions.at(1)->text(), QStringLiteral("SALON"));
    answer("Nejamaisteindre1", QStringLiteral("pc1"), true);
    EXPECT_EQ(line->geditLabel->text(),
              QStringLiteral("Entrer le nom de la machine à ne jamais éteindre :"));
    EXPECT_EQ(folder.Messages(),
              QStringList{QStringLiteral("« pc1 » ne sera jamais éteint par Korvane.")});
    EXPECT_NE(form.EntryButtons[0]->findChild<QLabel*>(QStringLiteral("protege0")), nullptr);
}

// "Quitter" and the close box both end the message loop (a loop still
// running after 5 s ends with 1); the window's place goes to the settings at
// the exit, and comes back at the next start.
TEST(KorvaneWindow, QuitterAndTheCloseBoxEndTheMessageLoop) {
    ProgramFolder folder;
    korvane::TForm1& form = folder.Start();
    form.show();
    QTimer guard;  // gone with the test, so it cannot end a later loop
    guard.setInterval(5000);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start();
    QTimer::singleShot(0, &form, [&form] {
        form.MainMenu1->findChild<QAction*>(QStringLiteral("Quitter1"))->trigger();
    });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    form.show();
    QTimer::singleShot(0, &form, [&form] { form.close(); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    form.move(150, 160);
    form.resize(form.width(), 420);
    folder.Stop();
    EXPECT_EQ(folder.Read("krv.ini"),
              (TextList{"pdc=", "esu=", "left=150", "top=160", "height=420", "nbyrow=3"}));
    korvane::TForm1& again = folder.Start();
    again.show();
    EXPECT_EQ(again.pos(), QPoint(150, 160));
    EXPECT_EQ(again.height(), 420);
}

}  // namespace
