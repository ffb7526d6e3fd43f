#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <algorithm>
#include <random>

#include "analysis/noiseform.h"
#include "tests/support/sim_bench.h"
#include "ui/shared_run.h"

namespace {

// 5000 codes around 800064 hex: mean 800064 hex, RMS 2, span 14.
void LoadWorkedExample() {
    SampleBuffer = {0.0, 0x800064 - 7, 0x800064 + 7};
    for (int i = 0; i < 4998; ++i)
        SampleBuffer.push_back(0x800064 + (i % 2 ? 2 : -2));
    CodeCount = 5000;
}

QString Labels(const QWidget& form, std::initializer_list<const char*> names) {
    QStringList texts;
    for (const char* name : names)
        texts << form.findChild<QLabel*>(name)->text();
    return texts.join('|');
}

QString Labels(const QWidget& form) {
    return Labels(
        form, {"RefLabel", "LSBLabel", "RangeLabel", "CodesLabel", "RMSLabelLSB", "AverageLabel",
               "SpanLabel", "MaxLabel", "MinLabel", "RMSLabel", "PkPkLabel", "AvValueLabel"});
}

// Codes n1 times code1, then n2 times code2, as the shared run.
void LoadRun(int n1, double code1, int n2, double code2) {
    SampleBuffer = std::vector<double>(size_t(n1 + n2) + 1, code2);
    std::fill_n(SampleBuffer.begin() + 1, n1, code1);
    CodeCount = int16_t(n1 + n2);
}

}  // namespace

class NoiseFormTest : public QObject {
    Q_OBJECT

private slots:
    // The same run with the converter bipolar, then unipolar: range and polarity are the
    // converter's as the screen opens (channel bits set to show they are ignored).
    void showsTheRunScaledByTheConverter_data() {
        QTest::addColumn<int>("adcControl");
        QTest::addColumn<QString>("texts");
        QTest::addColumn<float>("inputRange");
        QTest::addColumn<int>("polarity");
        QTest::newRow("bipolar 2.56 V")
            << 0x07
            << "2.50 V|305.176 nV|\u00B1 2.56V|5000|2|800064|E|80006B|80005D|610.35 nV|4.272 uV|"
               "30.518 uV"
            << 2.56f << 2;
        QTest::newRow("unipolar 2.56 V")
            << 0x3F
            << "2.50 V|152.588 nV|2.56V|5000|2|800064|E|80006B|80005D|305.18 nV|2.136 uV|1.280 V"
            << 2.56f << 1;
    }
    void showsTheRunScaledByTheConverter() {
        QFETCH(int, adcControl);
        QFETCH(QString, texts);
        QFETCH(float, inputRange);
        QFETCH(int, polarity);
        SimBench bench;
        WriteRegister(0x02, 8, adcControl);
        LoadWorkedExample();
        NoiseForm form(kx::SharedRun());
        QCOMPARE(form.windowTitle(), "KX3105 Evaluation Software - Noise Analysis");
        QCOMPARE(Labels(form), texts);
        QCOMPARE(InputRange, inputRange);
        QCOMPARE(int{Polarity}, polarity);
        QCOMPARE(MaxCode, 0x80006B);
        QCOMPARE(MinCode, 0x80005D);
        // A value is spoken with its row caption.
        QCOMPARE(form.findChild<QLabel*>("MaxLabel")->accessibleName(), "Max Code (Hex) 80006B");
    }

    // A run that knows the range and polarity it was taken with (a capture loaded, the Live
    // View's Keep) is scaled by its own, whatever the register holds now; the register is read
    // on opening all the same.
    void aRunThatKnowsItsSettingsIsScaledByThem() {
        SimBench bench;
        WriteRegister(0x02, 8, 0x3F);  // unipolar 2.56 V on the board now
        LoadWorkedExample();
        kx::Run run = kx::SharedRun();
        run.adcControl = 0x07;  // taken bipolar 2.56 V
        NoiseForm form(run);
        QCOMPARE(Labels(form, {"LSBLabel", "RangeLabel", "RMSLabel"}),
                 QString("305.176 nV|\u00B1 2.56V|610.35 nV"));
        QCOMPARE(int{Polarity}, 2);
    }

    // Runs whose mean lies a fraction of a code off a whole one, bipolar 2.56 V: the screen's
    // own labels from the unrounded mean, and the data-sheet frame from the unrounded deviation,
    // the same numbers as the statistics (and so kx3105-cli --json) hold.
    void runsOffAWholeCode_data() {
        QTest::addColumn<QList<double>>("run");  // n1, code1, n2, code2; empty: Gaussian
        QTest::addColumn<QString>("labels");     // RMS hex, Average Code, RMS, Average Value
        QTest::addColumn<QString>("figures");    // exact RMS in codes and volts, bits, bits
        QTest::newRow("3 x 8388707, 7 x 8388708")
            << QList<double>{3, 8388707, 7, 8388708} << "0|800064|0.00 nV|30.212 uV"
            << "0.48|147.41 nV|25.05|24.00";
        QTest::newRow("7 x 8388607, 3 x 8388608")
            << QList<double>{7, 8388607, 3, 8388608} << "0|7FFFFF|0.00 nV|-305.176 nV"
            << "0.48|147.41 nV|25.05|24.00";
        QTest::newRow("2 x 8388607, 8 x 8388608")
            << QList<double>{2, 8388607, 8, 8388608} << "0|800000|0.00 nV|-305.176 nV"
            << "0.42|128.67 nV|25.25|24.00";
        QTest::newRow("5000 Gaussian, deviation 2.476") << QList<double>{} << "2|"
                                                        << "";
        QTest::newRow("all equal")
            << QList<double>{10, 8388608, 0, 0} << "0|800000|0.00 nV|00.000 nV"
            << "0.00|0.00 nV|-|-";
    }
    void runsOffAWholeCode() {
        QFETCH(QList<double>, run);
        QFETCH(QString, labels);
        QFETCH(QString, figures);
        SimBench bench;
        if (run.isEmpty()) {
            std::mt19937_64 random(7);
            std::normal_distribution<double> noise(8388708.485, 2.476);
            SampleBuffer = {0.0};
            for (int i = 0; i < 5000; ++i)
                SampleBuffer.push_back(std::round(noise(random)));
            CodeCount = 5000;
        } else {
            LoadRun(int(run[0]), run[1], int(run[2]), run[3]);
        }
        NoiseForm form(kx::SharedRun());
        QVERIFY(Labels(form, {"RMSLabelLSB", "AverageLabel", "RMSLabel", "AvValueLabel"})
                    .startsWith(labels));
        if (run.isEmpty()) QCOMPARE(Labels(form, {"RMSLabel"}), "610.35 nV");
        const QString exact = Labels(form, {"ExactRMSLabelLSB", "EffResLabel", "NoiseFreeLabel"});
        const kx::noise::NoiseStatistics s = form.analysis().stats;
        QStringList expected;
        for (double x : {s.rmsExactCodes, s.effectiveResolutionBits, s.noiseFreeBits})
            expected << (std::isfinite(x) ? QString::number(x, 'f', 2) : QString("-"));
        QCOMPARE(exact, expected.join('|'));
        if (!figures.isEmpty())
            QCOMPARE(Labels(form,
                            {"ExactRMSLabelLSB", "ExactRMSLabel", "EffResLabel", "NoiseFreeLabel"}),
                     figures);
        QCOMPARE(form.findChild<QGroupBox*>("Frame4")->title(), "Data-sheet figures");
        QCOMPARE(form.findChild<QLabel*>("EffResLabel")->accessibleName(),
                 "Effective Resolution (bits) " + Labels(form, {"EffResLabel"}));
    }

    // The plot and spectrum buttons open their screens over the analysis; Back closes it.
    void buttons() {
        SimBench bench;
        LoadWorkedExample();
        QList<QWidget*> graph, histogram, spectrum;
        // Each opener gets the run the analysis analysed.
        QList<size_t> codes;
        const auto opener = [&codes](QList<QWidget*>& opened) {
            return [&opened, &codes](QWidget* p, const kx::AnalysedRun& run) {
                opened << p;
                codes << run.run.codes.size();
            };
        };
        NoiseForm form(kx::SharedRun(), {opener(graph), opener(histogram), opener(spectrum)});
        form.findChild<QPushButton*>("Command1")->click();
        form.findChild<QPushButton*>("Command2")->click();
        form.findChild<QPushButton*>("CommandSpectrum")->click();
        QCOMPARE(graph, QList<QWidget*>{&form});
        QCOMPARE(histogram, QList<QWidget*>{&form});
        QCOMPARE(spectrum, QList<QWidget*>{&form});
        QCOMPARE(codes, (QList<size_t>{5000, 5000, 5000}));
        form.show();
        form.findChild<QPushButton*>("Command3")->click();
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(NoiseFormTest)
#include "tst_noiseform.moc"
