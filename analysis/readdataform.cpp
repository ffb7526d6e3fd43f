#include "analysis/readdataform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include "analysis/noiseform.h"
#include "analysis/read_run.h"
#include "board/serial.h"
#include "core/globals.h"
#include "core/hex.h"
#include "core/messages.h"

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

// Slices of the display delay: long enough to cost nothing, short enough that a key press or a
// repaint is never kept waiting.
constexpr int DelaySliceMs = 10;

// How often the progress bar moves during a read for analysis.
constexpr qint64 ProgressIntervalMs = 50;

}  // namespace

ReadDataForm::ReadDataForm(std::function<void(QWidget*)> noise, QWidget* parent)
    : ScreenDialog(parent), noise_(std::move(noise)) {
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
    ref_ = entry("RefText", QStringLiteral("Reference Voltage :"), QStringLiteral("2.5"));

    readingLabel_ = kx::NamedLabel("ReadingLabel", QString(), frame);
    readingLabel_->setMinimumWidth(220);
    grid->addWidget(readingLabel_, row++, 0, 1, 2);

    progress_ = new QProgressBar(frame);
    progress_->setObjectName(QStringLiteral("ReadProgress"));
    progress_->setAccessibleName(QStringLiteral("Codes read"));
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setFormat(QStringLiteral("%v of %m codes"));
    grid->addWidget(progress_, row++, 0, 1, 2);

    read_ = kx::NamedButton("Command1", QStringLiteral("Read Data for Ana&lysis"), this);
    display_ = kx::NamedButton("Command2", QStringLiteral("Read &Data for Display"), this);
    noiseButton_ = kx::NamedButton("Command3", QStringLiteral("&Noise Analysis"), this);
    back_ = kx::NamedButton("Command4", QStringLiteral("B&ack"), this);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {read_, display_, noiseButton_}) {
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
    connect(text1_, &kx::StopKeyEdit::stopRequested, this, &ReadDataForm::Text1_KeyPress);
    connect(ref_, &QLineEdit::returnPressed, this, &ReadDataForm::RefText_Enter);
}

void ReadDataForm::reject() {
    if (reading_) return;
    QDialog::reject();
}

void ReadDataForm::closeEvent(QCloseEvent* event) {
    if (reading_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void ReadDataForm::Refuse(QLineEdit* field) {
    field->clear();
    field->setFocus();
}

void ReadDataForm::SetReading(bool on) {
    if (on) focusBefore_ = QApplication::focusWidget();
    reading_ = on;
    for (QPushButton* b : {read_, display_, noiseButton_, back_})
        b->setEnabled(!on);
    readingLabel_->setText(on ? QString::fromLatin1(kx::run::ReadingNotice) : QString());
    // The keyboard goes back where it was, not to the hidden line that held it.
    if (!on && text1_->hasFocus()) {
        if (focusBefore_ && focusBefore_ != text1_)
            focusBefore_->setFocus();
        else
            read_->setFocus();
    }
}

bool ReadDataForm::ProcessPendingEvents() {
    // Anything may happen in here, the screen's own end included; the caller touches nothing of
    // the screen once this returns false.
    QPointer<ReadDataForm> self(this);
    text1_->setFocus();
    QCoreApplication::processEvents();
    return !self.isNull();
}

void ReadDataForm::Command1_Click() {
    if (reading_) return;
    const auto count = kx::run::ParseCodeCount(numCodes_->text().toStdString());
    if (!count) {
        Refuse(numCodes_);
        return;
    }
    kx::run::AnalysisRead run(*count);
    progress_->setRange(0, std::max(run.requested(), 1));
    progress_->setValue(0);
    keepReading_ = true;
    SetReading(true);
    kx::run::ReadStep step = kx::run::ReadStep::Done;
    // The bar repaints at once on each new value; at the fast rates that would cost more than a
    // conversion period, so it moves a few times a second and at the end.
    QElapsedTimer sinceShown;
    sinceShown.start();
    while (!run.finished()) {
        if (!ProcessPendingEvents()) return;
        const int before = run.codesRead();
        step = run.Step(reader_, keepReading_);
        if (run.codesRead() != before) emit codeRead(run.codesRead());
        if (run.finished() || sinceShown.elapsed() >= ProgressIntervalMs) {
            progress_->setValue(run.codesRead());
            sinceShown.restart();
        }
    }
    SetReading(false);
    // An interrupted read keeps the reference voltage it started with.
    if (step != kx::run::ReadStep::Interrupted) RefText_Enter();
}

void ReadDataForm::Command2_Click() {
    if (reading_) return;
    const auto delay = kx::run::ParseDelay(delay_->text().toStdString());
    if (!delay) {
        Refuse(delay_);
        return;
    }
    keepReading_ = true;
    SetReading(true);
    while (keepReading_) {
        if (!ProcessPendingEvents()) return;
        const int32_t code = reader_.Read();
        if (code == TimeoutMarker) {
            kx::ShowMessage(kx::run::ReadErrorMessage);
            break;
        }
        currentCode_->setText(QString::fromStdString(kx::Hex(code)));
        currentCode_->repaint();
        // The wait is real time; the window keeps answering during it.
        QElapsedTimer waited;
        waited.start();
        while (keepReading_ && waited.elapsed() < *delay) {
            QThread::msleep(static_cast<unsigned long>(
                std::min<qint64>(DelaySliceMs, *delay - waited.elapsed())));
            if (!ProcessPendingEvents()) return;
        }
    }
    SetReading(false);
}

void ReadDataForm::Command3_Click() {
    if (reading_ || !kx::RunLengthGate(CodeCount)) return;
    if (noise_) {
        noise_(this);
        return;
    }
    NoiseForm form({}, this);
    form.exec();
}

void ReadDataForm::Text1_KeyPress() {
    keepReading_ = false;
    readingLabel_->clear();
}

// Enter in the field, and the end of a read for analysis, store the reference voltage.
void ReadDataForm::RefText_Enter() {
    const auto value = kx::run::ParseReference(ref_->text().toStdString());
    if (value)
        ReferenceVoltage = *value;
    else
        Refuse(ref_);
}
