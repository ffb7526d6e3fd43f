#include <QPushButton>
#include <QtTest>

#include "registers/statusform.h"
#include "tests/registers/register_screen_support.h"

class StatusFormTest : public QObject {
    Q_OBJECT

private slots:
    // One read at opening; each bit under its name, then the value in hexadecimal.
    void shows_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("0x80 RDY") << 0x80 << "10000000 80";
        QTest::newRow("0x29 CAL ERR LOCK") << 0x29 << "00101001 29";
        QTest::newRow("0xFF") << 0xFF << "11111111 FF";
        QTest::newRow("0") << 0x00 << "00000000 0";
    }
    void shows() {
        QFETCH(int, value);
        RecordingBoard board;
        board.port.script(0x379, StatusReadsFor(value));
        StatusForm form;
        QTEST(BitLabels(form) + " " + TextOf(form, "StatusLabel"), "shown");
        QCOMPARE(board.dataWrites(), ByteRegisterReadWrites(0x40));
        QCOMPARE(board.port.readsOf(0x379), 8);

        // The names stand above the values of the bits they name, bit 7 on the left, HEX last.
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QStringList expected =
            QString(
                "StatusForm=KX3105 Evaluation Software - Display Status Register|"
                "Label9=Status Register|Frame1=Current Contents of Status Register|Command1=B&ack")
                .split('|');
        QCOMPARE(Captions(form, expected), expected);
        const QStringList columns{"Label10 Label1", "Label16 Label2", "Label11 Label3",
                                  "Label15 label4", "Label12 Label5", "Label17 Label6",
                                  "Label14 Label7", "Label13 Label8", "Label18 StatusLabel"};
        QStringList names;
        int lastRight = -1;
        for (const QString& column : columns) {
            auto* name = form.findChild<QLabel*>(column.section(' ', 0, 0));
            auto* value = form.findChild<QLabel*>(column.section(' ', 1, 1));
            QVERIFY2(name && value, qPrintable(column));
            names << name->text();
            QCOMPARE(name->geometry().center().x(), value->geometry().center().x());
            QVERIFY(name->geometry().bottom() < value->geometry().top());
            QVERIFY(name->geometry().left() > lastRight);
            lastRight = name->geometry().right();
        }
        QCOMPARE(names.join('|'), QString("RDY||CAL||ERR|||LOCK|HEX"));
        QCOMPARE(ControlWithoutName(form), QString());
        form.findChild<QPushButton*>("Command1")->click();
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(StatusFormTest)
#include "tst_statusform.moc"
