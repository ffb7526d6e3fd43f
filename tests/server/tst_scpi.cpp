#include <QtTest>

#include <cmath>

#include "server/scpi_errors.h"
#include "server/scpi_parser.h"
#include "server/scpi_values.h"

// The SCPI library on its own: lines taken apart, headers matched in short and long form, the
// header path of ';' chains, parameter values, responses and the error queue. Error numbers and
// texts are written out here as SCPI gives them, not taken from the library.

using namespace kx::scpi;

namespace {

// A unit as one line of text: "CONF:RANG? [2.56|x]" with flags.
QString Describe(const Unit& u) {
    QStringList nodes;
    for (const auto& n : u.nodes)
        nodes << QString::fromStdString(n);
    QStringList params;
    for (const auto& p : u.params)
        params << QString::fromStdString(p);
    QString text = (u.absolute ? ":" : "") + nodes.join(':') + (u.query ? "?" : "");
    if (!params.isEmpty()) text += " [" + params.join('|') + "]";
    if (u.error) text += " error " + QString::number(u.error);
    return text;
}

QString DescribeLine(std::string_view line) {
    QStringList units;
    for (const Unit& u : ParseLine(line))
        units << Describe(u);
    return units.join(" ; ");
}

}  // namespace

class ScpiTest : public QObject {
    Q_OBJECT

private slots:
    void lines_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("units");
        QTest::newRow("common query") << QByteArray("*idn?") << "*IDN?";
        QTest::newRow("short form, lower case")
            << QByteArray("conf:rang 2.56") << "CONF:RANG [2.56]";
        QTest::newRow("root colon, suffix with blank")
            << QByteArray(":CONFigure:RANGe   20 mV  ") << ":CONFIGURE:RANGE [20 mV]";
        QTest::newRow("two parameters")
            << QByteArray("REG:WRIT adc-control , 0x45") << "REG:WRIT [adc-control|0x45]";
        QTest::newRow("chain") << QByteArray("SYST:ERR?;*CLS; READ? 5")
                               << "SYST:ERR? ; *CLS ; READ? [5]";
        QTest::newRow("separators inside strings")
            << QByteArray("A:B 'x;y',\"c,\"\"d\"") << "A:B ['x;y'|\"c,\"\"d\"]";
        QTest::newRow("CR LF line end") << QByteArray("*OPC?\r") << "*OPC?";
        QTest::newRow("empty units dropped") << QByteArray(" ;; *CLS ;") << "*CLS";
        QTest::newRow("nothing") << QByteArray("   ") << "";
        QTest::newRow("comma after header") << QByteArray("CONF:RANG,2") << "CONF:RANG error -102";
        QTest::newRow("empty node") << QByteArray("CONF::RANG 2") << "CONF error -102";
        QTest::newRow("control byte") << QByteArray("\x01IDN?") << " error -101";
        QTest::newRow("byte above ASCII") << QByteArray("READ? 5\xff") << "READ? error -101";
        QTest::newRow("empty parameter") << QByteArray("A 1,,2") << "A [1] error -102";
        QTest::newRow("string not closed") << QByteArray("A 'abc;*CLS") << "A error -151";
        QTest::newRow("mnemonic too long")
            << QByteArray("CONFIGURATIONS:RANG 1") << "CONFIGURATIONS:RANG error -112";
        QTest::newRow("query mark then junk") << QByteArray("*IDN?x") << "*IDN? error -102";
        QTest::newRow("bad unit, good one after") << QByteArray("#H;*CLS") << " error -102 ; *CLS";
    }
    void lines() {
        QFETCH(QByteArray, line);
        QFETCH(QString, units);
        QCOMPARE(DescribeLine(std::string_view(line.constData(), line.size())), units);
    }

    void patterns_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("header");
        QTest::addColumn<bool>("matches");
        QTest::newRow("short") << "CONFigure:RANGe"
                               << "CONF:RANG" << true;
        QTest::newRow("long") << "CONFigure:RANGe"
                              << "CONFIGURE:RANGE" << true;
        QTest::newRow("mixed") << "CONFigure:RANGe"
                               << "CONF:RANGE" << true;
        QTest::newRow("neither form") << "CONFigure:RANGe"
                                      << "CONFIG:RANG" << false;
        QTest::newRow("too short") << "CONFigure:RANGe"
                                   << "CON:RANG" << false;
        QTest::newRow("too few nodes") << "CONFigure:RANGe"
                                       << "CONF" << false;
        QTest::newRow("optional left out") << "SYSTem:ERRor[:NEXT]"
                                           << "SYST:ERR" << true;
        QTest::newRow("optional given") << "SYSTem:ERRor[:NEXT]"
                                        << "SYST:ERR:NEXT" << true;
        QTest::newRow("optional alone") << "SYSTem:ERRor[:NEXT]"
                                        << "SYST:NEXT" << false;
        QTest::newRow("optional last") << "FORMat[:DATA]"
                                       << "FORM:DATA" << true;
        QTest::newRow("common") << "*IDN"
                                << "*IDN" << true;
    }
    void patterns() {
        QFETCH(QString, pattern);
        QFETCH(QString, header);
        QFETCH(bool, matches);
        std::vector<std::string> nodes;
        for (const QString& n : header.split(':'))
            nodes.push_back(n.toStdString());
        QCOMPARE(Pattern(pattern.toStdString()).Matches(nodes), matches);
    }

    // After a compound command the next unit is relative to its parent node; ':' goes back to
    // the root; common commands leave the path alone; a header not found there is tried from the
    // root; a new line starts at the root.
    void headerPath() {
        CommandTable<QString> table;
        for (const char* p :
             {"CONFigure:RANGe", "CONFigure:POLarity", "CONFigure:RANGe?", "SYSTem:ERRor[:NEXT]?",
              "SYSTem:ERRor:COUNt?", "READ?", "*IDN?", "FORMat[:DATA]", "FORMat:BORDer"})
            table.Add(p, QString::fromLatin1(p));
        auto resolve = [&](std::string_view line) {
            std::vector<std::string> path;
            QStringList found;
            for (const Unit& u : ParseLine(line)) {
                const auto* e = table.Resolve(u, path);
                found << (e ? e->value : QString("-"));
            }
            return found.join(" ; ");
        };
        QCOMPARE(resolve("CONF:RANG 1;POL BIP;*IDN?;RANG?;:READ? 5"),
                 QString("CONFigure:RANGe ; CONFigure:POLarity ; *IDN? ; CONFigure:RANGe? ; "
                         "READ?"));
        QCOMPARE(resolve("SYST:ERR:NEXT?;COUN?"),
                 QString("SYSTem:ERRor[:NEXT]? ; SYSTem:ERRor:COUNt?"));
        // An optional last node left out still sets the path below the node given.
        QCOMPARE(resolve("SYST:ERR?;COUN?"), QString("SYSTem:ERRor[:NEXT]? ; SYSTem:ERRor:COUNt?"));
        QCOMPARE(resolve("FORM INT;BORD SWAP;:FORM:DATA ASC;BORD NORM"),
                 QString("FORMat[:DATA] ; FORMat:BORDer ; FORMat[:DATA] ; FORMat:BORDer"));
        QCOMPARE(resolve("CONF:RANG 1;READ? 5;POL BIP;SYST:ERR?"),
                 QString("CONFigure:RANGe ; READ? ; - ; SYSTem:ERRor[:NEXT]?"));
        QCOMPARE(resolve("POL BIP"), QString("-"));
    }

    void numbers_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("error");
        QTest::newRow("volts plain") << "volts"
                                     << "2.56" << 2.56 << 0;
        QTest::newRow("volts V") << "volts"
                                 << "2.56V" << 2.56 << 0;
        QTest::newRow("millivolts") << "volts"
                                    << "20mV" << 0.02 << 0;
        QTest::newRow("millivolts, blank, upper") << "volts"
                                                  << "640 MV" << 0.64 << 0;
        QTest::newRow("microvolts") << "volts"
                                    << "20000uV" << 0.02 << 0;
        QTest::newRow("exponent") << "volts"
                                  << "2.56E-2" << 0.0256 << 0;
        QTest::newRow("exponent with blanks") << "volts"
                                              << "1 e 1" << 10.0 << 0;
        QTest::newRow("leading point") << "volts"
                                       << "-.5" << -0.5 << 0;
        QTest::newRow("wrong unit") << "volts"
                                    << "20mA" << 0.0 << -131;
        QTest::newRow("word") << "volts"
                              << "HIGH" << 0.0 << -104;
        QTest::newRow("string") << "volts"
                                << "'2'" << 0.0 << -104;
        QTest::newRow("stray character") << "volts"
                                         << "2.5x6" << 0.0 << -121;
        QTest::newRow("huge") << "volts"
                              << "1e999" << 0.0 << -120;
        QTest::newRow("kilohertz") << "hertz"
                                   << "1.2kHz" << 1200.0 << 0;
        QTest::newRow("hertz") << "hertz"
                               << "50 Hz" << 50.0 << 0;
        QTest::newRow("count") << "count"
                               << "5000" << 5000.0 << 0;
        QTest::newRow("count exponent") << "count"
                                        << "1E6" << 1e6 << 0;
        QTest::newRow("count hex") << "count"
                                   << "#H10" << 16.0 << 0;
        QTest::newRow("count with suffix") << "count"
                                           << "5V" << 0.0 << -138;
        QTest::newRow("count fraction") << "count"
                                        << "2.5" << 0.0 << -222;
        QTest::newRow("count zero") << "count"
                                    << "0" << 0.0 << -222;
        QTest::newRow("count too many") << "count"
                                        << "10000001" << 0.0 << -222;
        QTest::newRow("hex as the tool") << "hex"
                                         << "45" << 69.0 << 0;
        QTest::newRow("hex 0x") << "hex"
                                << "0xFF" << 255.0 << 0;
        QTest::newRow("hex #H") << "hex"
                                << "#hff" << 255.0 << 0;
        QTest::newRow("hex #B") << "hex"
                                << "#B1000101" << 69.0 << 0;
        QTest::newRow("hex #Q") << "hex"
                                << "#Q105" << 69.0 << 0;
        QTest::newRow("hex too large") << "hex"
                                       << "100" << 0.0 << -222;
        QTest::newRow("hex far too large") << "hex"
                                           << "FFFFFFFFFFFFFFFFFF" << 0.0 << -222;
        QTest::newRow("not hex") << "hex"
                                 << "XY" << 0.0 << -104;
        QTest::newRow("block data") << "hex"
                                    << "#15abcde" << 0.0 << -104;
        QTest::newRow("bad #H digit") << "hex"
                                      << "#HG" << 0.0 << -121;
    }
    void numbers() {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(int, error);
        const std::string t = text.toStdString();
        double got = 0;
        int e = 0;
        if (kind == "volts") {
            e = ParseVolts(t, got);
        } else if (kind == "hertz") {
            e = ParseHertz(t, got);
        } else if (kind == "count") {
            int64_t n = 0;
            e = ParseCount(t, 1, 10'000'000, n);
            got = static_cast<double>(n);
        } else {
            uint64_t v = 0;
            e = ParseHexValue(t, 0xFF, v);
            got = static_cast<double>(v);
        }
        QCOMPARE(e, error);
        if (error == 0)
            QVERIFY2(std::fabs(got - value) <= 1e-12 * std::fabs(value), qPrintable(text));
    }

    void characterData() {
        QCOMPARE(Choose("bip", {"BIPolar", "UNIPolar"}), 0);
        QCOMPARE(Choose("UNIPOLAR", {"BIPolar", "UNIPolar"}), 1);
        QCOMPARE(Choose("UNIPO", {"BIPolar", "UNIPolar"}), -1);
        bool on = false;
        QCOMPARE(ParseBoolean("on", on), 0);
        QVERIFY(on);
        QCOMPARE(ParseBoolean("0", on), 0);
        QVERIFY(!on);
        QCOMPARE(ParseBoolean("maybe", on), -224);
        QCOMPARE(Unquoted("'it''s'"), std::string("it's"));
        QCOMPARE(Unquoted("\"adc-control\""), std::string("adc-control"));
        QCOMPARE(Unquoted("plain"), std::string("plain"));
    }

    void responses() {
        QCOMPARE(DefiniteBlock("hello"), std::string("#15hello"));
        QCOMPARE(DefiniteBlock(""), std::string("#10"));
        QCOMPARE(DefiniteBlock(std::string(1234, 'x')).substr(0, 6), std::string("#41234"));
        const std::vector<int32_t> codes{0x00800001, -2};
        QCOMPARE(Int32Bytes(codes, true), std::string("\x00\x80\x00\x01\xff\xff\xff\xfe", 8));
        QCOMPARE(Int32Bytes(codes, false), std::string("\x01\x00\x80\x00\xfe\xff\xff\xff", 8));
        QCOMPARE(AsciiCodes(codes), std::string("8388609,-2"));
        QCOMPARE(FormatNumber(2.56), std::string("2.56"));
        QCOMPARE(FormatNumber(0.02 * 8), std::string("0.16"));
        QCOMPARE(FormatNumber(5000), std::string("5000"));
        QCOMPARE(FormatNumber(std::nan("")), std::string("9.91E+37"));
        QCOMPARE(FormatNumber(-INFINITY), std::string("-9.9E+37"));
        QCOMPARE(std::stod(FormatNumber(1.0 / 3.0)), 1.0 / 3.0);
        QCOMPARE(FormatHex(0x800000), std::string("#H800000"));
        QCOMPARE(FormatHex(0), std::string("#H0"));
    }

    // Oldest first; when full the newest entry is -350 and later errors are lost until read.
    void errorQueue() {
        ErrorQueue q(4);
        QCOMPARE(q.Next().Formatted(), std::string("0,\"No error\""));
        q.Push(-113);
        q.Push(-222);
        q.Push(-240, "Error Reading \"Data\"");
        q.Push(-102);
        q.Push(-101);
        QCOMPARE(q.size(), size_t(4));
        QCOMPARE(q.Next().Formatted(), std::string("-113,\"Undefined header\""));
        QCOMPARE(q.Next().Formatted(), std::string("-222,\"Data out of range\""));
        QCOMPARE(q.Next().Formatted(),
                 std::string("-240,\"Hardware error;Error Reading \"\"Data\"\"\""));
        QCOMPARE(q.Next().Formatted(), std::string("-350,\"Queue overflow\""));
        QCOMPARE(q.Next().code, 0);
        q.Push(-363);
        QCOMPARE(q.Next().Formatted(), std::string("-363,\"Input buffer overrun\""));
        ErrorEntry longOne{-200, std::string(400, 'x')};
        QCOMPARE(longOne.Formatted().size(), std::string("-200,\"\"").size() + 255);
    }

    void eventStatusBits_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("bit");
        QTest::newRow("command") << -113 << 0x20;
        QTest::newRow("execution") << -222 << 0x10;
        QTest::newRow("device") << -363 << 0x08;
        QTest::newRow("query") << -410 << 0x04;
        QTest::newRow("none") << 0 << 0;
    }
    void eventStatusBits() {
        QFETCH(int, code);
        QFETCH(int, bit);
        QCOMPARE(EsrBitOf(code), bit);
    }
};

QTEST_APPLESS_MAIN(ScpiTest)
#include "tst_scpi.moc"
