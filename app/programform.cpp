#include "app/programform.h"

#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "converter/mode_gates.h"

ProgramForm::ProgramForm(kx::ProgramMenuOpeners openers, QWidget* parent)
    : ScreenDialog(parent), openers_(std::move(openers)) {
    setObjectName(QStringLiteral("ProgramForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software - Program Menu"));

    QGroupBox* frame = kx::NamedFrame("Frame1", QStringLiteral("Program Menu"), this);
    auto* column = new QVBoxLayout(frame);
    auto add = [&](const char* name, const QString& caption) {
        QPushButton* button = kx::NamedButton(name, caption, frame);
        button->setMinimumWidth(240);
        column->addWidget(button);
        return button;
    };
    auto* mode = add("Command1", QStringLiteral("Program &Mode Register"));
    auto* filter = add("Command2", QStringLiteral("Program &Filter Register"));
    auto* calibration = add("Command3", QStringLiteral("Program &Calibration Registers"));
    auto* control = add("Command4", QStringLiteral("Program Con&trol Register"));
    auto* ioControl = add("Command5", QStringLiteral("Program &I/O Control Register"));
    auto* status = add("Command6", QStringLiteral("Display &Status Register"));
    auto* registerMap = add("RegisterMapButton", QStringLiteral("&Register Map"));
    column->addSpacing(6);
    QPushButton* back = kx::NamedButton("Command7", QStringLiteral("B&ack"), frame);
    column->addWidget(back);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    kx::WireOpener(mode, this, openers_.mode);
    kx::WireOpener(calibration, this, openers_.calibration);
    kx::WireOpener(control, this, openers_.control);
    kx::WireOpener(ioControl, this, openers_.ioControl);
    kx::WireOpener(status, this, openers_.status);
    kx::WireOpener(registerMap, this, openers_.registerMap);
    filter->setEnabled(static_cast<bool>(openers_.filter));
    connect(filter, &QPushButton::clicked, this, &ProgramForm::Command2_Click);
    connect(back, &QPushButton::clicked, this, &QDialog::reject);
}

void ProgramForm::Command2_Click() {
    if (openers_.filter && kx::PowerDownGate(modeRegister_)) openers_.filter(this);
}
