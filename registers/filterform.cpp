#include "registers/filterform.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "board/program_port.h"
#include "converter/register_update.h"
#include "core/hex.h"
#include "core/messages.h"
#include "core/numtext.h"
#include "registers/bit_frame_widgets.h"

namespace {

bool IsEnter(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

Filterform::Filterform(QWidget* parent)
    : ScreenDialog(parent), filterReg_(Register::For(RegisterMap::Filter)) {
    setObjectName(QStringLiteral("Filterform"));
    setWindowTitle(QStringLiteral("KX3105 - Program Filter Register"));

    // The two ways of entering the word, each acting on Enter.
    QGroupBox* frame2 = kx::NamedFrame("Frame2", QStringLiteral("Program Filter Word"), this);
    auto* label12 = kx::NamedLabel("Label12", QStringLiteral("Filter Word (Hex)"), frame2);
    TxtFilter = new QLineEdit(frame2);
    TxtFilter->setObjectName(QStringLiteral("TxtFilter"));
    label12->setBuddy(TxtFilter);
    auto* label10 = kx::NamedLabel("Label10", QStringLiteral("Output Update Rate"), frame2);
    TxtUpdate = new QLineEdit(frame2);
    TxtUpdate->setObjectName(QStringLiteral("TxtUpdate"));
    label10->setBuddy(TxtUpdate);
    auto* label11 = kx::NamedLabel("Label11", QStringLiteral("Hz"), frame2);
    for (QLineEdit* field : {TxtFilter, TxtUpdate}) {
        field->setMinimumWidth(110);
        field->installEventFilter(this);
    }
    auto* entries = new QGridLayout(frame2);
    entries->addWidget(label12, 0, 0);
    entries->addWidget(TxtFilter, 0, 1);
    entries->addWidget(label10, 1, 0);
    entries->addWidget(TxtUpdate, 1, 1);
    entries->addWidget(label11, 1, 2);
    entries->setColumnStretch(3, 1);

    // What the converter holds, bit by bit and in hexadecimal.
    bits_ =
        std::make_unique<kx::BitFrame>("Frame1", "Label9", QStringLiteral("Filter Register"), this);
    QGroupBox* frame1 = bits_->frame();

    QGroupBox* frame7 =
        kx::NamedFrame("Frame7", QStringLiteral("Current Contents of Filter Register"), this);
    Filterlabel = kx::NamedLabel("Filterlabel", QString(), frame7);
    Filterlabel->setAlignment(Qt::AlignCenter);
    Filterlabel->setMinimumWidth(40);
    auto* frame7Layout = new QVBoxLayout(frame7);
    frame7Layout->addWidget(Filterlabel);

    auto* back = kx::NamedButton("Command1", QStringLiteral("B&ack"), this);
    connect(back, &QPushButton::clicked, this, &QDialog::reject);

    auto* contents = new QHBoxLayout;
    contents->addWidget(frame1);
    contents->addWidget(frame7);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(back);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame2);
    layout->addLayout(contents);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    chopEnabled_ = kx::ChopEnabledIn(kx::mode::ReadModeDirect(kx::ProgramLink()));
    FilterValue = kx::ReadValue(filterReg_);
    if (FilterValue != 0) {
        ShowFilterRate();
        ShowFilterBits();
    } else {
        kx::ShowMessage("Error Reading from KX3105");
    }
}

bool Filterform::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && IsEnter(static_cast<QKeyEvent*>(event))) {
        // Enter belongs to the field: it must not reach the dialog's buttons.
        if (watched == TxtFilter) {
            TxtFilter_Enter();
            return true;
        }
        if (watched == TxtUpdate) {
            TxtUpdate_Enter();
            return true;
        }
    }
    return ScreenDialog::eventFilter(watched, event);
}

void Filterform::ShowFilterRate() {
    TxtFilter->setText(Text(kx::Hex(FilterValue)));
    TxtUpdate->setText(Text(kx::FormatPattern(kx::UpdateRate(FilterValue, chopEnabled_), "#.##")));
}

void Filterform::ShowFilterBits() {
    FilterValue = kx::ReadValue(filterReg_);
    bits_->show(FilterValue);
    Filterlabel->setText(Text(kx::Hex(FilterValue)));
}

void Filterform::Refuse(QLineEdit* field) {
    field->clear();
    field->setFocus();
}

void Filterform::TxtFilter_Enter() {
    const auto word = kx::FilterWordFromEntry(TxtFilter->text().toStdString(), chopEnabled_);
    if (!word) return Refuse(TxtFilter);
    TxtUpdate->setText(Text(kx::FormatPattern(kx::UpdateRate(*word, chopEnabled_), "00.00")));
    TxtFilter->setText(Text(kx::Hex(*word)));
    if (!kx::ProgramFilterWord(filterReg_, *word, [this] { ShowFilterBits(); }))
        kx::ShowMessage(kx::ProgrammingErrorLower, kx::Icon::Warning);
}

void Filterform::TxtUpdate_Enter() {
    const auto word = kx::FilterWordFromRateEntry(TxtUpdate->text().toStdString(), chopEnabled_);
    if (!word) return Refuse(TxtUpdate);
    TxtFilter->setText(Text(kx::Hex(*word)));
    TxtUpdate->setText(Text(kx::FormatPattern(kx::UpdateRate(*word, chopEnabled_), "#.##00")));
    if (!kx::ProgramFilterWord(filterReg_, *word, [this] { ShowFilterBits(); }))
        kx::ShowMessage(kx::ProgrammingError, kx::Icon::Warning);
}
