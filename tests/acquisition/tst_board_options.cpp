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
    // refusal, or what they add up to. (The program's parser, which hands them over, is tested
    // with every refusal in tests/app/tst_startup.cpp.)
    void optionsAddUp_data() {
        QTest::addColumn<QStringList>("options");  // name=value, a flag without '='
        QTest::addColumn<QString>("result");
        QTest::newRow("the tool's options: a state file selects the simulated board")
            << QStringList{"--sim-state=b.state", "--no-board-check", "--trace=t.txt"}
            << "simulate, trace t.txt, state b.state, no check, 0 faults, 0 armed, 0 inputs, 0 "
               "tones";
        QTest::newRow("every option of the simulated board selects it")
            << QStringList{"--sim-seed=7",
                           "--sim-fault=no-board",
                           "--sim-fault=ready-stuck@5",
                           "--sim-speed=realtime",
                           "--sim-input=3=0.1,2",
                           "--sim-tone=0=50,20"}
            << "simulate, seed 7, realtime, 1 faults, 1 armed, 1 inputs, 1 tones";
        QTest::newRow("a state file beside a port")
            << QStringList{"--port=/dev/parport0", "--sim-state=b.state"}
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
