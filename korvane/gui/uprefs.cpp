#include "uprefs.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "korvane/app/app.h"
#include "korvane/app/texts.h"
#include "korvane/core/shutdownsettings.h"
#include "messages.h"
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
    keep_running = check("keep_running", text::kKeepRunning);

    auto* web = new QGroupBox(QString::fromUtf8(text::kWebPrefsSection), this);
    web_enabled = check("web_enabled", text::kWebPrefsEnable);
    const auto line = [this](const char* name, bool password = false) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        if (password) edit->setEchoMode(QLineEdit::Password);
        return edit;
    };
    web_port = line("web_port");
    web_password = line("web_password", true);
    web_password_again = line("web_password_again", true);
    web_password_state = new QLabel(this);
    web_address = line("web_address");
    web_address->setReadOnly(true);
    web_copy = new QPushButton(QString::fromUtf8(text::kWebPrefsCopy), this);
    web_fingerprint = line("web_fingerprint");
    web_fingerprint->setReadOnly(true);
    web_status = new QLabel(this);
    web_status->setWordWrap(true);
    web_tokens = new QTreeWidget(this);
    web_tokens->setObjectName(QStringLiteral("web_tokens"));
    web_tokens->setRootIsDecorated(false);
    web_tokens->setHeaderLabels(QString::fromUtf8(text::kWebPrefsTokenColumns).split('|'));
    web_tokens->setMinimumHeight(90);
    web_token_name = line("web_token_name");
    web_token_admin = check("web_token_admin", text::kWebPrefsTokenAdmin);
    web_token_entries = line("web_token_entries");
    web_make_token = new QPushButton(QString::fromUtf8(text::kWebPrefsMakeToken), this);
    web_revoke = new QPushButton(QString::fromUtf8(text::kWebPrefsRevoke), this);
    connect(web_copy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(web_address->text()); });
    connect(web_make_token, &QPushButton::clicked, this, &TPrefs::MakeTokenClick);
    connect(web_revoke, &QPushButton::clicked, this, &TPrefs::RevokeClick);
    connect(web_token_admin, &QCheckBox::toggled, web_token_entries, &QWidget::setDisabled);
    auto* address = new QHBoxLayout;
    address->addWidget(web_address);
    address->addWidget(web_copy);
    auto* webFields = new QFormLayout;
    webFields->addRow(web_enabled);
    webFields->addRow(QString::fromUtf8(text::kWebPrefsPort), web_port);
    webFields->addRow(QString::fromUtf8(text::kWebPrefsPassword), web_password);
    webFields->addRow(QString::fromUtf8(text::kWebPrefsPasswordAgain), web_password_again);
    webFields->addRow(web_password_state);
    webFields->addRow(QString::fromUtf8(text::kWebPrefsAddress), address);
    webFields->addRow(QString::fromUtf8(text::kWebPrefsFingerprint), web_fingerprint);
    webFields->addRow(web_status);
    webFields->addRow(new QLabel(QString::fromUtf8(text::kWebPrefsTokens), this));
    webFields->addRow(web_tokens);
    webFields->addRow(QString::fromUtf8(text::kWebPrefsTokenName), web_token_name);
    webFields->addRow(web_token_admin);
    webFields->addRow(QString::fromUtf8(text::kWebPrefsTokenEntries), web_token_entries);
    auto* tokenButtons = new QHBoxLayout;
    tokenButtons->addWidget(web_make_token);
    tokenButtons->addWidget(web_revoke);
    tokenButtons->addStretch();
    webFields->addRow(tokenButtons);
    web->setLayout(webFields);

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
    fields->addRow(keep_running);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(web);
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
    const WebPreferencesShown web = app_.WebPrefs().Current();
    web_enabled->setChecked(web.enabled);
    web_port->setText(Q(web.port));
    web_password->clear();
    web_password_again->clear();
    web_token_name->clear();
    web_token_entries->clear();
    web_token_admin->setChecked(false);
    const std::optional<bool> keep = app_.WebPrefs().KeepRunning();
    keep_running->setEnabled(keep.has_value());
    keep_running->setChecked(keep.value_or(false));
    ShowWeb();
}

// What changes while the dialog is open: the password's state, the address,
// the status and the tokens.
void TPrefs::ShowWeb() {
    const WebPreferencesShown web = app_.WebPrefs().Current();
    web_password_state->setText(QString::fromUtf8(web.passwordSet ? text::kWebPrefsPasswordSet
                                                                  : text::kWebPrefsNoPassword));
    web_address->setText(Q(web.address));
    web_fingerprint->setText(Q(web.fingerprint));
    web_status->setText(Q(web.status));
    web_tokens->clear();
    for (const WebTokenRow& token : web.tokens) {
        auto* row = new QTreeWidgetItem(web_tokens, {Q(token.name), Q(token.role), Q(token.entries),
                                                     Q(token.created), Q(token.lastUse)});
        row->setData(0, Qt::UserRole, Q(token.id));
    }
    web_tokens->header()->resizeSections(QHeaderView::ResizeToContents);
}

// The secret is shown once, in a box the user can copy it from.
void TPrefs::MakeTokenClick() {
    const std::optional<std::string> secret = app_.WebPrefs().MakeToken(
        web_token_name->text().toStdString(), web_token_admin->isChecked(),
        web_token_entries->text().toStdString());
    if (!secret) return;
    web_token_name->clear();
    web_token_entries->clear();
    ShowWeb();
    ShowMessage(this, QString::fromUtf8(text::kWebPrefsTokenMade) + Q(*secret));
}

void TPrefs::RevokeClick() {
    const QTreeWidgetItem* row = web_tokens->currentItem();
    if (row == nullptr) return;
    app_.WebPrefs().RevokeToken(row->data(0, Qt::UserRole).toString().toStdString());
    ShowWeb();
}

// A refused field keeps the dialog open, nothing changed; "Annuler" then
// leaves the saved values.
void TPrefs::BitBtn1Click() {
    const Preferences typed{set_nbyrow->Text().toStdString(),
                            set_shut_delay->text().toStdString(),
                            set_shut_comment->text().toStdString(),
                            {set_notify_devices->isChecked(), set_notify_incidents->isChecked(),
                             set_notify_plan->isChecked()}};
    if (!app_.SavePreferences(typed)) return;
    WebPreferencesTyped web{web_enabled->isChecked(), web_port->text().toStdString(),
                            web_password->text().toStdString(),
                            web_password_again->text().toStdString(), std::nullopt};
    if (keep_running->isEnabled()) web.keepRunning = keep_running->isChecked();
    if (app_.WebPrefs().Save(web)) accept();
}

}  // namespace korvane
