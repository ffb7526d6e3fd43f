#pragma once

#include <QString>
#include <functional>
#include <string>

#include "analysis/noise_stats.h"

class QCustomPlot;
class QDialog;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

// What the noise plot and histogram screens share: the chart with its right-click menu, the
// "Cursor Values" frame and the three buttons.

namespace kx {

struct ChartScreenParts {
    QCustomPlot* strip = nullptr;    // Strip1
    QLabel* label3 = nullptr;        // value beside Label1
    QLabel* label4 = nullptr;        // value beside Label2
    QPushButton* gridOn = nullptr;   // Command2
    QPushButton* gridOff = nullptr;  // Command3
    QHBoxLayout* tools = nullptr;    // between the readout and the buttons, for a screen's own
    QString caption1, caption2;

    // The readout's values, each spoken with its caption ("Read No. 410"); empty clears it.
    void ShowValues(const QString& value3, const QString& value4) const;
};

// Builds the screen's controls into form: Strip1, frame "Cursor Values" with Label1 (caption1)
// and Label3, Label2 (caption2) and Label4, and Command1 "B&ack" (closes), Command2 "Grid O&n",
// Command3 "Grid Of&f" (the screen wires the grid buttons). dataText gives the text "Copy Data"
// puts on the clipboard; imageName is the file name "Save Image..." offers, in the folder last
// used; conditions, when given, the caption a saved image carries. A double click, which brings
// back the full view, clears the readout.
ChartScreenParts BuildChartScreen(QDialog* form, const QString& caption1, const QString& caption2,
                                  std::function<std::string()> dataText, const QString& imageName,
                                  std::function<QString()> conditions = {});

// The conditions caption of an analysed run for a saved image: the run's own rate, else the
// board's when one answers; the board the program talks to.
QString RunConditions(const AnalysedRun& run);

}  // namespace kx
