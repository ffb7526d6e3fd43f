#include <QtTest>

#include "acquisition/board_options.h"

using kx::Program;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// What the options say, in words: the board and every setting that differs from the start.
QString Described(const kx::BoardOptions& o) {
    QStringList set;
    if (o.simulate) set << "simulate";
    if (o.portDevice) set << "port " + Q(*o.portDevice);
    if (o.traceFile) set << "trace " + Q(*o.traceFile);
    if (o.simState) set << "state " + Q(*o.simState);
    if (o.noBoardCheck) set << "no check";
    if (o.sim.seed != 1) set << QString("seed %1").arg(o.sim.seed);
    if (o.sim.speed == kx::sim::Speed::RealTime) set << "realtime";
    set << QString("%1 faults, %2 armed, %3 inputs, %4 tones")
               .arg(o.sim.faults.size())
               .arg(o.sim.faultsAfterResults.size())
               .arg(o.sim.inputs.size())
               .arg(o.sim.tones.size());
    return set.join(", ");
}

}  // namespace

class BoardOptionsTest : public QObject {
    Q_OBJECT

private slots:
    // Options read one after the other, as either program's parser hands them over; the first
    // refusal, or what they add up to.
    void optionsAddUp_data() {
        QTest::addColumn<QStringList>("options");  // name=value, a flag without '='
        QTest::addColumn<QString>("result");
        QTest::newRow("nothing") << QStringList{} << "0 faults, 0 armed, 0 inputs, 0 tones";
        QTest::newRow("a port and a trace")
            << QStringList{"--port=/dev/parport1", "--trace=t.txt", "--no-board-check"}
            << "port /dev/parport1, trace t.txt, no check, 0 faults, 0 armed, 0 inputs, 0 tones";
        QTest::newRow("every option of the simulated board selects it")
            << QStringList{"--sim-seed=7",
                           "--sim-fault=no-board",
                           "--sim-fault=ready-stuck@5",
                           "--sim-speed=realtime",
                           "--sim-input=3=0.1,2",
                           "--sim-tone=0=50,20"}
            << "simulate, seed 7, realtime, 1 faults, 1 armed, 1 inputs, 1 tones";
        QTest::newRow("a state file too")
            << QStringList{"--sim-state=b.state"}
            << "simulate, state b.state, 0 faults, 0 armed, 0 inputs, 0 tones";
        QTest::newRow("empty port") << QStringList{"--port="} << "--port needs a device";
        QTest::newRow("empty trace") << QStringList{"--trace="} << "--trace needs a file";
        QTest::newRow("bad seed") << QStringList{"--sim-seed=x1"}
                                  << "--sim-seed takes a whole number, not 'x1'";
        QTest::newRow("unknown speed")
            << QStringList{"--sim-speed=slow"} << "unknown speed 'slow' (realtime, fast)";
        QTest::newRow("bad input") << QStringList{"--sim-input=16=0"}
                                   << "--sim-input 16=0: the channel code must be 0 to 15";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "unknown option --bogus";
        QTest::newRow("a port beside the simulated board")
            << QStringList{"--sim-seed=1", "--port=/dev/parport0"}
            << "--port and the simulated board exclude each other";
    }
    void optionsAddUp() {
        QFETCH(QStringList, options);
        QFETCH(QString, result);
        kx::BoardOptions o;
        for (const QString& option : options) {
            const qsizetype eq = option.indexOf('=');
            const auto why = kx::ApplyBoardOption(o, option.left(eq).toStdString(),
                                                  eq < 0 ? "" : option.mid(eq + 1).toStdString());
            if (why) {
                QCOMPARE(Q(*why), result);
                return;
            }
        }
        if (const auto why = kx::CheckBoardOptions(o)) {
            QCOMPARE(Q(*why), result);
            return;
        }
        QCOMPARE(Described(o), result);
    }

    // One table, two help texts: the tool's options only in the tool's, each program's pace of
    // the simulated board named first, long option names on a line of their own.
    void helpOfEachProgram() {
        const QString desktop = Q(kx::BoardOptionsHelp(Program::Desktop, kx::sim::Speed::RealTime));
        const QString tool = Q(kx::BoardOptionsHelp(Program::Tool, kx::sim::Speed::Fast));
        const QString port =
            "  --port DEVICE          use this printer port (default /dev/parport0)\n";
        const QString input =
            "  --sim-input CH=VOLTS[,NOISE_UV]\n"
            "                         input of channel code CH (0-15), repeatable; NOISE_UV\n";
        for (const QString& help : {desktop, tool}) {
            QVERIFY(help.startsWith(port));
            QVERIFY(help.contains(input));
        }
        QVERIFY(desktop.contains("  --sim-speed SPEED      realtime (the default here) or fast\n"));
        QVERIFY(tool.contains("  --sim-speed SPEED      fast (the default here) or realtime\n"));
        QVERIFY(!desktop.contains("--sim-state") && !desktop.contains("--no-board-check"));
        QVERIFY(tool.endsWith(
            "  --no-board-check       skip the check that a board answers before the first "
            "access\n"));
    }
};

QTEST_APPLESS_MAIN(BoardOptionsTest)
#include "tst_board_options.moc"
