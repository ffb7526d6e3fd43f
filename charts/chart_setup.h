#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <span>

#include "acquisition/run.h"
#include "maths/histogram.h"

class QCPAxis;
class QCustomPlot;

// One setup function per chart: it turns a run into a configured QCustomPlot, the same for the
// screens and for rendering to a file without a screen (the plot need not be shown; a
// QApplication must exist). A setup clears whatever the plot held before.

namespace kx {

// Chart texts, as the screens and exported images show them.
inline constexpr const char* NoisePlotTitle = "Noise Plot - Code v's Read";
inline constexpr const char* HistogramTitle = "Histogram of Data";

// Code against read number: X exactly 1 to count, Y exactly minCode to maxCode (a flat run gets
// half a code of margin), whole-number tick labels, and six captions at fixed fractions of the
// chart: title, MinCode, MaxCode, an empty one, "Code", "Read No.". codes[0] is read number 1.
void SetupNoisePlot(QCustomPlot* plot, std::span<const double> codes, int32_t minCode,
                    int32_t maxCode);

// What the histogram drew: the table of the codes and the bins it gathered them into.
struct HistogramChart {
    CodeHistogram table;
    BinnedHistogram bins;
};

// Counts the run, then draws one bar per bin from minCode's to maxCode's (empty bins drawn
// empty), Y from 0 to the peak, and five captions: title, "Code", "Occurence", MaxCode, MinCode;
// and the bin width stated at the top right (object BinWidthCaption). binWidth is a power of two,
// or 0 for AutoBinWidth: one bin per code while the span allows it.
HistogramChart SetupHistogram(QCustomPlot* plot, std::span<const double> codes, int32_t minCode,
                              int32_t maxCode, int64_t binWidth = 0);

// The counts a normal distribution of the run's mean and deviation would give each bin, as a
// curve over the bars (graph "Gaussian"), or none; the count axis then reaches its peak too.
void ShowGaussian(QCustomPlot* plot, const HistogramChart& chart, double mean, double deviation,
                  size_t samples, bool on);
inline constexpr const char* GaussianName = "Gaussian";

// "Bin width: 256 codes".
QString BinWidthText(int64_t width);

// A second axis in volts opposite the code axis (the right of the noise plot's code axis, the top
// of the histogram's), kept on the same codes as that axis follows zoom and pan. Its unit (V, mV,
// uV, nV) follows the span in view; the volts of a code are the scaling's CodeToVolts.
void AddVoltsAxis(QCPAxis* codeAxis, const Scaling& scaling);

// The grid of both axes on or off; redraws a plot that is shown.
void SetChartGrid(QCustomPlot* plot, bool on);

// Size of an exported image when none is given.
inline constexpr int ExportWidth = 800;
inline constexpr int ExportHeight = 500;

// The chart drawn into memory at width x height (0 takes the Export size): a PDF of one page that
// size in points, or a PNG of that many pixels. A caption (the run's conditions) takes a small
// line under the chart, within that size. Empty when it could not be drawn.
QByteArray RenderChart(QCustomPlot* plot, bool pdf, int width = 0, int height = 0,
                       const QString& caption = QString());

// Writes the chart as PDF when the path ends in ".pdf" (any case), else as PNG, whole or not at
// all: a failure leaves no file, or an earlier one unchanged, and a path that exists and is no
// regular file (a FIFO, a directory, a device) is refused before anything is written. False when
// the image was not saved, with the reason in `why`.
bool SaveChart(QCustomPlot* plot, const QString& path, int width = 0, int height = 0,
               QString* why = nullptr, const QString& caption = QString());

}  // namespace kx
