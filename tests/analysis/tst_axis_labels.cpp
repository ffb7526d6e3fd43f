#include <QtTest>
#include <cmath>

#include "analysis/axis_labels.h"
#include "analysis/chart_caption.h"

namespace ax = kx::axis;

namespace {

// The ticks a chart draws for a view: the multiples of the step inside it.
std::vector<double> Ticks(double lower, double upper, double step) {
    std::vector<double> ticks;
    for (double k = std::ceil(lower / step - 1e-9); k * step <= upper + step * 1e-9; ++k)
        ticks.push_back(k * step);
    return ticks;
}

QStringList Labels(const std::vector<double>& ticks, double step) {
    QStringList labels;
    for (const double tick : ticks)
        labels << QString::fromStdString(ax::TickLabel(tick, step));
    return labels;
}

}  // namespace

class AxisLabelsTest : public QObject {
    Q_OBJECT

private slots:
    // Each view: the step chosen for five intervals, the decimals its labels carry, and labels
    // written out by hand. The labels must read back as their ticks, differ from each other and
    // never fall into exponent notation.
    void tickLabelsOverSpans_data() {
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<double>("step");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QStringList>("some");  // labels that must be among them
        QTest::newRow("0.25 steps: 0.25 and 0.75 whole")
            << 0.0 << 1.2 << 0.25 << 2 << QStringList{"0.00", "0.25", "0.75", "1.00"};
        QTest::newRow("0.25 steps across zero: no -0.00")
            << -0.6 << 0.6 << 0.25 << 2 << QStringList{"-0.50", "-0.25", "0.00", "0.50"};
        QTest::newRow("histogram's top axis: 99.75, not 99.8")
            << 98.9 << 100.1 << 0.25 << 2 << QStringList{"99.00", "99.75", "100.00"};
        QTest::newRow("0.1 steps") << 1.23 << 1.71 << 0.1 << 1 << QStringList{"1.3", "1.7"};
        QTest::newRow("span 1e-9 at 1.2")
            << 1.2 << 1.2 + 1e-9 << 2e-10 << 10 << QStringList{"1.2000000000", "1.2000000010"};
        QTest::newRow("span 1e-8")
            << 0.0 << 1e-8 << 2e-9 << 9 << QStringList{"0.000000000", "0.000000010"};
        QTest::newRow("span 1e-7 below zero")
            << -3e-7 << -2e-7 << 2e-8 << 8 << QStringList{"-0.00000030", "-0.00000020"};
        QTest::newRow("span 1e-6") << 5e-6 << 6e-6 << 2e-7 << 7 << QStringList{"0.0000060"};
        QTest::newRow("span 1e-5") << 0.0 << 1e-5 << 2e-6 << 6 << QStringList{"0.000002"};
        QTest::newRow("span 1e-4 at 2.5")
            << 2.5 << 2.5001 << 2e-5 << 5 << QStringList{"2.50000", "2.50010"};
        QTest::newRow("span 1e-3") << 0.0 << 1e-3 << 2e-4 << 4 << QStringList{"0.0008"};
        QTest::newRow("span 0.01") << 0.0 << 0.01 << 0.002 << 3 << QStringList{"0.010"};
        QTest::newRow("span 0.1") << 0.0 << 0.1 << 0.02 << 2 << QStringList{"0.02", "0.10"};
        QTest::newRow("span 1") << 0.0 << 1.0 << 0.2 << 1 << QStringList{"0.2", "1.0"};
        QTest::newRow("span 10") << 0.0 << 10.0 << 2.0 << 0 << QStringList{"0", "10"};
        QTest::newRow("span 100") << -50.0 << 50.0 << 20.0 << 0 << QStringList{"-40", "40"};
        QTest::newRow("span 1000 at 8388608")
            << 8388108.0 << 8389108.0 << 200.0 << 0 << QStringList{"8388200", "8389000"};
        QTest::newRow("2.5 steps") << 0.0 << 12.0 << 2.5 << 1 << QStringList{"2.5", "10.0"};
    }
    void tickLabelsOverSpans() {
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(double, step);
        QFETCH(int, decimals);
        QFETCH(QStringList, some);
        const double chosen = ax::ReadableStep(upper - lower, 5);
        QVERIFY2(std::fabs(chosen - step) <= step * 1e-9, qPrintable(QString::number(chosen)));
        QCOMPARE(ax::StepDecimals(chosen), decimals);
        const std::vector<double> ticks = Ticks(lower, upper, chosen);
        const QStringList labels = Labels(ticks, chosen);
        QVERIFY(ticks.size() >= 4);
        QCOMPARE(QSet<QString>(labels.begin(), labels.end()).size(), labels.size());
        const QRegularExpression shape(decimals == 0
                                           ? QStringLiteral("^-?\\d+$")
                                           : QStringLiteral("^-?\\d+\\.\\d{%1}$").arg(decimals));
        for (size_t i = 0; i < ticks.size(); ++i) {
            const QString& label = labels[int(i)];
            QVERIFY2(shape.match(label).hasMatch(), qPrintable(label));
            QVERIFY2(std::fabs(label.toDouble() - ticks[i]) <= chosen * 1e-3, qPrintable(label));
        }
        for (const QString& label : some)
            QVERIFY2(labels.contains(label), qPrintable(labels.join(' ')));
    }

    // The volts axis: the prefix follows the span, and no label needs five digits before the
    // point (100050 uV reads 100.05 mV).
    void voltsUnits_data() {
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<QString>("unit");
        QTest::newRow("noise of a few codes at 0 V") << -1.5e-6 << 1.5e-6 << "uV";
        QTest::newRow("1 uV of view at 100 mV") << 0.100049 << 0.10005 << "mV";
        QTest::newRow("a few nV at 1.2 uV") << 1.2e-6 << 1.21e-6 << "nV";
        QTest::newRow("a few codes near full scale: mV, not 2559900 uV") << 2.5599 << 2.56 << "mV";
        QTest::newRow("the whole bipolar range") << -2.56 << 2.56 << "V";
        QTest::newRow("a 160 mV tone") << -7e-4 << 7e-4 << "mV";
        QTest::newRow("a quiet 160 mV run") << -7e-7 << 7e-7 << "uV";
        QTest::newRow("a few codes of it") << 1e-7 << 1.8e-7 << "nV";
        QTest::newRow("2 mV at 1.2 V") << 1.199 << 1.201 << "mV";
    }
    void voltsUnits() {
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(QString, unit);
        const ax::Unit u = ax::VoltsUnit(lower, upper);
        QCOMPARE(QString::fromLatin1(u.name), unit);
        const double step = ax::ReadableStep((upper - lower) / u.scale, 5);
        for (const double tick : Ticks(lower / u.scale, upper / u.scale, step)) {
            const QString label = QString::fromStdString(ax::TickLabel(tick, step));
            QVERIFY2(label.section('.', 0, 0).remove('-').size() <= 4, qPrintable(label));
        }
    }

    // Log axes: decades in one style on an axis, at least two labels on any view the zoom
    // allows.
    void logLabels_data() {
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<QString>("labels");
        QTest::newRow("spectrum 0.08 to 10 Hz") << 0.08 << 10.0 << "0.1 0.2 0.5 1 2 5 10";
        QTest::newRow("Allan deviation 0.95 to 4.4 s: 1 s labelled") << 0.95 << 4.4 << "1 2 3 4";
        QTest::newRow("five decades, plain") << 0.9 << 2.2e4 << "1 10 100 1000 10000";
        QTest::newRow("up to 10^6: powers throughout")
            << 0.5 << 2e6 << "10⁰ 10¹ 10² 10³ 10⁴ 10⁵ 10⁶";
        QTest::newRow("small densities: powers with multiples")
            << 1e-5 << 1e-3 << "10⁻⁵ 2×10⁻⁵ 5×10⁻⁵ 10⁻⁴ 2×10⁻⁴ 5×10⁻⁴ 10⁻³";
        QTest::newRow("twenty decades: every other one")
            << 1e-10 << 1e10 << "10⁻¹⁰ 10⁻⁸ 10⁻⁶ 10⁻⁴ 10⁻² 10⁰ 10² 10⁴ 10⁶ 10⁸ 10¹⁰";
    }
    void logLabels() {
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(QString, labels);
        const ax::DecadeStyle style = ax::DecadeStyleFor(lower, upper);
        QStringList shown;
        for (const double tick : ax::LogTicks(lower, upper))
            shown << QString::fromStdString(ax::LogTickLabel(tick, style));
        QCOMPARE(shown.join(' '), labels);
    }

    void everyZoomedLogViewKeepsTwoLabels() {
        for (double lower = 0.011; lower < 2000; lower *= 1.37) {
            for (const double ratio : {ax::MinLogRatio, 7.0, 11.0, 300.0, 2e4}) {
                const auto ticks = ax::LogTicks(lower, lower * ratio);
                QVERIFY2(ticks.size() >= 2, qPrintable(QString::number(lower)));
                // Minor ticks never repeat a labelled one.
                for (const double minor : ax::LogMinorTicks(lower, lower * ratio))
                    QVERIFY(std::none_of(ticks.begin(), ticks.end(), [minor](double t) {
                        return std::fabs(t - minor) < 1e-9 * t;
                    }));
            }
        }
    }

    // A view is held inside the full view and no narrower than the least span; one already
    // inside is left as it is.
    void viewsStayInside_data() {
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<bool>("log");
        QTest::addColumn<double>("heldLower");
        QTest::addColumn<double>("heldUpper");
        QTest::newRow("inside") << 10.0 << 20.0 << false << 10.0 << 20.0;
        QTest::newRow("panned before the first read") << -5.0 << 5.0 << false << 1.0 << 11.0;
        QTest::newRow("panned past the last read") << 95.0 << 105.0 << false << 90.0 << 100.0;
        QTest::newRow("zoomed out beyond the run") << -50.0 << 200.0 << false << 1.0 << 100.0;
        QTest::newRow("zoomed below four reads") << 50.0 << 51.0 << false << 48.5 << 52.5;
        QTest::newRow("log: zoomed below a factor of four")
            << 9.0 << 100.0 / 9 << true << 5.0 << 20.0;
        QTest::newRow("log: panned past the top") << 50.0 << 400.0 << true << 12.5 << 100.0;
    }
    void viewsStayInside() {
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(bool, log);
        QFETCH(double, heldLower);
        QFETCH(double, heldUpper);
        const ax::View held = ax::ClampView({lower, upper}, {1, 100}, 4, log);
        const double tolerance = 1e-9 * heldUpper;
        QVERIFY2(std::fabs(held.lower - heldLower) < tolerance &&
                     std::fabs(held.upper - heldUpper) < tolerance,
                 qPrintable(QStringLiteral("%1 %2").arg(held.lower).arg(held.upper)));
    }

    // The caption a saved chart carries, with what is known and what is not.
    void conditionsCaption() {
        qputenv("TZ", "UTC");
        tzset();
        kx::ChartConditions c;
        c.scaling = kx::Scaling::Of(0x03, 2.5f);  // bipolar 160 mV
        c.rateHz = 19.787;
        c.codes = 5000;
        c.taken = std::chrono::system_clock::from_time_t(1796726400);  // 2026-12-08 10:40 UTC
        c.board = "simulated KX3105 board";
        QCOMPARE(QString::fromStdString(kx::ConditionsCaption(c)),
                 QString::fromUtf8("± 160 mV bipolar, ref 2.50 V, 19.79 Hz, 5000 codes, "
                                   "2026-12-08 10:40, simulated KX3105 board"));
        kx::ChartConditions file;
        file.scaling = kx::Scaling::Of(0x0F, 2.5f);
        file.scalingAssumed = true;
        file.codes = 12;
        QCOMPARE(QString::fromStdString(kx::ConditionsCaption(file)),
                 "2.56V unipolar (assumed), ref 2.50 V, rate not recorded, 12 codes, date not "
                 "recorded, board not recorded");
    }
};

QTEST_MAIN(AxisLabelsTest)
#include "tst_axis_labels.moc"
