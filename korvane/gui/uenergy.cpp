#include "uenergy.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include "korvane/app/texts.h"
#include "widgets.h"

namespace korvane {

namespace {

enum Column { kName, kWatts, kHours, kKwh, kColumns };

QTableWidgetItem* GridCell(const QString& text, bool editable) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(editable ? item->flags() | Qt::ItemIsEditable
                            : item->flags() & ~Qt::ItemIsEditable);
    return item;
}

}  // namespace

TEnergyReport::TEnergyReport(KorvaneApp& app, QWidget* parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("Consommation"));
    setWindowTitle(QString::fromUtf8(text::kMenuEnergy));
    setModal(false);
    auto* periodLabel = new QLabel(QString::fromUtf8(text::kEnergyPeriod), this);
    set_period = new QComboBox(this);
    set_period->setObjectName(QStringLiteral("set_period"));
    for (const int days : text::kEnergyPeriods) {
        set_period->addItem(QString::number(days) + QString::fromUtf8(text::kEnergyDays), days);
    }
    Chart1 = new QChartView(new QChart, this);
    Chart1->setRenderHint(QPainter::Antialiasing);
    Chart1->setMinimumSize(560, 280);
    Grid1 = new QTableWidget(0, kColumns, this);
    Grid1->setHorizontalHeaderLabels(
        {QString::fromUtf8(text::kEnergyComputer), QString::fromUtf8(text::kEnergyDraw),
         QString::fromUtf8(text::kEnergyHours), QString::fromUtf8(text::kEnergyKwh)});
    Grid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    Grid1->verticalHeader()->hide();
    Grid1->setMinimumHeight(160);
    LabelTotal = new QLabel(this);
    BtnExport = new QPushButton(QString::fromUtf8(text::kEnergyExport), this);
    BtnClose = new QPushButton(QString::fromUtf8(text::kClose), this);
    connect(set_period, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
    connect(Grid1, &QTableWidget::itemChanged, this, &TEnergyReport::DrawEdited);
    connect(BtnExport, &QPushButton::clicked, this, [this] { BtnExportClick(); });
    connect(BtnClose, &QPushButton::clicked, this, &QDialog::close);

    auto* top = new QHBoxLayout;
    top->addWidget(periodLabel);
    top->addWidget(set_period);
    top->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(LabelTotal);
    bottom->addStretch();
    bottom->addWidget(BtnExport);
    bottom->addWidget(BtnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Chart1, 3);
    layout->addWidget(Grid1, 1);
    layout->addLayout(bottom);
    resize(760, 640);
}

void TEnergyReport::ShowFor(const toolkit::TextList& names) {
    names_ = names;
    Refresh();
    show();
    raise();
}

void TEnergyReport::Refresh() {
    report_ = app_.Energy(names_, set_period->currentData().toInt());
    FillChart();
    FillGrid();
}

void TEnergyReport::FillChart() {
    QChart* chart = Chart1->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    auto* series = new QBarSeries;
    for (const EnergyRow& row : report_.rows) {
        auto* set = new QBarSet(Q(row.name));
        for (const double hours : row.hours) *set << hours;
        series->append(set);
    }
    chart->addSeries(series);
    QStringList categories;
    for (const std::string& label : report_.dayLabels)
        categories << Q(label.substr(0, 5));  // dd/MM
    auto* days = new QBarCategoryAxis;
    days->append(categories);
    if (categories.size() > 10) days->setLabelsAngle(-90);
    chart->addAxis(days, Qt::AlignBottom);
    series->attachAxis(days);
    auto* hours = new QValueAxis;
    hours->setRange(0, report_.HoursCeiling());
    hours->setLabelFormat(QStringLiteral("%.0f"));
    hours->setTitleText(QString::fromUtf8(text::kEnergyAxis));
    chart->addAxis(hours, Qt::AlignLeft);
    series->attachAxis(hours);
    chart->legend()->setAlignment(Qt::AlignBottom);
}

void TEnergyReport::FillGrid() {
    filling_ = true;
    Grid1->setRowCount(static_cast<int>(report_.rows.size()));
    for (int r = 0; r < static_cast<int>(report_.rows.size()); ++r) {
        const EnergyRow& row = report_.rows[static_cast<std::size_t>(r)];
        Grid1->setItem(r, kName, GridCell(Q(row.name), false));
        Grid1->setItem(r, kWatts, GridCell(QString::number(row.watts), true));
        Grid1->setItem(r, kHours, GridCell(Q(FrenchNumber(row.TotalHours(), 1)), false));
        Grid1->setItem(r, kKwh, GridCell(Q(FrenchNumber(row.Kwh(), 2)), false));
    }
    LabelTotal->setText(Q(report_.TotalText()));
    filling_ = false;
}

// A refused draw is told and the old one comes back.
void TEnergyReport::DrawEdited(QTableWidgetItem* item) {
    if (filling_ || item->column() != kWatts) return;
    const auto index = static_cast<std::size_t>(item->row());
    if (index >= report_.rows.size()) return;
    if (!app_.SetPowerDraw(report_.rows[index].name, item->text().toStdString())) {
        FillGrid();
        return;
    }
    Refresh();
}

bool TEnergyReport::BtnExportClick() {
    return app_.ExportEnergy(report_);
}

}  // namespace korvane
