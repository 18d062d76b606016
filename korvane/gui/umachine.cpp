#include "umachine.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "KrvVar.h"
#include "messages.h"
#include "schedule.h"
#include "tools.h"
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

std::string EntryName() {
    const KrvVar& krv = Krv();
    const auto entry = static_cast<std::size_t>(krv.SelectedEntry);
    return entry < krv.ManagedList.size() ? krv.ManagedList[entry] : "";
}

// The time typed, or the one saved when it does not parse (the user is told).
int TimeOrSaved(QWidget* parent, const QLineEdit* field, const char* title, int saved) {
    const std::string text = field->text().toStdString();
    if (const auto minutes = ParseDailyTime(text)) return *minutes;
    ShowWarning(parent, Q(DailyTimeRefusal(title, text)));
    return saved;
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
    Edit1 = TimeField(this, "Edit1");
    Edit2 = TimeField(this, "Edit2");
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
    const std::string name = EntryName();
    nommachine->setText(Q(toolkit::AsciiUpper(name)));
    ipmachine->setText(Q(entry < krv.EntryIPs.size() ? krv.EntryIPs[entry] : ""));
    macmachine->setText(Q(krv.FindMAC(name)));
    EntrySchedule plan{name, 0, 0};
    try {
        plan = ScheduleOf(LoadSchedules(toolkit::ProgramDir()), name);
    } catch (const toolkit::FileError& error) {
        ShowWarning(this, Q(std::string("Planification illisible : ") + error.what()));
    }
    Edit1->setText(Q(FormatDailyTime(plan.wakeUp)));
    Edit2->setText(Q(FormatDailyTime(plan.shutdown)));
}

void Tmachines::done(int result) {
    SavePlan();
    QDialog::done(result);
}

// Saved before "ON" or "OFF" acts, so the map's hint already shows it. A plan
// that cannot be read is not overwritten.
void Tmachines::SavePlan() {
    const std::string name = EntryName();
    if (name.empty()) return;
    try {
        const std::string dir = toolkit::ProgramDir();
        Schedules plan = LoadSchedules(dir);
        const EntrySchedule saved = ScheduleOf(plan, name);
        EntrySchedule typed{name, TimeOrSaved(this, Edit1, "Allumage à", saved.wakeUp),
                            TimeOrSaved(this, Edit2, "Arret à", saved.shutdown)};
        if (typed.wakeUp == saved.wakeUp && typed.shutdown == saved.shutdown) return;
        SetSchedule(plan, typed);
        SaveSchedules(dir, plan);
    } catch (const toolkit::FileError& error) {
        ShowWarning(this, Q(std::string("Planification non enregistrée : ") + error.what()));
    }
}

}  // namespace korvane
