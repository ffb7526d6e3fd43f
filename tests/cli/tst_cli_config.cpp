#include <QtTest>

#include "tests/cli/cli_runner.h"

// kx3105-cli config on the simulated board kept across calls: a configuration saved, the board
// reset, the file loaded (first as a dry run); a refused file touches no board.

class CliConfigTest : public QObject {
    Q_OBJECT

    CliRunner cli;

    CliResult onBoard(const QStringList& args) {
        return cli.run(QStringList{"--sim-state", cli.path("board")} + args);
    }

private slots:
    void savedResetLoaded() {
        for (const auto& [reg, value] : {std::pair{"mode", "80"},
                                         {"filter", "3"},
                                         {"adc-control", "4E"},
                                         {"io-control", "22"},
                                         {"gain", "3FFF00"},
                                         {"mode", "83"}})
            QCOMPARE(onBoard({"write", reg, value}).exitCode, 0);
        const QByteArray before = onBoard({"regs"}).out;
        CliResult r = onBoard({"config", "save", "bench.json"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(cli.bytes("bench.json").contains(R"("format": "kx3105-configuration")"));
        QCOMPARE(onBoard({"reset", "hardware"}).exitCode, 0);
        const QByteArray reset = onBoard({"regs"}).out;
        QVERIFY(reset != before);

        r = onBoard({"config", "load", "bench.json", "--dry-run"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("mode 01 -> 00 (power-down for the filter and calibration "
                                   "writes)\nfilter 45 -> 03\ngain 400000 -> 3FFF00\n"
                                   "adc-control 07 -> 4E\nio-control 00 -> 22\n"
                                   "mode 00 -> 83 (out of power-down)\n"));
        QCOMPARE(onBoard({"regs"}).out, reset);

        r = onBoard({"config", "load", "bench.json"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QString());
        const QByteArray after = onBoard({"regs"}).out;
        // The status register is the converter's own: compared without it.
        QCOMPARE(after.mid(after.indexOf("mode")), before.mid(before.indexOf("mode")));
        r = onBoard({"config", "load", "bench.json", "--dry-run"});
        QCOMPARE(r.out, QByteArray());
        QVERIFY(r.err.contains("nothing to write"));
    }

    // Refused with the field named before any board is looked for: not even the missing port is
    // reached.
    void refusedFileTouchesNoBoard_data() {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QString>("error");
        QTest::newRow("offset") << QByteArray(R"("offset": "800000")")
                                << QByteArray(R"("offset": "80000G")")
                                << "registers.offset: '80000G' is not a hexadecimal value";
        QTest::newRow("polarity") << QByteArray(R"("polarity": "Bipolar")")
                                  << QByteArray(R"("polarity": "bipolarity")")
                                  << "multichannel[0].polarity: polarity takes bipolar or "
                                     "unipolar, not 'bipolarity'";
        QTest::newRow("not JSON") << QByteArray("{") << QByteArray("{{") << "the file is not JSON";
    }
    void refusedFileTouchesNoBoard() {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QString, error);
        QCOMPARE(cli.run({"--simulate", "config", "save", "fresh.json"}).exitCode, 0);
        QByteArray text = cli.bytes("fresh.json");
        QVERIFY(text.contains(from));
        text.replace(text.indexOf(from), from.size(), to);
        QVERIFY(cli.write("wrong.json", text));
        const CliResult r = cli.run({"--port", "/dev/parport9", "config", "load", "wrong.json"});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, "kx3105-cli: wrong.json: " + error + "\n");
    }
};

QTEST_MAIN(CliConfigTest)
#include "tst_cli_config.moc"
