#include <QtTest>

#include <QTemporaryDir>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "board/program_port.h"
#include "board/serial.h"
#include "tests/support/board_fixture.h"
#include "tests/support/scripted_messages.h"

static QStringList FileLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {"<unreadable>"};
    QStringList lines = QString::fromLatin1(f.readAll()).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

class TraceTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void cleanup() { kx::StopPortTrace(); }

    // One line per access in order, addresses without leading zeros, only the low byte of a
    // value; with no port address there is no access and so no line.
    void oneLinePerAccessInOrder_data() {
        QTest::addColumn<int>("base");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("LPT1") << 0x378
                              << QStringList{"W 378 1A", "R 379 7F", "W 37A 04", "W 378 05"};
        QTest::newRow("PCI card") << 0xE800
                                  << QStringList{"W E800 1A", "R E801 7F", "W E802 04",
                                                 "W E800 05"};
        QTest::newRow("low address")
            << 0x10 << QStringList{"W 10 1A", "R 11 7F", "W 12 04", "W 10 05"};
        QTest::newRow("no port") << 0 << QStringList{};
    }
    void oneLinePerAccessInOrder() {
        QFETCH(int, base);
        QFETCH(QStringList, lines);
        RecordingBoard board(static_cast<int16_t>(base));
        board.port.steady(base + 1, 0x7F);
        const QString path = dir.filePath("trace.txt");
        std::string error;
        QVERIFY(kx::StartPortTrace(path.toStdString(), error));
        PortOut(static_cast<int16_t>(base), 0x1A);
        PortIn(base + 1);
        PortOut(static_cast<int16_t>(base + 2), 0x04);
        PortOut(static_cast<int16_t>(base), 0x105);
        kx::StopPortTrace();
        QCOMPARE(FileLines(path), lines);
    }

    void theFileIsCompleteWhenTheProgramWaitsForTheUser() {
        RecordingBoard board;
        ScriptedMessages messages;
        const QString path = dir.filePath("wait.txt");
        std::string error;
        QVERIFY(kx::StartPortTrace(path.toStdString(), error));
        WriteSerial(0x41, 0x378, 8);
        QStringList atMessage;
        messages.onShow = [&](const kx::Message&) { atMessage = FileLines(path); };
        kx::ShowMessage("Error Programming KX3105", kx::Icon::Warning);
        QCOMPARE(atMessage.size(), 25);
        QCOMPARE(atMessage.first(), QString("W 378 1A"));
        QCOMPARE(atMessage.at(4), QString("W 378 13"));
    }

    // A full disk found while writing, at a flush or at the close: one line, one warning, and
    // the program goes on without the trace.
    void aFailedTraceIsSaidOnceAndStopped_data() {
        QTest::addColumn<int>("accesses");
        QTest::addColumn<QString>("then");
        QTest::newRow("while writing") << 20000 << "";
        QTest::newRow("at a flush") << 3 << "flush";
        QTest::newRow("at the close") << 3 << "stop";
        QTest::newRow("before a message box") << 3 << "message";
    }
    void aFailedTraceIsSaidOnceAndStopped() {
        QFETCH(int, accesses);
        QFETCH(QString, then);
        if (!QFile::exists("/dev/full")) QSKIP("no /dev/full here");
        RecordingBoard board;
        ScriptedMessages messages;
        std::ostringstream diag;
        kx::SetPortTraceDiagnostics(&diag);
        std::string error;
        QVERIFY(kx::StartPortTrace("/dev/full", error));
        for (int i = 0; i < accesses; ++i)
            PortOut(0x378, 0x1A);
        if (then == "flush") kx::FlushPortTrace();
        if (then == "stop") kx::StopPortTrace();
        if (then == "message") kx::ShowMessage("Error Programming KX3105", kx::Icon::Warning);

        const std::string line =
            "kx3105: cannot write the trace /dev/full: No space left on device; tracing stopped\n";
        QCOMPARE(diag.str(), line);
        QVERIFY(!kx::ProgramLink().trace() || !kx::ProgramLink().trace()->active());
        QCOMPARE(kx::TakePortTraceWarning(),
                 std::string("The port trace could not be written to /dev/full: No space left on "
                             "device.\rTracing has stopped."));
        QCOMPARE(kx::TakePortTraceWarning(), std::string());
        // Said once: what follows neither writes nor complains, and the board is still driven.
        PortOut(0x378, 0x1B);
        kx::FlushPortTrace();
        kx::StopPortTrace();
        QCOMPARE(diag.str(), line);
        QCOMPARE(board.port.accesses.size(), size_t(accesses + 1));
        kx::SetPortTraceDiagnostics(nullptr);
    }

    // A FIFO nobody reads would hang the program at the first write: refused at once. One that
    // is read, like /dev/stderr on a pipe, streams the trace.
    void aFifoIsTracedOnlyWhileSomeoneReadsIt() {
        RecordingBoard board;
        const QByteArray fifo = dir.filePath("fifo").toLocal8Bit();
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        std::string error;
        QCOMPARE(kx::OpenPortTrace(fifo.toStdString(), error), kx::TraceStart::WouldBlock);
        QVERIFY(!error.empty());
        QVERIFY(!kx::ProgramLink().trace() || !kx::ProgramLink().trace()->active());

        const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        QCOMPARE(kx::OpenPortTrace(fifo.toStdString(), error), kx::TraceStart::Started);
        PortOut(0x378, 0x1A);
        kx::FlushPortTrace();
        char got[32] = {};
        QCOMPARE(::read(reader, got, sizeof got - 1), ssize_t(9));
        QCOMPARE(QByteArray(got), QByteArray("W 378 1A\n"));
        kx::StopPortTrace();
        ::close(reader);
    }
};

QTEST_GUILESS_MAIN(TraceTest)
#include "tst_trace.moc"
