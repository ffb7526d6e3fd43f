#include "registers/modeform.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "converter/mode_logic.h"
#include "core/globals.h"
#include "core/hex.h"
#include "registers/bit_frame_widgets.h"
#include "ui/board_runner.h"

namespace {

QRadioButton* Option(const char* name, const QString& caption, QWidget* frame) {
    auto* button = new QRadioButton(caption, frame);
    button->setObjectName(QLatin1String(name));
    frame->layout()->addWidget(button);
    return button;
}

QGroupBox* OptionFrame(const char* name, const QString& title, QWidget* parent) {
    QGroupBox* frame = kx::NamedFrame(name, title, parent);
    new QVBoxLayout(frame);
    return frame;
}

}  // namespace

ModeForm::ModeForm(QWidget* parent) : ScreenDialog(parent) {
    UpdatingDisplay = 1;
    setObjectName(QStringLiteral("ModeForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software - Program Mode Register"));

    QGroupBox* frame1 = OptionFrame("Frame1", QStringLiteral("Mode of Operation"), this);
    const char* const mdNames[] = {"OptMD0", "OptMD1", "OptMD2", "OptMD3",
                                   "OptMD4", "OptMD5", "OptMD6", "OptMD7"};
    const QString mdCaptions[] = {
        QStringLiteral("Power Down Mode"),          QStringLiteral("Idle Mode"),
        QStringLiteral("Single Conversion"),        QStringLiteral("Continuous Conversion"),
        QStringLiteral("Internal Zero Scale Cal."), QStringLiteral("Internal Full Scale Cal."),
        QStringLiteral("System Zero Scale Cal."),   QStringLiteral("System Full Scale Cal.")};
    for (int code = 0; code < 8; ++code)
        optMD_[static_cast<size_t>(code)] = Option(mdNames[code], mdCaptions[code], frame1);
    static_cast<QVBoxLayout*>(frame1->layout())->addStretch();

    using namespace kx::mode;
    QGroupBox* frame2 = OptionFrame("Frame2", QStringLiteral("Chop"), this);
    QGroupBox* frame6 = OptionFrame("Frame6", QStringLiteral("Input Buffering"), this);
    QGroupBox* frame4 = OptionFrame("Frame4", QStringLiteral("Reference Selection"), this);
    QGroupBox* frame5 = OptionFrame("Frame5", QStringLiteral("Channel Configuartion"), this);
    QGroupBox* frame3 = OptionFrame("Frame3", QStringLiteral("In Power Down Mode"), this);
    fieldOptions_ = {{
        {Option("OptChopOn", QStringLiteral("Chopping Enabled"), frame2), ChopBit, false},
        {Option("OptChopOff", QStringLiteral("Chopping Disabled"), frame2), ChopBit, true},
        {Option("OptBufOn", QStringLiteral("Buffered"), frame6), BufBit, true},
        {Option("OptBufOff", QStringLiteral("Unbuffered"), frame6), BufBit, false},
        {Option("OptRef1", QStringLiteral("Refin 1"), frame4), RefSelBit, false},
        {Option("OptRef2", QStringLiteral("Refin 2"), frame4), RefSelBit, true},
        {Option("OptChConSet", QStringLiteral("CHCON Set"), frame5), ChconBit, true},
        {Option("OptChConClr", QStringLiteral("CHCON Cleared"), frame5), ChconBit, false},
        {Option("OptOscOn", QStringLiteral("Power Up Oscillator"), frame3), OscPdBit, false},
        {Option("OptOscOff", QStringLiteral("Power Down Oscillator"), frame3), OscPdBit, true},
    }};

    // The register's bits under their heading, bit 7 on the left.
    bits_ =
        std::make_unique<kx::BitFrame>("Frame8", "Label9", QStringLiteral("Mode Register"), this);
    QGroupBox* frame8 = bits_->frame();

    QGroupBox* frame7 =
        kx::NamedFrame("Frame7", QStringLiteral("Current Contents of Mode Register"), this);
    auto* contents = new QHBoxLayout(frame7);
    modeLabel_ = kx::NamedLabel("modeLabel", QString(), frame7);
    modeLabel_->setAlignment(Qt::AlignCenter);
    modeLabel_->setAccessibleDescription(frame7->title());
    contents->addWidget(modeLabel_);

    calLabel_ = kx::NamedLabel("CalLabel", QString(), this);
    QFont bold = calLabel_->font();
    bold.setBold(true);
    calLabel_->setFont(bold);
    // Room for the text, so the window does not resize while the thread is blocked.
    calLabel_->setMinimumWidth(calLabel_->fontMetrics().horizontalAdvance(CalibratingText) + 8);
    QPushButton* back = kx::NamedButton("Command3", QStringLiteral("B&ack"), this);
    back->setMinimumWidth(100);

    auto* grid = new QGridLayout;
    grid->addWidget(frame1, 0, 0, 3, 1);
    grid->addWidget(frame2, 0, 1);
    grid->addWidget(frame6, 0, 2);
    grid->addWidget(frame4, 1, 1);
    grid->addWidget(frame5, 1, 2);
    grid->addWidget(frame3, 2, 1, 1, 2);
    grid->addWidget(frame8, 3, 0);
    grid->addWidget(frame7, 3, 1, 1, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(calLabel_);
    bottom->addStretch();
    bottom->addWidget(back);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (int code = 0; code < 8; ++code)
        kx::OnSelected(optMD_[static_cast<size_t>(code)], this,
                       [this, code] { OptMD_Click(code); });
    for (const BitOption& option : fieldOptions_)
        kx::OnSelected(option.button, this, [this, option] { OptField_Click(option); });
    connect(back, &QPushButton::clicked, this, &QDialog::reject);
    optionFrames_ = {frame1, frame2, frame6, frame4, frame5, frame3};
    runner_ = new kx::BoardRunner(this);

    mode_ = Register::For(RegisterMap::Mode);
    calLabel_->setText(QString());
    ModeValue = static_cast<int16_t>(kx::ReadValue(mode_));
    ShowModeState();
    UpdatingDisplay = 0;
}

void ModeForm::OptField_Click(const BitOption& option) {
    if (UpdatingDisplay != 0) return;
    const kx::RegisterUpdate u = kx::mode::ProgramBit(mode_, option.bit, option.set);
    ModeValue = static_cast<int16_t>(u.before);
    modeLabel_->setText(QString::fromStdString(kx::Hex(u.readBack)));
    ShowModeBits();
}

void ModeForm::OptMD_Click(int code) {
    if (UpdatingDisplay != 0) return;
    if (code >= kx::mode::FirstCalibrationCode) {
        if (runner_->running()) return;
        kx::mode::ConnectPrompt(code);
        // The wait runs on the worker; the options stay still until it has ended.
        for (QGroupBox* frame : optionFrames_)
            frame->setEnabled(false);
        auto result = std::make_shared<int32_t>(0);
        runner_->start(
            [this, code, result, mode = mode_](kx::BoardWork& work) mutable {
                *result = kx::mode::Calibrate(mode, code, [this, &work] {
                    work.report([this] {
                        calLabel_->setText(QString::fromLatin1(kx::mode::CalibratingText));
                    });
                });
            },
            [this, result](std::vector<kx::Message> messages, bool closing) {
                for (QGroupBox* frame : optionFrames_)
                    frame->setEnabled(true);
                if (!closing) kx::ShowMessages(messages);
                ModeValue = static_cast<int16_t>(*result);
                calLabel_->setText(QString());
                ShowModeState();
            });
        return;
    }
    const kx::RegisterUpdate u = kx::mode::ProgramCode(mode_, code);
    ModeValue = static_cast<int16_t>(u.before);
    // Idle mode keeps the old display after a failed write.
    if (code == 1 && !u.matches()) return;
    modeLabel_->setText(QString::fromStdString(kx::Hex(u.readBack)));
    ShowModeBits();
}

ModeForm::~ModeForm() {
    runner_->stopAndWait();
}

void ModeForm::reject() {
    // A calibration still awaited is stopped, and its worker joined, before the screen goes.
    runner_->stopAndWait();
    QDialog::reject();
}

void ModeForm::closeEvent(QCloseEvent* event) {
    runner_->stopAndWait();
    ScreenDialog::closeEvent(event);
}

void ModeForm::ShowModeState() {
    UpdatingDisplay = 1;
    for (const BitOption& option : fieldOptions_)
        if (((ModeValue & option.bit) != 0) == option.set) option.button->setChecked(true);
    optMD_[static_cast<size_t>(kx::mode::Code(ModeValue))]->setChecked(true);
    bits_->show(ModeValue);
    modeLabel_->setText(QString::fromStdString(kx::Hex(ModeValue)));
    UpdatingDisplay = 0;
}

void ModeForm::ShowModeBits() {
    UpdatingDisplay = 1;
    ModeValue = static_cast<int16_t>(kx::ReadValue(mode_));
    bits_->show(ModeValue);
    UpdatingDisplay = 0;
}
