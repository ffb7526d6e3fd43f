#include <QLineEdit>
#include <QtTest>

#include "registers/calform.h"
#include "tests/registers/register_screen_support.h"
#include "tests/support/scripted_messages.h"

namespace {

// A frame's bit labels, bit 23 first: full scale Label1..Label24, zero scale Label52..Label29.
QString Bits(CalForm& form, bool zero) {
    QString bits;
    for (int i = 0; i < 24; ++i)
        bits += TextOf(form, ("Label" + std::to_string(zero ? 52 - i : 1 + i)).c_str());
    return bits;
}

}  // namespace

class CalFormTest : public QObject {
    Q_OBJECT

private slots:
    // In power-down mode on the simulated board (zero scale 800000, full scale 400000 at power
    // on). An empty `shown`: the entry is refused, box emptied and focused, nothing written.
    void entries_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        struct Row {
            const char *box, *text, *shown;
        };
        for (const Row& r :
             {Row{"Full", "8000", "008000"}, Row{"Zero", "FFFF", "00FFFF"},
              Row{"Full", "1234567", "FFFFFF"}, Row{"Zero", "5", "000005"},
              Row{"Full", "7FFFFFFF", "FFFFFF"}, Row{"Full", "G1", ""}, Row{"Zero", "80000000", ""},
              Row{"Zero", "FFFF0001", ""}, Row{"Full", "000000001", ""}, Row{"Full", "", ""}})
            QTest::addRow("%s %s", r.box, r.text) << r.box << r.text << r.shown;
    }
    void entries() {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        SimBench bench;
        WriteRegister(0x01, 8, 0x00);
        ScriptedMessages messages;
        CalForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const bool zero = box == "Zero";
        QCOMPARE(Bits(form, true) + TextOf(form, "ZeroLabel"),
                 QString(23, '0').prepend('1') + "800000");
        auto* entry = form.findChild<QLineEdit*>(box + "Text");
        entry->setFocus();
        entry->clear();
        QTest::keyClicks(entry, text);
        QTest::keyClick(entry, Qt::Key_Return);

        QVERIFY(messages.shown.empty());
        QCOMPARE(ReadRegister(zero ? 0x46 : 0x45, 24), zero ? 0x400000 : 0x800000);
        const int held = ReadRegister(zero ? 0x45 : 0x46, 24);
        if (shown.isEmpty()) {
            QCOMPARE(held, zero ? 0x800000 : 0x400000);
            QVERIFY(entry->text().isEmpty() && entry->hasFocus());
            return;
        }
        QCOMPARE(held, shown.toInt(nullptr, 16));
        QCOMPARE(TextOf(form, (box + "Label").toLatin1().constData()), shown);
        QCOMPARE(entry->text(), shown);
        QCOMPARE(Bits(form, zero), QString::number(held, 2).rightJustified(24, '0'));
    }

    // Outside power-down mode each key typed reads the mode register, is answered, and still
    // reaches the box; nothing is written. Tab types nothing and moves on without a word.
    void keyOutsidePowerDown() {
        RecordingBoard board;
        const auto mode = StatusReadsFor(0x03);  // both calibration registers read 0 at opening
        board.port.script(0x379, Concat({std::vector<int>(48, 0x00), mode, mode, mode}));
        ScriptedMessages messages;
        CalForm form;
        auto* entry =
            FindByName<QLineEdit>(form.findChild<QWidget*>("ZeroFrame"), "Enter new Value (Hex):");
        entry->clear();
        board.port.clear();

        QTest::keyClicks(entry, "12");
        QTest::keyClick(entry, Qt::Key_Return);
        QTest::keyClick(entry, Qt::Key_Tab);

        QCOMPARE(messages.shown, std::vector(3, Box("The KX3105 must be placed in Power-Down Mode "
                                                    "to program the Calibration Registers")));
        QCOMPARE(board.dataWrites(),
                 Concat({ByteRegisterReadWrites(0x41), ByteRegisterReadWrites(0x41),
                         ByteRegisterReadWrites(0x41)}));
        QCOMPARE(entry->text(), QString("12"));
    }

    // Escape in an entry box outside power-down mode closes the screen without the warning.
    void escapeClosesWithoutTheWarning() {
        SimBench bench;
        WriteRegister(0x01, 8, 0x03);
        ScriptedMessages messages;
        CalForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto* entry = form.findChild<QLineEdit*>("ZeroText");
        entry->setFocus();
        QTest::keyClick(entry, Qt::Key_Escape);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Rejected));
        QCOMPARE(messages.shown, std::vector<kx::Message>{});
    }

    // A value the converter does not take: the message, and the display stays as it was.
    void writeNotTaken() {
        SimBench bench;
        WriteRegister(0x01, 8, 0x00);
        bench.board.setFault(kx::sim::Fault::IgnoreWrites, true);
        ScriptedMessages messages;
        CalForm form;
        form.findChild<QLineEdit*>("FullText")->setText("5");
        QTest::keyClick(form.findChild<QLineEdit*>("FullText"), Qt::Key_Return);

        QCOMPARE(messages.shown,
                 std::vector{
                     Box("An Error has occurred , The Register may not be programmed correctly")});
        QCOMPARE(TextOf(form, "FullLabel"), QString("400000"));
        QCOMPARE(Bits(form, false), QString(22, '0').prepend("01"));
    }
};

QTEST_MAIN(CalFormTest)
#include "tst_calform.moc"
