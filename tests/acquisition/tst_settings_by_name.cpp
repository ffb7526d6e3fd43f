#include <QtTest>

#include "acquisition/settings.h"
#include "converter/filter_logic.h"

// Settings as scripts name them: ranges in any unit, and rates in hertz, each the filter word
// whose rate is nearest, within the limits of the chopping.

class SettingsByNameTest : public QObject {
    Q_OBJECT

private slots:
    void rangeNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("code");  // -1: names no range
        QTest::newRow("bare volts") << "2.56" << 7;
        QTest::newRow("bare volts, the smallest") << "0.02" << 0;
        QTest::newRow("volts") << "2.56V" << 7;
        QTest::newRow("millivolts") << "20mV" << 0;
        QTest::newRow("lower case, a blank") << "640 mv" << 5;
        QTest::newRow("in the other unit") << "1280mV" << 6;
        QTest::newRow("volts below one") << "0.16V" << 3;
        QTest::newRow("no such range") << "3V" << -1;
        QTest::newRow("near but not one") << "2.5" << -1;
        QTest::newRow("unit alone") << "mV" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void rangeNames() {
        QFETCH(QString, name);
        QFETCH(int, code);
        const auto found = kx::RangeCodeByName(name.toStdString());
        QCOMPARE(found.value_or(-1), code);
    }

    // The nearest rate, not the whole hertz below: 19.79 Hz reaches the power-on word.
    void nearestFilterWord_data() {
        QTest::addColumn<double>("hz");
        QTest::addColumn<bool>("chop");
        QTest::addColumn<int>("word");
        QTest::newRow("power-on rate") << 19.79 << true << 0x45;
        QTest::newRow("20 Hz: 20.08 nearer than 19.79") << 20.0 << true << 0x44;
        QTest::newRow("100 Hz, chopping off: 99.90") << 100.0 << false << 0x29;
        QTest::newRow("100 Hz, chopping on: 97.52") << 100.0 << true << 0x0E;
        QTest::newRow("slowest, chopping on") << 5.35 << true << 0xFF;
        QTest::newRow("fastest, chopping on") << 105.03 << true << 0x0D;
        QTest::newRow("fastest, chopping off") << 1365.33 << false << 0x03;
        QTest::newRow("beyond the fastest") << 5000.0 << false << 0x03;
        QTest::newRow("slowest, chopping off") << 16.06 << false << 0xFF;
    }
    void nearestFilterWord() {
        QFETCH(double, hz);
        QFETCH(bool, chop);
        QFETCH(int, word);
        QCOMPARE(kx::NearestFilterWord(hz, chop), word);
        // No other word the chopping allows comes nearer.
        const double gap = std::abs(kx::UpdateRate(word, chop) - hz);
        for (int other = kx::MinFilterWord(chop); other <= kx::MaxFilterWord; ++other)
            QVERIFY(std::abs(kx::UpdateRate(other, chop) - hz) >= gap);
    }

    // One rule for --rate and --rates: the limits of the chopping, the value echoed as typed.
    void rateLimits_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("chop");
        QTest::addColumn<QString>("refusal");  // empty: taken
        QTest::newRow("the printed lower limit") << "5.35" << true << "";
        QTest::newRow("the printed upper limit") << "1365.33" << false << "";
        QTest::newRow("below, chopping on")
            << "0.5" << true << "--rate takes 5.35 to 105.03 Hz with chopping on, not '0.5'";
        QTest::newRow("below, chopping off")
            << "0.0001" << false
            << "--rate takes 16.06 to 1365.33 Hz with chopping off, not '0.0001'";
        QTest::newRow("above, as typed")
            << "1.2e3" << true << "--rate takes 5.35 to 105.03 Hz with chopping on, not '1.2e3'";
        QTest::newRow("no number")
            << "fast" << true << "--rate takes a number of hertz, not 'fast'";
    }
    void rateLimits() {
        QFETCH(QString, typed);
        QFETCH(bool, chop);
        QFETCH(QString, refusal);
        const auto why = kx::RateRefusal("--rate", typed.toStdString(), chop);
        QCOMPARE(QString::fromStdString(why.value_or("")), refusal);
    }
};

QTEST_GUILESS_MAIN(SettingsByNameTest)
#include "tst_settings_by_name.moc"
