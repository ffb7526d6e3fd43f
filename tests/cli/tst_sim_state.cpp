#include <QtTest>

#include "board/program_port.h"
#include "board/serial.h"
#include "core/globals.h"
#include "sim/simulated_board.h"

// The simulated board's registers saved as text and loaded into another board (--sim-state).

using kx::sim::SimulatedBoard;

namespace {

const std::string PowerOnState =
    "mode 1\nadc-control 7\nfilter 45\nio-control 0\noffset 800000\ngain 400000\n"
    "register12 0\nregister13 0\ndata 0\n";

struct OnBoard {
    explicit OnBoard(SimulatedBoard& board) {
        kx::ResetGlobals();
        PortAddress = 0x378;
        SetPortBackend(&board);
    }
    ~OnBoard() {
        SetPortBackend(nullptr);
        kx::ResetGlobals();
    }
};

// Register bytes written out here, not taken from the register map.
int Read(int readByte, int bits) {
    WriteSerial(readByte, PortAddress, 8);
    return ReadSerial(static_cast<int16_t>(bits), PortAddress);
}

void Write(int writeByte, int value, int bits) {
    WriteSerial(writeByte, PortAddress, 8);
    WriteSerial(value, PortAddress, static_cast<int16_t>(bits));
}

}  // namespace

class SimStateTest : public QObject {
    Q_OBJECT

private slots:
    void savedAndLoaded() {
        SimulatedBoard first;
        QCOMPARE(first.saveState(), PowerOnState);
        {
            OnBoard on(first);
            Write(0x03, 0x03, 8);  // filter 3
            Write(0x02, 0x1E, 8);  // ADC control: channel 1, unipolar, range 6
            Write(0x07, 0x30, 8);  // I/O control: P1, P2 outputs, low
            Write(0x01, 0x00, 8);  // power-down, so the offset takes a write
            Write(0x05, 0x7FFF00, 24);
            Write(0x01, 0x83, 8);  // continuous, chopping disabled
        }
        const std::string saved = first.saveState();
        QCOMPARE(saved, std::string("mode 83\nadc-control 1E\nfilter 3\nio-control 30\n"
                                    "offset 7FFF00\ngain 400000\nregister12 0\nregister13 0\n"
                                    "data 0\n"));

        // CR LF, blank lines, lower case and a 0x are taken; a name left out keeps its value.
        SimulatedBoard second;
        std::string error;
        QVERIFY(second.loadState("\r\nfilter 0x2a\r\n\r\ngain 0X400000\n", error));
        std::string expected = PowerOnState;
        QCOMPARE(second.saveState(), expected.replace(expected.find("filter 45"), 9, "filter 2A"));

        QVERIFY(second.loadState(saved, error));
        OnBoard on(second);
        QCOMPARE(Read(0x41, 8), 0x83);
        QCOMPARE(Read(0x45, 24), 0x7FFF00);
        // A loaded continuous mode converts: a result comes within one update period.
        WriteSerial(0x44, PortAddress, 8);
        QVERIFY(ReadSerialWhenReady(24, PortAddress) != TimeoutMarker);
    }

    void refused_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown name") << "filter 3\nstatus 81\n"
                                      << "line 2: unknown register 'status'";
        QTest::newRow("too wide") << "mode 100"
                                  << "line 1: '100' is not a 8-bit hexadecimal value";
        QTest::newRow("too wide after 0x") << "mode 0x100"
                                           << "line 1: '0x100' is not a 8-bit hexadecimal value";
        QTest::newRow("0x alone") << "gain 0x"
                                  << "line 1: '0x' is not a 24-bit hexadecimal value";
        QTest::newRow("no value") << "\nfilter\n"
                                  << "line 2: expected a register name and a hexadecimal value";
        QTest::newRow("extra word") << "filter 3 4"
                                    << "line 1: expected a register name and a hexadecimal value";
    }
    void refused() {
        QFETCH(QString, text);
        QFETCH(QString, error);
        SimulatedBoard board;
        std::string why;
        QVERIFY(!board.loadState(text.toStdString(), why));
        QCOMPARE(QString::fromStdString(why), error);
        QCOMPARE(board.saveState(), PowerOnState);  // nothing taken from a refused text
    }
};

QTEST_GUILESS_MAIN(SimStateTest)
#include "tst_sim_state.moc"
