#include "app/resetform.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "board/program_port.h"

ResetForm::ResetForm(QWidget* parent) : ScreenDialog(parent) {
    setObjectName(QStringLiteral("ResetForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software - Reset KX3105"));

    QGroupBox* frame = kx::NamedFrame("Frame1", QStringLiteral("Reset KX3105 ?"), this);
    auto* hardware = kx::NamedButton("Command1", QStringLiteral("&Hardware Reset"), frame);
    auto* software = kx::NamedButton("Command2", QStringLiteral("&Software Reset"), frame);
    auto* cancel = kx::NamedButton("Command3", QStringLiteral("&Cancel"), frame);
    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(12, 16, 12, 12);
    row->setSpacing(12);
    for (auto* button : {hardware, software, cancel}) {
        button->setMinimumWidth(130);
        row->addWidget(button);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(hardware, &QPushButton::clicked, this, [this] {
        kx::HardwareReset();
        accept();
    });
    connect(software, &QPushButton::clicked, this, [this] {
        kx::SoftwareReset();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}
