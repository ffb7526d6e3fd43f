#include <QtTest>

#include <array>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "tests/sim/sim_wire.h"

// The converter behind the port: calibration, transfer function, noise, faults, real time.
class SimConverterTest : public QObject {
    Q_OBJECT

private slots:
    void calibrationHoldsReadyThenIdles_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("adc");
        QTest::addColumn<double>("volts");
        QTest::addColumn<int>("zeroBefore");
        QTest::addColumn<int>("fullBefore");
        QTest::addColumn<int>("zeroAfter");
        QTest::addColumn<int>("fullAfter");
        QTest::addColumn<int>("modeAfter");
        QTest::newRow("internal zero-scale")
            << 0x84 << 0x07 << 0.5 << 0x812345 << 0x400000 << 0x800000 << 0x400000 << 0x81;
        QTest::newRow("internal full-scale")
            << 0x05 << 0x07 << 0.5 << 0x800000 << 0x123456 << 0x800000 << 0x400000 << 0x01;
        QTest::newRow("internal full-scale with an offset")
            << 0x05 << 0x07 << 0.5 << 0xA00000 << 0x123456 << 0xA00000 << 0x555555 << 0x01;
        QTest::newRow("system zero-scale, 10 mV")
            << 0x56 << 0x07 << 0.01 << 0x800000 << 0x400000 << 0x808000 << 0x400000 << 0x51;
        QTest::newRow("system zero-scale, -0.64 V")
            << 0x06 << 0x07 << -0.64 << 0x800000 << 0x400000 << 0x600000 << 0x400000 << 0x01;
        QTest::newRow("system full-scale, half of 2.56 V")
            << 0x87 << 0x07 << 1.28 << 0x800000 << 0x400000 << 0x800000 << 0x800000 << 0x81;
        QTest::newRow("system full-scale, 15 mV on 20 mV unipolar, channel 11")
            << 0x07 << 0xB8 << 0.015 << 0x800000 << 0x400000 << 0x800000 << 0x555555 << 0x01;
    }
    void calibrationHoldsReadyThenIdles() {
        QFETCH(int, mode);
        QFETCH(int, adc);
        QFETCH(double, volts);
        QFETCH(int, zeroBefore);
        QFETCH(int, fullBefore);
        QFETCH(int, zeroAfter);
        QFETCH(int, fullAfter);
        QFETCH(int, modeAfter);
        Bench b;
        b.board.setInput(adc >> 4, {volts, 0.0});
        Write(Mode, mode & 0xF8);
        Write(Zero, zeroBefore);
        Write(Full, fullBefore);
        Write(Adc, adc);
        Write(Mode, mode);
        const double written = b.board.simulatedTimeNanoseconds() / 1000.0 - 2;
        QCOMPARE(Read(Status) & 0xA0, 0xA0);  // RDY and CAL while it runs
        // Two update periods of filter word 45: 0x45 * D * 8 / 32768 s each.
        const double periodUs = 0x45 * ((mode & 0x80) ? 1 : 3) * 244.140625;
        const double fell = WaitReadyUs(b.board, 500000);
        QVERIFY(std::abs(fell - written - 2 * periodUs) <= 2.0);
        QCOMPARE(Read(Mode), modeAfter);
        QCOMPARE(Read(Status), 0x01);
        QCOMPARE(Read(Zero), zeroAfter);
        QCOMPARE(Read(Full), fullAfter);
        QVERIFY(Convert() != TimeoutMarker);  // reading the data register releases the line
        QVERIFY(!ReadyLow());
        QCOMPARE(b.board.resultsProduced(), uint64_t{0});
    }

    void transferFunction_data() {
        QTest::addColumn<int>("adc");
        QTest::addColumn<int>("zero");
        QTest::addColumn<int>("full");
        QTest::addColumn<double>("volts");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("clamped");
        const double lsbBipolar = 2.56 / 8388608, lsbUnipolar = 2.56 / 16777216;
        const int z = 0x800000, g = 0x400000;
        QTest::newRow("bipolar 2.56 V, zero") << 0x07 << z << g << 0.0 << 0x800000 << false;
        QTest::newRow("bipolar, one code below +FS")
            << 0x07 << z << g << 2.56 - lsbBipolar << 0xFFFFFF << false;
        QTest::newRow("bipolar, +FS clamps") << 0x07 << z << g << 2.56 << 0xFFFFFF << true;
        QTest::newRow("bipolar, -FS") << 0x07 << z << g << -2.56 << 0 << false;
        QTest::newRow("bipolar, below -FS clamps") << 0x07 << z << g << -3.0 << 0 << true;
        QTest::newRow("unipolar 2.56 V, zero") << 0x0F << z << g << 0.0 << 0 << false;
        QTest::newRow("unipolar, negative clamps") << 0x0F << z << g << -0.001 << 0 << true;
        QTest::newRow("unipolar, half scale") << 0x0F << z << g << 1.28 << 0x800000 << false;
        QTest::newRow("unipolar, one code below FS")
            << 0x0F << z << g << 2.56 - lsbUnipolar << 0xFFFFFF << false;
        QTest::newRow("unipolar, FS clamps") << 0x0F << z << g << 2.56 << 0xFFFFFF << true;
        QTest::newRow("unipolar 20 mV, half") << 0x08 << z << g << 0.01 << 0x800000 << false;
        QTest::newRow("bipolar 20 mV, -half") << 0x00 << z << g << -0.01 << 0x400000 << false;
        QTest::newRow("bipolar 320 mV, AIN7-AIN8") << 0xB4 << z << g << 0.08 << 0xA00000 << false;
        QTest::newRow("zero-scale offset of 10 mV")
            << 0x07 << 0x808000 << g << 0.01 << 0x800000 << false;
        QTest::newRow("half gain") << 0x07 << z << 0x200000 << 1.28 << 0xA00000 << false;
        QTest::newRow("double gain clamps") << 0x07 << z << 0x800000 << 1.28 << 0xFFFFFF << true;
    }
    void transferFunction() {
        QFETCH(int, adc);
        QFETCH(int, zero);
        QFETCH(int, full);
        QFETCH(double, volts);
        QFETCH(int, code);
        QFETCH(bool, clamped);
        Bench b;
        for (int ch = 0; ch < 16; ++ch)
            b.board.setInput(ch, {ch == adc >> 4 ? volts : 9.0, 0.0});
        Write(Mode, 0x00);
        Write(Zero, zero);
        Write(Full, full);
        Write(Adc, adc);
        Write(Mode, 0x83);
        QCOMPARE(Convert(), code);
        QCOMPARE((Read(Status) & 0x08) != 0, clamped);
    }

    void seedDecidesTheNoise() {
        const auto codes = [](uint64_t seed) {
            SimSettings s;
            s.seed = seed;
            Bench b(s);
            Write(Mode, 0x03);  // the power-on rate, where the noise figure holds
            std::vector<int32_t> out;
            for (int i = 0; i < 400; ++i)
                out.push_back(Convert());
            return out;
        };
        const auto a = codes(7);
        QCOMPARE(codes(7), a);
        QVERIFY(codes(8) != a);
        // 0.6 uV RMS on the bipolar 2.56 V range, where one code is 305 nV: about 2 codes.
        double sum = 0, squares = 0;
        for (int32_t c : a) {
            sum += c - 0x800000;
            squares += double(c - 0x800000) * (c - 0x800000);
        }
        const double mean = sum / a.size();
        const double rms = std::sqrt(squares / a.size() - mean * mean);
        QVERIFY2(std::abs(mean) < 0.5 && rms > 1.7 && rms < 2.3, qPrintable(QString::number(rms)));
    }

    // The noise figure is the RMS at 19.79 Hz (0x45, chopping enabled); it grows with the square
    // root of the update rate.
    void noiseGrowsWithRate_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("filter");
        QTest::addColumn<double>("factor");
        QTest::newRow("19.79 Hz") << 0x03 << 0x45 << 1.0;
        QTest::newRow("3x: chopping disabled") << 0x83 << 0x45 << std::sqrt(3.0);
        QTest::newRow("about 4x: 0x11, 80.3 Hz") << 0x03 << 0x11 << std::sqrt(0x45 / 17.0);
        QTest::newRow("69x: 0x03, 1365.33 Hz") << 0x83 << 0x03 << std::sqrt(0x45 * 3 / 3.0);
    }
    void noiseGrowsWithRate() {
        QFETCH(int, mode);
        QFETCH(int, filter);
        QFETCH(double, factor);
        SimSettings s;
        s.inputs[0] = {0.0, 30.0};  // about 100 codes: rounding does not matter
        Bench b(s);
        Write(Filter, filter);
        Write(Mode, mode);
        const int n = 3000;
        double sum = 0, squares = 0;
        for (int i = 0; i < n; ++i) {
            const double uv = (Convert() - 0x800000) * 0.30517578125;
            sum += uv;
            squares += uv * uv;
        }
        const double rms = std::sqrt((squares - sum * sum / n) / (n - 1));
        // Within 5 %: about four standard errors of an RMS over 3000 samples.
        QVERIFY2(std::abs(rms / (30 * factor) - 1) < 0.05, qPrintable(QString::number(rms)));
    }

    void settingsChooseInputsAndFaults() {
        SimSettings s;
        s.inputs[0] = {0.25, 0.0};
        Bench b(s);
        Write(Mode, 0x03);
        QCOMPARE(Convert(), 0x8C8000);  // 2^23 + 0.25 / 2.56 * 2^23
        s.faults = {Fault::NoBoard};
        Bench gone(s);
        QVERIFY(gone.board.faultOn(Fault::NoBoard));
        QCOMPARE(PortIn(0x379), int16_t{0x7F});
    }

    void faultsGiveTheirFailure_data() {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("ready-stuck") << Fault::ReadyStuck;
        QTest::newRow("ignore-writes") << Fault::IgnoreWrites;
        QTest::newRow("no-board") << Fault::NoBoard;
    }
    void faultsGiveTheirFailure() {
        QFETCH(Fault, fault);
        Bench b;
        b.board.setFault(fault, true);
        Write(Mode, 0x83);
        if (fault == Fault::IgnoreWrites) {
            QCOMPARE(Read(Mode), 0x01);
            Write(Filter, 0x10);
            QCOMPARE(Read(Filter), 0x45);
        } else {
            QCOMPARE(Convert(), TimeoutMarker);
            if (fault == Fault::NoBoard) {
                QCOMPARE(PortIn(0x379), int16_t{0x7F});
                QCOMPARE(Read(Mode), 0xFF);
            }
        }
        b.board.setFault(fault, false);
        QVERIFY(!b.board.faultOn(fault));
        HardwareReset();
        Write(Mode, 0x83);
        QCOMPARE(Read(Mode), 0x83);
        QVERIFY(Convert() != TimeoutMarker);
    }

    // The fault is on from the moment the fourth result is made: a board that vanishes then
    // takes the fourth result with it; a stuck ready line still lets it be read.
    void faultArmedAfterTheFourthResult_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("goodReads");
        QTest::newRow("ready-stuck") << Fault::ReadyStuck << 4;
        QTest::newRow("ignore-writes") << Fault::IgnoreWrites << 6;
        QTest::newRow("no-board") << Fault::NoBoard << 3;
    }
    void faultArmedAfterTheFourthResult() {
        QFETCH(Fault, fault);
        QFETCH(int, goodReads);
        Bench b;
        Write(Mode, 0x83);
        b.board.armFaultAfterResults(fault, 4);
        for (int i = 0; i < goodReads; ++i)
            QVERIFY(Convert() != TimeoutMarker);
        if (fault == Fault::IgnoreWrites) {
            Write(Adc, 0x0F);
            QCOMPARE(Read(Adc), 0x07);
        } else {
            QCOMPARE(Convert(), TimeoutMarker);
        }
        QVERIFY(b.board.faultOn(fault));
        if (fault == Fault::ReadyStuck) QCOMPARE(b.board.resultsProduced(), uint64_t{4});
        if (fault == Fault::NoBoard) QCOMPARE(PortIn(0x379), int16_t{0x7F});
    }

    void aResultLandingMidReadDoesNotCorruptTheWord() {
        // Inputs that give exact codes on the bipolar 2.56 V range, differing in every nibble.
        const auto volts = [](int code) { return (code - 0x800000) * 2.56 / 8388608; };
        Bench b;
        b.board.setInput(0, {volts(0xB23456), 0.0});
        Write(Mode, 0x00);
        Write(Filter, 0x03);
        Write(Mode, 0x83);
        QVERIFY(WaitReadyUs(b.board) > 0);
        WriteSerial(0x44, 0x378, 8);
        PortOut(0x378, 0x1A);
        int word = 0;
        for (int bit = 23; bit >= 0; --bit) {
            if (bit == 11) {
                b.board.setInput(0, {volts(0x4DCBA9), 0.0});
                b.board.advanceTime(800000);  // more than one 732 us period
                QCOMPARE(b.board.resultsProduced(), uint64_t{2});
            }
            PortOut(0x378, 0x12);
            if (PortIn(0x379) & 0x10) word |= 1 << bit;
            PortOut(0x378, 0x1A);
        }
        QCOMPARE(word, 0xB23456);
        QVERIFY(ReadyLow());  // the newer result waits
        QCOMPARE(Convert(), 0x4DCBA9);
        QVERIFY(!ReadyLow());
        QCOMPARE(b.board.resultsReplaced(), uint64_t{0});
    }

    void realTimeModeTakesWallTimeAndKeepsConverting() {
        using Clock = std::chrono::steady_clock;
        SimSettings s;
        s.speed = kx::sim::Speed::RealTime;
        s.accessTimeMicroseconds = 20;
        Bench b(s);
        const auto start = Clock::now();
        for (int i = 0; i < 2000; ++i)
            PortIn(0x379);
        const auto elapsed = Clock::now() - start;
        QVERIFY(elapsed >= std::chrono::milliseconds(36));  // 40 ms, less the pacing slack

        Write(Mode, 0x83);  // a result every 16.8 ms
        const uint64_t before = b.board.simulatedTimeNanoseconds();
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        PortIn(0x379);
        // Up to 4 ms of pacing slack may have been ahead of the wall clock before the sleep.
        QVERIFY(b.board.simulatedTimeNanoseconds() - before >= 56'000'000);
        QVERIFY(b.board.resultsProduced() >= 3);
    }
};

QTEST_GUILESS_MAIN(SimConverterTest)
#include "tst_sim_converter.moc"
