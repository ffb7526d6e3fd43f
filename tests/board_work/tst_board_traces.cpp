#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "analysis/readdataform.h"
#include "board/program_port.h"
#include "multichannel/multiform.h"
#include "registers/modeform.h"
#include "tests/support/scripted_messages.h"
#include "tests/support/sim_bench.h"

// The port traffic of every piece of board work, byte for byte, on the fast simulated board:
// the digests were taken from the program as it was when all of it ran on the window's thread.
// A run of identical reads (polls of the ready line while the converter is busy) counts as one:
// how many polls a wait takes is the board's timing, not the program's work.

namespace {

struct Traced {
    QTemporaryDir dir;
    QString path = dir.filePath("trace.txt");
    Traced() {
        std::string error;
        if (!kx::StartPortTrace(path.toStdString(), error)) qFatal("%s", error.c_str());
    }
    // SHA-256 and line count of the trace with runs of identical reads collapsed, as
    // "digest lines".
    QString digest() {
        kx::StopPortTrace();
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return {};
        QByteArray all, last;
        while (!f.atEnd()) {
            const QByteArray line = f.readLine();
            if (line.startsWith("R ") && line == last) continue;
            all += line;
            last = line;
        }
        return QString::fromLatin1(
                   QCryptographicHash::hash(all, QCryptographicHash::Sha256).toHex()) +
               QLatin1Char(' ') + QString::number(all.count('\n'));
    }
};

template <class T>
T* Get(const QWidget& w, const char* name) {
    T* c = w.findChild<T*>(name);
    if (!c) qFatal("no control %s", name);
    return c;
}

}  // namespace

class BoardTracesTest : public QObject {
    Q_OBJECT

private slots:
    void traces_data() {
        QTest::addColumn<int>("job");
        QTest::addColumn<QString>("expected");
        QTest::newRow("read for analysis, 12 codes")
            << 0 << "7d786a6a32f037e34a8b445723a9011f5cd067c2ca795b1b2a43a871285f27af 1200";
        QTest::newRow("read for display, stopped in its delay")
            << 1 << "8c490d8cc1bd697ad7a006dad9c556cdd55fa37ae886b8d089587b4474b933cb 100";
        QTest::newRow("multi-channel pass ending at row 12's filter word")
            << 2 << "5bd26b53d8727d4c0bb9fa06e7745e309aa354d4e95ef010cfd2b5e6e0f620b1 3800";
        QTest::newRow("multi-channel calibration of rows 1, 5 and 12")
            << 3 << "30f01fc4410238006cf695e9f2d0457f1d0ce4402a11581d1db51f28289e8785 1012";
        QTest::newRow("mode screen zero-scale calibration")
            << 4 << "0d3aaa64d822d4b97e66b85dcf2200b0b92c14d8c910c8a841f78b02b611959c 202";
    }
    void traces() {
        QFETCH(int, job);
        QFETCH(QString, expected);
        SimBench bench;
        WriteRegister(0x01, 8, 0x03);
        ScriptedMessages shown;
        kx::multi::MultiChannelState state;
        Traced trace;
        if (job == 0) {
            ReadDataForm form;
            form.show();
            Get<QLineEdit>(form, "NumCodesText")->setText("12");
            Get<QPushButton>(form, "Command1")->click();
            QTRY_VERIFY(Get<QPushButton>(form, "Command1")->isEnabled());
        } else if (job == 1) {
            ReadDataForm form;
            form.show();
            Get<QLineEdit>(form, "DelayText")->setText("300");
            QLineEdit* text1 = Get<QLineEdit>(form, "Text1");
            connect(Get<QLineEdit>(form, "CurrentCodeText"), &QLineEdit::textChanged, &form, [&] {
                QCoreApplication::postEvent(
                    text1, new QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x"));
            });
            Get<QPushButton>(form, "Command2")->click();
            QTRY_VERIFY(Get<QPushButton>(form, "Command2")->isEnabled());
        } else if (job == 2 || job == 3) {
            MultiForm form(state);
            form.show();
            for (const char* row : {"CheckAin1_Com", "CheckAin5_Com", "CheckAin7_8"})
                Get<QCheckBox>(form, row)->click();
            Get<QLineEdit>(form, "FilterAin7_8")->setText("G1");
            Get<QPushButton>(form, job == 2 ? "Command1" : "Command3")->click();
            QTRY_VERIFY(!form.reading());
        } else {
            ModeForm form;
            form.show();
            Get<QRadioButton>(form, "OptMD4")->click();
            QTRY_COMPARE(Get<QRadioButton>(form, "OptMD4")->isChecked(), false);
        }
        const QString got = trace.digest();
        QCOMPARE(got, expected);
    }
};

QTEST_MAIN(BoardTracesTest)
#include "tst_board_traces.moc"
