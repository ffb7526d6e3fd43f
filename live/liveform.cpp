#include "live/liveform.h"

#include <qcustomplot.h>

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>
#include <tuple>

#include "acquisition/capture.h"
#include "acquisition/read_run.h"
#include "acquisition/settings.h"
#include "board/program_port.h"
#include "converter/adc_control_fields.h"
#include "converter/control_logic.h"
#include "converter/filter_logic.h"
#include "converter/register_update.h"
#include "core/globals.h"
#include "core/hex.h"
#include "core/numtext.h"
#include "live/live_charts.h"
#include "live/live_figures.h"
#include "ui/board_runner.h"
#include "ui/shared_run.h"

namespace {

using kx::live::Span;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QString Now() {
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

// The filter words the rate list offers: from the fastest rate down to the slowest, with the
// power-on word among them.
constexpr int FilterWords[] = {3,  4,  5,  6,  8,  10,  13,  16,  20,  26, 32,
                               40, 50, 64, 69, 80, 100, 128, 160, 200, 255};

// The analysis screens take at most this many codes; "Keep" keeps the latest ones.
constexpr size_t KeepLimit = 5000;

int32_t ReadRegister(const RegisterInfo& info) {
    Register reg = Register::For(info);
    return kx::ReadValue(reg);
}

QComboBox* Choice(const char* name, const QString& caption, QWidget* parent, QGridLayout* grid,
                  int column) {
    auto* label = new QLabel(caption, parent);
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    label->setBuddy(box);
    grid->addWidget(label, 0, column);
    grid->addWidget(box, 1, column);
    return box;
}

// A combo box speaks its caption and its value.
void Speak(QComboBox* box, const QString& caption) {
    box->setAccessibleName(caption + QStringLiteral(": ") + box->currentText());
}

}  // namespace

LiveForm::LiveForm(QWidget* parent)
    : ScreenDialog(parent), runner_(new kx::BoardRunner(this)), timer_(new QTimer(this)) {
    setObjectName(QStringLiteral("LiveForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software - Live View"));

    // The settings the converter holds now are where the window starts.
    modeAtOpening_ = ReadRegister(RegisterMap::Mode);
    const int32_t control = ReadRegister(RegisterMap::AdcControl);
    const int32_t filter = ReadRegister(RegisterMap::Filter);

    QGroupBox* settings = kx::NamedFrame("SettingsFrame", QStringLiteral("Settings"), this);
    auto* grid = new QGridLayout(settings);
    channel_ = Choice("LiveChannel", QStringLiteral("&Channel"), settings, grid, 0);
    range_ = Choice("LiveRange", QStringLiteral("Ra&nge"), settings, grid, 1);
    polarity_ = Choice("LivePolarity", QStringLiteral("&Polarity"), settings, grid, 2);
    rate_ = Choice("LiveRate", QStringLiteral("Ra&te"), settings, grid, 3);
    window_ = Choice("LiveWindow", QStringLiteral("&Window"), settings, grid, 4);
    const bool chcon = kx::control::ChconSet(modeAtOpening_);
    for (int code = 0; code < 16; ++code)
        channel_->addItem(Q(kx::adc::ChannelCaption(code, chcon)), code);
    channel_->setCurrentIndex(kx::adc::ChannelCode(control));
    polarity_->addItem(QStringLiteral("Bipolar"), false);
    polarity_->addItem(QStringLiteral("Unipolar"), true);
    polarity_->setCurrentIndex(kx::adc::IsUnipolar(control) ? 1 : 0);
    FillRanges();
    range_->setCurrentIndex(kx::adc::RangeCode(control));
    FillRates();
    rate_->setCurrentIndex(std::max(0, rate_->findData(filter)));
    for (Span s : kx::live::Spans)
        window_->addItem(QLatin1String(kx::live::SpanName(s)), static_cast<int>(s));
    window_->setCurrentIndex(1);

    run_ = kx::NamedButton("RunButton", QStringLiteral("&Run"), this);
    stop_ = kx::NamedButton("StopButton", QStringLiteral("&Stop"), this);
    keep_ = kx::NamedButton("KeepButton", QStringLiteral("&Keep"), this);
    auto* back = kx::NamedButton("BackButton", QStringLiteral("B&ack"), this);
    keep_->setToolTip(
        QStringLiteral("The latest codes of the window, at most 5000, become the run "
                       "the analysis, the plots and Write File work on"));
    grid->addWidget(run_, 0, 5);
    grid->addWidget(stop_, 0, 6);
    grid->addWidget(keep_, 1, 5);
    grid->addWidget(back, 1, 6);
    stop_->setEnabled(false);

    strip_ = new QCustomPlot(this);
    strip_->setObjectName(QStringLiteral("StripChart"));
    strip_->setAccessibleName(QStringLiteral("Strip chart"));
    histogram_ = new QCustomPlot(this);
    histogram_->setObjectName(QStringLiteral("LiveHistogram"));
    histogram_->setAccessibleName(QStringLiteral("Histogram"));
    density_ = new QCustomPlot(this);
    density_->setObjectName(QStringLiteral("LiveDensity"));
    density_->setAccessibleName(QStringLiteral("Noise density"));
    kx::live::SetupStripChart(strip_);
    kx::live::SetupLiveHistogram(histogram_);
    kx::live::SetupDensityChart(density_);
    strip_->setMinimumSize(760, 260);

    QGroupBox* figures =
        kx::NamedFrame("FiguresFrame", QStringLiteral("Figures of the window"), this);
    auto* fg = new QGridLayout(figures);
    auto figure = [&](const char* name, int row, int column) {
        QLabel* l = kx::NamedLabel(name, QStringLiteral("-"), figures);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        fg->addWidget(l, row, column, Qt::AlignRight);
        return l;
    };
    fg->addWidget(new QLabel(QStringLiteral("Codes"), figures), 0, 1, Qt::AlignRight);
    fg->addWidget(new QLabel(QStringLiteral("Volts"), figures), 0, 2, Qt::AlignRight);
    const char* rows[] = {
        "Mean",        "RMS noise",    "Peak-to-peak", "Effective resolution", "Noise-free bits",
        "White level", "In the window"};
    for (int r = 0; r < 7; ++r)
        fg->addWidget(new QLabel(QLatin1String(rows[r]), figures), r + 1, 0);
    figures_.meanCodes = figure("MeanCodes", 1, 1);
    figures_.meanVolts = figure("MeanVolts", 1, 2);
    figures_.rmsCodes = figure("RmsCodes", 2, 1);
    figures_.rmsVolts = figure("RmsVolts", 2, 2);
    figures_.pkPkCodes = figure("PkPkCodes", 3, 1);
    figures_.pkPkVolts = figure("PkPkVolts", 3, 2);
    figures_.effective = figure("EffectiveResolution", 4, 1);
    figures_.noiseFree = figure("NoiseFreeBits", 5, 1);
    figures_.white = figure("WhiteLevel", 6, 2);
    figures_.codes = figure("WindowCodes", 7, 1);
    fg->removeWidget(figures_.codes);
    fg->addWidget(figures_.codes, 7, 1, 1, 2, Qt::AlignRight);
    fg->setRowStretch(8, 1);
    figures->setMinimumWidth(330);

    status_ = kx::NamedLabel("StatusLine", QStringLiteral("Stopped: press Run"), this);
    status_->setAccessibleName(QStringLiteral("Status"));
    status_->setWordWrap(true);

    auto* lower = new QHBoxLayout;
    lower->addWidget(histogram_, 1);
    lower->addWidget(density_, 1);
    auto* charts = new QVBoxLayout;
    charts->addWidget(strip_, 3);
    charts->addLayout(lower, 2);
    auto* middle = new QHBoxLayout;
    middle->addLayout(charts, 1);
    middle->addWidget(figures);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(settings);
    layout->addLayout(middle, 1);
    layout->addWidget(status_);
    resize(1180, 760);

    connect(run_, &QPushButton::clicked, this, &LiveForm::Run_Click);
    connect(stop_, &QPushButton::clicked, this, &LiveForm::Stop_Click);
    connect(keep_, &QPushButton::clicked, this, &LiveForm::Keep_Click);
    connect(back, &QPushButton::clicked, this, &LiveForm::reject);
    connect(channel_, &QComboBox::currentIndexChanged, this,
            [this] { SettingChanged(QStringLiteral("channel")); });
    connect(range_, &QComboBox::currentIndexChanged, this,
            [this] { SettingChanged(QStringLiteral("range")); });
    connect(polarity_, &QComboBox::currentIndexChanged, this, [this] {
        const int range = range_->currentIndex();
        {
            const QSignalBlocker quiet(range_);
            FillRanges();
            range_->setCurrentIndex(range);
        }
        SettingChanged(QStringLiteral("coding"));
    });
    connect(rate_, &QComboBox::currentIndexChanged, this,
            [this] { SettingChanged(QStringLiteral("rate")); });
    connect(window_, &QComboBox::currentIndexChanged, this, [this] {
        Speak(window_, QStringLiteral("Window"));
        dirty_ = true;
        Redraw();
    });
    for (auto [box, caption] : {std::pair{channel_, "Channel"},
                                {range_, "Range"},
                                {polarity_, "Polarity"},
                                {rate_, "Rate"},
                                {window_, "Window"}})
        Speak(box, QLatin1String(caption));
    connect(timer_, &QTimer::timeout, this, &LiveForm::Redraw);
    timer_->start(RedrawMs);
    ShowFigures();
}

LiveForm::~LiveForm() {
    runner_->stopAndWait();
}

uint64_t LiveForm::codesHandedOn() const {
    return queue_ ? queue_->pushed() : 0;
}

void LiveForm::reject() {
    runner_->stopAndWait();
    QDialog::reject();
}

void LiveForm::closeEvent(QCloseEvent* event) {
    runner_->stopAndWait();
    QDialog::closeEvent(event);
}

void LiveForm::FillRanges() {
    const bool unipolar = polarity_->currentData().toBool();
    range_->clear();
    for (int code = 0; code < 8; ++code)
        range_->addItem(Q(kx::adc::RangeCaption(code, unipolar)), code);
}

void LiveForm::FillRates() {
    const bool chop = kx::ChopEnabledIn(modeAtOpening_);
    const int32_t filter = ReadRegister(RegisterMap::Filter);
    std::vector<int> words(std::begin(FilterWords), std::end(FilterWords));
    if (filter >= kx::MinFilterWord(chop) &&
        std::find(words.begin(), words.end(), filter) == words.end())
        words.push_back(filter);
    std::sort(words.begin(), words.end());
    for (const int word : words)
        if (word >= kx::MinFilterWord(chop))
            rate_->addItem(QStringLiteral("%1 Hz (filter word %2)")
                               .arg(Q(kx::FormatPattern(kx::UpdateRate(word, chop), "0.00")),
                                    Q(kx::Hex(word))),
                           word);
}

Span LiveForm::span() const {
    return static_cast<Span>(window_->currentData().toInt());
}

void LiveForm::SetRunning(bool on) {
    run_->setEnabled(!on);
    stop_->setEnabled(on);
}

void LiveForm::Run_Click() {
    if (runner_->running()) return;
    Start(QString());
}

void LiveForm::Stop_Click() {
    restart_.reset();
    runner_->requestStop();
}

void LiveForm::SettingChanged(const QString& what) {
    for (auto [box, caption] : {std::pair{channel_, "Channel"},
                                {range_, "Range"},
                                {polarity_, "Polarity"},
                                {rate_, "Rate"}})
        Speak(box, QLatin1String(caption));
    if (!runner_->running()) return;
    // The read ends first; its end starts the next with the new settings.
    restart_ = what + QStringLiteral(" changed");
    runner_->requestStop();
}

void LiveForm::Start(const QString& why) {
    kx::CaptureRequest request;
    request.count = kx::UntilStopped;
    request.settings.channel = channel_->currentData().toInt();
    request.settings.range = range_->currentData().toInt();
    request.settings.unipolar = polarity_->currentData().toBool();
    request.settings.filter = rate_->currentData().toInt();
    request.settings.referenceVolts = ReferenceVoltage;
    // The filter settles after every start, written or not: the view shows a steady run.
    request.settle = SettleResults;
    auto queue = std::make_shared<kx::live::CodeQueue>();
    queue_ = queue;
    history_.reset();
    struct Outcome {
        bool started = false;
        kx::ReadEnd end = kx::ReadEnd::Done;
    };
    auto outcome = std::make_shared<Outcome>();
    SetRunning(true);
    status_->setText(QStringLiteral("Starting..."));
    runner_->start(
        [this, queue, request, why, outcome](kx::BoardWork& work) {
            const auto started = [&](const kx::Run& run) {
                outcome->started = true;
                work.report([this, run, why] {
                    setAs_ = run;
                    scaling_ = kx::Scaling::Of(run.adcControl.value_or(0x07), run.referenceVolts);
                    history_ = std::make_unique<kx::live::LiveHistory>(run.rateHz.value_or(1.0),
                                                                       scaling_.lsbVolts);
                    kx::live::SetChartScaling(strip_, histogram_, scaling_);
                    since_ = QStringLiteral("since %1").arg(Now());
                    if (!why.isEmpty()) since_ += QStringLiteral(" (") + why + QStringLiteral(")");
                    status_->setText(QStringLiteral("Reading %1").arg(since_));
                    dirty_ = true;
                });
            };
            const auto take = [&queue](int32_t code, double) {
                queue->push(code);
                return true;
            };
            outcome->end =
                kx::Capture(kx::ProgramLink(), request, work.stopFlag(), started, take).end;
        },
        [this, outcome](std::vector<kx::Message> messages, bool closing) {
            Redraw();
            if (closing) return;
            SetRunning(false);
            QStringList faults;
            for (const kx::Message& m : messages)
                faults << Q(m.text);
            if (outcome->started && outcome->end == kx::ReadEnd::TimedOut)
                faults << QLatin1String(kx::run::ReadErrorMessage);
            if (!faults.isEmpty()) {
                // A fault is said here, once, and the read stays stopped.
                restart_.reset();
                status_->setText(QStringLiteral("Stopped at %1: %2").arg(Now(), faults.join("; ")));
                return;
            }
            if (restart_) {
                const QString why = *restart_;
                restart_.reset();
                Start(why);
                return;
            }
            status_->setText(QStringLiteral("Stopped at %1").arg(Now()));
        });
}

void LiveForm::Redraw() {
    if (history_ && queue_) {
        queue_->takeAll(incoming_);
        if (!incoming_.empty()) {
            history_->append(incoming_);
            incoming_.clear();
            dirty_ = true;
        }
    }
    // While a read runs the charts are drawn at every tick, new codes or not.
    if (!history_ || (!dirty_ && !runner_->running())) return;
    dirty_ = false;
    const Span s = span();
    const QString window =
        s == Span::All ? QStringLiteral("everything")
                       : QStringLiteral("the last %1").arg(QLatin1String(kx::live::SpanName(s)));
    kx::live::SetChartTitle(
        strip_, QStringLiteral("%1, %2, %3 Hz: %4, %5")
                    .arg(channel_->currentText(), range_->currentText(),
                         Q(kx::FormatPattern(history_->rateHz(), "0.00")), window, since_));
    kx::live::ShowStrip(strip_, history_->envelope(s, std::max(100, strip_->width())),
                        kx::live::SpanSeconds(s));
    kx::live::SetChartTitle(histogram_, QStringLiteral("Histogram, %1").arg(since_));
    kx::live::ShowHistogram(histogram_, history_->stats(s).counts());
    const auto density = history_->density(s);
    kx::live::SetChartTitle(
        density_,
        density ? QStringLiteral("Noise density, %1 segment%2 of %3, %4")
                      .arg(density->segments)
                      .arg(QLatin1String(density->segments == 1 ? "" : "s"))
                      .arg(density->segment)
                      .arg(since_)
                : QStringLiteral("Noise density: waiting for %1 codes").arg(history_->segment()));
    kx::live::ShowDensity(density_, density);
    ShowFigures();
    emit redrawn(history_->total());
}

void LiveForm::ShowFigures() {
    kx::live::FigureTexts t;
    if (history_) {
        const Span s = span();
        t = kx::live::LiveFigureTexts(history_->stats(s).statistics(), history_->windowCount(s),
                                      scaling_, history_->density(s), history_->rateHz());
    } else {
        t = kx::live::LiveFigureTexts({}, 0, scaling_, std::nullopt, 0);
    }
    // A screen reader speaks each figure with its row and column.
    const std::tuple<QLabel*, const char*, std::string> shown[] = {
        {figures_.meanCodes, "Mean in codes", t.meanCodes},
        {figures_.meanVolts, "Mean in volts", t.meanVolts},
        {figures_.rmsCodes, "RMS noise in codes", t.rmsCodes},
        {figures_.rmsVolts, "RMS noise in volts", t.rmsVolts},
        {figures_.pkPkCodes, "Peak-to-peak in codes", t.pkPkCodes},
        {figures_.pkPkVolts, "Peak-to-peak in volts", t.pkPkVolts},
        {figures_.effective, "Effective resolution", t.effectiveResolution},
        {figures_.noiseFree, "Noise-free bits", t.noiseFree},
        {figures_.white, "White level", t.whiteLevel},
        {figures_.codes, "In the window", t.codes}};
    for (const auto& [label, caption, text] : shown) {
        const QString value = Q(text);
        if (label->text() == value && !label->accessibleName().isEmpty()) continue;
        label->setText(value);
        label->setAccessibleName(QLatin1String(caption) + QStringLiteral(": ") + value);
    }
}

void LiveForm::Keep_Click() {
    if (!history_ || history_->total() == 0) {
        status_->setText(QStringLiteral("Nothing to keep: no codes read yet"));
        return;
    }
    const Span s = span();
    kx::Run run = setAs_;
    run.codes = history_->latest(s, KeepLimit);
    run.referenceVolts = ReferenceVoltage;
    const auto back = std::chrono::duration<double>(double(run.codes.size()) / history_->rateHz());
    run.taken = std::chrono::system_clock::now() -
                std::chrono::duration_cast<std::chrono::system_clock::duration>(back);
    // The one place a run becomes the program's, as at the end of a read.
    kx::PublishRun(run, run.codes.size());
    const QString count = QString::number(run.codes.size());
    status_->setText(
        run.codes.size() >= 10
            ? QStringLiteral("Kept the latest %1 codes of the window as the run").arg(count)
            : QStringLiteral("Kept %1 codes as the run: the analysis takes 10 to 5000").arg(count));
}
