// The dialogs' controls that drive the plan, the protection, the shutdown
// delay and comment, the console window and the energy report, through the
// real windows. net and the openers are stand-ins that record their
// arguments (the lab runs the real net against a real smbd).
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <chrono>
#include <filesystem>

#include "korvane/core/KrvVar.h"
#include "forms.h"
#include "korvane/core/history.h"
#include "messages.h"
#include "program_folder.h"
#include "uBottomdlg.h"
#include "uconsole.h"
#include "uenergy.h"
#include "umachine.h"
#include "uprefs.h"

namespace {

namespace fs = std::filesystem;
using gui_testing::ProgramFolder;
using gui_testing::WaitFor;
using toolkit::TextList;

class DialogsTest : public testing::Test {
  protected:
    void SetUp() override {
        folder.Write("localGM", {"pc1", "bureau"});
        folder.Write("liste.ip", {"pc1 10.0.0.5", "pc2 10.0.0.6", "bureau 10.0.0.9"});
        folder.Write("pc1", {"pc1"});
        folder.Write("bureau", {"pc2", "pc3"});
        // Each argument on a line of its own, between brackets.
        folder.InstallOnPath("net", "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done >> \"" +
                                        (folder / "net.args") + "\"");
        folder.InstallOnPath("localc", "echo \"$*\" >> \"" + (folder / "opened") + "\"");
        testing_support::WriteBytes(folder / "shutdown.auth", "username = root\npassword = x\n");
        fs::permissions(folder / "shutdown.auth", fs::perms::owner_read | fs::perms::owner_write);
    }
    void TearDown() override { korvane::SetQuestionSink({}); }
    korvane::TForm1& Start() { return folder.StartStill(); }
    void Times(int entry, const char* on, const char* off, bool pressOff = false) {
        gui_testing::ClickEntry(folder.Form(), entry, [=](korvane::Tmachines* d) {
            d->Edit1->setText(QString::fromUtf8(on));
            d->Edit2->setText(QString::fromUtf8(off));
            if (pressOff) {
                d->btn_off->click();
            } else {
                d->reject();  // the close box
            }
        });
    }
    void Answer(const QString& text, bool ok) {
        korvane::TOKBottomDlg* dialog = korvane::Application()->OKBottomDlg();
        QTimer::singleShot(0, dialog, [=] {
            dialog->gEdit->setText(text);
            (ok ? dialog->OKBtn : dialog->CancelBtn)->click();
        });
    }
    QString Hint(int entry) const { return folder.Form().EntryButtons.at(entry)->toolTip(); }
    bool Marked(int entry) const {
        return folder.Form().EntryButtons.at(entry)->findChild<QLabel*>(
                   QStringLiteral("protege%1").arg(entry)) != nullptr;
    }
    TextList Lines(const std::string& file) const {
        return fs::exists(folder / file) ? folder.Read(file) : TextList{};
    }

    ProgramFolder folder;
};

TEST_F(DialogsTest, OnOffDialogSavesItsTimesHoweverItClosesAndRefusesBadOnes) {
    korvane::TForm1& form = Start();
    gui_testing::ClickEntry(form, 0, [](korvane::Tmachines* d) {
        EXPECT_EQ(d->Edit1->text(), QStringLiteral("0:00"));
        EXPECT_FALSE(d->Edit1->isReadOnly());
        d->reject();
    });
    EXPECT_FALSE(fs::exists(folder / "liste.planning"));  // nothing set, nothing written

    Times(0, "7:30", "19:00");
    EXPECT_EQ(folder.Read("liste.planning"), (TextList{"pc1;7:30;19:00"}));
    form.Redraw_network();
    EXPECT_TRUE(Hint(0).startsWith(QStringLiteral("Prochaine action : "))) << Hint(0).toStdString();
    EXPECT_TRUE(Hint(1).isEmpty());

    Times(0, "25:00", "0:00");  // the wake-up refused and kept, the shutdown cleared
    ASSERT_EQ(folder.Messages().size(), 1);
    EXPECT_EQ(folder.Messages()[0],
              QStringLiteral("Heure refusée pour « Allumage à » : « 25:00 ». Écrivez-la H:MM, "
                             "de 0:01 à 23:59, ou 0:00 pour aucune action."));
    EXPECT_EQ(folder.Read("liste.planning"), (TextList{"pc1;7:30;0:00"}));
    gui_testing::ClickEntry(form, 0, [](korvane::Tmachines* d) {
        EXPECT_EQ(d->Edit1->text(), QStringLiteral("7:30"));
        EXPECT_EQ(d->Edit2->text(), QStringLiteral("0:00"));
        d->reject();
    });

    Times(1, "8:05", "0:00", true);  // saved with "OFF", which still acts
    EXPECT_EQ(folder.Read("liste.planning"), (TextList{"pc1;7:30;0:00", "bureau;8:05;0:00"}));
    EXPECT_TRUE(WaitFor([&] { return !Lines("net.args").empty(); }));
    Times(0, "0:00", "0:00");
    EXPECT_EQ(folder.Read("liste.planning"), (TextList{"bureau;8:05;0:00"}));
}

// Refused values keep the dialog open and the file as it was; the values
// saved reach net as separate arguments, the comment whole.
TEST_F(DialogsTest, PreferencesKeepTheShutdownDelayAndCommentThatEveryOffUses) {
    Start();
    korvane::TPrefs* prefs = korvane::Application()->Prefs();
    const QString comment = QStringLiteral("Arrêt à 19h ; sauvegardez \"tout\" $(id) 'vite'");
    QStringList shown;
    QAction* entry = folder.Form().findChild<QAction*>(QStringLiteral("Prfrences1"));
    QTimer::singleShot(0, prefs, [&] {
        shown << prefs->set_shut_delay->text() << prefs->set_shut_comment->text();
        prefs->BitBtn1->click();
    });
    entry->trigger();
    EXPECT_EQ(shown, (QStringList{QStringLiteral("30"), QString()}));
    EXPECT_FALSE(fs::exists(folder / "arret.ini"));  // the defaults: nothing written
    QTimer::singleShot(0, prefs, [&] {
        for (const char* delay : {"abc", "601", "-1", ""}) {
            prefs->set_shut_delay->setText(QString::fromLatin1(delay));
            prefs->BitBtn1->click();
        }
        EXPECT_TRUE(prefs->isVisible());
        prefs->set_shut_delay->setText(QStringLiteral("45"));
        prefs->set_shut_comment->setText(comment);
        prefs->BitBtn1->click();
    });
    entry->trigger();
    ASSERT_EQ(folder.Messages().size(), 4);
    EXPECT_TRUE(
        folder.Messages()[0].startsWith(QStringLiteral("Durée d'attente refusée : « abc »")));
    EXPECT_EQ(folder.Read("arret.ini"),
              (TextList{"delai=45", "commentaire=" + comment.toStdString()}));

    gui_testing::ClickEntry(folder.Form(), 0, [](korvane::Tmachines* d) { d->btn_off->click(); });
    ASSERT_TRUE(WaitFor([&] { return Lines("net.args").size() == 11; }));
    EXPECT_EQ(folder.Read("net.args"),
              (TextList{"[rpc]", "[shutdown]", "[-f]", "[-t]", "[45]", "[-C]",
                        "[" + comment.toStdString() + "]", "[-I]", "[10.0.0.5]", "[-A]",
                        "[" + folder.Dir() + "shutdown.auth]"}));
}

TEST_F(DialogsTest, ProtectedComputersAreListedMarkedAndNeverShutDown) {
    korvane::TForm1& form = Start();
    Answer(QStringLiteral("pc1"), false);  // "Annuler": nothing kept
    form.Nejamaisteindre1Click();
    EXPECT_FALSE(fs::exists(folder / "liste.protegees"));
    Answer(QStringLiteral("pc1;reboot"), true);
    form.Nejamaisteindre1Click();
    Answer(QStringLiteral("pc1"), true);
    form.Nejamaisteindre1Click();
    Answer(QStringLiteral("pc2"), true);  // a member of "bureau"
    form.Nejamaisteindre1Click();
    EXPECT_EQ(folder.Read("liste.protegees"), (TextList{"pc1", "pc2"}));
    EXPECT_TRUE(Marked(0));
    EXPECT_FALSE(Marked(1));
    EXPECT_TRUE(Hint(0).contains(QStringLiteral("protégé")));

    for (int entry : {0, 1}) {
        gui_testing::ClickEntry(form, entry, [](korvane::Tmachines* d) { d->btn_off->click(); });
    }
    const QStringList expected{
        QStringLiteral("Nom refusé : « pc1;reboot ». Lettres, chiffres, « . », « - » et « _ » "
                       "seulement."),
        QStringLiteral("« pc1 » ne sera jamais éteint par Korvane."),
        QStringLiteral("« pc2 » ne sera jamais éteint par Korvane."),
        QStringLiteral("Arrêt de « pc1 » refusé : cet ordinateur est dans la liste des machines "
                       "à ne jamais éteindre."),
        QStringLiteral("Arrêt de « bureau » refusé : son membre « pc2 » est dans la liste des "
                       "machines à ne jamais éteindre.")};
    EXPECT_EQ(folder.Messages(), expected);
    EXPECT_EQ(gui_testing::ConsoleLines(form, expected[3]), 1);
    EXPECT_EQ(gui_testing::ConsoleLines(form, expected[4]), 1);
    EXPECT_FALSE(fs::exists(folder / "shutdnpc1.sh"));
    EXPECT_FALSE(fs::exists(folder / "shutdnbureau.sh"));

    // Typed again, it may leave the list: "Non" keeps it, "Oui" takes it off.
    QStringList questions;
    bool yes = false;
    korvane::SetQuestionSink([&](const QString& text) {
        questions << text;
        return yes;
    });
    Answer(QStringLiteral("PC1"), true);
    form.Nejamaisteindre1Click();
    yes = true;
    Answer(QStringLiteral("PC1"), true);
    form.Nejamaisteindre1Click();
    ASSERT_EQ(questions.size(), 2);
    EXPECT_EQ(questions[0], QStringLiteral("« PC1 » est déjà dans la liste des machines à ne "
                                           "jamais éteindre. L'en retirer ?"));
    EXPECT_EQ(folder.Read("liste.protegees"), (TextList{"pc2"}));
    EXPECT_FALSE(Marked(0));
    gui_testing::ClickEntry(form, 0, [](korvane::Tmachines* d) { d->btn_off->click(); });
    EXPECT_TRUE(fs::exists(folder / "shutdnpc1.sh"));
}

TEST_F(DialogsTest, ConsoleWindowFollowsTheLogReadOnlyAndSavesIt) {
    korvane::TForm1& form = Start();
    form.findChild<QAction*>(QStringLiteral("Console1"))->trigger();
    korvane::TConsole* window = korvane::Application()->Console();
    ASSERT_TRUE(window->isVisible());
    EXPECT_TRUE(window->Memo1->isReadOnly());
    EXPECT_EQ(window->Memo1->toPlainText(), form.console->toPlainText());
    gui_testing::ClickEntry(form, 0, [](korvane::Tmachines* d) { d->btn_off->click(); });
    EXPECT_TRUE(
        window->Memo1->toPlainText().endsWith(form.console->toPlainText().split('\n').last()));
    EXPECT_EQ(window->Memo1->toPlainText(), form.console->toPlainText());
    EXPECT_TRUE(window->Memo1->toPlainText().contains(QStringLiteral("net rpc shutdown")));
    ASSERT_TRUE(window->SaveTo(folder / "console.txt"));
    const TextList saved = folder.Read("console.txt");
    EXPECT_EQ(saved, toolkit::SplitLines(form.console->toPlainText().toStdString()));
    EXPECT_FALSE(window->SaveTo(folder / "absent/console.txt"));
    EXPECT_EQ(folder.Messages().size(), 1);
    EXPECT_FALSE(form.console->isVisible());
}

// The history of today: pc1 on for the last two hours, "bureau" off. The
// report shows it, takes a new draw, refuses a wrong one and exports.
TEST_F(DialogsTest, EnergyReportShowsHoursAndEnergyTakesADrawAndExports) {
    const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    const std::int64_t start = now - 2 * 3600;
    korvane::TForm1& form = Start();
    folder.Write("historique.etats", {korvane::HistoryLine({start, "*", '?'}),
                                      korvane::HistoryLine({start, "pc1", '1'}),
                                      korvane::HistoryLine({start, "bureau", '0'})});
    form.findChild<QAction*>(QStringLiteral("Consommation1"))->trigger();
    korvane::TEnergyReport* report = korvane::Application()->EnergyReport();
    ASSERT_TRUE(report->isVisible());
    ASSERT_EQ(report->Rows().size(), 2u);
    EXPECT_EQ(report->DayLabels().size(), 7u);
    const double pc1Hours = report->Rows()[0].TotalHours();
    EXPECT_GE(pc1Hours, 2.0 - 1e-6);  // from midnight, at most since the history began
    EXPECT_LT(pc1Hours, 2.1);
    EXPECT_EQ(report->Rows()[1].TotalHours(), 0.0);
    EXPECT_EQ(report->Grid1->item(0, 1)->text(), QStringLiteral("60"));

    report->Grid1->item(0, 1)->setText(QStringLiteral("120"));
    EXPECT_EQ(folder.Read("puissances.ini"), (TextList{"pc1=120"}));
    EXPECT_NEAR(report->Rows()[0].Kwh(), report->Rows()[0].TotalHours() * 0.12, 1e-9);
    report->Grid1->item(1, 1)->setText(QStringLiteral("beaucoup"));
    ASSERT_EQ(folder.Messages().size(), 1);
    EXPECT_EQ(report->Grid1->item(1, 1)->text(), QStringLiteral("60"));

    report->set_period->setCurrentIndex(1);
    EXPECT_EQ(report->DayLabels().size(), 30u);
    ASSERT_TRUE(report->BtnExportClick());
    const TextList csv = folder.Read("consommation.csv");
    ASSERT_EQ(csv.size(), 3u);
    EXPECT_TRUE(csv[1].starts_with("\"pc1\";120;")) << csv[1];
    EXPECT_TRUE(WaitFor([&] { return Lines("opened") == TextList{folder / "consommation.csv"}; }));
    report->close();

    // From the pop-up of one entry: that entry alone.
    korvane::Krv().SelectedEntry = 1;
    form.ConsommationEntry1Click();
    ASSERT_EQ(report->Rows().size(), 1u);
    EXPECT_EQ(report->Rows()[0].name, "bureau");
}

// Another holder of the plan's lock (a "--planificateur" run) keeps
// this window from running the plan; once it has gone, the window runs it.
TEST_F(DialogsTest, OneKorvanePerFolderRunsThePlan) {
    folder.Write("liste.planning", {"pc1;0:00;22:00"});
    // A lock of flock(2) belongs to an open file: one taken on a file opened
    // here keeps the window's own open of the same file out, as another
    // process's would.
    const int holder = open((folder / "planning.lck").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    auto now = std::chrono::system_clock::now();
    korvane::SetPlanClock([&] { return now; });
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    local.tm_hour = 21;
    local.tm_min = 59;
    local.tm_isdst = -1;
    now = std::chrono::system_clock::from_time_t(std::mktime(&local));
    korvane::TForm1& form = Start();
    now += std::chrono::minutes(1);
    form.TimerPlanTimer();
    form.TimerPlanTimer();
    EXPECT_EQ(gui_testing::ConsoleLines(
                  form, QStringLiteral("planification : assurée par un autre Korvane")),
              1);
    EXPECT_FALSE(fs::exists(folder / "shutdnpc1.sh"));
    close(holder);
    form.TimerPlanTimer();
    EXPECT_EQ(gui_testing::ConsoleLines(form, QStringLiteral("planification : arrêt de pc1")), 1);
    EXPECT_TRUE(fs::exists(folder / "shutdnpc1.sh"));
    korvane::SetPlanClock({});
}

}  // namespace
