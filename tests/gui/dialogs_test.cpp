// The dialogs and report windows over the app layer, through Korvane's real
// windows (offscreen): the intake dialog, the preferences, the console
// window and the energy report. What the app decides is tested without a
// window (tests/app).
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>
#include <functional>

#include "korvane/app/app.h"
#include "korvane/core/history.h"
#include "program_folder.h"
#include "uAddMachines.h"
#include "uconsole.h"
#include "uenergy.h"
#include "uprefs.h"

namespace {

using gui_testing::ProgramFolder;
using toolkit::TextList;

class DialogsTest : public testing::Test {
  protected:
    void SetUp() override {
        folder.Write("localGM", {"pc1", "old1", "old2"});
        folder.Write("liste.ip", {"pc1 10.0.0.5", "pc2 10.0.0.6"});
        folder.Write("liste.ip.discover", {"10.0.0.6=pc2"});
    }
    // Triggers a menu entry; `steps` run while its dialog is up, which is
    // closed afterwards whatever they did, so a failed step cannot hang the test.
    void WhileOpen(const char* entry, QDialog* dialog, const std::function<void()>& steps) {
        QTimer::singleShot(0, dialog, [dialog, steps] {
            steps();
            if (dialog->isVisible()) dialog->done(99);
        });
        folder.Form().findChild<QAction*>(QString::fromLatin1(entry))->trigger();
    }

    ProgramFolder folder;
};

// Seven rows of name, address and hardware address, white on black, a "=>"
// button each, grey lines between. "Annuler" stops the rows' timer; a bad
// line keeps the dialog open; OK closes it and the map drops the entries gone.
TEST_F(DialogsTest, IntakeDialogSitsAsDesignedAndOkSavesThroughTheApp) {
    korvane::TForm1& form = folder.StartStill();
    korvane::TAddMachine& dialog = *korvane::Application()->AddMachine();
    EXPECT_EQ(dialog.size(), QSize(760, 489));
    EXPECT_EQ(dialog.StaticText3->text(), QStringLiteral("   NOUVELLES MACHINES DETECTEES"));
    EXPECT_EQ(dialog.StaticText1->text(), QStringLiteral(" MACHINES A GERER"));
    EXPECT_EQ(dialog.Rows[0].name->text() + dialog.Rows[0].ip->text(),
              QStringLiteral("MA_MACHINEmon_adresse_ip"));
    const int top = dialog.Rows[0].name->y();
    for (std::size_t row = 0; row < dialog.Rows.size(); ++row) {
        const auto& controls = dialog.Rows[row];
        const int y = top + 48 * static_cast<int>(row);
        const std::pair<QLabel*, int> columns[] = {
            {controls.name, 16}, {controls.ip, 144}, {controls.mac, 264}};
        for (const auto& [label, x] : columns) {
            EXPECT_EQ(label->pos(), QPoint(x, y));
            EXPECT_EQ(label->font().bold(), x == 16);
            EXPECT_EQ(label->palette().color(QPalette::Window), QColor(Qt::black));
            EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::white));
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
        }
        EXPECT_EQ(controls.button->text(), QStringLiteral("=>"));
        EXPECT_EQ(controls.button->x(), 424);
        EXPECT_LT(std::abs(controls.button->geometry().center().y() - (y + 10)), 4);
        if (row + 1 == dialog.Rows.size()) break;
        const QFrame* line = dialog.RowLines[row];
        EXPECT_TRUE(line->y() > controls.name->geometry().bottom() && line->y() < y + 48);
        EXPECT_EQ(line->palette().color(QPalette::Window), QColor(128, 128, 128));
    }

    const std::size_t timers = folder.App().TimerCount();
    WhileOpen("Dfinir1", &dialog, [&] {
        EXPECT_EQ(dialog.Memo1->toPlainText(), QStringLiteral("pc1\nold1\nold2"));
        EXPECT_GT(folder.App().TimerCount(), timers);  // the rows' refresh
        dialog.BitBtn2->click();
    });
    EXPECT_EQ(dialog.result(), korvane::kResultCancel);
    EXPECT_EQ(folder.App().TimerCount(), timers);
    bool stayedOpen = false;
    WhileOpen("Dfinir1", &dialog, [&] {
        dialog.Memo1->setPlainText(QStringLiteral("pc 3"));
        ASSERT_TRUE(gui_testing::WaitFor(
            [&] { return dialog.Rows[0].name->text() == QStringLiteral("pc2"); }));
        dialog.Rows[0].button->click();  // pc2
        dialog.BitBtn1->click();
        stayedOpen = dialog.isVisible() && folder.App().TimerCount() > timers;
        EXPECT_EQ(dialog.Memo1->toPlainText(), QStringLiteral("pc 3\npc2"));
        dialog.Memo1->setPlainText(QStringLiteral("pc2\npc1"));
        dialog.BitBtn1->click();
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(dialog.result(), korvane::kResultOK);
    EXPECT_EQ(folder.Messages().size(), 1);
    EXPECT_EQ(folder.Read("localGM"), (TextList{"pc2", "pc1"}));
    EXPECT_EQ(form.NameCaptions.at(0)->text(), QStringLiteral("PC2"));
    EXPECT_EQ(form.EntryButtons.at(2), nullptr);  // old2 left the map
    EXPECT_EQ(form.NameCaptions.at(2), nullptr);
}

// The dialog shows the current values; a refused delay keeps it open;
// "Annuler" keeps what was saved; OK with four per row rebuilds the map.
TEST_F(DialogsTest, PreferencesShowSaveOrCancel) {
    korvane::TForm1& form = folder.StartStill();
    korvane::TPrefs* prefs = korvane::Application()->Prefs();
    QStringList shown;
    WhileOpen("Prfrences1", prefs, [&] {
        shown << prefs->set_nbyrow->Text() << prefs->set_shut_delay->text()
              << prefs->set_shut_comment->text();
        prefs->set_shut_delay->setText(QStringLiteral("abc"));
        prefs->BitBtn1->click();
        EXPECT_TRUE(prefs->isVisible());
        prefs->BitBtn2->click();
    });
    EXPECT_EQ(shown, (QStringList{"3", "30", ""}));
    EXPECT_EQ(folder.Messages().size(), 1);
    EXPECT_FALSE(folder.Exists("arret.ini"));
    WhileOpen("Prfrences1", prefs, [&] {
        prefs->set_nbyrow->stepBy(1);
        prefs->set_shut_delay->setText(QStringLiteral("45"));
        prefs->BitBtn1->click();
    });
    EXPECT_EQ(prefs->result(), QDialog::Accepted);
    EXPECT_EQ(folder.Read("arret.ini"), (TextList{"delai=45", "commentaire="}));
    EXPECT_EQ(form.EntryButtons.at(2)->pos(), QPoint(480, 50));
}

// "Accès depuis le réseau" in the preferences: refused on without a
// password, on once it is typed twice; a token made is shown once and
// listed, then revoked.
TEST_F(DialogsTest, PreferencesTurnTheAccessFromTheNetworkOnAndMakeTokens) {
    folder.StartStill();
    korvane::TPrefs* prefs = korvane::Application()->Prefs();
    WhileOpen("Prfrences1", prefs, [&] {
        EXPECT_EQ(prefs->web_port->text(), QStringLiteral("8765"));
        EXPECT_FALSE(prefs->web_enabled->isChecked());
        EXPECT_FALSE(prefs->keep_running->isEnabled());  // no system seam in the tests
        prefs->web_enabled->setChecked(true);
        prefs->BitBtn1->click();
        EXPECT_TRUE(prefs->isVisible());
        prefs->web_password->setText(QStringLiteral("motdepasse1"));
        prefs->web_password_again->setText(QStringLiteral("motdepasse1"));
        prefs->BitBtn1->click();
    });
    EXPECT_EQ(prefs->result(), QDialog::Accepted);
    ASSERT_EQ(folder.Messages().size(), 1);
    EXPECT_TRUE(folder.Messages()[0].contains(QStringLiteral("aucun mot de passe")));
    EXPECT_EQ(folder.Read("acces-web.ini").at(0), "actif=oui");
    WhileOpen("Prfrences1", prefs, [&] {
        EXPECT_TRUE(prefs->web_enabled->isChecked());
        prefs->web_token_name->setText(QStringLiteral("box"));
        prefs->web_token_entries->setText(QStringLiteral("pc1"));
        prefs->web_make_token->click();
        ASSERT_EQ(prefs->web_tokens->topLevelItemCount(), 1);
        EXPECT_EQ(prefs->web_tokens->topLevelItem(0)->text(1), QStringLiteral("réveil seulement"));
        prefs->web_tokens->setCurrentItem(prefs->web_tokens->topLevelItem(0));
        prefs->web_revoke->click();
        EXPECT_EQ(prefs->web_tokens->topLevelItemCount(), 0);
        prefs->BitBtn2->click();
    });
    ASSERT_EQ(folder.Messages().size(), 2);
    EXPECT_TRUE(folder.Messages()[1].contains(QStringLiteral("krv_")));
}

// Whatever closed them, the preferences and the intake dialog leave the map
// drawn anew: here the entry's next planned action, which the time moved on
// while they were open.
TEST_F(DialogsTest, MapIsDrawnAgainHoweverThePreferencesAndTheIntakeDialogClose) {
    folder.Write("liste.planning", {"pc1;8:05;10:05"});
    folder.Clock().Set(app_testing::LocalTime(2031, 5, 20, 11, 0));
    korvane::TForm1& form = folder.StartStill();
    korvane::TPrefs* prefs = korvane::Application()->Prefs();
    korvane::TAddMachine* intake = korvane::Application()->AddMachine();
    const struct {
        const char* entry;
        QDialog* dialog;
        QPushButton* cancel;  // none: the close box
        int hour;             // while it is open
        const char* hint;
    } cases[] = {
        {"Prfrences1", prefs, prefs->BitBtn2, 9, "arrêt à 10:05"},
        {"Prfrences1", prefs, nullptr, 7, "allumage à 8:05"},
        {"Dfinir1", intake, intake->BitBtn2, 9, "arrêt à 10:05"},
        {"Dfinir1", intake, nullptr, 7, "allumage à 8:05"},
    };
    for (const auto& c : cases) {
        WhileOpen(c.entry, c.dialog, [&] {
            folder.Clock().Set(app_testing::LocalTime(2031, 5, 20, c.hour, 0));
            if (c.cancel != nullptr) {
                c.cancel->click();
            } else {
                c.dialog->close();
            }
        });
        EXPECT_NE(c.dialog->result(), korvane::kResultOK) << c.entry;
        EXPECT_EQ(form.EntryButtons.at(0)->toolTip().toStdString(),
                  std::string("Prochaine action : ") + c.hint)
            << c.entry << (c.cancel != nullptr ? " Annuler" : " case de fermeture");
    }
}

TEST_F(DialogsTest, ConsoleWindowFollowsTheLogReadOnlyAndSavesIt) {
    korvane::TForm1& form = folder.StartStill();
    form.findChild<QAction*>(QStringLiteral("Console1"))->trigger();
    korvane::TConsole* window = korvane::Application()->Console();
    ASSERT_TRUE(window->isVisible());
    EXPECT_TRUE(window->Memo1->isReadOnly());
    const QString before = window->Memo1->toPlainText();
    form.App().ShutDown(0);  // refused (no shutdown.auth), and told in the log
    EXPECT_NE(window->Memo1->toPlainText(), before);
    EXPECT_EQ(window->Memo1->toPlainText(), form.console->toPlainText());
    ASSERT_TRUE(window->SaveTo(folder / "console.txt"));
    EXPECT_EQ(folder.Read("console.txt"),
              toolkit::SplitLines(form.console->toPlainText().toStdString()));
    EXPECT_FALSE(window->SaveTo(folder / "absent/console.txt"));
    EXPECT_TRUE(folder.Messages().back().startsWith(
        QStringLiteral("La console n'a pas été enregistrée : ")));
    EXPECT_FALSE(form.console->isVisible());
}

// pc1 on for the last two hours: the grid shows it, takes a new draw or
// gives the old one back; the period; the export. From the pop-up menu, the
// report of that entry alone.
TEST_F(DialogsTest, EnergyReportShowsItsRowsTakesADrawAndExports) {
    folder.InstallOnPath("localc", "true");
    const auto now = app_testing::LocalTime(2031, 5, 20, 12, 0);
    folder.Clock().Set(now);
    korvane::TForm1& form = folder.StartStill();
    const std::int64_t start =
        std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count() - 7200;
    folder.Write("historique.etats", {korvane::HistoryLine({start, "*", '?'}),
                                      korvane::HistoryLine({start, "pc1", '1'})});
    form.findChild<QAction*>(QStringLiteral("Consommation1"))->trigger();
    korvane::TEnergyReport* report = korvane::Application()->EnergyReport();
    ASSERT_TRUE(report->isVisible());
    ASSERT_EQ(report->Grid1->rowCount(), 3);
    QStringList first;
    for (int column = 0; column < 4; ++column) first << report->Grid1->item(0, column)->text();
    EXPECT_EQ(first, (QStringList{"pc1", "60", "2,0", "0,12"}));
    report->Grid1->item(0, 1)->setText(QStringLiteral("120"));
    EXPECT_EQ(report->Grid1->item(0, 3)->text(), QStringLiteral("0,24"));
    report->Grid1->item(1, 1)->setText(QStringLiteral("beaucoup"));
    EXPECT_EQ(report->Grid1->item(1, 1)->text(), QStringLiteral("60"));
    report->set_period->setCurrentIndex(1);
    EXPECT_EQ(report->DayLabels().size(), 30u);
    report->BtnExport->click();
    EXPECT_TRUE(folder.Read("consommation.csv").at(1).starts_with("\"pc1\";120;"));
    report->close();
    emit form.EntryButtons.at(1)->customContextMenuRequested(QPoint(5, 5));
    form.popupGM->close();
    form.findChild<QAction*>(QStringLiteral("ConsommationEntry1"))->trigger();
    ASSERT_EQ(report->Grid1->rowCount(), 1);
    EXPECT_EQ(report->Grid1->item(0, 0)->text(), QStringLiteral("old1"));
}

}  // namespace
