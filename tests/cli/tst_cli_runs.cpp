#include <QtTest>

#include <sys/resource.h>

#include <csignal>
#include <thread>

#include "tests/cli/cli_runner.h"
#include "tests/support/child_signal.h"

// Runs and board states that must survive: captures ended by a signal or a failure, and the
// --sim-state file under concurrent calls, killed calls and files that are no state.

class CliRunsTest : public QObject {
    Q_OBJECT

    CliRunner cli;

    // "name HEX" lines of a state file.
    QMap<QString, QString> stateOf(const QString& name) const {
        QMap<QString, QString> values;
        for (const QByteArray& line : cli.bytes(name).split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() == 2) values[words[0]] = words[1];
        }
        return values;
    }

private slots:
    void captureEndedBySignal_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("status");
        QTest::newRow("SIGTERM") << SIGTERM << 143;
        QTest::newRow("SIGINT") << SIGINT << 130;
    }
    void captureEndedBySignal() {
        QFETCH(int, signal);
        QFETCH(int, status);
        // Real time at about 100 conversions a second: a second of it is many codes.
        QProcess p;
        CliRunner::Prepare(p, cli.dir());
        p.start(KX3105_CLI, {"--simulate", "--sim-speed", "realtime", "capture", "100000", "--rate",
                             "100", "-o", "run.dat"});
        QVERIFY(p.waitForStarted());
        QTest::qWait(1000);
        KX_SIGNAL_CHILD(p, signal);
        const CliResult r = CliRunner::finish(p);
        QCOMPARE(r.exitCode, status);
        const int codes = static_cast<int>(cli.bytes("run.dat").count("\r\n"));
        QVERIFY2(codes > 10 && codes < 200, qPrintable(QString::number(codes)));
        QCOMPARE(r.err, QString("kx3105-cli: update rate 97.52 Hz (filter word 0x0E)\n"
                                "kx3105-cli: interrupted after %1 codes\n")
                            .arg(codes));
    }

    // SIGKILL part way through a capture: no file beside the target, an earlier file as it was.
    void killedCaptureLeavesNothing_data() {
        QTest::addColumn<QByteArray>("before");  // empty: no file yet
        QTest::newRow("new target") << QByteArray();
        QTest::newRow("earlier file") << QByteArray(" 1\r\n");
    }
    void killedCaptureLeavesNothing() {
        QFETCH(QByteArray, before);
        QDir(cli.path("killed")).removeRecursively();
        QVERIFY(QDir(cli.dir()).mkdir("killed"));
        if (!before.isEmpty()) QVERIFY(cli.write("killed/run.dat", before));
        QProcess p;
        CliRunner::Prepare(p, cli.dir());
        p.start(KX3105_CLI, {"--simulate", "--sim-speed", "realtime", "capture", "100000", "--rate",
                             "100", "-o", "killed/run.dat"});
        QVERIFY(p.waitForStarted());
        QTest::qWait(500);
        KX_SIGNAL_CHILD(p, SIGKILL);
        QCOMPARE(CliRunner::finish(p).exitCode, -1);
        const QStringList left =
            QDir(cli.path("killed"))
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        QCOMPARE(left, before.isEmpty() ? QStringList{} : QStringList{"run.dat"});
        if (!before.isEmpty()) QCOMPARE(cli.bytes("killed/run.dat"), before);
    }

    // Where the count is known the memory is asked for before anything starts: too little is a
    // message and exit 1, with nothing left beside the target. A capture holds no more than a
    // buffer, so it runs under the same limit.
    void memoryAskedForUpFront_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("err");
        const QString noRoom = "kx3105-cli: not enough memory for 10000000 codes\n";
        QTest::newRow("sweep") << QStringList{"sweep", "--count", "10000000", "-o", "mem/s.csv"}
                               << noRoom;
        QTest::newRow("log") << QStringList{"log",      "--every", "1",        "--average",
                                            "10000000", "-o",      "mem/l.csv"}
                             << noRoom;
        // A million codes held whole with their text would pass the limit.
        QTest::newRow("capture") << QStringList{"capture", "1000000", "--format",
                                                "json",    "-o",      "mem/c.json"}
                                 << QString();
    }
    void memoryAskedForUpFront() {
        QFETCH(QStringList, args);
        QFETCH(QString, err);
        QDir(cli.path("mem")).removeRecursively();
        QVERIFY(QDir(cli.dir()).mkdir("mem"));
        const CliResult r =
            cli.run(QStringList{"--simulate", "--quiet"} + args, {}, [](QProcess& p) {
                p.setChildProcessModifier([] {
                    rlimit limit{40000 * 1024, 40000 * 1024};  // ulimit -v 40000
                    setrlimit(RLIMIT_AS, &limit);
                });
            });
        QCOMPARE(r.err, err);
        QCOMPARE(r.exitCode, err.isEmpty() ? 0 : 1);
        const QStringList left =
            QDir(cli.path("mem")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(left, err.isEmpty() ? QStringList{"c.json"} : QStringList{});
    }

    // The signal helper: a child that has ended is not signalled (kill(0, ...) would reach the
    // whole process group, this test and the rest of the group with it); the check fails on its
    // own, and the test goes on.
    void signalsOnlyARunningChild() {
        QProcess sibling;
        sibling.start("sleep", {"30"});
        QVERIFY(sibling.waitForStarted());
        QProcess ended;
        CliRunner::Prepare(ended, cli.dir());
        ended.start(KX3105_CLI, {"frob"});
        QVERIFY(ended.waitForFinished(10000));
        QCOMPARE(ended.exitCode(), 2);
        QCOMPARE(ended.processId(), qint64(0));

        QEXPECT_FAIL("", "the child has ended before the signal", Continue);
        KX_SIGNAL_CHILD(ended, SIGTERM);
        QCOMPARE(sibling.state(), QProcess::Running);
        QVERIFY(SignalRunningChild(sibling, SIGTERM));
        QVERIFY(sibling.waitForFinished(5000));
        QCOMPARE(sibling.exitStatus(), QProcess::CrashExit);
    }

    void failedCaptureWritesNothing() {
        // A bad name fails before the board is even opened: no trace, and at once, where the
        // capture itself would take minutes.
        QElapsedTimer timer;
        timer.start();
        CliResult r = cli.run({"--simulate", "--sim-speed", "realtime", "--trace", "t.trace",
                               "capture", "5000", "-o", "missing/run.dat"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY2(r.err.contains("missing/run.dat: No such file or directory"), qPrintable(r.err));
        QVERIFY(!QFile::exists(cli.path("t.trace")));

        // A time-out leaves the earlier file as it was, in every format.
        QVERIFY(cli.write("old.dat", " 1\r\n"));
        for (const QString format : {"dat", "csv", "json"}) {
            r = cli.run({"--sim-fault", "ready-stuck", "capture", "10", "--format", format, "-o",
                         "old.dat"});
            QCOMPARE(r.exitCode, 1);
            QCOMPARE(cli.bytes("old.dat"), QByteArray(" 1\r\n"));
        }
        QCOMPARE(QDir(cli.dir()).entryList(QDir::Files).filter("old.dat").size(), 1);

        // Paths that are no regular file are refused before anything is written.
        QVERIFY(QDir(cli.dir()).mkdir("adir"));
        r = cli.run({"--simulate", "capture", "10", "-o", "adir"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(QFileInfo(cli.path("adir")).isDir());
    }

    // Two calls at once on one state file, each writing its own register: both writes land.
    void concurrentCallsLoseNothing() {
        const QString state = cli.path("shared.state");
        for (int round = 0; round < 200; ++round) {
            const QString filter = QString::number(3 + round % 200, 16).toUpper();
            const QString io = QString::number(round % 4 * 16 + round % 2, 16).toUpper();
            QProcess a;
            QProcess b;
            CliRunner::Prepare(a, cli.dir());
            CliRunner::Prepare(b, cli.dir());
            a.start(KX3105_CLI, {"--sim-state", state, "write", "filter", filter});
            b.start(KX3105_CLI, {"--sim-state", state, "write", "io-control", io});
            QCOMPARE(CliRunner::finish(a).exitCode, 0);
            QCOMPARE(CliRunner::finish(b).exitCode, 0);
            const auto values = stateOf("shared.state");
            QCOMPARE(values.value("filter"), filter);
            QCOMPARE(values.value("io-control"), io);
            QCOMPARE(values.value("gain"), QString("400000"));
        }
    }

    // A save cut short by the file-size limit: killed by SIGXFSZ, or failing with EFBIG when the
    // signal is ignored. Either way the previous state stays whole.
    void failedSaveKeepsState() {
        QCOMPARE(cli.run({"--sim-state", "kept.state", "write", "filter", "2A"}).exitCode, 0);
        const QByteArray before = cli.bytes("kept.state");
        for (const bool ignoreSignal : {false, true}) {
            const CliResult r = cli.run({"--sim-state", "kept.state", "write", "filter", "3"}, {},
                                        [ignoreSignal](QProcess& p) {
                                            p.setChildProcessModifier([ignoreSignal] {
                                                rlimit limit{16, 16};
                                                setrlimit(RLIMIT_FSIZE, &limit);
                                                if (ignoreSignal) std::signal(SIGXFSZ, SIG_IGN);
                                            });
                                        });
            QCOMPARE(r.exitCode, ignoreSignal ? 1 : -1);
            if (ignoreSignal)
                QVERIFY2(r.err.contains("cannot save the board's state"), qPrintable(r.err));
            QCOMPARE(cli.bytes("kept.state"), before);
        }
    }

    // What is no whole state is refused before the command runs: the trace stays unwritten.
    void refusedStates_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("error");
        QTest::newRow("device") << "/dev/zero"
                                << "/dev/zero is not a regular file";
        QTest::newRow("directory") << "sdir"
                                   << "sdir is not a regular file";
        QTest::newRow("truncated") << "cut.state"
                                   << "not a whole board state: no value for";
        QTest::newRow("empty") << "empty.state"
                               << "empty";
        QTest::newRow("too large") << "large.state"
                                   << "larger than 64 KiB";
        QTest::newRow("bad value") << "bad.state"
                                   << "line 1: unknown register 'mood'";
        QTest::newRow("lock is a link") << "linked.state"
                                        << "linked.state.lock is a symbolic link";
    }
    void refusedStates() {
        QFETCH(QString, state);
        QFETCH(QString, error);
        QDir(cli.dir()).mkdir("sdir");
        QVERIFY(cli.write("cut.state",
                          "mode 1\nadc-control 7\nfilter 45\nio-control 0\n"
                          "offset 80\n"));
        QVERIFY(cli.write("empty.state", ""));
        QVERIFY(cli.write("large.state", QByteArray(70000, '\n')));
        QVERIFY(cli.write("bad.state", "mood 3\n"));
        QFile::link(cli.path("victim"), cli.path("linked.state.lock"));
        const CliResult r =
            cli.run({"--sim-state", state, "--trace", "s.trace", "write", "filter", "3"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.startsWith("kx3105-cli: ") && r.err.contains(error), qPrintable(r.err));
        QVERIFY(!QFile::exists(cli.path("s.trace")));
        QVERIFY(!QFile::exists("/dev/zero.lock"));
        QVERIFY(!QFile::exists(cli.path("victim")));
    }
};

QTEST_GUILESS_MAIN(CliRunsTest)
#include "tst_cli_runs.moc"
