#include <qcustomplot.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QPushButton>
#include <QtTest>
#include <cmath>
#include <numbers>
#include <random>

#include "charts/histform.h"
#include "tests/charts/chart_fixture.h"

namespace {

QCPBars* Bars(QCustomPlot* plot) {
    return qobject_cast<QCPBars*>(plot->plottable(0));
}

// "code:count" for every bar drawn.
QString Drawn(QCustomPlot* plot) {
    QStringList rows;
    for (auto it = Bars(plot)->data()->constBegin(); it != Bars(plot)->data()->constEnd(); ++it)
        rows << QStringLiteral("%1:%2").arg(it->key, 0, 'f', 0).arg(it->value);
    return rows.join(',');
}

}  // namespace

class HistFormTest : public QObject {
    Q_OBJECT

private slots:
    void binsAxesAndCaptions_data() {
        QTest::addColumn<std::vector<double>>("run");
        QTest::addColumn<int>("minCode");
        QTest::addColumn<int>("maxCode");
        QTest::addColumn<QString>("drawn");
        QTest::addColumn<double>("peak");
        QTest::newRow("neighbours 6 and 4")
            << std::vector<double>{8388609, 8388608, 8388608, 8388609, 8388608,
                                   8388608, 8388609, 8388608, 8388609, 8388608}
            << 8388608 << 8388609 << "8388608:6,8388609:4" << 6.0;
        QTest::newRow("all equal")
            << std::vector<double>(10, 8388620.0) << 8388620 << 8388620 << "8388620:10" << 10.0;
        QTest::newRow("unipolar zeros in bin 0, gap at 2")
            << std::vector<double>{0, 3, 0, 1, 0, 3, 1, 3, 3, 1} << 0 << 3 << "0:3,1:3,3:4" << 4.0;
    }
    void binsAxesAndCaptions() {
        QFETCH(std::vector<double>, run);
        QFETCH(int, minCode);
        QFETCH(int, maxCode);
        QFETCH(QString, drawn);
        QFETCH(double, peak);
        const kx::AnalysedRun input = UseRun(run, minCode, maxCode);
        HistForm form(input);
        auto* plot = form.findChild<QCustomPlot*>("Strip1");
        QCOMPARE(form.windowTitle(), "KX3105 Evaluation Software -  Histogram of Data");
        QCOMPARE(Drawn(plot), drawn);
        // Every bin from MinCode to MaxCode drawn whole; counts from 0 to the peak.
        QCOMPARE(plot->xAxis->range().lower, minCode - 0.5);
        QCOMPARE(plot->xAxis->range().upper, maxCode + 0.5);
        QCOMPARE(plot->yAxis->range().lower, 0.0);
        QCOMPARE(plot->yAxis->range().upper, peak);
        QCOMPARE(Caption(plot, 0), "Histogram of Data@0.4883,0.0481");
        QCOMPARE(Caption(plot, 1), "Code@0.5185,0.9482");
        QCOMPARE(Caption(plot, 2), "Occurence@0.0041,0.5137");
        QCOMPARE(Caption(plot, 3), QStringLiteral("%1@0.941,0.9412").arg(maxCode));
        QCOMPARE(Caption(plot, 4), QStringLiteral("%1@0.0878,0.9482").arg(minCode));
        QVERIFY(!QApplication::overrideCursor());  // the busy pointer is gone
    }

    // A dense table of the span would take 128 MiB for the 24-bit range and 16 GiB with the
    // time-out marker; the screen's table follows the 5000 samples, and the bars are gathered
    // into power-of-two bins, the width stated on the chart.
    void wideSpansBuildFromTheSamples_data() {
        QTest::addColumn<int>("minCode");
        QTest::addColumn<int>("maxCode");
        QTest::addColumn<QString>("width");
        QTest::addColumn<int>("bars");
        // 256 bins of 65536 codes, every one hit; the marker's bin, then the two that hold the
        // 24-bit codes.
        QTest::newRow("full 24-bit span") << 0 << 0xFFFFFF << "Bin width: 65536 codes" << 256;
        QTest::newRow("time-out marker")
            << -2147483647 - 1 << 0xFFFFFF << "Bin width: 8388608 codes" << 3;
    }
    void wideSpansBuildFromTheSamples() {
        QFETCH(int, minCode);
        QFETCH(int, maxCode);
        QFETCH(QString, width);
        QFETCH(int, bars);
        std::mt19937 random(11);
        std::uniform_int_distribution<int> code(0, 0xFFFFFF);
        std::vector<double> run(5000);
        for (double& x : run)
            x = code(random);
        run[0] = minCode;
        run[1] = maxCode;
        const kx::AnalysedRun input = UseRun(run, minCode, maxCode);
        HistForm form(input);
        form.show();
        auto* plot = form.findChild<QCustomPlot*>("Strip1");
        plot->replot();
        QCOMPARE(Bars(plot)->dataCount(), bars);
        QCOMPARE(plot->findChild<QCPItemText*>("BinWidthCaption")->text(), width);
        double total = 0;
        for (auto it = Bars(plot)->data()->constBegin(); it != Bars(plot)->data()->constEnd(); ++it)
            total += it->value;
        QCOMPARE(total, 5000.0);
        for (const QString& label : plot->xAxis->tickVectorLabels())
            QVERIFY2(QRegularExpression("^-?\\d+$").match(label).hasMatch(), qPrintable(label));
    }

    // The bin-width box: automatic by default, any power of two asked for; the readout then names
    // a bin's first and last code, spoken with its values. The Gaussian is off by default; on,
    // its peak is samples x width / (deviation x sqrt(2 pi)) and the count axis reaches it.
    void binWidthBoxAndGaussian() {
        std::vector<double> run;
        for (int i = 0; i < 1200; ++i)
            run.push_back(8388000 + (i * 7919) % 1200);  // 1200 codes, each once
        const kx::AnalysedRun input = UseRun(run, 8388000, 8389199);
        HistForm form(input);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* plot = form.findChild<QCustomPlot*>("Strip1");
        auto* box = form.findChild<QComboBox*>("BinWidthCombo");
        auto* gaussian = form.findChild<QCheckBox*>("GaussianCheck");
        QCOMPARE(form.binWidth(), 4LL);  // 1200 codes need bins of 4 to stay within 500
        QCOMPARE(box->currentText(), "Auto (4)");
        QCOMPARE(box->accessibleName(), "Bin width 4 codes");
        QVERIFY(!gaussian->isChecked());
        QCOMPARE(plot->graphCount(), 0);

        box->setCurrentIndex(box->findText("16"));
        QCOMPARE(form.binWidth(), 16LL);
        QCOMPARE(Bars(plot)->dataCount(), 75);  // 8388000 is a multiple of 16
        QCOMPARE(plot->yAxis->range().upper, 16.0);
        QCOMPARE(plot->findChild<QCPItemText*>("BinWidthCaption")->text(), "Bin width: 16 codes");
        QTest::mouseMove(plot, QPoint(qRound(plot->xAxis->coordToPixel(8388040)),
                                      qRound(plot->yAxis->coordToPixel(1))));
        QCOMPARE(Text(form, "Label4"), "8388032 to 8388047");
        QCOMPARE(Text(form, "Label3"), "16");
        QCOMPARE(form.findChild<QLabel*>("Label4")->accessibleName(), "Code 8388032 to 8388047");
        QCOMPARE(form.findChild<QLabel*>("Label3")->accessibleName(), "Occurence 16");

        gaussian->click();
        QCOMPARE(plot->graphCount(), 1);
        double peak = 0;
        for (auto it = plot->graph(0)->data()->constBegin();
             it != plot->graph(0)->data()->constEnd(); ++it)
            peak = std::max(peak, it->value);
        const double deviation = std::sqrt((1200.0 * 1200 - 1) / 12 * 1200 / 1199);
        QVERIFY(std::fabs(peak - 1200 * 16 / (deviation * std::sqrt(2 * std::numbers::pi))) < 0.01);
        QVERIFY(plot->yAxis->range().upper >= 16);
        gaussian->click();
        QCOMPARE(plot->graphCount(), 0);
        QCOMPARE(form.binWidth(), 16LL);

        plot->findChild<QAction*>("CopyDataAction")->trigger();
        QVERIFY(QGuiApplication::clipboard()->text().startsWith(
            "Code from\tCode to\tOccurence\n8388000\t8388015\t16\n"));
    }

    void cursorReadoutGridAndCopy() {
        const kx::AnalysedRun input =
            UseRun({100, 100, 103, 104, 100, 103, 104, 104, 100, 104}, 100, 104);
        HistForm form(input);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* plot = form.findChild<QCustomPlot*>("Strip1");
        plot->replot();
        auto moveTo = [plot](double code) {
            QTest::mouseMove(plot, QPoint(qRound(plot->xAxis->coordToPixel(code)),
                                          qRound(plot->yAxis->coordToPixel(1))));
        };
        moveTo(104.2);
        QCOMPARE(Text(form, "Label4"), "104");
        QCOMPARE(Text(form, "Label3"), "4");
        moveTo(101.9);  // an empty bin inside the range
        QCOMPARE(Text(form, "Label4"), "102");
        QCOMPARE(Text(form, "Label3"), "0");
        QTest::mouseMove(plot, QPoint(1, 1));  // off the plot: last values stay
        QCOMPARE(Text(form, "Label4"), "102");

        for (int i = 0; i < 3; ++i) {
            form.findChild<QPushButton*>("Command3")->click();
            QVERIFY(!plot->xAxis->grid()->visible() && !plot->yAxis->grid()->visible());
            form.findChild<QPushButton*>("Command2")->click();
            QVERIFY(plot->xAxis->grid()->visible() && plot->yAxis->grid()->visible());
        }
        QCOMPARE(Drawn(plot), "100:4,103:2,104:4");

        plot->findChild<QAction*>("CopyDataAction")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 "Code\tOccurence\n100\t4\n101\t0\n102\t0\n103\t2\n104\t4\n");
    }
};

QTEST_MAIN(HistFormTest)
#include "tst_histform.moc"
