#include <QtTest>

#include "board/calibration.h"
#include "tests/support/board_fixture.h"

// The calibration wait: counted polls of the ready line (status bit 6) and nothing else.
class TestCalibrationWait : public QObject {
    Q_OBJECT
private slots:
    void wait_data();
    void wait();
};

void TestCalibrationWait::wait_data() {
    QTest::addColumn<int>("busyPolls");  // status reads that find the line high before it falls
    QTest::addColumn<bool>("ready");
    QTest::addColumn<int>("reads");
    QTest::newRow("ready at once") << 0 << true << 1;
    QTest::newRow("ready after three") << 3 << true << 4;
    // The limit counts polls that still find the line high; the next such poll gives up.
    QTest::newRow("falls on the last allowed poll") << 500000 << true << 500001;
    QTest::newRow("stuck high") << -1 << false << 500001;
}

void TestCalibrationWait::wait() {
    QFETCH(int, busyPolls);
    QFETCH(bool, ready);
    QFETCH(int, reads);
    RecordingBoard board;
    if (busyPolls < 0) {
        board.port.steady(0x379, 0x7F);
    } else {
        board.port.script(0x379, std::vector<int>(static_cast<size_t>(busyPolls), 0x7F));
        board.port.steady(0x379, 0x3F);
    }
    int32_t used = 0;
    QCOMPARE(WaitForCalibration(&used), ready);
    QCOMPARE(used, reads);
    QCOMPARE(board.port.readsOf(0x379), reads);
    // Only the status register is read; no clock edge is written while waiting.
    QCOMPARE(static_cast<int>(board.port.accesses.size()), reads);
}

QTEST_APPLESS_MAIN(TestCalibrationWait)
#include "tst_calibration.moc"
