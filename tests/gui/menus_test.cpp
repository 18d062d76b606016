// The menu commands through the real window and dialogs: the machine list
// export and its openers, the preferences, "Ne jamais éteindre...", and the
// map buttons' pop-up menu.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "korvane/core/KrvVar.h"
#include "forms.h"
#include "program_folder.h"
#include "uBottomdlg.h"
#include "uprefs.h"
#include "widgets.h"

namespace {

namespace fs = std::filesystem;
using gui_testing::ProgramFolder;
using gui_testing::WaitFor;
using toolkit::TextList;

class MenusTest : public testing::Test {
  protected:
    void SetUp() override {
        folder.Write("localGM", {"pc1", "bureau"});
        folder.Write("liste.ip", {"pc1 10.0.0.5", "pc2 10.0.0.6", "bureau 10.0.0.9"});
        folder.Write("liste.mac", {"PC2 02-00-00-00-00-06"});
        folder.Write("pc1", {"pc1"});
        folder.Write("bureau", {"pc2", "pc3"});
    }
    korvane::TForm1& Start() { return folder.StartStill(); }
    // Triggers a menu entry and acts on the dialog it opens.
    void Trigger(const char* entry, QDialog* dialog, const std::function<void()>& act) {
        QTimer::singleShot(0, dialog, act);
        folder.Form().findChild<QAction*>(QString::fromLatin1(entry))->trigger();
    }
    void Answer(const QString& text, QPushButton* button) {
        korvane::TOKBottomDlg* dialog = korvane::Application()->OKBottomDlg();
        QTimer::singleShot(0, dialog, [=] {
            dialog->gEdit->setText(text);
            button->click();
        });
    }
    korvane::TOKBottomDlg* Line() const { return korvane::Application()->OKBottomDlg(); }

    ProgramFolder folder;
};

TEST_F(MenusTest, ExportListsEveryGroupMemberAndOpensItInTheSpreadsheetElseTheDefaultOpener) {
    folder.InstallOnPath("localc", "echo \"localc $*\" >> \"" + (folder / "opened") + "\"");
    folder.InstallOnPath("xdg-open", "echo \"xdg-open $*\" >> \"" + (folder / "opened") + "\"");
    korvane::TForm1& form = Start();
    const std::string header = "\"  Machine  \";\"     Adresse MAC     \";\"     Adresse IP    \"";
    form.Listemachines1Click();
    EXPECT_EQ(folder.Read("liste.machines"),
              (TextList{header, "\"pc1\";\"\";\"10.0.0.5\"",
                        "\"pc2\";\"02-00-00-00-00-06\";\"10.0.0.6\"", "\"pc3\";\"\";\"\""}));
    const auto opened = [&](std::size_t count) {
        return WaitFor(
            [&] { return fs::exists(folder / "opened") && folder.Read("opened").size() == count; });
    };
    ASSERT_TRUE(opened(1));  // the stand-in is read before it goes
    korvane::Krv().ManagedList.clear();
    fs::remove(folder.PathDir() + "localc");
    form.Listemachines1Click();
    EXPECT_EQ(folder.Read("liste.machines"), (TextList{header}));
    const std::string path = folder / "liste.machines";
    EXPECT_TRUE(opened(2));
    EXPECT_EQ(folder.Read("opened"), (TextList{"localc " + path, "xdg-open " + path}));

    // An entry whose group file cannot be read is named and left out; the
    // others are exported, names with accents as they are.
    folder.Write("Comptabilité", {"Comptabilité"});
    korvane::Krv().ManagedList = {"pc1", "absent", "Comptabilité"};
    form.Listemachines1Click();
    EXPECT_EQ(folder.Read("liste.machines"),
              (TextList{header, "\"pc1\";\"\";\"10.0.0.5\"", "\"Comptabilité\";\"\";\"\""}));
    ASSERT_EQ(folder.Messages().size(), 1);
    EXPECT_TRUE(folder.Messages()[0].startsWith(
        QStringLiteral("Liste des machines exportée sans ces entrées :\n« absent » :")))
        << folder.Messages()[0].toStdString();
    EXPECT_TRUE(opened(3));
}

TEST_F(MenusTest, PreferencesKeepTheValueForNonNumbersAndRebuildTheMapForFour) {
    korvane::TForm1& form = Start();
    korvane::TPrefs* prefs = korvane::Application()->Prefs();
    for (const char* refused : {"-", "0", "33", "quatre"}) {
        Trigger("Prfrences1", prefs, [&] {
            EXPECT_EQ(prefs->set_nbyrow->Text(), QStringLiteral("3"));
            prefs->set_nbyrow->SetText(QString::fromLatin1(refused));
            prefs->BitBtn1->click();
        });
        EXPECT_EQ(korvane::Krv().settings.nbyrow, 3) << refused;
        EXPECT_EQ(korvane::Krv().MapRebuild, 0) << refused;
    }
    Trigger("Prfrences1", prefs, [&] {
        prefs->set_nbyrow->stepBy(1);
        prefs->BitBtn1->click();
    });
    EXPECT_EQ(korvane::Krv().settings.nbyrow, 4);
    EXPECT_EQ(form.width(), 4 * 160);
    EXPECT_EQ(form.EntryButtons[0]->pos(), QPoint(200, 50));
    EXPECT_EQ(form.EntryButtons[1]->pos(), QPoint(340, 50));
    Trigger("Prfrences1", prefs, [&] {
        prefs->set_nbyrow->SetText(QStringLiteral("1"));
        prefs->BitBtn2->click();  // "Annuler"
    });
    EXPECT_EQ(korvane::Krv().settings.nbyrow, 4);
    folder.Stop();
    EXPECT_EQ(folder.Read("krv.ini").at(5), "nbyrow=4");
}

TEST_F(MenusTest, NeverShutdownAsksThroughTheOneLineDialog) {
    Start();
    Answer(QStringLiteral("pc1"), Line()->OKBtn);
    folder.Form().Nejamaisteindre1Click();
    EXPECT_EQ(Line()->geditLabel->text(),
              QStringLiteral("Entrer le nom de la machine à ne jamais éteindre :"));
    EXPECT_EQ(folder.Messages(),
              QStringList{QStringLiteral("« pc1 » ne sera jamais éteint par Korvane.")});
    QTimer::singleShot(0, Line(), [this] { QTest::keyClick(Line(), Qt::Key_Escape); });
    EXPECT_EQ(Line()->exec(), korvane::kResultCancel);
    QTimer::singleShot(0, Line(), [this] { Line()->OKBtn->click(); });
    EXPECT_EQ(Line()->exec(), korvane::kResultOK);
}

TEST_F(MenusTest, PopupRenamesTheRightClickedEntryAndItsGroupFile) {
    korvane::TForm1& form = Start();
    korvane::GlyphButton* button = form.EntryButtons.at(1);
    emit button->customContextMenuRequested(QPoint(5, 5));
    form.popupGM->close();
    EXPECT_EQ(korvane::Krv().SelectedEntry, 1);

    Answer(QStringLiteral("Au salon"), Line()->OKBtn);  // refused: a space
    form.Renommer1Click();
    Answer(QStringLiteral("salon"), Line()->CancelBtn);  // "Annuler" renames nothing
    form.Renommer1Click();
    EXPECT_EQ(korvane::Krv().ManagedList, (TextList{"pc1", "bureau"}));
    ASSERT_EQ(folder.Messages().size(), 1);
    EXPECT_TRUE(folder.Messages()[0].contains(QStringLiteral("« Au salon » ne peut servir")));

    Answer(QStringLiteral("salon "), Line()->OKBtn);
    form.Renommer1Click();
    EXPECT_EQ(Line()->geditLabel->text(),
              QStringLiteral("Donner un joli nom pour désigner cet ordinateur :"));
    EXPECT_EQ(korvane::Krv().ManagedList, (TextList{"pc1", "salon"}));
    EXPECT_EQ(folder.Read("localGM"), (TextList{"pc1", "salon"}));
    EXPECT_EQ(folder.Read("salon"), (TextList{"pc2", "pc3"}));
    EXPECT_FALSE(fs::exists(folder / "bureau"));
    EXPECT_EQ(form.NameCaptions[1]->text(), QStringLiteral("SALON"));

    Answer(QStringLiteral("Serveur de fichiers"), Line()->OKBtn);
    form.Commentaire1Click();
    EXPECT_EQ(button->toolTip(), QStringLiteral("Serveur de fichiers"));
    // A rebuild of the map (enrolment forces one) gives each entry its comment back.
    korvane::Krv().IpList.push_back("salon 10.0.0.9");  // so that the map shows it
    korvane::Krv().MapRebuild = 1;
    form.Redraw_network();
    ASSERT_NE(form.EntryButtons.at(1), nullptr);
    EXPECT_EQ(form.EntryButtons[1]->toolTip(), QStringLiteral("Serveur de fichiers"));
    EXPECT_EQ(form.EntryButtons[0]->toolTip(), QString());
}

}  // namespace
