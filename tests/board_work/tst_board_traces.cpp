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
#include "board/port_trace.h"
#include "multichannel/multiform.h"
#include "registers/modeform.h"
#include "tests/support/scripted_messages.h"
#include "tests/support/sim_bench.h"

// The port traffic of every piece of board work, byte for byte, on the fast simulated board:
// the digests were taken from the program as it was when all of it ran on the window's thread.

namespace {

struct Traced {
    QTemporaryDir dir;
    QString path = dir.filePath("trace.txt");
    Traced() {
        std::string error;
        if (!kx::StartPortTrace(path.toStdString(), error)) qFatal("%s", error.c_str());
    }
    // SHA-256 and line count of the trace, as "digest lines".
    QString digest() {
        kx::StopPortTrace();
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QByteArray all = f.readAll();
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
            << 0 << "05a0ff7a3625d3a46908b95e148740f2e01c1e851e7c3b32b924e995563c2524 303294";
        QTest::newRow("read for display, stopped in its delay")
            << 1 << "ee3de2bbd33bfb5f074b641c0beaeaf5514a0333f8767f565314580040fd87f9 25340";
        QTest::newRow("multi-channel pass ending at row 12's filter word")
            << 2 << "6b988eff54d21255d2ecd98b5d0d484cba362de0d074e2d6b494029847012b05 54180";
        QTest::newRow("multi-channel calibration of rows 1, 5 and 12")
            << 3 << "75fa20e9f741de07266ec149136483ad8611b26ab0883a828f30f02c7ff52010 304222";
        QTest::newRow("mode screen zero-scale calibration")
            << 4 << "f2a5bb160cf126d4af16593bb150c774e5ce8c07139bf526b7c8b2a2bf97a254 50737";
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
