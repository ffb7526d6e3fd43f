#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/cli/cli_runner.h"
#include "tests/support/child_signal.h"

// What the tool leaves on disk and on its outputs: streams written as streams, the modes of the
// files it makes, a drift log held by one run and paced by the clock, cut back to whole lines on
// a full disk, a scan written pass by pass, and names that cannot break a message line.

class CliOutputsTest : public QObject {
    Q_OBJECT

    CliRunner cli;

    // The data lines of a drift log, after its header.
    QList<QByteArray> logLines(const QString& name) const {
        QList<QByteArray> lines = cli.bytes(name).split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        if (!lines.isEmpty() && lines.first() == "time,mean_code,volts,rms_codes,status")
            lines.removeFirst();
        return lines;
    }

    // Every line a whole reading: five fields, status ok.
    static bool AllWhole(const QList<QByteArray>& lines) {
        for (const QByteArray& line : lines)
            if (line.count(',') != 4 || !line.endsWith(",ok")) return false;
        return true;
    }

    static std::function<void(QProcess&)> InChild(std::function<void()> modify) {
        return [modify](QProcess& p) { p.setChildProcessModifier(modify); };
    }

private slots:
    // A FIFO or a device is written to as a stream; a directory is still refused.
    void capturesToStreams() {
        CliResult r = cli.run({"--simulate", "capture", "100", "-o", "/dev/null"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QString());

        const QString fifo = cli.path("codes.fifo");
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QByteArray streamed;
        std::thread reader([&] {
            std::ifstream in(QFile::encodeName(fifo).toStdString(), std::ios::binary);
            streamed =
                QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(in), {}));
        });
        r = cli.run({"--simulate", "capture", "100", "-o", fifo});
        reader.join();
        QCOMPARE(r.exitCode, 0);
        // The same codes as a capture into a file (the simulated board starts from one seed).
        QCOMPARE(cli.run({"--simulate", "capture", "100", "-o", "file.dat"}).exitCode, 0);
        QCOMPARE(streamed.count("\r\n"), 100);
        QCOMPARE(streamed, cli.bytes("file.dat"));
        QVERIFY(QFileInfo(fifo).isReadable() && !QFileInfo(fifo).isFile());

        QVERIFY(QDir(cli.dir()).mkdir("outdir"));
        r = cli.run({"--simulate", "capture", "10", "-o", "outdir"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("Is a directory"), qPrintable(r.err));
    }

    // New files take 0666 less the umask; a replaced one keeps its read and write bits only.
    void modesOfFilesMade_data() {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("before");  // -1: no file yet
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("after");
        const QStringList capture{"--simulate", "capture", "10", "-o", "m.dat"};
        QTest::newRow("capture over a 4755 file, umask 022") << 022 << 04755 << capture << 0644;
        QTest::newRow("new capture, umask 002") << 002 << -1 << capture << 0664;
        QTest::newRow("new log, umask 002")
            << 002 << -1 << QStringList{"--simulate", "log",        "--every", "0.01", "--average",
                                        "2",          "--duration", "0.02",    "-o",   "m.dat"}
            << 0664;
        QTest::newRow("sweep over a 0600 file, umask 022")
            << 022 << 0600 << QStringList{"--simulate", "sweep",   "--ranges", "20mV", "--filters",
                                          "45",         "--count", "10",       "-o",   "m.dat"}
            << 0600;
    }
    void modesOfFilesMade() {
        QFETCH(int, mask);
        QFETCH(int, before);
        QFETCH(QStringList, args);
        QFETCH(int, after);
        const QByteArray path = QFile::encodeName(cli.path("m.dat"));
        QFile::remove(cli.path("m.dat"));
        if (before >= 0) {
            QVERIFY(cli.write("m.dat", "time,mean_code,volts,rms_codes,status\n"));
            QCOMPARE(chmod(path.constData(), static_cast<mode_t>(before)), 0);
        }
        const CliResult r =
            cli.run(args, {}, InChild([mask] { umask(static_cast<mode_t>(mask)); }));
        QCOMPARE(r.exitCode, 0);
        struct stat info {};
        QCOMPARE(stat(path.constData(), &info), 0);
        QCOMPARE(static_cast<int>(info.st_mode & 07777), after);
    }

    // A second log on a file another run is writing is refused at once; the first run's lines
    // stay whole and its own.
    void logHeldByOneRun() {
        QProcess first;
        CliRunner::Prepare(first, cli.dir());
        first.start(KX3105_CLI, {"--simulate", "log", "--every", "0.01", "--average", "4",
                                 "--duration", "1", "-o", "shared.csv"});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(logLines("shared.csv").size() >= 3, 10000);
        const CliResult second = cli.run({"--simulate", "log", "--every", "0.01", "--average", "4",
                                          "--duration", "1", "-o", "shared.csv"});
        QCOMPARE(second.exitCode, 1);
        QCOMPARE(second.err, QString("kx3105-cli: shared.csv is being written by another log; it "
                                     "is left to that one\n"));
        const CliResult r = CliRunner::finish(first);
        QCOMPARE(r.exitCode, 0);
        const QList<QByteArray> lines = logLines("shared.csv");
        QCOMPARE(cli.bytes("shared.csv").count("time,"), 1);
        QVERIFY2(lines.size() > 50 && AllWhole(lines), cli.bytes("shared.csv").constData());

        // Once it has ended, the next run continues the log.
        const CliResult next = cli.run({"--simulate", "log", "--every", "0.01", "--average", "4",
                                        "--duration", "0.02", "-o", "shared.csv"});
        QCOMPARE(next.exitCode, 0);
        QCOMPARE(logLines("shared.csv").size() + CliRunner::SkippedLines(next.err),
                 lines.size() + 2);
    }

    // A full disk part way through a line: the part is cut off, the log ends at its last whole
    // line, exit 1.
    void logCutBackOnFullDisk() {
        const CliResult r =
            cli.run({"--simulate", "log", "--every", "0.01", "--average", "4", "-o", "full.csv"},
                    {}, InChild([] {
                        rlimit limit{200, 200};  // the header and two lines and a half
                        setrlimit(RLIMIT_FSIZE, &limit);
                        std::signal(SIGXFSZ, SIG_IGN);
                    }));
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.endsWith("cannot write full.csv: File too large; the log ends at its last "
                                "whole line\n"),
                 qPrintable(r.err));
        const QByteArray text = cli.bytes("full.csv");
        QVERIFY(text.endsWith('\n') && text.size() < 200);
        // About 60 bytes a line, a little less when the volts are short.
        const auto lines = logLines("full.csv");
        QVERIFY2(lines.size() >= 2 && lines.size() <= 3 && AllWhole(lines), text.constData());
    }

    // On a board converting in real time a line cannot be shorter than its conversions: such an
    // interval is refused at once, naming the minimum; one it can keep ends at the duration.
    void logOnTheClock_data() {
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QString>("every");
        QTest::addColumn<QString>("refusal");  // empty: it runs
        QTest::newRow("one code at 19.79 Hz") << QStringList{} << "0.01"
                                              << "--every takes at least 0.05054 s for 1 code a "
                                                 "line at 19.79 Hz, not '0.01'";
        QTest::newRow("below the log's milliseconds")
            << QStringList{} << "1e-300"
            << "--every takes at least 0.001 seconds (the log's times are in milliseconds), not "
               "'1e-300'";
        QTest::newRow("one code at 1365 Hz")
            << QStringList{"--filter", "3", "--chop", "off"} << "0.01" << QString();
    }
    void logOnTheClock() {
        QFETCH(QStringList, settings);
        QFETCH(QString, every);
        QFETCH(QString, refusal);
        QFile::remove(cli.path("clock.csv"));
        QElapsedTimer timer;
        timer.start();
        const CliResult r =
            cli.run(QStringList{"--simulate", "--sim-speed", "realtime", "log", "--every", every,
                                "--average", "1", "--duration", "1", "-o", "clock.csv"} +
                    settings);
        const qint64 elapsed = timer.elapsed();
        if (!refusal.isEmpty()) {
            QCOMPARE(r.exitCode, 2);
            QCOMPARE(r.err, "kx3105-cli: " + refusal + "\n");
            QVERIFY(!QFile::exists(cli.path("clock.csv")));
            return;
        }
        QCOMPARE(r.exitCode, 0);
        // Lines start on their ticks, so every line starts within the duration by the log's own
        // clock. The process as a whole gets a generous bound (a loaded machine starts it
        // slowly); a run that outlived its lines by seconds still fails it.
        QVERIFY2(elapsed < 3000, qPrintable(QString::number(elapsed)));
        const auto lines = logLines("clock.csv");
        QVERIFY(AllWhole(lines) && !lines.isEmpty());
        const auto timeOf = [](const QByteArray& line) {
            return QDateTime::fromString(QString::fromLatin1(line.left(line.indexOf(','))),
                                         Qt::ISODateWithMs);
        };
        const QDateTime first = timeOf(lines.first());
        const QDateTime last = timeOf(lines.last());
        QVERIFY(first.isValid() && last.isValid());
        QVERIFY2(first.msecsTo(last) < 1000, lines.last().constData());
        // A hundred ticks, each line on its own or counted as skipped.
        QCOMPARE(lines.size() + CliRunner::SkippedLines(r.err), 100);
    }

    // SIGTERM part way through a long scan: the passes read so far are out, each whole.
    void scanStoppedKeepsItsPasses() {
        QProcess p;
        CliRunner::Prepare(p, cli.dir());
        p.start(KX3105_CLI, {"--simulate", "--sim-speed", "realtime", "scan", "AIN1-AINCOM",
                             "AIN2-AINCOM", "--passes", "1000", "--format", "csv"});
        QVERIFY(p.waitForStarted());
        QTest::qWait(2000);
        KX_SIGNAL_CHILD(p, SIGTERM);
        const CliResult r = CliRunner::finish(p);
        QCOMPARE(r.exitCode, 143);
        const QList<QByteArray> rows = r.out.trimmed().split('\n');
        QCOMPARE(rows.first(), QByteArray("pass,channel,code,volts"));
        const qsizetype passes = (rows.size() - 1) / 2;
        QVERIFY2(passes >= 1 && rows.size() == 1 + 2 * passes, r.out.constData());
        QCOMPARE(r.err, QString("kx3105-cli: stopped after %1 passes\n").arg(passes));
        QVERIFY(rows.last().startsWith(QByteArray::number(passes) + ",AIN2-AINCOM,"));
    }

    // A name with a control character is quoted: every message stays one line.
    void namesWithControlCharacters() {
        const CliResult r = cli.run({"--simulate", "capture", "10", "-o", "no\ndir/run.dat"});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QString("kx3105-cli: Error Creating File: cannot create "
                                "\"no\\ndir/run.dat\": No such file or directory\n"));
        const CliResult state = cli.run({"--sim-state", "no\ndir/s.state", "read", "filter"});
        QCOMPARE(state.exitCode, 1);
        QCOMPARE(state.err.count('\n'), 1);
        QVERIFY2(state.err.startsWith("kx3105-cli: ") && state.err.contains("no\\ndir"),
                 qPrintable(state.err));
    }
};

QTEST_GUILESS_MAIN(CliOutputsTest)
#include "tst_cli_outputs.moc"
