#include <qcustomplot.h>
#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <nlohmann/json.hpp>
#include <random>

#include "acquisition/read_run.h"
#include "analysis/noiseform.h"
#include "converter/register_update.h"
#include "core/globals.h"
#include "files/datafile.h"
#include "live/live_feed.h"
#include "live/liveform.h"
#include "maths/spectrum.h"
#include "tests/support/scripted_messages.h"
#include "tests/support/sim_bench.h"
#include "ui/board_runner.h"
#include "ui/shared_run.h"

// The live view: what it keeps of a read against the same figures made from the codes afresh,
// and the window on the fast simulated board (every conversion arrives, Keep makes the run,
// a change restarts the read, a fault is said in the window).

namespace {

template <class T>
T* Get(const QWidget& w, const char* name) {
    T* c = w.findChild<T*>(name);
    if (!c) qFatal("no control %s", name);
    return c;
}

std::vector<int32_t> Codes(size_t n, uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 3.0);
    std::vector<int32_t> codes(n);
    for (size_t i = 0; i < n; ++i)  // noise on a slow ramp, so the windows differ
        codes[i] = 0x800000 + static_cast<int32_t>(std::lround(noise(random))) +
                   static_cast<int32_t>(i / 97);
    return codes;
}

void WaitForStop(LiveForm& form) {
    Get<QPushButton>(form, "StopButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.runner().running(), 30000);
}

}  // namespace

class LiveTest : public QObject {
    Q_OBJECT

private slots:
    // Each window's figures, extremes and density are those of its codes taken afresh, however
    // the codes arrived and however long the read ran past the window (the ring wrapped for the
    // longest ones).
    void windowsMatchTheirCodes_data() {
        QTest::addColumn<double>("rate");
        QTest::addColumn<int>("codes");
        QTest::addColumn<int>("batch");
        QTest::newRow("under 5 s") << 100.0 << 300 << 7;
        QTest::newRow("past 5 s and 30 s") << 100.0 << 5000 << 1000;
        QTest::newRow("past ten minutes: the ring wrapped") << 10.0 << 7777 << 333;
        QTest::newRow("one code at a time") << 50.0 << 1700 << 1;
    }
    void windowsMatchTheirCodes() {
        QFETCH(double, rate);
        QFETCH(int, codes);
        QFETCH(int, batch);
        const auto all = Codes(size_t(codes), uint32_t(codes));
        const double lsb = 2.5 / 8388608.0;
        kx::live::LiveHistory history(rate, lsb);
        for (size_t at = 0; at < all.size(); at += size_t(batch))
            history.append(std::span(all).subspan(at, std::min(size_t(batch), all.size() - at)));
        QCOMPARE(history.total(), int64_t(codes));
        for (const kx::live::Span span : kx::live::Spans) {
            const char* name = kx::live::SpanName(span);
            const double seconds = kx::live::SpanSeconds(span);
            const size_t n = seconds == 0
                                 ? all.size()
                                 : std::min(all.size(), size_t(std::llround(seconds * rate)));
            QCOMPARE(history.windowCount(span), int64_t(n));
            const std::span<const int32_t> window(all.data() + all.size() - n, n);
            const auto want = kx::noise::ComputeNoiseStatistics(window);
            const auto got = history.stats(span).statistics();
            QVERIFY2(std::abs(got.averageCode - want.averageCode) < 1e-9, name);
            QVERIFY2(std::abs(got.rmsExactCodes - want.rmsExactCodes) < 1e-9, name);
            QCOMPARE(got.minCode, want.minCode);
            QCOMPARE(got.maxCode, want.maxCode);
            QCOMPARE(got.rmsNoiseCodes, want.rmsNoiseCodes);

            // The strip chart's envelope spans the window's extremes exactly.
            int32_t low = INT32_MAX, high = INT32_MIN;
            for (const auto& p : history.envelope(span, 100)) {
                low = std::min(low, p.low);
                high = std::max(high, p.high);
                QVERIFY(p.seconds <= 0 && p.seconds >= -double(history.total()) / rate);
            }
            QCOMPARE(low, want.minCode);
            QCOMPARE(high, want.maxCode);

            // The averaged density of a window whose segments fill it is Welch's over its codes.
            const int seg = history.segment();
            const size_t step = size_t(seg - seg / 2);
            if (span == kx::live::Span::All && all.size() >= size_t(seg)) {
                const size_t used = size_t(seg) + (all.size() - size_t(seg)) / step * step;
                std::vector<double> first(all.begin(), all.begin() + long(used));
                std::string error;
                const auto welch = kx::spectrum::WelchDensity(
                    first, lsb, rate, {kx::spectrum::Window::Hann, seg}, error);
                const auto live = history.density(span);
                QVERIFY(welch && live);
                QCOMPARE(live->segments, welch->segments);
                QCOMPARE(live->nvPerRtHz.size(), welch->nvPerRtHz.size());
                for (size_t k = 0; k < live->nvPerRtHz.size(); ++k)
                    QVERIFY(std::abs(live->nvPerRtHz[k] - welch->nvPerRtHz[k]) <=
                            1e-9 * welch->nvPerRtHz[k] + 1e-12);
            }
        }
        // The latest codes of a window, oldest first.
        const auto latest = history.latest(kx::live::Span::All, 50);
        QVERIFY(std::equal(latest.begin(), latest.end(), all.end() - 50));
    }

    // Every conversion the board makes after the read starts reaches the window: none replaced
    // unread, none lost between the worker and the window's thread (the settling results dropped,
    // and at most one made but not read when Stop came).
    void everyConversionArrives() {
        SimBench bench;
        ScriptedMessages messages;
        LiveForm form;
        form.show();
        Get<QPushButton>(form, "RunButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(form.history() && form.history()->total() >= 30000, 60000);
        WaitForStop(form);
        const int64_t shown = form.history()->total();
        QCOMPARE(uint64_t(shown), form.codesHandedOn());
        QCOMPARE(bench.board.resultsReplaced(), uint64_t(0));
        const auto made = int64_t(bench.board.resultsProduced()) - LiveForm::SettleResults;
        QVERIFY2(made - shown == 0 || made - shown == 1,
                 qPrintable(QString("%1 made, %2 shown").arg(made).arg(shown)));
        QVERIFY(Get<QLabel>(form, "StatusLine")->text().startsWith("Stopped at"));
        QVERIFY(messages.shown.empty());
    }

    // "Keep" makes the latest codes of the window (5000 at most) the program's run, and the noise
    // analysis of it says what kx3105-cli analyse says of the same codes.
    void keepThenAnalysisMatchesTheTool() {
        SimBench bench;
        ScriptedMessages messages;
        bench.board.setInput(0, {0.0001, 0.6});
        LiveForm form;
        Get<QComboBox>(form, "LiveWindow")->setCurrentIndex(int(kx::live::Span::All));
        Get<QPushButton>(form, "RunButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(form.history() && form.history()->total() >= 6000, 60000);
        WaitForStop(form);
        Get<QPushButton>(form, "KeepButton")->click();
        QCOMPARE(Get<QLabel>(form, "StatusLine")->text(),
                 QString("Kept the latest 5000 codes of the window as the run"));
        const kx::Run run = kx::SharedRun();
        QCOMPARE(run.codes, form.history()->latest(kx::live::Span::All, 5000));
        QCOMPARE(int(CodeCount), 5000);

        NoiseForm noise(run);
        QStringList shown;
        for (const char* name :
             {"RefLabel", "LSBLabel", "RangeLabel", "CodesLabel", "RMSLabelLSB", "AverageLabel",
              "SpanLabel", "MaxLabel", "MinLabel", "RMSLabel", "PkPkLabel", "AvValueLabel"})
            shown << Get<QLabel>(noise, name)->text();

        // The tool is told the ADC control register the analysis read on opening.
        Register control = Register::For(RegisterMap::AdcControl);
        const int adcControl = kx::ReadValue(control);
        QTemporaryDir dir;
        const QString file = dir.filePath("kept.txt");
        QCOMPARE(
            kx::datafile::WriteRunFile(file.toStdString(), run.codes, kx::datafile::Form::Decimal),
            kx::datafile::WriteStatus::Written);
        QProcess tool;
        tool.start(KX3105_CLI, {"analyse", file, "--adc-control", QString::number(adcControl, 16),
                                "--ref", "2.5", "--json"});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        const auto json = nlohmann::json::parse(tool.readAllStandardOutput().toStdString());
        QStringList said;
        for (const char* key : {"ref_voltage", "lsb_size", "input_range", "codes_read",
                                "rms_noise_codes", "average_code", "code_span", "max_code",
                                "min_code", "rms_noise", "pk_pk_noise", "average_value"})
            said << QString::fromStdString(json["labels"][key].get<std::string>());
        QCOMPARE(shown, said);
        QVERIFY(messages.shown.empty());
    }

    // A change of setting during a read restarts it with the new setting on the board, and the
    // charts and the status say since when; a read that finds no conversion stops with the
    // fault in the status line, no message box.
    void changeRestartsAndFaultIsSaid() {
        SimBench bench;
        ScriptedMessages messages;
        LiveForm form;
        auto* status = Get<QLabel>(form, "StatusLine");
        Get<QPushButton>(form, "RunButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(form.history() && form.history()->total() > 100, 60000);
        Get<QComboBox>(form, "LiveRange")->setCurrentIndex(2);
        QTRY_VERIFY_WITH_TIMEOUT(status->text().contains("(range changed)") && form.history() &&
                                     form.history()->total() > 100,
                                 60000);
        QVERIFY(form.runner().running());
        QVERIFY(Get<QCustomPlot>(form, "StripChart")
                    ->findChild<QCPTextElement*>()
                    ->text()
                    .contains("(range changed)"));

        WaitForStop(form);
        Register control = Register::For(RegisterMap::AdcControl);
        QCOMPARE(kx::ReadValue(control) & 0x07, 2);

        Get<QPushButton>(form, "RunButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(form.history() && form.history()->total() > 10, 60000);
        bench.board.armFaultAfterResults(kx::sim::Fault::ReadyStuck,
                                         bench.board.resultsProduced() + 50);
        QTRY_VERIFY_WITH_TIMEOUT(!form.runner().running(), 60000);
        QVERIFY2(status->text().startsWith("Stopped at ") &&
                     status->text().endsWith(QString(": ") + kx::run::ReadErrorMessage),
                 qPrintable(status->text()));
        QVERIFY(messages.shown.empty());
        QVERIFY(Get<QPushButton>(form, "RunButton")->isEnabled());
    }
};

QTEST_MAIN(LiveTest)
#include "tst_live.moc"
