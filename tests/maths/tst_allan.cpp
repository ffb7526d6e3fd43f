#include <QtTest>

#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "maths/allan.h"
#include "tests/support/relative.h"

using namespace std::chrono;

namespace {

// A drift log of readings `seconds` after 2026-12-08T01:00:00Z (NaN volts: a failed line).
QString LogText(const std::vector<std::pair<double, double>>& lines) {
    QString text = "time,mean_code,volts,rms_codes,status\n";
    const auto start = kx::allan::LogTime{sys_days{2026y / December / 8} + 1h};
    for (const auto& [at, volts] : lines) {
        const auto time = start + microseconds(std::llround(at * 1e6));
        text += QString::fromStdString(kx::allan::FormatLogTime(time));
        text += std::isnan(volts) ? QString(",8388700,,,Error Reading Data from KX3105\n")
                                  : QString(",8388700,%1,2.0,ok\n").arg(volts, 0, 'g', 12);
    }
    return text;
}

}  // namespace

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
            {"2300-01-02T03:04:05.678Z", 10413889445678},  // beyond a nanosecond count
            {"9999-12-31T23:59:59.999Z", 253402300799999},
            {"2026-12-08T01:02:03.Z", -1},
            {"2026-12-08T01:02:03Z x", -1}};
        for (const auto& [text, ms] : cases) {
            const auto parsed = kx::allan::ParseLogTime(text);
            QVERIFY2(parsed.has_value() == (ms >= 0), text);
            if (!parsed) continue;
            QCOMPARE(duration_cast<milliseconds>(parsed->time_since_epoch()).count(), ms);
            const auto written = kx::allan::FormatLogTime(*parsed);
            QCOMPARE(kx::allan::ParseLogTime(written), std::optional(floor<milliseconds>(*parsed)));
        }
    }

    // Each line on the log's clock: failed lines and lines the log lacks are missing readings, a
    // quoted status, CR LF, a last line cut short, times beyond 2262; and what is refused, by line.
    void driftLogs_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");  // empty: parsed
        QTest::addColumn<int>("readings");
        QTest::addColumn<int>("intervals");
        QTest::addColumn<int>("missing");  // in gaps
        const QString header = "time,mean_code,volts,rms_codes,status\n";
        const QString good =
            header +
            "2026-12-08T01:00:00.000Z,8388708,0.0000305,2.1,ok\n"
            "2026-12-08T01:00:10.000Z,8388709,0.0000308,2.0,ok\n"
            "2026-12-08T01:00:20.003Z,,,,Error Reading Data from KX3105\n"
            "2026-12-08T01:00:30.001Z,8388707,0.0000302,1.9,ok\n"
            "2026-12-08T01:00:40.000Z,8388706,0.0000299,2.2,\"odd, \"\"quoted\"\"\"\n"
            "2026-12-08T01:00:50.000Z,8388710,0.0000311,2.0,ok\n";
        QTest::newRow("failed lines are missing") << good << "" << 4 << 6 << 0;
        QTest::newRow("CR LF") << QString(good).replace("\n", "\r\n") << "" << 4 << 6 << 0;
        QTest::newRow("cut short") << good + "2026-12-08T01:01:00.000Z,83887"
                                   << "" << 4 << 6 << 0;
        QTest::newRow("whole, no line end")
            << good + "2026-12-08T01:01:00.000Z,8388709,0.0000308,2.0,ok"
            << "" << 5 << 7 << 0;
        QTest::newRow("four lines missing")
            << good + "2026-12-08T01:01:40.004Z,8388709,0.0000308,2.0,ok\n"
            << "" << 5 << 11 << 4;
        QTest::newRow("after 2262") << QString(good).replace("2026-", "2300-") << "" << 4 << 6 << 0;
        QTest::newRow("no header")
            << good.mid(header.size()) << "line 1: not a drift log" << 0 << 0 << 0;
        QTest::newRow("bad time") << header + "01:00:00,1,1,1,ok\n"
                                  << "line 2: the time" << 0 << 0 << 0;
        QTest::newRow("bad voltage")
            << QString(good).replace("0.0000302", "x") << "line 5: the voltage" << 0 << 0 << 0;
        QTest::newRow("volts beyond any range")
            << QString(good).replace("0.0000302", "1e308")
            << "line 5: the voltage 1e308 is outside the span of any range (-5.12 to 5.12 V)" << 0
            << 0 << 0;
        QTest::newRow("backwards") << QString(good).replace("01:00:30.001", "01:00:05.000")
                                   << "line 5: the time goes backwards" << 0 << 0 << 0;
        QTest::newRow("two ok lines") << QString(good).left(good.indexOf("2026-12-08T01:00:30")) +
                                             "2026-12-08T01:00:30.000Z,,,,Error\n"
                                      << "at least three" << 0 << 0 << 0;
        // Twelve lines a second apart, then twelve two seconds apart: line 14 is the first late.
        std::vector<std::pair<double, double>> changing;
        for (int i = 0; i < 24; ++i)
            changing.push_back({i < 12 ? i : 11 + 2.0 * (i - 11), 1e-6});
        QTest::newRow("the interval changes")
            << LogText(changing)
            << "line 14: the interval changes from 1.000 s to 2.000 s; the Allan deviation takes "
               "one interval (split the log there)"
            << 0 << 0 << 0;
        QTest::newRow("resumed centuries later")
            << good + "2300-12-08T01:01:00.000Z,8388709,0.0000308,2.0,ok\n"
            << "line 8: the log resumes" << 0 << 0 << 0;
    }
    void driftLogs() {
        QFETCH(QString, text);
        QFETCH(QString, error);
        QFETCH(int, readings);
        QFETCH(int, intervals);
        QFETCH(int, missing);
        std::string why;
        const auto log = kx::allan::ParseDriftLog(text.toStdString(), why);
        QCOMPARE(log.has_value(), error.isEmpty());
        if (!log) {
            QVERIFY2(QString::fromStdString(why).contains(error), why.c_str());
            return;
        }
        QCOMPARE(int(log->readings), readings);
        QCOMPARE(int(log->failed), 2);
        QCOMPARE(int(log->volts.size()), intervals);
        QCOMPARE(int(log->missing), missing);
        QCOMPARE(int(log->gaps), missing ? 1 : 0);
        QCOMPARE(log->volts[3], 0.0000302);
        QVERIFY(std::isnan(log->volts[2]) && std::isnan(log->volts[4]));
        QVERIFY(std::abs(log->tau0 - 10) < 0.005);
    }

    // Lines stamped up to 35 % of an interval late, as a log on a busy machine writes them: one
    // interval and no gap; the same lateness over a real change of interval is still refused.
    void lateStampsKeepTheClock() {
        std::mt19937_64 engine(3);
        std::uniform_real_distribution<double> late(0.0, 0.35);
        std::vector<std::pair<double, double>> steady, changing;
        for (int i = 0; i < 100; ++i) {
            steady.push_back({i + late(engine), 1e-6});
            changing.push_back({(i < 50 ? i : 49 + 0.55 * (i - 49)) + 0.5 * late(engine), 1e-6});
        }
        std::string why;
        const auto log = kx::allan::ParseDriftLog(LogText(steady).toStdString(), why);
        QVERIFY2(log, why.c_str());
        QCOMPARE(log->gaps, size_t(0));
        QCOMPARE(log->volts.size(), size_t(100));
        QVERIFY(std::abs(log->tau0 - 1) < 0.02);
        QVERIFY(!kx::allan::ParseDriftLog(LogText(changing).toStdString(), why));
        QVERIFY2(QString::fromStdString(why).contains(QRegularExpression(
                     "^line 5[0-3]: the interval changes from 1.0.. s to 0.5.. s")),
                 why.c_str());
    }

    // White noise on a steady drift, 5000 readings a second apart, with 1000 s of lines lost (and
    // two failed lines): on the log's clock the Allan deviation is that of the whole log within
    // 10 %; joined up, the drift across the gap would be a step in it.
    void allanAcrossAGap() {
        std::mt19937_64 engine(9);
        std::normal_distribution<double> gauss(0.0, 1e-6);
        std::vector<std::pair<double, double>> whole, broken;
        for (int i = 0; i < 5000; ++i) {
            const double volts = 1e-3 + 2e-9 * i + gauss(engine);
            whole.push_back({i + 0.001 * (i % 3), volts});
            if (i >= 2000 && i < 3000) continue;
            broken.push_back({whole.back().first, i == 700 || i == 4100 ? NAN : volts});
        }
        std::string why;
        const auto full = kx::allan::ParseDriftLog(LogText(whole).toStdString(), why);
        const auto gapped = kx::allan::ParseDriftLog(LogText(broken).toStdString(), why);
        QVERIFY2(full && gapped, why.c_str());
        QCOMPARE(gapped->volts.size(), size_t(5000));
        QCOMPARE(gapped->readings, size_t(3998));
        QCOMPARE(gapped->failed, size_t(2));
        QCOMPARE(gapped->gaps, size_t(1));
        QCOMPARE(gapped->missing, size_t(1000));
        const auto expected = kx::allan::OverlappingDeviation(full->volts, full->tau0);
        const auto got = kx::allan::OverlappingDeviation(gapped->volts, gapped->tau0);
        // Factors up to 256: at 512 too few windows of 1024 miss both the gap and the failures.
        QCOMPARE(got.size(), size_t(9));
        for (size_t i = 0; i < got.size(); ++i) {
            QCOMPARE(got[i].factor, expected[i].factor);
            QVERIFY(got[i].terms < expected[i].terms);
            KX_VERIFY_RELATIVE(got[i].deviation, expected[i].deviation, 0.10);
        }
    }
};

QTEST_GUILESS_MAIN(AllanTest)
#include "tst_allan.moc"
