#include "registers/controlform.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "board/program_port.h"
#include "converter/adc_control_fields.h"
#include "converter/control_logic.h"
#include "converter/register_update.h"
#include "core/globals.h"
#include "core/hex.h"
#include "registers/bit_frame_widgets.h"
#include "ui/shared_run.h"

namespace {

QRadioButton* Option(const char* name, const QString& caption, QWidget* frame) {
    auto* button = new QRadioButton(caption, frame);
    button->setObjectName(QLatin1String(name));
    return button;
}

}  // namespace

ControlForm::ControlForm(QWidget* parent) : ScreenDialog(parent) {
    setObjectName(QStringLiteral("ControlForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software - Program Control Register"));

    // Channels: the pseudo-differential pairs on the left, the rest on the right.
    QGroupBox* frame2 = kx::NamedFrame("Frame2", QStringLiteral("Select an Input Channel"), this);
    auto* channels = new QGridLayout(frame2);
    const char* const channelNames[] = {"OptAIN1COM", "OptAIN2COM", "OptAIN3COM", "OptAIN4COM",
                                        "OptAIN5COM", "OptAIN6COM", "OptAIN7COM", "OptAIN8COM",
                                        "OptAIN1_2",  "OptAIN3_4",  "OptAIN5_6",  "OptAin7_8",
                                        "OptAIN2_2",  "OptAINCOM",  "OptREF",     "OptOPEN"};
    // Codes 12, 14 and 15 name other inputs when CHCON is set; read once, here.
    const bool chcon = kx::control::ChconSet(kx::mode::ReadModeDirect(kx::ProgramLink()));
    for (int c = 0; c < 16; ++c) {
        QRadioButton* b = Option(channelNames[c],
                                 QString::fromStdString(kx::adc::ChannelCaption(c, chcon)), frame2);
        channels->addWidget(b, c % 8, c / 8);
        optChannel_[static_cast<size_t>(c)] = b;
    }

    QGroupBox* frame3 = kx::NamedFrame("Frame3", QStringLiteral("Select an Input Range"), this);
    auto* ranges = new QVBoxLayout(frame3);
    const char* const rangeNames[] = {"Opt20",  "Opt40",  "Opt80",  "Opt160",
                                      "Opt320", "Opt640", "Opt128", "Opt256"};
    for (int r = 0; r < 8; ++r) {
        QRadioButton* b = Option(rangeNames[r], QString(), frame3);
        ranges->addWidget(b);
        optRange_[static_cast<size_t>(r)] = b;
    }
    // Wide enough for the longer of the two captions, so re-captioning never resizes.
    CaptionRanges(true);
    const int unipolarWidth = frame3->sizeHint().width();
    CaptionRanges(false);
    frame3->setMinimumWidth(std::max(unipolarWidth, frame3->sizeHint().width()));

    QGroupBox* frame4 =
        kx::NamedFrame("Frame4", QStringLiteral("Bipolar / Unipolar Operation"), this);
    auto* coding = new QVBoxLayout(frame4);
    optBipolar_ = Option("OptBipolar", QStringLiteral("Bipolar"), frame4);
    optUnipolar_ = Option("OptUnipolar", QStringLiteral("Unipolar"), frame4);
    coding->addWidget(optBipolar_);
    coding->addWidget(optUnipolar_);
    coding->addStretch();

    bits_ = std::make_unique<kx::BitFrame>("Frame1", "Label10",
                                           QStringLiteral("ADC Control Register"), this);
    QGroupBox* frame1 = bits_->frame();

    QGroupBox* frame7 =
        kx::NamedFrame("Frame7", QStringLiteral("Current Contents of ADC Control Register"), this);
    auto* contents = new QHBoxLayout(frame7);
    controlLabel_ = kx::NamedLabel("ControlLabel", QString(), frame7);
    controlLabel_->setAlignment(Qt::AlignCenter);
    controlLabel_->setAccessibleDescription(frame7->title());
    contents->addWidget(controlLabel_);

    QPushButton* back = kx::NamedButton("Command1", QStringLiteral("B&ack"), this);
    back->setMinimumWidth(100);

    auto* grid = new QGridLayout;
    grid->addWidget(frame2, 0, 0, 2, 1);
    grid->addWidget(frame3, 0, 1);
    grid->addWidget(frame4, 1, 1);
    grid->addWidget(frame1, 2, 0);
    grid->addWidget(frame7, 2, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(back);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (int c = 0; c < 16; ++c)
        kx::OnSelected(optChannel_[static_cast<size_t>(c)], this,
                       [this, c] { OptChannel_Click(c); });
    for (int r = 0; r < 8; ++r)
        kx::OnSelected(optRange_[static_cast<size_t>(r)], this, [this, r] { OptRange_Click(r); });
    kx::OnSelected(optUnipolar_, this, [this] { OptPolarity_Click(true); });
    kx::OnSelected(optBipolar_, this, [this] { OptPolarity_Click(false); });
    connect(back, &QPushButton::clicked, this, &QDialog::reject);

    control_ = Register::For(RegisterMap::AdcControl);
    ControlValue = static_cast<int16_t>(kx::ReadValue(control_));
    ShowControlState();
    ShowControlBits();
}

void ControlForm::OptChannel_Click(int channelCode) {
    if (UpdatingDisplay != 0) return;
    Program([channelCode](int32_t old) { return kx::control::WithChannel(old, channelCode); });
}

void ControlForm::OptRange_Click(int rangeCode) {
    // The global follows every selection, the ones made by the screen itself included.
    kx::PublishRange(rangeCode);
    if (UpdatingDisplay != 0) return;
    Program([rangeCode](int32_t old) { return kx::control::WithRange(old, rangeCode); });
}

void ControlForm::OptPolarity_Click(bool unipolar) {
    kx::PublishPolarity(unipolar);
    if (UpdatingDisplay != 0) return;
    CaptionRanges(unipolar);
    Program([unipolar](int32_t old) { return kx::control::WithUnipolar(old, unipolar); });
}

void ControlForm::Program(const std::function<int32_t(int32_t)>& change) {
    const kx::RegisterUpdate u = kx::UpdateRegister(control_, change, kx::control::ProgramError);
    ControlValue = static_cast<int16_t>(u.before);
    controlLabel_->setText(QString::fromStdString(kx::Hex(u.readBack)));
    ShowControlBits();
}

void ControlForm::ShowControlState() {
    UpdatingDisplay = 1;
    ControlValue = static_cast<int16_t>(kx::ReadValue(control_));
    optChannel_[static_cast<size_t>(kx::adc::ChannelCode(ControlValue))]->setChecked(true);
    const int range = kx::adc::RangeCode(ControlValue);
    optRange_[static_cast<size_t>(range)]->setChecked(true);
    kx::PublishRange(range);
    const bool unipolar = kx::adc::IsUnipolar(ControlValue);
    (unipolar ? optUnipolar_ : optBipolar_)->setChecked(true);
    kx::PublishPolarity(kx::adc::IsUnipolar(ControlValue));
    controlLabel_->setText(QString::fromStdString(kx::Hex(ControlValue)));
    UpdatingDisplay = 0;
}

void ControlForm::ShowControlBits() {
    UpdatingDisplay = 1;
    ControlValue = static_cast<int16_t>(kx::ReadValue(control_));
    bits_->show(ControlValue);
    CaptionRanges(kx::adc::IsUnipolar(ControlValue));
    UpdatingDisplay = 0;
}

void ControlForm::CaptionRanges(bool unipolar) {
    for (int r = 0; r < 8; ++r)
        optRange_[static_cast<size_t>(r)]->setText(
            QString::fromStdString(kx::adc::RangeCaption(r, unipolar)));
}
