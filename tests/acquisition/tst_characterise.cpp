#include <QtTest>

#include <cmath>
#include <vector>

#include "acquisition/characterise.h"
#include "maths/spectrum.h"
#include "tests/support/relative.h"
#include "tests/support/scripted_messages.h"
#include "tests/support/sim_bench.h"

using kx::characterise::StepResult;

namespace {

// The simulated board's default input noise at 19.79 Hz, and the rate it is stated at.
constexpr double NoiseUv = 0.6;
constexpr double NoiseRate = 32768.0 / (8 * 0x45 * 3);

// RMS in codes the noise model implies, with the rounding's 1/12 code^2.
double ModelRmsCodes(double rate, double lsbUv) {
    const double uv = NoiseUv * std::sqrt(rate / NoiseRate);
    return std::sqrt(std::pow(uv / lsbUv, 2) + 1.0 / 12);
}

}  // namespace

class CharacteriseTest : public QObject {
    Q_OBJECT

private slots:
    // A 20 uV tone on channel 0 at 1365.33 Hz, read through ReadData: at 50 Hz, and 50 Hz below
    // the update rate, where sampling folds it back to 50 Hz.
    void spectrumOfSimulatedBoard_data() {
        QTest::addColumn<double>("toneHz");
        QTest::newRow("50 Hz") << 50.0;
        QTest::newRow("aliased from 1315.33 Hz") << 4096.0 / 3 - 50;
    }
    void spectrumOfSimulatedBoard() {
        QFETCH(double, toneHz);
        SimBench bench;
        bench.board.addTone({0, toneHz, 20.0});
        WriteRegister(0x02, 8, 0x07);  // AIN1 - AINCOM, bipolar, 2.56 V
        WriteRegister(0x03, 8, 0x03);
        WriteRegister(0x01, 8, 0x83);  // chopping disabled, continuous
        const double rate = *kx::characterise::UpdateRateOf(ReadRegister(0x41, 8), 3);
        QCOMPARE(rate, 4096.0 / 3);

        ReadData reader = ReadData::ForDataRegister();
        std::vector<double> codes(16384);
        for (double& c : codes)
            c = reader.Read();
        const double lsb = 2.5 * 1.024 * 2 / 16777216;
        std::string error;
        const auto s = kx::spectrum::AnalyseSpectrum(codes, lsb, rate, {}, error);
        QVERIFY2(s, error.c_str());
        const double noiseUv = ModelRmsCodes(rate, lsb * 1e6) * lsb * 1e6;
        const double whiteNv = noiseUv * 1e3 * std::sqrt(2 / rate);
        KX_VERIFY_RELATIVE(s->figures.whiteNvPerRtHz, whiteNv, 0.10);
        const auto& tone = s->figures.tone;
        QVERIFY(tone);
        QVERIFY(std::abs(tone->hz - 50) <= rate / codes.size() / 2);  // in the 50 Hz bin
        KX_VERIFY_RELATIVE(tone->uvRms, 20, 0.05);
        QVERIFY(std::abs(tone->snrDb - 20 * std::log10(20 / noiseUv)) < 1);
    }

    // Two ranges by two rates, 1000 codes each: the RMS noise the model implies, within 10 %,
    // and the registers as asked.
    void sweepFollowsNoiseModel() {
        SimBench bench;
        ScriptedMessages messages;
        const std::atomic<bool> stop{false};
        struct Point {
            int range;
            int filter;
            double lsbUv;
            double rate;
        };
        const Point points[] = {{7, 0x03, 0.30517578125, 4096.0 / 3},
                                {7, 0x0C, 0.30517578125, 4096.0 / 12},
                                {5, 0x03, 0.0762939453125, 4096.0 / 3},
                                {5, 0x0C, 0.0762939453125, 4096.0 / 12}};
        for (const Point& p : points) {
            kx::characterise::SweepSetting setting;
            setting.rangeCode = p.range;
            setting.chopEnabled = false;
            setting.filterWord = p.filter;
            int progress = 0;
            const auto outcome = kx::characterise::SweepPoint(
                kx::ProgramLink(), setting, stop,
                [&](int read, int count) { progress = read == count ? read : -1; });
            QCOMPARE(int(outcome.result), int(StepResult::Done));
            QCOMPARE(progress, 1000);
            QCOMPARE(ReadRegister(0x42, 8), p.range);
            QCOMPARE(ReadRegister(0x43, 8), p.filter);
            QCOMPARE(ReadRegister(0x41, 8), 0x83);
            const auto& row = *outcome.row;
            QCOMPARE(row.codes, 1000);
            QCOMPARE(row.rateHz, p.rate);
            const double expected = ModelRmsCodes(p.rate, p.lsbUv);
            KX_VERIFY_RELATIVE(row.rmsCodes, expected, 0.10);
            // The noise analysis's LSB, rounded to single precision.
            KX_VERIFY_RELATIVE(row.rmsMicrovolts, row.rmsCodes * p.lsbUv, 1e-6);
            QVERIFY(row.pkPkMicrovolts > 4 * row.rmsMicrovolts);
            QCOMPARE(*row.effectiveResolutionBits, std::log2(16777216 / row.rmsCodes));
        }
        QVERIFY(messages.shown.empty());
    }

    // A write not taken, a converter never ready, a stop: no row, and the screens' message.
    void sweepFailures() {
        using kx::sim::Fault;
        const std::tuple<int, StepResult, std::string, kx::Icon> cases[] = {
            {int(Fault::IgnoreWrites), StepResult::ProgrammingFailed, "Error Programming KX3105",
             kx::Icon::Warning},
            {int(Fault::ReadyStuck), StepResult::TimedOut, "Error Reading Data from KX3105",
             kx::Icon::None},
            {-1, StepResult::Stopped, "", kx::Icon::None}};
        for (const auto& [fault, result, message, icon] : cases) {
            SimBench bench;
            ScriptedMessages messages;
            if (fault >= 0) bench.board.setFault(Fault(fault), true);
            const std::atomic<bool> stop{fault < 0};
            const auto outcome = kx::characterise::SweepPoint(kx::ProgramLink(), {}, stop);
            QCOMPARE(outcome.result, result);
            QCOMPARE(outcome.message, message);
            QVERIFY(!outcome.row);
            const std::vector<kx::Message> shown{
                {message, kx::ApplicationTitle, icon, kx::Buttons::Ok}};
            QCOMPARE(messages.shown, message.empty() ? std::vector<kx::Message>{} : shown);
        }
    }

    // Five lines of four codes with the converter stuck after result 10: two whole lines, one
    // cut short by the time-out, two with no code; every line kept, nothing shown.
    void logLinesAcrossATimeOut() {
        SimBench bench;
        bench.board.setInput(0, {0.001, NoiseUv});
        bench.board.armFaultAfterResults(kx::sim::Fault::ReadyStuck, 10);
        ScriptedMessages messages;
        WriteRegister(0x01, 8, 0x03);  // continuous, 19.79 Hz
        const auto scaling = kx::Scaling::Shown(0x07, 2.5f);
        const std::atomic<bool> go{false};
        std::vector<kx::characterise::LogLine> lines;
        for (int i = 0; i < 5; ++i)
            lines.push_back(*kx::characterise::TakeLogLine(kx::ProgramLink(), 4, scaling, go));

        const int codes[] = {4, 4, 2, 0, 0};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(lines[i].codes, codes[i]);
            QCOMPARE(lines[i].status, std::string(i < 2 ? "ok" : "Error Reading Data from KX3105"));
            QCOMPARE(lines[i].meanCode.has_value(), codes[i] > 0);
            QCOMPARE(lines[i].rmsCodes.has_value(), codes[i] > 1);
            if (i > 0) QVERIFY(lines[i].time >= lines[i - 1].time);
        }
        for (int i = 0; i < 3; ++i)
            QVERIFY2(std::abs(*lines[i].volts - 0.001) < 1e-6,
                     qPrintable(QString::number(*lines[i].volts)));
        QVERIFY(messages.shown.empty());

        const std::atomic<bool> stop{true};
        QVERIFY(!kx::characterise::TakeLogLine(kx::ProgramLink(), 4, scaling, stop));
    }
};

QTEST_GUILESS_MAIN(CharacteriseTest)
#include "tst_characterise.moc"
