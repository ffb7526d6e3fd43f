#include <QtTest>

#include <array>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "tests/sim/sim_wire.h"

// The board as a printer port: timing, registers, pins, transfers, the ready line, resets.
class SimulatedBoardTest : public QObject {
    Q_OBJECT

private slots:
    void answersAsOnePrinterPort() {
        Bench b;
        PortInfo info{12, 0, 0};
        QCOMPARE(b.board.GetParallelPortCount(), 1);
        QCOMPARE(b.board.ClaimParallelPort(1, true), int16_t{1});
        QCOMPARE(b.board.GetParallelPortInfo(1, info), int16_t{1});
        QCOMPARE(info.baseAddress, 0x378);
        QCOMPARE(b.board.GetParallelPortInfo(2, info), int16_t{0});
        QCOMPARE(b.board.describe(), std::string("simulated KX3105 board"));
        // Idle lines: data out high, no result waiting, other inputs floating.
        QCOMPARE(PortIn(0x379), int16_t{0x7F});
        PortOut(0x278, 0x18);  // a reset pulse on another port reaches nothing
        QCOMPARE(PortIn(0x278), int16_t{0xFF});
        QCOMPARE(PortIn(0x37B), int16_t{0xFF});
        PortOut(0x37A, 0x04);
        QCOMPARE(PortIn(0x37A), int16_t{0x04});
        Write(Mode, 0x83);
        QCOMPARE(Read(Mode), 0x83);
    }

    void accessesAdvanceSimulatedTime_data() {
        QTest::addColumn<double>("accessUs");
        QTest::newRow("default 2 us") << 2.0;
        QTest::newRow("0.5 us") << 0.5;
        QTest::newRow("10 us") << 10.0;
    }
    void accessesAdvanceSimulatedTime() {
        QFETCH(double, accessUs);
        SimSettings s;
        s.accessTimeMicroseconds = accessUs;
        Bench b(s);
        QCOMPARE(Read(Mode), 0x01);  // 25 writes for the command, 1 + 3 * 8 to read
        QCOMPARE(PortIn(0x300), int16_t{0xFF});
        QCOMPARE(b.board.accessCount(), uint64_t{51});
        QCOMPARE(b.board.simulatedTimeNanoseconds(), uint64_t(std::llround(51 * accessUs * 1000)));
    }

    void writableRegistersReadBack_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("mode");  // written first
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("readBack");
        const auto row = [](const char* name, int which, int mode, int value, int readBack) {
            QTest::newRow(name) << which << mode << value << readBack;
        };
        row("mode, power-down, every option bit", 1, 0x00, 0xF8, 0xF8);
        row("mode, continuous, chopping disabled", 1, 0x00, 0x83, 0x83);
        row("mode, idle, buffered", 1, 0x00, 0x79, 0x79);
        row("ADC control AIN7-AIN8 unipolar 20 mV", 2, 0x00, 0xB8, 0xB8);
        row("ADC control AIN5 unipolar 2.56 V", 2, 0x00, 0x4F, 0x4F);
        row("filter FF", 3, 0x00, 0xFF, 0xFF);
        row("filter 03", 3, 0x00, 0x03, 0x03);
        row("zero-scale", 5, 0x00, 0x123456, 0x123456);
        row("zero-scale all ones (25 ones in a row)", 5, 0x00, 0xFFFFFF, 0xFFFFFF);
        row("full-scale", 6, 0x00, 0xABCDEF, 0xABCDEF);
        row("full-scale all ones", 6, 0x08, 0xFFFFFF, 0xFFFFFF);
        row("zero-scale refused outside power-down", 5, 0x01, 0x7FFFF0, 0x800000);
        row("full-scale refused outside power-down", 6, 0x03, 0x100000, 0x400000);
        row("I/O control, both pins outputs high", 7, 0x00, 0xF3, 0xF3);
        row("I/O control, outputs low, spare bits", 7, 0x00, 0xFC, 0xFC);
    }
    void writableRegistersReadBack() {
        QFETCH(int, which);
        QFETCH(int, mode);
        QFETCH(int, value);
        QFETCH(int, readBack);
        Bench b;
        Write(Mode, mode);
        const Reg reg = std::array{Status, Mode, Adc, Filter, Data, Zero, Full, Io}[which];
        Write(reg, value);
        QCOMPARE(Read(reg), readBack);
        // Nothing else moved: no reset from long runs of ones, the interface still in step.
        QCOMPARE(Read(Mode), which == 1 ? value : mode);
        QCOMPARE(Read(Filter), which == 3 ? value : 0x45);
    }

    void inputPinsReadTheirLevels_data() {
        QTest::addColumn<int>("written");
        QTest::addColumn<bool>("p1High");
        QTest::addColumn<bool>("p2High");
        QTest::addColumn<int>("readBack");
        QTest::newRow("both inputs, both low") << 0x03 << false << false << 0x00;
        QTest::newRow("both inputs, P1 high") << 0x00 << true << false << 0x01;
        QTest::newRow("both inputs high, spare bits kept") << 0xCC << true << true << 0xCF;
        QTest::newRow("P1 output high, P2 input low") << 0x13 << false << false << 0x11;
        QTest::newRow("P2 output low, P1 input high") << 0x21 << true << true << 0x21;
        QTest::newRow("both outputs ignore the pins") << 0x32 << true << false << 0x32;
    }
    void inputPinsReadTheirLevels() {
        QFETCH(int, written);
        QFETCH(bool, p1High);
        QFETCH(bool, p2High);
        QFETCH(int, readBack);
        Bench b;
        b.board.setPinInputs(p1High, p2High);
        Write(Io, written);
        QCOMPARE(Read(Io), readBack);
    }

    // Transfers the converter ignores still take their bits, so the next one is understood.
    void ignoredTransfersKeepTheInterfaceInStep_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("expectedRead");  // -1: the transfer writes 0xABCDEF
        QTest::newRow("write of the status register") << 0x00 << 8 << -1;
        QTest::newRow("write of the data register") << 0x04 << 24 << -1;
        QTest::newRow("read of register 12") << 0x4C << 16 << 0xFFFF;
        QTest::newRow("read of register 13") << 0x4D << 16 << 0xFFFF;
        QTest::newRow("command with bit 7 set, no data") << 0x81 << 0 << -1;
        QTest::newRow("unused address 9, read") << 0x49 << 8 << 0xFF;
    }
    void ignoredTransfersKeepTheInterfaceInStep() {
        QFETCH(int, command);
        QFETCH(int, bits);
        QFETCH(int, expectedRead);
        Bench b;
        WriteSerial(command, 0x378, 8);
        if (expectedRead >= 0)
            QCOMPARE(ReadSerial(static_cast<int16_t>(bits), 0x378), expectedRead);
        else
            WriteSerial(0xABCDEF, 0x378, static_cast<int16_t>(bits));
        QCOMPARE(Read(Status), 0x81);
        QCOMPARE(Read(Data), 0);
        Write(Adc, 0x4F);
        QCOMPARE(Read(Adc), 0x4F);
    }

    void conversionsFollowTheMode_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("results");  // conversions readable out of two attempts
        QTest::addColumn<int>("modeAfterFirst");
        QTest::newRow("continuous") << 0x03 << 2 << 0x03;
        QTest::newRow("continuous, chopping disabled") << 0x83 << 2 << 0x83;
        QTest::newRow("single conversion returns to idle") << 0x42 << 1 << 0x41;
        QTest::newRow("idle") << 0x01 << 0 << 0;
        QTest::newRow("power-down") << 0x00 << 0 << 0;
        QTest::newRow("power-down, oscillator stopped") << 0x08 << 0 << 0;
    }
    void conversionsFollowTheMode() {
        QFETCH(int, mode);
        QFETCH(int, results);
        QFETCH(int, modeAfterFirst);
        Bench b;
        Write(Mode, mode);
        const int32_t first = Convert();
        if (results == 0) {
            QCOMPARE(first, TimeoutMarker);
            QCOMPARE(b.board.resultsProduced(), uint64_t{0});
            return;
        }
        // 0 V with default noise: a few codes around bipolar zero.
        QVERIFY(std::abs(first - 0x800000) < 16);
        QCOMPARE(Read(Mode), modeAfterFirst);
        const int32_t second = Convert();
        QCOMPARE(second != TimeoutMarker, results == 2);
    }

    // A read whose ready wait ran out still expects its clocks: the next transfer is taken as
    // part of it until the converter is reset, as the wire gives it no other way to know.
    void aTimedOutReadStillWaitsForItsClocks() {
        Bench b;
        Write(Mode, 0x08);
        QCOMPARE(Convert(), TimeoutMarker);
        QCOMPARE(Read(Mode), 0x00);         // sixteen clocks of the stale data word
        QCOMPARE(ReadSerial(8, 0x378), 0);  // its last eight
        QCOMPARE(Read(Mode), 0x08);
        QCOMPARE(Read(Filter), 0x45);
    }

    void readyLineFollowsTheUpdateRate_data() {
        QTest::addColumn<int>("filter");
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("periodUs");
        QTest::addColumn<double>("rateHz");
        QTest::addColumn<int>("results");
        // 32768 / (8 * SF * D): D = 1 with chopping disabled, 3 with it enabled.
        QTest::newRow("SF 03, chopping disabled") << 0x03 << 0x83 << 732.421875 << 1365.33 << 100;
        QTest::newRow("SF FF, chopping enabled") << 0xFF << 0x03 << 186767.578125 << 5.35 << 8;
    }
    void readyLineFollowsTheUpdateRate() {
        QFETCH(int, filter);
        QFETCH(int, mode);
        QFETCH(double, periodUs);
        QFETCH(double, rateHz);
        QFETCH(int, results);
        Bench b;
        Write(Mode, 0x00);
        Write(Filter, filter);
        Write(Mode, mode);
        // The write is taken one access (2 us) before WriteReg returns; a poll sees the ready
        // line fall within one access.
        const double written = b.board.simulatedTimeNanoseconds() / 1000.0 - 2;
        double previous = written;
        double first = 0;
        for (int i = 0; i < results; ++i) {
            // Fast mode: a busy poll moves the clock on, so the wait is at most two polls.
            const uint64_t accesses = b.board.accessCount();
            const double fell = WaitReadyUs(b.board);
            QVERIFY2(fell >= 0, "no result");
            QVERIFY(b.board.accessCount() - accesses <= 2);
            QVERIFY2(std::abs(fell - previous - periodUs) <= 2.0, qPrintable(QString::number(i)));
            if (i == 0) first = fell;
            previous = fell;
            QVERIFY(Convert() != TimeoutMarker);
            QVERIFY(!ReadyLow());  // the read takes the result and the line goes back up
        }
        const double measuredRate = 1e6 * (results - 1) / (previous - first);
        QVERIFY2(std::abs(measuredRate - rateHz) < 0.05, qPrintable(QString::number(measuredRate)));
        QCOMPARE(b.board.resultsReplaced(), uint64_t{0});
    }

    void unreadResultsAreReplaced_data() {
        QTest::addColumn<int>("periods");
        QTest::addColumn<int>("armAt");  // 0: none
        QTest::addColumn<int>("produced");
        QTest::newRow("one result") << 1 << 0 << 1;
        QTest::newRow("three results") << 3 << 0 << 3;
        QTest::newRow("a long wait") << 100000 << 0 << 100000;
        QTest::newRow("a long wait stops at an armed ready-stuck") << 100000 << 500 << 500;
    }
    void unreadResultsAreReplaced() {
        QFETCH(int, periods);
        QFETCH(int, armAt);
        QFETCH(int, produced);
        Bench b;
        b.board.setInput(0, {1.0, 0.0});
        Write(Mode, 0x00);
        Write(Filter, 0x03);
        Write(Mode, 0x83);
        if (armAt) b.board.armFaultAfterResults(Fault::ReadyStuck, uint64_t(armAt));
        b.board.advanceTime(uint64_t(periods) * 732421 + 732421 / 2);
        QCOMPARE(b.board.resultsProduced(), uint64_t(produced));
        QCOMPARE(b.board.resultsReplaced(), uint64_t(produced - 1));
        QCOMPARE(Convert(), 0xB20000);  // the newest result: 1.0 V on the bipolar 2.56 V range
    }

    void modeOrFilterWriteDropsAWaitingResult_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("value");
        QTest::newRow("mode") << 1 << 0x03;
        QTest::newRow("filter") << 3 << 0x45;
    }
    void modeOrFilterWriteDropsAWaitingResult() {
        QFETCH(int, which);
        QFETCH(int, value);
        Bench b;
        Write(Mode, 0x03);
        QVERIFY(WaitReadyUs(b.board) > 0);
        Write(which == 1 ? Mode : Filter, value);
        // Timing starts again at the write: the next result is a whole period away.
        const double written = b.board.simulatedTimeNanoseconds() / 1000.0;
        QVERIFY(!ReadyLow());
        QVERIFY(std::abs(WaitReadyUs(b.board) - written - 0x45 * 3 * 244.140625) <= 2.0);
    }

    void resetsRestorePowerOnValues_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("power-on, no reset") << 0;
        QTest::newRow("hardware reset") << 1;
        QTest::newRow("software reset") << 2;
        QTest::newRow("32 ones with the reset line high") << 3;
    }
    void resetsRestorePowerOnValues() {
        QFETCH(int, kind);
        Bench b;
        if (kind != 0) {
            Write(Mode, 0x00);
            Write(Zero, 0x123456);
            Write(Full, 0x654321);
            Write(Filter, 0x20);
            Write(Adc, 0xB8);
            Write(Io, 0x33);
            Write(Mode, 0x83);
            QVERIFY(WaitReadyUs(b.board) > 0);
        }
        if (kind == 1) HardwareReset();
        if (kind == 2) {
            for (int i = 0; i < 32; ++i) {
                PortOut(0x378, 0x13);
                PortOut(0x378, 0x19);
            }
            PortOut(0x378, 0x1A);
            WriteSerial(0x0C, 0x378, 8);
            WriteSerial(0, 0x378, 16);
            WriteSerial(0x0D, 0x378, 8);
            WriteSerial(0, 0x378, 16);
        }
        if (kind == 3) {
            // A 0 bit first: ones ending the last word would otherwise count towards the 32.
            PortOut(0x378, 0x12);
            PortOut(0x378, 0x1A);
            for (int i = 0; i < 32; ++i) {
                PortOut(0x378, 0x13);
                PortOut(0x378, 0x1B);
            }
            PortOut(0x378, 0x1A);
        }
        QVERIFY(!ReadyLow());
        QCOMPARE(Read(Mode), 0x01);
        QCOMPARE(Read(Adc), 0x07);
        QCOMPARE(Read(Filter), 0x45);
        QCOMPARE(Read(Io), 0x00);
        QCOMPARE(Read(Zero), 0x800000);
        QCOMPARE(Read(Full), 0x400000);
        QCOMPARE(Read(Status), 0x81);
        Write(Mode, 0x83);
        QCOMPARE(Read(Mode), 0x83);
    }

    void statusRegisterBits_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("volts");
        QTest::addColumn<bool>("readResult");
        QTest::addColumn<int>("status");
        QTest::newRow("power-down, oscillator running") << 0x00 << 0.0 << false << 0x81;
        QTest::newRow("power-down, oscillator stopped") << 0x08 << 0.0 << false << 0x80;
        QTest::newRow("idle, oscillator bit set") << 0x09 << 0.0 << false << 0x81;
        QTest::newRow("result waiting") << 0x03 << 0.0 << false << 0x01;
        QTest::newRow("clamped result waiting") << 0x03 << 3.0 << false << 0x09;
        QTest::newRow("clamped result read") << 0x03 << 3.0 << true << 0x89;
        QTest::newRow("calibrating") << 0x06 << 0.0 << false << 0xA1;
    }
    void statusRegisterBits() {
        QFETCH(int, mode);
        QFETCH(double, volts);
        QFETCH(bool, readResult);
        QFETCH(int, status);
        Bench b;
        b.board.setInput(0, {volts, 0.0});
        Write(Mode, mode);
        if ((mode & 7) == 3) QVERIFY(WaitReadyUs(b.board) > 0);
        if (readResult) QVERIFY(Convert() != TimeoutMarker);
        QCOMPARE(Read(Status), status);
    }
};

QTEST_GUILESS_MAIN(SimulatedBoardTest)
#include "tst_simulated_board.moc"
