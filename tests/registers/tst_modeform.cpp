#include <QEvent>
#include <QPushButton>
#include <QtTest>

#include "registers/modeform.h"
#include "tests/registers/register_screen_support.h"
#include "tests/support/scripted_messages.h"
#include "ui/board_runner.h"

namespace {}  // namespace

class ModeFormTest : public QObject {
    Q_OBJECT

private slots:
    // Between them the two rows select every option button, so a button put in the wrong frame
    // (and made exclusive with the wrong group) shows here.
    void opens_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<QString>("shown");
        QTest::newRow("0x83") << 0x83 << "OptBufOff OptChConClr OptChopOff OptMD3 OptOscOn OptRef1"
                              << QString("10000011 83");
        QTest::newRow("0x79") << 0x79 << "OptBufOn OptChConSet OptChopOn OptMD1 OptOscOff OptRef2"
                              << QString("01111001 79");
    }
    void opens() {
        QFETCH(int, mode);
        SimBench bench;
        WriteRegister(0x01, 8, mode);
        ModeForm form;
        form.show();
        QTEST(CheckedOptions(form).join(' '), "checked");
        QTEST(BitLabels(form) + " " + TextOf(form, "modeLabel"), "shown");
        const QStringList expected =
            QString(
                "ModeForm=KX3105 Evaluation Software - Program Mode Register|"
                "Frame1=Mode of Operation|OptMD0=Power Down Mode|OptMD1=Idle Mode|"
                "OptMD2=Single Conversion|OptMD3=Continuous Conversion|"
                "OptMD4=Internal Zero Scale Cal.|OptMD5=Internal Full Scale Cal.|"
                "OptMD6=System Zero Scale Cal.|OptMD7=System Full Scale Cal.|Frame2=Chop|"
                "OptChopOn=Chopping Enabled|OptChopOff=Chopping Disabled|Frame6=Input Buffering|"
                "OptBufOn=Buffered|OptBufOff=Unbuffered|Frame4=Reference Selection|"
                "OptRef1=Refin 1|OptRef2=Refin 2|Frame5=Channel Configuartion|"
                "OptChConSet=CHCON Set|OptChConClr=CHCON Cleared|Frame3=In Power Down Mode|"
                "OptOscOn=Power Up Oscillator|OptOscOff=Power Down Oscillator|"
                "Label9=Mode Register|Frame7=Current Contents of Mode Register|CalLabel=|"
                "Command3=B&ack")
                .split('|');
        QCOMPARE(Captions(form, expected), expected);
        QCOMPARE(ControlWithoutName(form), QString());
        form.findChild<QPushButton*>("Command3")->click();
        QVERIFY(!form.isVisible());
    }

    // Every field and modes 0 to 3: read, change, write, read back; the display follows. A write
    // the converter does not take gives the mismatch message; there the screen shows a stale 3
    // while the converter holds 0x43, so a refreshed display differs from the old one.
    void changes_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("message");
        auto row = [](const char* b, int before, int after, const char* shown,
                      const char* message = "") {
            QTest::addRow("%s at 0x%02X%s", b, before, *message ? ", not taken" : "")
                << QString(b) << before << after << shown << QString(message);
        };
        row("OptBufOn", 0x03, 0x43, "01000011 43");
        row("OptMD0", 0x93, 0x90, "10010000 90");
        row("OptChopOn", 0x83, 0x03, "00000011 3");
        row("OptChopOff", 0x01, 0x81, "10000001 81");
        row("OptBufOff", 0xC1, 0x81, "10000001 81");
        row("OptRef1", 0x21, 0x01, "00000001 1");
        row("OptRef2", 0x01, 0x21, "00100001 21");
        row("OptChConSet", 0x01, 0x11, "00010001 11");
        row("OptChConClr", 0x19, 0x09, "00001001 9");
        row("OptOscOff", 0x01, 0x09, "00001001 9");
        row("OptOscOn", 0xF9, 0xF1, "11110001 F1");
        row("OptMD1", 0xF8, 0xF9, "11111001 F9");
        row("OptMD2", 0x41, 0x42, "01000010 42");
        row("OptMD3", 0x90, 0x93, "10010011 93");
        row("OptChopOff", 0x03, 0x43, "01000011 43", "Error Programming KX3105");
        row("OptMD0", 0x03, 0x43, "01000011 43", "Error programming KX3105");
        row("OptMD1", 0x03, 0x43, "00000011 3", "Error programming KX3105");  // display kept
    }
    void changes() {
        QFETCH(QString, button);
        QFETCH(int, before);
        QFETCH(int, after);
        QFETCH(QString, message);
        SimBench bench;
        WriteRegister(0x01, 8, before);
        ScriptedMessages messages;
        ModeForm form;
        if (!message.isEmpty()) {
            WriteRegister(0x01, 8, after);
            bench.board.setFault(kx::sim::Fault::IgnoreWrites, true);
        }
        OptionButton(form, button)->click();
        QCOMPARE(ReadRegister(0x41, 8), after);
        QTEST(BitLabels(form) + " " + TextOf(form, "modeLabel"), "shown");
        QVERIFY(OptionButton(form, button)->isChecked());
        QCOMPARE(messages.shown, message.isEmpty() ? std::vector<kx::Message>{}
                                                   : std::vector<kx::Message>{Box(message)});
    }

    // Selections made by the screen itself never reach the converter.
    void selectionByCodeWritesNothing() {
        RecordingBoard board;
        board.port.script(0x379, StatusReadsFor(0x01));
        ModeForm form;
        QCOMPARE(board.dataWrites(), ByteRegisterReadWrites(0x41));
        board.port.clear();
        UpdatingDisplay = 1;
        for (QRadioButton* b : form.findChildren<QRadioButton*>())
            b->setChecked(true);
        QVERIFY(board.port.accesses.empty());
    }

    // The calibrations on the wire: the prompt (6, 7) before any port access, the mode read,
    // the calibration mode written once without a read-back, the counted status polls on the
    // worker while "KX3105 Calibrating" shows, the mode read again and shown; the selection it
    // causes writes nothing.
    void calibration_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("busyPolls");  // -1: the ready line never falls
        QTest::addColumn<int>("after");
        QTest::addColumn<int>("polls");
        const int none = int(kx::Icon::None);
        QTest::newRow("4, three busy polls") << 4 << "" << none << 3 << 0x11 << 4;
        QTest::newRow("5, falls on poll 500001") << 5 << "" << none << 500000 << 0x11 << 500001;
        QTest::newRow("6") << 6 << "Please Connect a Zero Scale signal to the Analog Input"
                           << int(kx::Icon::Information) << 0 << 0x11 << 1;
        QTest::newRow("7") << 7 << "Please connect a Full Scale signal to the Analog Input"
                           << int(kx::Icon::Question) << 0 << 0x11 << 1;
        QTest::newRow("4, stuck") << 4 << "" << none << -1 << 0x14 << 500001;
    }
    void calibration() {
        QFETCH(int, code);
        QFETCH(QString, prompt);
        QFETCH(int, icon);
        QFETCH(int, busyPolls);
        QFETCH(int, after);
        QFETCH(int, polls);
        RecordingBoard board;
        // The mode read at opening and before the write, the polls, the read afterwards.
        std::vector<int> status = Concat({StatusReadsFor(0x13), StatusReadsFor(0x13)});
        status.insert(status.end(), busyPolls < 0 ? 500001 : busyPolls, 0x40);
        if (busyPolls >= 0) status.push_back(0x00);
        board.port.script(0x379, Concat({status, StatusReadsFor(after)}));
        ScriptedMessages messages;
        ModeForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* calLabel = form.findChild<QLabel*>("CalLabel");
        std::vector<std::pair<QString, int>> atMessage;  // CalLabel, status reads made
        messages.onShow = [&](const kx::Message&) {
            atMessage.push_back({calLabel->text(), board.port.readsOf(0x379)});
        };
        board.port.clear();

        OptionButton(form, QString("OptMD%1").arg(code))->click();
        QTRY_VERIFY_WITH_TIMEOUT(!form.runner().running(), 20000);

        QCOMPARE(board.dataWrites(),
                 Concat({ByteRegisterReadWrites(0x41), ByteWriteWrites(0x01, 0x10 | code),
                         ByteRegisterReadWrites(0x41)}));
        QCOMPARE(board.port.readsOf(0x379), 8 + polls + 8);
        std::vector<kx::Message> expected;
        std::vector<std::pair<QString, int>> expectedAt;
        if (!prompt.isEmpty()) {
            expected.push_back(Box(prompt, kx::Icon(icon)));
            expectedAt.push_back({"", 0});
        }
        if (busyPolls < 0) {
            expected.push_back(Box("Error Calibrating KX3105"));
            // Shown once the worker has ended: after the mode was read again.
            expectedAt.push_back({"KX3105 Calibrating", 8 + 500001 + 8});
        }
        QCOMPARE(messages.shown, expected);
        QCOMPARE(atMessage, expectedAt);
        QCOMPARE(calLabel->text(), QString());
        QCOMPARE(TextOf(form, "modeLabel"), QString::number(after, 16).toUpper());
        QCOMPARE(CheckedOptions(form).filter("OptMD"),
                 QStringList{QString("OptMD%1").arg(after & 7)});
    }
};

QTEST_MAIN(ModeFormTest)
#include "tst_modeform.moc"
