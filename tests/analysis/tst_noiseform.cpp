#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "analysis/noiseform.h"
#include "tests/support/sim_bench.h"

namespace {

// 5000 codes around 800064 hex: mean 800064 hex, RMS 2, span 14.
void LoadWorkedExample() {
    SampleBuffer = {0.0, 0x800064 - 7, 0x800064 + 7};
    for (int i = 0; i < 4998; ++i)
        SampleBuffer.push_back(0x800064 + (i % 2 ? 2 : -2));
    CodeCount = 5000;
}

QString Labels(const QWidget& form) {
    QStringList texts;
    for (const char* name :
         {"RefLabel", "LSBLabel", "RangeLabel", "CodesLabel", "RMSLabelLSB", "AverageLabel",
          "SpanLabel", "MaxLabel", "MinLabel", "RMSLabel", "PkPkLabel", "AvValueLabel"})
        texts << form.findChild<QLabel*>(name)->text();
    return texts.join('|');
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
        NoiseForm form;
        QCOMPARE(form.windowTitle(), "KX3105 Evaluation Software - Noise Analysis");
        QCOMPARE(Labels(form), texts);
        QCOMPARE(InputRange, inputRange);
        QCOMPARE(int{Polarity}, polarity);
        QCOMPARE(MaxCode, 0x80006B);
        QCOMPARE(MinCode, 0x80005D);
        // A value is spoken with its row caption.
        QCOMPARE(form.findChild<QLabel*>("MaxLabel")->accessibleName(), "Max Code (Hex) 80006B");
    }

    // The plot and spectrum buttons open their screens over the analysis; Back closes it.
    void buttons() {
        SimBench bench;
        LoadWorkedExample();
        QList<QWidget*> graph, histogram, spectrum;
        NoiseForm form({[&](QWidget* p) { graph << p; }, [&](QWidget* p) { histogram << p; },
                        [&](QWidget* p) { spectrum << p; }});
        form.findChild<QPushButton*>("Command1")->click();
        form.findChild<QPushButton*>("Command2")->click();
        form.findChild<QPushButton*>("CommandSpectrum")->click();
        QCOMPARE(graph, QList<QWidget*>{&form});
        QCOMPARE(histogram, QList<QWidget*>{&form});
        QCOMPARE(spectrum, QList<QWidget*>{&form});
        form.show();
        form.findChild<QPushButton*>("Command3")->click();
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(NoiseFormTest)
#include "tst_noiseform.moc"
