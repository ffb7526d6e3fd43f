#include <QPushButton>
#include <QtTest>

#include "app/programform.h"
#include "tests/app/shell_wire.h"
#include "tests/support/board_fixture.h"
#include "tests/support/scripted_messages.h"

namespace {

kx::ProgramMenuOpeners Recording(OpenLog& log) {
    kx::ProgramMenuOpeners o;
    o.mode = log.opener("mode");
    o.filter = log.opener("filter");
    o.calibration = log.opener("calibration");
    o.control = log.opener("control");
    o.ioControl = log.opener("ioControl");
    o.status = log.opener("status");
    o.registerMap = log.opener("registerMap");
    return o;
}

}  // namespace

class ProgramFormTest : public QObject {
    Q_OBJECT

private slots:
    void powerDownGate_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("opened");
        QTest::newRow("0x00 power-down") << 0x00 << true;
        QTest::newRow("0x80 power-down") << 0x80 << true;
        QTest::newRow("0x01") << 0x01 << false;
        QTest::newRow("0x83") << 0x83 << false;
    }
    void powerDownGate() {
        QFETCH(int, mode);
        QFETCH(bool, opened);
        RecordingBoard board;
        board.port.script(0x379, StatusReadsFor(mode));
        ScriptedMessages messages;
        OpenLog log;
        ProgramForm form(Recording(log));

        form.findChild<QPushButton*>("Command2")->click();

        // One read of the Mode register, nothing written.
        QCOMPARE(board.dataWrites(), ByteRegisterReadWrites(0x41));
        const kx::Message refusal{
            "The KX3105 must be in Power-Down Mode in order to program the Filter Register",
            "KX3105 Evaluation Software", kx::Icon::Warning, kx::Buttons::Ok};
        QCOMPARE(messages.shown,
                 opened ? std::vector<kx::Message>{} : std::vector<kx::Message>{refusal});
        QCOMPARE(log.opened, opened ? QStringList{"filter"} : QStringList{});
    }

    void buttonsOpenTheirScreens_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("screen");
        QTest::newRow("Mode") << "Command1"
                              << "mode";
        QTest::newRow("Calibration") << "Command3"
                                     << "calibration";
        QTest::newRow("Control") << "Command4"
                                 << "control";
        QTest::newRow("I/O Control") << "Command5"
                                     << "ioControl";
        QTest::newRow("Status") << "Command6"
                                << "status";
        QTest::newRow("Register Map") << "RegisterMapButton"
                                      << "registerMap";
    }
    void buttonsOpenTheirScreens() {
        QFETCH(QString, button);
        QFETCH(QString, screen);
        RecordingBoard board;
        OpenLog log;
        ProgramForm form(Recording(log));
        form.findChild<QPushButton*>(button)->click();
        QCOMPARE(log.opened, QStringList{screen});
        QVERIFY(board.port.accesses.empty());
    }

    void unbuiltScreensAreDisabledAndBackCloses() {
        RecordingBoard board;
        ScriptedMessages messages;
        ProgramForm form({});
        form.show();
        for (int i = 1; i <= 6; ++i) {
            QPushButton* b = form.findChild<QPushButton*>(QString("Command%1").arg(i));
            QVERIFY2(!b->isEnabled(), qPrintable(b->text()));
            b->click();
        }
        QVERIFY(board.port.accesses.empty());
        QVERIFY(messages.shown.empty());
        form.findChild<QPushButton*>("Command7")->click();
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(ProgramFormTest)
#include "tst_programform.moc"
