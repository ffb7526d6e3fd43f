#include <qcustomplot.h>

#include <QClipboard>
#include <QGroupBox>
#include <QPushButton>
#include <QtTest>
#include <cmath>
#include <limits>

#include "analysis/spectrum_view.h"
#include "app/openers.h"
#include "charts/graphform.h"
#include "charts/histform.h"
#include "charts/spectrumform.h"
#include "tests/charts/chart_fixture.h"
#include "tests/support/scripted_messages.h"
#include "tests/support/sim_bench.h"
#include "ui/shared_run.h"

namespace {

// 64-point segments at 100 Hz: bins 1.5625 Hz apart up to 50 Hz, a flat 50 nV/rtHz floor and a
// tone of 900 nV/rtHz in the bin at 25 Hz.
kx::SpectrumView Synthetic(bool tone, double thdDb = -90.25) {
    kx::SpectrumView view;
    view.rateHz = 100;
    view.segment = 64;
    view.window = "hann";
    for (int k = 0; k <= 32; ++k) {
        view.frequencyHz.push_back(k * 1.5625);
        view.nsdNvPerRtHz.push_back(k == 16 ? 900 : 50);
    }
    view.whiteNsdNvPerRtHz = 50;
    view.spurs = {{25, 12.5}, {50, 0.3}};
    if (tone) view.tone = kx::SpectrumTone{25, 12.5, 74.1, thdDb, 74.0, 95.5, 12.0, 13.25};
    return view;
}

QString Figures(const QWidget& form) {
    QStringList texts;
    for (const char* name : {"RateLabel", "SegmentLabel", "WhiteLabel", "Spur1Label", "Spur2Label",
                             "Spur3Label", "ToneLabel", "SNRLabel", "THDLabel", "SINADLabel",
                             "SFDRLabel", "ENOBLabel", "ENOBFullScaleLabel"})
        texts << Text(form, name);
    return texts.join('|');
}

// Acts on the modal screens as they come up, one step per screen, from a timer: each action runs
// on its own so the screen it opens can be met by the next step.
struct ModalScript {
    struct Step {
        QString form;
        std::function<void(QWidget*)> act;
    };
    std::vector<Step> steps;
    size_t next = 0;
    QTimer timer;

    explicit ModalScript(std::vector<Step> s) : steps(std::move(s)) {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || next >= steps.size() || modal->objectName() != steps[next].form) return;
            QTimer::singleShot(0, modal, [modal, act = steps[next].act] { act(modal); });
            ++next;
        });
        timer.start();
    }
};

void Click(QWidget* form, const char* button) {
    form->findChild<QPushButton*>(button)->click();
}

}  // namespace

class SpectrumFormTest : public QObject {
    Q_OBJECT

private slots:
    void figuresChartAndReadout_data() {
        QTest::addColumn<bool>("tone");
        QTest::addColumn<double>("thd");
        QTest::addColumn<QString>("figures");
        QTest::addColumn<QString>("enobSpoken");
        QTest::newRow("a tone")
            << true << -90.25
            << "100 Hz|64 points, Hann|50 nV/rtHz|25 Hz, 12.5 uV|50 Hz, 0.3 uV||"
               "25 Hz, 12.5 uV|74.10 dB|-90.25 dB|74.00 dB|95.50 dB|12.00 bits|13.25 bits"
            << "ENOB (full scale) 13.25 bits";
        QTest::newRow("a tone, no harmonic above the noise")
            << true << -std::numeric_limits<double>::infinity()
            << "100 Hz|64 points, Hann|50 nV/rtHz|25 Hz, 12.5 uV|50 Hz, 0.3 uV||"
               "25 Hz, 12.5 uV|74.10 dB|below the noise|74.00 dB|95.50 dB|12.00 bits|13.25 bits"
            << "ENOB (full scale) 13.25 bits";
        QTest::newRow("no tone")
            << false << 0.0
            << "100 Hz|64 points, Hann|50 nV/rtHz|25 Hz, 12.5 uV|50 Hz, 0.3 uV||"
               "no tone||||||"
            << "ENOB (full scale) none";
    }
    void figuresChartAndReadout() {
        QFETCH(bool, tone);
        QFETCH(double, thd);
        QFETCH(QString, figures);
        QFETCH(QString, enobSpoken);
        SpectrumForm form(Synthetic(tone, thd));
        QCOMPARE(form.windowTitle(), "KX3105 Evaluation Software - Spectrum");
        QCOMPARE(Figures(form), figures);
        QCOMPARE(form.findChild<QLabel*>("ENOBFullScaleLabel")->accessibleName(), enobSpoken);

        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* plot = form.findChild<QCustomPlot*>("Strip1");
        plot->replot();
        QCOMPARE(plot->xAxis->scaleType(), QCPAxis::stLogarithmic);
        QCOMPARE(plot->yAxis->scaleType(), QCPAxis::stLogarithmic);
        QVERIFY(plot->xAxis->grid()->visible() && plot->yAxis->grid()->visible());
        // 0 Hz has no place on a log axis; the view runs from the first bin to 50 Hz.
        QCOMPARE(plot->graph(0)->dataCount(), 32);
        QCOMPARE(plot->xAxis->range().lower, 1.5625);
        QCOMPARE(plot->xAxis->range().upper, 50.0);

        auto moveTo = [plot](double hz) {
            QTest::mouseMove(plot, QPoint(qRound(plot->xAxis->coordToPixel(hz)),
                                          qRound(plot->yAxis->coordToPixel(100))));
        };
        moveTo(25.3);
        QCOMPARE(Text(form, "Label3"), "25");
        QCOMPARE(Text(form, "Label4"), "900");
        moveTo(24);  // nearer 23.44 than 25 on a log axis
        QCOMPARE(Text(form, "Label3"), "23.44");
        QCOMPARE(Text(form, "Label4"), "50");

        plot->findChild<QAction*>("CopyDataAction")->trigger();
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY2(copied.startsWith("Frequency (Hz)\tDensity (nV/rtHz)\n0\t50\n1.5625\t50\n"),
                 qPrintable(copied));
        QVERIFY(copied.contains("\n25\t900\n") && copied.endsWith("\n50\t50\n"));
        QVERIFY(plot->findChild<QAction*>("SaveImageAction"));
    }

    // The real screens: the noise analysis's button and the noise plot's menu both open the
    // window, at the update rate the board's mode and filter registers give (power-on filter
    // word 45 hex with chopping: 19.79 Hz).
    void opensFromBothPlaces() {
        SimBench bench;
        ScriptedMessages messages;
        // 2048 codes: a sine of 200 codes peak at an eighth of the update rate, with a little
        // deterministic jitter as noise.
        SampleBuffer = {0.0};
        for (int i = 0; i < 2048; ++i)
            SampleBuffer.push_back(std::round(0x800000 + 200 * std::sin(2 * M_PI * i / 8) +
                                              ((i * 7919) % 11 - 5) / 2.0));
        CodeCount = 2048;

        QStringList seen;
        auto record = [&seen](QWidget* spectrum) {
            seen << spectrum->objectName() + ": " + Text(*spectrum, "RateLabel") + ", " +
                        Text(*spectrum, "ToneLabel").left(8);
            static_cast<QDialog*>(spectrum)->reject();
        };
        auto reject = [](QWidget* form) { static_cast<QDialog*>(form)->reject(); };
        ModalScript script(
            {{"NoiseForm", [](QWidget* f) { Click(f, "CommandSpectrum"); }},
             {"SpectrumForm", record},
             {"NoiseForm", [](QWidget* f) { Click(f, "Command1"); }},
             {"GraphForm", [](QWidget* f) { f->findChild<QAction*>("SpectrumAction")->trigger(); }},
             {"SpectrumForm", record},
             {"GraphForm", reject},
             {"NoiseForm", reject}});
        QTimer::singleShot(10000, [] {
            while (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        kx::RealMainMenuOpeners().noise(nullptr);
        QCOMPARE(script.next, script.steps.size());
        QCOMPARE(seen, QStringList({"SpectrumForm: 19.79 Hz, 2.473 Hz",
                                    "SpectrumForm: 19.79 Hz, 2.473 Hz"}));
        QVERIFY(messages.shown.empty());
    }

    // A run that knows the rate it was taken at (a capture, the Live View's Keep) is shown at
    // its own, whatever the board is set to now; one that does not (a data file) at the board's.
    void theRunsOwnRateFirst() {
        SimBench bench;  // power-on: 19.79 Hz
        kx::AnalysedRun run;
        for (int i = 0; i < 2048; ++i)
            run.run.codes.push_back(0x800000 + int(std::lround(200 * std::sin(2 * M_PI * i / 8))));
        run.scaling = kx::Scaling::Shown(0x07, 2.5f);
        std::string error;
        const auto atBoards = kx::AnalysedRunSpectrum(run, kx::ProgramLink(), error);
        QVERIFY2(atBoards, error.c_str());
        QCOMPARE(atBoards->rateHz, 32768.0 / (8 * 0x45) / 3);
        run.run.rateHz = 105.03;
        const auto atOwn = kx::AnalysedRunSpectrum(run, kx::ProgramLink(), error);
        QVERIFY2(atOwn, error.c_str());
        QCOMPARE(atOwn->rateHz, 105.03);
        QVERIFY(std::abs(atOwn->tone->hz - 105.03 / 8) < 0.1);
    }

    void refusals_data() {
        QTest::addColumn<int>("filterWord");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("message");
        QTest::newRow("the filter register reads 0") << 0x00 << 100 << "Error Reading from KX3105";
        QTest::newRow("too short a run")
            << 0x45 << 20 << "No spectrum: the run holds 20 codes; a spectrum needs at least 64";
    }
    void refusals() {
        QFETCH(int, filterWord);
        QFETCH(int, count);
        QFETCH(QString, message);
        SimBench bench;
        WriteRegister(0x03, 8, filterWord);
        ScriptedMessages messages;
        SampleBuffer.assign(size_t(count) + 1, 8388608.0);
        CodeCount = int16_t(count);
        QTimer::singleShot(2000, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        });
        kx::OpenSpectrum(nullptr, kx::AnalysedRun{kx::SharedRun(), 0, 0, std::nullopt});
        const kx::Message refusal{message.toStdString(), "KX3105 Evaluation Software",
                                  kx::Icon::Warning, kx::Buttons::Ok};
        QCOMPARE(messages.shown, std::vector<kx::Message>{refusal});
        QVERIFY(!QApplication::overrideCursor());
    }

    // Every control of the three chart screens has a name a screen reader speaks, and an object
    // name, before the mouse has filled any readout.
    void everyControlIsNamed_data() {
        QTest::addColumn<QString>("screen");
        QTest::newRow("Spectrum") << "SpectrumForm";
        QTest::newRow("noise plot") << "GraphForm";
        QTest::newRow("histogram") << "HistForm";
    }
    void everyControlIsNamed() {
        QFETCH(QString, screen);
        const kx::AnalysedRun input = UseRun({8388612, 8388610, 8388615, 8388620, 8388611, 8388613,
                                              8388614, 8388612, 8388617, 8388616},
                                             8388610, 8388620);
        std::unique_ptr<QDialog> form;
        if (screen == "SpectrumForm")
            form = std::make_unique<SpectrumForm>(Synthetic(false));
        else if (screen == "GraphForm")
            form = std::make_unique<GraphForm>(input, [](QWidget*, const kx::AnalysedRun&) {});
        else
            form = std::make_unique<HistForm>(input);
        const QList<QWidget*> controls = form->findChildren<QWidget*>();
        QVERIFY(controls.size() >= 9);
        for (QWidget* control : controls) {
            // Its own name: not the frame's title, which Qt lends to an unnamed control in it.
            QString name = control->accessibleName();
            if (auto* label = qobject_cast<QLabel*>(control); label && name.isEmpty())
                name = label->text();
            if (auto* button = qobject_cast<QAbstractButton*>(control); button && name.isEmpty())
                name = button->text();
            if (auto* frame = qobject_cast<QGroupBox*>(control); frame && name.isEmpty())
                name = frame->title();
            QVERIFY2(!control->objectName().isEmpty(), control->metaObject()->className());
            QVERIFY2(!name.isEmpty(), qPrintable(control->objectName()));
        }
    }
};

QTEST_MAIN(SpectrumFormTest)
#include "tst_spectrumform.moc"
