#include "charts/chart_setup.h"

#include <qcustomplot.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <string>

#include "charts/axis_tickers.h"
#include "core/safe_file.h"

namespace kx {
namespace {

// A caption at a fixed fraction of the chart's width and height, from its left and top edges.
struct Caption {
    QString text;
    double x;
    double y;
    Qt::Alignment align;
    bool title = false;
};

// The bands around the plot area, as fractions of the chart, that hold the captions; the plot's
// own left and bottom margins hold the tick labels.
struct Bands {
    double left, top, right, bottom;
};

void ClearPlot(QCustomPlot* plot) {
    plot->clearItems();
    plot->clearPlottables();
    // A volts axis belongs to the run it was added for.
    for (QCPAxis* second : {plot->xAxis2, plot->yAxis2}) {
        second->setVisible(false);
        QObject::disconnect(plot->xAxis, nullptr, second, nullptr);
        QObject::disconnect(plot->yAxis, nullptr, second, nullptr);
    }
}

// Lays the chart out as a 3 x 3 grid around the one axis rect, so the caption bands scale with
// the chart (on screen and at any export size) while the tick labels keep the room they need.
void LayOut(QCustomPlot* plot, const Bands& b) {
    QCPLayoutGrid* grid = plot->plotLayout();
    QCPAxisRect* rect = plot->axisRect();
    grid->take(rect);
    grid->clear();
    for (const auto& [row, column] : {std::pair{0, 1}, {1, 0}, {1, 2}, {2, 1}})
        grid->addElement(row, column, new QCPLayoutElement(plot));
    grid->addElement(1, 1, rect);
    grid->setColumnStretchFactors({b.left, 1.0 - b.left - b.right, b.right});
    grid->setRowStretchFactors({b.top, 1.0 - b.top - b.bottom, b.bottom});
    grid->setRowSpacing(0);
    grid->setColumnSpacing(0);
    rect->setAutoMargins(QCP::msLeft | QCP::msBottom);
    rect->setMargins(QMargins(0, 0, 0, 0));
}

void WholeNumberAxis(QCPAxis* axis, const AxisRange& range) {
    // Codes, counts and read numbers: whole steps, never 8.38862e6 or 2.5.
    axis->setTicker(QSharedPointer<StepTicker>::create(true));
    axis->setRange(range.lower, range.upper);
}

void AddCaptions(QCustomPlot* plot, const std::vector<Caption>& captions) {
    int slot = 0;
    for (const Caption& c : captions) {
        auto* item = new QCPItemText(plot);
        item->setObjectName(QStringLiteral("Caption%1").arg(slot++));
        item->setClipToAxisRect(false);
        item->position->setType(QCPItemPosition::ptViewportRatio);
        item->position->setCoords(c.x, c.y);
        item->setPositionAlignment(c.align);
        item->setText(c.text);
        QFont font = plot->font();
        if (c.title) {
            font.setBold(true);
            font.setPointSizeF(font.pointSizeF() * 1.2);
        }
        item->setFont(font);
    }
}

constexpr Qt::Alignment kCentred = Qt::AlignHCenter | Qt::AlignVCenter;

}  // namespace

void SetupNoisePlot(QCustomPlot* plot, std::span<const double> codes, int32_t minCode,
                    int32_t maxCode) {
    const auto count = static_cast<int>(codes.size());
    ClearPlot(plot);
    LayOut(plot, {0.12, 0.06, 0.04, 0.08});
    WholeNumberAxis(plot->xAxis, NoisePlotReadRange(count));
    WholeNumberAxis(plot->yAxis, NoisePlotCodeRange(minCode, maxCode));

    QVector<double> reads(count), values(count);
    for (int i = 0; i < count; ++i) {
        reads[i] = i + 1;
        values[i] = codes[static_cast<size_t>(i)];
    }
    QCPGraph* graph = plot->addGraph();
    graph->setName(QString::fromLatin1(NoisePlotTitle));
    graph->setPen(QPen(QColor(0x1F, 0x4E, 0x9A)));
    graph->setData(reads, values, true);

    // In slot order; the objects are named Caption0.. after their slots.
    AddCaptions(plot, {{QString::fromLatin1(NoisePlotTitle), 0.53, 0.03, kCentred, true},
                       {QString::number(minCode), 0.0616, 0.8671, kCentred},
                       {QString::number(maxCode), 0.0629, 0.0606, kCentred},
                       {QString(), 0.078, 0.4545, kCentred},
                       {QStringLiteral("Code"), 0.041, 0.4615, kCentred},
                       {QStringLiteral("Read No."), 0.5554, 0.958, kCentred}});
    plot->setAccessibleName(QString::fromLatin1(NoisePlotTitle));
    plot->setAccessibleDescription(
        QStringLiteral("%1 codes from %2 to %3").arg(count).arg(minCode).arg(maxCode));
}

QString BinWidthText(int64_t width) {
    return width == 1 ? QStringLiteral("Bin width: 1 code")
                      : QStringLiteral("Bin width: %1 codes").arg(width);
}

HistogramChart SetupHistogram(QCustomPlot* plot, std::span<const double> runCodes, int32_t minCode,
                              int32_t maxCode, int64_t binWidth) {
    HistogramChart chart;
    chart.table = CountCodes(runCodes, minCode, maxCode);
    chart.bins = GroupBins(chart.table, binWidth > 0 ? binWidth : AutoBinWidth(minCode, maxCode));
    const BinnedHistogram& bins = chart.bins;
    ClearPlot(plot);
    LayOut(plot, {0.10, 0.09, 0.06, 0.09});
    WholeNumberAxis(plot->xAxis, BinnedCodeRange(bins));
    WholeNumberAxis(plot->yAxis, BinnedCountRange(bins));

    // Only the bins that hold a sample are bars; an empty bin stays empty. A bar stands over the
    // codes of its bin.
    QVector<double> centres, counts;
    for (size_t i = 0; i < bins.starts.size(); ++i) {
        centres.push_back(static_cast<double>(bins.starts[i]) + (bins.width - 1) / 2.0);
        counts.push_back(bins.counts[i]);
    }
    auto* bars = new QCPBars(plot->xAxis, plot->yAxis);
    bars->setName(QString::fromLatin1(HistogramTitle));
    bars->setWidth(static_cast<double>(bins.width));
    // The outline keeps a bar visible when a wide span makes it narrower than a pixel.
    bars->setPen(QPen(QColor(0x1F, 0x4E, 0x9A), 1.0));
    bars->setBrush(QColor(0x5B, 0x8F, 0xD6));
    bars->setData(centres, counts, true);

    const CodeHistogram& table = chart.table;
    AddCaptions(plot,
                {{QString::fromLatin1(HistogramTitle), 0.4883, 0.0481, kCentred, true},
                 {QStringLiteral("Code"), 0.5185, 0.9482, kCentred},
                 {QStringLiteral("Occurence"), 0.0041, 0.5137, Qt::AlignLeft | Qt::AlignVCenter},
                 {QString::number(table.maxCode), 0.941, 0.9412, kCentred},
                 {QString::number(table.minCode), 0.0878, 0.9482, kCentred}});
    auto* width = new QCPItemText(plot);
    width->setObjectName(QStringLiteral("BinWidthCaption"));
    width->setClipToAxisRect(false);
    width->position->setType(QCPItemPosition::ptViewportRatio);
    width->position->setCoords(0.985, 0.0481);
    width->setPositionAlignment(Qt::AlignRight | Qt::AlignVCenter);
    width->setText(BinWidthText(bins.width));
    plot->setAccessibleName(QString::fromLatin1(HistogramTitle));
    plot->setAccessibleDescription(QStringLiteral("codes %1 to %2, %3 distinct, %4, peak count %5")
                                       .arg(table.minCode)
                                       .arg(table.maxCode)
                                       .arg(table.codes.size())
                                       .arg(BinWidthText(bins.width).toLower())
                                       .arg(bins.peak));
    return chart;
}

void ShowGaussian(QCustomPlot* plot, const HistogramChart& chart, double mean, double deviation,
                  size_t samples, bool on) {
    for (int i = plot->graphCount() - 1; i >= 0; --i)
        if (plot->graph(i)->name() == QLatin1String(GaussianName)) plot->removeGraph(i);
    double top = BinnedCountRange(chart.bins).upper;
    if (on) {
        const AxisRange codes = BinnedCodeRange(chart.bins);
        QVector<double> x, y;
        for (const auto& [code, count] :
             GaussianCounts(mean, deviation, samples, chart.bins.width, codes.lower, codes.upper)) {
            x.push_back(code);
            y.push_back(count);
            top = std::max(top, count);
        }
        QCPGraph* curve = plot->addGraph(plot->xAxis, plot->yAxis);
        curve->setName(QString::fromLatin1(GaussianName));
        curve->setPen(QPen(QColor(0xC0, 0x39, 0x2B), 2.0));
        curve->setData(x, y, true);
    }
    plot->yAxis->setRange(0, top);
    if (plot->isVisible()) plot->replot();
}

void AddVoltsAxis(QCPAxis* codeAxis, const Scaling& scaling) {
    QCPAxisRect* rect = codeAxis->axisRect();
    const bool vertical = codeAxis->orientation() == Qt::Vertical;
    QCPAxis* volts = rect->axis(vertical ? QCPAxis::atRight : QCPAxis::atTop);
    QObject::disconnect(codeAxis, nullptr, volts, nullptr);
    UseVoltsAxis(volts, QStringLiteral("Input"));
    volts->setVisible(true);
    volts->setTickLabels(true);
    rect->setAutoMargins(rect->autoMargins() | (vertical ? QCP::msRight : QCP::msTop));
    const auto follow = [volts, scaling](const QCPRange& codes) {
        volts->setRange(
            QCPRange(scaling.CodeToVolts(codes.lower), scaling.CodeToVolts(codes.upper)));
    };
    QObject::connect(codeAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), volts, follow);
    follow(codeAxis->range());
}

void SetChartGrid(QCustomPlot* plot, bool on) {
    plot->xAxis->grid()->setVisible(on);
    plot->yAxis->grid()->setVisible(on);
    if (plot->isVisible()) plot->replot();
}

namespace {

// The caption's line under the chart, and the font it is written in.
constexpr int CaptionHeight = 16;

QFont CaptionFont(const QCustomPlot* plot) {
    QFont font = plot->font();
    font.setPointSizeF(7.5);
    return font;
}

void DrawCaption(QPainter& painter, const QCustomPlot* plot, const QString& caption, int width,
                 int height) {
    painter.setFont(CaptionFont(plot));
    painter.setPen(QColor(0x55, 0x55, 0x55));
    painter.drawText(QRect(6, height - CaptionHeight, width - 12, CaptionHeight),
                     Qt::AlignRight | Qt::AlignVCenter, caption);
}

}  // namespace

QByteArray RenderChart(QCustomPlot* plot, bool pdf, int width, int height, const QString& caption) {
    if (width <= 0) width = ExportWidth;
    if (height <= 0) height = ExportHeight;
    // The chart keeps the size asked for; a caption takes a line of it.
    const int chartHeight = caption.isEmpty() ? height : std::max(height - CaptionHeight, 1);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!pdf) {
        QPixmap image = plot->toPixmap(width, chartHeight, 1.0);
        if (!caption.isEmpty()) {
            QPixmap whole(width, height);
            whole.fill(Qt::white);
            QPainter painter(&whole);
            painter.drawPixmap(0, 0, image);
            DrawCaption(painter, plot, caption, width, height);
            painter.end();
            image = whole;
        }
        if (!image.save(&buffer, "PNG")) return {};
        return bytes;
    }
    {
        // One page the size of the chart, in points, as QCustomPlot's own PDF export makes it.
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("KX3105 Evaluation Software"));
        writer.setPageSize(
            QPageSize(QSizeF(width, height), QPageSize::Point, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        // Fonts are sized in points: at the writer's default 1200 dpi they would dwarf the chart.
        // Screen resolution keeps them in proportion, as QCustomPlot's own export does.
        writer.setResolution(96);
        QCPPainter painter;
        if (!painter.begin(&writer)) return {};
        painter.setMode(QCPPainter::pmVectorized);
        painter.setWindow(0, 0, width, height);
        plot->toPainter(&painter, width, chartHeight);
        if (!caption.isEmpty()) DrawCaption(painter, plot, caption, width, height);
        if (!painter.end()) return {};
    }
    return bytes;
}

bool SaveChart(QCustomPlot* plot, const QString& path, int width, int height, QString* why,
               const QString& caption) {
    const bool pdf =
        QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
    // Drawn into memory first: QCustomPlot's savePng/savePdf report no failed write or close, so
    // a full disk would pass for a saved image. The file is then written whole or not at all.
    const QByteArray bytes = RenderChart(plot, pdf, width, height, caption);
    const std::string error =
        bytes.isEmpty()
            ? std::string("the chart could not be drawn")
            : files::SaveAtomically(QFile::encodeName(path).toStdString(),
                                    std::string_view(bytes.constData(), size_t(bytes.size())));
    if (error.empty()) return true;
    if (why) *why = QString::fromLocal8Bit(error.c_str());
    return false;
}

}  // namespace kx
