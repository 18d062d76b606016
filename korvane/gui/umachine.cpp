#include "umachine.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "KrvVar.h"
#include "widgets.h"

namespace korvane {

namespace {

// A time field that is shown but not used yet: greyed, not editable.
QLineEdit* ShownOnlyField(QWidget* parent) {
    auto* field = new QLineEdit(QStringLiteral("0:00"), parent);
    field->setReadOnly(true);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    field->setPalette(palette);
    return field;
}

}  // namespace

Tmachines::Tmachines(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("machines"));
    setWindowTitle(QStringLiteral("machines"));
    Image1 = new QLabel(this);
    Image1->setPixmap(QPixmap(QStringLiteral("ecran-on.bmp")));
    Label1 = new QLabel(QStringLiteral("NOM DE LA MACHINE :"), this);
    Label2 = new QLabel(QStringLiteral("ADRESSE IP :"), this);
    Label3 = new QLabel(QStringLiteral("ADRESSE MAC :"), this);
    Label4 = new QLabel(QStringLiteral("Allumage à :"), this);
    Label5 = new QLabel(QStringLiteral("Arret à :"), this);
    nommachine = DataLabel(this);
    ipmachine = DataLabel(this);
    macmachine = DataLabel(this);
    Edit1 = ShownOnlyField(this);
    Edit2 = ShownOnlyField(this);
    btn_on = new QPushButton(QStringLiteral("ON"), this);
    btn_off = new QPushButton(QStringLiteral("OFF"), this);
    connect(btn_on, &QPushButton::clicked, this, [this] { done(kResultYes); });
    connect(btn_off, &QPushButton::clicked, this, [this] { done(kResultNo); });

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
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btn_on);
    buttons->addWidget(btn_off);
    auto* top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addLayout(fields);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

void Tmachines::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormActivate();
}

// Every showing reads the selected entry afresh.
void Tmachines::FormActivate() {
    const KrvVar& krv = Krv();
    const auto entry = static_cast<std::size_t>(krv.SelectedEntry);
    const std::string name = entry < krv.ManagedList.size() ? krv.ManagedList[entry] : "";
    nommachine->setText(Q(toolkit::AsciiUpper(name)));
    ipmachine->setText(Q(entry < krv.EntryIPs.size() ? krv.EntryIPs[entry] : ""));
    macmachine->setText(Q(krv.FindMAC(name)));
}

}  // namespace korvane
