#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "board/program_port.h"
#include "board/registers.h"
#include "multichannel/multiform.h"
#include "tests/multichannel/wire_tap.h"
#include "tests/support/board_fixture.h"
#include "tests/support/program_register.h"
#include "tests/support/scripted_messages.h"
#include "ui/board_runner.h"

using kx::sim::Fault;
using Longs = std::vector<long>;
using Ints = std::vector<int>;

namespace {

// Whether the screen's board worker thread runs: it is named, while Qt's own threads come and go.
bool WorkerRuns() {
    for (const QString& id : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + id + "/comm");
        if (comm.open(QIODevice::ReadOnly) &&
            QString(comm.readAll()).trimmed() == kx::WorkerThreadName)
            return true;
    }
    return false;
}

const char* const RowNames[] = {"Ain1_Com", "Ain2_Com", "Ain3_Com", "Ain4_Com",
                                "Ain5_Com", "Ain6_Com", "Ain7_Com", "Ain8_Com",
                                "Ain1_2",   "Ain3_4",   "Ain5_6",   "Ain7_8"};

// A fresh program on a simulated board, the mode and ADC control registers optionally written
// first; the tap then starts empty.
struct Bench {
    kx::sim::SimulatedBoard board;
    WireTap tap{board};
    ScriptedMessages messages;
    kx::multi::MultiChannelState state;

    explicit Bench(int mode = -1, int control = -1) {
        kx::ResetGlobals();
        PortAddress = 0x378;
        SetPortBackend(&tap);
        for (auto [command, value] : {std::pair{1, mode}, std::pair{2, control}})
            if (value >= 0) ProgramRegister(8, double(value), 0, int16_t(command)).WriteReg();
        tap.transactions.clear();
    }
    ~Bench() {
        SetPortBackend(nullptr);
        kx::ResetGlobals();
    }
};

// The screen and its controls by the names the table gives them.
struct Screen {
    MultiForm form;
    explicit Screen(Bench& b) : form(b.state) {}

    template <class T>
    T* get(const QString& name) {
        T* w = form.findChild<T*>(name);
        if (!w) qFatal("no control %s", qPrintable(name));
        return w;
    }
    QString at(const char* kind, int row) { return QString(kind) + RowNames[row - 1]; }
    QCheckBox* check(int row) { return get<QCheckBox>(at("Check", row)); }
    QComboBox* range(int row) { return get<QComboBox>(at("Range", row)); }
    QComboBox* pol(int row) { return get<QComboBox>(at("Pol", row)); }
    QLineEdit* filter(int row) { return get<QLineEdit>(at("Filter", row)); }
    QLineEdit* data(int row) { return get<QLineEdit>(at("Data", row)); }
    QString caption(const char* label) { return get<QLabel>(label)->text(); }
    void click(const char* button) { get<QPushButton>(button)->click(); }
    // Clicks and waits until the board work it started has ended.
    void run(const char* button) {
        click(button);
        QTRY_VERIFY_WITH_TIMEOUT(!form.reading(), 20000);
    }
    // Asks the read to stop once `passes` passes have ended (each pass ends with twelve idle
    // writes, the only mode writes that follow a mode read), from the worker, so the read ends at
    // the top of the next pass.
    void stopAfterPasses(Bench& b, int passes) {
        auto last = std::make_shared<int>(0);
        auto ends = std::make_shared<int>(0);
        b.tap.onCommand = [this, last, ends, passes](int command) {
            if (command == 0x01 && *last == 0x41 && ++*ends == 12 * passes)
                form.runner().requestStop();
            *last = command;
        };
    }
    void tick(std::initializer_list<int> rows) {
        for (int row : rows)
            check(row)->click();
    }
    void postKey(Qt::Key key, const QString& text) {
        QCoreApplication::postEvent(get<QLineEdit>("Text1"),
                                    new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
    }
};

// An item chosen from the list, or, for any other text, text typed into the edit field.
void SetList(QComboBox* box, const QString& text) {
    const int i = box->findText(text);
    if (i < 0) return box->setEditText(text);
    box->setCurrentIndex(i);
    emit box->activated(i);
}
void Type(QLineEdit* edit, const QString& text, bool enter) {
    edit->clear();
    QTest::keyClicks(edit, text);
    if (enter) QTest::keyClick(edit, Qt::Key_Return);
}
std::vector<kx::Message> Shown(const QString& text, int times = 1) {
    const kx::Message m{text.toStdString(), "KX3105 Evaluation Software", kx::Icon::Warning,
                        kx::Buttons::Ok};
    return std::vector<kx::Message>(size_t(times), m);
}

struct ReadCase {
    int mode, row;
    const char *range, *polarity, *filter;  // null: as opened
    int control, word;
    const char* message;  // null: the read runs
    int sent = 3;         // transactions before the failure
    bool ignoreWrites = false;
};

}  // namespace

Q_DECLARE_METATYPE(ReadCase)

class MultiFormTest : public QObject {
    Q_OBJECT

private slots:
    void opening_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("minFilterWord");
        QTest::newRow("chopping disabled") << 0x93 << 0x80 << 3;
        QTest::newRow("chopping enabled") << 0x13 << 0x00 << 13;
    }
    void opening() {
        QFETCH(int, mode);
        QFETCH(int, written);
        QFETCH(int, minFilterWord);
        Bench b(mode);
        Screen s(b);
        QCOMPARE(b.tap.commands(), (Ints{0x41, 0x01}));
        QCOMPARE(b.tap.writesTo(0x01), Longs{written});
        QCOMPARE(b.state.MinFilterWord, minFilterWord);
        QCOMPARE(s.range(12)->currentText() + s.pol(12)->currentText() + s.filter(12)->text(),
                 "2.56 VBipolar45");
        QVERIFY(s.check(12)->isEnabled() && !s.range(12)->isEnabled() && !s.data(12)->isEnabled());
        QCOMPARE(s.check(12)->accessibleName(), "AIN7 - AIN8");
        QCOMPARE(s.data(9)->accessibleName(), "AIN1 - AIN2 Data Code HEX");
    }

    void pairInterlock() {
        Bench b;
        Screen s(b);
        auto enabled = [&] {
            QString text;
            for (int row = 1; row <= 12; ++row)
                text += s.check(row)->isEnabled() ? '1' : '0';
            return text;
        };
        s.tick({1});
        QCOMPARE(enabled(), "111111110111");
        QVERIFY(s.range(1)->isEnabled() && s.data(1)->isEnabled());
        s.tick({2, 1});
        QCOMPARE(enabled(), "111111110111");
        QVERIFY(!s.filter(1)->isEnabled() && s.pol(2)->isEnabled());
        s.tick({2});
        QCOMPARE(enabled(), "111111111111");
        s.tick({10});
        QCOMPARE(enabled(), "110011111111");
        s.tick({10});
        QCOMPARE(enabled(), "111111111111");
    }

    void settingsSurviveReopening() {
        Bench b;
        {
            Screen s(b);
            s.tick({5, 6, 8});
            SetList(s.range(5), "640 mV");
            SetList(s.pol(5), "Unipolar");
            Type(s.filter(5), "2A", true);
            Type(s.filter(6), "1A", false);
            SetList(s.range(6), "1.28");  // typed without its unit
            SetList(s.range(8), "80 mV");
            Type(s.range(8)->lineEdit(), "640 mV", true);
            b.tap.transactions.clear();
            s.stopAfterPasses(b, 1);
            s.run("Command1");
            // What is typed is used while the screen is open.
            QCOMPARE(b.tap.writesTo(0x03), (Longs{0x2A, 0x1A, 0x45}));
            QCOMPARE(b.tap.writesTo(0x02), (Longs{0x4D, 0x56, 0x75}));
            s.tick({7});
            Type(s.filter(7), "00", true);
        }
        Screen s(b);
        QVERIFY(s.check(5)->isChecked() && s.range(5)->isEnabled() && s.pol(5)->isEnabled());
        QCOMPARE(s.range(5)->currentText() + s.pol(5)->currentText() + s.filter(5)->text(),
                 "640 mVUnipolar2A");
        QCOMPARE(s.filter(6)->text() + s.filter(7)->text(), "4545");
        QCOMPARE(s.range(8)->currentText(), "80 mV");
        QVERIFY(s.check(9)->isEnabled() && !s.check(11)->isEnabled());
    }

    void nothingCheckedRunsOnePass() {
        Bench b;
        Screen s(b);
        b.tap.transactions.clear();
        s.run("Command1");
        Ints expected{0x41, 0x42, 0x43};
        for (int slot = 0; slot < 12; ++slot)
            expected.insert(expected.end(), {0x41, 0x42, 0x43, 0x41, 0x01});
        QCOMPARE(b.tap.commands(), expected);
        QCOMPARE(b.tap.writesTo(0x01), Longs(12, 0x01));
        QCOMPARE(b.messages.shown, Shown("Select Channels for Conversion"));
    }

    void readProgramsCheckedRow_data() {
        QTest::addColumn<ReadCase>("c");
        const char *max = "Illegal Filter Value , Max Value is FF",
                   *min13 = "Illegal Filter Value , Min Value is 13",
                   *format = "Enter Correct Number format for Filter Word";
        QTest::newRow("first opening") << ReadCase{1, 1, {}, {}, {}, 0x07, 0x45, {}};
        QTest::newRow("row 12") << ReadCase{1, 12, "20 mV", "Unipolar", {}, 0xB8, 0x45, {}};
        // A typed range names an item with its unit, without it, or without the space.
        QTest::newRow("typed 2.56") << ReadCase{1, 3, "2.56", {}, {}, 0x27, 0x45, {}};
        QTest::newRow("typed 20mV") << ReadCase{1, 3, "20mV", "Unipolar", {}, 0x28, 0x45, {}};
        QTest::newRow("typed 2.56V") << ReadCase{1, 12, "2.56V", {}, {}, 0xB7, 0x45, {}};
        // Any other text is refused before anything is written.
        QTest::newRow("typed 3 V")
            << ReadCase{1,
                        3,
                        "3 V",
                        {},
                        {},
                        0,
                        0,
                        "Range of AIN3 - AINCOM: \"3 V\" is not an input range. Choose one of "
                        "2.56 V, 1.28 V, 640 mV, 320 mV, 160 mV, 80 mV, 40 mV, 20 mV.",
                        0};
        QTest::newRow("ff") << ReadCase{1, 1, {}, {}, "ff", 0x07, 0xFF, {}};
        QTest::newRow("0D chop on") << ReadCase{1, 1, {}, {}, "0D", 0x07, 0x0D, {}};
        QTest::newRow("C chop off") << ReadCase{0x81, 1, {}, {}, "C", 0x07, 0x0C, {}};
        QTest::newRow("100") << ReadCase{1, 1, {}, {}, "100", 0, 0, max};
        QTest::newRow("C chop on") << ReadCase{1, 1, {}, {}, "C", 0, 0, min13};
        QTest::newRow("negative") << ReadCase{1, 1, {}, {}, "FFFFFFFF", 0, 0, min13};
        QTest::newRow("G1") << ReadCase{1, 1, {}, {}, "G1", 0, 0, format};
        QTest::newRow("empty") << ReadCase{1, 1, {}, {}, "", 0, 0, format};
        // Power-on values are 0x45, 0x07 and idle: only what differs shows a lost write.
        QTest::newRow("filter not taken")
            << ReadCase{1, 1, {}, {}, "46", 0, 0, "Error Programming Filter Register", 5, true};
        QTest::newRow("control not taken") << ReadCase{
            1, 1, "1.28 V", {}, {}, 0, 0, "Error Programming ADC Control Register", 7, true};
        QTest::newRow("mode not taken")
            << ReadCase{1, 1, {}, {}, {}, 0, 0, "Error Programming Mode Register", 9, true};
    }
    void readProgramsCheckedRow() {
        QFETCH(ReadCase, c);
        Bench b(c.mode);
        Screen s(b);
        s.tick({c.row});
        if (c.range) SetList(s.range(c.row), c.range);
        if (c.polarity) SetList(s.pol(c.row), c.polarity);
        if (c.filter) s.filter(c.row)->setText(c.filter);
        b.board.setFault(Fault::IgnoreWrites, c.ignoreWrites);
        b.tap.transactions.clear();
        s.stopAfterPasses(b, 1);
        s.run("Command1");

        QCOMPARE(s.caption("StopReadingText"), "");
        if (c.message) {
            QCOMPARE(b.messages.shown, Shown(c.message));
            // Nothing more once a check or a read-back fails.
            const Ints wire{0x41, 0x42, 0x43, 0x03, 0x43, 0x02, 0x42, 0x01, 0x41};
            QCOMPARE(b.tap.commands(), Ints(wire.begin(), wire.begin() + c.sent));
            return;
        }
        QVERIFY(b.messages.shown.empty());
        QCOMPARE(b.tap.writesTo(0x03), Longs{c.word});
        QCOMPARE(b.tap.writesTo(0x02), Longs{c.control});
        // Idle closes every slot; the checked row's slot is opened with continuous conversion.
        Longs modes(12, (c.mode & 0x80) | 1);
        modes.insert(modes.begin() + (c.row - 1), (c.mode & 0x80) | 3);
        QCOMPARE(b.tap.writesTo(0x01), modes);
        QCOMPARE(b.tap.writesTo(0x44).size(), 1u);
        QCOMPARE(s.data(c.row)->text(), QString::number(b.tap.writesTo(0x44)[0], 16).toUpper());
    }

    // A stop while a conversion is awaited ends the wait: no code, the slot closed with idle.
    void stopDuringAConversion() {
        Bench b;
        Screen s(b);
        s.tick({3, 7});
        b.tap.transactions.clear();
        b.tap.onCommand = [&](int command) {
            if (command == 0x44) s.form.runner().requestStop();
        };
        s.run("Command1");
        QCOMPARE(b.tap.commands().back(), 0x01);
        QCOMPARE(b.tap.writesTo(0x01), (Longs{0x01, 0x01, 0x03, 0x01}));
        QCOMPARE(s.data(3)->text() + s.data(7)->text(), "");
        QCOMPARE(s.caption("StopReadingText"), "");
        QVERIFY(b.messages.shown.empty());
    }

    // Escape during a read stops it like any key and keeps the screen and its codes; with no
    // read running it closes the screen. The key box is hidden, no Tab stop, and keeps no key.
    void escapeAndTheKeyBox() {
        Bench b;
        Screen s(b);
        s.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.form));
        s.tick({1});
        auto* text1 = s.get<QLineEdit>("Text1");
        QVERIFY(!s.form.rect().intersects(text1->geometry()));
        QCOMPARE(text1->focusPolicy(), Qt::NoFocus);
        auto* stop = s.get<QPushButton>("StopButton");
        QCOMPARE(stop->text(), "&Stop");
        QCOMPARE(QAccessible::queryAccessibleInterface(stop)->text(QAccessible::Name), "Stop");
        QVERIFY(!stop->isEnabled());
        connect(s.data(1), &QLineEdit::textChanged, &s.form,
                [&] { s.postKey(Qt::Key_Escape, "\x1b"); });
        s.click("Command1");
        QVERIFY(stop->isEnabled() && !s.get<QPushButton>("Command1")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!s.form.reading(), 20000);
        QVERIFY(s.form.isVisible());
        QVERIFY(!s.data(1)->text().isEmpty());
        QCOMPARE(text1->text(), "Text1");
        QVERIFY(!stop->isEnabled());
        QTest::keyClick(&s.form, Qt::Key_Escape);
        QVERIFY(!s.form.isVisible());
    }

    void timeoutLeavesLaterRowsUnchanged() {
        Bench b;
        Screen s(b);
        s.tick({5, 6, 7, 8, 9, 10});
        b.board.armFaultAfterResults(Fault::ReadyStuck, 6);  // pass 2's row 5 never converts
        b.tap.transactions.clear();
        s.run("Command1");
        QCOMPARE(b.messages.shown, Shown("Error Reading Data from KX3105"));
        QVERIFY(b.tap.transactions.back().timedOut);  // nothing written after it
        const Longs codes = b.tap.writesTo(0x44);
        QCOMPARE(codes.size(), 7u);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(s.data(5 + i)->text(), QString::number(codes[size_t(i)], 16).toUpper());
        QCOMPARE(s.data(11)->text(), "");
    }

    // Back and the close box during a read stop it, join its worker and close: no thread left,
    // the port back with this thread, the converter idle. The other buttons do nothing meanwhile.
    void closingEndsReadFirst_data() {
        QTest::addColumn<bool>("back");
        QTest::newRow("B&ack") << true;
        QTest::newRow("window close") << false;
    }
    void closingEndsReadFirst() {
        QFETCH(bool, back);
        Bench b;
        Screen s(b);
        s.form.show();
        s.tick({1});
        b.tap.transactions.clear();
        std::atomic<bool> converting{false};
        b.tap.onCommand = [&](int command) { converting = converting || command == 0x44; };
        s.click("Command1");
        QVERIFY(s.form.reading() && !PortOwnedHere());
        QTRY_VERIFY(converting);
        QVERIFY(WorkerRuns());
        s.click("Command3");
        s.click("Command1");
        back ? s.click("Command2") : (void)s.form.close();
        QVERIFY(!s.form.isVisible() && !s.form.reading());
        QVERIFY(PortOwnedHere());
        QVERIFY(!WorkerRuns());
        QCOMPARE(b.tap.commands().back(), 0x01);
        QCOMPARE(b.tap.writesTo(0x01).back(), 0x01);
        for (long mode : b.tap.writesTo(0x01))  // continuous or idle: no calibration ran
            QVERIFY(mode == 0x01 || mode == 0x03);
    }

    void calibrationPerCheckedRow() {
        Bench b(0x80, 0x0F);
        Screen s(b);
        b.tap.transactions.clear();
        s.run("Command3");
        QVERIFY(b.tap.transactions.empty());
        QCOMPARE(b.messages.shown, Shown("Select Channels for Calibration"));
        b.messages.shown.clear();
        s.tick({2, 12});
        s.run("Command3");
        const Ints row{0x42, 0x02, 0x41, 0x01, 0x41, 0x01};
        QCOMPARE(b.tap.commands(), Concat({row, row}));
        QCOMPARE(b.tap.writesTo(0x02), (Longs{0x1F, 0xBF}));
        QCOMPARE(b.tap.writesTo(0x01), (Longs{0x84, 0x85, 0x84, 0x85}));
        QVERIFY(b.messages.shown.empty());
    }

    void calibrationWithStuckReadyLine() {
        Bench b;
        b.board.setFault(Fault::ReadyStuck, true);
        Screen s(b);
        s.tick({1, 12});
        b.tap.transactions.clear();
        s.run("Command3");
        // Shown in order once the worker has ended.
        QCOMPARE(b.messages.shown, Shown("Error Calibrating KX3105", 4));
        QCOMPARE(s.caption("CalLabel"), "");
        QCOMPARE(b.tap.writesTo(0x02), (Longs{0x07, 0xB7}));
        // Every wait: exactly 500001 status reads, then the next register access.
        Longs waits;
        for (size_t i = 1; i < b.tap.transactions.size(); ++i)
            if (b.tap.transactions[i - 1].command == 0x01)
                waits.push_back(b.tap.transactions[i].pollsBefore);
        waits.push_back(b.tap.loosePolls);
        QCOMPARE(waits, Longs(4, 500001));
    }
};

QTEST_MAIN(MultiFormTest)
#include "tst_multiform.moc"
