#include <QtTest>

#include <cmath>

#include "acquisition/run.h"
#include "core/globals.h"
#include "ui/shared_run.h"

using kx::Scaling;

// The scaling of codes to volts, worked out by hand from the converter's transfer function:
// full scale 1.024 x ref / gain, 2^24 codes unipolar, twice the span bipolar with 800000 hex at
// 0 V.

class RunScalingTest : public QObject {
    Q_OBJECT

private slots:
    void scalingOfAnAdcControlByte_data() {
        QTest::addColumn<int>("adcControl");
        QTest::addColumn<float>("ref");
        QTest::addColumn<double>("lsb");   // exact, volts
        QTest::addColumn<double>("zero");  // code of 0 V
        QTest::addColumn<float>("range");  // InputRange
        QTest::addColumn<double>("fullScale");
        QTest::newRow("bipolar 2.56 V, 2.5 V, channel bits ignored")
            << 0x17 << 2.5f << 2.5 * 1.024 * 2 / 16777216 << 8388608.0 << 2.56f << 2.56;
        QTest::newRow("unipolar 2.56 V")
            << 0x0F << 2.5f << 2.5 * 1.024 / 16777216 << 0.0 << 2.56f << 2.56;
        QTest::newRow("bipolar 20 mV: gain 128")
            << 0x00 << 2.5f << 2.5 * 1.024 * 2 / (128 * 16777216.0) << 8388608.0 << 0.02f << 0.02;
        QTest::newRow("unipolar 640 mV at 1.25 V")
            << 0x0D << 1.25f << 1.25 * 1.024 / (4 * 16777216.0) << 0.0 << 0.64f << 0.32;
    }
    void scalingOfAnAdcControlByte() {
        QFETCH(int, adcControl);
        QFETCH(float, ref);
        QFETCH(double, lsb);
        QFETCH(double, zero);
        QFETCH(float, range);
        QFETCH(double, fullScale);
        const Scaling exact = Scaling::Of(adcControl, ref);
        QCOMPARE(exact.lsbVolts, lsb);
        QCOMPARE(exact.zeroCode(), zero);
        QCOMPARE(exact.inputRange(), range);
        QCOMPARE(exact.fullScaleVolts(), fullScale);
        // A code one LSB above zero, and back.
        QCOMPARE(exact.CodeToVolts(zero + 1), lsb);
        QCOMPARE(exact.VoltsToCode(exact.CodeToVolts(zero + 12345)), zero + 12345);
        // As the noise analysis shows it: the same LSB rounded to single precision.
        const Scaling shown = Scaling::Shown(adcControl, ref);
        QCOMPARE(shown.lsbVolts, double(float(lsb)));
        QCOMPARE(shown.CodeToVolts(zero - 100), -100 * double(float(lsb)));
    }

    // The worked example of the noise analysis: 2.5 V, bipolar 2.56 V rounds to 3.0517577e-7 V.
    void shownLsbOfTheWorkedExample() {
        QCOMPARE(float(Scaling::Shown(0x07, 2.5f).lsbVolts), 3.0517577e-7f);
        QCOMPARE(Scaling::Shown(0x07, 2.5f).nominalRangeVolts(), 2.56);
    }

    // What a run knows of itself, and the scaling it was taken with.
    void runKnowsItsChannelTimeoutsAndScaling() {
        kx::Run run;
        run.codes = {5, INT32_MIN, 8388608, INT32_MIN};
        QCOMPARE(run.timeouts(), size_t(2));
        QVERIFY(!run.channel() && !kx::ScalingOf(run));
        run.adcControl = 0x9F;
        run.referenceVolts = 1.25f;
        QCOMPARE(*run.channel(), 9);
        QCOMPARE(kx::ScalingOf(run)->lsbVolts, Scaling::Of(0x9F, 1.25f).lsbVolts);
        QCOMPARE(kx::CodesAsDoubles(run.codes),
                 (std::vector<double>{5, -2147483648.0, 8388608, -2147483648.0}));
    }

    // The globals as the old program leaves them: a read re-creates the buffer at the requested
    // size (the slots past the codes read stay 0), a load at its own; the run reads back.
    void publishedRunFillsTheSharedGlobals() {
        kx::ResetGlobals();
        kx::Run run;
        run.codes = {7, 8, 9};
        run.referenceVolts = 1.5f;
        kx::PublishRun(run, 5);
        QCOMPARE(SampleBuffer, (std::vector<double>{0, 7, 8, 9, 0, 0}));
        QCOMPARE(CodeCount, int16_t(3));
        QCOMPARE(ReferenceVoltage, 1.5f);
        QCOMPARE(kx::SharedRun().codes, run.codes);
        kx::PublishRun(run, 0);
        QCOMPARE(SampleBuffer.size(), size_t(4));
        kx::PublishScaling(Scaling::Shown(0x0E, 2.5f));
        QCOMPARE(InputRange, 1.28f);
        QCOMPARE(Polarity, int16_t(1));
        kx::ResetGlobals();
    }
};

QTEST_APPLESS_MAIN(RunScalingTest)
#include "tst_run_scaling.moc"
