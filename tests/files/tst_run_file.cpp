#include <QtTest>

#include <chrono>
#include <string>

#include "files/run_file.h"

using namespace std::chrono;

// A capture's start time as the CSV head and the JSON give it: within the clock's span it is
// kept to the second; a time the clock cannot hold or a date that is none is not known, and the
// codes load all the same.
class RunFileTest : public QObject {
    Q_OBJECT

private slots:
    void startTimes_data() {
        QTest::addColumn<QString>("started");
        QTest::addColumn<qint64>("seconds");  // since 1970; -1: not known
        QTest::newRow("a day of work") << "2026-12-08T10:20:47Z" << qint64(1796725247);
        QTest::newRow("before 1678") << "1013-12-08T10:20:47Z" << qint64(-1);
        QTest::newRow("after 2262") << "2300-01-01T00:00:00Z" << qint64(-1);
        QTest::newRow("month 13") << "2026-13-08T10:20:47Z" << qint64(-1);
        QTest::newRow("no zone") << "2026-12-08T10:20:47" << qint64(-1);
    }
    void startTimes() {
        QFETCH(QString, started);
        QFETCH(qint64, seconds);
        const std::string csv =
            "# kx3105 capture: range=2.56V, polarity=bipolar, ref=2.5, "
            "rate_hz=19.79, filter=0x45, chop=on, channel=AIN1-AINCOM, "
            "started=" +
            started.toStdString() + "\nindex,time_s,code,volts\n" +
            "0,0,8388608,0\n1,0.05,8388610,0.0000006\n";
        const std::string json =
            "{\"range\":\"2.56V\",\"polarity\":\"bipolar\",\"ref\":2.5,"
            "\"started\":\"" +
            started.toStdString() + "\",\"codes\":[8388608,8388610]}";
        for (const std::string& text : {csv, json}) {
            kx::Run run;
            std::string why;
            QVERIFY2(kx::files::RunFromText(text, "t", false, run, why), why.c_str());
            QCOMPARE(run.codes.size(), size_t(2));
            QCOMPARE(run.taken.has_value(), seconds >= 0);
            if (run.taken)
                QCOMPARE(
                    qint64(
                        duration_cast<std::chrono::seconds>(run.taken->time_since_epoch()).count()),
                    seconds);
        }
    }
};

QTEST_GUILESS_MAIN(RunFileTest)
#include "tst_run_file.moc"
