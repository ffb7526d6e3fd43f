#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "analysis/readdataform.h"
#include "app/blocked_close.h"
#include "app/mainmenuform.h"
#include "app/openers.h"
#include "tests/app/shell_wire.h"
#include "tests/support/board_fixture.h"
#include "tests/support/scripted_messages.h"
#include "tests/support/sim_bench.h"
#include "ui/board_runner.h"

namespace {

kx::MainMenuOpeners Recording(OpenLog& log) {
    return {log.opener("program"), log.opener("readData"), log.opener("noise"),
            log.opener("reset"),   log.opener("readFile"), log.opener("writeFile"),
            log.opener("about"),   log.opener("multi"),    log.opener("live")};
}

QString Checked(const MainMenuForm& form) {
    QStringList checked;
    for (const char* name : {"MnuLPT1", "MnuLPT2", "MnuPRN"})
        if (form.findChild<QAction*>(name)->isChecked()) checked << name;
    return checked.join(',');
}

void Click(const QWidget& form, const char* button) {
    form.findChild<QPushButton*>(button)->click();
}

const kx::Message QuitQuestion{"Are you sure you want to quit", "KX3105 Evaluation Software",
                               kx::Icon::None, kx::Buttons::YesNo};

}  // namespace

class MainMenuFormTest : public QObject {
    Q_OBJECT

private slots:
    void checkMarkFollowsPortAddressAtLoad_data() {
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("checked");
        QTest::newRow("LPT1") << 0x378 << "MnuLPT1";
        QTest::newRow("LPT2") << 0x278 << "MnuLPT2";
        QTest::newRow("PRN") << 0x3BC << "MnuPRN";
        QTest::newRow("no port") << 0 << "";
        QTest::newRow("other address") << 0x3BD << "";
    }
    void checkMarkFollowsPortAddressAtLoad() {
        QFETCH(int, address);
        QFETCH(QString, checked);
        RecordingBoard board(static_cast<int16_t>(address));
        MainMenuForm form("Board: test", {});
        QCOMPARE(Checked(form), checked);
        QCOMPARE(PortAddress, address);
    }

    // The one check mark, the address and the board line follow the entry chosen; nothing else
    // happens: no claim, no control-line setup, the port is not touched.
    void choosingAnEntryMovesTheOneCheckMark() {
        PortMenuGuard guard;
        RecordingBoard board(0x3BC);
        MainMenuForm form(
            [] { return QString("Board: port at 0x%1").arg(uint16_t(PortAddress), 0, 16); }, {});
        auto* line = form.findChild<QLabel*>("BoardLabel");
        QCOMPARE(line->text(), QString("Board: port at 0x3bc"));
        const std::pair<const char*, int> choices[] = {
            {"MnuLPT2", 0x278}, {"MnuLPT1", 0x378}, {"MnuLPT1", 0x378}, {"MnuPRN", 0x3BC}};
        for (const auto& [entry, address] : choices) {
            form.findChild<QAction*>(entry)->trigger();
            QCOMPARE(Checked(form), QString(entry));
            QCOMPARE(PortAddress, address);
            QCOMPARE(line->text(), QString("Board: port at 0x%1").arg(address, 0, 16));
        }
        QVERIFY(board.port.accesses.empty());
        QVERIFY(board.port.calls.empty());
    }

    void startUpGreyingIsApplied_data() {
        QTest::addColumn<bool>("lpt1");
        QTest::addColumn<bool>("lpt2");
        QTest::addColumn<bool>("prn");
        QTest::newRow("nothing greyed") << true << true << true;
        QTest::newRow("port at 0x378") << true << false << false;
        QTest::newRow("port at 0x278") << false << true << false;
        QTest::newRow("port at 0x3BC") << false << false << true;
    }
    void startUpGreyingIsApplied() {
        QFETCH(bool, lpt1);
        QFETCH(bool, lpt2);
        QFETCH(bool, prn);
        PortMenuGuard guard;
        kx::PortMenuEnabled = {lpt1, lpt2, prn};
        RecordingBoard board;
        MainMenuForm form("Board: test", {});
        QCOMPARE(form.findChild<QAction*>("MnuLPT1")->isEnabled(), lpt1);
        QCOMPARE(form.findChild<QAction*>("MnuLPT2")->isEnabled(), lpt2);
        QCOMPARE(form.findChild<QAction*>("MnuPRN")->isEnabled(), prn);
    }

    void continuousConversionGate_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("answerYes");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<int>("written");  // -1: nothing written
        QTest::addColumn<bool>("opened");
        QTest::newRow("0x93 converting") << 0x93 << false << false << -1 << true;
        QTest::newRow("0x91 Yes") << 0x91 << true << true << 0x93 << true;
        QTest::newRow("0x05 Yes") << 0x05 << true << true << 0x03 << true;
        QTest::newRow("0x91 No") << 0x91 << false << true << -1 << false;
    }
    void continuousConversionGate() {
        QFETCH(int, mode);
        QFETCH(bool, answerYes);
        QFETCH(bool, asked);
        QFETCH(int, written);
        QFETCH(bool, opened);
        RecordingBoard board;
        board.port.script(0x379, StatusReadsFor(mode));
        ScriptedMessages messages;
        messages.answer(answerYes ? kx::Answer::Yes : kx::Answer::No);
        OpenLog log;
        MainMenuForm form("Board: test", Recording(log));

        Click(form, "Command2");

        std::vector<int> expected = ByteRegisterReadWrites(0x41);
        if (written >= 0)
            expected = Concat({expected, SerialWordWrites(0x01, 8), SerialWordWrites(written, 8)});
        QCOMPARE(board.dataWrites(), expected);
        QCOMPARE(board.port.readsOf(0x379), 8);  // no read-back after the write
        const kx::Message question{
            "This function requires that the KX3105,\r\nbe placed in Continuous Conversion "
            "Mode,\r\n\r\nDo you wish to Place the KX3105\r\nin Continuous Conversion Mode ?",
            "KX3105 Evaluation Software", kx::Icon::None, kx::Buttons::YesNo};
        QCOMPARE(messages.shown,
                 asked ? std::vector<kx::Message>{question} : std::vector<kx::Message>{});
        QCOMPARE(log.opened, opened ? QStringList{"readData"} : QStringList{});
    }

    void runLengthGate_data() {
        QTest::addColumn<int>("codes");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("fresh program") << 0 << false;
        QTest::newRow("9") << 9 << false;
        QTest::newRow("10") << 10 << true;
        QTest::newRow("5000") << 5000 << true;
        QTest::newRow("5001") << 5001 << false;
    }
    void runLengthGate() {
        QFETCH(int, codes);
        QFETCH(bool, accepted);
        RecordingBoard board;
        CodeCount = static_cast<int16_t>(codes);
        ScriptedMessages messages;
        OpenLog log;
        MainMenuForm form("Board: test", Recording(log));

        Click(form, "Command3");

        const kx::Message refusal{
            "For Data Analysis the number of Codes read must be between 9 and 5000",
            "KX3105 Evaluation Software", kx::Icon::None, kx::Buttons::Ok};
        QCOMPARE(messages.shown,
                 accepted ? std::vector<kx::Message>{} : std::vector<kx::Message>{refusal});
        QCOMPARE(log.opened, accepted ? QStringList{"noise"} : QStringList{});
        QVERIFY(board.port.accesses.empty());
    }

    // Every button of both menus has its screen behind it.
    void everyScreenIsWired() {
        RecordingBoard board;
        MainMenuForm form("Board: test", kx::RealMainMenuOpeners());
        for (auto* b : form.findChildren<QPushButton*>())
            QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
        ProgramForm program(kx::RealProgramMenuOpeners());
        for (auto* b : program.findChildren<QPushButton*>())
            QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
        QVERIFY(board.port.accesses.empty());
    }

    void quit_data() {
        QTest::addColumn<bool>("answerYes");
        QTest::newRow("No") << false;
        QTest::newRow("Yes") << true;
    }
    void quit() {
        QFETCH(bool, answerYes);
        RecordingBoard board;
        ScriptedMessages messages;
        messages.answer(answerYes ? kx::Answer::Yes : kx::Answer::No);
        OpenLog log;
        MainMenuForm form("Board: test", Recording(log));
        form.show();
        form.findChild<QAction*>("MnuLPT2")->trigger();

        Click(form, "Command8");

        QCOMPARE(messages.shown, std::vector<kx::Message>{QuitQuestion});
        QCOMPARE(form.isVisible(), !answerYes);
        if (answerYes) QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(PortAddress, 0x278);
        QCOMPARE(Checked(form), QString("MnuLPT2"));
        QVERIFY(log.opened.isEmpty());
        QVERIFY(board.port.accesses.empty());
    }

    void escapeDoesNotEndTheProgramButClosingDoes() {
        RecordingBoard board;
        ScriptedMessages messages;
        MainMenuForm form("Board: test", {});
        form.show();
        QTest::keyClick(form.findChild<QPushButton*>("Command8"), Qt::Key_Escape);
        QVERIFY(form.isVisible());
        QVERIFY(form.close());
        QVERIFY(!form.isVisible());
        QVERIFY(messages.shown.empty());  // closing the window asks nothing
    }

    // Every button opens its screen, those with an access key at its first press; Alt+P, shared by
    // "&Program KX3105" and "&Printer Port", opens the Program Menu, and F10 the printer-port menu.
    void accessKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("alt");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<bool>("menuOpen");
        QTest::newRow("Alt+P") << int(Qt::Key_P) << true << "program" << false;
        QTest::newRow("Alt+D") << int(Qt::Key_D) << true << "readData" << false;
        QTest::newRow("Alt+N") << int(Qt::Key_N) << true << "noise" << false;
        QTest::newRow("Alt+K") << int(Qt::Key_K) << true << "reset" << false;
        QTest::newRow("Alt+R") << int(Qt::Key_R) << true << "readFile" << false;
        QTest::newRow("Alt+W") << int(Qt::Key_W) << true << "writeFile" << false;
        QTest::newRow("Alt+B") << int(Qt::Key_B) << true << "about" << false;
        QTest::newRow("Alt+Q") << int(Qt::Key_Q) << true << "quit" << false;
        QTest::newRow("Alt+L") << int(Qt::Key_L) << true << "live" << false;
        QTest::newRow("F10") << int(Qt::Key_F10) << false << "" << true;
        QTest::newRow("Multi - Channel Read, no key: clicked") << 0 << false << "multi" << false;
    }
    void accessKeys() {
        QFETCH(int, key);
        QFETCH(bool, alt);
        QFETCH(QString, opened);
        QFETCH(bool, menuOpen);
        RecordingBoard board;
        board.port.script(0x379, StatusReadsFor(0x93));  // converting: Read Data opens at once
        CodeCount = 100;
        ScriptedMessages messages;
        OpenLog log;
        MainMenuForm form("Board: test", Recording(log));
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto* printer = form.findChild<QMenu*>("MnuPrinter");

        if (key)
            QTest::keyClick(&form, Qt::Key(key), alt ? Qt::AltModifier : Qt::NoModifier);
        else
            Click(form, "Command9");

        if (opened == "quit") {
            QTRY_COMPARE(messages.shown, std::vector<kx::Message>{QuitQuestion});
        } else if (!opened.isEmpty()) {
            QTRY_COMPARE(log.opened, QStringList{opened});
        }
        QTRY_COMPARE(printer->isVisible(), menuOpen);
        QTest::qWait(50);  // nothing more follows
        QCOMPARE(log.opened.size(), opened.isEmpty() || opened == "quit" ? 0 : 1);
        printer->close();
    }

    // The main window's close box while a read runs on the screen over it: the read stops with
    // its codes kept, the screen closes, then the window; the board is left alone after.
    void closingDuringAReadStopsItThenCloses() {
        kx::sim::SimSettings realTime;
        realTime.speed = kx::sim::Speed::RealTime;
        SimBench bench(realTime);
        WriteRegister(0x01, 8, 0x03);
        ScriptedMessages messages;
        MainMenuForm menu("Board: simulated", {});
        menu.show();
        ReadDataForm read({}, &menu);
        read.findChild<QLineEdit*>("NumCodesText")->setText("1000");
        bool stillReading = false;
        connect(&read, &ReadDataForm::codeRead, &read, [&](int count) {
            if (count != 3) return;
            stillReading = read.runner().running();
            QTimer::singleShot(0, &menu, [&menu] { kx::CloseFromTop(&menu); });
        });
        QTimer::singleShot(0, &read, [&read] { Click(read, "Command1"); });
        read.exec();
        QVERIFY(stillReading);
        QVERIFY(!read.runner().running());
        QVERIFY(!read.isVisible());
        QVERIFY(!menu.isVisible());
        QVERIFY(CodeCount >= 3 && CodeCount < 1000);
        QVERIFY(messages.shown.empty());
        const uint64_t accesses = bench.board.accessCount();
        QTest::qWait(20);
        QCOMPARE(bench.board.accessCount(), accesses);
    }
};

QTEST_MAIN(MainMenuFormTest)
#include "tst_mainmenuform.moc"
