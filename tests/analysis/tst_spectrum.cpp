#include <QtTest>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/spectrum.h"
#include "tests/support/relative.h"

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
        KX_VERIFY_RELATIVE(f.whiteNvPerRtHz, whiteNv, 0.10);

        QVERIFY(f.tone);
        QVERIFY(std::abs(f.tone->hz - toneHz) <= rate / count / 2);  // in the tone's bin
        KX_VERIFY_RELATIVE(f.tone->uvRms, toneRms, 0.05);
        QVERIFY(std::abs(f.tone->snrDb - Db(toneRms / noise)) < 1.0);
        // No distortion: SINAD is the SNR give or take the noise in the harmonics' bins.
        QVERIFY(std::abs(f.tone->sinadDb - f.tone->snrDb) < 0.5);
        QCOMPARE(f.tone->enob, (f.tone->sinadDb - 1.76) / 6.02);

        QVERIFY(!f.spurs.empty());
        QVERIFY(std::abs(f.spurs[0].hz - toneHz) < spectrum->density.binHz);
        KX_VERIFY_RELATIVE(f.spurs[0].uvRms, toneRms, 0.10);
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
        KX_VERIFY_RELATIVE(variance, sigma * sigma + 1.0 / 12, 0.05);
        QVERIFY(!s->figures.tone);
        QVERIFY2(s->figures.spurs.empty(), qPrintable(QString::number(s->figures.spurs.size())));

        const auto rows = kx::spectrum::DensityRows(s->density);
        QCOMPARE(rows.front().hz, 0.0);
        QCOMPARE(rows.back().hz, rate / 2);
        QCOMPARE(rows[5].nvPerRtHz, s->density.nvPerRtHz[5]);
    }

    // White noise on a wandering baseline (a random walk), which rises towards DC: that is
    // neither a tone nor a spur.
    void driftIsNoToneNorSpur() {
        std::mt19937_64 engine(2);
        std::normal_distribution<double> step(0.0, 0.05), noise(0.0, 5.0);
        std::vector<double> codes(100000);
        double x = 8388608;
        for (double& c : codes)
            c = std::round((x += step(engine)) + noise(engine));
        std::string error;
        const auto s = kx::spectrum::AnalyseSpectrum(codes, Lsb, 100, {}, error);
        QVERIFY2(s, error.c_str());
        QVERIFY(!s->figures.tone);
        QCOMPARE(s->figures.spurs.size(), size_t(0));
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
            QVERIFY(std::abs(spurs[i].hz - expect[i][0]) < s->density.binHz);
            KX_VERIFY_RELATIVE(spurs[i].uvRms, expect[i][1], 0.1);
        }
    }

    void refusals() {
        const auto refused = [](std::vector<double> codes, int segment, double rate, double lsb,
                                const char* says) {
            std::string error;
            return !kx::spectrum::AnalyseSpectrum(codes, lsb, rate, {Window::Hann, segment},
                                                  error) &&
                   error.find(says) != std::string::npos;
        };
        auto codes = Run(100, 100, 3, {});
        QVERIFY(refused({codes.begin(), codes.begin() + 63}, 0, 100, Lsb, "at least 64"));
        QVERIFY(refused(codes, 15, 100, Lsb, "16 to 100"));
        QVERIFY(refused(codes, 0, 0, Lsb, "update rate"));
        QVERIFY(refused(codes, 0, 100, 0, "code step"));
        codes[40] = -2147483648.0;
        QVERIFY(refused(codes, 0, 100, Lsb, "-2147483648"));
        QVERIFY(!kx::spectrum::ToneFigures(codes, Lsb, 100));
    }

    // The largest power of two not above a quarter of the run, at least 64.
    void defaultSegment() {
        QCOMPARE(kx::spectrum::DefaultSegment(64), 64);
        QCOMPARE(kx::spectrum::DefaultSegment(1023), 128);
        QCOMPARE(kx::spectrum::DefaultSegment(1024), 256);
        QCOMPARE(kx::spectrum::DefaultSegment(1000000), 131072);
    }
};

QTEST_GUILESS_MAIN(SpectrumTest)
#include "tst_spectrum.moc"
