#include "charts/axis_tickers.h"

#include <cmath>

namespace kx {

namespace {

QString Label(double value, double step) {
    return QString::fromStdString(axis::TickLabel(value, step));
}

// Minor ticks that split a step into whole, readable parts.
int SubTicks(double step) {
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
    return mantissa >= 1.5 && mantissa < 2.25 ? 1 : 4;
}

// The label of an axis names its unit, which follows the view.
void NameUnitInLabel(QCPAxis* axis, QSharedPointer<UnitTicker> ticker, const QString& caption) {
    QObject::disconnect(axis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), axis, nullptr);
    axis->setTicker(ticker);
    const auto follow = [axis, ticker, caption](const QCPRange& range) {
        axis->setLabel(QStringLiteral("%1 (%2)").arg(
            caption, QString::fromLatin1(ticker->UnitFor(range).name)));
    };
    QObject::connect(axis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), axis, follow);
    follow(axis->range());
}

}  // namespace

double StepTicker::getTickStep(const QCPRange& range) {
    step_ = whole_ ? axis::WholeStep(range.size(), tickCount())
                   : axis::ReadableStep(range.size(), tickCount());
    return step_;
}

int StepTicker::getSubTickCount(double tickStep) {
    if (whole_ && tickStep <= 1) return 0;
    return whole_ && tickStep == 2 ? 1 : SubTicks(tickStep);
}

QString StepTicker::getTickLabel(double tick, const QLocale&, QChar, int) {
    return Label(tick, step_);
}

double UnitTicker::getTickStep(const QCPRange& range) {
    unit_ = choose_(range);
    step_ = axis::ReadableStep(range.size() / unit_.scale, tickCount()) * unit_.scale;
    return step_;
}

int UnitTicker::getSubTickCount(double tickStep) {
    return SubTicks(tickStep / unit_.scale);
}

QString UnitTicker::getTickLabel(double tick, const QLocale&, QChar, int) {
    return Label(tick / unit_.scale, step_ / unit_.scale);
}

QVector<double> LogTicker::createTickVector(double, const QCPRange& range) {
    range_ = range;
    style_ = axis::DecadeStyleFor(range.lower, range.upper);
    const std::vector<double> ticks = axis::LogTicks(range.lower, range.upper);
    return QVector<double>(ticks.begin(), ticks.end());
}

QVector<double> LogTicker::createSubTickVector(int, const QVector<double>&) {
    const std::vector<double> minor = axis::LogMinorTicks(range_.lower, range_.upper);
    return QVector<double>(minor.begin(), minor.end());
}

QString LogTicker::getTickLabel(double tick, const QLocale&, QChar, int) {
    return QString::fromStdString(axis::LogTickLabel(tick, style_));
}

void UseLogAxis(QCPAxis* axis, const QString& label) {
    axis->setScaleType(QCPAxis::stLogarithmic);
    axis->setTicker(QSharedPointer<LogTicker>::create());
    axis->setLabel(label);
    axis->grid()->setVisible(true);
    axis->grid()->setSubGridVisible(true);
}

void UseVoltsAxis(QCPAxis* axis, const QString& caption) {
    NameUnitInLabel(axis, QSharedPointer<UnitTicker>::create([](const QCPRange& r) {
                        return axis::VoltsUnit(r.lower, r.upper);
                    }),
                    caption);
}

void UseTimeAxis(QCPAxis* axis, const QString& caption) {
    NameUnitInLabel(axis, QSharedPointer<UnitTicker>::create([](const QCPRange& r) {
                        return axis::TimeUnit(r.size());
                    }),
                    caption);
}

}  // namespace kx
