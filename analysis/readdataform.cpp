#include "analysis/readdataform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <chrono>

#include "acquisition/read_run.h"
#include "analysis/noiseform.h"
#include "board/program_port.h"
#include "core/globals.h"
#include "core/hex.h"
#include "core/messages.h"
#include "ui/board_runner.h"
#include "ui/shared_run.h"

namespace kx {

void StopKeyEdit::keyPressEvent(QKeyEvent* event) {
    // Only keys that type something count; Shift or an arrow alone does not stop a read.
    if (!event->text().isEmpty()) {
        event->accept();
        emit stopRequested();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void EntryEdit::keyPressEvent(QKeyEvent* event) {
    QLineEdit::keyPressEvent(event);
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) event->accept();
}

}  // namespace kx

namespace {

// How often the progress bar moves during a read for analysis.
constexpr qint64 ProgressIntervalMs = 50;

// What a screen reader says before the read's time left and its end.
const QString TimeLeftCaption = QStringLiteral("Progress:");
const QString StatusCaption = QStringLiteral("Last read:");

}  // namespace

ReadDataForm::ReadDataForm(std::function<void(QWidget*)> noise, QWidget* parent)
    : ScreenDialog(parent), noise_(std::move(noise)), runner_(new kx::BoardRunner(this)) {
    setObjectName(QStringLiteral("ReadDataForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software - Read Data From KX3105"));

    QGroupBox* frame = kx::NamedFrame("Frame1", QStringLiteral("Read from Data Register"), this);
    auto* grid = new QGridLayout(frame);
    int row = 0;
    auto entry = [&](const char* name, const QString& caption, const QString& initial) {
        auto* label = new QLabel(caption, frame);
        auto* edit = new kx::EntryEdit(initial, frame);
        edit->setObjectName(QLatin1String(name));
        edit->setMaximumWidth(120);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        ++row;
        return edit;
    };
    numCodes_ =
        entry("NumCodesText", QStringLiteral("Number of Codes to Read :"), QStringLiteral("200"));
    delay_ = entry("DelayText", QStringLiteral("Delay Between Reads (mS) :"), QStringLiteral("0"));
    currentCode_ = entry("CurrentCodeText", QStringLiteral("Current Code :"), QString());
    currentCode_->setReadOnly(true);
    // "2.5" at every opening, whatever the reference in use.
    ref_ = entry("RefText", QStringLiteral("Reference Voltage :"),
                 QString::number(kx::DefaultReferenceVolts));

    readingLabel_ = kx::NamedLabel("ReadingLabel", QString(), frame);
    readingLabel_->setMinimumWidth(220);
    grid->addWidget(readingLabel_, row++, 0, 1, 2);

    progress_ = new QProgressBar(frame);
    progress_->setObjectName(QStringLiteral("ReadProgress"));
    progress_->setAccessibleName(QStringLiteral("Codes read"));
    progress_->setRange(0, 1);
    progress_->setValue(0);
    // No count until there is a read for analysis to count.
    progress_->setFormat(QString());
    timeLeft_ = kx::NamedLabel("TimeLeftLabel", QString(), frame);
    kx::ShowLabelValue(timeLeft_, TimeLeftCaption, {});
    timeLeft_->setMinimumWidth(150);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(progress_, 1);
    progressRow->addWidget(timeLeft_);
    grid->addLayout(progressRow, row++, 0, 1, 2);
    status_ = kx::NamedLabel("StatusLabel", QString(), frame);
    kx::ShowLabelValue(status_, StatusCaption, {});
    grid->addWidget(status_, row++, 0, 1, 2);

    read_ = kx::NamedButton("Command1", QStringLiteral("Read Data for Ana&lysis"), this);
    display_ = kx::NamedButton("Command2", QStringLiteral("Read &Data for Display"), this);
    noiseButton_ = kx::NamedButton("Command3", QStringLiteral("&Noise Analysis"), this);
    stop_ = kx::NamedButton("StopButton", QStringLiteral("&Stop"), this);
    stop_->setEnabled(false);
    live_ = kx::NamedButton("LiveViewButton", QStringLiteral("Li&ve View"), this);
    live_->setEnabled(false);
    back_ = kx::NamedButton("Command4", QStringLiteral("B&ack"), this);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {read_, display_, stop_, noiseButton_, live_}) {
        b->setMinimumWidth(200);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    buttons->addWidget(back_);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Outside the layout and the visible area: it only has to hold the keyboard during a read.
    text1_ = new kx::StopKeyEdit(QStringLiteral("Text1"), this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setAccessibleName(QStringLiteral("Press any key to stop reading"));
    text1_->setGeometry(-400, -400, 60, 20);
    // Tab never lands on it; a read gives it the focus itself.
    text1_->setFocusPolicy(Qt::NoFocus);

    connect(read_, &QPushButton::clicked, this, &ReadDataForm::Command1_Click);
    connect(numCodes_, &QLineEdit::returnPressed, this, &ReadDataForm::Command1_Click);
    connect(display_, &QPushButton::clicked, this, &ReadDataForm::Command2_Click);
    connect(noiseButton_, &QPushButton::clicked, this, &ReadDataForm::Command3_Click);
    connect(back_, &QPushButton::clicked, this, &ReadDataForm::reject);
    connect(stop_, &QPushButton::clicked, this, &ReadDataForm::Stop_Click);
    connect(text1_, &kx::StopKeyEdit::stopRequested, this, &ReadDataForm::Text1_KeyPress);
    connect(ref_, &QLineEdit::returnPressed, this, &ReadDataForm::RefText_Enter);
}

ReadDataForm::~ReadDataForm() {
    // A screen that goes during a read stops it and keeps the codes read so far.
    runner_->stopAndWait();
}

void ReadDataForm::reject() {
    if (runner_->running()) {
        Stop_Click();
        return;
    }
    QDialog::reject();
}

void ReadDataForm::closeEvent(QCloseEvent* event) {
    // The read ends first, its worker is joined, and the port is back here before the window
    // goes; the codes read so far are kept.
    runner_->stopAndWait();
    QDialog::closeEvent(event);
}

void ReadDataForm::Refuse(QLineEdit* field) {
    field->clear();
    field->setFocus();
}

void ReadDataForm::SetReading(bool on) {
    if (on) focusBefore_ = QApplication::focusWidget();
    for (QWidget* w : std::initializer_list<QWidget*>{read_, display_, noiseButton_, back_,
                                                      numCodes_, delay_, ref_})
        w->setEnabled(!on);
    live_->setEnabled(!on && liveOpener_);
    stop_->setEnabled(on);
    readingLabel_->setText(on ? QString::fromLatin1(kx::run::ReadingNotice) : QString());
    if (on) {
        // Any key that types something stops the read: the keyboard goes to the stop-key line.
        text1_->setFocus();
        return;
    }
    // The keyboard goes back where it was, never to the hidden line that held it.
    QWidget* back = focusBefore_;
    if (!back || back == text1_ || back == stop_ || !back->isVisible() || !back->isEnabled())
        back = read_;
    back->setFocus();
}

void ReadDataForm::CodeStored(int count) {
    emit codeRead(count);
    // The bar repaints at once on each new value; at the fast rates that would cost more than a
    // conversion period, so it moves a few times a second and at the end.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - progressShownAt_ >= ProgressIntervalMs) {
        progress_->setValue(count);
        progressShownAt_ = now;
        kx::ShowLabelValue(timeLeft_, TimeLeftCaption,
                           QString::fromStdString(kx::run::TimeLeftText(
                               (now - readStartedAt_) / 1000.0, count, requested_)));
    }
}

void ReadDataForm::Command1_Click() {
    if (runner_->running()) return;
    const auto count = kx::run::ParseCodeCount(numCodes_->text().toStdString());
    if (!count) {
        Refuse(numCodes_);
        return;
    }
    // The worker fills a run of its own, which becomes the program's run when the read ends.
    struct Read {
        kx::Run run;
        kx::run::AnalysisReadEnd end = kx::run::AnalysisReadEnd::Done;
    };
    auto read = std::make_shared<Read>();
    read->run.taken = std::chrono::system_clock::now();
    read->run.board = CurrentPortBackend().describe();
    const int requested = *count;
    progress_->setFormat(QStringLiteral("%v of %m codes"));
    progress_->setRange(0, std::max(requested, 1));
    progress_->setValue(0);
    progressShownAt_ = readStartedAt_ = QDateTime::currentMSecsSinceEpoch();
    requested_ = requested;
    kx::ShowLabelValue(status_, StatusCaption, {});
    SetReading(true);
    runner_->start(
        [this, read, requested](kx::BoardWork& work) {
            read->end = kx::run::ReadForAnalysis(
                kx::ProgramLink(), requested, work.stopFlag(), read->run.codes,
                [this, &work](int stored) { work.report([this, stored] { CodeStored(stored); }); });
        },
        [this, read, requested](std::vector<kx::Message> messages, bool closing) {
            kx::Run& run = read->run;
            progress_->setValue(static_cast<int>(run.codes.size()));
            kx::ShowLabelValue(timeLeft_, TimeLeftCaption, {});
            kx::ShowLabelValue(status_, StatusCaption,
                               QString::fromStdString(
                                   kx::run::ReadEndText(read->end, run.codes.size(), requested)));
            SetReading(false);
            // The run becomes the program's here, on the window's thread, with the reference
            // voltage the read started with.
            run.referenceVolts = ReferenceVoltage;
            kx::PublishRun(run, static_cast<size_t>(std::max(requested, 0)));
            if (closing) return;
            kx::ShowMessages(messages);
            // An interrupted read keeps it; any other stores the reference field.
            if (read->end != kx::run::AnalysisReadEnd::Interrupted) RefText_Enter();
        });
}

void ReadDataForm::Command2_Click() {
    if (runner_->running()) return;
    const auto delay = kx::run::ParseDelay(delay_->text().toStdString());
    if (!delay) {
        Refuse(delay_);
        return;
    }
    // No count belongs to a read for display.
    progress_->setFormat(QString());
    progress_->reset();
    kx::ShowLabelValue(status_, StatusCaption, {});
    SetReading(true);
    runner_->start(
        [this, delay = *delay](kx::BoardWork& work) {
            kx::run::ReadForDisplay(
                kx::ProgramLink(), work.stopFlag(), [this, &work, delay](int32_t code) {
                    work.report([this, code] {
                        currentCode_->setText(QString::fromStdString(kx::Hex(code)));
                    });
                    // The wait is real time, and a stop ends it at once.
                    return delay <= 0 || work.pause(delay);
                });
        },
        [this](std::vector<kx::Message> messages, bool closing) {
            SetReading(false);
            if (!closing) kx::ShowMessages(messages);
        });
}

void ReadDataForm::SetLiveView(std::function<void(QWidget*)> opener) {
    liveOpener_ = static_cast<bool>(opener);
    kx::WireOpener(live_, this, std::move(opener));
}

void ReadDataForm::Command3_Click() {
    if (runner_->running() || !kx::RunLengthGate(CodeCount)) return;
    if (noise_) {
        noise_(this);
        return;
    }
    NoiseForm form(kx::SharedRun(), {}, this);
    form.exec();
}

void ReadDataForm::Text1_KeyPress() {
    Stop_Click();
}

void ReadDataForm::Stop_Click() {
    runner_->requestStop();
    readingLabel_->clear();
}

// Enter in the field, and the end of a read for analysis, store the reference voltage.
void ReadDataForm::RefText_Enter() {
    const auto value = kx::run::ParseReference(ref_->text().toStdString());
    if (value)
        kx::PublishReference(*value);
    else
        Refuse(ref_);
}
