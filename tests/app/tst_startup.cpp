#include <QtTest>

#include <QProcess>
#include <QTemporaryDir>
#include <sstream>

#include "board_fixture.h"
#include "fake_kernel.h"
#include "port_trace.h"
#include "scripted_messages.h"
#include "startup.h"
#include "windows_version.h"

using kx::ParseCommandLine;
using kx::sim::Speed;

namespace {
std::vector<std::string> Args(const QStringList& list) {
    std::vector<std::string> out;
    for (const auto& a : list)
        out.push_back(a.toStdString());
    return out;
}

// Start-up state belongs to the whole program; every case starts from a fresh one.
struct FreshProgram {
    FreshProgram() {
        kx::ResetGlobals();
        kx::PortMenuEnabled = {};
    }
    ~FreshProgram() {
        SetPortBackend(nullptr);
        kx::StopPortTrace();
        kx::ResetGlobals();
        kx::PortMenuEnabled = {};
        kx::ProgramCommandLine.clear();
    }
};
}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void goodCommandLines_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("check");
        QTest::newRow("nothing") << QStringList{} << "plain";
        QTest::newRow("status switch") << QStringList{"/SS"} << "plain";
        QTest::newRow("help") << QStringList{"--help"} << "help";
        QTest::newRow("version") << QStringList{"--version"} << "version";
        QTest::newRow("simulate") << QStringList{"--simulate"} << "simulate";
        QTest::newRow("port") << QStringList{"--port", "/dev/parport1"} << "port";
        QTest::newRow("port=") << QStringList{"--port=/dev/parport1"} << "port";
        QTest::newRow("trace") << QStringList{"--trace", "t.txt"} << "trace";
        QTest::newRow("seed selects the simulator") << QStringList{"--sim-seed", "42"} << "seed";
        QTest::newRow("faults") << QStringList{"--sim-fault", "ready-stuck", "--sim-fault=no-board"}
                                << "faults";
        QTest::newRow("speed") << QStringList{"--sim-speed", "fast"} << "speed";
        QTest::newRow("inputs") << QStringList{"--sim-input", "3=1.25,5", "--sim-input", "0=-0.5"}
                                << "inputs";
    }
    void goodCommandLines() {
        QFETCH(QStringList, args);
        QFETCH(QString, check);
        const auto parsed = ParseCommandLine(Args(args), Speed::RealTime);
        QVERIFY2(parsed.ok, parsed.error.c_str());
        const auto& o = parsed.options;
        QCOMPARE(QString::fromStdString(o.commandLine), args.join(' '));
        if (check == "plain") {
            QVERIFY(!o.simulate && !o.portDevice && !o.traceFile && !o.help && !o.version);
            QCOMPARE(o.sim.speed, Speed::RealTime);
        } else if (check == "help") {
            QVERIFY(o.help);
        } else if (check == "version") {
            QVERIFY(o.version);
        } else if (check == "simulate") {
            QVERIFY(o.simulate);
        } else if (check == "port") {
            QCOMPARE(o.portDevice.value_or(""), std::string("/dev/parport1"));
            QVERIFY(!o.simulate);
        } else if (check == "trace") {
            QCOMPARE(o.traceFile.value_or(""), std::string("t.txt"));
        } else if (check == "seed") {
            QVERIFY(o.simulate);
            QCOMPARE(o.sim.seed, uint64_t{42});
        } else if (check == "faults") {
            QCOMPARE(o.sim.faults, (std::set<kx::sim::Fault>{kx::sim::Fault::ReadyStuck,
                                                             kx::sim::Fault::NoBoard}));
        } else if (check == "speed") {
            QCOMPARE(o.sim.speed, Speed::Fast);
        } else if (check == "inputs") {
            QCOMPARE(o.sim.inputs.size(), size_t{2});
            QCOMPARE(o.sim.inputs.at(3).volts, 1.25);
            QCOMPARE(o.sim.inputs.at(3).noiseMicrovolts, 5.0);
            QCOMPARE(o.sim.inputs.at(0).volts, -0.5);
        }
    }

    void badCommandLines_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "unknown option --bogus";
        QTest::newRow("unknown short option") << QStringList{"-x"} << "unknown option -x";
        QTest::newRow("port without device") << QStringList{"--port"} << "--port needs a value";
        QTest::newRow("empty port") << QStringList{"--port="} << "--port needs a device";
        QTest::newRow("bad seed") << QStringList{"--sim-seed", "x1"} << "--sim-seed";
        QTest::newRow("negative seed") << QStringList{"--sim-seed", "-1"} << "--sim-seed";
        QTest::newRow("unknown fault") << QStringList{"--sim-fault", "smoke"} << "smoke";
        QTest::newRow("unknown speed") << QStringList{"--sim-speed", "slow"} << "slow";
        QTest::newRow("bad input") << QStringList{"--sim-input", "16=0"} << "--sim-input";
        QTest::newRow("input without volts") << QStringList{"--sim-input", "3="} << "--sim-input";
        QTest::newRow("port and simulator")
            << QStringList{"--port", "/dev/parport0", "--simulate"} << "exclude";
        QTest::newRow("port and a simulator option")
            << QStringList{"--sim-seed", "1", "--port", "/dev/parport0"} << "exclude";
        QTest::newRow("flag with a value") << QStringList{"--simulate=yes"} << "takes no value";
    }
    void badCommandLines() {
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        const auto parsed = ParseCommandLine(Args(args), Speed::RealTime);
        QVERIFY(!parsed.ok);
        QVERIFY2(QString::fromStdString(parsed.error).contains(says), parsed.error.c_str());
    }

    void boardChoice_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("machineHasPort");
        QTest::addColumn<bool>("simulated");
        QTest::addColumn<QString>("diagnostics");
        const QString notice =
            "No printer port found: using the simulated KX3105 board (--port DEVICE selects a "
            "port).\n";
        QTest::newRow("no port: simulated, and said") << QStringList{} << false << true << notice;
        QTest::newRow("a port: used") << QStringList{} << true << false << "";
        QTest::newRow("--simulate on a machine with a port")
            << QStringList{"--simulate"} << true << true << "";
        QTest::newRow("--port on a machine without one")
            << QStringList{"--port", "/dev/parport0"} << false << false << "";
    }
    void boardChoice() {
        QFETCH(QStringList, args);
        QFETCH(bool, machineHasPort);
        QFETCH(bool, simulated);
        QFETCH(QString, diagnostics);
        auto kernel = std::make_unique<FakeKernel>();
        if (machineHasPort) kernel->havePort0();
        const auto parsed = ParseCommandLine(Args(args), Speed::Fast);
        QVERIFY(parsed.ok);
        std::ostringstream diag;
        const kx::Board board = kx::OpenBoard(parsed.options, diag, std::move(kernel));
        QVERIFY(board.backend);
        QCOMPARE(board.simulated, simulated);
        QCOMPARE(QString::fromStdString(diag.str()), diagnostics);
        if (simulated)
            QCOMPARE(board.backend->describe(), std::string("simulated KX3105 board"));
        else
            QCOMPARE(board.backend->describe(), std::string("/dev/parport0"));
    }

    void statusSwitchOnTheSimulatedBoard() {
        FreshProgram program;
        ScriptedMessages shown;
        const auto parsed = ParseCommandLine({"/ss"}, Speed::Fast);
        QVERIFY(parsed.ok);
        std::ostringstream diag;
        const kx::Board board = kx::OpenBoard(parsed.options, diag, std::make_unique<FakeKernel>());
        SetPortBackend(board.backend.get());
        kx::RunStartup(parsed.options);

        QCOMPARE(shown.shown.size(), size_t{1});
        const kx::Message& m = shown.shown[0];
        QCOMPARE(m.title, std::string("Show Status"));
        QCOMPARE(m.icon, kx::Icon::Information);
        const QString text = QString::fromStdString(m.text);
        QVERIFY(text.startsWith("Windows Version:"));
        QVERIFY(text.endsWith("\rPort Address:0x378"));
        QCOMPARE(PortAddress, int16_t(0x378));
        QCOMPARE(ReferenceVoltage, 2.5f);
        QVERIFY(kx::PortMenuEnabled.lpt1 && !kx::PortMenuEnabled.lpt2 && !kx::PortMenuEnabled.prn);
        QCOMPARE(kx::BoardLine(board), std::string("Board: simulated KX3105 board at 0x378"));
    }

    void startupOrderAndControlLines() {
        // The claim and lookup come before the control-line setup, which is the only traffic.
        FreshProgram program;
        ScriptedMessages shown;
        RecordingBoard recording(0);
        recording.port.script(0x37A, {0xCC});
        kx::StartupOptions options;
        kx::RunStartup(options);
        QCOMPARE(recording.port.calls.size(), size_t{3});
        QCOMPARE(recording.port.accesses,
                 (std::vector<kx::PortAccess>{{kx::PortAccess::Read, 0x37A, 0xCC},
                                              {kx::PortAccess::Write, 0x37A, 0xC4}}));
        QCOMPARE(ReferenceVoltage, 2.5f);
        QVERIFY(shown.shown.empty());
    }

    // The real kernel of this machine: without a printer port, start-up says why and makes no
    // port access at all.
    void namedPortOnAMachineWithoutOne() {
        if (QFile::exists("/dev/parport0")) QSKIP("this machine has a printer port");
        FreshProgram program;
        ScriptedMessages shown;
        QTemporaryDir dir;
        const QString trace = dir.filePath("trace.txt");
        const auto parsed = ParseCommandLine(
            {"--port", "/dev/parport0", "--trace", trace.toStdString()}, Speed::Fast);
        QVERIFY(parsed.ok);
        std::string error;
        QVERIFY(kx::StartPortTrace(*parsed.options.traceFile, error));
        std::ostringstream diag;
        const kx::Board board = kx::OpenBoard(parsed.options, diag);
        SetPortBackend(board.backend.get());
        kx::RunStartup(parsed.options);
        kx::StopPortTrace();

        QCOMPARE(shown.shown.size(), size_t{2});
        QCOMPARE(shown.shown[0].text, std::string("claim parallel port failed"));
        QCOMPARE(shown.shown[1].text,
                 std::string("This PC does not appear to have a Printer Port"));
        QCOMPARE(shown.shown[1].title, std::string("GetPortAddress Error"));
        QVERIFY2(QString::fromStdString(diag.str()).contains("no such device"), diag.str().c_str());
        QCOMPARE(PortAddress, int16_t(0));
        QFile f(trace);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray());
        QCOMPARE(kx::BoardLine(board),
                 std::string("Board: printer port /dev/parport0, not available"));
    }

    void programAnswersWithoutADisplay_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("version") << QStringList{"--version"} << 0 << "2.0.1\n"
                                 << "";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: kx3105"
                              << "";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << ""
                                        << "unknown option --bogus";
        QTest::newRow("usage on error") << QStringList{"--sim-fault", "smoke"} << 2 << ""
                                        << "Usage: kx3105";
        QTest::newRow("unwritable trace")
            << QStringList{"--simulate", "--trace", "/no/such/dir/t.txt"} << 1 << ""
            << "cannot write the trace /no/such/dir/t.txt";
    }
    void programAnswersWithoutADisplay() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess p;
        p.start(KX3105_BINARY, args);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), exitCode);
        const QString stdOut = QString::fromLocal8Bit(p.readAllStandardOutput());
        const QString stdErr = QString::fromLocal8Bit(p.readAllStandardError());
        if (out.endsWith('\n'))
            QCOMPARE(stdOut, out);
        else if (!out.isEmpty())
            QVERIFY2(stdOut.contains(out), qPrintable(stdOut));
        if (!err.isEmpty()) QVERIFY2(stdErr.contains(err), qPrintable(stdErr));
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
