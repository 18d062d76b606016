#include "uprefs.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "KrvVar.h"
#include "commands.h"
#include "messages.h"
#include "platform/platform.h"
#include "shutdownsettings.h"
#include "tools.h"
#include "widgets.h"

namespace korvane {

TPrefs::TPrefs(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Prefs"));
    setWindowTitle(QStringLiteral("Prefs"));
    Label3 = new QLabel(QStringLiteral("Nombre de machines par ligne :"), this);
    set_nbyrow = new SpinEdit(this);
    Label1 = new QLabel(QStringLiteral("Durée d'attente Sutdown :"), this);
    set_shut_delay = new QLineEdit(this);
    Label2 = new QLabel(QStringLiteral("Commentaire Shutdown :"), this);
    set_shut_comment = new QLineEdit(this);
    set_shut_comment->setMaxLength(static_cast<int>(kMaxShutdownCommentLength));
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Annuler"), this);
    connect(BitBtn1, &QPushButton::clicked, this, &TPrefs::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto* fields = new QFormLayout;
    fields->addRow(Label3, set_nbyrow);
    fields->addRow(Label1, set_shut_delay);
    fields->addRow(Label2, set_shut_comment);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
}

void TPrefs::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    set_nbyrow->SetText(QString::number(Krv().settings.nbyrow));
    ShutdownSettings shutdown;
    try {
        shutdown = LoadShutdownSettings(toolkit::kHostOs, toolkit::ProgramDir());
    } catch (const toolkit::FileError& error) {
        ShowWarning(this, Q(error.what()));
    }
    set_shut_delay->setText(QString::number(shutdown.delay));
    set_shut_comment->setText(Q(shutdown.comment));
}

// A refused delay or comment is told and keeps the dialog open, nothing
// changed; "Annuler" then leaves the saved values.
bool TPrefs::SaveShutdownFields() {
    const std::string delayText = set_shut_delay->text().toStdString();
    const std::optional<int> delay = ParseShutdownDelay(delayText);
    if (!delay) {
        ShowWarning(this, Q(ShutdownDelayRefusal(delayText)));
        return false;
    }
    const std::string comment = set_shut_comment->text().toStdString();
    if (const auto problem = ShutdownCommentProblem(toolkit::kHostOs, comment)) {
        ShowWarning(this, Q(*problem));
        return false;
    }
    const std::string dir = toolkit::ProgramDir();
    try {
        const ShutdownSettings wanted{*delay, comment};
        // With the defaults and no file, no file is made: nothing changes.
        if (!toolkit::platform::FileExists(dir + kShutdownSettingsFile) &&
            wanted == ShutdownSettings{}) {
            return true;
        }
        SaveShutdownSettings(dir, wanted);
    } catch (const toolkit::FileError& error) {
        ShowWarning(this, Q(error.what()));
        return false;
    }
    return true;
}

// A text that is not a number of 1 to 32 changes nothing, without a word:
// the map shows the unchanged layout at once.
void TPrefs::BitBtn1Click() {
    if (!SaveShutdownFields()) return;
    KrvVar& krv = Krv();
    int nbyrow = 0;
    if (ParseEntriesPerRow(set_nbyrow->Text().toStdString(), nbyrow)) {
        krv.settings.nbyrow = nbyrow;
        krv.MapRebuild = 1;
    }
    accept();
}

}  // namespace korvane
