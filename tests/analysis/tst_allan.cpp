#include <QtTest>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/allan.h"
#include "tests/support/relative.h"

using namespace std::chrono;

class AllanTest : public QObject {
    Q_OBJECT

private slots:
    // White noise averages down as 1/sqrt(tau); a steady drift grows as tau (d * tau / sqrt 2).
    void whiteNoiseAndDrift() {
        std::mt19937_64 engine(5);
        std::normal_distribution<double> gauss(0.0, 2.0);
        std::vector<double> white(100000);
        for (double& y : white)
            y = gauss(engine);
        const auto points = kx::allan::OverlappingDeviation(white, 0.5);
        // Factors 1, 2, 4, ... 32768: the last with at least three readings per factor.
        QCOMPARE(points.size(), size_t(16));
        for (size_t i = 0; i < points.size(); ++i) {
            QCOMPARE(points[i].factor, 1 << i);
            QCOMPARE(points[i].tauSeconds, 0.5 * (1 << i));
            if (points[i].factor > 256) continue;  // too few independent averages to judge
            KX_VERIFY_RELATIVE(points[i].deviation, 2.0 / std::sqrt(points[i].factor), 0.10);
        }

        std::vector<double> drift(30);
        for (size_t i = 0; i < drift.size(); ++i)
            drift[i] = 1e-6 * static_cast<double>(i);
        const auto d = kx::allan::OverlappingDeviation(drift, 2.0);
        QCOMPARE(d.size(), size_t(4));  // 1, 2, 4, 8 (16 > 30 / 3)
        for (const auto& p : d)
            QVERIFY(std::abs(p.deviation - 1e-6 * p.factor / std::sqrt(2.0)) < 1e-15);

        QVERIFY(kx::allan::OverlappingDeviation(std::vector<double>{1, 2}, 1).empty());
    }

    // ISO 8601 in the forms a log may hold, and written back in the log's own form.
    void logTimes() {
        const std::pair<const char*, long long> cases[] = {
            {"2026-12-08T01:02:03.456Z", 1796691723456},
            {"2026-12-08 02:02:03.456+01:00", 1796691723456},
            {"2026-12-08T01:02:03", 1796691723000},
            {"2026-12-07T23:32:03.4567-01:30", 1796691723456},
            {"2026-02-29T00:00:00.000Z", -1},
            {"2026-12-08T01:02:03.Z", -1},
            {"2026-12-08T01:02:03Z x", -1}};
        for (const auto& [text, ms] : cases) {
            const auto parsed = kx::allan::ParseLogTime(text);
            QVERIFY2(parsed.has_value() == (ms >= 0), text);
            if (!parsed) continue;
            QCOMPARE(duration_cast<milliseconds>(parsed->time_since_epoch()).count(), ms);
            const auto written = kx::allan::FormatLogTime(*parsed);
            QVERIFY(written.ends_with(".456Z") || written.ends_with(".000Z"));
            QCOMPARE(kx::allan::ParseLogTime(written), std::optional(floor<milliseconds>(*parsed)));
        }
    }

    // Failed lines skipped (the interval still counted from every line), a quoted status, CR LF,
    // a last line cut short; and what is refused, by line.
    void driftLogs_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");  // empty: parsed
        QTest::addColumn<int>("readings");
        const QString header = "time,mean_code,volts,rms_codes,status\n";
        const QString good =
            header +
            "2026-12-08T01:00:00.000Z,8388708,0.0000305,2.1,ok\n"
            "2026-12-08T01:00:10.000Z,8388709,0.0000308,2.0,ok\n"
            "2026-12-08T01:00:20.003Z,,,,Error Reading Data from KX3105\n"
            "2026-12-08T01:00:30.001Z,8388707,0.0000302,1.9,ok\n"
            "2026-12-08T01:00:40.000Z,8388706,0.0000299,2.2,\"odd, \"\"quoted\"\"\"\n"
            "2026-12-08T01:00:50.000Z,8388710,0.0000311,2.0,ok\n";
        QTest::newRow("failed lines skipped") << good << "" << 4;
        QTest::newRow("CR LF") << QString(good).replace("\n", "\r\n") << "" << 4;
        QTest::newRow("cut short") << good + "2026-12-08T01:01:00.000Z,83887"
                                   << "" << 4;
        QTest::newRow("whole, no line end")
            << good + "2026-12-08T01:01:00.000Z,8388709,0.0000308,2.0,ok"
            << "" << 5;
        QTest::newRow("no header") << good.mid(header.size()) << "line 1: not a drift log" << 0;
        QTest::newRow("bad time") << header + "01:00:00,1,1,1,ok\n"
                                  << "line 2: the time" << 0;
        QTest::newRow("bad voltage")
            << QString(good).replace("0.0000302", "x") << "line 5: the voltage" << 0;
        QTest::newRow("backwards") << QString(good).replace("01:00:30.001", "01:00:05.000")
                                   << "line 5: the time goes backwards" << 0;
        QTest::newRow("two ok lines") << QString(good).left(good.indexOf("2026-12-08T01:00:30")) +
                                             "2026-12-08T01:00:30.000Z,,,,Error\n"
                                      << "at least three" << 0;
    }
    void driftLogs() {
        QFETCH(QString, text);
        QFETCH(QString, error);
        QFETCH(int, readings);
        std::string why;
        const auto log = kx::allan::ParseDriftLog(text.toStdString(), why);
        QCOMPARE(log.has_value(), error.isEmpty());
        if (!log) {
            QVERIFY2(QString::fromStdString(why).contains(error), why.c_str());
            return;
        }
        QCOMPARE(int(log->volts.size()), readings);
        QCOMPARE(int(log->skipped), 2);
        QCOMPARE(log->volts[2], 0.0000302);
        QCOMPARE(log->seconds[2], 30.001);
        QVERIFY(std::abs(log->tau0 - 10) < 0.005);
    }
};

QTEST_GUILESS_MAIN(AllanTest)
#include "tst_allan.moc"
