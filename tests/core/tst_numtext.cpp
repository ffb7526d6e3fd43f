#include <QtTest>
#include <clocale>

#include "core/numtext.h"

class TestNumText : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void pattern_data();
    void pattern();
    void general();
    void shortestFloat();
    void parseDecimal_data();
    void parseDecimal();
    void parseHex();
};

void TestNumText::initTestCase() {
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        qWarning("no comma locale here: checked in C only");
    std::setlocale(LC_NUMERIC, "C");
}

void TestNumText::pattern_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");
    // The screens' own worked values.
    QTest::newRow("lsb nV") << 305.17578125 << "0.###"
                            << "305.176";
    QTest::newRow("rms nV") << 610.3515625 << "0.00"
                            << "610.35";
    QTest::newRow("average uV") << 30.517578125 << "00.000"
                                << "30.518";
    QTest::newRow("negative average") << -30.517578125 << "00.000"
                                      << "-30.518";
    QTest::newRow("zero keeps its zeros") << 0.0 << "00.000"
                                          << "00.000";
    QTest::newRow("rate two decimals") << 19.787 << "#.##"
                                       << "19.79";
    QTest::newRow("whole rate keeps the point") << 512.0 << "#.##"
                                                << "512.";
    QTest::newRow("padded rate") << 5.354 << "00.00"
                                 << "05.35";
    QTest::newRow("four decimals") << 32768.0 / (3 * 8 * 27) << "#.##00"
                                   << "50.5679";
    QTest::newRow("four decimals, zeros kept") << 102.4 << "#.##00"
                                               << "102.4000";
    QTest::newRow("reference") << 2.5 << "##.00"
                               << "2.50";
    QTest::newRow("no leading zero") << 0.5 << "##.00"
                                     << ".50";
    QTest::newRow("reference entry") << 1.234 << "#.00"
                                     << "1.23";
    QTest::newRow("2.499 rounds up") << 2.499 << "#.00"
                                     << "2.50";
    QTest::newRow("rate entry") << 1365.4 << "####.##"
                                << "1365.4";
    QTest::newRow("pk-pk uV") << 4.2724609375 << "0.000"
                              << "4.272";
    // Halves go away from zero on the decimal form, as typed values are read.
    QTest::newRow("half up") << 0.125 << "0.00"
                             << "0.13";
    QTest::newRow("decimal half") << 2.675 << "0.00"
                                  << "2.68";
    QTest::newRow("negative half") << -0.125 << "0.00"
                                   << "-0.13";
    QTest::newRow("carry into a new digit") << 9.999 << "0.00"
                                            << "10.00";
    QTest::newRow("carry below one") << 0.996 << "#.00"
                                     << "1.00";
    QTest::newRow("tiny negative is zero") << -0.0004 << "0.000"
                                           << "0.000";
    QTest::newRow("integer pattern") << 2.5 << "0"
                                     << "3";
    QTest::newRow("large") << 123456789.0 << "0.00"
                           << "123456789.00";
    QTest::newRow("small") << 0.000123 << "0.###"
                           << "0.";
}

void TestNumText::pattern() {
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    QFETCH(double, value);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    const std::string text = kx::FormatPattern(value, pattern.toStdString());
    std::setlocale(LC_NUMERIC, "C");
    QCOMPARE(QString::fromStdString(text), expected);
}

void TestNumText::general() {
    QCOMPARE(kx::FormatGeneral(1250), std::string("1250"));
    QCOMPARE(kx::FormatGeneral(1250.5), std::string("1250.5"));
    QCOMPARE(kx::FormatGeneral(8388620), std::string("8388620"));
    QCOMPARE(kx::FormatGeneral(-2147483648.0), std::string("-2147483648"));
    QCOMPARE(kx::FormatGeneral(0.1), std::string("0.1"));
    QCOMPARE(kx::FormatGeneral(-0.0), std::string("0"));
}

void TestNumText::shortestFloat() {
    // The range captions print InputRange x 1000 as a single-precision value.
    QCOMPARE(kx::ShortestFloat(0.02f * 1000.0f), std::string("20"));
    QCOMPARE(kx::ShortestFloat(0.64f * 1000.0f), std::string("640"));
    QCOMPARE(kx::ShortestFloat(0.16f * 1000.0f), std::string("160"));
    QCOMPARE(kx::ShortestFloat(0.1f), std::string("0.1"));
}

void TestNumText::parseDecimal_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("blanks around") << " 2.499 " << true << 2.499;
    QTest::newRow("leading point") << ".5" << true << 0.5;
    QTest::newRow("trailing point") << "5." << true << 5.0;
    QTest::newRow("negative") << "-3" << true << -3.0;
    QTest::newRow("exponent") << "1e3" << true << 1000.0;
    QTest::newRow("plus") << "+2.5" << true << 2.5;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("blank") << "  " << false << 0.0;
    QTest::newRow("letters") << "abc" << false << 0.0;
    QTest::newRow("trailing letters") << "12x" << false << 0.0;
    QTest::newRow("two points") << "1.2.3" << false << 0.0;
    QTest::newRow("sign alone") << "+" << false << 0.0;
    QTest::newRow("exponent alone") << "e5" << false << 0.0;
    QTest::newRow("hex prefix") << "0x10" << false << 0.0;
    QTest::newRow("beyond double") << "1e309" << false << 0.0;
    QTest::newRow("comma is not a point") << "3,7" << false << 0.0;
}

void TestNumText::parseDecimal() {
    // The desktop's locale must not change how a point is read.
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    const auto parsed = kx::ParseDecimal(text.toStdString());
    QCOMPARE(parsed.has_value(), ok);
    std::setlocale(LC_NUMERIC, "C");
    if (ok) QCOMPARE(*parsed, value);
}

void TestNumText::parseHex() {
    QCOMPARE(kx::ParseHex("ff"), std::optional<unsigned long long>(255));
    QCOMPARE(kx::ParseHex("7FFFF3"), std::optional<unsigned long long>(0x7FFFF3));
    QCOMPARE(kx::ParseHex("80000000"), std::optional<unsigned long long>(0x80000000ull));
    QCOMPARE(kx::ParseHex("000"), std::optional<unsigned long long>(0));
    QVERIFY(!kx::ParseHex(""));
    QVERIFY(!kx::ParseHex("G1"));
    QVERIFY(!kx::ParseHex(" 1"));
    QVERIFY(!kx::ParseHex("0x1"));
    QVERIFY(!kx::ParseHex("11112222333344445"));
}

QTEST_APPLESS_MAIN(TestNumText)
#include "tst_numtext.moc"
