#include <QtTest>

#include <cmath>
#include <numbers>
#include <numeric>
#include <random>
#include <vector>

#include "maths/spectrum.h"
#include "maths/spectrum_common.h"
#include "tests/support/relative.h"

using kx::spectrum::Window;

namespace {

constexpr double Lsb = 1e-6;  // one code is a microvolt here

struct Sine {
    double hz;
    double codesRms;
};

// Codes around mid-scale: Gaussian noise of sigma codes plus sines, rounded as a converter does.
// In noisePower, when given, the mean square of what is not the sines (noise and rounding).
std::vector<double> Run(size_t count, double rate, double sigma, const std::vector<Sine>& sines,
                        uint64_t seed = 7, double* noisePower = nullptr) {
    std::mt19937_64 engine(seed);
    std::normal_distribution<double> gauss(0.0, sigma);
    std::vector<double> codes(count), noise(count);
    for (size_t i = 0; i < count; ++i) {
        double x = 0;
        for (const Sine& s : sines)
            x += std::numbers::sqrt2 * s.codesRms *
                 std::sin(2 * std::numbers::pi * s.hz * static_cast<double>(i) / rate + 0.3);
        codes[i] = std::round(8388608.0 + x + gauss(engine));
        noise[i] = codes[i] - 8388608.0 - x;
    }
    if (noisePower) {
        const double mean = std::accumulate(noise.begin(), noise.end(), 0.0) / double(count);
        *noisePower = 0;
        for (double e : noise)
            *noisePower += (e - mean) * (e - mean) / double(count);
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
    // White noise plus one sine: the tone in its bin, its amplitude, the white level, the SNR and
    // ENOB both ways; no harmonic, and the tone is no spur.
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
        // Full scale over the noise's RMS times sqrt 12, in codes.
        QVERIFY(std::abs(f.tone->enobFullScale - std::log2(16777216 / (noise * std::sqrt(12.0)))) <
                0.1);
        QCOMPARE(f.tone->thdDb, -std::numeric_limits<double>::infinity());
        QVERIFY(f.spurs.empty());
    }

    // Tone figures at a 24-bit converter's limit: a -1 dBFS tone (or a 100 mV one) between bins
    // with 2 codes of noise. The SNR, ENOB and full-scale ENOB against the run's own truth (the
    // sine's power over the mean square of everything else), as a mean over seeds: no leakage
    // counts as noise, no bin left out biases the noise. No spur beside the tone, and the white
    // level not raised by it.
    void toneAtTheLimit_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("seeds");
        QTest::addColumn<double>("toneRms");  // codes
        QTest::addColumn<double>("snrTolerance");
        const double minus1dBFS = 8388608 * std::pow(10, -1 / 20.0) / std::numbers::sqrt2;
        QTest::newRow("-1 dBFS, 65536 codes") << 65536 << 1 << minus1dBFS << 0.5;
        QTest::newRow("100 mV on 2.56 V, 65536 codes")
            << 65536 << 1 << 0.1 / 305.17578125e-9 << 0.5;
        QTest::newRow("-1 dBFS, 30 seeds of 1024 codes") << 1024 << 30 << minus1dBFS << 0.05;
        QTest::newRow("-1 dBFS, 30 seeds of 4096 codes") << 4096 << 30 << minus1dBFS << 0.05;
    }
    void toneAtTheLimit() {
        QFETCH(int, count);
        QFETCH(int, seeds);
        QFETCH(double, toneRms);
        QFETCH(double, snrTolerance);
        const double rate = 1000, hz = 62.3;
        double snrBias = 0, enobBias = 0, enobFullScaleBias = 0;
        for (int seed = 1; seed <= seeds; ++seed) {
            double noise = 0;
            const auto codes = Run(size_t(count), rate, 2.0, {{hz, toneRms}}, seed, &noise);
            std::string error;
            const auto s = kx::spectrum::AnalyseSpectrum(codes, Lsb, rate, {}, error);
            QVERIFY2(s, error.c_str());
            const auto& tone = s->figures.tone;
            QVERIFY(tone);
            QVERIFY(std::abs(tone->hz - hz) < 0.01);
            const double snr = 10 * std::log10(toneRms * toneRms / noise);
            snrBias += (tone->snrDb - snr) / seeds;
            enobBias += (tone->enob - (snr - 1.76) / 6.02) / seeds;
            enobFullScaleBias +=
                (tone->enobFullScale - std::log2(16777216 / std::sqrt(12 * noise))) / seeds;
            QVERIFY2(s->figures.spurs.empty(),
                     qPrintable(QString::number(s->figures.spurs.size())));
            KX_VERIFY_RELATIVE(s->figures.whiteNvPerRtHz, std::sqrt(noise * 2 / rate) * 1e3,
                               count > 1024 ? 0.1 : 0.3);
        }
        QVERIFY2(std::abs(snrBias) < snrTolerance, qPrintable(QString::number(snrBias)));
        QVERIFY2(std::abs(enobBias) < 0.05, qPrintable(QString::number(enobBias)));
        QVERIFY2(std::abs(enobFullScaleBias) < 0.05,
                 qPrintable(QString::number(enobFullScaleBias)));
    }

    // 64 codes at 1365.33 Hz with a tone at 300 Hz, weak and strong, 30 seeds each: the tone is
    // found every time and is no spur; the white level, on average, is the noise's.
    void shortRunTone_data() {
        QTest::addColumn<double>("toneRms");
        QTest::newRow("20 uV") << 65.0;
        QTest::newRow("20 mV") << 65000.0;
    }
    void shortRunTone() {
        QFETCH(double, toneRms);
        const double rate = 4096.0 / 3, sigma = 17;
        double white = 0;
        for (uint64_t seed = 1; seed <= 30; ++seed) {
            const auto codes = Run(64, rate, sigma, {{300, toneRms}}, seed);
            std::string error;
            const auto s = kx::spectrum::AnalyseSpectrum(codes, Lsb, rate, {}, error);
            QVERIFY2(s, error.c_str());
            QVERIFY(s->figures.tone);
            QVERIFY(std::abs(s->figures.tone->hz - 300) < rate / 64);
            for (const auto& spur : s->figures.spurs)
                QVERIFY(std::abs(spur.hz - 300) > 4 * rate / 64);
            white += s->figures.whiteNvPerRtHz / 30;
        }
        KX_VERIFY_RELATIVE(white, std::sqrt(sigma * sigma + 1.0 / 12) * std::sqrt(2 / rate) * 1e3,
                           0.10);
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
        // Short runs of noise alone: no tone either, however the noise falls.
        for (uint64_t seed = 1; seed <= 100; ++seed) {
            const auto shortRun = Run(512, rate, sigma, {}, seed);
            QVERIFY(!kx::spectrum::ToneFigures(shortRun, Lsb, rate));
        }

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
    // and a small spur of its own: THD, SFDR and the spur list (the harmonics and the spur, not
    // the tone).
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
        QCOMPARE(spurs.size(), size_t(3));
        const double expect[][2] = {{420.6, 10}, {369.1, 5}, {77.7, 2}};
        for (size_t i = 0; i < 3; ++i) {
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

    // An odd segment overlaps by half of it rounded down, as scipy.signal.welch's default does:
    // bins against scipy's own figures for the same codes, and every bin against a plain DFT.
    void oddSegmentAsScipy() {
        std::vector<double> codes(200);
        for (int64_t i = 0; i < 200; ++i)
            codes[size_t(i)] = 8388608 + double((i * i * 7919) % 101 - 50);
        std::string error;
        const auto d = kx::spectrum::WelchDensity(codes, Lsb, 100, {Window::Hann, 45}, error);
        QVERIFY2(d, error.c_str());
        QCOMPARE(d->segments, 7);
        QCOMPARE(d->nvPerRtHz.size(), size_t(23));
        // scipy.signal.welch(x, fs=100, window="hann", nperseg=45), square root, in nV.
        const std::pair<size_t, double> scipy[] = {{0, 1872.1754416642839},
                                                   {1, 5168.710064632991},
                                                   {7, 3143.2270897863154},
                                                   {22, 2208.933284195398}};
        for (const auto& [bin, nv] : scipy)
            KX_VERIFY_RELATIVE(d->nvPerRtHz[bin], nv, 1e-9);

        for (size_t k = 0; k < 23; ++k) {
            double sum = 0;
            for (size_t start = 0; start + 45 <= 200; start += 23) {
                double mean = 0, re = 0, im = 0, energy = 0;
                for (size_t i = 0; i < 45; ++i)
                    mean += codes[start + i] / 45;
                for (size_t i = 0; i < 45; ++i) {
                    const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / 45);
                    const double a = 2 * std::numbers::pi * double(k * i) / 45;
                    re += (codes[start + i] - mean) * w * std::cos(a);
                    im -= (codes[start + i] - mean) * w * std::sin(a);
                    energy += w * w;
                }
                sum += (re * re + im * im) * (k == 0 ? 1 : 2) * Lsb * Lsb / (100 * energy);
            }
            KX_VERIFY_RELATIVE(d->nvPerRtHz[k], std::sqrt(sum / 7) * 1e9, 1e-9);
        }
    }

    // Long transforms are made as half-size complex ones, their bins then separated: the same
    // bins as FFTW's real transform, on one thread and (past a million points) on two.
    void halfComplexTransform_data() {
        QTest::addColumn<int>("n");
        QTest::newRow("65538 points") << 65538;
        QTest::newRow("2^20 + 2 points, two threads") << (1 << 20) + 2;
    }
    void halfComplexTransform() {
        QFETCH(int, n);
        using kx::spectrum::common::RealTransform;
        RealTransform real(size_t(n), 1, RealTransform::Method::Real);
        RealTransform half(size_t(n), 2, RealTransform::Method::HalfComplex);
        std::mt19937_64 engine(3);
        std::normal_distribution<double> gauss(0.0, 100.0);
        for (int i = 0; i < n; ++i)
            real.input()[i] = half.input()[i] =
                gauss(engine) + 1e3 * std::sin(2 * std::numbers::pi * 0.1234 * i);
        real.run();
        half.run();
        double largest = 0, worst = 0;
        for (size_t k = 0; k < real.bins(); ++k) {
            largest = std::max(largest, std::abs(real.bin(k)));
            worst = std::max(worst, std::abs(real.bin(k) - half.bin(k)));
        }
        QVERIFY2(worst < 1e-12 * largest, qPrintable(QString::number(worst / largest)));
    }

    // A long run gives the same figures whichever way it is handed over: with its codes freed as
    // they are taken in and its transform planned ahead on another thread, or kept by the caller.
    void longRunFiguresWhateverTheWay() {
        const double rate = 4096.0 / 3;
        const auto codes = Run((size_t(1) << 21) + 6, rate, 4, {{50, 20}});
        std::string error;
        const auto kept = kx::spectrum::AnalyseSpectrum(codes, Lsb, rate, {}, error);
        QVERIFY2(kept && kept->figures.tone, error.c_str());
        const auto given = kx::spectrum::AnalyseSpectrum(
            std::vector<int32_t>(codes.begin(), codes.end()), Lsb, rate, {}, error);
        QVERIFY2(given && given->figures.tone, error.c_str());
        QCOMPARE(given->density.nvPerRtHz, kept->density.nvPerRtHz);
        QCOMPARE(given->figures.whiteNvPerRtHz, kept->figures.whiteNvPerRtHz);
        QCOMPARE(given->figures.tone->snrDb, kept->figures.tone->snrDb);
        QCOMPARE(given->figures.tone->hz, kept->figures.tone->hz);
        QVERIFY(std::abs(kept->figures.tone->uvRms / 20 - 1) < 0.01);
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
