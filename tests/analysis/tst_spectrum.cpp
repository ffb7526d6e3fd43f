#include <QtTest>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/spectrum.h"

using kx::spectrum::Window;

namespace {

constexpr double Lsb = 1e-6;  // one code is a microvolt here

struct Sine {
    double hz;
    double codesRms;
};

// Codes around mid-scale: Gaussian noise of sigma codes plus sines, rounded as a converter does.
std::vector<double> Run(size_t count, double rate, double sigma, const std::vector<Sine>& sines,
                        uint64_t seed = 7) {
    std::mt19937_64 engine(seed);
    std::normal_distribution<double> gauss(0.0, sigma);
    std::vector<double> codes(count);
    for (size_t i = 0; i < count; ++i) {
        double x = gauss(engine);
        for (const Sine& s : sines)
            x += std::numbers::sqrt2 * s.codesRms *
                 std::sin(2 * std::numbers::pi * s.hz * static_cast<double>(i) / rate + 0.3);
        codes[i] = std::round(8388608.0 + x);
    }
    return codes;
}

double Db(double ratio) {
    return 20 * std::log10(ratio);
}

}  // namespace

class SpectrumTest : public QObject {
    Q_OBJECT

private slots:
    // White noise plus one sine: the tone in its bin, its amplitude, the white level, the SNR,
    // and the tone again as the largest spur of the density.
    void noisePlusTone_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("sigma");
        QTest::addColumn<double>("toneHz");
        QTest::addColumn<double>("toneRms");
        QTest::newRow("hann, 16384 codes, 50 Hz at 1 kHz")
            << int(Window::Hann) << 16384 << 1000.0 << 10.0 << 50.0 << 20.0;
        QTest::newRow("hann, tone between bins, 1365.33 Hz")
            << int(Window::Hann) << 20000 << 4096.0 / 3 << 4.0 << 123.456 << 3.0;
        QTest::newRow("blackman-harris, 5000 codes, 19.79 Hz")
            << int(Window::BlackmanHarris) << 5000 << 32768.0 / (8 * 0x45 * 3) << 2.0 << 4.1
            << 10.0;
    }
    void noisePlusTone() {
        QFETCH(int, window);
        QFETCH(int, count);
        QFETCH(double, rate);
        QFETCH(double, sigma);
        QFETCH(double, toneHz);
        QFETCH(double, toneRms);
        const auto codes = Run(size_t(count), rate, sigma, {{toneHz, toneRms}});
        std::string error;
        const auto spectrum =
            kx::spectrum::AnalyseSpectrum(codes, Lsb, rate, {Window(window), 0}, error);
        QVERIFY2(spectrum, error.c_str());

        const double noise = std::sqrt(sigma * sigma + 1.0 / 12);  // rounding adds 1/12 code^2
        const double whiteNv = noise * Lsb * std::sqrt(2 / rate) * 1e9;
        const auto& f = spectrum->figures;
        QVERIFY2(std::abs(f.whiteNvPerRtHz / whiteNv - 1) < 0.10,
                 qPrintable(QString("white %1, theory %2").arg(f.whiteNvPerRtHz).arg(whiteNv)));

        QVERIFY(f.tone);
        QVERIFY2(std::abs(f.tone->hz - toneHz) <= rate / count / 2,
                 qPrintable(QString::number(f.tone->hz)));
        QVERIFY2(std::abs(f.tone->uvRms / toneRms - 1) < 0.05,
                 qPrintable(QString::number(f.tone->uvRms)));
        const double snr = Db(toneRms / noise);
        QVERIFY2(std::abs(f.tone->snrDb - snr) < 1.0,
                 qPrintable(QString("SNR %1, theory %2").arg(f.tone->snrDb).arg(snr)));
        // No distortion: SINAD is the SNR give or take the noise in the harmonics' bins.
        QVERIFY(std::abs(f.tone->sinadDb - f.tone->snrDb) < 0.5);
        QCOMPARE(f.tone->enob, (f.tone->sinadDb - 1.76) / 6.02);

        QVERIFY(!f.spurs.empty());
        QVERIFY2(std::abs(f.spurs[0].hz - toneHz) < spectrum->density.binHz,
                 qPrintable(QString::number(f.spurs[0].hz)));
        QVERIFY2(std::abs(f.spurs[0].uvRms / toneRms - 1) < 0.10,
                 qPrintable(QString::number(f.spurs[0].uvRms)));
    }

    // Noise alone: the density integrates to the variance (one-sided scaling), there is no tone,
    // and noise makes no spur.
    void noiseAlone_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("segment");
        QTest::newRow("hann, default segment") << int(Window::Hann) << 0;
        QTest::newRow("blackman-harris, 1000 points") << int(Window::BlackmanHarris) << 1000;
        QTest::newRow("hann, 64 points, many segments") << int(Window::Hann) << 64;
    }
    void noiseAlone() {
        QFETCH(int, window);
        QFETCH(int, segment);
        const double rate = 500, sigma = 5;
        const auto codes = Run(40000, rate, sigma, {}, 11);
        std::string error;
        const auto s =
            kx::spectrum::AnalyseSpectrum(codes, Lsb, rate, {Window(window), segment}, error);
        QVERIFY2(s, error.c_str());
        const int expectedSegment = segment ? segment : 8192;
        QCOMPARE(s->density.segment, expectedSegment);
        QCOMPARE(s->density.segments, (40000 - expectedSegment) / (expectedSegment / 2) + 1);
        QCOMPARE(int(s->density.nvPerRtHz.size()), expectedSegment / 2 + 1);
        QCOMPARE(s->density.binHz, rate / expectedSegment);

        double variance = 0;
        for (double nv : s->density.nvPerRtHz)
            variance += std::pow(nv * 1e-9 / Lsb, 2) * s->density.binHz;
        QVERIFY2(std::abs(variance / (sigma * sigma + 1.0 / 12) - 1) < 0.05,
                 qPrintable(QString::number(variance)));
        QVERIFY(!s->figures.tone);
        QVERIFY2(s->figures.spurs.empty(), qPrintable(QString::number(s->figures.spurs.size())));

        const auto rows = kx::spectrum::DensityRows(s->density);
        QCOMPARE(rows.front().hz, 0.0);
        QCOMPARE(rows.back().hz, rate / 2);
        QCOMPARE(rows[5].nvPerRtHz, s->density.nvPerRtHz[5]);
    }

    // A strong tone with a second and a third harmonic, the third aliased back into the band,
    // and a small spur of its own: THD, SFDR and the spur list.
    void harmonicsAndSpurs() {
        const double rate = 1000, f0 = 210.3;
        // 2 f0 = 420.6 Hz; 3 f0 = 630.9 Hz folds to 369.1 Hz.
        const auto codes =
            Run(32768, rate, 1.0, {{f0, 1000}, {2 * f0, 10}, {3 * f0, 5}, {77.7, 2}}, 3);
        std::string error;
        const auto s = kx::spectrum::AnalyseSpectrum(codes, Lsb, rate, {}, error);
        QVERIFY2(s, error.c_str());
        const auto& tone = s->figures.tone;
        QVERIFY(tone);
        QVERIFY(std::abs(tone->hz - f0) < rate / 32768);
        const double thd = Db(std::hypot(10.0, 5.0) / 1000);  // -39.0 dB
        QVERIFY2(std::abs(tone->thdDb - thd) < 0.3, qPrintable(QString::number(tone->thdDb)));
        QVERIFY2(std::abs(tone->sfdrDb - 40.0) < 0.3, qPrintable(QString::number(tone->sfdrDb)));
        QVERIFY(tone->sinadDb < tone->snrDb);
        // The small spur is noise to SINAD.
        QVERIFY(std::abs(tone->sinadDb - Db(1000 / std::sqrt(125 + 4 + 1 + 1.0 / 12))) < 0.5);

        const auto& spurs = s->figures.spurs;
        QVERIFY(spurs.size() >= 4);
        const double expect[][2] = {{f0, 1000}, {420.6, 10}, {369.1, 5}, {77.7, 2}};
        for (size_t i = 0; i < 4; ++i) {
            QVERIFY2(std::abs(spurs[i].hz - expect[i][0]) < s->density.binHz,
                     qPrintable(QString("%1: %2 Hz").arg(i).arg(spurs[i].hz)));
            QVERIFY2(std::abs(spurs[i].uvRms / expect[i][1] - 1) < 0.1,
                     qPrintable(QString("%1: %2 uV").arg(i).arg(spurs[i].uvRms)));
        }
    }

    void refusals_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("segment");
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("lsb");
        QTest::addColumn<bool>("timeout");
        QTest::addColumn<QString>("says");
        QTest::newRow("63 codes") << 63 << 0 << 100.0 << Lsb << false << "at least 64";
        QTest::newRow("segment 15") << 100 << 15 << 100.0 << Lsb << false << "16 to 100";
        QTest::newRow("segment beyond the run")
            << 100 << 101 << 100.0 << Lsb << false << "16 to 100";
        QTest::newRow("rate 0") << 100 << 0 << 0.0 << Lsb << false << "update rate";
        QTest::newRow("rate nan") << 100 << 0 << qQNaN() << Lsb << false << "update rate";
        QTest::newRow("lsb 0") << 100 << 0 << 100.0 << 0.0 << false << "code step";
        QTest::newRow("time-out marker") << 100 << 0 << 100.0 << Lsb << true << "-2147483648";
    }
    void refusals() {
        QFETCH(int, count);
        QFETCH(int, segment);
        QFETCH(double, rate);
        QFETCH(double, lsb);
        QFETCH(bool, timeout);
        QFETCH(QString, says);
        auto codes = Run(size_t(count), 100, 3, {});
        if (timeout) codes[40] = -2147483648.0;
        std::string error;
        QVERIFY(!kx::spectrum::AnalyseSpectrum(codes, lsb, rate, {Window::Hann, segment}, error));
        QVERIFY2(QString::fromStdString(error).contains(says), error.c_str());
        QVERIFY(!kx::spectrum::ToneFigures(codes, lsb, rate));
    }

    void defaultsAndNames() {
        // The largest power of two not above a quarter of the run, at least 64.
        QCOMPARE(kx::spectrum::DefaultSegment(64), 64);
        QCOMPARE(kx::spectrum::DefaultSegment(1023), 128);
        QCOMPARE(kx::spectrum::DefaultSegment(1024), 256);
        QCOMPARE(kx::spectrum::DefaultSegment(1000000), 131072);
        QCOMPARE(kx::spectrum::ParseWindow("blackman-harris"),
                 std::optional(Window::BlackmanHarris));
        QCOMPARE(kx::spectrum::WindowName(Window::Hann), std::string("hann"));
        QVERIFY(!kx::spectrum::ParseWindow("Hann"));
    }
};

QTEST_GUILESS_MAIN(SpectrumTest)
#include "tst_spectrum.moc"
