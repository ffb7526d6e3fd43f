#include <QtTest>

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

#include "tests/cli/cli_runner.h"

// Rates chosen by the nearest filter word, the times and settings that captures carry, and the
// analysis of the files they make: failed reads left out, a file analysed without a board, values
// beyond the converter's refused with their line.

namespace {

QJsonObject Object(const QByteArray& json) {
    return QJsonDocument::fromJson(json).object();
}

QByteArray Lines(const QList<long long>& codes) {
    QByteArray text;
    for (const long long c : codes)
        text += " " + QByteArray::number(c) + "\r\n";
    return text;
}

}  // namespace

class CliRunsInFilesTest : public QObject {
    Q_OBJECT

    CliRunner cli;

private slots:
    // The filter word whose rate is nearest, said with the rate it gives; sweep reaches the
    // power-on rate the same way.
    void nearestRates() {
        CliResult r = cli.onBoard("r1", {"capture", "3", "-o", "r.dat", "--rate", "19.79"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QString("kx3105-cli: update rate 19.79 Hz (filter word 0x45)\n"));
        QCOMPARE(cli.onBoard("r1", {"read", "filter"}).out, QByteArray("45\n"));
        r = cli.onBoard("r1", {"capture", "3", "-o", "r.dat", "--rate", "100", "--chop", "off"});
        QCOMPARE(r.err, QString("kx3105-cli: update rate 99.90 Hz (filter word 0x29)\n"));
        QCOMPARE(cli.onBoard("r1", {"read", "filter"}).out, QByteArray("29\n"));

        r = cli.run({"--simulate", "--quiet", "sweep", "--ranges", "2.56V", "--rates", "19.79",
                     "--count", "2", "--format", "csv"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.split('\n').value(1).startsWith("19.79,0x45,2.56V,"), r.out.constData());
    }

    // One rule for both: beyond the limits of the chopping the board will run with, a usage
    // error naming them and the value as typed; nothing is written.
    void rateLimits_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("capture, board chopping on")
            << QStringList{"capture", "3", "--rate", "0.5"}
            << "--rate takes 5.35 to 105.03 Hz with chopping on, not '0.5'";
        QTest::newRow("capture, chopping off")
            << QStringList{"capture", "3", "--rate", "0.0001", "--chop", "off"}
            << "--rate takes 16.06 to 1365.33 Hz with chopping off, not '0.0001'";
        QTest::newRow("sweep, board chopping on")
            << QStringList{"sweep", "--rates", "20,.5"}
            << "--rates takes 5.35 to 105.03 Hz with chopping on, not '.5'";
        QTest::newRow("sweep, chopping off")
            << QStringList{"sweep", "--rates", "0.0001", "--chop", "off"}
            << "--rates takes 16.06 to 1365.33 Hz with chopping off, not '0.0001'";
    }
    void rateLimits() {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const CliResult r = cli.onBoard("limits", args);
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.err, "kx3105-cli: " + error + "\n");
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(cli.onBoard("limits", {"regs"}).out.split('\n').mid(1, 3),
                 (QList<QByteArray>{"mode        1", "adc-control 7", "filter      45"}));
    }

    // On the simulated board the times are its converter's: whole update periods.
    void csvTimesOnTheConverterClock() {
        const CliResult r =
            cli.run({"--simulate", "capture", "50", "--format", "csv", "--rate", "19.79"});
        QCOMPARE(r.exitCode, 0);
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 52);
        const double period = 8.0 * 0x45 * 3 / 32768;
        for (int i = 0; i < 50; ++i)
            QCOMPARE(lines[i + 2].split(',')[1], QByteArray::number(i * period, 'f', 6));
    }

    // Time-out markers of failed reads are no codes: the statistics are of the others.
    void timeoutMarkersLeftOut() {
        QVERIFY(cli.write("t.dat", Lines({-2147483648LL, 100, 102, 100, 102, 100, 102, 100, 102,
                                          100, 102, -2147483648LL, -2147483648LL})));
        CliResult r = cli.run({"analyse", "t.dat", "--adc-control", "7", "--json"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QString("kx3105-cli: 3 time-out markers (-2147483648, a failed read) "
                                "left out of the statistics of 10 codes\n"));
        const QJsonObject values = Object(r.out)["values"].toObject();
        QCOMPARE(values["codes"].toInt(), 10);
        QCOMPARE(values["timeouts"].toInt(), 3);
        QCOMPARE(values["mean_code"].toDouble(), 101.0);
        QCOMPARE(values["min_code"].toInt(), 100);
        QCOMPARE(values["rms_codes"].toDouble(), std::sqrt(10.0 / 9));
        r = cli.run({"analyse", "t.dat", "--adc-control", "7"});
        QVERIFY2(r.out.contains("Codes Read: 10\n") && r.out.contains("Min Code: 64 Hex\n"),
                 r.out.constData());
    }

    // A file needs no board: without one (and no port on this machine), the power-on settings.
    void analyseWithoutABoard() {
        if (QFileInfo::exists("/dev/parport0")) QSKIP("this machine has a printer port");
        QVERIFY(cli.write("p.dat", Lines({8388608, 8388610, 8388608, 8388610, 8388608, 8388610,
                                          8388608, 8388610, 8388608, 8388610})));
        const CliResult r = cli.run({"analyse", "p.dat"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QString("kx3105-cli: no board: the power-on settings, bipolar 2.56 V\n"));
        // Every line named once; the data-sheet figures after the screen's.
        QCOMPARE(r.out, QByteArray("Ref. Voltage: 2.50 V\n"
                                   "LSB Size: 305.176 nV\n"
                                   "Input Range: \u00B1 2.56V\n"
                                   "Codes Read: 10\n"
                                   "RMS Noise in Codes: 1 Hex\n"
                                   "Average Code: 800001 Hex\n"
                                   "Code Span: 2 Hex\n"
                                   "Max Code: 800002 Hex\n"
                                   "Min Code: 800000 Hex\n"
                                   "RMS Noise in Volts: 305.18 nV\n"
                                   "Pk to Pk Noise: 610.352 nV\n"
                                   "Average Value: 305.176 nV\n"
                                   "Exact RMS Noise in Codes: 1.05\n"
                                   "Exact RMS Noise in Volts: 321.68 nV\n"
                                   "Effective Resolution: 23.92 bits\n"
                                   "Noise-Free Resolution: 23.00 bits\n"));
    }

    // Ranges as bare volts; the range in volts follows the reference.
    void rangesAndReference_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("inputRange");
        QTest::addColumn<double>("rangeVolts");
        QTest::newRow("bare 2.56, reference 1.25")
            << QStringList{"--range", "2.56", "--polarity", "bipolar", "--ref", "1.25"}
            << "\u00B1 2.56V" << 1.28;
        QTest::newRow("bare 0.02")
            << QStringList{"--range", "0.02", "--polarity", "unipolar"} << "20 mV" << 0.02;
        QTest::newRow("range given, polarity of power-on")
            << QStringList{"--range", "20mV"} << "\u00B1 20 mV" << 0.02;
    }
    void rangesAndReference() {
        QFETCH(QStringList, args);
        QFETCH(QString, inputRange);
        QFETCH(double, rangeVolts);
        if (!args.contains("--polarity") && QFileInfo::exists("/dev/parport0"))
            QSKIP("this machine has a printer port");
        const CliResult r = cli.run(QStringList{"analyse", "p.dat", "--json"} + args);
        QCOMPARE(r.exitCode, 0);
        const QJsonObject json = Object(r.out);
        QCOMPARE(json["labels"]["input_range"].toString(), inputRange);
        QCOMPARE(json["values"]["range_volts"].toDouble(), rangeVolts);
    }

    // Values no option would take, and codes the converter cannot give, are refused with their
    // line; the same settings within bounds load.
    void captureFileBounds_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("error");  // empty: loads
        const QByteArray header = "# kx3105 capture: range=2.56V, polarity=bipolar, ref=";
        QByteArray rows = "index,time_s,code,volts\n";
        for (int i = 1; i <= 10; ++i)
            rows += QByteArray::number(i) + ",0,8388608,0\n";
        const auto csv = [&](const QByteArray& ref, const QByteArray& code) {
            return header + ref + ", rate_hz=19.79, filter=0x45, chop=on\n" + rows + "11,0," +
                   code + ",0\n";
        };
        const auto json = [](const QByteArray& ref, const QByteArray& code) {
            return "{\"range\": \"2.56V\", \"polarity\": \"bipolar\",\n\"ref\": " + ref +
                   ",\n\"codes\": [8388608, 8388608, 8388608, 8388608, 8388608,\n8388608, "
                   "8388608, 8388608, 8388608, 8388608,\n" +
                   code + "]}";
        };
        QTest::newRow("csv within bounds") << csv("2.5", "16777215") << "";
        QTest::newRow("csv reference too large")
            << csv("1e39", "0") << "line 1: ref takes a positive number of volts, not '1e39'";
        QTest::newRow("csv reference rounds to 0")
            << csv("1e-300", "0") << "line 1: ref takes a positive number of volts, not '1e-300'";
        QTest::newRow("csv code of 63 bits")
            << csv("2.5", "9223372036854775807")
            << "line 13: code takes 0 to 16777215, or -2147483648 for a failed read, not "
               "'9223372036854775807'";
        QTest::newRow("csv code of 25 bits") << csv("2.5", "16777216") << "line 13: code takes";
        QTest::newRow("json within bounds") << json("2.5", "-2147483648") << "";
        QTest::newRow("json reference too large")
            << json("1e39", "0") << "line 2: ref takes a positive number of volts, not '1e+39'";
        QTest::newRow("json code of 63 bits")
            << json("2.5", "9223372036854775807")
            << "line 5: code takes 0 to 16777215, or -2147483648 for a failed read, not "
               "'9223372036854775807'";
        QTest::newRow("json negative code") << json("2.5", "-1") << "line 5: code takes";
    }
    void captureFileBounds() {
        QFETCH(QByteArray, file);
        QFETCH(QString, error);
        const QString name = file.startsWith('{') ? "c.json" : "c.csv";
        QVERIFY(cli.write(name, file));
        const CliResult r = cli.run({"analyse", name});
        if (error.isEmpty()) {
            QCOMPARE(r.exitCode, 0);
            QVERIFY(r.out.contains("Input Range: \u00B1 2.56V\n"));
            return;
        }
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.startsWith("kx3105-cli: " + name + " is not a whole kx3105 ") &&
                     r.err.contains(" capture: " + error) && r.err.count('\n') == 1,
                 qPrintable(r.err));
        QCOMPARE(r.out, QByteArray());
    }
};

QTEST_GUILESS_MAIN(CliRunsInFilesTest)
#include "tst_cli_runs_in_files.moc"
