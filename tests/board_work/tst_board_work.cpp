#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "analysis/readdataform.h"
#include "board/program_port.h"
#include "registers/modeform.h"
#include "tests/support/scripted_messages.h"
#include "tests/support/sim_bench.h"
#include "ui/board_runner.h"

using kx::sim::Fault;

namespace {

const char* const Title = "KX3105 Evaluation Software";

// The process's threads by name.
QStringList ThreadNames() {
    QStringList names;
    for (const QString& id : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + id + "/comm");
        names << (comm.open(QIODevice::ReadOnly) ? QString(comm.readAll()).trimmed() : id);
    }
    names.sort();
    return names;
}

kx::sim::SimSettings RealTimeSettings() {
    kx::sim::SimSettings settings;
    settings.speed = kx::sim::Speed::RealTime;
    return settings;
}

// A simulated board that keeps wall-clock time, converting continuously at filter word FF
// (5.35 Hz: a conversion every 187 ms).
struct RealTimeBench {
    kx::sim::SimulatedBoard board{RealTimeSettings()};
    RealTimeBench() {
        kx::ResetGlobals();
        PortAddress = 0x378;
        ReferenceVoltage = 2.5f;
        SetPortBackend(&board);
        WriteRegister(0x03, 8, 0xFF);
        WriteRegister(0x01, 8, 0x03);
    }
    ~RealTimeBench() {
        SetPortBackend(nullptr);
        kx::ResetGlobals();
    }
};

}  // namespace

class BoardWorkTest : public QObject {
    Q_OBJECT

private slots:
    // The worker holds the port while it works and hands it back; its messages and reports reach
    // this thread in order, the messages only once the work has ended.
    void runnerHandsOverThePort() {
        SimBench bench;
        ScriptedMessages shown;
        kx::BoardRunner runner;
        bool workerOwned = false;
        bool ownedHereDuring = true;
        QStringList order;
        std::vector<kx::Message> handed;
        runner.start(
            [&](kx::BoardWork& work) {
                workerOwned = PortOwnedHere();
                kx::ShowMessage("first", kx::Icon::Warning);
                work.report([&] {
                    order << "report";
                    ownedHereDuring = PortOwnedHere();
                });
                kx::ShowMessage("second");
            },
            [&](std::vector<kx::Message> messages, bool closing) {
                order << (closing ? "closing" : "finished");
                handed = std::move(messages);
            });
        QVERIFY(!runner.start([](kx::BoardWork&) {}, {}));
        QTRY_VERIFY(!runner.running());
        QVERIFY(workerOwned && !ownedHereDuring && PortOwnedHere());
        QCOMPARE(order, (QStringList{"report", "finished"}));
        QVERIFY(shown.shown.empty());
        QCOMPARE(handed, (std::vector<kx::Message>{{"first", Title, kx::Icon::Warning},
                                                   {"second", Title, kx::Icon::None}}));
    }

    // A stop during a real-time read at 5.35 Hz ends the wait for the next conversion: the codes
    // read so far stay, no further code is read, and the read ends before the next conversion
    // could be read (a read that waited for it would store it). How long the stop takes is
    // measured in bench/ (kx3105_board_work_bench), not here.
    void stopDuringRealTimeRead_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Stop button") << "StopButton";
        QTest::newRow("a key") << "key";
    }
    void stopDuringRealTimeRead() {
        QFETCH(QString, how);
        RealTimeBench bench;
        ScriptedMessages shown;
        ReadDataForm form;
        form.show();
        form.findChild<QLineEdit*>("NumCodesText")->setText("50");
        QStringList events;
        connect(&form, &ReadDataForm::codeRead, &form, [&](int count) {
            events << QString("code %1").arg(count);
            if (count != 2) return;
            events << "stop";
            if (how == "key")
                QTest::keyClick(form.findChild<QLineEdit*>("Text1"), Qt::Key_Q);
            else
                form.findChild<QPushButton*>("StopButton")->click();
        });
        connect(&form.runner(), &kx::BoardRunner::finished, &form, [&] { events << "finished"; });
        form.findChild<QPushButton*>("Command1")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!form.runner().running(), 5000);
        QCOMPARE(events, (QStringList{"code 1", "code 2", "stop", "finished"}));
        QCOMPARE(int{CodeCount}, 2);
        QVERIFY(SampleBuffer[1] != 0 && SampleBuffer[2] != 0 && SampleBuffer[3] == 0);
        QCOMPARE(
            shown.shown,
            (std::vector<kx::Message>{{"User Interruption of Reading", Title, kx::Icon::Warning}}));
    }

    // Closing the window during a read stops it, joins the worker and then closes: the worker has
    // finished before close() returns, no thread is left, the port is with this thread again, the
    // codes read are kept. Likewise during a calibration wait, which then reports nothing.
    void closingDuringBoardWork_data() {
        QTest::addColumn<bool>("calibration");
        QTest::newRow("read for analysis") << false;
        QTest::newRow("mode screen calibration") << true;
    }
    void closingDuringBoardWork() {
        QFETCH(bool, calibration);
        RealTimeBench bench;
        ScriptedMessages shown;
        QStringList events;
        if (calibration) {
            bench.board.setFault(Fault::ReadyStuck, true);  // the wait would take a second
            ModeForm form;
            form.show();
            QTest::qWait(20);
            form.findChild<QRadioButton*>("OptMD4")->click();
            QVERIFY(form.runner().running() && !PortOwnedHere());
            QTest::qWait(50);
            QVERIFY(ThreadNames().contains(kx::WorkerThreadName));
            connect(&form.runner(), &kx::BoardRunner::finished, &form,
                    [&] { events << "finished"; });
            QVERIFY(form.close());
            events << "closed";
            QVERIFY(!form.runner().running());
        } else {
            ReadDataForm form;
            form.show();
            int codes = 0;
            connect(&form, &ReadDataForm::codeRead, &form, [&](int n) { codes = n; });
            QTest::qWait(20);
            form.findChild<QPushButton*>("Command1")->click();
            QTRY_VERIFY_WITH_TIMEOUT(codes >= 1, 2000);
            QVERIFY(!PortOwnedHere());
            QVERIFY(ThreadNames().contains(kx::WorkerThreadName));
            connect(&form.runner(), &kx::BoardRunner::finished, &form,
                    [&] { events << "finished"; });
            QVERIFY(form.close());
            events << "closed";
            QVERIFY(!form.isVisible() && !form.runner().running());
            QCOMPARE(int{CodeCount}, codes);
        }
        QCOMPARE(events, (QStringList{"finished", "closed"}));
        QVERIFY(PortOwnedHere());
        // The worker is gone with the window (Qt's own threads may come and go meanwhile).
        QVERIFY2(!ThreadNames().contains(kx::WorkerThreadName),
                 qPrintable(ThreadNames().join(' ')));
        QVERIFY(shown.shown.empty());
    }
};

QTEST_MAIN(BoardWorkTest)
#include "tst_board_work.moc"
