#include "registers/calform.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "converter/cal_logic.h"
#include "converter/register_update.h"

CalForm::CalForm(QWidget* parent)
    : ScreenDialog(parent),
      ZeroScaleReg(Register::For(RegisterMap::ZeroScale)),
      FullScaleReg(Register::For(RegisterMap::FullScale)) {
    setObjectName(QStringLiteral("CalForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software - Program Calibration Registers"));
    // Only read: the screen never changes the mode.
    ModeReg.ReadAddress = RegisterMap::Mode.readByte;
    ModeReg.WordLength = RegisterMap::Mode.width;

    auto* heading = kx::NamedLabel("HeadingLabel", QStringLiteral("Calibration Registers"), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->setAlignment(Qt::AlignCenter);

    full_.reg = &FullScaleReg;
    full_.value = &FullScaleValue;
    zero_.reg = &ZeroScaleReg;
    zero_.value = &ZeroScaleValue;
    // Full-scale labels count up from bit 23 (Label1), zero-scale ones down (Label52).
    QWidget* fullFrame = BuildFrame(
        full_, "FullFrame", QStringLiteral("Current Contents of Full Scale Calibration Register"),
        1, 1, "FullLabel", "FullText");
    QWidget* zeroFrame = BuildFrame(
        zero_, "ZeroFrame", QStringLiteral("Current Contents of Zero Scale Calibration Register"),
        52, -1, "ZeroLabel", "ZeroText");

    auto* back = kx::NamedButton("Command1", QStringLiteral("B&ack"), this);
    connect(back, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(back);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(fullFrame);
    layout->addWidget(zeroFrame);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    ZeroScaleValue = kx::ReadValue(ZeroScaleReg);
    FullScaleValue = kx::ReadValue(FullScaleReg);
    ShowCalibrationRegisters();
}

QWidget* CalForm::BuildFrame(Frame& frame, const char* frameName, const QString& title,
                             int firstLabel, int labelStep, const char* hexName,
                             const char* textName) {
    QGroupBox* box = kx::NamedFrame(frameName, title, this);
    const QByteArray prefix(frameName[0] == 'F' ? "Full" : "Zero");

    // Six groups of four bits, bit 23 on the left.
    auto* bitRow = new QHBoxLayout;
    bitRow->setSpacing(2);
    for (int i = 0; i < 24; ++i) {
        if (i > 0 && i % 4 == 0) bitRow->addSpacing(10);
        const QByteArray name = "Label" + QByteArray::number(firstLabel + i * labelStep);
        frame.bits[i] = kx::NamedLabel(name.constData(), QStringLiteral("0"), box);
        frame.bits[i]->setAlignment(Qt::AlignCenter);
        frame.bits[i]->setMinimumWidth(14);
        bitRow->addWidget(frame.bits[i]);
    }

    auto* hexHeading =
        kx::NamedLabel((prefix + "HexHeading").constData(), QStringLiteral("HEX"), box);
    frame.hex = kx::NamedLabel(hexName, QString(), box);
    frame.hex->setMinimumWidth(70);
    auto* entryLabel = kx::NamedLabel((prefix + "TextLabel").constData(),
                                      QStringLiteral("Enter new Value (Hex):"), box);
    frame.text = new QLineEdit(QStringLiteral("000000"), box);
    frame.text->setObjectName(QLatin1String(textName));
    frame.text->setMaximumWidth(110);
    entryLabel->setBuddy(frame.text);
    frame.text->installEventFilter(this);

    auto* lower = new QGridLayout;
    lower->addWidget(hexHeading, 0, 0);
    lower->addWidget(frame.hex, 0, 1);
    lower->setColumnStretch(2, 1);
    lower->addWidget(entryLabel, 0, 3);
    lower->addWidget(frame.text, 0, 4);

    auto* column = new QVBoxLayout(box);
    column->addLayout(bitRow);
    column->addLayout(lower);
    return box;
}

void CalForm::ShowFrame(const Frame& frame) {
    const auto value = static_cast<int32_t>(*frame.value);
    for (int i = 0; i < 24; ++i)
        frame.bits[i]->setText((value >> (23 - i)) & 1 ? QStringLiteral("1") : QStringLiteral("0"));
    const QString hex = QString::fromStdString(kx::cal::HexText(value));
    frame.hex->setText(hex);
    frame.text->setText(hex);
}

void CalForm::ShowCalibrationRegisters() {
    ShowFrame(zero_);
    ShowFrame(full_);
}

bool CalForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == zero_.text || watched == full_.text)) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Typed characters only (Enter and Backspace included), not cursor or modifier keys, nor
        // Tab, which moves the focus, nor Escape, which closes the screen: both type nothing,
        // though Qt gives them a text ("\t", "\x1b").
        const bool typesNothing = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ||
                                  key->key() == Qt::Key_Escape;
        if (!key->text().isEmpty() && !typesNothing) {
            const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
            Frame& frame = watched == zero_.text ? zero_ : full_;
            return !Text_KeyPress(frame, enter);
        }
    }
    return ScreenDialog::eventFilter(watched, event);
}

bool CalForm::Text_KeyPress(Frame& frame, bool enter) {
    // The converter takes calibration values only in power-down mode; the key still goes through.
    if (!kx::cal::PowerDownCheck(ModeReg)) return !enter;
    if (!enter) return true;

    const auto value = kx::cal::ParseEntry(frame.text->text().toStdString());
    if (!value) {
        frame.text->clear();
        frame.text->setFocus();
        return false;
    }
    *frame.value = *value;
    // On a mismatch the display stays as it was; the next refresh shows the value entered.
    if (kx::cal::Program(*frame.reg, *value)) ShowCalibrationRegisters();
    return false;
}
