// The intake dialog in Korvane's real windows: its controls, its rows
// following the discovery list, its memo, OK, Cancel and the close box.
#include <gtest/gtest.h>

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <functional>

#include "korvane/core/KrvVar.h"
#include "forms.h"
#include "program_folder.h"
#include "uAddMachines.h"

namespace {

namespace fs = std::filesystem;
using gui_testing::ProgramFolder;
using gui_testing::WaitFor;
using korvane::TAddMachine;

constexpr int kNotClosed = 99;

const char* const kRowLabels[7][3] = {
    {"Label1", "Label2", "Label3"},    {"Label6", "Label5", "Label4"},
    {"Label9", "Label8", "Label7"},    {"Label12", "Label11", "Label10"},
    {"Label15", "Label14", "Label13"}, {"nom6", "ip6", "mac6"},
    {"nom7", "ip7", "mac7"},
};

class IntakeTest : public testing::Test {
  protected:
    TAddMachine& Start() {
        korvane::TForm1& form = folder.Start();
        form.Timer1->stop();
        form.TimerRedraw->stop();
        return *korvane::Application()->AddMachine();
    }
    TAddMachine& Dialog() const { return *korvane::Application()->AddMachine(); }
    QLabel* Find(const char* name) const {
        return Dialog().findChild<QLabel*>(QString::fromLatin1(name));
    }
    QString Text(const char* name) const { return Find(name)->text(); }
    QStringList NameColumn() const {
        QStringList names;
        for (const auto& row : kRowLabels) names << Text(row[0]);
        return names;
    }
    void Click(const char* name) const {
        Dialog().findChild<QAbstractButton*>(QString::fromLatin1(name))->click();
    }
    // Queues `steps` before the dialog blocks; whatever the steps did, the
    // dialog is closed afterwards, so a failed step cannot hang the test.
    void WhileOpen(const std::function<void()>& steps) {
        QTimer::singleShot(0, &Dialog(), [this, steps] {
            steps();
            if (Dialog().isVisible()) Dialog().done(kNotClosed);
        });
    }
    int Exec(const std::function<void()>& steps) {
        WhileOpen(steps);
        return Dialog().exec();
    }
    // Through the main window's menu, which redraws the map afterwards.
    void OpenFromMenu(const std::function<void()>& steps) {
        WhileOpen(steps);
        folder.Form().MainMenu1->findChild<QAction*>(QStringLiteral("Dfinir1"))->trigger();
    }

    ProgramFolder folder;
};

TEST_F(IntakeTest, ControlsSitWhereTheDesignPutsThem) {
    TAddMachine& dialog = Start();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Ajouter une machine"));
    EXPECT_EQ(dialog.size(), QSize(760, 489));
    EXPECT_EQ(Text("StaticText3"), QStringLiteral("   NOUVELLES MACHINES DETECTEES"));
    EXPECT_EQ(Text("StaticText1"), QStringLiteral(" MACHINES A GERER"));
    const int columns[3] = {16, 144, 264};
    const int top = Find("Label1")->y();
    for (int row = 0; row < 7; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QLabel* label = Find(kRowLabels[row][column]);
            ASSERT_NE(label, nullptr) << kRowLabels[row][column];
            EXPECT_EQ(label->pos(), QPoint(columns[column], top + 48 * row))
                << label->objectName().toStdString();
            EXPECT_EQ(label->font().bold(), column == 0) << label->objectName().toStdString();
            EXPECT_EQ(label->palette().color(QPalette::Window), QColor(Qt::black));
            EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::white));
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
        }
        const auto* button =
            dialog.findChild<QToolButton*>(QStringLiteral("SpeedButton%1").arg(row + 1));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QStringLiteral("=>"));
        EXPECT_EQ(button->x(), 424);
        EXPECT_LT(std::abs(button->geometry().center().y() - (top + 48 * row + 10)), 4);
        if (row == 6) continue;
        const auto* line = dialog.findChild<QFrame*>(QStringLiteral("Shape%1").arg(row + 1));
        ASSERT_NE(line, nullptr);
        EXPECT_GT(line->y(), Find(kRowLabels[row][0])->geometry().bottom());
        EXPECT_LT(line->y(), Find(kRowLabels[row + 1][0])->y());
        EXPECT_EQ(line->palette().color(QPalette::Window), QColor(128, 128, 128));
    }
    EXPECT_EQ(NameColumn(), (QStringList{"MA_MACHINE", "", "", "", "", "", ""}));
    EXPECT_EQ(Text("Label2"), QStringLiteral("mon_adresse_ip"));
    EXPECT_EQ(Text("Label3"), QStringLiteral("mon_adresse_mac"));
    EXPECT_EQ(dialog.purger->text(), QStringLiteral("Purger"));
    EXPECT_EQ(dialog.BitBtn1->text(), QStringLiteral("OK"));
    EXPECT_EQ(dialog.BitBtn2->text(), QStringLiteral("Annuler"));
    EXPECT_TRUE(dialog.Memo1->toPlainText().isEmpty());
    // The rows follow the discovery list from creation, while still hidden.
    EXPECT_EQ(dialog.Timer1->interval(), 1000);
    EXPECT_TRUE(dialog.Timer1->isActive());
}

TEST_F(IntakeTest, WithoutDiscoveryFileRowOneKeepsItsDesignTexts) {
    TAddMachine& dialog = Start();
    fs::remove(folder / "liste.ip.discover");
    dialog.Timer1Timer();
    EXPECT_EQ(NameColumn(), (QStringList{"MA_MACHINE", "", "", "", "", "", ""}));
    EXPECT_EQ(Text("Label2"), QStringLiteral("mon_adresse_ip"));
    Exec([&] { Click("SpeedButton1"); });
    EXPECT_EQ(dialog.Memo1->toPlainText(), QStringLiteral("MA_MACHINE"));
    // The file back, empty: every row is blank.
    folder.Write("liste.ip.discover", {});
    dialog.Timer1Timer();
    EXPECT_EQ(NameColumn(), QStringList(7, QString()));
    EXPECT_EQ(Text("Label2"), QString());
}

TEST_F(IntakeTest, TenNewMachinesShowSevenThenMoveUpAtTheNextTick) {
    toolkit::TextList discover, addresses;
    for (int n = 1; n <= 10; ++n) {
        const std::string name = "pc" + std::to_string(n);
        discover.push_back("10.0.0." + std::to_string(n) + "=" + name);
        addresses.push_back(name + " 10.0.0." + std::to_string(n));
    }
    folder.Write("liste.ip.discover", discover);
    folder.Write("liste.ip", addresses);
    TAddMachine& dialog = Start();
    ASSERT_TRUE(WaitFor([&] { return Text("Label1") == QStringLiteral("pc1"); }, 3000));
    EXPECT_EQ(NameColumn(), (QStringList{"pc1", "pc2", "pc3", "pc4", "pc5", "pc6", "pc7"}));
    EXPECT_EQ(Text("Label5"), QStringLiteral("10.0.0.2"));
    Exec([&] {
        Click("SpeedButton1");
        EXPECT_EQ(dialog.Memo1->toPlainText(), QStringLiteral("pc1"));
        ASSERT_TRUE(WaitFor([&] { return Text("Label1") == QStringLiteral("pc2"); }, 3000));
        EXPECT_EQ(NameColumn(), (QStringList{"pc2", "pc3", "pc4", "pc5", "pc6", "pc7", "pc8"}));
        Click("SpeedButton7");
        Click("SpeedButton7");  // nothing is checked: the same name twice
        EXPECT_EQ(dialog.Memo1->toPlainText(), QStringLiteral("pc1\npc8\npc8"));
    });
}

TEST_F(IntakeTest, CancelAndTheCloseBoxWriteNothingAndStopTheRows) {
    folder.Write("localGM", {"pc1"});
    folder.Write("krv.ini", {"pdc="});
    testing_support::ScopedEnv server("LOGONSERVER", "\\\\SRV");
    TAddMachine& dialog = Start();
    const int cancelled = Exec([&] {
        EXPECT_TRUE(dialog.Timer1->isActive());
        EXPECT_EQ(dialog.Memo1->toPlainText(), QStringLiteral("pc1"));
        dialog.Memo1->appendPlainText(QStringLiteral("pc2"));
        Click("BitBtn2");
    });
    EXPECT_EQ(cancelled, korvane::kResultCancel);
    EXPECT_EQ(korvane::Krv().settings.pdc, "\\\\SRV");
    EXPECT_FALSE(dialog.Timer1->isActive());
    EXPECT_EQ(folder.Read("localGM"), (toolkit::TextList{"pc1"}));
    EXPECT_FALSE(fs::exists(folder / "pc1"));
    EXPECT_FALSE(fs::exists(folder / "pc2"));

    const int closed = Exec([&] {
        EXPECT_TRUE(dialog.Timer1->isActive());
        EXPECT_EQ(dialog.Memo1->toPlainText(), QStringLiteral("pc1"));  // edits forgotten
        dialog.close();
    });
    EXPECT_EQ(closed, korvane::kResultCancel);
    EXPECT_FALSE(dialog.Timer1->isActive());
}

// Bad line first: the message names it and the dialog stays as typed. Then
// OK saves, creates the group file and the map shows the managed list as it
// now is, without the entries taken out of it.
TEST_F(IntakeTest, OkChecksEveryLineThenSavesAndTheMapFollows) {
    folder.Write("localGM", {"pc1", "old1", "old2"});
    folder.Write("pc1", {"pc1", "pc9"});
    folder.Write("liste.ip", {"pc1 10.0.0.5", "pc2 10.0.0.6", "old1 10.0.0.7", "old2 10.0.0.8"});
    folder.Write("liste.ip.discover", {"10.0.0.6=pc2"});
    TAddMachine& dialog = Start();
    ASSERT_NE(folder.Form().EntryButtons.at(2), nullptr);
    bool stayedOpen = false;
    OpenFromMenu([&] {
        dialog.Memo1->setPlainText(QStringLiteral("\npc 3"));
        dialog.Timer1Timer();
        ASSERT_EQ(Text("Label1"), QStringLiteral("pc2"));
        Click("SpeedButton1");
        Click("BitBtn1");
        ASSERT_EQ(folder.Messages().size(), 1);
        EXPECT_TRUE(folder.Messages()[0].startsWith(QStringLiteral("Ligne 2 : « pc 3 »")))
            << folder.Messages()[0].toStdString();
        stayedOpen = dialog.isVisible() && dialog.Timer1->isActive();
        EXPECT_EQ(dialog.Memo1->toPlainText(), QStringLiteral("\npc 3\npc2"));
        EXPECT_EQ(folder.Read("localGM"), (toolkit::TextList{"pc1", "old1", "old2"}));
        EXPECT_FALSE(fs::exists(folder / "pc2"));
        dialog.Memo1->setPlainText(QStringLiteral("pc2\npc1"));
        Click("BitBtn1");
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), korvane::kResultOK);
    EXPECT_FALSE(dialog.Timer1->isActive());
    EXPECT_EQ(folder.Read("localGM"), (toolkit::TextList{"pc2", "pc1"}));
    EXPECT_EQ(folder.Read("pc1"), (toolkit::TextList{"pc1", "pc9"}));
    EXPECT_EQ(folder.Read("pc2"), (toolkit::TextList{"pc2"}));
    korvane::TForm1& form = folder.Form();
    EXPECT_EQ(form.LastEntry, 1);
    ASSERT_NE(form.NameCaptions.at(1), nullptr);
    EXPECT_EQ(form.NameCaptions[0]->text(), QStringLiteral("PC2"));
    EXPECT_EQ(form.IpCaptions[0]->text(), QStringLiteral("10.0.0.6"));
    EXPECT_EQ(form.NameCaptions[1]->text(), QStringLiteral("PC1"));
    EXPECT_EQ(form.EntryButtons.at(2), nullptr);  // old2 left the map
    EXPECT_EQ(form.NameCaptions.at(2), nullptr);
}

}  // namespace
