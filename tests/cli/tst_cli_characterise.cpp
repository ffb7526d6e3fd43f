#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <csignal>
#include <random>

#include "tests/cli/cli_runner.h"
#include "tests/support/child_signal.h"

// The characterisation commands on the simulated board: the noise sweep against the board's
// noise model, the spectrum of a tone, the drift log through a fault and a kill, its Allan
// deviation, and their usage errors.

class CliCharacteriseTest : public QObject {
    Q_OBJECT

    CliRunner cli;

    static QJsonObject Object(const QByteArray& json) {
        return QJsonDocument::fromJson(json).object();
    }

    // The data lines of a drift log, after its header.
    QList<QByteArray> logLines(const QString& name) const {
        QList<QByteArray> lines = cli.bytes(name).split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        if (!lines.isEmpty() && lines.first() == "time,mean_code,volts,rms_codes,status")
            lines.removeFirst();
        return lines;
    }

private slots:
    void sweepFollowsNoiseModel() {
        // 2 uV RMS at the power-on rate (19.787 Hz), growing with the square root of the rate.
        const CliResult r =
            cli.run({"--simulate", "--sim-input", "0=0,2", "sweep", "--ranges", "2.56V,640mV",
                     "--rates", "20,100", "--chop", "on", "--format", "json"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.err.contains("point 4 of 4: 640mV at 97.52 Hz"), qPrintable(r.err));
        const QJsonArray rows = Object(r.out)["rows"].toArray();
        QCOMPARE(rows.size(), 4);
        // Rates outer, ranges inner; the nearest rates: 20 Hz is filter word 0x44 (20.08 Hz),
        // 100 Hz is 0x0E (97.52 Hz).
        const struct {
            const char* filter;
            double rate;
            const char* range;
            double uvPerCode;
        } expected[] = {{"0x44", 20.078, "2.56V", 5.12 / 16777216 * 1e6},
                        {"0x44", 20.078, "640mV", 1.28 / 16777216 * 1e6},
                        {"0x0E", 97.524, "2.56V", 5.12 / 16777216 * 1e6},
                        {"0x0E", 97.524, "640mV", 1.28 / 16777216 * 1e6}};
        for (int i = 0; i < 4; ++i) {
            const QJsonObject row = rows[i].toObject();
            QCOMPARE(row["filter"].toString(), QString(expected[i].filter));
            QCOMPARE(row["range"].toString(), QString(expected[i].range));
            QVERIFY(std::abs(row["rate_hz"].toDouble() - expected[i].rate) < 0.01);
            const double model = 2.0 * std::sqrt(expected[i].rate / (32768.0 / (8 * 0x45 * 3)));
            const double rms = row["rms_uv"].toDouble();
            QVERIFY2(std::abs(rms / model - 1) < 0.10,
                     qPrintable(QString("row %1: %2 uV against %3").arg(i).arg(rms).arg(model)));
            QVERIFY(std::abs(row["rms_codes"].toDouble() * expected[i].uvPerCode / rms - 1) < 1e-3);
            QVERIFY(row["pk_pk_uv"].toDouble() > 4 * rms);
            QVERIFY(std::abs(row["effective_resolution_bits"].toDouble() -
                             std::log2(16777216 / row["rms_codes"].toDouble())) < 1e-9);
            QVERIFY(row["noise_free_bits"].toDouble() <
                    row["effective_resolution_bits"].toDouble());
        }

        // CSV when standard output is not a terminal: the same rows under a header.
        const CliResult csv = cli.run({"--simulate", "--quiet", "sweep", "--ranges", "20mV",
                                       "--filters", "45", "--count", "50"});
        QCOMPARE(csv.exitCode, 0);
        const QList<QByteArray> lines = csv.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QByteArray("rate_hz,filter,range,rms_codes,rms_uv,pk_pk_uv,"
                                      "effective_resolution_bits,noise_free_bits"));
        QVERIFY2(lines[1].startsWith("19.79,0x45,20mV,"), lines[1].constData());
        QVERIFY(csv.err.isEmpty());
    }

    void interruptedSweepPrintsRowsSoFar() {
        // In real time the first point is quick (1365 Hz), the second takes seconds (19.79 Hz).
        QProcess p;
        CliRunner::Prepare(p, cli.dir());
        p.start(KX3105_CLI, {"--simulate", "--sim-speed", "realtime", "sweep", "--ranges", "2.56V",
                             "--chop", "off", "--filters", "3,45,45", "--count", "100"});
        QVERIFY(p.waitForStarted());
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += p.readAllStandardError()).contains("point 2 of 3"), 20000);
        KX_SIGNAL_CHILD(p, SIGINT);
        const CliResult r = CliRunner::finish(p);
        QCOMPARE(r.exitCode, 130);
        QVERIFY2(r.err.contains("interrupted after 1 rows"), qPrintable(r.err));
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[1].startsWith("1365.33,0x03,2.56V,"));
    }

    void spectrumFindsTone() {
        // 20 uV RMS at 50 Hz on the input, converted at 1365.33 Hz.
        CliResult r = cli.run({"--simulate", "--sim-tone", "0=50,20", "capture", "8192", "--chop",
                               "off", "--filter", "3", "--format", "csv", "-o", "tone.csv"});
        QCOMPARE(r.exitCode, 0);

        r = cli.run({"spectrum", "tone.csv", "--json"});
        QCOMPARE(r.exitCode, 0);
        const QJsonObject j = Object(r.out);
        QCOMPARE(j.keys(), (QStringList{"rate_hz", "segment", "spurs", "tone",
                                        "white_nsd_nv_per_rthz", "window"}));
        QVERIFY(std::abs(j["rate_hz"].toDouble() - 1365.33) < 0.01);  // from the capture
        QCOMPARE(j["segment"].toInt(), 2048);
        QCOMPARE(j["window"].toString(), QString("hann"));
        const QJsonObject tone = j["tone"].toObject();
        QCOMPARE(tone.keys(), (QStringList{"enob", "enob_full_scale", "hz", "sfdr_db", "sinad_db",
                                           "snr_db", "thd_db", "uv_rms"}));
        QVERIFY2(std::abs(tone["hz"].toDouble() - 50) < 1365.33 / 8192,
                 qPrintable(QString::number(tone["hz"].toDouble())));
        QVERIFY2(std::abs(tone["uv_rms"].toDouble() / 20 - 1) < 0.05,
                 qPrintable(QString::number(tone["uv_rms"].toDouble())));
        // The tone is no spur, nor is anything in its skirt; a pure tone has no THD to give.
        for (const auto spur : j["spurs"].toArray())
            QVERIFY(std::abs(spur.toObject()["hz"].toDouble() - 50) > 10);
        QVERIFY(tone["thd_db"].isNull());
        // Referred to full scale, from the noise the SNR implies: 2^24 codes of 305 nV.
        const double nadUv =
            tone["uv_rms"].toDouble() / std::pow(10, tone["sinad_db"].toDouble() / 20);
        QVERIFY(std::abs(tone["enob_full_scale"].toDouble() -
                         std::log2(5.12e6 / (nadUv * std::sqrt(12)))) < 1e-6);

        // The density as CSV: DC to half the rate, segment / 2 + 1 rows.
        r = cli.run({"spectrum", "tone.csv", "--segment", "1024", "-o", "nsd.csv"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains("Tone: 50."));
        QVERIFY2(
            r.out.contains("\nTHD: below the noise\n") && r.out.contains("\nENOB (full scale): "),
            r.out.constData());
        const QList<QByteArray> rows = cli.bytes("nsd.csv").trimmed().split('\n');
        QCOMPARE(rows.first(), QByteArray("frequency_hz,nsd_nv_per_rthz"));
        QCOMPARE(rows.size(), 1 + 513);
        QVERIFY(rows.last().startsWith("682.66"));

        // A chart through the renderer; a plain data file takes its rate from the board. Its
        // noise holds no tone: in these 512 codes noise peaks at 2.84 Hz, not clear enough.
        r = cli.run({"--simulate", "capture", "512", "-o", "white.dat"});
        QCOMPARE(r.exitCode, 0);
        r = cli.run({"--simulate", "spectrum", "white.dat", "-o", "nsd.png"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(
            r.err.contains("update rate from the board: 19.79 Hz (filter word 45, chopping on)"),
            qPrintable(r.err));
        QVERIFY(cli.bytes("nsd.png").startsWith("\x89PNG"));
        QVERIFY(r.out.contains("Tone: none stands clear of the noise"));
    }

    void logKeepsFailedLine() {
        // Ten codes a line; the converter sticks after its 25th result, part way through line 3.
        const CliResult r =
            cli.run({"--simulate", "--sim-fault", "ready-stuck@25", "log", "--every", "0.02",
                     "--average", "10", "--duration", "0.1", "-o", "stuck.csv"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("3 of 5 lines failed"), qPrintable(r.err));
        QVERIFY(cli.bytes("stuck.csv").startsWith("time,mean_code,volts,rms_codes,status\n"));
        const QList<QByteArray> lines = logLines("stuck.csv");
        QCOMPARE(lines.size(), 5);
        const QRegularExpression time(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)");
        for (int i = 0; i < 5; ++i) {
            const QList<QByteArray> fields = lines[i].split(',');
            QCOMPARE(fields.size(), 5);
            QVERIFY2(time.match(QString(fields[0])).hasMatch(), fields[0].constData());
            QCOMPARE(fields[4], QByteArray(i < 2 ? "ok" : "Error Reading Data from KX3105"));
        }
        // The failed line still says what it read before the time-out.
        QVERIFY(!lines[2].split(',')[1].isEmpty());
        QVERIFY(std::abs(lines[0].split(',')[1].toDouble() - 8388608) < 20);
    }

    void killedLogKeepsWholeLines() {
        QProcess p;
        CliRunner::Prepare(p, cli.dir());
        p.start(KX3105_CLI,
                {"--simulate", "log", "--every", "0.01", "--average", "4", "-o", "killed.csv"});
        QVERIFY(p.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(logLines("killed.csv").size() >= 6, 10000);
        KX_SIGNAL_CHILD(p, SIGKILL);
        QVERIFY(p.waitForFinished(5000));
        const QByteArray text = cli.bytes("killed.csv");
        QVERIFY(text.endsWith('\n'));
        for (const QByteArray& line : logLines("killed.csv")) {
            QCOMPARE(line.count(','), 4);
            QVERIFY(line.endsWith(",ok"));
        }

        // SIGTERM ends it between lines: every line it counted is in the file.
        QVERIFY(cli.write("term.csv", ""));
        p.start(KX3105_CLI,
                {"--simulate", "log", "--every", "0.01", "--average", "4", "-o", "term.csv"});
        QVERIFY(p.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(logLines("term.csv").size() >= 3, 10000);
        KX_SIGNAL_CHILD(p, SIGTERM);
        const CliResult stopped = CliRunner::finish(p);
        QCOMPARE(stopped.exitCode, 143);
        QVERIFY2(stopped.err.endsWith(
                     QString("stopped after %1 lines\n").arg(logLines("term.csv").size())),
                 qPrintable(stopped.err));

        // Continued later: the header is not repeated, the lines go on after the old ones.
        const int before = static_cast<int>(logLines("killed.csv").size());
        const CliResult r = cli.run({"--simulate", "log", "--every", "0.01", "--average", "4",
                                     "--duration", "0.02", "-o", "killed.csv"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(cli.bytes("killed.csv").count("time,"), 1);
        QCOMPARE(logLines("killed.csv").size() + CliRunner::SkippedLines(r.err), before + 2);
    }

    void driftOfWhiteNoise() {
        // A real log read back: an interval each line keeps, a line's read and sync taking a few
        // milliseconds. A line held off by a loaded machine is skipped and counted, and drift
        // takes it as a gap, so the shape of the deviation is checked on a log of exact times
        // below.
        CliResult r = cli.run({"--simulate", "--sim-input", "0=0.1,20", "log", "--every", "0.02",
                               "--average", "1", "--duration", "2", "-o", "white.csv"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const int skipped = CliRunner::SkippedLines(r.err);
        const int lines = static_cast<int>(logLines("white.csv").size());
        QCOMPARE(lines + skipped, 100);
        r = cli.run({"drift", "white.csv", "-o", "adev.png"});
        // Lines skipped early leave steps of two intervals before steps of one, which is what a
        // change of interval looks like: drift may refuse such a log, and says why.
        if (skipped && r.exitCode == 1) {
            QVERIFY2(r.err.contains("the interval changes"), qPrintable(r.err));
        } else {
            QVERIFY2(r.exitCode == 0, qPrintable(r.err + cli.bytes("white.csv")));
            QVERIFY2(r.out.startsWith(
                         QString("Readings: %1 ok, 0 failed, every 0.020 s\n").arg(lines).toUtf8()),
                     r.out.constData());
            // (A line skipped before the first leaves no gap either.)
            if (skipped == 0) QVERIFY2(r.out.contains("Gaps: none\n"), r.out.constData());
            QVERIFY(cli.bytes("adev.png").startsWith("\x89PNG"));
        }

        // White noise of 20 uV, a reading every 20 ms.
        std::mt19937 gen(7);
        std::normal_distribution<double> noise(0, 20e-6);
        QByteArray log = "time,mean_code,volts,rms_codes,status\n";
        for (int i = 0; i < 100; ++i)
            log += QString("2300-01-01T00:00:%1Z,8388700,%2,2.0,ok\n")
                       .arg(i * 0.02, 6, 'f', 3, QChar('0'))
                       .arg(0.1 + noise(gen), 0, 'g', 12)
                       .toUtf8();
        QVERIFY(cli.write("white-exact.csv", log));
        r = cli.run({"drift", "white-exact.csv", "-o", "adev.csv"});
        QCOMPARE(r.exitCode, 0);
        const QList<QByteArray> rows = cli.bytes("adev.csv").trimmed().split('\n');
        QCOMPARE(rows.first(), QByteArray("tau_s,adev_uv"));
        // Factors 1, 2, 4, ... 32, a third of the readings.
        QCOMPARE(rows.size(), 1 + 6);
        QList<double> adev;
        for (int i = 1; i < rows.size(); ++i)
            adev << rows[i].split(',')[1].toDouble();
        // 20 uV at one reading, falling as 1 / sqrt(tau).
        QVERIFY2(std::abs(adev[0] / 20 - 1) < 0.15, qPrintable(QString::number(adev[0])));
        QVERIFY(adev[2] / adev[0] > 0.35 && adev[2] / adev[0] < 0.65);
        QVERIFY(adev[4] < adev[2] && adev[2] < adev[0]);
    }

    // The log's clock as drift says it: readings, failed lines, gaps, in text and JSON; what
    // cannot be analysed is refused with its line.
    void driftOnTheLogsClock_data() {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QString>("said");  // text, JSON counts, or the refusal
        QByteArray log = "time,mean_code,volts,rms_codes,status\n";
        for (int i = 0; i < 60; ++i) {
            if (i >= 20 && i < 30) continue;
            log += QString("2300-01-01T00:%1:%2.000Z,8388700,%3,2.0,%4\n")
                       .arg(i / 60, 2, 10, QChar('0'))
                       .arg(i % 60, 2, 10, QChar('0'))
                       .arg(1e-3 + 1e-6 * ((i * 7919) % 13), 0, 'g', 9)
                       .arg(i == 5 ? "Error Reading Data from KX3105" : "ok")
                       .toUtf8();
        }
        QTest::newRow("a gap of ten, one failed line, after 2262")
            << log << "Readings: 49 ok, 1 failed, every 1.000 s\nGaps: 1, 10 readings missing\n";
        QTest::newRow("JSON") << log << "json 1.0 49 1 1 10";
        QTest::newRow("volts beyond any range")
            << QByteArray(log).replace(",0.001,", ",1e308,")
            << "kx3105-cli: no Allan deviation of d.csv: line 2: the voltage 1e308 is outside the "
               "span of any range (-5.12 to 5.12 V)\n";
    }
    void driftOnTheLogsClock() {
        QFETCH(QByteArray, log);
        QFETCH(QString, said);
        QVERIFY(cli.write("d.csv", log));
        const bool json = said.startsWith("json");
        const CliResult r =
            cli.run(json ? QStringList{"drift", "d.csv", "--json"} : QStringList{"drift", "d.csv"});
        if (said.startsWith("kx3105-cli")) {
            QCOMPARE(r.exitCode, 1);
            QCOMPARE(r.err, said);
            return;
        }
        QCOMPARE(r.exitCode, 0);
        if (!json) {
            QVERIFY2(r.out.startsWith(said.toUtf8()), r.out.constData());
            return;
        }
        const QJsonObject j = Object(r.out);
        QCOMPARE(QString("json %1 %2 %3 %4 %5")
                     .arg(j["interval_s"].toDouble())
                     .arg(j["readings"].toInt())
                     .arg(j["failed"].toInt())
                     .arg(j["gaps"].toInt())
                     .arg(j["missing"].toInt()),
                 QString(said).replace("1.0", "1"));
        const QJsonArray points = j["points"].toArray();
        QCOMPARE(points.size(), 4);  // 1, 2, 4, 8: 16 has too few differences clear of the gap
        QCOMPARE(points[0].toObject()["terms"].toInt(), 46);
    }

    // Data files of a million codes are read in one pass; every other form still reads as the
    // data file's own reader reads it.
    void dataFileForms_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("codes");  // the codes read, or the failure
        const QByteArray ten = " 1\r\n 2\r\n 3\r\n 4\r\n 5\r\n 6\r\n 7\r\n 8\r\n";
        QTest::newRow("blanks, signs, both line ends")
            << QByteArray(" 8388608\r\n-2\n+3\n\t4 \n2147483647\n-2147483648\n-0\n") + ten
            << "8388608 -2 3 4 2147483647 -2147483648 0 1 2 3 4 5 6 7 8";
        QTest::newRow("an empty line ends the run") << ten + " 9\r\n 10\r\n\r\n 99\r\n"
                                                    << "1 2 3 4 5 6 7 8 9 10";
        QTest::newRow("no line end at the last") << ten + " 9\r\n 10"
                                                 << "1 2 3 4 5 6 7 8 9 10";
        QTest::newRow("decimals round") << ten + " 8.5\r\n 1e1\r\n"
                                        << "1 2 3 4 5 6 7 8 8 10";
        QTest::newRow("beyond 32 bits") << ten + "2147483648\r\n 1\r\n"
                                        << "line 9";
        QTest::newRow("not a number") << QByteArray(" 1\r\n 2\r\n12a\r\n") + ten << "line 3";
        QTest::newRow("empty first line") << QByteArray("\r\n") + ten << "line 1";
    }

    void dataFileForms() {
        QFETCH(QByteArray, text);
        QFETCH(QString, codes);
        QVERIFY(cli.write("forms.dat", text));
        const CliResult r = cli.run({"plot", "forms.dat", "-o", "forms.csv"});
        if (codes.startsWith("line")) {
            QCOMPARE(r.exitCode, 1);
            QVERIFY2(r.err.contains("forms.dat " + codes + " is not a decimal code"),
                     qPrintable(r.err));
            return;
        }
        QCOMPARE(r.exitCode, 0);
        QStringList read;
        for (const QByteArray& row : cli.bytes("forms.csv").trimmed().split('\n').mid(1))
            read << QString(row.split(',')[1]);
        QCOMPARE(read.join(' '), codes);
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("spectrum without a file") << QStringList{"spectrum"};
        QTest::newRow("spectrum window") << QStringList{"spectrum", "x.dat", "--window", "flat"};
        QTest::newRow("spectrum segment") << QStringList{"spectrum", "x.dat", "--segment", "8"};
        QTest::newRow("spectrum rate") << QStringList{"spectrum", "x.dat", "--rate", "-5"};
        QTest::newRow("spectrum rate beyond any converter")
            << QStringList{"spectrum", "x.dat", "--rate", "1e308"};
        QTest::newRow("spectrum output") << QStringList{"spectrum", "x.dat", "-o", "x.txt"};
        QTest::newRow("sweep range") << QStringList{"--simulate", "sweep", "--ranges", "3V"};
        QTest::newRow("sweep rates and filters")
            << QStringList{"--simulate", "sweep", "--rates", "20", "--filters", "45"};
        QTest::newRow("sweep rate text") << QStringList{"--simulate", "sweep", "--rates", "fast"};
        QTest::newRow("sweep rate beyond the filter screen")
            << QStringList{"--simulate", "sweep", "--rates", "500", "--chop", "on"};
        QTest::newRow("sweep count") << QStringList{"--simulate", "sweep", "--count", "1"};
        QTest::newRow("sweep format") << QStringList{"--simulate", "sweep", "--format", "xml"};
        QTest::newRow("log without interval")
            << QStringList{"--simulate", "log", "--average", "4", "-o", "l.csv"};
        QTest::newRow("log interval")
            << QStringList{"--simulate", "log", "--every", "0", "--average", "4", "-o", "l.csv"};
        QTest::newRow("log without output")
            << QStringList{"--simulate", "log", "--every", "1", "--average", "4"};
        QTest::newRow("drift without a file") << QStringList{"drift"};
    }

    void usageErrors() {
        QFETCH(QStringList, args);
        const CliResult r = cli.run(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.startsWith("kx3105-cli: "), qPrintable(r.err));
        QVERIFY(!QFile::exists(cli.path("l.csv")));
    }
};

QTEST_GUILESS_MAIN(CliCharacteriseTest)
#include "tst_cli_characterise.moc"
