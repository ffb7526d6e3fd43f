#include <QtTest>

#include "board/registers.h"
#include "board/serial.h"
#include "tests/support/board_fixture.h"

using kx::PortAccess;

// The status reads that make ReadSerial return `value` in `bits` bits: data out (bit 4) per bit.
static std::vector<int> StatusForWord(uint32_t value, int bits) {
    std::vector<int> s;
    for (int k = bits - 1; k >= 0; --k)
        s.push_back(((value >> k) & 1u) ? 0x10 : 0x00);
    return s;
}

class RegistersTest : public QObject {
    Q_OBJECT

private slots:
    void modeRegisterWriteSendsTheWriteByteThenTheValue() {
        RecordingBoard board;
        Register mode(kx::ProgramLink());
        mode.WriteAddress = 0x01;
        mode.ReadAddress = 0x41;
        mode.WordLength = 8;
        mode.RegValue = 3;
        mode.WriteReg();
        const std::vector<int> expected{
            // 0x01
            0x1A, 0x12, 0x1A, 0x1A, 0x12, 0x1A, 0x1A, 0x12, 0x1A, 0x1A, 0x12, 0x1A,  //
            0x1A, 0x12, 0x1A, 0x1A, 0x12, 0x1A, 0x1A, 0x12, 0x1A, 0x1A, 0x13, 0x1B, 0x1A,
            // 0x03
            0x1A, 0x12, 0x1A, 0x1A, 0x12, 0x1A, 0x1A, 0x12, 0x1A, 0x1A, 0x12, 0x1A,  //
            0x1A, 0x12, 0x1A, 0x1A, 0x12, 0x1A, 0x1A, 0x13, 0x1B, 0x1A, 0x13, 0x1B, 0x1A};
        QCOMPARE(board.dataWrites(), expected);
        QCOMPARE(board.port.readsOf(0x379), 0);
    }

    void modeRegisterReadSendsTheReadByteThenClocksEightBitsIn() {
        RecordingBoard board;
        board.port.script(0x379, StatusForWord(0x93, 8));
        Register mode = Register::For(RegisterMap::Mode);
        mode.RegValue = 7;
        QCOMPARE(mode.ReadReg(), 147.0);
        QCOMPARE(mode.RegValue, 7.0);  // a read leaves the value to write alone

        std::vector<int> expected = SerialWordWrites(0x41, 8);
        expected.push_back(0x1A);
        for (int i = 0; i < 8; ++i) {
            expected.push_back(0x12);
            expected.push_back(0x1A);
        }
        QCOMPARE(board.dataWrites(), expected);
        QCOMPARE(board.port.readsOf(0x379), 8);
    }

    void roundTripThroughAModelRegister() {
        // Whatever is written to the mode register is what the next read returns.
        RecordingBoard board;
        Register mode = Register::For(RegisterMap::Mode);
        mode.RegValue = 0x5A;
        mode.WriteReg();
        board.port.script(0x379, StatusForWord(0x5A, 8));
        QCOMPARE(mode.ReadReg(), double(0x5A));
    }

    void regValueRoundsHalvesToEven_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("sent");
        QTest::newRow("2.5") << 2.5 << 2;
        QTest::newRow("3.5") << 3.5 << 4;
        QTest::newRow("2.4999") << 2.4999 << 2;
        QTest::newRow("2.5001") << 2.5001 << 3;
        QTest::newRow("0.5") << 0.5 << 0;
        QTest::newRow("24-bit top") << 16777215.0 << 0xFFFFFF;
    }
    void regValueRoundsHalvesToEven() {
        QFETCH(double, value);
        QFETCH(int, sent);
        RecordingBoard board;
        Register r = Register::For(RegisterMap::FullScale);
        r.RegValue = value;
        r.WriteReg();
        QCOMPARE(board.dataWrites(),
                 Concat({SerialWordWrites(0x06, 8), SerialWordWrites(sent, 24)}));
    }

    void roundHalfEvenClampsWhatDoesNotFit_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("-2.5") << -2.5 << -2;
        QTest::newRow("huge") << 1e12 << INT32_MAX;
        QTest::newRow("-huge") << -1e12 << INT32_MIN;
        QTest::newRow("nan") << std::nan("") << 0;
    }
    void roundHalfEvenClampsWhatDoesNotFit() {
        QFETCH(double, value);
        QFETCH(int, expected);
        QCOMPARE(RoundHalfEven(value), expected);
    }

    void readDataTimesOutAfterItsCommunicationsByte() {
        RecordingBoard board;
        board.port.steady(0x379, 0x40);
        ReadData data = ReadData::ForDataRegister();
        QCOMPARE(data.ReadAddress, int16_t(0x44));
        QCOMPARE(data.WordLength, int16_t(24));
        QCOMPARE(data.Read(), int32_t(-2147483648LL));
        // 0x44 first, then the wait's opening write, then only polls.
        std::vector<int> expected = SerialWordWrites(0x44, 8);
        expected.push_back(0x1A);
        QCOMPARE(board.dataWrites(), expected);
        QCOMPARE(board.port.readsOf(0x379), 100000);
        QCOMPARE(board.port.accesses[expected.size() - 1].kind, PortAccess::Write);
    }

    void readDataReturnsTheConversionResult() {
        RecordingBoard board;
        std::vector<int> status{0x40, 0x40, 0x00};  // ready on the third poll
        const auto word = StatusForWord(0x7FFFF3, 24);
        status.insert(status.end(), word.begin(), word.end());
        board.port.script(0x379, status);
        ReadData data = ReadData::ForDataRegister();
        QCOMPARE(data.Read(), 0x7FFFF3);
    }

    void theMapGivesEachRegistersBytesAndWidth_data() {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("writeByte");
        QTest::addColumn<int>("readByte");
        QTest::addColumn<int>("width");
        QTest::newRow("status") << 0 << 0 << 0x40 << 8;
        QTest::newRow("mode") << 1 << 0x01 << 0x41 << 8;
        QTest::newRow("adc control") << 2 << 0x02 << 0x42 << 8;
        QTest::newRow("filter") << 3 << 0x03 << 0x43 << 8;
        QTest::newRow("data") << 4 << 0 << 0x44 << 24;
        QTest::newRow("zero-scale") << 5 << 0x05 << 0x45 << 24;
        QTest::newRow("full-scale") << 6 << 0x06 << 0x46 << 24;
        QTest::newRow("i/o control") << 7 << 0x07 << 0x47 << 8;
        QTest::newRow("register 12") << 12 << 0x0C << 0 << 16;
        QTest::newRow("register 13") << 13 << 0x0D << 0 << 16;
    }
    void theMapGivesEachRegistersBytesAndWidth() {
        QFETCH(int, address);
        QFETCH(int, writeByte);
        QFETCH(int, readByte);
        QFETCH(int, width);
        const RegisterInfo* info = RegisterMap::Find(address);
        QVERIFY(info);
        const Register r = Register::For(*info);
        QCOMPARE(int(r.WriteAddress), writeByte);
        QCOMPARE(int(r.ReadAddress), readByte);
        QCOMPARE(int(r.WordLength), width);
        QCOMPARE(r.RegValue, 0.0);
    }

    void unusedAddressesAreNotInTheMap() {
        for (int a : {8, 9, 10, 11, 14, 15})
            QVERIFY(!RegisterMap::Find(a));
    }

    void portInKeepsOnlyTheLowByte() {
        RecordingBoard board;
        board.port.steady(0x379, 0x1A5);
        QCOMPARE(PortIn(0x379), int16_t(0xA5));
    }

    void noPortAddressMeansNoPortAccess() {
        RecordingBoard board(0);
        PortOut(0x02, 0x1A);
        QCOMPARE(PortIn(0x01), int16_t(0xFF));
        Register mode = Register::For(RegisterMap::Mode);
        mode.RegValue = 3;
        mode.WriteReg();
        mode.ReadReg();
        QCOMPARE(board.port.accesses.size(), size_t{0});
    }

    void aBaseAboveTheSignedRangeStillAddressesThePort() {
        // A PCI printer port at 0xE800 is held in the 16-bit PortAddress as a negative number.
        RecordingBoard board(static_cast<int16_t>(0xE800));
        board.port.steady(0xE801, 0x10);
        QCOMPARE(ReadSerial(8, PortAddress), 255);
        QCOMPARE(board.port.writesTo(0xE800).size(), size_t{17});
        QCOMPARE(board.port.readsOf(0xE801), 8);
    }
};

QTEST_GUILESS_MAIN(RegistersTest)
#include "tst_registers.moc"
