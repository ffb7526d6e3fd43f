#include "registers/iocontrolform.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "converter/register_update.h"
#include "core/globals.h"
#include "core/hex.h"
#include "core/messages.h"
#include "registers/bit_frame_widgets.h"

using kx::io::Choice;

namespace {

QRadioButton* NamedOption(const char* name, const QString& caption, QWidget* parent) {
    auto* option = new QRadioButton(caption, parent);
    option->setObjectName(QLatin1String(name));
    return option;
}

// Keeps a widget's place while it is hidden, so the frames do not jump as pins change direction.
void KeepPlace(QWidget* widget) {
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

QString LevelText(bool high) {
    return high ? QStringLiteral("High") : QStringLiteral("Low");
}

}  // namespace

IOcontrolForm::IOcontrolForm(QWidget* parent)
    : ScreenDialog(parent), ioReg_(Register::For(RegisterMap::IoControl)) {
    setObjectName(QStringLiteral("IOcontrolForm"));
    setWindowTitle(QStringLiteral("KX3105 - Program I/O Control Register"));

    auto directionFrame = [this](const char* name, const QString& title, QRadioButton*& in,
                                 QRadioButton*& out, const char* inName, const QString& inCaption,
                                 const char* outName, const QString& outCaption) {
        QGroupBox* frame = kx::NamedFrame(name, title, this);
        in = NamedOption(inName, inCaption, frame);
        out = NamedOption(outName, outCaption, frame);
        auto* column = new QVBoxLayout(frame);
        column->addWidget(in);
        column->addWidget(out);
        return frame;
    };
    QGroupBox* frame1 =
        directionFrame("Frame1", QStringLiteral("P1 I/O Direction"), OptP1In, OptP1Out, "OptP1In",
                       QStringLiteral("P1 as Input"), "OptP1Out", QStringLiteral("P1 as Output"));
    QGroupBox* frame2 =
        directionFrame("Frame2", QStringLiteral("P2 I/O Direction"), OptP2In, OptP2Out, "OptP2In",
                       QStringLiteral("P2 as Input"), "OptP2Out", QStringLiteral("P2 as Output"));

    // Level buttons and level label share their place: only one of them shows at a time.
    auto statusFrame = [this](const char* name, const QString& title, QRadioButton*& high,
                              QRadioButton*& low, QLabel*& level, const char* highName,
                              const QString& highCaption, const char* lowName,
                              const QString& lowCaption, const char* levelName) {
        QGroupBox* frame = kx::NamedFrame(name, title, this);
        high = NamedOption(highName, highCaption, frame);
        low = NamedOption(lowName, lowCaption, frame);
        level = kx::NamedLabel(levelName, LevelText(false), frame);
        level->setAlignment(Qt::AlignCenter);
        for (QWidget* w : {static_cast<QWidget*>(high), static_cast<QWidget*>(low),
                           static_cast<QWidget*>(level)})
            KeepPlace(w);
        auto* grid = new QGridLayout(frame);
        grid->addWidget(high, 0, 0);
        grid->addWidget(low, 1, 0);
        grid->addWidget(level, 0, 0, 2, 1);
        return frame;
    };
    QGroupBox* frame3 =
        statusFrame("Frame3", QStringLiteral("P1 Status"), OptP1High, OptP1Low, LblP1, "OptP1High",
                    QStringLiteral("P1 High"), "OptP1Low", QStringLiteral("P1 Low"), "LblP1");
    QGroupBox* frame4 =
        statusFrame("Frame4", QStringLiteral("P2 Status"), OptP2High, OptP2Low, LblP2, "OptP2High",
                    QStringLiteral("P2 High"), "OptP2Low", QStringLiteral("P2 Low"), "LblP2");

    bits_ = std::make_unique<kx::BitFrame>("Frame8", "Label9",
                                           QStringLiteral("I/O Control Register"), this);
    QGroupBox* frame8 = bits_->frame();

    QGroupBox* frame7 =
        kx::NamedFrame("Frame7", QStringLiteral("Current Contents of I/O Control Register"), this);
    IOConLabel = kx::NamedLabel("IOConLabel", QString(), frame7);
    IOConLabel->setAlignment(Qt::AlignCenter);
    auto* frame7Layout = new QVBoxLayout(frame7);
    frame7Layout->addWidget(IOConLabel);

    auto* update = kx::NamedButton("Command2", QStringLiteral("&Update Display"), this);
    auto* back = kx::NamedButton("Command1", QStringLiteral("B&ack"), this);

    auto* pins = new QGridLayout;
    pins->addWidget(frame1, 0, 0);
    pins->addWidget(frame2, 0, 1);
    pins->addWidget(frame3, 1, 0);
    pins->addWidget(frame4, 1, 1);
    auto* contents = new QHBoxLayout;
    contents->addWidget(frame8);
    contents->addWidget(frame7);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(update);
    buttons->addStretch(1);
    buttons->addWidget(back);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(pins);
    layout->addLayout(contents);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    const std::pair<QRadioButton*, Choice> options[] = {
        {OptP1In, Choice::P1In},     {OptP1Out, Choice::P1Out},   {OptP2In, Choice::P2In},
        {OptP2Out, Choice::P2Out},   {OptP1High, Choice::P1High}, {OptP1Low, Choice::P1Low},
        {OptP2High, Choice::P2High}, {OptP2Low, Choice::P2Low}};
    // An option acts when it becomes selected, by the user or by code; code selects only while
    // UpdatingDisplay is set, and then the handler does nothing.
    for (const auto& [option, choice] : options)
        kx::OnSelected(option, this, [this, choice = choice] { Option_Click(choice); });
    connect(update, &QPushButton::clicked, this, [this] {
        ShowIODirections();
        ShowIOBits();
    });
    connect(back, &QPushButton::clicked, this, &QDialog::reject);

    ShowIODirections();
    ShowIOBits();
}

void IOcontrolForm::ShowPinAsOutput(int pin, bool output) {
    QRadioButton* high = pin == 1 ? OptP1High : OptP2High;
    QRadioButton* low = pin == 1 ? OptP1Low : OptP2Low;
    QLabel* level = pin == 1 ? LblP1 : LblP2;
    high->setVisible(output);
    low->setVisible(output);
    level->setVisible(!output);
}

void IOcontrolForm::ShowIODirections() {
    UpdatingDisplay = 1;
    IOValue = kx::ReadValue(ioReg_);
    const bool p2Out = IOValue & kx::io::P2Dir;
    const bool p1Out = IOValue & kx::io::P1Dir;
    (p2Out ? OptP2Out : OptP2In)->setChecked(true);
    ShowPinAsOutput(2, p2Out);
    (p1Out ? OptP1Out : OptP1In)->setChecked(true);
    ShowPinAsOutput(1, p1Out);
    const bool p2High = IOValue & kx::io::P2Dat;
    const bool p1High = IOValue & kx::io::P1Dat;
    LblP2->setText(LevelText(p2High));
    (p2High ? OptP2High : OptP2Low)->setChecked(true);
    LblP1->setText(LevelText(p1High));
    (p1High ? OptP1High : OptP1Low)->setChecked(true);
    UpdatingDisplay = 0;
}

void IOcontrolForm::ShowIOBits() {
    UpdatingDisplay = 1;
    IOValue = kx::ReadValue(ioReg_);
    bits_->show(IOValue);
    IOConLabel->setText(QString::fromStdString(kx::Hex(IOValue)));
    UpdatingDisplay = 0;
}

void IOcontrolForm::Option_Click(Choice choice) {
    if (UpdatingDisplay != 0) return;
    // A direction button swaps the pin's level buttons and level label at once.
    if (choice == Choice::P1In || choice == Choice::P1Out)
        ShowPinAsOutput(1, choice == Choice::P1Out);
    if (choice == Choice::P2In || choice == Choice::P2Out)
        ShowPinAsOutput(2, choice == Choice::P2Out);
    const kx::RegisterUpdate update = kx::io::Apply(ioReg_, choice);
    IOValue = update.before;
    if (!kx::io::ReadBackAccepted(choice, update))
        kx::ShowMessage(kx::ProgrammingError, kx::Icon::Warning);
    IOConLabel->setText(QString::fromStdString(kx::Hex(update.readBack)));
    if (kx::io::RefreshesDirections(choice)) ShowIODirections();
    ShowIOBits();
}
