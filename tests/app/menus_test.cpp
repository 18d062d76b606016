// The commands of the menus and dialogs: the machine list, the preferences,
// "Ne jamais éteindre...", the pop-up menu's comment and renaming, the on/off
// dialog's times, the console's saving. net and the openers are stand-ins
// that record their arguments (the lab runs the real net against a real smbd).
#include <gtest/gtest.h>

#include <filesystem>

#include "app_folder.h"

namespace {

namespace fs = std::filesystem;
using app_testing::AppFolder;
using toolkit::TextList;

class MenusTest : public testing::Test {
  protected:
    void SetUp() override {
        folder.Write("localGM", {"pc1", "bureau"});
        folder.Write("liste.ip", {"pc1 10.0.0.5", "pc2 10.0.0.6", "bureau 10.0.0.9"});
        folder.Write("liste.mac", {"PC2 02-00-00-00-00-06"});
        folder.Write("pc1", {"pc1"});
        folder.Write("bureau", {"pc2", "pc3"});
        // Each argument on a line of its own, between brackets.
        folder.InstallOnPath("net", "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done >> \"" +
                                        (folder / "net.args") + "\"");
        folder.InstallOnPath("localc", "echo \"localc $*\" >> \"" + (folder / "opened") + "\"");
        folder.InstallOnPath("xdg-open", "echo \"xdg-open $*\" >> \"" + (folder / "opened") + "\"");
        testing_support::WriteBytes(folder / "shutdown.auth", "username = root\npassword = x\n");
        fs::permissions(folder / "shutdown.auth", fs::perms::owner_read | fs::perms::owner_write);
    }
    const korvane::MapEntry& Cell(std::size_t entry) const { return folder.View().Cell(entry); }
    bool Opened(std::size_t count) {
        return folder.RunUntil([&] { return folder.Lines("opened").size() == count; });
    }

    AppFolder folder;
};

// Every member of every group, opened in the spreadsheet, else the default
// opener; an entry whose group file cannot be read is named and left out,
// names with accents are exported as they are.
TEST_F(MenusTest, MachineListHoldsEveryGroupMemberAndOpens) {
    const std::string header = "\"  Machine  \";\"     Adresse MAC     \";\"     Adresse IP    \"";
    const std::string path = folder / "liste.machines";
    const struct {
        TextList managed;
        bool spreadsheet;
        TextList lines;
        std::string opened;
    } cases[] = {
        {{"pc1", "bureau"},
         true,
         {header, "\"pc1\";\"\";\"10.0.0.5\"", "\"pc2\";\"02-00-00-00-00-06\";\"10.0.0.6\"",
          "\"pc3\";\"\";\"\""},
         "localc " + path},
        {{}, false, {header}, "xdg-open " + path},
        {{"pc1", "absent", "Comptabilité"},
         false,
         {header, "\"pc1\";\"\";\"10.0.0.5\"", "\"Comptabilité\";\"\";\"\""},
         "xdg-open " + path},
    };
    folder.Write("Comptabilité", {"Comptabilité"});
    std::size_t opened = 0;
    for (const auto& c : cases) {
        folder.Write("localGM", c.managed);
        if (!c.spreadsheet) fs::remove(folder / "path/localc");
        folder.Start().ExportMachineList();
        EXPECT_EQ(folder.Read("liste.machines"), c.lines);
        ASSERT_TRUE(Opened(++opened));  // the stand-in is read before it goes
        EXPECT_EQ(folder.Read("opened").back(), c.opened);
    }
    const std::vector<std::string>& warnings = folder.View().warnings;
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(
        warnings[0].starts_with("Liste des machines exportée sans ces entrées :\n« absent » :"))
        << warnings[0];
    EXPECT_EQ(folder.View().ConsoleLines(warnings[0]), 1);
}

// A refused delay or comment keeps the dialog open and the file as it was; a
// number per row that is not 1 to 32 changes nothing. The values saved reach
// net as separate arguments, the comment whole, and the map is rebuilt.
TEST_F(MenusTest, PreferencesKeepTheMapsRowsAndTheShutdownDelayAndComment) {
    korvane::KorvaneApp& app = folder.Start();
    const korvane::Preferences shown = app.CurrentPreferences();
    EXPECT_EQ(shown.nbyrow + " " + shown.delay + " " + shown.comment, "3 30 ");
    EXPECT_TRUE(app.SavePreferences(shown));
    EXPECT_FALSE(folder.Exists("arret.ini"));  // the defaults: nothing written
    for (const char* delay : {"abc", "601", "-1", ""}) {
        EXPECT_FALSE(app.SavePreferences({"3", delay, "", {}})) << delay;
    }
    ASSERT_EQ(folder.View().warnings.size(), 4u);
    EXPECT_TRUE(folder.View().warnings[0].starts_with("Durée d'attente refusée : « abc »"));
    EXPECT_FALSE(folder.Exists("arret.ini"));
    for (const char* refused : {"-", "0", "33", "quatre"}) {
        EXPECT_TRUE(app.SavePreferences({refused, "30", "", {}})) << refused;
        EXPECT_EQ(app.CurrentSettings().nbyrow, 3) << refused;
        EXPECT_FALSE(folder.View().Map().rebuild) << refused;
    }

    const std::string comment = "Arrêt à 19h ; sauvegardez \"tout\" $(id) 'vite'";
    EXPECT_FALSE(folder.Exists("notifications.ini"));
    EXPECT_TRUE(app.SavePreferences({"4", "45", comment, {true, false, true}}));
    EXPECT_EQ(folder.Read("arret.ini"), (TextList{"delai=45", "commentaire=" + comment}));
    EXPECT_EQ(folder.Read("notifications.ini"),
              (TextList{"nouveaux-appareils=1", "incidents=0", "planification=1"}));
    EXPECT_EQ(app.CurrentPreferences().notices, (korvane::NoticeSettings{true, false, true}));
    EXPECT_EQ(folder.View().Map().nbyrow, 4);
    EXPECT_TRUE(folder.View().Map().rebuild);
    EXPECT_EQ(app.CurrentPreferences().delay, "45");
    app.ShutDown(0);
    ASSERT_TRUE(folder.RunUntil([&] { return folder.Lines("net.args").size() == 11; }));
    EXPECT_EQ(folder.Read("net.args"),
              (TextList{"[rpc]", "[shutdown]", "[-f]", "[-t]", "[45]", "[-C]", "[" + comment + "]",
                        "[-I]", "[10.0.0.5]", "[-A]", "[" + folder.Dir() + "shutdown.auth]"}));
    folder.Exit();
    EXPECT_EQ(folder.Read("krv.ini").at(5), "nbyrow=4");
}

TEST_F(MenusTest, ProtectedComputersAreListedMarkedAndNeverShutDown) {
    korvane::KorvaneApp& app = folder.Start();
    for (const char* typed : {" ", "pc1;reboot", "pc1", "pc2"}) app.Protect(typed);
    EXPECT_EQ(folder.Read("liste.protegees"), (TextList{"pc1", "pc2"}));
    EXPECT_TRUE(Cell(0).isProtected);
    EXPECT_EQ(Cell(0).hint, "Ne jamais éteindre : protégé");
    EXPECT_FALSE(Cell(1).isProtected);  // "bureau", whose member pc2 is

    app.ShutDown(0);
    app.ShutDown(1);
    const std::vector<std::string> refusals{
        "Arrêt de « pc1 » refusé : cet ordinateur est dans la liste des machines à ne jamais "
        "éteindre.",
        "Arrêt de « bureau » refusé : son membre « pc2 » est dans la liste des machines à ne "
        "jamais éteindre."};
    EXPECT_EQ(folder.View().warnings,
              (std::vector<std::string>{
                  "Nom refusé : « pc1;reboot » ne peut désigner un ordinateur (lettres "
                  "(accentuées ou d'autres écritures comprises), chiffres, « . », « - » et « _ » "
                  "seulement, sans « . » ni « - » au début).",
                  refusals[0], refusals[1]}));
    EXPECT_EQ(folder.View().messages,
              (std::vector<std::string>{"« pc1 » ne sera jamais éteint par Korvane.",
                                        "« pc2 » ne sera jamais éteint par Korvane."}));
    for (const auto& refusal : refusals) EXPECT_EQ(folder.View().ConsoleLines(refusal), 1);
    EXPECT_FALSE(folder.Exists("shutdnpc1.sh"));
    EXPECT_FALSE(folder.Exists("shutdnbureau.sh"));

    // Typed again, it may leave the list: "Non" keeps it, "Oui" takes it off.
    folder.View().answers = {false, true};
    app.Protect("PC1");
    app.Protect("PC1");
    EXPECT_EQ(folder.View().questions,
              std::vector<std::string>(2,
                                       "« PC1 » est déjà dans la liste des machines à ne "
                                       "jamais éteindre. L'en retirer ?"));
    EXPECT_EQ(folder.View().messages.back(), "« PC1 » peut de nouveau être éteint.");
    EXPECT_EQ(folder.Read("liste.protegees"), TextList{"pc2"});
    EXPECT_FALSE(Cell(0).isProtected);
    app.ShutDown(0);
    EXPECT_TRUE(folder.Exists("shutdnpc1.sh"));
}

// The comment follows its entry under a new name and comes back with every
// rebuild of the map; a name that cannot be an entry's is refused.
TEST_F(MenusTest, PopupCommentsAndRenamesTheEntryAndItsGroupFile) {
    korvane::KorvaneApp& app = folder.Start();
    app.SetComment(1, "Serveur de fichiers");
    EXPECT_EQ(Cell(1).hint, "Serveur de fichiers");
    app.Rename(1, "Au salon");
    EXPECT_EQ(app.Vars().ManagedList, (TextList{"pc1", "bureau"}));
    ASSERT_EQ(folder.View().warnings.size(), 1u);
    EXPECT_NE(folder.View().warnings[0].find("« Au salon » ne peut servir"), std::string::npos);

    EXPECT_EQ(app.NameOf(1), "bureau");
    app.Rename(1, "salon ");
    EXPECT_EQ(app.Vars().ManagedList, (TextList{"pc1", "salon"}));
    EXPECT_EQ(folder.Read("localGM"), (TextList{"pc1", "salon"}));
    EXPECT_EQ(folder.Read("salon"), (TextList{"pc2", "pc3"}));
    EXPECT_FALSE(folder.Exists("bureau"));
    EXPECT_EQ(Cell(1).caption, "SALON");
    EXPECT_EQ(app.CommentOf(1), "Serveur de fichiers");
    EXPECT_TRUE(app.SavePreferences({"2", "30", "", {}}));  // a rebuild
    EXPECT_TRUE(folder.View().Map().rebuild);
    EXPECT_EQ(Cell(1).hint, "Serveur de fichiers");
    EXPECT_EQ(Cell(0).hint, "");
}

// The on/off dialog's times are saved however it closes; a time that does
// not parse keeps the saved one and is told; 0:00 twice takes the line away.
TEST_F(MenusTest, OnOffDialogSavesItsTimesAndRefusesBadOnes) {
    korvane::KorvaneApp& app = folder.Start();
    EXPECT_FALSE(app.Card(2));
    app.SavePlanTimes(0, app.Card(0)->wakeUp, app.Card(0)->shutdown);
    EXPECT_FALSE(folder.Exists("liste.planning"));  // nothing set, nothing written

    const struct {
        int entry;
        const char* wakeUp;
        const char* shutdown;
        TextList plan;
        std::string shown;  // the times the dialog shows at its next opening
    } steps[] = {
        {0, "7:30", "19:00", {"pc1;7:30;19:00"}, "7:30 19:00"},
        {0, "25:00", "0:00", {"pc1;7:30;0:00"}, "7:30 0:00"},  // the wake-up refused, kept
        {1, "8:05", "0:00", {"pc1;7:30;0:00", "bureau;8:05;0:00"}, "8:05 0:00"},
        {0, "0:00", "0:00", {"bureau;8:05;0:00"}, "0:00 0:00"},
    };
    for (const auto& step : steps) {
        app.SavePlanTimes(step.entry, step.wakeUp, step.shutdown);
        EXPECT_EQ(folder.Read("liste.planning"), step.plan) << step.wakeUp;
        EXPECT_EQ(app.Card(step.entry)->wakeUp + " " + app.Card(step.entry)->shutdown, step.shown);
    }
    EXPECT_EQ(folder.View().warnings,
              std::vector<std::string>{"Heure refusée pour « Allumage à » : « 25:00 ». Écrivez-la "
                                       "H:MM, de 0:01 à 23:59, ou 0:00 pour aucune action."});
    // The map's next drawing shows the entry's next action.
    app.SetComment(0, "");
    EXPECT_EQ(Cell(0).hint, "");
    EXPECT_TRUE(Cell(1).hint.starts_with("Prochaine action : allumage à 8:05")) << Cell(1).hint;
}

}  // namespace
