#include <QtTest>

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <map>
#include <sstream>

#include <sys/stat.h>

#include "app/startup.h"
#include "board/program_port.h"
#include "board/windows_version.h"
#include "core/globals.h"
#include "sim/sim_options.h"
#include "tests/support/fake_kernel.h"
#include "tests/support/scripted_messages.h"
#include "ui/program_board.h"

using kx::ParseCommandLine;
using kx::sim::Speed;

namespace {
std::vector<std::string> Args(const QStringList& list) {
    std::vector<std::string> out;
    for (const auto& a : list)
        out.push_back(a.toStdString());
    return out;
}

// A display number no server uses: neither its socket nor its lock file exists.
QString FreeXDisplay() {
    for (int n = 97; n < 9797; n += 100)
        if (!QFile::exists(QString("/tmp/.X11-unix/X%1").arg(n)) &&
            !QFile::exists(QString("/tmp/.X%1-lock").arg(n)))
            return QString(":%1").arg(n);
    return ":9797";
}

// Starts the program on the simulated board with its trace to `trace` and reads its standard
// error until `said` shows, it ends, or 20 s pass; then stops it. Whether it was still running,
// and what it said.
std::pair<bool, QString> RunUntilSaid(const QProcessEnvironment& env, const QString& trace,
                                      const QString& said) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(KX3105_BINARY, {"--simulate", "--trace", trace});
    p.waitForStarted(20000);
    QString stdErr;
    QDeadlineTimer deadline(20000);
    while (!stdErr.contains(said) && !deadline.hasExpired() && p.state() == QProcess::Running) {
        p.waitForReadyRead(200);
        stdErr += QString::fromLocal8Bit(p.readAllStandardError());
    }
    const bool running = p.state() == QProcess::Running;
    p.kill();
    p.waitForFinished(5000);
    return {running, stdErr};
}

// Start-up state belongs to the whole program; every case starts from a fresh one.
struct FreshProgram {
    FreshProgram() {
        kx::ResetGlobals();
        kx::PortMenuEnabled = {};
    }
    ~FreshProgram() {
        SetPortBackend(nullptr);
        kx::ResetGlobals();
        kx::PortMenuEnabled = {};
        kx::ProgramCommandLine.clear();
    }
};
}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    // Each row states everything its command line sets.
    void goodCommandLines_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("options");
        QTest::newRow("nothing") << QStringList{} << "";
        QTest::newRow("status switch") << QStringList{"/SS"} << "status /SS";
        QTest::newRow("switch in lower case") << QStringList{"/ss"} << "status /ss";
        QTest::newRow("switch among options")
            << QStringList{"--simulate", "/sS"} << "simulate, status /sS";
        QTest::newRow("switch after --") << QStringList{"--", "/SS"} << "status /SS";
        QTest::newRow("a path holding /ss is no switch")
            << QStringList{"--trace", "/root/ssd/t.txt"} << "trace /root/ssd/t.txt";
        QTest::newRow("nor is a file named /SS") << QStringList{"--trace=/SS"} << "trace /SS";
        QTest::newRow("an inline value may start with -")
            << QStringList{"--trace=--simulate"} << "trace --simulate";
        QTest::newRow("an inline device too") << QStringList{"--port=-p"} << "port -p";
        QTest::newRow("port") << QStringList{"--port", "/dev/parport1"} << "port /dev/parport1";
        QTest::newRow("help, version") << QStringList{"--help", "--version"} << "help, version";
        QTest::newRow("seed selects the simulator")
            << QStringList{"--sim-seed", "42"} << "simulate, seed 42";
        QTest::newRow("faults") << QStringList{"--sim-fault", "ready-stuck", "--sim-fault=no-board"}
                                << "simulate, fault ready-stuck, fault no-board";
        QTest::newRow("speed") << QStringList{"--sim-speed", "fast"} << "simulate, fast";
        QTest::newRow("inputs") << QStringList{"--sim-input", "3=1.25,5", "--sim-input", "0=-0.5"}
                                << "simulate, input 0=-0.5,0.6, input 3=1.25,5";
        QTest::newRow("tones, a fault armed")
            << QStringList{"--sim-tone", "0=50,20", "--sim-tone=0=1315.3,2", "--sim-fault",
                           "ready-stuck@5"}
            << "simulate, fault ready-stuck after 5, tone 0=50,20, tone 0=1315.3,2";
    }
    void goodCommandLines() {
        QFETCH(QStringList, args);
        QFETCH(QString, options);
        const auto parsed = ParseCommandLine(Args(args), Speed::RealTime);
        QVERIFY2(parsed.ok, parsed.error.c_str());
        const kx::StartupOptions& o = parsed.options;
        QStringList set;
        auto text = [](const std::string& s) { return QString::fromStdString(s); };
        if (o.help) set << "help";
        if (o.version) set << "version";
        if (o.simulate) set << "simulate";
        if (o.portDevice) set << "port " + text(*o.portDevice);
        if (o.traceFile) set << "trace " + text(*o.traceFile);
        if (!o.commandLine.empty()) set << "status " + text(o.commandLine);
        if (o.sim.seed != 1) set << QString("seed %1").arg(o.sim.seed);
        if (o.sim.speed == Speed::Fast) set << "fast";
        for (kx::sim::Fault f : o.sim.faults)
            set << "fault " + text(kx::sim::FaultName(f));
        for (const auto& [f, results] : o.sim.faultsAfterResults)
            set << QString("fault %1 after %2").arg(text(kx::sim::FaultName(f))).arg(results);
        for (const auto& tone : o.sim.tones)
            set << QString("tone %1=%2,%3")
                       .arg(tone.channel)
                       .arg(tone.hertz)
                       .arg(tone.microvoltsRms);
        for (const auto& [channel, input] : o.sim.inputs)
            set << QString("input %1=%2,%3")
                       .arg(channel)
                       .arg(input.volts)
                       .arg(input.noiseMicrovolts);
        QCOMPARE(set.join(", "), options);
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
        QTest::newRow("fault count not a number")
            << QStringList{"--sim-fault", "no-board@x"} << "--sim-fault no-board@x: after '@'";
        QTest::newRow("tone without amplitude")
            << QStringList{"--sim-tone", "0=50"} << "--sim-tone 0=50: not CH=HZ,UV";
        QTest::newRow("unknown speed") << QStringList{"--sim-speed", "slow"} << "slow";
        QTest::newRow("bad input") << QStringList{"--sim-input", "16=0"} << "--sim-input";
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
        const kx::BoardPort board = kx::OpenBoardPort(parsed.options, diag, std::move(kernel));
        QVERIFY(board.backend);
        QCOMPARE(board.simulated, simulated);
        QCOMPARE(QString::fromStdString(diag.str()), diagnostics);
        QCOMPARE(board.backend->describe(),
                 std::string(simulated ? "simulated KX3105 board" : "/dev/parport0"));
    }

    // Start-up on the simulated board: the status message only for a free-standing switch.
    void statusSwitchOnTheSimulatedBoard_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("status");
        QTest::newRow("/ss") << QStringList{"--sim-seed", "3", "/ss"} << true;
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
        const kx::BoardPort board =
            kx::OpenBoardPort(parsed.options, diag, std::make_unique<FakeKernel>());
        SetPortBackend(board.backend.get());
        kx::RunStartup(parsed.options);

        QCOMPARE(ReferenceVoltage, 2.5f);
        QCOMPARE(shown.shown.size(), size_t(status ? 1 : 0));
        if (status) {
            QCOMPARE(shown.shown[0].title, std::string("Show Status"));
            QVERIFY(QString::fromStdString(shown.shown[0].text).endsWith("\rPort Address:0x378"));
        }
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
        const kx::BoardPort opened = kx::OpenBoardPort(parsed.options, diag, std::move(kernel));
        SetPortBackend(opened.backend.get());
        kx::RunStartup(parsed.options);
        PortAddress = static_cast<int16_t>(address);  // what the printer-port menu does
        QCOMPARE(QString::fromStdString(kx::BoardLine(opened)), line);
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
        const kx::BoardPort board = kx::OpenBoardPort(parsed.options, diag);
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
        QCOMPARE(QString::fromStdString(kx::BoardLine(board)),
                 "Board: printer port " + device + ", not available");
    }

    // What the program answers before any window: text, refusals, a trace it cannot use, no
    // display, an output that is lost (as GNU tools do). Nothing is left behind: no file named
    // after an option, no trace of a refused start.
    void answersBeforeTheMainMenu_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("shell");  // how it is started, "$0" the program
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString run = "exec \"$0\" \"$@\"";
        QTest::newRow("version") << QStringList{"--version"} << run << 0 << "2.0.1\n"
                                 << "";
        QTest::newRow("help") << QStringList{"--help"} << run << 0 << "Usage: kx3105"
                              << "";
        QTest::newRow("version into a full output")
            << QStringList{"--version"} << run + " >/dev/full" << 1 << ""
            << "kx3105: write error: No space left on device\n";
        QTest::newRow("help into a closed output")
            << QStringList{"--help"} << run + " >&-" << 1 << ""
            << "kx3105: write error: Bad file descriptor\n";
        QTest::newRow("usage on error") << QStringList{"--sim-fault", "smoke"} << run << 2 << ""
                                        << "Usage: kx3105";
        QTest::newRow("unwritable trace")
            << QStringList{"--simulate", "--trace", "/no/such/dir/t.txt"} << run << 1 << ""
            << "cannot write the trace /no/such/dir/t.txt";
        QTest::newRow("stray word") << QStringList{"--simulate", "foo"} << run << 2 << ""
                                    << "kx3105: unexpected argument 'foo'\nUsage: kx3105";
        QTest::newRow("an option as the trace file")
            << QStringList{"--trace", "--simulate"} << run << 2 << ""
            << "kx3105: --trace needs a value, not '--simulate'";
        QTest::newRow("a FIFO nobody reads")
            << QStringList{"--simulate", "--trace", "fifo"} << run << 2 << ""
            << "kx3105: refusing the trace fifo: nothing reads it";
        // Set but empty names no display either.
        QTest::newRow("no display")
            << QStringList{"--simulate", "--trace", "t.txt"} << "QT_QPA_PLATFORM= DISPLAY= " + run
            << 2 << ""
            << "kx3105: no display found: run it in a desktop session, or use kx3105-cli\n";
        // An X display nobody serves: said plainly instead of Qt's abort.
        const QString dead = FreeXDisplay();
        QTest::newRow("an X display that does not answer")
            << QStringList{"--simulate", "--trace", "t.txt"}
            << "QT_QPA_PLATFORM= WAYLAND_DISPLAY= DISPLAY=" + dead + " " + run << 2 << ""
            << "kx3105: no display found: cannot open display " + dead + "\n";
    }
    void answersBeforeTheMainMenu() {
        QFETCH(QStringList, args);
        QFETCH(QString, shell);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        if (shell.contains("/dev/full") && !QFile::exists("/dev/full")) QSKIP("no /dev/full");
        QTemporaryDir dir;
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        p.start("/bin/sh", QStringList{"-c", shell, KX3105_BINARY} + args);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), exitCode);
        const QString stdOut = QString::fromLocal8Bit(p.readAllStandardOutput());
        const QString stdErr = QString::fromLocal8Bit(p.readAllStandardError());
        if (out.endsWith('\n'))
            QCOMPARE(stdOut, out);
        else
            QVERIFY2(stdOut.contains(out), qPrintable(stdOut));
        QVERIFY2(stdErr.contains(err), qPrintable(stdErr));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System),
                 QStringList{"fifo"});
    }

    // Which display is opened before Qt starts: an X display is tried, a Wayland session or
    // another platform is left to Qt.
    void displayChoice() {
        const std::pair<QString, QString> cases[] = {
            {"DISPLAY= WAYLAND_DISPLAY= QT_QPA_PLATFORM=", "none"},
            {"DISPLAY=host:10.0", "X host:10.0"},
            {"DISPLAY=:97 QT_QPA_PLATFORM=offscreen", "not X"},
            {"DISPLAY=:97 WAYLAND_DISPLAY=wayland-0", "not X"},
            {"QT_QPA_PLATFORM=wayland;xcb", "not X"},
            {"DISPLAY=:1 WAYLAND_DISPLAY=wayland-0 QT_QPA_PLATFORM=xcb:nograb", "X :1"},
            {"QT_QPA_PLATFORM=xcb", "none"}};
        for (const auto& [environment, choice] : cases) {
            std::map<std::string, std::string> env;
            for (const QString& pair : environment.split(' '))
                env[pair.section('=', 0, 0).toStdString()] = pair.section('=', 1).toStdString();
            const kx::DisplayChoice c = kx::ChooseDisplay([&env](const char* name) -> const char* {
                const auto it = env.find(name);
                return it == env.end() ? nullptr : it->second.c_str();
            });
            const char* kinds[] = {"none", "not X", "X "};
            QCOMPARE(kinds[int(c.kind)] + QString::fromStdString(c.xDisplay), choice);
        }
    }

    // On an X display that answers the program starts: the check's own connection must not
    // leave the server without clients, since a bare Xvfb then resets under Qt's connection.
    void startsOnAnXDisplay() {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty()) QSKIP("no Xvfb here");
        // Xvfb picks a free display itself and names it on stdout once it accepts clients:
        // a stale socket left by an earlier server can neither clash nor look ready.
        QProcess server;
        server.start(xvfb, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
        QVERIFY(server.waitForStarted(10000));
        // Ended politely, Xvfb takes its socket and lock file with it.
        const auto stopServer = qScopeGuard([&server] {
            server.terminate();
            if (!server.waitForFinished(5000)) server.kill();
        });
        QDeadlineTimer ready(10000);
        while (!server.canReadLine() && !ready.hasExpired())
            server.waitForReadyRead(100);
        QVERIFY2(server.canReadLine(), "Xvfb named no display");
        const QString display = ":" + QString::fromLatin1(server.readLine()).trimmed();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("WAYLAND_DISPLAY");
        env.remove("XAUTHORITY");
        env.insert("DISPLAY", display);
        // The reset races Qt's connection: a few starts in a row show it.
        for (int start = 0; start < 3; ++start) {
            const auto [running, stdErr] = RunUntilSaid(env, "/dev/stderr", "W 37A C4");
            QVERIFY2(running && stdErr.contains("W 37A C4"), qPrintable(stdErr));
        }
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
        env.insert("DISPLAY", FreeXDisplay());  // offscreen needs no X server, so none is tried
        const auto [running, stdErr] = RunUntilSaid(env, target, said);
        QVERIFY2(stdErr.contains(said), qPrintable(stdErr));
        QVERIFY(running);  // the program goes on
        QCOMPARE(stdErr.count(said), 1);
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
