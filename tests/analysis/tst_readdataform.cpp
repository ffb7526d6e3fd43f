#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "analysis/readdataform.h"
#include "tests/support/scripted_messages.h"
#include "tests/support/sim_bench.h"
#include "ui/board_runner.h"

using kx::sim::Fault;
using kx::sim::InputSetting;
using Messages = QList<kx::Message>;

namespace {

const char* const Title = "KX3105 Evaluation Software";
const kx::Message Interruption{"User Interruption of Reading", Title, kx::Icon::Warning};
const kx::Message ReadError{"Error Reading Data from KX3105", Title};
const kx::Message TooFew{"For Data Analysis the number of Codes read must be between 9 and 5000",
                         Title};

// 1 mV on AIN1 with no noise, bipolar 2.56 V range: 2^23 + 0.001 / 2.56 * 2^23 = 800CCD hex.
constexpr double SteadyCode = 0x800CCD;

QLineEdit* Field(const QWidget& form, const char* name) {
    return form.findChild<QLineEdit*>(name);
}
QString Reading(const QWidget& form) {
    return form.findChild<QLabel*>("ReadingLabel")->text();
}
void Click(const QWidget& form, const char* button) {
    form.findChild<QPushButton*>(button)->click();
}
// Waits until the read the screen runs has ended.
void AwaitEnd(const ReadDataForm& form) {
    QTRY_VERIFY_WITH_TIMEOUT(!form.runner().running(), 20000);
}
Messages Shown(const ScriptedMessages& s) {
    return Messages(s.shown.begin(), s.shown.end());
}
// The board in real time, for a read that must still be under way when it is stopped: in fast
// mode a run of codes ends before the window has seen its first.
kx::sim::SimSettings RealTime() {
    kx::sim::SimSettings settings;
    settings.speed = kx::sim::Speed::RealTime;
    return settings;
}
// A key that types a character, pressed while a read runs.
void PostKey(const QWidget& form, Qt::Key key = Qt::Key_X, const QString& text = "x") {
    QCoreApplication::postEvent(Field(form, "Text1"),
                                new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
}

}  // namespace

class ReadDataFormTest : public QObject {
    Q_OBJECT

private slots:
    // Reads for analysis that end normally or by a time-out (stops: tst_board_work).
    void readForAnalysis_data() {
        QTest::addColumn<int>("requested");
        QTest::addColumn<bool>("byEnter");
        QTest::addColumn<int>("stuckAfter");  // results made before the board hangs; -1 none
        QTest::addColumn<int>("codeCount");
        QTest::addColumn<float>("reference");
        QTest::addColumn<Messages>("messages");
        QTest::newRow("10 codes") << 10 << false << -1 << 10 << 1.23f << Messages{};
        QTest::newRow("Enter in the count") << 10 << true << -1 << 10 << 1.23f << Messages{};
        // The failed slot is no code: the run ends at the four codes read.
        QTest::newRow("time-out on the fifth code")
            << 50 << false << 4 << 4 << 1.23f << Messages{ReadError};
        QTest::newRow("count 0: empty run") << 0 << false << -1 << 0 << 1.23f << Messages{};
    }
    void readForAnalysis() {
        QFETCH(int, requested);
        QFETCH(bool, byEnter);
        QFETCH(int, stuckAfter);
        QFETCH(int, codeCount);
        QFETCH(float, reference);
        QFETCH(Messages, messages);
        SimBench bench;
        bench.board.setInput(0, InputSetting{0.001, 0.0});
        WriteRegister(0x01, 8, 0x03);
        if (stuckAfter >= 0) bench.board.armFaultAfterResults(Fault::ReadyStuck, stuckAfter);
        ScriptedMessages shown;
        CodeCount = 77;
        ReadDataForm form;
        form.show();
        // No count before there is a read for analysis.
        QCOMPARE(form.findChild<QProgressBar*>()->text(), "");
        Field(form, "NumCodesText")->setText(QString::number(requested));
        Field(form, "RefText")->setText("1.234");
        int starts = 0;
        bool noticeShown = false;
        connect(&form, &ReadDataForm::codeRead, &form, [&](int count) {
            noticeShown |= Reading(form) == "Press any key to stop reading";
            starts += count == 1;
        });
        if (byEnter)
            QTest::keyClick(Field(form, "NumCodesText"), Qt::Key_Return);
        else
            Click(form, "Command1");
        AwaitEnd(form);

        QCOMPARE(starts, requested > 0 ? 1 : 0);
        QCOMPARE(noticeShown, requested > 0);
        QCOMPARE(Shown(shown), messages);
        QCOMPARE(int{CodeCount}, codeCount);
        QCOMPARE(SampleBuffer.size(), size_t(requested + 1));
        for (size_t i = 0; i < SampleBuffer.size(); ++i)
            QCOMPARE(SampleBuffer[i], i >= 1 && i <= size_t(codeCount) ? SteadyCode : 0.0);
        QCOMPARE(ReferenceVoltage, reference);
        QCOMPARE(Reading(form), "");
        QCOMPARE(form.findChild<QProgressBar*>()->text(),
                 QString("%1 of %2 codes").arg(codeCount).arg(qMax(requested, 1)));
    }

    // While a read runs no second read starts and Back is out of reach; Escape stops the read
    // and the screen stays; the keyboard then goes back to where it was, with the message.
    void escapeStopsAndFocusReturns() {
        SimBench bench(RealTime());
        WriteRegister(0x01, 8, 0x03);
        ScriptedMessages shown;
        ReadDataForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QLineEdit* count = Field(form, "NumCodesText");
        count->setText("5000");
        count->setFocus();
        auto* stop = form.findChild<QPushButton*>("StopButton");
        QCOMPARE(stop->text(), "&Stop");
        QCOMPARE(QAccessible::queryAccessibleInterface(stop)->text(QAccessible::Name), "Stop");
        QVERIFY(!stop->isEnabled());
        QWidget* focusAtMessage = nullptr;
        shown.onShow = [&](const kx::Message&) { focusAtMessage = QApplication::focusWidget(); };
        bool tried = false;
        connect(&form, &ReadDataForm::codeRead, &form, [&](int n) {
            if (n != 2) return;
            tried = true;
            QVERIFY(stop->isEnabled());
            for (const char* b : {"Command1", "Command2", "Command3", "Command4"})
                QVERIFY(!form.findChild<QPushButton*>(b)->isEnabled());
            QVERIFY(!count->isEnabled());
            PostKey(form, Qt::Key_Escape, "\x1b");
        });
        QTest::keyClick(count, Qt::Key_Return);
        AwaitEnd(form);
        QVERIFY(tried);
        QVERIFY(form.isVisible());
        QCOMPARE(Shown(shown), Messages{Interruption});
        QCOMPARE(focusAtMessage, count);
        QCOMPARE(QApplication::focusWidget(), count);
        QVERIFY(!stop->isEnabled());
        QVERIFY(CodeCount >= 2 && CodeCount < 5000);
    }

    // A screen that goes away during a read takes the read with it, keeping the codes read.
    void readStopsWhenTheScreenIsGone() {
        SimBench bench(RealTime());
        WriteRegister(0x01, 8, 0x03);
        QPointer<ReadDataForm> form = new ReadDataForm;
        form->show();
        Field(*form, "NumCodesText")->setText("1000");
        connect(form.data(), &ReadDataForm::codeRead, form, [&](int count) {
            if (count == 3) QTimer::singleShot(0, [&] { delete form.data(); });
        });
        Click(*form, "Command1");
        QTRY_VERIFY(form.isNull());
        QVERIFY(CodeCount >= 3 && CodeCount < 1000);
        QCOMPARE(SampleBuffer.size(), size_t(1001));
        QVERIFY(SampleBuffer[size_t(CodeCount)] != 0.0);
        const uint64_t accesses = bench.board.accessCount();
        QTest::qWait(20);
        QCOMPARE(bench.board.accessCount(), accesses);
    }

    // Enter in RefText stores the reference and starts nothing; a field holding no number is
    // cleared and nothing else changes.
    void fieldEntry_data() {
        QTest::addColumn<bool>("ref");  // RefText, else NumCodesText
        QTest::addColumn<QString>("text");
        QTest::addColumn<float>("stored");  // 3 = left alone, and the field is cleared
        QTest::newRow("2.499") << true << "2.499" << 2.5f;
        QTest::newRow("reference beyond single precision") << true << "1e40" << 3.0f;
        QTest::newRow("reference no number") << true << "2,5V" << 3.0f;
        QTest::newRow("count no number") << false << "ten" << 3.0f;
        QTest::newRow("count beyond 16 bits") << false << "40000" << 3.0f;
    }
    void fieldEntry() {
        QFETCH(bool, ref);
        QFETCH(QString, text);
        QFETCH(float, stored);
        SimBench bench;
        WriteRegister(0x01, 8, 0x03);
        ScriptedMessages shown;
        ReferenceVoltage = 3.0f;
        CodeCount = 12;
        ReadDataForm form;
        form.show();
        QLineEdit* edit = Field(form, ref ? "RefText" : "NumCodesText");
        edit->setText(text);
        const uint64_t accesses = bench.board.accessCount();
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(ReferenceVoltage, stored);
        QCOMPARE(edit->text(), stored == 3.0f ? QString() : text);
        QCOMPARE(bench.board.accessCount(), accesses);
        QCOMPARE(int{CodeCount}, 12);
        QVERIFY(shown.shown.empty());
    }

    // The read for display shows the code in hexadecimal, stops at a key press without a
    // message or at a time-out with one, and leaves the run alone.
    void readForDisplay_data() {
        QTest::addColumn<bool>("stuck");
        QTest::addColumn<QString>("shownCode");
        QTest::addColumn<Messages>("messages");
        QTest::newRow("code 15") << false << "F" << Messages{};
        QTest::newRow("time-out") << true << "" << Messages{ReadError};
    }
    void readForDisplay() {
        QFETCH(bool, stuck);
        QFETCH(QString, shownCode);
        QFETCH(Messages, messages);
        SimBench bench;
        // Unipolar 2.56 V range: code 15 is 15 / 2^24 of 2.56 V.
        bench.board.setInput(0, InputSetting{15.0 * 2.56 / 16777216.0, 0.0});
        WriteRegister(0x02, 8, 0x0F);
        WriteRegister(0x01, 8, 0x03);
        bench.board.setFault(Fault::ReadyStuck, stuck);
        ScriptedMessages shown;
        CodeCount = 33;
        ReadDataForm form;
        form.show();
        // Stopped once it has shown a code; no count on the bar meanwhile.
        QString barText = "none";
        connect(Field(form, "CurrentCodeText"), &QLineEdit::textChanged, &form, [&] {
            barText = form.findChild<QProgressBar*>()->text();
            PostKey(form);
        });
        Click(form, "Command2");
        AwaitEnd(form);
        QCOMPARE(Field(form, "CurrentCodeText")->text(), shownCode);
        QCOMPARE(barText, stuck ? "none" : "");
        QCOMPARE(Shown(shown), messages);
        QCOMPARE(Reading(form), "");
        QCOMPARE(int{CodeCount}, 33);
    }

    // "&Noise Analysis" through the run-length gate: 9 codes refused, 10 open the analysis.
    void noiseAnalysisGate() {
        SimBench bench;
        ScriptedMessages shown;
        QList<QWidget*> opened;
        ReadDataForm form([&](QWidget* parent) { opened << parent; });
        CodeCount = 9;
        Click(form, "Command3");
        QVERIFY(opened.isEmpty());
        CodeCount = 10;
        Click(form, "Command3");
        QCOMPARE(opened, QList<QWidget*>{&form});
        QCOMPARE(Shown(shown), Messages{TooFew});
    }
};

QTEST_MAIN(ReadDataFormTest)
#include "tst_readdataform.moc"
