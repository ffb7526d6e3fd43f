#pragma once

#include <QString>
#include <functional>
#include <string>

class QCustomPlot;
class QDialog;
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
};

// Builds the screen's controls into form: Strip1, frame "Cursor Values" with Label1 (caption1)
// and Label3, Label2 (caption2) and Label4, and Command1 "B&ack" (closes), Command2 "Grid O&n",
// Command3 "Grid Of&f" (the screen wires the grid buttons). dataText gives the text "Copy Data"
// puts on the clipboard; imageName is the file name "Save Image..." offers.
ChartScreenParts BuildChartScreen(QDialog* form, const QString& caption1, const QString& caption2,
                                  std::function<std::string()> dataText, const QString& imageName);

// "Save Image..." asks for the file through this chooser (a file dialog unless replaced); an
// empty answer cancels. nullptr restores the file dialog. Tests answer it from a script.
using ImagePathChooser = std::function<QString(QWidget* parent, const QString& suggestedName)>;
void SetImagePathChooser(ImagePathChooser chooser);

}  // namespace kx
