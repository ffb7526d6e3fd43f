#include <QtTest>

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>

#include "datafile.h"
#include "noise_stats.h"

// The built tool, run as a script would run it, on the simulated board.

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

class CliTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const QString& name) const { return dir.filePath(name); }

    Result run(const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);  // the tool needs no display
        p.setProcessEnvironment(env);
        p.start(KX3105_CLI, args);
        Result r;
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) return r;
        r.exitCode = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    // One board kept across invocations.
    Result onBoard(const QString& state, const QStringList& args) {
        return run(QStringList{"--sim-state", path(state)} + args);
    }

    static QByteArray fileBytes(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void registersAfterAResetAndAcrossCalls() {
        QCOMPARE(onBoard("b1", {"write", "filter", "2A"}).exitCode, 0);
        Result r = onBoard("b1", {"read", "filter"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QString("2A\n"));
        QCOMPARE(run({"--simulate", "read", "filter"}).out, QString("45\n"));  // a fresh board

        QCOMPARE(onBoard("b1", {"write", "io-control", "30"}).exitCode, 0);
        QCOMPARE(onBoard("b1", {"reset", "software"}).exitCode, 0);
        r = onBoard("b1", {"regs"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QString("status      81\n"
                                "mode        1\n"
                                "adc-control 7\n"
                                "filter      45\n"
                                "offset      800000\n"
                                "gain        400000\n"
                                "io-control  0\n"));
        QCOMPARE(r.err, QString());

        QCOMPARE(onBoard("b1", {"write", "filter", "2A"}).exitCode, 0);
        QCOMPARE(onBoard("b1", {"reset", "hardware"}).exitCode, 0);
        r = onBoard("b1", {"regs", "--data"});
        QVERIFY(r.out.contains("filter      45\n"));
        QVERIFY(r.out.endsWith("data        0\n"));
    }

    void calibration() {
        // 10 mV on the 2.56 V range is 1/256 of full scale: the zero point moves by 2^23 / 256.
        const Result r = onBoard("b3", {"--sim-input", "0=0.01,0", "calibrate", "system-zero"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QString());
        QCOMPARE(onBoard("b3", {"read", "offset"}).out, QString("808000\n"));
        QCOMPARE(onBoard("b3", {"read", "mode"}).out, QString("1\n"));  // idle again
    }

    void hardwareResetTrace() {
        const QString trace = path("reset.trace");
        const Result r = run({"--simulate", "--trace", trace, "reset", "hardware"});
        QCOMPARE(r.exitCode, 0);
        // Start-up sets the port's control lines; then the reset pulse and nothing else.
        QCOMPARE(fileBytes(trace), QByteArray("R 37A CC\n"
                                              "W 37A C4\n"
                                              "W 378 18\n"
                                              "W 378 1A\n"));
    }

    void boardFailures_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("write ignored")
            << QStringList{"--sim-fault", "ignore-writes", "write", "filter", "2A"}
            << "Error Programming KX3105\n";
        QTest::newRow("calibration never ends")
            << QStringList{"--sim-fault", "ready-stuck", "calibrate", "internal-zero"}
            << "Error Calibrating KX3105\n";
        QTest::newRow("capture never ready")
            << QStringList{"--sim-fault", "ready-stuck", "capture", "10"}
            << "Error Reading Data from KX3105\n";
        QTest::newRow("missing file") << QStringList{"analyse", "nothing.dat", "--adc-control", "7"}
                                      << "kx3105-cli: cannot open nothing.dat\n";
        QTest::newRow("bad state file") << QStringList{"--sim-state", "bad.state", "regs"}
                                        << "kx3105-cli: bad.state: line 1: unknown register "
                                           "'mood'\n";
    }
    void boardFailures() {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        QFile bad(path("bad.state"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("mood 3\n");
        bad.close();
        const Result r = run(args);
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, error);
        QCOMPARE(r.out, QString());  // a capture that read nothing writes an empty file
    }

    void dataFileFailures_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error");
        QTest::newRow("bad line") << QByteArray(" 1\r\n x\r\n")
                                  << "Error Reading File: run.dat line 2 is not a decimal code\n";
        QTest::newRow("nine codes")
            << QByteArray(" 1\r\n 2\r\n 3\r\n 4\r\n 5\r\n 6\r\n 7\r\n 8\r\n 9\r\n")
            << "For Data Analysis the number of Codes read must be between 9 and 5000\n";
        QTest::newRow("5001 codes") << QByteArray(" 7\r\n").repeated(5001)
                                    << "kx3105-cli: run.dat holds more than 5000 codes\n";
    }
    void dataFileFailures() {
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        QFile f(path("run.dat"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        for (const QString command : {"analyse", "plot"}) {
            QStringList args{command, "run.dat", "--adc-control", "7"};
            if (command == "plot") args = QStringList{command, "run.dat", "-o", "p.png"};
            const Result r = run(args);
            QCOMPARE(r.exitCode, 1);
            QCOMPARE(r.err, error);
            QVERIFY(!QFile::exists(path("p.png")));
        }
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("no command") << QStringList{"--simulate"} << "no command given";
        QTest::newRow("unknown command") << QStringList{"frob"} << "unknown command 'frob'";
        QTest::newRow("unknown register") << QStringList{"read", "modes"} << "unknown register";
        QTest::newRow("read-only") << QStringList{"write", "status", "1"} << "status is read-only";
        QTest::newRow("too wide") << QStringList{"write", "filter", "100"} << "does not fit";
        QTest::newRow("not hex") << QStringList{"write", "gain", "0x10"} << "not a hexadecimal";
        QTest::newRow("missing value") << QStringList{"write", "mode"} << "missing argument";
        QTest::newRow("extra word") << QStringList{"regs", "now"} << "unexpected argument 'now'";
        QTest::newRow("reset kind") << QStringList{"reset", "soft"} << "hardware or software";
        QTest::newRow("calibration kind") << QStringList{"calibrate", "zero"} << "internal-zero";
        QTest::newRow("count 0") << QStringList{"capture", "0"} << "1 to 32767";
        QTest::newRow("count too big") << QStringList{"capture", "32768"} << "1 to 32767";
        QTest::newRow("foreign option") << QStringList{"regs", "--json"} << "takes no --json";
        QTest::newRow("adc byte") << QStringList{"analyse", "f", "--adc-control", "100"}
                                  << "hexadecimal byte";
        QTest::newRow("ref") << QStringList{"analyse", "f", "--ref", "two"} << "number of volts";
        QTest::newRow("plot without -o") << QStringList{"plot", "f"} << "needs -o";
        QTest::newRow("plot to text") << QStringList{"plot", "f", "-o", "p.txt"} << ".png or .pdf";
        QTest::newRow("unknown option") << QStringList{"--frobnicate", "regs"} << "--frobnicate";
        QTest::newRow("bad fault") << QStringList{"--sim-fault", "nope", "regs"} << "nope";
        QTest::newRow("state on a port")
            << QStringList{"--port", "/dev/parport9", "--sim-state", "s", "regs"} << "--port";
        QTest::newRow("option value missing") << QStringList{"capture", "10", "-o"} << "-o needs";
    }
    void usageErrors() {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const Result r = run(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.startsWith("kx3105-cli: ") && r.err.contains(error), qPrintable(r.err));
        QCOMPARE(r.err.count('\n'), 1);
        QCOMPARE(r.out, QString());
        QVERIFY(!QFile::exists(path("s")));  // refused before any board was opened
    }

    void help() {
        Result r = run({"--help"});
        QCOMPARE(r.exitCode, 0);
        for (const char* command :
             {"regs", "read REGISTER", "write REGISTER HEX", "reset", "calibrate", "capture COUNT",
              "analyse FILE", "plot FILE", "histogram FILE", "--sim-state FILE"})
            QVERIFY2(r.out.contains(command), command);
        r = run({"capture", "--help"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.startsWith(
            "Usage: kx3105-cli [board options] capture COUNT [--hex] [-o FILE]\n"));
    }

    void captureThenAnalyse() {
        // Chopping disabled and idle: the capture must switch on continuous conversion itself,
        // keeping the upper mode bits.
        QCOMPARE(onBoard("b2", {"write", "mode", "81"}).exitCode, 0);
        const Result captured =
            onBoard("b2", {"--sim-input", "0=0.001,3", "capture", "100", "-o", "run.dat"});
        QCOMPARE(captured.exitCode, 0);
        QCOMPARE(captured.err, QString());  // no progress when standard error is no terminal
        QCOMPARE(onBoard("b2", {"read", "mode"}).out, QString("83\n"));

        const QByteArray bytes = fileBytes(path("run.dat"));
        QCOMPARE(bytes.count("\r\n"), 100);
        QVERIFY(bytes.endsWith("\r\n") && bytes.startsWith(' '));
        auto loaded = kx::datafile::ParseRun(bytes.toStdString(), kx::datafile::Form::Decimal);
        QCOMPARE(loaded.status, kx::datafile::ReadStatus::Loaded);
        QCOMPARE(loaded.run.count, 100);
        const std::vector<double>& codes = loaded.run.buffer;

        // Range 2.56 V, bipolar, from the command line; the core functions give the same texts.
        Result r = run({"analyse", "run.dat", "--adc-control", "07", "--json"});
        QCOMPARE(r.exitCode, 0);
        QJsonParseError parseError;
        const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8(), &parseError).object();
        QCOMPARE(parseError.error, QJsonParseError::NoError);
        const auto stats = kx::noise::ComputeNoiseStatistics(codes, 100);
        const auto texts =
            kx::noise::NoiseResultTexts(stats, kx::noise::ScalingFor(7, 2, 2.5f), 2.5f, 100);
        const std::pair<const char*, std::string> expected[] = {
            {"ref_voltage", texts.ref},        {"lsb_size", texts.lsb},
            {"input_range", texts.range},      {"codes_read", texts.codes},
            {"rms_noise_codes", texts.rmsLsb}, {"average_code", texts.average},
            {"code_span", texts.span},         {"max_code", texts.max},
            {"min_code", texts.min},           {"rms_noise", texts.rms},
            {"pk_pk_noise", texts.pkPk},       {"average_value", texts.avValue}};
        QCOMPARE(json.size(), 15);
        for (const auto& [key, text] : expected)
            QCOMPARE(json.value(key).toString(), QString::fromStdString(text));
        QCOMPARE(json.value("ref_voltage").toString(), QString("2.50 V"));
        QCOMPARE(json.value("input_range").toString(), QString("± 2.56V"));
        QCOMPARE(json.value("codes_read").toString(), QString("100"));

        double sum = 0;
        for (int i = 1; i <= 100; ++i)
            sum += codes[i];
        double squares = 0;
        for (int i = 1; i <= 100; ++i)
            squares += (codes[i] - sum / 100) * (codes[i] - sum / 100);
        const double rms = std::sqrt(squares / 99);
        QVERIFY(rms > 5 && rms < 15);  // 3 uV of noise, 305 nV a code
        QCOMPARE(json.value("rms_noise_exact_codes").toDouble(), rms);
        QCOMPARE(std::lround(rms), static_cast<long>(stats.rmsNoiseCodes));
        QCOMPARE(json.value("effective_resolution_bits").toDouble(), std::log2(16777216.0 / rms));
        QCOMPARE(json.value("noise_free_bits").toDouble(),
                 std::log2(16777216.0 / (stats.maxCode - stats.minCode)));

        // Without --adc-control the range and polarity are the board's: unipolar 2.56 V.
        QCOMPARE(onBoard("b2", {"write", "adc-control", "0F"}).exitCode, 0);
        r = onBoard("b2", {"analyse", "run.dat", "--ref", "2.499"});
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 12);
        QCOMPARE(lines[0], QString("Ref. Voltage: 2.50 V"));
        QCOMPARE(lines[1], QString("LSB Size: 152.588 nV"));
        QCOMPARE(lines[2], QString("Input Range: 2.56V"));
        QCOMPARE(lines[3], QString("Codes Read: 100"));
        QCOMPARE(lines[4], "RMS Noise: " + QString::fromStdString(texts.rmsLsb) + " Hex");
        QCOMPARE(lines[7], "Max Code: " + QString::fromStdString(texts.max) + " Hex");
        QVERIFY(lines[9].startsWith("RMS Noise: ") && lines[10].startsWith("Pk to Pk Noise: ") &&
                lines[11].startsWith("Average Value: "));

        // Hexadecimal, to standard output.
        r = run({"--simulate", "capture", "20", "--hex"});
        QCOMPARE(r.exitCode, 0);
        loaded = kx::datafile::ParseRun(r.out.toStdString(), kx::datafile::Form::Hex);
        QCOMPARE(loaded.status, kx::datafile::ReadStatus::Loaded);
        QCOMPARE(loaded.run.count, 20);
    }

    void charts() {
        QFile f(path("flat.dat"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 50; ++i)
            f.write(QByteArray::number(8388600 + (i * 7) % 11, 16).toUpper() + "\r\n");
        f.close();
        for (const QString command : {"plot", "histogram"}) {
            const QString png = command + ".png";
            const Result r = run({command, "flat.dat", "--hex", "-o", png});
            QCOMPARE(r.exitCode, 0);
            QCOMPARE(r.err, QString());
            QImage image(path(png));
            QVERIFY(!image.isNull());
            QCOMPARE(image.size(), QSize(800, 500));
            QVERIFY(run({command, "flat.dat", "--hex", "-o", command + ".PDF"}).exitCode == 0);
            QVERIFY(fileBytes(path(command + ".PDF")).startsWith("%PDF"));
        }
        const Result r = run({"plot", "flat.dat", "--hex", "-o", path("no/such/dir/p.png")});
        QCOMPARE(r.exitCode, 1);
    }
};

}  // namespace

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
