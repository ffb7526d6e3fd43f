#include <QtTest>

#include <random>
#include <vector>

#include "analysis/noise_stats.h"

using namespace kx::noise;

namespace {

// A buffer as the program holds it: element 0 is no sample.
std::vector<double> Run(std::vector<double> codes) {
    codes.insert(codes.begin(), 0.0);
    return codes;
}

// 5000 codes around 800064 hex: +-2 alternating, one -7 and one +7. Mean exactly 800064 hex,
// sample standard deviation 2.005, span 14.
std::vector<double> WorkedExample() {
    std::vector<double> codes{0x800064 - 7, 0x800064 + 7};
    for (int i = 0; i < 4998; ++i)
        codes.push_back(0x800064 + (i % 2 ? 2 : -2));
    return Run(codes);
}

std::vector<double> Repeated(std::initializer_list<std::pair<int, double>> groups) {
    std::vector<double> codes;
    for (const auto& [n, code] : groups)
        codes.insert(codes.end(), static_cast<size_t>(n), code);
    return Run(codes);
}

// 5000 whole codes, Gaussian around 8388708.485 with a deviation of 2.476 (seeded).
std::vector<double> GaussianRun() {
    std::mt19937_64 random(7);
    std::normal_distribution<double> noise(8388708.485, 2.476);
    std::vector<double> codes;
    for (int i = 0; i < 5000; ++i)
        codes.push_back(std::round(noise(random)));
    return Run(codes);
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The codes of such a buffer, at most `count` of them.
std::vector<int32_t> Codes(const std::vector<double>& buffer, int count) {
    std::vector<int32_t> codes;
    for (int i = 1; i <= count && i < static_cast<int>(buffer.size()); ++i)
        codes.push_back(static_cast<int32_t>(buffer[static_cast<size_t>(i)]));
    return codes;
}

// The noise analysis's scaling of a range code, a polarity (1 unipolar, 2 bipolar), a reference.
kx::Scaling ScalingFor(int rangeCode, int polarity, float reference) {
    return kx::Scaling::Shown(rangeCode | (polarity == 1 ? 0x08 : 0), reference);
}

}  // namespace

class NoiseStatsTest : public QObject {
    Q_OBJECT

private slots:
    // Every label of whole bipolar runs at 2.5 V, range code 7 (ref, lsb, range, codes,
    // rms/average/span/max/min in hex, rms, pk-pk, average value).
    void resultTexts_data() {
        QTest::addColumn<std::vector<double>>("buffer");
        QTest::addColumn<QString>("texts");
        QTest::newRow("worked example, bipolar")
            << WorkedExample()
            << "2.50 V|305.176 nV|\u00B1 2.56V|5000|2|800064|E|80006B|80005D|610.35 nV|4.272 uV|"
               "30.518 uV";
        QTest::newRow("all codes equal, 100 below mid-scale")
            << Run(std::vector<double>(10, 0x800000 - 100))
            << "2.50 V|305.176 nV|\u00B1 2.56V|10|0|7FFF9C|0|7FFF9C|7FFF9C|0.00 nV|0.000 nV|"
               "-30.518 uV";
        // The time-out marker loaded from a file beside mid-scale codes: 64-bit span and sums,
        // and values beyond 10^9 nV in volts.
        std::vector<double> marker(9, 0x800000);
        marker.push_back(-2147483648.0);
        QTest::newRow("time-out marker in the run")
            << Run(marker)
            << "2.50 V|305.176 nV|\u00B1 2.56V|10|28A2A0EB|F3A66666|80800000|800000|80000000|"
               "208.05 V|657.920 V|-65.792 V";
        // Means a fraction of a code from a whole one, near mid-scale: a single-precision mean
        // would be rounded to a whole code before the RMS and the average value use it.
        QTest::newRow("mean 8388707.7")
            << Repeated({{3, 8388707}, {7, 8388708}})
            << "2.50 V|305.176 nV|\u00B1 2.56V|10|0|800064|1|800064|800063|0.00 nV|305.176 nV|"
               "30.212 uV";
        QTest::newRow("mean 8388607.3")
            << Repeated({{7, 8388607}, {3, 8388608}})
            << "2.50 V|305.176 nV|\u00B1 2.56V|10|0|7FFFFF|1|800000|7FFFFF|0.00 nV|305.176 nV|"
               "-305.176 nV";
        QTest::newRow("mean 8388607.8")
            << Repeated({{2, 8388607}, {8, 8388608}})
            << "2.50 V|305.176 nV|\u00B1 2.56V|10|0|800000|1|800000|7FFFFF|0.00 nV|305.176 nV|"
               "-305.176 nV";
    }
    void resultTexts() {
        QFETCH(std::vector<double>, buffer);
        QFETCH(QString, texts);
        const int count = static_cast<int>(buffer.size()) - 1;
        const NoiseTexts t = NoiseResultTexts(ComputeNoiseStatistics(Codes(buffer, count)),
                                              ScalingFor(7, 2, 2.5f), count);
        const QStringList got{Q(t.ref),    Q(t.lsb),     Q(t.range), Q(t.codes),
                              Q(t.rmsLsb), Q(t.average), Q(t.span),  Q(t.max),
                              Q(t.min),    Q(t.rms),     Q(t.pkPk),  Q(t.avValue)};
        QCOMPARE(got.join('|'), texts);
    }

    // The deviation of the Gaussian run is about 2.49 codes: 2 on the label, not 3.
    void gaussianRunRmsAndExactFigures() {
        const std::vector<double> run = GaussianRun();
        const NoiseStatistics s = ComputeNoiseStatistics(Codes(run, 5000));
        QVERIFY2(s.rmsExactCodes > 2.4 && s.rmsExactCodes < 2.6,
                 qPrintable(QString::number(s.rmsExactCodes)));
        QCOMPARE(s.rmsNoiseCodes, 2);
        QCOMPARE(Q(RmsText(float(ScalingFor(7, 2, 2.5f).lsbVolts), s.rmsNoiseCodes)),
                 QString("610.35 nV"));
        QCOMPARE(s.effectiveResolutionBits, std::log2(16777216.0 / s.rmsExactCodes));
        QCOMPARE(s.noiseFreeBits, std::log2(16777216.0 / static_cast<double>(s.span)));
        // A run of equal codes has neither figure.
        const NoiseStatistics flat = ComputeNoiseStatistics(Codes(Repeated({{10, 5}}), 10));
        QVERIFY(std::isnan(flat.effectiveResolutionBits) && std::isnan(flat.noiseFreeBits));
    }

    // Single labels at other ranges, references and band ends.
    void labelTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const auto lsb = [](int range, int16_t polarity, float ref) {
            return Q(LsbText(float(ScalingFor(range, polarity, ref).lsbVolts)));
        };
        QTest::newRow("lsb unipolar range 7") << lsb(7, 1, 2.5f) << "152.588 nV";
        QTest::newRow("lsb bipolar range 0") << lsb(0, 2, 2.5f) << "2.384 nV";
        QTest::newRow("lsb reference 0") << lsb(7, 2, 0.0f) << "0. nV";
        QTest::newRow("lsb exactly 1 uV") << Q(LsbText(1e-6f)) << "1. uV";
        QTest::newRow("range 6 bipolar") << Q(RangeText(1.28f, 2)) << "\u00B1 1.28V";
        QTest::newRow("range 6 unipolar") << Q(RangeText(1.28f, 1)) << "1.28V";
        QTest::newRow("range 0 unipolar") << Q(RangeText(0.02f, 1)) << "20 mV";
        QTest::newRow("range 5 unipolar") << Q(RangeText(0.64f, 1)) << "640 mV";
        QTest::newRow("reference .5") << Q(ReferenceText(0.5f)) << ".50 V";
        QTest::newRow("rms in mV") << Q(RmsText(3.0517578e-7f, 10000)) << "3.05 mV";
        // The floor of the average, not its nearest code.
        QTest::newRow("average half a code below mid-scale")
            << Q(AverageValueText(8388607.5, ScalingFor(7, 2, 2.5f))) << "-305.176 nV";
    }
    void labelTexts() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }

    // sqrt(S / (n - 1)) exactly 2.5 and 3.5 round to the even neighbour; short or empty runs.
    void rmsAndExtremes_data() {
        QTest::addColumn<std::vector<double>>("buffer");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("rmsMaxMin");
        QTest::newRow("2.5 gives 2")
            << Run({0, 4, 4, 5, 5, 6, 6, 6, 7, 7, 7, 8, 9, 9, 9, 10}) << 16 << QList<int>{2, 10, 0};
        QTest::newRow("3.5 gives 4")
            << Run({0, 0, 0, 0, 1, 2, 2, 2, 4, 5, 5, 6, 8, 8, 9, 10}) << 16 << QList<int>{4, 10, 0};
        QTest::newRow("one code") << Run({5}) << 1 << QList<int>{0, 5, 5};
        QTest::newRow("count beyond the buffer") << Run({1, 3}) << 200 << QList<int>{1, 3, 1};
        QTest::newRow("no buffer") << std::vector<double>{} << 5 << QList<int>{0, 0, 0};
    }
    void rmsAndExtremes() {
        QFETCH(std::vector<double>, buffer);
        QFETCH(int, count);
        QFETCH(QList<int>, rmsMaxMin);
        const NoiseStatistics s = ComputeNoiseStatistics(Codes(buffer, count));
        QCOMPARE((QList<int>{s.rmsNoiseCodes, s.maxCode, s.minCode}), rmsMaxMin);
    }

    // One pass over a long run: codes alternating between two values d apart have the sample
    // deviation (d / 2) sqrt(n / (n - 1)), however far from zero they lie; a run read in pieces
    // gives the same figures as the whole.
    void sumsOfLongRuns_data() {
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::newRow("mid-scale, one code apart") << 8388608 << 8388609;
        QTest::newRow("full scale of 24 bits") << 0 << 16777215;
        QTest::newRow("the 32-bit ends") << int(INT32_MIN) << int(INT32_MAX);
    }
    void sumsOfLongRuns() {
        QFETCH(int, low);
        QFETCH(int, high);
        const size_t n = 1'000'000;
        std::vector<int32_t> codes(n);
        for (size_t i = 0; i < n; ++i)
            codes[i] = i % 2 ? high : low;
        kx::noise::NoiseSums sums;
        sums.Add(std::span(codes).first(333));
        sums.Add(std::span(codes).subspan(333));
        const NoiseStatistics s = sums.Statistics();
        const double d = double(high) - double(low);
        QCOMPARE(sums.count(), uint64_t(n));
        QCOMPARE(s.averageCode, double(low) + d / 2);
        QVERIFY(std::abs(s.rmsExactCodes / (d / 2 * std::sqrt(double(n) / double(n - 1))) - 1) <
                1e-15);
        QCOMPARE((QList<int>{s.minCode, s.maxCode}), (QList<int>{low, high}));
        const NoiseStatistics whole = ComputeNoiseStatistics(codes);
        QCOMPARE(whole.rmsExactCodes, s.rmsExactCodes);
    }
};

QTEST_APPLESS_MAIN(NoiseStatsTest)
#include "tst_noise_stats.moc"
