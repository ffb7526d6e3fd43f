#include <QPushButton>
#include <QtTest>

#include "registers/iocontrolform.h"
#include "tests/registers/register_screen_support.h"
#include "tests/support/scripted_messages.h"

namespace {

bool Shown(IOcontrolForm& form, const char* name) {
    return form.findChild<QWidget*>(name)->isVisibleTo(&form);
}

}  // namespace

class IOcontrolFormTest : public QObject {
    Q_OBJECT

private slots:
    // 0x21: P2 an output driven low, P1 an input reading high.
    void openingAt21() {
        SimBench bench;
        bench.board.setPinInputs(true, false);
        WriteRegister(0x07, 8, 0x20);
        IOcontrolForm form;

        QCOMPARE(CheckedOptions(form),
                 (QStringList{"OptP1High", "OptP1In", "OptP2Low", "OptP2Out"}));
        QVERIFY(Shown(form, "OptP2High") && Shown(form, "OptP2Low") && !Shown(form, "LblP2"));
        QVERIFY(!Shown(form, "OptP1High") && !Shown(form, "OptP1Low") && Shown(form, "LblP1"));
        QCOMPARE(TextOf(form, "LblP2"), QString("Low"));
        QCOMPARE(TextOf(form, "LblP1"), QString("High"));
        QCOMPARE(BitLabels(form), QString("00100001"));
        QCOMPARE(TextOf(form, "IOConLabel"), QString("21"));
    }

    // On the recording port: opening reads twice and writes nothing; an option reads, writes the
    // new value, reads back, then refreshes (directions too after an Out).
    void options_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("readBack");
        QTest::addColumn<bool>("message");
        QTest::newRow("P2 High at 21") << "OptP2High" << 0x21 << 0x23 << 0x23 << false;
        QTest::newRow("P1 In at 12, 03 back") << "OptP1In" << 0x12 << 0x02 << 0x03 << false;
        QTest::newRow("P1 In at 12, not taken") << "OptP1In" << 0x12 << 0x02 << 0x12 << true;
        QTest::newRow("P2 In at 30, 03 back") << "OptP2In" << 0x30 << 0x10 << 0x03 << false;
        QTest::newRow("P2 Low, 03 back") << "OptP2Low" << 0x23 << 0x21 << 0x03 << true;
        QTest::newRow("P1 In at 33, 22 back") << "OptP1In" << 0x33 << 0x23 << 0x22 << false;
        QTest::newRow("P1 In at 33, 02 back") << "OptP1In" << 0x33 << 0x23 << 0x02 << true;
        QTest::newRow("P1 Low keeps 7, 6") << "OptP1Low" << 0xD1 << 0xD0 << 0xD0 << false;
        QTest::newRow("P1 Out") << "OptP1Out" << 0x0C << 0x1C << 0x1C << false;
        QTest::newRow("P2 Out") << "OptP2Out" << 0x00 << 0x20 << 0x20 << false;
    }
    void options() {
        QFETCH(QString, option);
        QFETCH(int, start);
        QFETCH(int, written);
        QFETCH(int, readBack);
        QFETCH(bool, message);
        RecordingBoard board;
        const auto s = StatusReadsFor(start), r = StatusReadsFor(readBack);
        board.port.script(0x379, Concat({s, s, s, r, r, r}));
        ScriptedMessages messages;
        IOcontrolForm form;
        QCOMPARE(board.dataWrites(),
                 Concat({ByteRegisterReadWrites(0x47), ByteRegisterReadWrites(0x47)}));
        board.port.clear();

        form.findChild<QRadioButton*>(option)->click();

        std::vector<int> wire =
            Concat({ByteRegisterReadWrites(0x47), ByteWriteWrites(0x07, written),
                    ByteRegisterReadWrites(0x47), ByteRegisterReadWrites(0x47)});
        if (option.endsWith("Out")) wire = Concat({wire, ByteRegisterReadWrites(0x47)});
        QCOMPARE(board.dataWrites(), wire);
        QCOMPARE(messages.shown, std::vector(message ? 1 : 0, Box("Error Programming KX3105")));
        QCOMPARE(TextOf(form, "IOConLabel"), QString::number(readBack, 16).toUpper());
    }

    // A pin driven high and switched to input reads its own level: 23 written, 22 read back is
    // no error. A write the board does not take still is.
    void readBackComparesTheBitsTheWriteDecides() {
        SimBench bench;
        ScriptedMessages messages;
        IOcontrolForm form;
        for (const char* option : {"OptP2Out", "OptP2High", "OptP1Out", "OptP1High"})
            form.findChild<QRadioButton*>(option)->click();
        QCOMPARE(TextOf(form, "IOConLabel"), QString("33"));
        form.findChild<QRadioButton*>("OptP1In")->click();
        QCOMPARE(ReadRegister(0x47, 8), 0x22);
        QCOMPARE(TextOf(form, "IOConLabel"), QString("22"));
        QCOMPARE(messages.shown, std::vector<kx::Message>{});

        bench.board.setFault(kx::sim::Fault::IgnoreWrites, true);
        form.findChild<QRadioButton*>("OptP2Low")->click();
        form.findChild<QRadioButton*>("OptP1Out")->click();
        QCOMPARE(messages.shown, std::vector(2, Box("Error Programming KX3105")));
        QCOMPARE(ReadRegister(0x47, 8), 0x22);
    }

    // An input's level label changes only when the directions are shown again.
    void updateDisplayShowsInputLevel() {
        SimBench bench;
        ScriptedMessages messages;
        IOcontrolForm form;
        bench.board.setPinInputs(true, false);
        form.findChild<QRadioButton*>("OptP2Out")->click();  // directions and bits
        QCOMPARE(TextOf(form, "LblP1"), QString("High"));
        bench.board.setPinInputs(false, false);
        form.findChild<QRadioButton*>("OptP2High")->click();  // bits only
        QCOMPARE(TextOf(form, "LblP1"), QString("High"));
        QCOMPARE(TextOf(form, "IOConLabel"), QString("22"));

        FindByName<QPushButton>(&form, "Update Display")->click();
        QCOMPARE(TextOf(form, "LblP1"), QString("Low"));
        QCOMPARE(BitLabels(form), QString("00100010"));
        QVERIFY(messages.shown.empty());
    }
};

QTEST_MAIN(IOcontrolFormTest)
#include "tst_iocontrolform.moc"
