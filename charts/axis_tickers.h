#pragma once

#include <qcustomplot.h>

#include <functional>

#include "analysis/axis_labels.h"

// The tickers every chart's axes use, so that each axis prints its labels through the one tick
// formatting of analysis/axis_labels.h.

namespace kx {

// Ticks at readable steps (1, 2, 2.5 or 5 times a power of ten; whole steps only when `whole`,
// for codes, counts and read numbers), each label with the decimals the step needs.
class StepTicker : public QCPAxisTicker {
public:
    explicit StepTicker(bool whole) : whole_(whole) {}

protected:
    double getTickStep(const QCPRange& range) override;
    int getSubTickCount(double tickStep) override;
    QString getTickLabel(double tick, const QLocale& locale, QChar format, int precision) override;

private:
    bool whole_;
    double step_ = 1;
};

// Values printed in a unit the view chooses (volts with their prefix, seconds, minutes or
// hours): readable steps of the scaled values.
class UnitTicker : public QCPAxisTicker {
public:
    using Chooser = std::function<axis::Unit(const QCPRange& range)>;
    explicit UnitTicker(Chooser choose) : choose_(std::move(choose)) {}

    // The unit of a view, as the labels will use it.
    axis::Unit UnitFor(const QCPRange& range) const { return choose_(range); }

protected:
    double getTickStep(const QCPRange& range) override;
    int getSubTickCount(double tickStep) override;
    QString getTickLabel(double tick, const QLocale& locale, QChar format, int precision) override;

private:
    Chooser choose_;
    axis::Unit unit_;
    double step_ = 1;
};

// A log axis: labelled ticks and minor ticks of axis::LogTicks, decades in one style.
class LogTicker : public QCPAxisTicker {
protected:
    QVector<double> createTickVector(double tickStep, const QCPRange& range) override;
    QVector<double> createSubTickVector(int subTickCount, const QVector<double>& ticks) override;
    QString getTickLabel(double tick, const QLocale& locale, QChar format, int precision) override;

private:
    QCPRange range_;
    axis::DecadeStyle style_ = axis::DecadeStyle::Plain;
};

// Sets an axis to log scale with the log ticker, its label and a grid with minor lines.
void UseLogAxis(QCPAxis* axis, const QString& label);

// A volts axis whose label names the unit in view ("Input (mV)"); and a time axis in seconds
// whose label names its unit ("Time (min)"). The label follows every change of range.
void UseVoltsAxis(QCPAxis* axis, const QString& caption);
void UseTimeAxis(QCPAxis* axis, const QString& caption);

}  // namespace kx
