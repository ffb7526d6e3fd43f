#include <QtTest>

#include "acquisition/settings.h"
#include "converter/filter_logic.h"

// The settings' rule book: every spelling of a range and a channel, rates in hertz as the filter
// word whose rate is nearest, and the settings checked as a whole, in the words every face gives.

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

    // Every spelling a user writes for a range, in any face: the screens' captions, the tool's
    // names, volts, millivolts.
    void rangeSpellings_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");  // -1: refused
        QTest::newRow("caption, bipolar") << QString::fromUtf8("\u00B1 2.56 V") << 7;
        QTest::newRow("caption, unipolar") << "0 - 20 mV" << 0;
        QTest::newRow("list item") << "2.56 V" << 7;
        QTest::newRow("plus-minus typed") << "+/-1.28V" << 6;
        QTest::newRow("upper case") << "640MV" << 5;
        QTest::newRow("0.03 V is no range") << "0.03" << -1;
        QTest::newRow("a range code is not volts") << "7" << -1;
    }
    void rangeSpellings() {
        QFETCH(QString, text);
        QFETCH(int, code);
        const auto read = kx::ReadRange(text.toStdString());
        QCOMPARE(read.value.value_or(-1), code);
        if (code < 0)
            QCOMPARE(QString::fromStdString(read.refusal->Words()),
                     "range takes 20mV, 40mV, 80mV, 160mV, 320mV, 640mV, 1.28V or 2.56V (or their "
                     "volts, 0.02 to 2.56), not '" +
                         text + "'");
    }

    // Channels by name in any case and spacing, the CHCON names, or by code; 16 is none.
    void channelSpellings_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");
        QTest::newRow("name") << "AIN3-AINCOM" << 2;
        QTest::newRow("caption with blanks, lower case") << "ain1 - ain2" << 8;
        QTest::newRow("CHCON name") << "AIN9-AIN10" << 12;
        QTest::newRow("code") << "15" << 15;
        QTest::newRow("code 16") << "16" << -1;
        QTest::newRow("nothing of the kind") << "AIN11" << -1;
    }
    void channelSpellings() {
        QFETCH(QString, text);
        QFETCH(int, code);
        QCOMPARE(kx::ReadChannel(text.toStdString()).value.value_or(-1), code);
    }

    // The settings as a whole over the board's mode and filter registers: the rates and words
    // each chopping allows, chopping switched on over a word too small for it.
    void wholeSettings_data() {
        QTest::addColumn<double>("rate");  // 0: none given
        QTest::addColumn<int>("filter");   // -1: none given
        QTest::addColumn<int>("chop");     // -1: none given, 0 off, 1 on
        QTest::addColumn<int>("modeNow");
        QTest::addColumn<int>("filterNow");
        QTest::addColumn<QString>("refusal");  // empty: taken
        QTest::newRow("the printed lower limit") << 5.35 << -1 << 1 << 0x01 << 0x45 << "";
        QTest::newRow("the printed upper limit, chopping off")
            << 1365.33 << -1 << 0 << 0x01 << 0x45 << "";
        QTest::newRow("5.2 Hz, chopping on")
            << 5.2 << -1 << -1 << 0x01 << 0x45
            << "rate takes 5.35 to 105.03 Hz with chopping on, not '5.2'";
        QTest::newRow("4.6 Hz") << 4.6 << -1 << -1 << 0x01 << 0x45
                                << "rate takes 5.35 to 105.03 Hz with chopping on, not '4.6'";
        QTest::newRow("105.4 Hz") << 105.4 << -1 << -1 << 0x01 << 0x45
                                  << "rate takes 5.35 to 105.03 Hz with chopping on, not '105.4'";
        QTest::newRow("1000 Hz under the board's chopping off")
            << 1000.0 << -1 << -1 << 0x81 << 0x45 << "";
        QTest::newRow("filter 0")
            << 0.0 << 0 << -1 << 0x01 << 0x45
            << "filter takes 0D to FF (hexadecimal) with chopping on, not '00'";
        QTest::newRow("filter 04 with chopping off") << 0.0 << 4 << 0 << 0x01 << 0x45 << "";
        QTest::newRow("chopping on over filter 04")
            << 0.0 << -1 << 1 << 0x81 << 0x04
            << "chop takes on only over a filter word of 0D to FF (5.35 to 105.03 Hz), not 'on': "
               "the filter word is 04; give a rate or a filter word with it";
        QTest::newRow("chopping on with a word for it") << 0.0 << 0x45 << 1 << 0x81 << 0x04 << "";
        QTest::newRow("a rate and a word") << 20.0 << 0x45 << -1 << 0x01 << 0x45
                                           << "filter takes no word when a rate is given, not "
                                              "'45': a rate and a filter word both set the "
                                              "filter word";
    }
    void wholeSettings() {
        QFETCH(double, rate);
        QFETCH(int, filter);
        QFETCH(int, chop);
        QFETCH(int, modeNow);
        QFETCH(int, filterNow);
        QFETCH(QString, refusal);
        kx::ConverterSettings s;
        if (rate > 0) s.rateHz = rate;
        if (filter >= 0) s.filter = filter;
        if (chop >= 0) s.chop = chop == 1;
        const auto why = kx::CheckSettings(s, modeNow, filterNow);
        QCOMPARE(QString::fromStdString(why ? why->Words() : std::string()), refusal);
    }
};

QTEST_GUILESS_MAIN(SettingsByNameTest)
#include "tst_settings_by_name.moc"
