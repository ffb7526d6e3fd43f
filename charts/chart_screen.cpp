#include "charts/chart_screen.h"

#include <qcustomplot.h>

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "analysis/chart_caption.h"
#include "analysis/spectrum_view.h"
#include "board/program_port.h"
#include "charts/chart_setup.h"
#include "core/globals.h"
#include "core/messages.h"
#include "ui/file_chooser.h"
#include "ui/screen_util.h"

namespace kx {
namespace {

// A value label: sunken like an entry box, wide enough for a 24-bit code or an 11-digit marker.
QLabel* ValueLabel(const char* name, const QString& caption, QWidget* parent) {
    QLabel* label = NamedLabel(name, QString(), parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(110);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Empty until the mouse first moves: the caption names it for a screen reader.
    label->setAccessibleName(caption);
    return label;
}

}  // namespace

void ChartScreenParts::ShowValues(const QString& value3, const QString& value4) const {
    ShowLabelValue(label3, caption1, value3);
    ShowLabelValue(label4, caption2, value4);
}

QString RunConditions(const AnalysedRun& analysed) {
    Run run = analysed.run;
    PortBackend& backend = CurrentPortBackend();
    // A board that answers gives the rate it is set to; a floating bus would give a false one.
    if (!run.rateHz && backend.boardAddress() && PortAddress != 0)
        run.rateHz = BoardUpdateRate(ProgramLink());
    return QString::fromStdString(
        ConditionsCaption(ConditionsOf(run, analysed.scaling, backend.describe())));
}

ChartScreenParts BuildChartScreen(QDialog* form, const QString& caption1, const QString& caption2,
                                  std::function<std::string()> dataText, const QString& imageName,
                                  std::function<QString()> conditions) {
    ChartScreenParts parts;
    parts.caption1 = caption1;
    parts.caption2 = caption2;
    parts.strip = new QCustomPlot(form);
    parts.strip->setObjectName(QStringLiteral("Strip1"));
    parts.strip->setMinimumSize(760, 480);
    // The readout follows the mouse without a button held.
    parts.strip->setMouseTracking(true);
    // Focusable, so the keyboard's menu key reaches the right-click menu.
    parts.strip->setFocusPolicy(Qt::StrongFocus);
    parts.strip->setContextMenuPolicy(Qt::ActionsContextMenu);

    auto* save = new QAction(QStringLiteral("Save Image..."), parts.strip);
    save->setObjectName(QStringLiteral("SaveImageAction"));
    auto* copy = new QAction(QStringLiteral("Copy Data"), parts.strip);
    copy->setObjectName(QStringLiteral("CopyDataAction"));
    parts.strip->addAction(save);
    parts.strip->addAction(copy);
    QCustomPlot* strip = parts.strip;
    QObject::connect(save, &QAction::triggered, form, [form, strip, imageName, conditions] {
        const QString path =
            AskForFile(form, FileDialogKind::SaveImage, QDir(StartFolder()).filePath(imageName));
        if (path.isEmpty()) return;
        QString why;
        if (!SaveChart(strip, path, 0, 0, &why, conditions ? conditions() : QString())) {
            ShowMessage(
                "The image could not be saved to " + path.toStdString() + ": " + why.toStdString(),
                Icon::Warning);
            return;
        }
        RememberFolder(path);
    });
    QObject::connect(copy, &QAction::triggered, form, [dataText = std::move(dataText)] {
        QGuiApplication::clipboard()->setText(QString::fromStdString(dataText()));
    });

    QGroupBox* frame = NamedFrame("Frame1", QStringLiteral("Cursor Values"), form);
    auto* values = new QGridLayout(frame);
    // Created caption first, so a screen reader meets each caption just before its value.
    values->addWidget(NamedLabel("Label1", caption1, frame), 0, 0);
    values->addWidget(parts.label3 = ValueLabel("Label3", caption1, frame), 0, 1);
    values->addWidget(NamedLabel("Label2", caption2, frame), 1, 0);
    values->addWidget(parts.label4 = ValueLabel("Label4", caption2, frame), 1, 1);

    // In the order they stand on the screen, which is also the tab order.
    parts.gridOn = NamedButton("Command2", QStringLiteral("Grid O&n"), form);
    parts.gridOff = NamedButton("Command3", QStringLiteral("Grid Of&f"), form);
    QPushButton* back = NamedButton("Command1", QStringLiteral("B&ack"), form);
    QObject::connect(back, &QPushButton::clicked, form, &QDialog::reject);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(parts.gridOn);
    buttons->addWidget(parts.gridOff);
    buttons->addStretch();
    buttons->addWidget(back);

    parts.tools = new QHBoxLayout;
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(frame);
    bottom->addSpacing(12);
    bottom->addLayout(parts.tools);
    bottom->addStretch();
    bottom->addLayout(buttons);

    // The full view is back: values read off another view would mislead.
    QObject::connect(parts.strip, &QCustomPlot::mouseDoubleClick, form,
                     [parts](QMouseEvent* event) {
                         if (event->button() == Qt::LeftButton) parts.ShowValues({}, {});
                     });

    auto* layout = new QVBoxLayout(form);
    layout->addWidget(parts.strip, 1);
    layout->addLayout(bottom);
    return parts;
}

}  // namespace kx
