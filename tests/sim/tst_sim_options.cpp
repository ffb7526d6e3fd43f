#include <QtTest>

#include "board/program_port.h"
#include "board/registers.h"
#include "board/serial.h"
#include "core/globals.h"
#include "sim/sim_options.h"
#include "sim/simulated_board.h"
#include "tests/support/program_register.h"

using kx::sim::Fault;
using kx::sim::InputSetting;
using kx::sim::Speed;

class SimOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void faultNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("fault");  // -1: refused
        QTest::newRow("ready-stuck") << "ready-stuck" << int(Fault::ReadyStuck);
        QTest::newRow("ignore-writes") << "ignore-writes" << int(Fault::IgnoreWrites);
        QTest::newRow("no-board") << "no-board" << int(Fault::NoBoard);
        QTest::newRow("upper case") << "NO-BOARD" << -1;
        QTest::newRow("underscore") << "ready_stuck" << -1;
        QTest::newRow("trailing blank") << "no-board " << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void faultNames() {
        QFETCH(QString, name);
        QFETCH(int, fault);
        const std::string text = name.toStdString();
        const auto parsed = kx::sim::ParseFault(text);
        QCOMPARE(parsed.has_value(), fault >= 0);
        if (parsed) {
            QCOMPARE(int(*parsed), fault);
            QCOMPARE(kx::sim::FaultName(*parsed), text);
        }
    }

    // NAME@N: the fault and the count; a count that is no whole number, or an unknown name, is
    // refused with a reason.
    void faultSettings() {
        Fault fault = Fault::NoBoard;
        std::optional<uint64_t> after;
        std::string error;
        QVERIFY(kx::sim::ParseFaultSetting("ready-stuck@5", fault, after, error));
        QCOMPARE(fault, Fault::ReadyStuck);
        QCOMPARE(after, std::optional<uint64_t>(5));
        QVERIFY(kx::sim::ParseFaultSetting("ignore-writes", fault, after, error));
        QCOMPARE(fault, Fault::IgnoreWrites);
        QVERIFY(!after);
        for (const char* bad : {"ready-stuck@", "ready-stuck@-1", "smoke@3"})
            QVERIFY(!kx::sim::ParseFaultSetting(bad, fault, after, error) && !error.empty());
        QVERIFY(error.find("'smoke'") != std::string::npos);
    }

    // ready-stuck@5 from the settings: five results are read, the sixth read times out.
    void faultArmedAfterResults() {
        kx::sim::SimSettings settings;
        settings.faultsAfterResults[Fault::ReadyStuck] = 5;
        kx::sim::SimulatedBoard board(settings);
        kx::ResetGlobals();
        PortAddress = 0x378;
        SetPortBackend(&board);
        Register mode = ProgramRegister(8, 0x83, 0x41, 0x01);  // continuous, chopping disabled
        mode.WriteReg();
        ReadData data = ProgramReadData(24, 0x44);
        for (int i = 1; i <= 5; ++i) {
            QVERIFY(!board.faultOn(Fault::ReadyStuck));
            QVERIFY(data.Read() != TimeoutMarker);
        }
        QVERIFY(board.faultOn(Fault::ReadyStuck));
        QCOMPARE(data.Read(), TimeoutMarker);
        QCOMPARE(board.resultsProduced(), uint64_t(5));
        SetPortBackend(nullptr);
    }

    void toneSettings() {
        kx::sim::ToneSetting tone{9, 9, 9};
        std::string error;
        QVERIFY(kx::sim::ParseToneSetting("15=50.5,2e1", tone, error));
        QCOMPARE(tone.channel, 15);
        QCOMPARE(tone.hertz, 50.5);
        QCOMPARE(tone.microvoltsRms, 20.0);
        for (const char* bad : {"16=50,20", "0=50", "0=-1,20", "0=50,20,3", "50,20"}) {
            QVERIFY2(!kx::sim::ParseToneSetting(bad, tone, error) && !error.empty(), bad);
            QCOMPARE(tone.channel, 15);  // untouched
        }
    }

    void speedsAndSeeds() {
        QCOMPARE(kx::sim::ParseSpeed("realtime"), std::optional(Speed::RealTime));
        QCOMPARE(kx::sim::ParseSpeed("fast"), std::optional(Speed::Fast));
        QVERIFY(!kx::sim::ParseSpeed("real-time"));
        QVERIFY(!kx::sim::ParseSpeed("Fast"));
        QCOMPARE(kx::sim::ParseSeed("0"), std::optional<uint64_t>(0));
        QCOMPARE(kx::sim::ParseSeed("18446744073709551615"),
                 std::optional<uint64_t>(18446744073709551615ull));
        QVERIFY(!kx::sim::ParseSeed("18446744073709551616"));
        QVERIFY(!kx::sim::ParseSeed("-1"));
        QVERIFY(!kx::sim::ParseSeed("12x"));
        QVERIFY(!kx::sim::ParseSeed(""));
    }

    void inputSettings_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("channel");
        QTest::addColumn<double>("volts");
        QTest::addColumn<double>("noise");
        QTest::newRow("volts only, default noise") << "3=1.25" << true << 3 << 1.25 << 0.6;
        QTest::newRow("negative volts and noise") << "0=-0.5,2" << true << 0 << -0.5 << 2.0;
        QTest::newRow("last channel, no noise") << "15=0,0" << true << 15 << 0.0 << 0.0;
        QTest::newRow("exponent") << "11=25e-3,0.1" << true << 11 << 0.025 << 0.1;
        QTest::newRow("channel 16") << "16=1" << false << 0 << 0.0 << 0.0;
        QTest::newRow("negative channel") << "-1=1" << false << 0 << 0.0 << 0.0;
        QTest::newRow("channel not a number") << "a=1" << false << 0 << 0.0 << 0.0;
        QTest::newRow("no channel") << "=1" << false << 0 << 0.0 << 0.0;
        QTest::newRow("no equals sign") << "3" << false << 0 << 0.0 << 0.0;
        QTest::newRow("no volts") << "3=" << false << 0 << 0.0 << 0.0;
        QTest::newRow("volts not a number") << "3=x" << false << 0 << 0.0 << 0.0;
        QTest::newRow("volts with a unit") << "3=1V" << false << 0 << 0.0 << 0.0;
        QTest::newRow("volts infinite") << "3=inf" << false << 0 << 0.0 << 0.0;
        QTest::newRow("volts not a number (nan)") << "3=nan" << false << 0 << 0.0 << 0.0;
        QTest::newRow("empty noise") << "3=1," << false << 0 << 0.0 << 0.0;
        QTest::newRow("negative noise") << "3=1,-2" << false << 0 << 0.0 << 0.0;
        QTest::newRow("third field") << "3=1,2,3" << false << 0 << 0.0 << 0.0;
        QTest::newRow("blank before") << " 3=1" << false << 0 << 0.0 << 0.0;
    }
    void inputSettings() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, channel);
        QFETCH(double, volts);
        QFETCH(double, noise);
        int ch = -7;
        InputSetting setting{9.0, 9.0};
        std::string error;
        QCOMPARE(kx::sim::ParseInputSetting(text.toStdString(), ch, setting, error), ok);
        if (ok) {
            QCOMPARE(ch, channel);
            QCOMPARE(setting.volts, volts);
            QCOMPARE(setting.noiseMicrovolts, noise);
            QVERIFY(error.empty());
        } else {
            // Untouched outputs and a one-line reason; the caller names the setting.
            QCOMPARE(ch, -7);
            QCOMPARE(setting.volts, 9.0);
            QVERIFY(!error.empty());
            QVERIFY(error.find('\n') == std::string::npos);
        }
    }
};

QTEST_GUILESS_MAIN(SimOptionsTest)
#include "tst_sim_options.moc"
