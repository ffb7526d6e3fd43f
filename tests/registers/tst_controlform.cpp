#include <QPushButton>
#include <QtTest>

#include "registers/controlform.h"
#include "tests/registers/register_screen_support.h"
#include "tests/support/scripted_messages.h"

namespace {

const QString Bipolar = "± 20 mV|± 40 mV|± 80 mV|± 160 mV|± 320 mV|± 640 mV|± 1.28 V|± 2.56 V";
const QString Unipolar =
    "0 - 20 mV|0 - 40 mV|0 - 80 mV|0 - 160 mV|0 - 320 mV|0 - 640 mV|0 - 1.28 V|0 - 2.56 V";

QString OptionTexts(const QWidget& form, const QStringList& names) {
    QStringList texts;
    for (const QString& n : names)
        texts << (OptionButton(form, n) ? OptionButton(form, n)->text() : "<no " + n + ">");
    return texts.join('|');
}
QString RangeCaptions(const QWidget& form) {
    return OptionTexts(
        form, {"Opt20", "Opt40", "Opt80", "Opt160", "Opt320", "Opt640", "Opt128", "Opt256"});
}

}  // namespace

class ControlFormTest : public QObject {
    Q_OBJECT

private slots:
    void opens_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("channels12to15");  // codes 0 to 11 never change
        QTest::newRow("CHCON clear")
            << 0x01 << "AIN2 - AIN2|AINCOM - AINCOM|REFIN(+) - REFIN(-)|OPEN - OPEN";
        QTest::newRow("CHCON set")
            << 0x11 << "AIN9 - AIN10|AINCOM - AINCOM|AIN9 - AINCOM|AIN10 - AINCOM";
    }
    void opens() {
        QFETCH(int, mode);
        QFETCH(QString, channels12to15);
        SimBench bench;
        WriteRegister(0x01, 8, mode);
        WriteRegister(0x02, 8, 0x4F);
        ControlForm form;
        form.show();
        QCOMPARE(CheckedOptions(form), (QStringList{"Opt256", "OptAIN5COM", "OptUnipolar"}));
        QCOMPARE(InputRange, 2.56f);
        QCOMPARE(Polarity, int16_t{1});
        QCOMPARE(RangeCaptions(form), Unipolar);
        QCOMPARE(OptionTexts(form, {"OptAIN1COM", "OptAIN2COM", "OptAIN3COM", "OptAIN4COM",
                                    "OptAIN5COM", "OptAIN6COM", "OptAIN7COM", "OptAIN8COM",
                                    "OptAIN1_2", "OptAIN3_4", "OptAIN5_6", "OptAin7_8", "OptAIN2_2",
                                    "OptAINCOM", "OptREF", "OptOPEN"}),
                 "AIN1 - AINCOM|AIN2 - AINCOM|AIN3 - AINCOM|AIN4 - AINCOM|AIN5 - AINCOM|"
                 "AIN6 - AINCOM|AIN7 - AINCOM|AIN8 - AINCOM|AIN1 - AIN2|AIN3 - AIN4|"
                 "AIN5 - AIN6|AIN7 - AIN8|" +
                     channels12to15);
        QCOMPARE(BitLabels(form) + " " + TextOf(form, "ControlLabel"), QString("01001111 4F"));
        const QStringList expected =
            QString(
                "ControlForm=KX3105 Evaluation Software - Program Control Register|"
                "Frame2=Select an Input Channel|Frame3=Select an Input Range|"
                "Frame4=Bipolar / Unipolar Operation|OptBipolar=Bipolar|OptUnipolar=Unipolar|"
                "Label10=ADC Control Register|Frame7=Current Contents of ADC Control Register|"
                "Command1=B&ack")
                .split('|');
        QCOMPARE(Captions(form, expected), expected);
        QCOMPARE(ControlWithoutName(form), QString());
        form.findChild<QPushButton*>("Command1")->click();
        QVERIFY(!form.isVisible());
    }

    // Read, change, write, read back. A write the converter does not take gives the message;
    // the display then shows the converter, the clicked button stays selected and the globals
    // keep what the button set.
    void changes_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("before");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<int>("after");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<float>("range");
        QTest::addColumn<int>("polarity");
        auto row = [](int mode, int before, const char* b, bool taken, int after, const char* shown,
                      float range, int polarity) {
            QTest::addRow("%s at 0x%02X, mode 0x%02X%s", b, before, mode,
                          taken ? "" : ", not taken")
                << mode << before << QString(b) << taken << after << shown << range << polarity;
        };
        row(0x01, 0x1B, "OptREF", true, 0xEB, "11101011 EB", 0.16f, 1);
        row(0x01, 0x0D, "OptBipolar", true, 0x05, "00000101 5", 0.64f, 2);
        row(0x01, 0x05, "OptUnipolar", true, 0x0D, "00001101 D", 0.64f, 1);
        row(0x01, 0x37, "Opt640", true, 0x35, "00110101 35", 0.64f, 2);
        row(0x01, 0x4F, "Opt20", true, 0x48, "01001000 48", 0.02f, 1);
        // Under CHCON the buttons keep their codes; only the captions differ.
        row(0x11, 0x07, "OptAIN2_2", true, 0xC7, "11000111 C7", 2.56f, 2);
        row(0x11, 0x07, "OptOPEN", true, 0xF7, "11110111 F7", 2.56f, 2);
        row(0x01, 0x4F, "Opt640", false, 0x4F, "01001111 4F", 0.64f, 1);
        row(0x01, 0x4F, "OptBipolar", false, 0x4F, "01001111 4F", 2.56f, 2);
        row(0x01, 0x4F, "OptAIN1COM", false, 0x4F, "01001111 4F", 2.56f, 1);
    }
    void changes() {
        QFETCH(int, mode);
        QFETCH(int, before);
        QFETCH(QString, button);
        QFETCH(bool, taken);
        QFETCH(int, after);
        QFETCH(int, polarity);
        SimBench bench;
        WriteRegister(0x01, 8, mode);
        WriteRegister(0x02, 8, before);
        ScriptedMessages messages;
        ControlForm form;
        bench.board.setFault(kx::sim::Fault::IgnoreWrites, !taken);
        OptionButton(form, button)->click();
        QCOMPARE(ReadRegister(0x42, 8), after);
        QTEST(BitLabels(form) + " " + TextOf(form, "ControlLabel"), "shown");
        QTEST(InputRange, "range");
        QCOMPARE(Polarity, int16_t(polarity));
        QCOMPARE(RangeCaptions(form), after & 0x08 ? Unipolar : Bipolar);
        QVERIFY(OptionButton(form, button)->isChecked());
        QCOMPARE(messages.shown, std::vector(taken ? 0 : 1, Box("Error programming KX3105")));
    }

    // At opening the mode register is read once straight over the link, then the control
    // register. Selections made while UpdatingDisplay is set write nothing, yet the range and
    // polarity buttons still set InputRange and Polarity.
    void selectionByCode() {
        RecordingBoard board;
        board.port.script(0x379, Concat({StatusReadsFor(0x11), StatusReadsFor(0x07),
                                         StatusReadsFor(0x07), StatusReadsFor(0x07)}));
        ControlForm form;
        QCOMPARE(board.dataWrites(),
                 Concat({ByteRegisterReadWrites(0x41), ByteRegisterReadWrites(0x42),
                         ByteRegisterReadWrites(0x42), ByteRegisterReadWrites(0x42)}));
        QCOMPARE(OptionButton(form, "OptOPEN")->text(), QString("AIN10 - AINCOM"));
        board.port.clear();
        UpdatingDisplay = 1;
        OptionButton(form, "Opt640")->setChecked(true);
        OptionButton(form, "OptUnipolar")->setChecked(true);
        OptionButton(form, "OptAIN3_4")->setChecked(true);
        QCOMPARE(InputRange, 0.64f);
        QCOMPARE(Polarity, int16_t{1});
        QCOMPARE(RangeCaptions(form), Bipolar);
        QVERIFY(board.port.accesses.empty());
    }
};

QTEST_MAIN(ControlFormTest)
#include "tst_controlform.moc"
