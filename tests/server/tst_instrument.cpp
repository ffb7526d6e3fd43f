#include <QtTest>

#include "board/program_port.h"
#include "core/globals.h"
#include "server/board_instrument.h"
#include "server/interpreter.h"
#include "sim/simulated_board.h"

// The command set on the simulated board, in process: what each command answers and what it
// leaves in the error queue, line by line as a client sends them. Answers and error texts are
// written out here as a client sees them.

using namespace kx::server;
using kx::sim::Fault;
using kx::sim::SimulatedBoard;

namespace {

// Records what the commands ask of the arbiter.
struct Arbiter : BoardArbiter {
    QStringList calls;
    void Lock(uint64_t client) override { calls << QString("lock %1").arg(client); }
    bool Unlock(uint64_t client) override {
        calls << QString("unlock %1").arg(client);
        return client == 1;
    }
    void Abort(uint64_t client) override { calls << QString("abort %1").arg(client); }
};

struct OnSimulatedBoard {
    SimulatedBoard board;
    BoardInstrument instrument{kx::ProgramLink(), true};
    Interpreter interpreter{instrument.Serial()};
    Session session;
    Arbiter arbiter;
    std::atomic<bool> stop{false};

    OnSimulatedBoard() {
        kx::ResetGlobals();
        PortAddress = 0x378;
        SetPortBackend(&board);
        session.client = 1;
    }
    ~OnSimulatedBoard() {
        SetPortBackend(nullptr);
        kx::ResetGlobals();
    }

    // Runs each line; the answers without their line ends, joined by '|'.
    QString Run(const QString& lines, bool withBoard = true) {
        QStringList answers;
        for (const QString& line : lines.split('\n')) {
            const std::string text = line.toStdString();
            const std::string answer = interpreter.Run(
                interpreter.Prepare(text), session, withBoard ? &instrument : nullptr, arbiter,
                stop, "the board is locked by another client");
            if (!answer.empty()) {
                Q_ASSERT(answer.back() == '\n');
                answers << QString::fromStdString(answer.substr(0, answer.size() - 1));
            }
        }
        return answers.join('|');
    }
    std::string RunRaw(const std::string& line) {
        return interpreter.Run(interpreter.Prepare(line), session, &instrument, arbiter, stop);
    }
    QString Errors() {
        QStringList errors;
        while (!session.errors.empty())
            errors << QString::fromStdString(session.errors.Next().Formatted());
        return errors.join('|');
    }
};

}  // namespace

class InstrumentTest : public QObject {
    Q_OBJECT

private slots:
    void lines_data() {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("answers");
        QTest::addColumn<QString>("errors");
        QTest::newRow("identity") << "*IDN?"
                                  << "KX3105 Evaluation Software,KX3105 Evaluation Board,"
                                     "SIMULATED,2.0.1"
                                  << "";
        QTest::newRow("queries of a line joined") << "*OPC?;SYST:VERS?"
                                                  << "1;1999.0"
                                                  << "";
        QTest::newRow("command error ends the line") << "*OPC?;FOO;*OPC?"
                                                     << "1"
                                                     << "-113,\"Undefined header\"";
        QTest::newRow("execution error lets it go on")
            << "CONF:RANG 3;*OPC?"
            << "1"
            << "-222,\"Data out of range;range takes 20mV, 40mV, 80mV, 160mV, 320mV, 640mV, 1.28V "
               "or 2.56V (or their volts, 0.02 to 2.56), not '3'\"";
        QTest::newRow("header path of a chain")
            << "CONF:RANG 20mV;RANG?;POL UNIP;POL?;:CONF:CHAN AIN4-AINCOM;CHAN?"
            << "0.02;UNIP;AIN4-AINCOM"
            << "";
        QTest::newRow("range forms")
            << "CONF:RANG 0.08\nCONF:RANG?\nCONF:RANG 1.28V\nCONF:RANG?\nCONF:RANG 160 mv\n"
               "CONF:RANG?"
            << "0.08|1.28|0.16"
            << "";
        QTest::newRow("range between two")
            << "CONF:RANG 30mV"
            << ""
            << "-222,\"Data out of range;range takes 20mV, 40mV, 80mV, 160mV, 320mV, 640mV, 1.28V "
               "or 2.56V (or their volts, 0.02 to 2.56), not '0.03'\"";
        QTest::newRow("channel by CHCON name and by code")
            << "CONF:CHAN AIN9-AIN10;CHAN?;CHAN 3;CHAN?"
            << "AIN2-AIN2;AIN4-AINCOM"
            << "";
        QTest::newRow("unknown channel")
            << "CONF:CHAN AIN0"
            << ""
            << "-222,\"Data out of range;channel takes AIN1-AINCOM ... AIN8-AINCOM, AIN1-AIN2, "
               "AIN3-AIN4, AIN5-AIN6, AIN7-AIN8, AIN2-AIN2, AINCOM-AINCOM, REFIN(+)-REFIN(-), "
               "OPEN-OPEN (or the code, 0 to 15), not 'AIN0'\"";
        QTest::newRow("filter word, hexadecimal as the tool takes it")
            << "CONF:FILT 2A;FILT?;FILT 0x45;FILT?;FILT #HFF;FILT?"
            << "#H2A;#H45;#HFF"
            << "";
        QTest::newRow("filter word under the chopping minimum")
            << "CONF:FILT 5;FILT?"
            << "#H45"
            << "-222,\"Data out of range;filter takes 0D to FF (hexadecimal) with chopping on, not "
               "'05'\"";
        QTest::newRow("chopping off allows 3") << "CONF:CHOP OFF;FILT 3;CHOP?;RATE?"
                                               << "0;1365.3333333333333"
                                               << "";
        QTest::newRow("rate outside the chopped limits")
            << "CONF:RATE 200"
            << ""
            << "-222,\"Data out of range;rate takes 5.35 to 105.03 Hz with chopping on, not "
               "'200'\"";
        QTest::newRow("power-on registers") << "REG:ALL?"
                                            << "#H81,#H1,#H7,#H45,#H800000,#H400000,#H0"
                                            << "";
        QTest::newRow("register write read back, names quoted or not")
            << "REG:WRIT io-control,30;READ? 'io-control';:REG:READ? \"IO-CONTROL\""
            << "#H30;#H30"
            << "";
        QTest::newRow("read-only register")
            << "REG:WRIT status,1"
            << ""
            << "-224,\"Illegal parameter value;status is read-only\"";
        QTest::newRow("value too wide for its register") << "REG:WRIT mode,100"
                                                         << ""
                                                         << "-222,\"Data out of range\"";
        QTest::newRow("calibration register only in power-down")
            << "REG:WRIT offset,7FFF00"
            << ""
            << "-240,\"Hardware error;Error Programming KX3105\"";
        QTest::newRow("reset to power-on")
            << "CONF:RANG 20mV;CHOP OFF\n*RST\nCONF:RANG?;CHOP?;FORM?"
            << "2.56;1;ASC"
            << "";
        QTest::newRow("event status bits read once")
            << "FOO\nCONF:RANG 9\n*OPC\n*ESR?;*ESR?"
            << "49;0"
            << "-113,\"Undefined header\"|-222,\"Data out of range;range takes 20mV, 40mV, 80mV, "
               "160mV, 320mV, 640mV, 1.28V or 2.56V (or their volts, 0.02 to 2.56), not '9'\"";
        QTest::newRow("status byte") << "*ESE 32;*SRE 32\nFOO\n*STB?;*ESE?;*SRE?"
                                     << "100;32;32"
                                     << "-113,\"Undefined header\"";
        QTest::newRow("error queue read out")
            << "FOO\nBAR 1,,2\nSYST:ERR:COUN?;ALL?;COUN?"
            << "2;-113,\"Undefined header\",-102,\"Syntax error;empty parameter\";0"
            << "";
        QTest::newRow("data forms") << "FORM INT;FORM?;FORM:BORD SWAP;BORD?;:FORM:DATA ASCii;DATA?"
                                    << "INT,32;SWAP;ASC"
                                    << "";
        QTest::newRow("16-bit integers are not offered")
            << "FORM INT,16;FORM?"
            << "ASC"
            << "-224,\"Illegal parameter value;INTeger,32 only\"";
        QTest::newRow("too few and too many parameters")
            << "REG:WRIT mode\nREG:ALL? 1\n*ESE"
            << ""
            << "-109,\"Missing parameter\"|-108,\"Parameter not allowed\"|"
               "-109,\"Missing parameter\"";
        QTest::newRow("self-test") << "*TST?"
                                   << "0"
                                   << "";
        QTest::newRow("count bounds") << "READ? 0\nREAD? 10000001\nMEAS:NOIS? 9"
                                      << ""
                                      << "-222,\"Data out of range\"|-222,\"Data out of range\"|"
                                         "-222,\"Data out of range\"";
    }
    void lines() {
        QFETCH(QString, lines);
        QFETCH(QString, answers);
        QFETCH(QString, errors);
        OnSimulatedBoard on;
        QCOMPARE(on.Run(lines), answers);
        QCOMPARE(on.Errors(), errors);
    }

    // Codes in both forms and byte orders: the same block layout a client decodes.
    void readForms() {
        OnSimulatedBoard on;
        const QString ascii = on.Run("READ? 100");
        QCOMPARE(ascii.split(',').size(), 100);
        for (const QString& code : ascii.split(','))
            QVERIFY(qAbs(code.toInt() - 0x800000) < 100);
        on.Run("FORM INT,32");
        const std::string normal = on.RunRaw("READ? 100");
        QCOMPARE(normal.substr(0, 5), std::string("#3400"));
        QCOMPARE(normal.size(), size_t(5 + 400 + 1));
        // Big-endian: the top byte of a mid-scale code is 0, the next 0x7F or 0x80.
        QCOMPARE(normal[5], '\0');
        QVERIFY(normal[6] == '\x7f' || normal[6] == '\x80');
        on.Run("FORM:BORD SWAP");
        const std::string swapped = on.RunRaw("READ? 1");
        QCOMPARE(swapped.size(), size_t(2 + 1 + 4 + 1));
        QCOMPARE(swapped[6], '\0');
        QVERIFY(swapped[5] == '\x7f' || swapped[5] == '\x80');
        QCOMPARE(on.Errors(), QString());
    }

    // A read that times out answers the codes it had and queues the board's message.
    void readTimeOut() {
        OnSimulatedBoard on;
        on.board.armFaultAfterResults(Fault::ReadyStuck, 5);
        // The first three results go while the filter settles after continuous conversion starts.
        QCOMPARE(on.Run("READ? 10").split(',').size(), 2);
        QCOMPARE(on.Errors(), QString("-240,\"Hardware error;Error Reading Data from KX3105\""));
        // The converter's interface was left in the middle of the word it never gave: what is read
        // next is no register, and the capture says its start did not take.
        QCOMPARE(on.Run("MEAS:NOIS? 10"), QString());
        QCOMPARE(on.Errors(), QString("-240,\"Hardware error;Error Programming KX3105\""));
        QCOMPARE(on.Run("CAL:FULL;*OPC?"), QString("1"));
        QCOMPARE(on.Errors(), QString("-240,\"Hardware error;Error Calibrating KX3105\""));
    }

    void stoppedRead() {
        OnSimulatedBoard on;
        on.stop = true;
        QCOMPARE(on.Run("READ? 10;*OPC?"), QString(";1"));
        on.Run("FORM INT");
        QCOMPARE(on.Run("READ? 10"), QString("#10"));
        QCOMPARE(on.Errors(), QString());
        // One line reads at most as many codes as one READ? may.
        QCOMPARE(on.Run("READ? 5000000;READ? 5000001;*OPC?"), QString("#10;1"));
        QCOMPARE(on.Errors(),
                 QString("-222,\"Data out of range;a line reads at most 10000000 codes\""));
    }

    // Internal zero-scale sets the offset to mid-scale; system zero-scale measures the input.
    void calibration() {
        OnSimulatedBoard on;
        QCOMPARE(on.Run("CAL:ZERO\nCAL:FULL INT\nREG:READ? offset;READ? gain"),
                 QString("#H800000;#H400000"));
        on.board.setInput(0, {0.1, 0.0});
        // 0.1 V of 2.56 V full scale: 0x800000 + 0.1 / 2.56 x 2^23.
        QCOMPARE(on.Run("CAL:ZERO SYST;:REG:READ? offset"), QString("#H850000"));
        QCOMPARE(on.Run("CAL:ZERO SIDEWAYS"), QString());
        QCOMPARE(on.Errors(), QString("-224,\"Illegal parameter value\""));
    }

    // Without the board (a lock held elsewhere) board commands fail; the lock request says 0.
    void withoutBoard() {
        OnSimulatedBoard on;
        QCOMPARE(on.Run("SYST:LOCK:REQ?;CONF:RANG?;*OPC?", false), QString("0;1"));
        QCOMPARE(on.Errors(),
                 QString("-200,\"Execution error;the board is locked by another client\""));
        QCOMPARE(on.Run("SYST:LOCK:REQ?;:SYST:LOCK:REL;:ABOR"), QString("1"));
        QCOMPARE(on.arbiter.calls, QStringList({"lock 1", "unlock 1", "abort 1"}));
        on.session.client = 2;
        on.Run("SYST:LOCK:REL");
        QCOMPARE(on.Errors(), QString("-200,\"Execution error;this client holds no lock\""));
    }

    // The figures of MEASure:NOISe? in their documented order, on a known input.
    void noiseFigures() {
        OnSimulatedBoard on;
        on.board.setInput(0, {0.0, 0.0});  // no noise: every code the same
        const QStringList v = on.Run("CONF:RANG 2.56;POL BIP\nMEAS:NOIS? 100").split(',');
        QCOMPARE(v.size(), 12);
        QCOMPARE(v[0], QString("100"));                         // codes
        QCOMPARE(v[1], QString("8388608"));                     // mean code: 0 V bipolar
        QCOMPARE(v[2], QString("0"));                           // RMS
        QCOMPARE(v[3], QString("0"));                           // peak to peak
        QCOMPARE(v[6].toDouble(), 2.5 * 1.024 * 2 / 16777216);  // LSB
        QCOMPARE(v[9], QString("0"));                           // mean volts
        QCOMPARE(v[10], QString("9.91E+37"));  // no effective resolution of no noise
    }
};

QTEST_APPLESS_MAIN(InstrumentTest)
#include "tst_instrument.moc"
