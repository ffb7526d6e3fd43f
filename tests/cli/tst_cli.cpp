#include <QtTest>

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>

#include "analysis/noise_stats.h"
#include "files/datafile.h"

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

    void writeFile(const QString& name, const QByteArray& bytes) const {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }

private slots:
    void initTestCase() {
        writeFile("bad.state", "mood 3\n");
        writeFile("bad.dat", " 1\r\n x\r\n");
        writeFile("nine.dat", " 1\r\n 2\r\n 3\r\n 4\r\n 5\r\n 6\r\n 7\r\n 8\r\n 9\r\n");
        writeFile("long.dat", QByteArray(" 7\r\n").repeated(5001));
        QByteArray flat;
        for (int i = 0; i < 50; ++i)
            flat += QByteArray::number(8388600 + (i * 7) % 11, 16).toUpper() + "\r\n";
        writeFile("flat.dat", flat);
    }

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
        QVERIFY(onBoard("b1", {"regs", "--data"}).out.endsWith("io-control  0\ndata        0\n"));
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

    // Status 1 (the board or a file failed): the line starts with the screen's own message where
    // there is one. Status 2 (usage): refused before any board was opened.
    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("write ignored")
            << QStringList{"--sim-fault", "ignore-writes", "write", "filter", "2A"} << 1
            << "Error Programming KX3105\n";
        QTest::newRow("calibration never ends")
            << QStringList{"--sim-fault", "ready-stuck", "calibrate", "internal-zero"} << 1
            << "Error Calibrating KX3105\n";
        QTest::newRow("capture never ready")
            << QStringList{"--sim-fault", "ready-stuck", "capture", "10"} << 1
            << "Error Reading Data from KX3105\n";  // and an empty run on standard output
        QTest::newRow("missing file") << QStringList{"analyse", "nothing.dat", "--adc-control", "7"}
                                      << 1 << "kx3105-cli: cannot open nothing.dat\n";
        QTest::newRow("bad state file") << QStringList{"--sim-state", "bad.state", "regs"} << 1
                                        << "kx3105-cli: bad.state: line 1: unknown register "
                                           "'mood'\n";
        QTest::newRow("bad line") << QStringList{"analyse", "bad.dat", "--adc-control", "7"} << 1
                                  << "Error Reading File: bad.dat line 2 is not a decimal code\n";
        QTest::newRow("nine codes")
            << QStringList{"plot", "nine.dat", "-o", "p.png"} << 1
            << "For Data Analysis the number of Codes read must be between 9 and 5000\n";
        QTest::newRow("5001 codes") << QStringList{"histogram", "long.dat", "-o", "p.png"} << 1
                                    << "kx3105-cli: long.dat holds more than 5000 codes\n";

        const std::pair<QStringList, QString> usage[] = {
            {{"--simulate"}, "no command given"},
            {{"frob"}, "unknown command 'frob'"},
            {{"read", "modes"}, "unknown register"},
            {{"write", "status", "1"}, "status is read-only"},
            {{"write", "filter", "100"}, "does not fit"},
            {{"write", "gain", "0x10"}, "not a hexadecimal"},
            {{"write", "gain", "-1"}, "unknown option -1"},
            {{"write", "mode"}, "missing argument"},
            {{"regs", "now"}, "unexpected argument 'now'"},
            {{"reset", "soft"}, "hardware or software"},
            {{"calibrate", "zero"}, "internal-zero"},
            {{"capture", "0"}, "1 to 32767"},
            {{"capture", "32768"}, "1 to 32767"},
            {{"regs", "--json"}, "takes no --json"},
            {{"analyse", "f", "--adc-control", "100"}, "hexadecimal byte"},
            {{"analyse", "f", "--ref", "two"}, "number of volts"},
            {{"plot", "f"}, "needs -o"},
            {{"plot", "f", "-o", "p.txt"}, ".png or .pdf"},
            {{"--frobnicate", "regs"}, "--frobnicate"},
            {{"--port", "/dev/parport9", "--sim-state", "s", "regs"}, "--port"},
            {{"capture", "10", "-o"}, "-o needs"},
        };
        for (const auto& [args, error] : usage)
            QTest::newRow(qPrintable(args.join(' '))) << args << 2 << error;
    }
    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, error);
        const Result r = run(args);
        QCOMPARE(r.exitCode, status);
        QVERIFY2(r.err.startsWith(status == 2 ? "kx3105-cli: " : error) && r.err.contains(error) &&
                     r.err.count('\n') == 1,
                 qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QVERIFY(!QFile::exists(path("s")) && !QFile::exists(path("p.png")));
    }

    void help() {
        Result r = run({"--help"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(
            r.out.contains("  analyse FILE [--hex] [--adc-control HEX] [--ref VOLTS] [--json]\n"));
        QVERIFY(r.out.contains("  --sim-state FILE"));
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

        const auto loaded = kx::datafile::ParseRun(fileBytes(path("run.dat")).toStdString(),
                                                   kx::datafile::Form::Decimal);
        QCOMPARE(loaded.status, kx::datafile::ReadStatus::Loaded);
        QCOMPARE(loaded.run.count, 100);
        const std::vector<double>& codes = loaded.run.buffer;
        const auto stats = kx::noise::ComputeNoiseStatistics(codes, 100);

        // Range 2.56 V, bipolar, from the command line; the core functions give the same texts.
        Result r = run({"analyse", "run.dat", "--adc-control", "07", "--json"});
        QCOMPARE(r.exitCode, 0);
        QJsonParseError parseError;
        const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8(), &parseError).object();
        QCOMPARE(parseError.error, QJsonParseError::NoError);
        auto t = kx::noise::NoiseResultTexts(stats, kx::noise::ScalingFor(7, 2, 2.5f), 2.5f, 100);
        const std::pair<const char*, std::string> expected[] = {
            {"ref_voltage", t.ref},  {"lsb_size", t.lsb},           {"input_range", t.range},
            {"codes_read", t.codes}, {"rms_noise_codes", t.rmsLsb}, {"average_code", t.average},
            {"code_span", t.span},   {"max_code", t.max},           {"min_code", t.min},
            {"rms_noise", t.rms},    {"pk_pk_noise", t.pkPk},       {"average_value", t.avValue}};
        QCOMPARE(json.size(), 15);
        for (const auto& [key, text] : expected)
            QCOMPARE(json.value(key).toString(), QString::fromStdString(text));
        QCOMPARE(json.value("input_range").toString(), QString("± 2.56V"));

        double sum = 0;
        for (int i = 1; i <= 100; ++i)
            sum += codes[i];
        double squares = 0;
        for (int i = 1; i <= 100; ++i)
            squares += (codes[i] - sum / 100) * (codes[i] - sum / 100);
        const double rms = std::sqrt(squares / 99);
        // 3 uV of noise at 19.79 Hz, 5.2 uV at this rate (59.36 Hz, chopping disabled); 305 nV a
        // code.
        QVERIFY(rms > 12 && rms < 22);
        QCOMPARE(json.value("rms_noise_exact_codes").toDouble(), rms);
        QCOMPARE(std::lround(rms), static_cast<long>(stats.rmsNoiseCodes));
        QCOMPARE(json.value("effective_resolution_bits").toDouble(), std::log2(16777216.0 / rms));
        QCOMPARE(json.value("noise_free_bits").toDouble(),
                 std::log2(16777216.0 / (stats.maxCode - stats.minCode)));

        // Without --adc-control the range and polarity are the board's: unipolar 2.56 V.
        QCOMPARE(onBoard("b2", {"write", "adc-control", "0F"}).exitCode, 0);
        r = onBoard("b2", {"analyse", "run.dat", "--ref", "2.499"});
        QCOMPARE(r.exitCode, 0);
        t = kx::noise::NoiseResultTexts(stats, kx::noise::ScalingFor(7, 1, 2.5f), 2.5f, 100);
        QCOMPARE(r.out.toStdString(),
                 "Ref. Voltage: 2.50 V\nLSB Size: 152.588 nV\nInput Range: 2.56V\n"
                 "Codes Read: 100\nRMS Noise: " +
                     t.rmsLsb + " Hex\nAverage Code: " + t.average + " Hex\nCode Span: " + t.span +
                     " Hex\nMax Code: " + t.max + " Hex\nMin Code: " + t.min +
                     " Hex\nRMS Noise: " + t.rms + "\nPk to Pk Noise: " + t.pkPk +
                     "\nAverage Value: " + t.avValue + "\n");

        // Hexadecimal, to standard output.
        r = run({"--simulate", "capture", "20", "--hex"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(kx::datafile::ParseRun(r.out.toStdString(), kx::datafile::Form::Hex).run.count,
                 20);
    }

    void charts() {
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
