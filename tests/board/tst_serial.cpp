#include <QtTest>

#include "board/serial.h"
#include "tests/support/board_fixture.h"

using kx::PortAccess;

namespace {
PortAccess W(int value) {
    return {PortAccess::Write, 0x378, value};
}
PortAccess R(int value) {
    return {PortAccess::Read, 0x379, value};
}
}  // namespace

class SerialTest : public QObject {
    Q_OBJECT

private slots:
    void writeSerialClocksOutEachBitInThreeWrites() {
        RecordingBoard board;
        WriteSerial(0x41, 0x378, 8);
        const std::vector<int> expected{0x1A, 0x12, 0x1A,  // 0
                                        0x1A, 0x13, 0x1B,  // 1
                                        0x1A, 0x12, 0x1A, 0x1A, 0x12, 0x1A,
                                        0x1A, 0x12, 0x1A,                    // 000
                                        0x1A, 0x12, 0x1A, 0x1A, 0x12, 0x1A,  // 00
                                        0x1A, 0x13, 0x1B,                    // 1
                                        0x1A};
        QCOMPARE(board.port.accesses.size(), size_t{25});
        QCOMPARE(board.dataWrites(), expected);
    }

    void writeSerialSendsOnlyTheLowBits_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("sentAs");
        QTest::newRow("high bits ignored") << 0x1FF << 8 << 0xFF;
        QTest::newRow("16-bit zero") << 0 << 16 << 0;
        QTest::newRow("24-bit word") << 0xA5C3F0 << 24 << 0xA5C3F0;
        QTest::newRow("negative value, 8 bits") << -1 << 8 << 0xFF;
    }
    void writeSerialSendsOnlyTheLowBits() {
        QFETCH(int, value);
        QFETCH(int, bits);
        QFETCH(int, sentAs);
        RecordingBoard board;
        WriteSerial(value, 0x378, static_cast<int16_t>(bits));
        QCOMPARE(board.dataWrites(), SerialWordWrites(static_cast<uint32_t>(sentAs), bits));
    }

    void writeSerialWithNoBitsMakesOnlyTheClosingWrite_data() {
        QTest::addColumn<int>("bits");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -3;
    }
    void writeSerialWithNoBitsMakesOnlyTheClosingWrite() {
        QFETCH(int, bits);
        RecordingBoard board;
        WriteSerial(0x7F, 0x378, static_cast<int16_t>(bits));
        QCOMPARE(board.port.accesses, (std::vector<PortAccess>{W(0x1A)}));
    }

    void readSerialOfAConstantLine_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("expected");
        QTest::newRow("data out high") << 0x10 << 255;
        QTest::newRow("data out low") << 0x00 << 0;
        QTest::newRow("other lines high, data low") << 0xEF << 0;
    }
    void readSerialOfAConstantLine() {
        QFETCH(int, status);
        QFETCH(int, expected);
        RecordingBoard board;
        board.port.steady(0x379, status);
        QCOMPARE(ReadSerial(8, 0x378), expected);
        // Opening idle write, then per bit: clock low, status read, clock high.
        std::vector<PortAccess> wire{W(0x1A)};
        for (int i = 0; i < 8; ++i) {
            wire.push_back(W(0x12));
            wire.push_back(R(status));
            wire.push_back(W(0x1A));
        }
        QCOMPARE(board.port.accesses, wire);
    }

    void readSerialTakesTheMostSignificantBitFirst() {
        RecordingBoard board;
        board.port.script(0x379, {0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x10});
        QCOMPARE(ReadSerial(8, 0x378), 0x83);
    }

    void a24BitReadWithTheTopBitSetIsNeverNegative() {
        RecordingBoard board;
        board.port.script(0x379, {0x10});
        board.port.steady(0x379, 0x00);
        const int32_t v = ReadSerial(24, 0x378);
        QCOMPARE(v, 0x800000);
        QVERIFY(v > 0);

        RecordingBoard all;
        all.port.steady(0x379, 0x10);
        QCOMPARE(ReadSerial(24, 0x378), 0xFFFFFF);
    }

    void readSerialWhenReadyReadsAtOnceWhenReadyOnTheFirstPoll() {
        RecordingBoard board;
        // First status read: ready (bit 6 low); then the eight data bits 1010 0101.
        board.port.script(0x379, {0x00, 0x10, 0x00, 0x10, 0x00, 0x00, 0x10, 0x00, 0x10});
        QCOMPARE(ReadSerialWhenReady(8, 0x378), 0xA5);
        const auto& a = board.port.accesses;
        QCOMPARE(a.size(), size_t{1 + 1 + 3 * 8});
        QCOMPARE(a[0], W(0x1A));
        QCOMPARE(a[1], R(0x00));
        // No second opening write: the bit clocking follows the poll directly.
        QCOMPARE(a[2], W(0x12));
        QCOMPARE(a[3], R(0x10));
        QCOMPARE(a[4], W(0x1A));
    }

    void readSerialWhenReadyWaitsThroughNotReadyPolls() {
        RecordingBoard board;
        board.port.script(0x379, {0x40, 0x40, 0x40, 0x50, 0x10});
        board.port.steady(0x379, 0x10);
        QCOMPARE(ReadSerialWhenReady(8, 0x378), 0xFF);
        QCOMPARE(board.port.readsOf(0x379), 5 + 8);  // five polls, eight data bits
    }

    void readSerialWhenReadyTimesOutAfterExactlyTheLimit() {
        RecordingBoard board;
        board.port.steady(0x379, 0x40);
        QCOMPARE(ReadSerialWhenReady(24, 0x378), int32_t(-2147483648LL));
        QCOMPARE(board.port.readsOf(0x379), 100000);
        // Only the opening write: no clock edge after it.
        QCOMPARE(board.dataWrites(), std::vector<int>{0x1A});
        QCOMPARE(board.port.accesses.size(), size_t{100001});
    }

    void aReadySeenOnTheLastPollIsNotTaken_data() {
        QTest::addColumn<int>("readyOnPoll");
        QTest::addColumn<bool>("timesOut");
        QTest::newRow("poll 99999") << 99999 << false;
        QTest::newRow("poll 100000") << 100000 << true;
    }
    void aReadySeenOnTheLastPollIsNotTaken() {
        QFETCH(int, readyOnPoll);
        QFETCH(bool, timesOut);
        RecordingBoard board;
        std::vector<int> polls(readyOnPoll - 1, 0x40);
        polls.push_back(0x10);  // ready, with data out high
        board.port.script(0x379, polls);
        board.port.steady(0x379, 0x10);
        const int32_t v = ReadSerialWhenReady(8, 0x378);
        QCOMPARE(v == TimeoutMarker, timesOut);
        if (!timesOut) QCOMPARE(v, 0xFF);
    }
};

QTEST_GUILESS_MAIN(SerialTest)
#include "tst_serial.moc"
