#include "umachine.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "korvane/app/texts.h"
#include "widgets.h"

namespace korvane {

namespace {

// "0:00" is no action; the field stays on the greyed background it always had.
QLineEdit* TimeField(QWidget* parent, const char* name) {
    auto* field = new QLineEdit(QStringLiteral("0:00"), parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setMaxLength(8);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    field->setPalette(palette);
    return field;
}

}  // namespace

Tmachines::Tmachines(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("machines"));
    setWindowTitle(QString::fromUtf8(text::kCardTitle));
    Image1 = new QLabel(this);
    Image1->setPixmap(QPixmap(QStringLiteral("ecran-on.bmp")));
    Label1 = new QLabel(QString::fromUtf8(text::kCardName), this);
    Label2 = new QLabel(QString::fromUtf8(text::kCardAddress), this);
    Label3 = new QLabel(QString::fromUtf8(text::kCardMac), this);
    Label4 = new QLabel(QString::fromUtf8(text::kCardWakeUp), this);
    Label5 = new QLabel(QString::fromUtf8(text::kCardShutdown), this);
    nommachine = DataLabel(this);
    ipmachine = DataLabel(this);
    macmachine = DataLabel(this);
    Edit1 = TimeField(this, "Edit1");
    Edit2 = TimeField(this, "Edit2");
    btn_on = new QPushButton(QString::fromUtf8(text::kCardOn), this);
    btn_off = new QPushButton(QString::fromUtf8(text::kCardOff), this);
    connect(btn_on, &QPushButton::clicked, this,
            [this] { done(static_cast<int>(CardChoice::On)); });
    connect(btn_off, &QPushButton::clicked, this,
            [this] { done(static_cast<int>(CardChoice::Off)); });
    btn_cancel = new QPushButton(QString::fromUtf8(text::kCancel), this);
    connect(btn_cancel, &QPushButton::clicked, this,
            [this] { done(static_cast<int>(CardChoice::Cancel)); });
    btn_restart = new QPushButton(QString::fromUtf8(text::kCardRestart), this);
    btn_restart->setObjectName(QStringLiteral("btn_restart"));
    connect(btn_restart, &QPushButton::clicked, this,
            [this] { done(static_cast<int>(CardChoice::Restart)); });
    btn_test = new QPushButton(QString::fromUtf8(text::kCardTestAccess), this);
    btn_test->setObjectName(QStringLiteral("btn_test"));
    connect(btn_test, &QPushButton::clicked, this,
            [this] { done(static_cast<int>(CardChoice::TestAccess)); });
    chk_ssh = new QCheckBox(QString::fromUtf8(text::kCardSsh), this);
    chk_ssh->setObjectName(QStringLiteral("chk_ssh"));
    ssh_user = new QLineEdit(this);
    ssh_user->setObjectName(QStringLiteral("ssh_user"));
    ssh_user->setMaxLength(32);
    Label6 = new QLabel(QString::fromUtf8(text::kCardSshUser), this);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setBuddy(ssh_user);
    connect(chk_ssh, &QCheckBox::toggled, ssh_user, &QLineEdit::setEnabled);

    auto* fields = new QGridLayout;
    const std::pair<QLabel*, QWidget*> rows[] = {{Label1, nommachine},
                                                 {Label2, ipmachine},
                                                 {Label3, macmachine},
                                                 {Label4, Edit1},
                                                 {Label5, Edit2}};
    int row = 0;
    for (const auto& [title, value] : rows) {
        fields->addWidget(title, row, 0);
        fields->addWidget(value, row++, 1);
    }
    fields->addWidget(chk_ssh, row++, 0, 1, 2);
    fields->addWidget(Label6, row, 0);
    fields->addWidget(ssh_user, row, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btn_on);
    buttons->addWidget(btn_off);
    buttons->addWidget(btn_restart);
    buttons->addWidget(btn_test);
    buttons->addWidget(btn_cancel);
    auto* top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addLayout(fields);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

CardAnswer Tmachines::Ask(const EntryCard& card) {
    nommachine->setText(Q(card.caption));
    ipmachine->setText(Q(card.address));
    macmachine->setText(Q(card.mac));
    Edit1->setText(Q(card.wakeUp));
    Edit2->setText(Q(card.shutdown));
    chk_ssh->setChecked(card.overSsh);
    ssh_user->setText(Q(card.sshUser));
    ssh_user->setEnabled(card.overSsh);
    const int result = exec();
    CardAnswer answer{CardChoice::Cancel, card};
    for (const CardChoice choice :
         {CardChoice::On, CardChoice::Off, CardChoice::Restart, CardChoice::TestAccess}) {
        if (result == static_cast<int>(choice)) answer.choice = choice;
    }
    answer.card.wakeUp = Edit1->text().toStdString();
    answer.card.shutdown = Edit2->text().toStdString();
    answer.card.overSsh = chk_ssh->isChecked();
    answer.card.sshUser = ssh_user->text().toStdString();
    return answer;
}

}  // namespace korvane
