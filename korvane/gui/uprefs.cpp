#include "uprefs.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "korvane/app/app.h"
#include "korvane/app/texts.h"
#include "korvane/core/shutdownsettings.h"
#include "widgets.h"

namespace korvane {

TPrefs::TPrefs(KorvaneApp& app, QWidget* parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("Prefs"));
    setWindowTitle(QString::fromUtf8(text::kPrefsTitle));
    Label3 = new QLabel(QString::fromUtf8(text::kPrefsPerRow), this);
    set_nbyrow = new SpinEdit(this);
    Label1 = new QLabel(QString::fromUtf8(text::kPrefsDelay), this);
    set_shut_delay = new QLineEdit(this);
    Label2 = new QLabel(QString::fromUtf8(text::kPrefsComment), this);
    set_shut_comment = new QLineEdit(this);
    set_shut_comment->setMaxLength(static_cast<int>(kMaxShutdownCommentLength));
    const auto check = [this](const char* name, const char* text) {
        auto* box = new QCheckBox(QString::fromUtf8(text), this);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    set_notify_devices = check("set_notify_devices", text::kNotifyNewDevices);
    set_notify_incidents = check("set_notify_incidents", text::kNotifyIncidents);
    set_notify_plan = check("set_notify_plan", text::kNotifyPlanFailures);
    BitBtn1 = new QPushButton(QString::fromUtf8(text::kOk), this);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QString::fromUtf8(text::kCancel), this);
    connect(BitBtn1, &QPushButton::clicked, this, &TPrefs::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto* fields = new QFormLayout;
    fields->addRow(Label3, set_nbyrow);
    fields->addRow(Label1, set_shut_delay);
    fields->addRow(Label2, set_shut_comment);
    fields->addRow(set_notify_devices);
    fields->addRow(set_notify_incidents);
    fields->addRow(set_notify_plan);
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
    const Preferences current = app_.CurrentPreferences();
    set_nbyrow->SetText(Q(current.nbyrow));
    set_shut_delay->setText(Q(current.delay));
    set_shut_comment->setText(Q(current.comment));
    set_notify_devices->setChecked(current.notices.newDevices);
    set_notify_incidents->setChecked(current.notices.incidents);
    set_notify_plan->setChecked(current.notices.planFailures);
}

// A refused field keeps the dialog open, nothing changed; "Annuler" then
// leaves the saved values.
void TPrefs::BitBtn1Click() {
    const Preferences typed{set_nbyrow->Text().toStdString(),
                            set_shut_delay->text().toStdString(),
                            set_shut_comment->text().toStdString(),
                            {set_notify_devices->isChecked(), set_notify_incidents->isChecked(),
                             set_notify_plan->isChecked()}};
    if (app_.SavePreferences(typed)) accept();
}

}  // namespace korvane
