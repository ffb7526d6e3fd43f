#include <QPushButton>
#include <QtTest>

#include "app/resetform.h"
#include "tests/app/shell_wire.h"
#include "tests/support/board_fixture.h"
#include "tests/support/scripted_messages.h"

class ResetFormTest : public QObject {
    Q_OBJECT

private slots:
    void eachButtonWritesItsResetAndCloses_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<std::vector<int>>("writes");
        QTest::addColumn<int>("result");
        QTest::newRow("Hardware Reset")
            << "Command1" << std::vector<int>{0x18, 0x1A} << int(QDialog::Accepted);
        QTest::newRow("Software Reset")
            << "Command2" << SoftwareResetWrites() << int(QDialog::Accepted);
        QTest::newRow("Cancel") << "Command3" << std::vector<int>{} << int(QDialog::Rejected);
    }
    void eachButtonWritesItsResetAndCloses() {
        QFETCH(QString, button);
        QFETCH(std::vector<int>, writes);
        QFETCH(int, result);
        RecordingBoard board;
        ScriptedMessages messages;
        ResetForm form;
        form.show();

        form.findChild<QPushButton*>(button)->click();

        QCOMPARE(board.dataWrites(), writes);
        QCOMPARE(board.port.accesses.size(), writes.size());  // nothing read back
        QVERIFY(messages.shown.empty());
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), result);
    }
};

QTEST_MAIN(ResetFormTest)
#include "tst_resetform.moc"
