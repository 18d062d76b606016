// The energy report ("Consommation électrique"): for each computer shown, its
// hours on per day over the chosen period as a bar chart, its power draw
// (editable, kept in the program folder) and the energy that makes, with an
// export to CSV opened like the other reports.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "korvane/app/app.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

class QChartView;

namespace korvane {

class TEnergyReport : public QDialog {
  public:
    TEnergyReport(KorvaneApp& app, QWidget* parent = nullptr);

    QComboBox* set_period = nullptr;
    QChartView* Chart1 = nullptr;
    QTableWidget* Grid1 = nullptr;
    QLabel* LabelTotal = nullptr;
    QPushButton* BtnExport = nullptr;
    QPushButton* BtnClose = nullptr;

    // Shows the report of these entries, over the period chosen.
    void ShowFor(const toolkit::TextList& names);
    // Builds the report again from the history as it is now.
    void Refresh();
    // Writes the CSV to the program folder and opens it; false when it
    // cannot be written (the user told).
    bool BtnExportClick();

    const std::vector<EnergyRow>& Rows() const { return report_.rows; }
    const toolkit::TextList& DayLabels() const { return report_.dayLabels; }

  private:
    void FillChart();
    void FillGrid();
    void DrawEdited(QTableWidgetItem* item);

    KorvaneApp& app_;
    toolkit::TextList names_;
    EnergyReport report_;
    bool filling_ = false;
};

}  // namespace korvane
