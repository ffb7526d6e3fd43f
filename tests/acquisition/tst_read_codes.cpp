#include <QtTest>

#include <atomic>
#include <vector>

#include "acquisition/read_codes.h"
#include "board/registers.h"
#include "tests/support/sim_bench.h"

using kx::ReadEnd;
using kx::sim::Fault;

Q_DECLARE_METATYPE(ReadEnd)

namespace {

// The codes a board seeded like the bench's gives to a plain ReadData loop from the same start.
std::vector<int32_t> PlainReads(int mode, int count) {
    SimBench bench;
    WriteRegister(0x01, 8, mode);
    ReadData reader = ReadData::ForDataRegister();
    std::vector<int32_t> codes;
    for (int i = 0; i < count; ++i)
        codes.push_back(reader.Read());
    return codes;
}

}  // namespace

class ReadCodesTest : public QObject {
    Q_OBJECT

private slots:
    // How a read ends, the codes handed on, and the mode register after it (-1: not read back).
    // The converter starts converting continuously (mode 3) unless the row says idle (mode 1).
    void endsAndCodes_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<qlonglong>("count");
        QTest::addColumn<bool>("continuous");
        QTest::addColumn<int>("settle");
        QTest::addColumn<bool>("stopFirst");
        QTest::addColumn<int>("endAfter");  // onCode says stop after this many; 0 never
        QTest::addColumn<int>(
            "stuckAfter");  // the ready line sticks after this many results; -1 never
        QTest::addColumn<ReadEnd>("end");
        QTest::addColumn<int>("handed");
        QTest::addColumn<int>("firstPlain");  // the plain read the first code handed on equals
        QTest::addColumn<int>("modeAfter");
        QTest::newRow("five codes")
            << 3 << 5LL << false << 0 << false << 0 << -1 << ReadEnd::Done << 5 << 0 << 3;
        QTest::newRow("three settle, then four")
            << 3 << 4LL << false << 3 << false << 0 << -1 << ReadEnd::Done << 4 << 3 << 3;
        QTest::newRow("stopped before the first")
            << 3 << 5LL << false << 0 << true << 0 << -1 << ReadEnd::Stopped << 0 << 0 << 3;
        QTest::newRow("onCode ends it after two")
            << 3 << 5LL << false << 0 << false << 2 << -1 << ReadEnd::Stopped << 2 << 0 << 3;
        QTest::newRow("onCode ends it on the last")
            << 3 << 2LL << false << 0 << false << 2 << -1 << ReadEnd::Stopped << 2 << 0 << 3;
        QTest::newRow("never ready: no code for the failed read")
            << 3 << 5LL << false << 0 << false << 0 << 0 << ReadEnd::TimedOut << 0 << 0 << -1;
        QTest::newRow("without end, until the ready line sticks")
            << 3 << qlonglong(kx::UntilStopped) << false << 0 << false << 0 << 3
            << ReadEnd::TimedOut << 3 << 0 << -1;
        QTest::newRow("idle converter: no result")
            << 1 << 2LL << false << 0 << false << 0 << -1 << ReadEnd::TimedOut << 0 << 0 << -1;
        QTest::newRow("idle converter put into continuous conversion")
            << 1 << 2LL << true << 0 << false << 0 << -1 << ReadEnd::Done << 2 << 0 << 3;
    }
    void endsAndCodes() {
        QFETCH(int, mode);
        QFETCH(qlonglong, count);
        QFETCH(bool, continuous);
        QFETCH(int, settle);
        QFETCH(bool, stopFirst);
        QFETCH(int, endAfter);
        QFETCH(int, stuckAfter);
        QFETCH(ReadEnd, end);
        QFETCH(int, handed);
        QFETCH(int, firstPlain);
        QFETCH(int, modeAfter);
        const std::vector<int32_t> plain = PlainReads(3, 8);

        SimBench bench;
        WriteRegister(0x01, 8, mode);
        if (stuckAfter >= 0) bench.board.armFaultAfterResults(Fault::ReadyStuck, stuckAfter);
        const std::atomic<bool> stop{stopFirst};
        const uint64_t accessesBefore = bench.board.accessCount();
        std::vector<int32_t> codes;
        const kx::ReadResult read =
            kx::ReadCodes(kx::ProgramLink(), count, {continuous, settle}, stop, [&](int32_t code) {
                codes.push_back(code);
                return endAfter == 0 || static_cast<int>(codes.size()) < endAfter;
            });
        QCOMPARE(read.end, end);
        QCOMPARE(read.codes, qint64(handed));
        QCOMPARE(int(codes.size()), handed);
        // Codes as a plain loop reads them, the settling ones dropped.
        if (mode == 3)
            for (int i = 0; i < handed; ++i)
                QCOMPARE(codes[size_t(i)], plain[size_t(firstPlain + i)]);
        if (stopFirst) QCOMPARE(bench.board.accessCount(), accessesBefore);
        // (A read whose wait ran out leaves the converter's interface expecting its clocks: the
        // mode register cannot be read back after it.)
        if (modeAfter >= 0) QCOMPARE(ReadRegister(0x41, 8) & 0x07, modeAfter);
    }

    // The continuous setting writes the mode field only, the other bits kept, and only when
    // the converter is in another mode.
    void continuousKeepsTheOtherModeBits() {
        for (const auto& [before, after] : {std::pair{0x81, 0x83}, std::pair{0xC3, 0xC3}}) {
            SimBench bench;
            WriteRegister(0x01, 8, before);
            QCOMPARE(kx::EnsureContinuousConversion(kx::ProgramLink()), before != after);
            QCOMPARE(ReadRegister(0x41, 8), after);
        }
    }
};

QTEST_APPLESS_MAIN(ReadCodesTest)
#include "tst_read_codes.moc"
