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

// Ticks at whole numbers only, stepping 1, 2 or 5 times a power of ten: a code or a count is
// never shown as 8.38862e6 or 2.5, and the steps read easily.
class WholeNumberTicker : public QCPAxisTicker {
protected:
    double getTickStep(const QCPRange& range) override {
        const double exact = range.size() / (tickCount() + 1e-10);
        if (exact <= 1.0) return 1.0;
        const double magnitude = std::pow(10.0, std::floor(std::log10(exact)));
        const double mantissa = exact / magnitude;
        return magnitude * (mantissa < 1.5 ? 1 : mantissa < 3.5 ? 2 : mantissa < 7.5 ? 5 : 10);
    }
    int getSubTickCount(double tickStep) override {
        const double mantissa = tickStep / std::pow(10.0, std::floor(std::log10(tickStep)));
        if (tickStep <= 1.0) return 0;
        return mantissa < 1.5 ? 4 : mantissa < 3.5 ? 1 : 4;
    }
};

void WholeNumberAxis(QCPAxis* axis, const AxisRange& range) {
    axis->setTicker(QSharedPointer<QCPAxisTicker>(new WholeNumberTicker));
    axis->setNumberFormat(QStringLiteral("f"));
    axis->setNumberPrecision(0);
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

// Volts in the unit that suits the span in view, with as many decimals as one tick step needs:
// a zoom into a few codes at 1.2 V reads 1200001.5 uV, not 1.2 six times over.
class VoltsTicker : public QCPAxisTicker {
public:
    double unit = 1.0;
    int decimals = 0;

    // Returns the unit's name.
    QString FitTo(const QCPRange& volts) {
        static const std::pair<double, const char*> units[] = {
            {1.0, "V"}, {1e-3, "mV"}, {1e-6, "uV"}, {1e-9, "nV"}};
        const double span = volts.size();
        const char* name = "nV";
        unit = 1e-9;
        for (const auto& [size, unitName] : units) {
            if (span >= size) {
                unit = size;
                name = unitName;
                break;
            }
        }
        const double step = span / unit / std::max(tickCount(), 1);
        decimals = step > 0 ? std::clamp(static_cast<int>(-std::floor(std::log10(step))), 0, 6) : 0;
        return QString::fromLatin1(name);
    }

protected:
    QString getTickLabel(double tick, const QLocale& locale, QChar, int) override {
        return locale.toString(tick / unit, 'f', decimals);
    }
};

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

CodeHistogram SetupHistogram(QCustomPlot* plot, std::span<const double> runCodes, int32_t minCode,
                             int32_t maxCode) {
    const CodeHistogram histogram = CountCodes(runCodes, minCode, maxCode);
    ClearPlot(plot);
    LayOut(plot, {0.10, 0.09, 0.06, 0.09});
    WholeNumberAxis(plot->xAxis, HistogramCodeRange(histogram.minCode, histogram.maxCode));
    WholeNumberAxis(plot->yAxis, HistogramCountRange(histogram));

    // Only the codes that occur are bars; a bin no sample hits stays empty.
    const QVector<double> codes(histogram.codes.begin(), histogram.codes.end());
    const QVector<double> counts(histogram.counts.begin(), histogram.counts.end());
    auto* bars = new QCPBars(plot->xAxis, plot->yAxis);
    bars->setName(QString::fromLatin1(HistogramTitle));
    bars->setWidth(1.0);
    // The outline keeps a bar visible when a wide span makes it narrower than a pixel.
    bars->setPen(QPen(QColor(0x1F, 0x4E, 0x9A), 1.0));
    bars->setBrush(QColor(0x5B, 0x8F, 0xD6));
    bars->setData(codes, counts, true);

    AddCaptions(plot,
                {{QString::fromLatin1(HistogramTitle), 0.4883, 0.0481, kCentred, true},
                 {QStringLiteral("Code"), 0.5185, 0.9482, kCentred},
                 {QStringLiteral("Occurence"), 0.0041, 0.5137, Qt::AlignLeft | Qt::AlignVCenter},
                 {QString::number(histogram.maxCode), 0.941, 0.9412, kCentred},
                 {QString::number(histogram.minCode), 0.0878, 0.9482, kCentred}});
    plot->setAccessibleName(QString::fromLatin1(HistogramTitle));
    plot->setAccessibleDescription(QStringLiteral("codes %1 to %2, %3 distinct, peak count %4")
                                       .arg(histogram.minCode)
                                       .arg(histogram.maxCode)
                                       .arg(histogram.codes.size())
                                       .arg(histogram.peak));
    return histogram;
}

void AddVoltsAxis(QCPAxis* codeAxis, const Scaling& scaling) {
    QCPAxisRect* rect = codeAxis->axisRect();
    const bool vertical = codeAxis->orientation() == Qt::Vertical;
    QCPAxis* volts = rect->axis(vertical ? QCPAxis::atRight : QCPAxis::atTop);
    QObject::disconnect(codeAxis, nullptr, volts, nullptr);
    auto ticker = QSharedPointer<VoltsTicker>::create();
    volts->setTicker(ticker);
    volts->setVisible(true);
    volts->setTickLabels(true);
    rect->setAutoMargins(rect->autoMargins() | (vertical ? QCP::msRight : QCP::msTop));
    const auto follow = [volts, ticker, scaling](const QCPRange& codes) {
        const QCPRange range(scaling.CodeToVolts(codes.lower), scaling.CodeToVolts(codes.upper));
        volts->setLabel(QStringLiteral("Input (%1)").arg(ticker->FitTo(range)));
        volts->setRange(range);
    };
    QObject::connect(codeAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), volts, follow);
    follow(codeAxis->range());
}

void SetChartGrid(QCustomPlot* plot, bool on) {
    plot->xAxis->grid()->setVisible(on);
    plot->yAxis->grid()->setVisible(on);
    if (plot->isVisible()) plot->replot();
}

QByteArray RenderChart(QCustomPlot* plot, bool pdf, int width, int height) {
    if (width <= 0) width = ExportWidth;
    if (height <= 0) height = ExportHeight;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!pdf) {
        if (!plot->toPixmap(width, height, 1.0).save(&buffer, "PNG")) return {};
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
        plot->toPainter(&painter, width, height);
        if (!painter.end()) return {};
    }
    return bytes;
}

bool SaveChart(QCustomPlot* plot, const QString& path, int width, int height, QString* why) {
    const bool pdf =
        QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
    // Drawn into memory first: QCustomPlot's savePng/savePdf report no failed write or close, so
    // a full disk would pass for a saved image. The file is then written whole or not at all.
    const QByteArray bytes = RenderChart(plot, pdf, width, height);
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
