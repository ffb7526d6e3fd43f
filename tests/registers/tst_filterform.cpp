#include <QLineEdit>
#include <QtTest>

#include "registers/filterform.h"
#include "tests/registers/register_screen_support.h"
#include "tests/support/scripted_messages.h"

namespace {

const QString Word = "Filter Word (Hex)", Rate = "Output Update Rate";
constexpr int ChopOn = 0x00, ChopOff = 0x80;  // power-down with chopping enabled, disabled

// The messages shown, one string; "!" marks a warning icon.
QString Shown(const ScriptedMessages& m) {
    QStringList out;
    for (const auto& s : m.shown)
        out << QString::fromStdString(s.text) + (s.icon == kx::Icon::Warning ? "!" : "");
    return out.join('|');
}

QString Field(Filterform& form, const QString& name) {
    return FindByName<QLineEdit>(&form, name)->text();
}

}  // namespace

class FilterformTest : public QObject {
    Q_OBJECT

private slots:
    // Opening reads the mode register straight (0x41), then the filter register twice.
    void opening_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("message");
        auto row = [](const char* tag, int mode, int filter, const char* word, const char* rate,
                      const char* message) {
            QTest::newRow(tag) << mode << filter << word << rate << message;
        };
        row("45 chop on", 0x01, 0x45, "45", "19.79", "");
        row("3 chop off", 0x80, 0x03, "3", "1365.33", "");
        row("40, whole rate keeps its point", 0x80, 0x40, "40", "64.", "");
        row("0, no icon", 0x01, 0x00, "", "", "Error Reading from KX3105");
    }
    void opening() {
        QFETCH(int, mode);
        QFETCH(int, filter);
        RecordingBoard board;
        board.port.script(
            0x379, Concat({StatusReadsFor(mode), StatusReadsFor(filter), StatusReadsFor(filter)}));
        ScriptedMessages messages;
        Filterform form;

        std::vector<int> wire =
            Concat({ByteRegisterReadWrites(0x41), ByteRegisterReadWrites(0x43)});
        if (filter) wire = Concat({wire, ByteRegisterReadWrites(0x43)});
        QCOMPARE(board.dataWrites(), wire);
        QTEST(Field(form, Word), "word");
        QTEST(Field(form, Rate), "rate");
        QTEST(TextOf(form, "Filterlabel"), "word");
        QCOMPARE(BitLabels(form), QString::number(filter, 2).rightJustified(8, '0'));
        QTEST(Shown(messages), "message");
    }

    // Enter in a field on the simulated board. Word -1: refused, the field emptied and focused,
    // nothing written. "ignore" rows: the converter does not take the write.
    void entries_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("word");
        QTest::addColumn<QString>("wordText");
        QTest::addColumn<QString>("rateText");
        const char* maxWord = "The maximum Filter Word is  FF Hex!";
        const char* minD = "The minimum Filter Word is D Hex!";
        const char* prompt16 = "Enter a value Between 16.06 Hz and 1365.33 Hz!";
        struct Row {
            const char* tag;
            bool rate;
            int mode;
            const char *text, *message;
            int word;
            const char *wordText, *rateText;
        };
        const Row rows[] = {
            {"1FF", false, ChopOn, "1FF", maxWord, 0xFF, "FF", "05.35"},
            {"5 chop on", false, ChopOn, "5", minD, 0x0D, "D", "105.03"},
            {"5 chop off", false, ChopOff, "5", "", 0x05, "5", "819.20"},
            {"empty", false, ChopOn, "", minD, 0x0D, "D", "105.03"},
            {"empty chop off", false, ChopOff, "", "The minimum Filter Word is 3 Hex!", 3, "3",
             "1365.33"},
            {"not hex", false, ChopOn, "1G", "", -1, "", "19.79"},
            {"80000000", false, ChopOn, "80000000", "", -1, "", "19.79"},
            {"ignore word", false, ChopOn, "20", "Error programming KX3105!", 0x45, "20", "42.67"},
            {"50 Hz", true, ChopOn, "50", "", 0x1B, "1B", "50.5679"},
            {"5 Hz", true, ChopOn, "5", "", 0xFF, "FF", "5.3542"},
            {"100 Hz", true, ChopOff, "100", "", 0x28, "28", "102.4000"},
            {"10 Hz", true, ChopOff, "10", prompt16, 0xFF, "FF", "16.0627"},
            {"17.5 to even 18", true, ChopOff, "17.5", "", 0xE3, "E3", "18.0441"},
            {"1365.4", true, ChopOff, "1365.4", "", 3, "3", "1365.3333"},
            {"1366", true, ChopOff, "1366", prompt16, 3, "3", "1365.3333"},
            {"letters", true, ChopOn, "abc", "", -1, "45", ""},
            {"over 16 bits", true, ChopOn, "40000", "", -1, "45", ""},
            {"ignore rate", true, ChopOn, "50", "Error Programming KX3105!", 0x45, "1B", "50.5679"},
        };
        for (const Row& r : rows)
            QTest::newRow(r.tag) << (r.rate ? Rate : Word) << r.mode << r.text << r.message
                                 << r.word << r.wordText << r.rateText;
    }
    void entries() {
        QFETCH(QString, field);
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(int, word);
        SimBench bench;
        WriteRegister(0x01, 8, mode);
        bench.board.setFault(kx::sim::Fault::IgnoreWrites,
                             QString(QTest::currentDataTag()).startsWith("ignore"));
        ScriptedMessages messages;
        Filterform form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));

        QLineEdit* entry = FindByName<QLineEdit>(&form, field);
        entry->setFocus();
        entry->clear();
        QTest::keyClicks(entry, text);
        QTest::keyClick(entry, Qt::Key_Return);

        QTEST(Shown(messages), "message");
        QTEST(Field(form, Word), "wordText");
        QTEST(Field(form, Rate), "rateText");
        // The labels show what the converter holds.
        const int held = ReadRegister(0x43, 8);
        QCOMPARE(held, word < 0 ? 0x45 : word);
        QCOMPARE(TextOf(form, "Filterlabel"), QString::number(held, 16).toUpper());
        QCOMPARE(BitLabels(form), QString::number(held, 2).rightJustified(8, '0'));
        if (word < 0) QVERIFY(entry->text().isEmpty() && entry->hasFocus());
        QVERIFY(form.isVisible());  // Enter never reaches the Back button
    }
};

QTEST_MAIN(FilterformTest)
#include "tst_filterform.moc"
