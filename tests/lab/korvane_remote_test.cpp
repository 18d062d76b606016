// The on/off dialog's remote commands beside "OFF" in the lab, through the
// real window: a Linux host shut down and restarted over SSH by the real ssh
// against a real sshd (its forced command notes the command and puts the
// host to sleep, or to sleep and awake again); a changed host key and a
// missing key refuse, and so does another computer at the address liste.ip
// moved the entry to; a command of liste.ssh that ssh would take for its own
// option runs nothing; Korvane's own address and the LAN's broadcast get no
// command; "Tester l'accès" against a real smbd with the right
// password, a wrong one and no smbd at all; a Samba restart of a host that
// never comes back is an incident.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <filesystem>

#include "korvane/core/power.h"
#include "korvane/core/sshpower.h"
#include "korvane/core/timescale.h"
#include "lab_support.h"
#include "main_window.h"
#include "program_folder.h"
#include "umachine.h"

namespace {

namespace fs = std::filesystem;
using gui_testing::ConsoleLines;
using gui_testing::ProgramFolder;
using gui_testing::WaitFor;
using toolkit::TextList;

std::string EntryOf(int entry) {
    return lab::EntryName(lab::HostAt(entry));
}

// The key sshd lets in, made once for the suite; each test's folder gets a copy.
const std::string& SuiteKeyDir() {
    static const std::string dir = [] {
        std::string pattern = (fs::temp_directory_path() / "korvane-ssh-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
        return pattern + "/";
    }();
    return dir;
}

enum class Button { Off, Restart, Test };

// Opens the entry's dialog, sets its SSH box and user when given, and presses.
void Press(korvane::TForm1& form, int entry, Button button,
           const std::optional<std::string>& sshUser = std::nullopt) {
    gui_testing::ClickEntry(form, entry, [&](korvane::Tmachines* dialog) {
        if (sshUser) {
            dialog->chk_ssh->setChecked(true);
            dialog->ssh_user->setText(QString::fromStdString(*sshUser));
        }
        (button == Button::Off       ? dialog->btn_off
         : button == Button::Restart ? dialog->btn_restart
                                     : dialog->btn_test)
            ->click();
    });
}

class KorvaneRemoteLab : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        lab::Run("ssh-keygen -q -t ed25519 -N '' -C korvane -f '" + SuiteKeyDir() +
                 "korvane_ssh' </dev/null");
        lab::StartSsh(lab::HostAt(2), SuiteKeyDir() + "korvane_ssh.pub");
        // Another Linux computer, with a host key of its own.
        lab::StartSsh(lab::HostAt(3), SuiteKeyDir() + "korvane_ssh.pub");
        lab::StartSamba(lab::HostAt(1), lab::ShutdownScript::Sleeps);
    }
    static void TearDownTestSuite() { fs::remove_all(SuiteKeyDir()); }
    void SetUp() override {
        folder.InstallProgram("hostping");
        folder.InstallOnPath("localc", "true");
        // Each group file holds the computer alone.
        lab::WriteInventory(folder.Dir(), lab::Hosts(), lab::Macs::Unlisted, lab::EntryName);
    }
    void TearDown() override {
        for (const lab::Host& host : lab::Hosts()) lab::Wake(host);
    }
    void CopyKey() {
        for (const char* file : {"korvane_ssh", "korvane_ssh.pub"}) {
            fs::copy_file(SuiteKeyDir() + file, folder / file,
                          fs::copy_options::overwrite_existing);
        }
    }
    void WriteAuth(const std::string& password) {
        testing_support::WriteBytes(folder / "shutdown.auth",
                                    "username = root\npassword = " + password + "\n");
        fs::permissions(folder / "shutdown.auth", fs::perms::owner_read | fs::perms::owner_write);
    }
    std::string Status() const { return folder.Form().StatusMain->currentMessage().toStdString(); }
    // Waits until the status bar starts with `start`.
    bool StatusStarts(const std::string& start, int ms = 20000) {
        return WaitFor([&] { return Status().starts_with(start); }, ms);
    }
    bool Reported(const char* progress, int checks) {
        return WaitFor([&] { return ConsoleLines(folder.Form(), progress) == checks; }, 40000);
    }

    // Follow-ups after 15 s.
    testing_support::ScopedEnv fast{korvane::kTimeScaleVariable, "20"};
    ProgramFolder folder;
};

TEST_F(KorvaneRemoteLab, SshShutdownAndRestartReachTheHostAndTheFollowUpsAgree) {
    CopyKey();
    const std::size_t before = lab::SshCalls(lab::HostAt(2)).size();
    korvane::TForm1& form = folder.StartStill();
    Press(form, 2, Button::Off, "root");  // the box ticked in the dialog, then "OFF"
    EXPECT_EQ(folder.Read("liste.ssh"), TextList{EntryOf(2) + " root"});
    EXPECT_TRUE(WaitFor([] { return lab::IsAsleep(lab::HostAt(2)); }, 15000));
    TextList calls = lab::SshCalls(lab::HostAt(2));
    ASSERT_EQ(calls.size(), before + 1);
    EXPECT_EQ(calls.back(), korvane::kSshPoweroff);
    ASSERT_TRUE(Reported("followDownReport ", 1));
    EXPECT_TRUE(folder.App().Vars().ShutdownIncidents.empty());
    // The host key, pinned at first use (its address may be hashed there).
    EXPECT_NE(folder.Read(korvane::kKnownHostsFile).at(0).find(" ssh-ed25519 "), std::string::npos);

    lab::Wake(lab::HostAt(2));
    Press(form, 2, Button::Restart);
    EXPECT_TRUE(WaitFor([] { return lab::IsAsleep(lab::HostAt(2)); }, 15000));
    EXPECT_TRUE(WaitFor([] { return !lab::IsAsleep(lab::HostAt(2)); }, 15000));
    calls = lab::SshCalls(lab::HostAt(2));
    ASSERT_EQ(calls.size(), before + 2);
    EXPECT_EQ(calls.back(), korvane::kSshReboot);
    ASSERT_TRUE(Reported("followRestartReport ", 1));
    EXPECT_TRUE(folder.App().Vars().ShutdownIncidents.empty());
    EXPECT_TRUE(folder.Messages().isEmpty());
}

// No key: refused before anything runs. A host whose key changed after it
// was pinned is refused by ssh, and the user is told why in French.
TEST_F(KorvaneRemoteLab, MissingKeyOrChangedHostKeyRefusesAndSaysWhy) {
    folder.Write("liste.ssh", {EntryOf(2) + " root"});
    korvane::TForm1& form = folder.StartStill();
    const std::size_t before = lab::SshCalls(lab::HostAt(2)).size();
    Press(form, 2, Button::Off);
    ASSERT_EQ(folder.Messages().size(), 1);
    EXPECT_TRUE(folder.Messages()[0].contains(QStringLiteral("est absente. Créez-la")))
        << folder.Messages()[0].toStdString();

    CopyKey();
    Press(form, 2, Button::Test);
    EXPECT_TRUE(StatusStarts("Accès SSH à « " + EntryOf(2) + " » : accordé")) << Status();
    EXPECT_EQ(lab::SshCalls(lab::HostAt(2)).size(), before + 1);
    EXPECT_EQ(lab::SshCalls(lab::HostAt(2)).back(), korvane::kSshProbe);

    lab::RenewSshHostKey(lab::HostAt(2));
    Press(form, 2, Button::Test);
    const std::string changed = std::string(" : refusé : ") + korvane::kSshHostKeyChanged + ". ";
    EXPECT_TRUE(StatusStarts("Accès SSH à « " + EntryOf(2) + " »" + changed)) << Status();
    Press(form, 2, Button::Off);
    EXPECT_TRUE(StatusStarts("Arrêt de « " + EntryOf(2) + " » en échec : " +
                             korvane::kSshHostKeyChanged + ". La clé d'hôte SSH"))
        << Status();
    EXPECT_EQ(lab::SshCalls(lab::HostAt(2)).size(), before + 1);  // neither got in
    EXPECT_FALSE(lab::IsAsleep(lab::HostAt(2)));
    EXPECT_EQ(folder.Messages().size(), 1);
}

// A command of liste.ssh that ssh would read as its own option runs
// nothing: ProxyCommand would run `touch` here, on Korvane's computer.
TEST_F(KorvaneRemoteLab, SshCommandStartingWithADashIsRefusedAndRunsNothing) {
    CopyKey();
    const std::string touched = folder / "proxy-a-tourne";
    folder.Write("liste.ssh", {EntryOf(2) + " root -oProxyCommand=touch " + touched});
    korvane::TForm1& form = folder.StartStill();
    const std::size_t before = lab::SshCalls(lab::HostAt(2)).size();
    Press(form, 2, Button::Off);
    ASSERT_EQ(folder.Messages().size(), 1);
    EXPECT_TRUE(folder.Messages()[0].startsWith(QString::fromStdString(
        "Arrêt de « " + EntryOf(2) + " » refusé : la commande « -oProxyCommand=touch " + touched +
        " » de liste.ssh commence par « - »")))
        << folder.Messages()[0].toStdString();
    EXPECT_FALSE(WaitFor([&] { return fs::exists(touched); }, 3000));
    EXPECT_EQ(lab::SshCalls(lab::HostAt(2)).size(), before);
    EXPECT_FALSE(lab::IsAsleep(lab::HostAt(2)));
}

// The host key is pinned to the computer, not to its address: when liste.ip
// moves the entry to an address where another computer answers, that one is
// refused with the changed key's remedy; under its own name it is let in.
TEST_F(KorvaneRemoteLab, HostKeyStaysWithTheComputerWhenItsAddressChanges) {
    CopyKey();
    folder.Write("liste.ssh", {EntryOf(2) + " root", EntryOf(3) + " root"});
    korvane::TForm1& first = folder.StartStill();
    Press(first, 2, Button::Test);
    EXPECT_TRUE(StatusStarts("Accès SSH à « " + EntryOf(2) + " » : accordé")) << Status();
    folder.Stop();

    TextList addresses = folder.Read("liste.ip");
    addresses.at(2) = EntryOf(2) + " " + lab::HostAt(3).address;
    folder.Write("liste.ip", addresses);
    const std::size_t before = lab::SshCalls(lab::HostAt(3)).size();
    korvane::TForm1& form = folder.StartStill();
    Press(form, 2, Button::Test);
    EXPECT_TRUE(StatusStarts("Accès SSH à « " + EntryOf(2) + " » : refusé : " +
                             korvane::kSshHostKeyChanged + ". La clé d'hôte SSH"))
        << Status();
    EXPECT_NE(Status().find("ssh-keygen -R " + korvane::SshHostKeyAlias(EntryOf(2)) + " "),
              std::string::npos)
        << Status();
    EXPECT_EQ(lab::SshCalls(lab::HostAt(3)).size(), before);

    form.StatusMain->clearMessage();
    Press(form, 3, Button::Test);
    EXPECT_TRUE(StatusStarts("Accès SSH à « " + EntryOf(3) + " » : accordé")) << Status();
    EXPECT_EQ(lab::SshCalls(lab::HostAt(3)).size(), before + 1);
    EXPECT_TRUE(folder.Messages().isEmpty());
}

// Korvane's own address and the LAN's broadcast address get no command:
// the first would go to this computer, the second to every one.
TEST_F(KorvaneRemoteLab, OwnAddressAndTheLansBroadcastAreRefused) {
    WriteAuth(lab::kSambaPassword);
    TextList addresses = folder.Read("liste.ip");
    addresses.at(0) = EntryOf(0) + " 198.18.0.2";
    addresses.at(1) = EntryOf(1) + " 198.18.0.255";
    folder.Write("liste.ip", addresses);
    korvane::TForm1& form = folder.StartStill();
    const std::size_t shutdowns = lab::ShutdownCalls(lab::HostAt(1)).size();
    Press(form, 0, Button::Test);
    Press(form, 1, Button::Off);
    ASSERT_EQ(folder.Messages().size(), 2);
    EXPECT_EQ(folder.Messages()[0].toStdString(),
              "Test de l'accès à « " + EntryOf(0) +
                  " » refusé : l'adresse « 198.18.0.2 » (liste.ip) est celle de cet "
                  "ordinateur-ci, pas celle de « " +
                  EntryOf(0) + " ».");
    EXPECT_EQ(folder.Messages()[1].toStdString(),
              "Arrêt de « " + EntryOf(1) +
                  " » refusé : l'adresse « 198.18.0.255 » (liste.ip) est l'adresse de diffusion "
                  "d'un réseau local : la commande irait à tous ses ordinateurs.");
    EXPECT_EQ(lab::ShutdownCalls(lab::HostAt(1)).size(), shutdowns);
}

// "Tester l'accès" asks smbd what "OFF" would ask it with: right password,
// wrong password, no smbd. Nothing goes down.
TEST_F(KorvaneRemoteLab, AccessTestThroughSambaIsGrantedRefusedOrUnreachable) {
    korvane::TForm1& form = folder.StartStill();
    const std::size_t shutdowns = lab::ShutdownCalls(lab::HostAt(1)).size();
    const struct {
        int entry;
        std::string password, told;
    } cases[] = {
        {1, lab::kSambaPassword,
         "Accès à « " + EntryOf(1) + " » : accordé, l'arrêt à distance devrait fonctionner."},
        {1, "mauvais",
         "Accès à « " + EntryOf(1) + " » : refusé : NT_STATUS_LOGON_FAILURE. " +
             korvane::PowerFailureRemedy("NT_STATUS_LOGON_FAILURE")},
        {0, lab::kSambaPassword,
         "Accès à « " + EntryOf(0) + " » : refusé : NT_STATUS_CONNECTION_REFUSED. " +
             korvane::PowerFailureRemedy("NT_STATUS_CONNECTION_REFUSED")},
    };
    for (const auto& c : cases) {
        WriteAuth(c.password);
        form.StatusMain->clearMessage();
        Press(form, c.entry, Button::Test);
        EXPECT_TRUE(StatusStarts("Accès à")) << c.password;
        EXPECT_EQ(Status(), c.told);
        EXPECT_EQ(ConsoleLines(form, QString::fromStdString(c.told)), 1);
    }
    EXPECT_EQ(lab::ShutdownCalls(lab::HostAt(1)).size(), shutdowns);
    EXPECT_FALSE(lab::IsAsleep(lab::HostAt(1)));
    EXPECT_TRUE(folder.Messages().isEmpty());
}

// The lab's smbd puts its host to sleep for good, restart or not: the
// restart's follow-up finds it down and records it.
TEST_F(KorvaneRemoteLab, SambaRestartOfAHostThatStaysDownIsAnIncident) {
    WriteAuth(lab::kSambaPassword);
    korvane::TForm1& form = folder.StartStill();
    Press(form, 1, Button::Restart);
    EXPECT_TRUE(WaitFor([] { return lab::IsAsleep(lab::HostAt(1)); }, 15000));
    const TextList calls = lab::ShutdownCalls(lab::HostAt(1));
    ASSERT_FALSE(calls.empty());
    EXPECT_NE(calls.back().find("-r"), std::string::npos) << calls.back();
    ASSERT_TRUE(Reported("followRestartReport ", 1));
    const TextList& incidents = folder.App().Vars().ShutdownIncidents;
    ASSERT_EQ(incidents.size(), 1u);
    EXPECT_TRUE(incidents[0].ends_with("\";\"" + EntryOf(1) + "\";\"n'a pas redémarré\";\"" +
                                       korvane::kUnknownReason + "\";"))
        << incidents[0];
}

}  // namespace
