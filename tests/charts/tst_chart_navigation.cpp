#include <qcustomplot.h>

#include <QtTest>
#include <memory>

#include "charts/graphform.h"
#include "charts/histform.h"
#include "charts/spectrumform.h"
#include "tests/charts/chart_fixture.h"

namespace {

const std::vector<double> kRun{8388612, 8388610, 8388615, 8388620, 8388611,
                               8388613, 8388614, 8388612, 8388617, 8388616};

// The scaling the noise analysis hands the charts with the run: a range by its volts and a
// polarity 1 or 2; none for anything else (no analysis yet).
void UseScaling(kx::AnalysedRun& run, float inputRange, int16_t polarity, float reference) {
    for (int rangeCode = 0; rangeCode < 8; ++rangeCode) {
        const auto s = kx::Scaling::Shown(rangeCode | (polarity == 1 ? 0x08 : 0), reference);
        if ((polarity == 1 || polarity == 2) && s.inputRange() == inputRange) run.scaling = s;
    }
}

std::unique_ptr<QDialog> Open(const QString& chart, const kx::AnalysedRun& run) {
    if (chart == "plot") return std::make_unique<GraphForm>(run);
    return std::make_unique<HistForm>(run);
}

// The code axis of each chart and the volts axis opposite it.
QCPAxis* CodeAxis(QCustomPlot* plot, const QString& chart) {
    return chart == "plot" ? plot->yAxis : plot->xAxis;
}
QCPAxis* VoltsAxis(QCustomPlot* plot, const QString& chart) {
    return chart == "plot" ? plot->yAxis2 : plot->xAxis2;
}

bool Near(double a, double b) {
    return qAbs(a - b) <= 1e-6 * qMax(qAbs(a), qAbs(b));
}

void SendWheel(QCustomPlot* plot, QPoint at, int steps,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWheelEvent wheel(at, plot->mapToGlobal(at), QPoint(), QPoint(0, 120 * steps), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &wheel);
}

void SendMouse(QCustomPlot* plot, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QMouseEvent event(type, at, plot->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(plot, &event);
}

}  // namespace

class ChartNavigationTest : public QObject {
    Q_OBJECT

private slots:
    // Volts at the ends of the code axis, worked out by hand: bipolar 2.56 V at 2.5 V has an LSB
    // of 305.17578 nV with 800000 hex at 0 V; unipolar 20 mV has 1.1920929 nV from code 0.
    void voltsAxisFollowsTheScaling_data() {
        QTest::addColumn<QString>("chart");
        QTest::addColumn<std::vector<double>>("run");
        QTest::addColumn<float>("inputRange");
        QTest::addColumn<int>("polarity");
        QTest::addColumn<double>("lowerVolts");
        QTest::addColumn<double>("upperVolts");
        QTest::addColumn<QString>("label");
        QTest::newRow("plot, bipolar 2.56 V: codes 2 to 12 above mid-scale")
            << "plot" << kRun << 2.56f << 2 << 2 * 305.17578e-9 << 12 * 305.17578e-9
            << "Input (uV)";
        QTest::newRow("histogram, bipolar 2.56 V: half a bin beyond each end")
            << "histogram" << kRun << 2.56f << 2 << 1.5 * 305.17578e-9 << 12.5 * 305.17578e-9
            << "Input (uV)";
        const std::vector<double> low{1000, 1003, 1010, 1001, 1002, 1004, 1005, 1006, 1007, 1008};
        QTest::newRow("plot, unipolar 20 mV") << "plot" << low << 0.02f << 1 << 1000 * 1.1920929e-9
                                              << 1010 * 1.1920929e-9 << "Input (nV)";
        QTest::newRow("plot, bipolar 2.56 V, a run near full scale")
            << "plot" << std::vector<double>{0, 0xFFFFFF, 5, 6, 7, 8, 9, 10, 11, 12} << 2.56f << 2
            << -8388608 * 305.17578e-9 << 8388607 * 305.17578e-9 << "Input (V)";
        // Before any noise analysis there is no scaling to draw a volts axis from.
        QTest::newRow("histogram before any analysis")
            << "histogram" << kRun << 0.0f << 0 << 0.0 << 0.0 << QString();
    }
    void voltsAxisFollowsTheScaling() {
        QFETCH(QString, chart);
        QFETCH(std::vector<double>, run);
        QFETCH(float, inputRange);
        QFETCH(int, polarity);
        QFETCH(double, lowerVolts);
        QFETCH(double, upperVolts);
        QFETCH(QString, label);
        const auto [low, high] = std::minmax_element(run.begin(), run.end());
        kx::AnalysedRun input = UseRun(run, int32_t(*low), int32_t(*high));
        UseScaling(input, inputRange, int16_t(polarity), 2.5f);
        auto form = Open(chart, input);
        auto* plot = form->findChild<QCustomPlot*>("Strip1");
        QCPAxis* volts = VoltsAxis(plot, chart);
        QCOMPARE(volts->visible(), !label.isEmpty());
        if (label.isEmpty()) return;
        QVERIFY2(Near(volts->range().lower, lowerVolts),
                 qPrintable(QString::number(volts->range().lower)));
        QVERIFY2(Near(volts->range().upper, upperVolts),
                 qPrintable(QString::number(volts->range().upper)));
        QCOMPARE(volts->label(), label);
        // Tick labels in that unit, never exponent notation.
        form->show();
        plot->replot();
        QVERIFY(!volts->tickVectorLabels().isEmpty());
        for (const QString& tick : volts->tickVectorLabels())
            QVERIFY2(!tick.contains('e'), qPrintable(tick));
    }

    // As oscilloscope software: the wheel zooms the read (or code) axis, Ctrl+wheel the value
    // axis, a wheel over an axis that axis alone; drags pan but never past the run; the captions
    // naming the full view's ends hide while their axis is zoomed; a double click brings back
    // the whole run and clears the readout.
    void zoomPanAndDoubleClickRestore_data() {
        QTest::addColumn<QString>("chart");
        QTest::addColumn<double>("leastX");  // the narrowest view of the bottom axis
        QTest::newRow("noise plot") << "plot" << 4.0;
        QTest::newRow("histogram") << "histogram" << 4.0;
    }
    void zoomPanAndDoubleClickRestore() {
        QFETCH(QString, chart);
        QFETCH(double, leastX);
        kx::AnalysedRun input = UseRun(kRun, 8388610, 8388620);
        UseScaling(input, 2.56f, 2, 2.5f);
        auto form = Open(chart, input);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        auto* plot = form->findChild<QCustomPlot*>("Strip1");
        plot->replot();
        const QCPRange fullX = plot->xAxis->range(), fullY = plot->yAxis->range();
        const QCPRange fullVolts = VoltsAxis(plot, chart)->range();
        const QPoint centre = plot->axisRect()->rect().center();
        // The captions that name the code axis's ends: MinCode and MaxCode.
        const QList<int> ends = chart == "plot" ? QList<int>{1, 2} : QList<int>{3, 4};
        const auto endsShown = [&] {
            return plot->findChild<QCPItemText*>(QStringLiteral("Caption%1").arg(ends[0]))
                       ->visible() &&
                   plot->findChild<QCPItemText*>(QStringLiteral("Caption%1").arg(ends[1]))
                       ->visible();
        };

        // The wheel zooms the bottom axis alone.
        SendWheel(plot, centre, 1);
        QVERIFY(plot->xAxis->range().size() < fullX.size() * 0.95);
        QCOMPARE(plot->yAxis->range(), fullY);
        QCOMPARE(endsShown(), chart == "plot");
        // Ctrl+wheel the left axis alone; the volts axis keeps to the codes.
        const QCPRange zoomedX = plot->xAxis->range();
        SendWheel(plot, centre, 1, Qt::ControlModifier);
        QCOMPARE(plot->xAxis->range(), zoomedX);
        QVERIFY(plot->yAxis->range().size() < fullY.size() * 0.95);
        QVERIFY(!endsShown());
        const QCPRange codes = CodeAxis(plot, chart)->range();
        QVERIFY(
            Near(VoltsAxis(plot, chart)->range().lower, (codes.lower - 8388608) * 305.17578e-9));
        QVERIFY(
            Near(VoltsAxis(plot, chart)->range().upper, (codes.upper - 8388608) * 305.17578e-9));

        // A drag to the right moves the view to lower read numbers or codes, and stops at the
        // first one.
        SendMouse(plot, QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton);
        SendMouse(plot, QEvent::MouseMove, centre + QPoint(20, 0), Qt::NoButton, Qt::LeftButton);
        QVERIFY(plot->xAxis->range().lower < zoomedX.lower);
        SendMouse(plot, QEvent::MouseMove, centre + QPoint(2000, 0), Qt::NoButton, Qt::LeftButton);
        SendMouse(plot, QEvent::MouseButtonRelease, centre + QPoint(2000, 0), Qt::LeftButton,
                  Qt::NoButton);
        QCOMPARE(plot->xAxis->range().lower, fullX.lower);
        QVERIFY(Near(plot->xAxis->range().size(), zoomedX.size()));

        // Zooming in stops at the narrowest view, out at the whole run.
        SendWheel(plot, centre, 40);
        QVERIFY(Near(plot->xAxis->range().size(), leastX));
        SendWheel(plot, centre, -80);
        QCOMPARE(plot->xAxis->range(), fullX);

        // The wheel over the left axis zooms that axis alone.
        plot->replot();
        const QCPRange beforeX = plot->xAxis->range(), beforeY = plot->yAxis->range();
        const QPoint leftAxis(plot->axisRect()->left() - 8, centre.y());
        SendWheel(plot, leftAxis, 1);
        QCOMPARE(plot->xAxis->range(), beforeX);
        QVERIFY(plot->yAxis->range().size() < beforeY.size());

        // A double click brings back the whole run, and the readout of another view goes.
        QTest::mouseMove(plot, centre);
        QVERIFY(!Text(*form, "Label3").isEmpty());
        SendMouse(plot, QEvent::MouseButtonDblClick, centre, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(plot->xAxis->range(), fullX);
        QCOMPARE(plot->yAxis->range(), fullY);
        QCOMPARE(VoltsAxis(plot, chart)->range(), fullVolts);
        QVERIFY(endsShown());
        QCOMPARE(Text(*form, "Label3"), QString());
        QCOMPARE(Text(*form, "Label4"), QString());
    }

    // The Spectrum window's log axes keep a factor of four in view, so tick labels remain.
    void spectrumZoomKeepsTickLabels() {
        kx::SpectrumView view;
        view.rateHz = 100;
        view.segment = 64;
        view.window = "hann";
        for (int k = 0; k <= 32; ++k) {
            view.frequencyHz.push_back(k * 1.5625);
            view.nsdNvPerRtHz.push_back(50 + k);
        }
        SpectrumForm form(view);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* plot = form.findChild<QCustomPlot*>("Strip1");
        const QPoint centre = plot->axisRect()->rect().center();
        SendWheel(plot, centre, 60);
        SendWheel(plot, centre, 60, Qt::ControlModifier);
        plot->replot();
        for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
            QVERIFY(axis->range().upper / axis->range().lower >= 3.99);
            QVERIFY2(axis->tickVectorLabels().size() >= 2,
                     qPrintable(axis->tickVectorLabels().join(' ')));
        }
    }
};

QTEST_MAIN(ChartNavigationTest)
#include "tst_chart_navigation.moc"
