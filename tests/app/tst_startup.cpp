#include <QtTest>

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <sstream>

#include <sys/stat.h>

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
        QTest::addColumn<QString>("statusWords");  // what start-up searches for "/SS"
        QTest::newRow("nothing") << QStringList{} << "plain"
                                 << "";
        QTest::newRow("status switch") << QStringList{"/SS"} << "plain"
                                       << "/SS";
        QTest::newRow("switch in lower case") << QStringList{"/ss"} << "plain"
                                              << "/ss";
        QTest::newRow("switch among options") << QStringList{"--simulate", "/sS"} << "simulate"
                                              << "/sS";
        QTest::newRow("switch after --") << QStringList{"--", "/SS"} << "plain"
                                         << "/SS";
        QTest::newRow("a path holding /ss is no switch")
            << QStringList{"--trace", "/root/ssd/t.txt"} << "trace /root/ssd/t.txt"
            << "";
        QTest::newRow("nor is a file named /SS") << QStringList{"--trace=/SS"} << "trace /SS"
                                                 << "";
        QTest::newRow("an inline value may start with -")
            << QStringList{"--trace=--simulate"} << "trace --simulate"
            << "";
        QTest::newRow("an inline device too") << QStringList{"--port=-p"} << "port -p"
                                              << "";
        QTest::newRow("help") << QStringList{"--help"} << "help"
                              << "";
        QTest::newRow("version") << QStringList{"--version"} << "version"
                                 << "";
        QTest::newRow("simulate") << QStringList{"--simulate"} << "simulate"
                                  << "";
        QTest::newRow("port") << QStringList{"--port", "/dev/parport1"} << "port /dev/parport1"
                              << "";
        QTest::newRow("port=") << QStringList{"--port=/dev/parport1"} << "port /dev/parport1"
                               << "";
        QTest::newRow("trace") << QStringList{"--trace", "t.txt"} << "trace t.txt"
                               << "";
        QTest::newRow("seed selects the simulator") << QStringList{"--sim-seed", "42"} << "seed"
                                                    << "";
        QTest::newRow("faults") << QStringList{"--sim-fault", "ready-stuck", "--sim-fault=no-board"}
                                << "faults"
                                << "";
        QTest::newRow("speed") << QStringList{"--sim-speed", "fast"} << "speed"
                               << "";
        QTest::newRow("inputs") << QStringList{"--sim-input", "3=1.25,5", "--sim-input", "0=-0.5"}
                                << "inputs"
                                << "";
    }
    void goodCommandLines() {
        QFETCH(QStringList, args);
        QFETCH(QString, check);
        QFETCH(QString, statusWords);
        const auto parsed = ParseCommandLine(Args(args), Speed::RealTime);
        QVERIFY2(parsed.ok, parsed.error.c_str());
        const auto& o = parsed.options;
        QCOMPARE(QString::fromStdString(o.commandLine), statusWords);
        if (check == "plain") {
            QVERIFY(!o.simulate && !o.portDevice && !o.traceFile && !o.help && !o.version);
            QCOMPARE(o.sim.speed, Speed::RealTime);
        } else if (check == "help") {
            QVERIFY(o.help);
        } else if (check == "version") {
            QVERIFY(o.version);
        } else if (check == "simulate") {
            QVERIFY(o.simulate);
        } else if (check.startsWith("port ")) {
            QCOMPARE(QString::fromStdString(o.portDevice.value_or("")), check.mid(5));
            QVERIFY(!o.simulate);
        } else if (check.startsWith("trace ")) {
            QCOMPARE(QString::fromStdString(o.traceFile.value_or("")), check.mid(6));
            QVERIFY(!o.simulate);
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
        QTest::newRow("a stray word") << QStringList{"foo"} << "unexpected argument 'foo'";
        QTest::newRow("a word holding /SS") << QStringList{"x/SS"} << "unexpected argument 'x/SS'";
        QTest::newRow("a lone dash") << QStringList{"-"} << "unexpected argument '-'";
        QTest::newRow("an option after --")
            << QStringList{"--", "--simulate"} << "unexpected argument '--simulate'";
        QTest::newRow("an option as the trace file")
            << QStringList{"--trace", "--simulate"}
            << "--trace needs a value, not '--simulate' (write --trace=VALUE";
        QTest::newRow("an option as the device")
            << QStringList{"--port", "-h"} << "--port needs a value, not '-h'";
        QTest::newRow("a voltage beyond a double")
            << QStringList{"--sim-input", "3=1e309"}
            << "--sim-input 3=1e309: the voltage 1e309 is out of range";
        QTest::newRow("a voltage below a double")
            << QStringList{"--sim-input=3=1e-400"} << "the voltage 1e-400 is out of range";
        QTest::newRow("a noise beyond a double")
            << QStringList{"--sim-input", "3=0,1e309"} << "the noise 1e309 is out of range";
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

    void statusSwitchOnTheSimulatedBoard_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("status");
        QTest::newRow("/ss") << QStringList{"/ss"} << true;
        QTest::newRow("/SS after options") << QStringList{"--sim-seed", "3", "/SS"} << true;
        QTest::newRow("no switch, a path holding /ss")
            << QStringList{"--sim-speed", "fast", "--trace", "/root/ssd/t.txt"} << false;
    }
    void statusSwitchOnTheSimulatedBoard() {
        QFETCH(QStringList, args);
        QFETCH(bool, status);
        FreshProgram program;
        ScriptedMessages shown;
        const auto parsed = ParseCommandLine(Args(args), Speed::Fast);
        QVERIFY(parsed.ok);
        std::ostringstream diag;
        const kx::Board board = kx::OpenBoard(parsed.options, diag, std::make_unique<FakeKernel>());
        SetPortBackend(board.backend.get());
        kx::RunStartup(parsed.options);

        QCOMPARE(shown.shown.size(), size_t(status ? 1 : 0));
        if (!status) return;
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

    // The board line names the port now in use: the printer-port menu may leave the board behind.
    void boardLineFollowsThePortInUse_data() {
        QTest::addColumn<QString>("board");  // simulated, claimed, unavailable
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("line");
        QTest::newRow("simulated, LPT1")
            << "simulated" << 0x378 << "Board: simulated KX3105 board at 0x378";
        QTest::newRow("simulated, LPT2")
            << "simulated" << 0x278
            << "Board: LPT2 at 0x278, no board there (the simulated KX3105 board is at 0x378)";
        QTest::newRow("printer port, its own address")
            << "claimed" << 0x378 << "Board: printer port /dev/parport0 at 0x378";
        QTest::newRow("printer port, PRN chosen")
            << "claimed" << 0x3BC
            << "Board: PRN at 0x3BC, no board there (the printer port /dev/parport0 is at 0x378)";
        QTest::newRow("no port, none chosen")
            << "unavailable" << 0 << "Board: printer port /dev/parport0, not available";
        QTest::newRow("no port, LPT1 chosen")
            << "unavailable" << 0x378
            << "Board: LPT1 at 0x378, no board there (the printer port /dev/parport0 is not "
               "available)";
    }
    void boardLineFollowsThePortInUse() {
        QFETCH(QString, board);
        QFETCH(int, address);
        QFETCH(QString, line);
        FreshProgram program;
        ScriptedMessages shown;
        auto kernel = std::make_unique<FakeKernel>();
        kernel->havePort0();
        if (board == "unavailable") kernel->openResult = -EACCES;
        const auto parsed =
            ParseCommandLine(board == "simulated" ? std::vector<std::string>{"--simulate"}
                                                  : std::vector<std::string>{},
                             Speed::Fast);
        std::ostringstream diag;
        const kx::Board opened = kx::OpenBoard(parsed.options, diag, std::move(kernel));
        SetPortBackend(opened.backend.get());
        kx::RunStartup(parsed.options);
        if (board == "unavailable") PortAddress = 0;  // as when the kernel names no base either
        const std::string atStart = kx::BoardLine(opened);
        PortAddress = static_cast<int16_t>(address);  // what the printer-port menu does
        QCOMPARE(QString::fromStdString(kx::BoardLine(opened)), line);
        PortAddress = 0x378;
        if (board != "unavailable") QCOMPARE(kx::BoardLine(opened), atStart);
    }

    // The real kernel: a path that is no printer port is said so on diagnostics and is not
    // opened; the screen shows the claim failure and the missing port, as with no port at all.
    void aPathThatIsNoPrinterPort_data() {
        QTest::addColumn<QString>("device");
        QTest::newRow("regular file") << "file";
        QTest::newRow("directory") << "dir";
        QTest::newRow("missing path") << "missing";
        QTest::newRow("character device of another kind") << "/dev/null";
    }
    void aPathThatIsNoPrinterPort() {
        QFETCH(QString, device);
        FreshProgram program;
        ScriptedMessages shown;
        QTemporaryDir dir;
        if (device == "file") {
            device = dir.filePath("parport0");
            QFile f(device);
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else if (device == "dir") {
            device = dir.path();
        } else if (device == "missing") {
            device = dir.filePath("parport9");
        }
        const auto parsed = ParseCommandLine({"--port", device.toStdString()}, Speed::Fast);
        QVERIFY(parsed.ok);
        std::ostringstream diag;
        const kx::Board board = kx::OpenBoard(parsed.options, diag);
        SetPortBackend(board.backend.get());
        kx::RunStartup(parsed.options);

        const QString said = QString::fromStdString(diag.str());
        QVERIFY2(said.startsWith("kx3105: " + device + " is not a printer port device"),
                 qPrintable(said));
        QVERIFY2(!said.contains("lp group"), qPrintable(said));
        QCOMPARE(shown.shown.size(), size_t{2});
        QCOMPARE(shown.shown[0].text, std::string("claim parallel port failed"));
        QCOMPARE(shown.shown[1].text,
                 std::string("This PC does not appear to have a Printer Port"));
        QCOMPARE(PortAddress, int16_t(0));
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
        QTest::newRow("stray word") << QStringList{"--simulate", "foo"} << 2 << ""
                                    << "kx3105: unexpected argument 'foo'\nUsage: kx3105";
        QTest::newRow("an option as the trace file")
            << QStringList{"--trace", "--simulate"} << 2 << ""
            << "kx3105: --trace needs a value, not '--simulate'";
        QTest::newRow("a FIFO nobody reads")
            << QStringList{"--simulate", "--trace", "fifo"} << 2 << ""
            << "kx3105: refusing the trace fifo: nothing reads it";
    }
    void programAnswersWithoutADisplay() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QTemporaryDir dir;
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
        QProcess p;
        p.setWorkingDirectory(dir.path());
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
        // Nothing named after an option, nothing left behind by a refused start.
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System),
                 QStringList{"fifo"});
    }

    void noDisplayIsSaidPlainly() {
        QTemporaryDir dir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("DISPLAY", "");  // set but empty names no display either
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(KX3105_BINARY, {"--simulate", "--trace", dir.filePath("t.txt")});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 2);
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardError()),
                 QString("kx3105: no display found: run it in a desktop session, or use "
                         "kx3105-cli\n"));
        QVERIFY(!QFile::exists(dir.filePath("t.txt")));
    }

    // --help and --version whose output is lost fail, as GNU tools do.
    void outputThatCannotBeWritten_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("reason");
        QTest::newRow("version into a full output") << "exec \"$0\" --version >/dev/full"
                                                    << "No space left on device";
        QTest::newRow("version into a closed output") << "exec \"$0\" --version >&-"
                                                      << "Bad file descriptor";
    }
    void outputThatCannotBeWritten() {
        QFETCH(QString, command);
        QFETCH(QString, reason);
        if (!QFile::exists("/dev/full")) QSKIP("no /dev/full here");
        QProcess p;
        p.start("/bin/sh", {"-c", command, KX3105_BINARY});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardError()),
                 "kx3105: write error: " + reason + "\n");
    }

    // The running program (offscreen) with a trace on a character device: /dev/stderr streams
    // the start-up traffic, /dev/full is said to fail once and the program goes on.
    void traceOnACharacterDevice_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("said");
        QTest::newRow("/dev/stderr") << "/dev/stderr"
                                     << "R 37A CC\nW 37A C4\n";
        QTest::newRow("/dev/full")
            << "/dev/full"
            << "kx3105: cannot write the trace /dev/full: No space left on device; tracing "
               "stopped\n";
    }
    void traceOnACharacterDevice() {
        QFETCH(QString, target);
        QFETCH(QString, said);
        if (!QFile::exists(target)) QSKIP("no such device here");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess p;
        p.setProcessEnvironment(env);
        p.setReadChannel(QProcess::StandardError);
        p.start(KX3105_BINARY, {"--simulate", "--trace", target});
        QVERIFY(p.waitForStarted(20000));
        QString stdErr;
        QDeadlineTimer deadline(20000);
        while (!stdErr.contains(said) && !deadline.hasExpired() && p.state() == QProcess::Running) {
            p.waitForReadyRead(200);
            stdErr += QString::fromLocal8Bit(p.readAllStandardError());
        }
        const bool running = p.state() == QProcess::Running;
        p.kill();
        p.waitForFinished(5000);
        QVERIFY2(stdErr.contains(said), qPrintable(stdErr));
        QVERIFY(running);  // the program goes on
        QCOMPARE(stdErr.count(said), 1);
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
