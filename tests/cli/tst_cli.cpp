#include <QtTest>

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <random>

#include "tests/cli/cli_runner.h"

// The built tool's commands, as a script runs them, on the simulated board.

namespace {

QByteArray DecimalLines(const std::vector<long long>& codes) {
    QByteArray text;
    for (const long long c : codes)
        text += " " + QByteArray::number(c) + "\r\n";
    return text;
}

std::vector<long long> Repeated(std::initializer_list<std::pair<int, long long>> groups) {
    std::vector<long long> codes;
    for (const auto& [n, code] : groups)
        codes.insert(codes.end(), static_cast<size_t>(n), code);
    return codes;
}

QJsonObject JsonOf(const QByteArray& text) {
    QJsonParseError error;
    const QJsonObject json = QJsonDocument::fromJson(text, &error).object();
    return error.error == QJsonParseError::NoError ? json : QJsonObject();
}

}  // namespace

class CliTest : public QObject {
    Q_OBJECT

    CliRunner cli;

private slots:
    void initTestCase() {
        QVERIFY(cli.write("bad.dat", " 1\r\n x\r\n"));
        QVERIFY(cli.write("nine.dat", DecimalLines({1, 2, 3, 4, 5, 6, 7, 8, 9})));
        QByteArray flat;
        for (int i = 0; i < 50; ++i)
            flat += QByteArray::number(8388600 + (i * 7) % 11, 16).toUpper() + "\r\n";
        QVERIFY(cli.write("flat.dat", flat));
    }

    // No printer port and no --simulate: a clear no, never invented codes. A floating bus is no
    // board either, unless the check is skipped.
    void neverAnInventedBoard() {
        CliResult r = cli.run({"capture", "10", "-o", "none.dat"});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QString("kx3105-cli: no printer port found (/dev/parport0: No such file "
                                "or directory); use --simulate for the simulated board\n"));
        QVERIFY(!QFile::exists(cli.path("none.dat")));

        r = cli.run({"--sim-fault", "no-board", "regs"});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QString("kx3105-cli: no board answers on the simulated board\n"));
        QCOMPARE(r.out, QByteArray());
        r = cli.run({"--sim-fault", "no-board", "--no-board-check", "read", "mode"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("FF\n"));
    }

    void registersAcrossCalls() {
        QCOMPARE(cli.onBoard("b1", {"write", "filter", "0x2A"}).exitCode, 0);
        QCOMPARE(cli.onBoard("b1", {"read", "filter"}).out, QByteArray("2A\n"));
        QCOMPARE(cli.run({"--simulate", "read", "filter"}).out, QByteArray("45\n"));

        QCOMPARE(cli.onBoard("b1", {"write", "io-control", "30"}).exitCode, 0);
        QCOMPARE(cli.onBoard("b1", {"reset", "software"}).exitCode, 0);
        CliResult r = cli.onBoard("b1", {"regs"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("status      81\nmode        1\nadc-control 7\nfilter      45\n"
                                   "offset      800000\ngain        400000\nio-control  0\n"));
        QCOMPARE(r.err, QString());

        // Fields by the screens' names: chopping disabled, AIN5 unipolar 1.28 V, P2 out high.
        QCOMPARE(cli.onBoard("b1", {"write", "mode", "81"}).exitCode, 0);
        QCOMPARE(cli.onBoard("b1", {"write", "adc-control", "4E"}).exitCode, 0);
        QCOMPARE(cli.onBoard("b1", {"write", "filter", "3"}).exitCode, 0);
        QCOMPARE(cli.onBoard("b1", {"write", "io-control", "22"}).exitCode, 0);
        const QJsonObject regs = JsonOf(cli.onBoard("b1", {"regs", "--json"}).out);
        const QJsonObject mode = regs["mode"]["fields"].toObject();
        QCOMPARE(regs["mode"]["value"].toInt(), 0x81);
        QCOMPARE(mode["mode_name"].toString(), QString("Idle Mode"));
        QCOMPARE(mode["chopping"].toString(), QString("disabled"));
        const QJsonObject adc = regs["adc-control"]["fields"].toObject();
        QCOMPARE(adc["channel_name"].toString(), QString("AIN5 - AINCOM"));
        QCOMPARE(adc["range_name"].toString(), QString("0 - 1.28 V"));
        QCOMPARE(adc["polarity"].toString(), QString("unipolar"));
        QCOMPARE(regs["filter"]["fields"]["update_rate_hz"].toDouble(), 32768.0 / 24);
        QCOMPARE(regs["io-control"]["fields"]["p2_direction"].toString(), QString("output"));
        QCOMPARE(regs["io-control"]["fields"]["p2_level"].toString(), QString("high"));
        QCOMPARE(regs["status"]["fields"]["RDY"].toBool(), true);
    }

    void calibrationAndTrace() {
        // 10 mV on the 2.56 V range is 1/256 of full scale: the zero point moves by 2^23 / 256.
        CliResult r = cli.onBoard("b3", {"--sim-input", "0=0.01,0", "calibrate", "system-zero"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(cli.onBoard("b3", {"read", "offset"}).out, QByteArray("808000\n"));

        // Without the board check: start-up's control lines, then the reset pulse alone.
        const QString trace = cli.path("reset.trace");
        r = cli.run({"--simulate", "--no-board-check", "--trace", trace, "reset", "hardware"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(cli.bytes("reset.trace"), QByteArray("R 37A CC\nW 37A C4\nW 378 18\nW 378 1A\n"));
    }

    // Settings by name are written before the capture, each read back.
    void settingsByName() {
        CliResult r = cli.onBoard(
            "b4", {"capture", "10", "-o", "s.dat", "--channel", "AIN3-AINCOM", "--range", "640mV",
                   "--polarity", "unipolar", "--rate", "50", "--chop", "off"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(cli.onBoard("b4", {"read", "adc-control"}).out, QByteArray("2D\n"));
        // A data file carries no range: the board's is taken and said, unless --quiet.
        r = cli.onBoard("b4", {"analyse", "s.dat"});
        QCOMPARE(r.err,
                 QString("kx3105-cli: range and polarity from the board: 640 mV, unipolar\n"));
        QVERIFY(r.out.contains("Input Range: 640 mV\n"));
        r = cli.onBoard("b4", {"--quiet", "analyse", "s.dat"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QString());
        // 32768 / (8 * 50) = 81.92: filter word 52 hex (49.95 Hz) is nearest; chopping off sets
        // mode bit 7.
        QCOMPARE(cli.onBoard("b4", {"read", "filter"}).out, QByteArray("52\n"));
        QCOMPARE(cli.onBoard("b4", {"read", "mode"}).out, QByteArray("83\n"));

        r = cli.run({"--sim-fault", "ignore-writes", "--no-board-check", "capture", "10", "--range",
                     "20mV"});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QString("kx3105-cli: Error Programming KX3105\n"));
        QCOMPARE(r.out, QByteArray());
    }

    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("write ignored")
            << QStringList{"--sim-fault", "ignore-writes", "write", "filter", "2A"} << 1
            << "Error Programming KX3105";
        QTest::newRow("calibration never ends")
            << QStringList{"--sim-fault", "ready-stuck", "calibrate", "internal-zero"} << 1
            << "Error Calibrating KX3105";
        QTest::newRow("capture never ready")
            << QStringList{"--sim-fault", "ready-stuck", "capture", "10"} << 1
            << "Error Reading Data from KX3105";
        QTest::newRow("missing file") << QStringList{"analyse", "nothing.dat", "--adc-control", "7"}
                                      << 1 << "cannot open nothing.dat: No such file or directory";
        QTest::newRow("bad line") << QStringList{"analyse", "bad.dat", "--adc-control", "7"} << 1
                                  << "Error Reading File: bad.dat line 2 is not a decimal code";
        QTest::newRow("nine codes") << QStringList{"analyse", "nine.dat", "--adc-control", "7"} << 1
                                    << "analyse needs at least 10 codes, nine.dat holds 9";

        // Today's usage errors, still exit 2 after the move to CLI11.
        const QStringList usage[] = {
            {"--simulate"},
            {"frob"},
            {"read", "modes"},
            {"write", "status", "1"},
            {"write", "filter", "100"},
            {"write", "gain", "0y10"},
            {"write", "gain", "-1"},
            {"write", "mode"},
            {"regs", "now"},
            {"reset", "soft"},
            {"calibrate", "zero"},
            {"capture", "0"},
            {"capture", "10000001"},
            {"regs", "--hex"},
            {"analyse", "f", "--adc-control", "100"},
            {"analyse", "f", "--ref", "two"},
            {"analyse", "f", "--ref", "0"},
            {"analyse", "f", "--ref", "-2.5"},
            {"plot", "f"},
            {"plot", "f", "-o", "p.txt"},
            {"--frobnicate", "regs"},
            {"--port", "/dev/parport9", "--sim-state", "s", "regs"},
            {"capture", "10", "-o"},
            {"capture", "10", "--range", "3V"},
            {"capture", "10", "--channel", "AIN9"},
            {"capture", "10", "--format", "xml"},
            {"scan", "AIN1-AINCOM", "AIN1-AIN2"},
        };
        for (const auto& args : usage)
            QTest::newRow(qPrintable(args.join(' '))) << args << 2 << QString();
    }
    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, error);
        const CliResult r = cli.run(args);
        QCOMPARE(r.exitCode, status);
        QVERIFY2(
            r.err.startsWith("kx3105-cli: ") && r.err.contains(error) && r.err.count('\n') == 1,
            qPrintable(r.err));
        QCOMPARE(r.out, QByteArray());
        QVERIFY(!QFile::exists(cli.path("s")) && !QFile::exists(cli.path("p.txt")));
    }

    void help() {
        CliResult r = cli.run({"--help"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains("  regs [--data] [--json]\n      every readable register"));
        QVERIFY(r.out.contains("  --sim-state FILE"));
        r = cli.run({"capture", "--help"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.startsWith("Usage: kx3105-cli [board options] capture COUNT"));
        QVERIFY(r.out.contains("\"Error Reading Data from KX3105\""));

        // Output that does not arrive is a failure, said.
        for (const QStringList& args : {QStringList{"--help"}, QStringList{"--simulate", "regs"}}) {
            r = cli.run(args, {}, [](QProcess& p) { p.setStandardOutputFile("/dev/full"); });
            QCOMPARE(r.exitCode, 1);
            QCOMPARE(
                r.err,
                QString("kx3105-cli: cannot write standard output: No space left on device\n"));
        }
    }

    // The figures that a single-precision mean got wrong, and the values against a computation
    // of their own.
    void analyseJson_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("labels");  // key=text
        QTest::newRow("deviation 0.483")
            << DecimalLines(Repeated({{3, 8388707}, {7, 8388708}}))
            << QStringList{"rms_noise_codes=0", "rms_noise=0.00 nV", "average_value=30.212 uV"};
        QTest::newRow("just below mid-scale")
            << DecimalLines(Repeated({{7, 8388607}, {3, 8388608}}))
            << QStringList{"average_code=7FFFFF", "average_value=-305.176 nV"};
        QTest::newRow("mean 8388607.8") << DecimalLines(Repeated({{2, 8388607}, {8, 8388608}}))
                                        << QStringList{"average_value=-305.176 nV"};
        std::mt19937 engine(5);
        std::normal_distribution<double> noise(8388708.485, 2.45);
        std::vector<long long> gaussian;
        for (int i = 0; i < 5000; ++i)
            gaussian.push_back(std::llround(noise(engine)));
        QTest::newRow("5000 Gaussian")
            << DecimalLines(gaussian) << QStringList{"rms_noise_codes=2", "rms_noise=610.35 nV"};
    }
    void analyseJson() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, labels);
        std::vector<double> codes;
        for (const QByteArray& line : file.split('\n'))
            if (!line.trimmed().isEmpty()) codes.push_back(line.trimmed().toDouble());
        const double n = static_cast<double>(codes.size());
        long double sum = 0;
        for (const double c : codes)
            sum += c;
        const double mean = static_cast<double>(sum / n);
        long double squares = 0;
        for (const double c : codes)
            squares += (c - static_cast<long double>(mean)) * (c - static_cast<long double>(mean));
        const double deviation = std::sqrt(static_cast<double>(squares / (n - 1)));
        if (codes.size() == 5000)  // the run is the one the figures are about
            QVERIFY(std::abs(mean - 8388708.485) < 0.1 && deviation > 2.4 && deviation < 2.5);

        QVERIFY(cli.write("a.dat", file));
        const CliResult r = cli.run({"analyse", "a.dat", "--adc-control", "0x07", "--json"});
        QCOMPARE(r.exitCode, 0);
        const QJsonObject json = JsonOf(r.out);
        const QJsonObject values = json["values"].toObject();
        QVERIFY(std::abs(values["mean_code"].toDouble() / mean - 1) < 1e-9);
        QVERIFY(std::abs(values["rms_codes"].toDouble() / deviation - 1) < 1e-9);
        QCOMPARE(values["codes"].toInt(), static_cast<int>(codes.size()));
        // 2.5 V * 1.024 * 2 / 2^24 a code on the bipolar 2.56 V range.
        const double lsb = 2.5 * 1.024 * 2 / 16777216;
        QVERIFY(std::abs(values["lsb_volts"].toDouble() / lsb - 1) < 1e-12);
        QVERIFY(std::abs(values["rms_volts"].toDouble() / (deviation * lsb) - 1) < 1e-9);
        QVERIFY(std::abs(values["mean_volts"].toDouble() - (mean - 8388608) * lsb) < 1e-15);
        QCOMPARE(values["range_volts"].toDouble(), 2.56);
        QCOMPARE(values["bipolar"].toBool(), true);
        for (const QString& label : labels) {
            const QStringList kv = label.split('=');
            QCOMPARE(json["labels"][kv[0]].toString(), kv[1]);
        }
    }

    // Standard output into standard input; a CSV capture carries its range to the analysis,
    // which then needs no board (none is given).
    void pipesAndCaptures() {
        QProcess capture;
        QProcess analyse;
        CliRunner::Prepare(capture, cli.dir());
        CliRunner::Prepare(analyse, cli.dir());
        capture.setStandardOutputProcess(&analyse);
        capture.start(KX3105_CLI, {"--simulate", "capture", "100", "-o", "-"});
        analyse.start(KX3105_CLI, {"analyse", "-", "--range", "2.56V", "--polarity", "bipolar"});
        QVERIFY(capture.waitForFinished(30000));
        QCOMPARE(capture.exitCode(), 0);
        const CliResult r = CliRunner::finish(analyse);
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.contains("Codes Read: 100\n") && r.out.contains("Input Range: ± 2.56V\n"),
                 r.out.constData());

        QCOMPARE(cli.run({"--simulate", "capture", "200", "--format", "csv", "--range", "640mV",
                          "--polarity", "unipolar", "--sim-input", "0=0.1", "-o", "c.csv"})
                     .exitCode,
                 0);
        const QList<QByteArray> lines = cli.bytes("c.csv").split('\n');
        QVERIFY(
            lines[0].startsWith("# kx3105 capture: range=640mV, polarity=unipolar, ref=2.5, "
                                "rate_hz=19.79, filter=0x45, chop=on, channel=AIN1-AINCOM, "
                                "started=20"));
        QCOMPARE(lines[1], QByteArray("index,time_s,code,volts"));
        QVERIFY(lines[2].startsWith("1,0.000000,"));
        CliResult a = cli.run({"analyse", "c.csv", "--json"});
        QCOMPARE(a.exitCode, 0);
        const QJsonObject json = JsonOf(a.out);
        QCOMPARE(json["labels"]["input_range"].toString(), QString("640 mV"));
        QVERIFY(std::abs(json["values"]["mean_volts"].toDouble() - 0.1) < 0.001);

        // JSON capture, 20000 codes: past the program's 5000, which is said.
        a = cli.run({"--simulate", "capture", "20000", "--format", "json", "-o", "big.json"});
        QCOMPARE(a.exitCode, 0);
        QCOMPARE(JsonOf(cli.bytes("big.json"))["codes"].toArray().size(), 20000);
        a = cli.run({"--simulate", "capture", "20000", "-o", "big.dat"});
        QCOMPARE(a.err, QString("kx3105-cli: 20000 codes written; the program's Read from File "
                                "takes at most 5000\n"));
        for (const QString file : {"big.json", "big.dat"}) {
            a = cli.run({"analyse", file, "--adc-control", "7"});
            QCOMPARE(a.exitCode, 0);
            QVERIFY(a.out.contains("Codes Read: 20000\n"));
        }
    }

    void scan() {
        const CliResult r =
            cli.run({"--simulate", "--sim-input", "0=1.2", "--sim-input", "2=0.25", "scan",
                     "AIN1-AINCOM:2.56V:bipolar:45", "AIN3-AINCOM:640mV:unipolar", "--passes", "2",
                     "--format", "json"});
        QCOMPARE(r.exitCode, 0);
        const QJsonArray rows = QJsonDocument::fromJson(r.out).array();
        QCOMPARE(rows.size(), 4);
        for (int i = 0; i < 4; ++i) {
            const QJsonObject row = rows[i].toObject();
            QCOMPARE(row["pass"].toInt(), i / 2 + 1);
            const bool first = i % 2 == 0;
            QCOMPARE(row["channel"].toString(), QString(first ? "AIN1-AINCOM" : "AIN3-AINCOM"));
            const double volts = first ? 1.2 : 0.25;
            QVERIFY(std::abs(row["volts"].toDouble() / volts - 1) < 0.01);
        }
    }

    void charts() {
        for (const QString command : {"plot", "histogram"}) {
            CliResult r = cli.run({command, "flat.dat", "--hex", "-o", command + ".png", "--size",
                                   "640x400", "--title", "Run 7"});
            QCOMPARE(r.exitCode, 0);
            QCOMPARE(QImage(cli.path(command + ".png")).size(), QSize(640, 400));
            QCOMPARE(cli.run({command, "flat.dat", "--hex", "-o", command + ".PDF"}).exitCode, 0);
            QVERIFY(cli.bytes(command + ".PDF").startsWith("%PDF"));
            r = cli.run({command, "-", "--hex", "-o", "-"}, cli.bytes("flat.dat"));
            QCOMPARE(r.exitCode, 0);
            QCOMPARE(QImage::fromData(r.out, "PNG").size(), QSize(800, 500));
        }
        // The plotted data: 50 reads; the codes 8388600 + 0..10, each 4 or 5 times.
        QCOMPARE(cli.run({"plot", "flat.dat", "--hex", "-o", "p.csv"}).exitCode, 0);
        QCOMPARE(cli.bytes("p.csv").split('\n').mid(0, 3),
                 (QList<QByteArray>{"read,code", "1,8388600", "2,8388607"}));
        QCOMPARE(cli.run({"histogram", "flat.dat", "--hex", "-o", "h.csv"}).exitCode, 0);
        const QList<QByteArray> histogram = cli.bytes("h.csv").split('\n');
        QCOMPARE(histogram.size(), 13);  // header, 11 codes, the empty piece after the last
        QCOMPARE(histogram[1], QByteArray("8388600,5"));
        QCOMPARE(cli.run({"plot", "flat.dat", "--hex", "-o", cli.path("no/dir/p.png")}).exitCode,
                 1);
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
