#include "registers/statusform.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "converter/bit_texts.h"
#include "converter/register_update.h"
#include "core/hex.h"

namespace {

struct Column {
    const char* nameLabel;
    const char* name;
    const char* valueLabel;
};

// Bit 7 first; the unnamed bits have blank name labels.
constexpr Column Columns[] = {
    {"Label10", "RDY", "Label1"}, {"Label16", "", "Label2"},     {"Label11", "CAL", "Label3"},
    {"Label15", "", "label4"},    {"Label12", "ERR", "Label5"},  {"Label17", "", "Label6"},
    {"Label14", "", "Label7"},    {"Label13", "LOCK", "Label8"},
};

}  // namespace

StatusForm::StatusForm(QWidget* parent) : ScreenDialog(parent) {
    setObjectName(QStringLiteral("StatusForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software - Display Status Register"));

    status_ = Register::For(RegisterMap::Status);
    const auto value = static_cast<int16_t>(kx::ReadValue(status_));
    const auto bits = kx::BitTexts(value);

    QLabel* heading = kx::NamedLabel("Label9", QStringLiteral("Status Register"), this);
    heading->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    heading->setAlignment(Qt::AlignCenter);
    heading->setMargin(4);

    QGroupBox* frame =
        kx::NamedFrame("Frame1", QStringLiteral("Current Contents of Status Register"), this);
    auto* grid = new QGridLayout(frame);
    grid->setHorizontalSpacing(14);
    for (int i = 0; i < 8; ++i) {
        const Column& c = Columns[i];
        const int bit = 7 - i;
        QLabel* name = kx::NamedLabel(c.nameLabel, QLatin1String(c.name), frame);
        // A blank heading still tells a screen reader which bit stands under it.
        if (*c.name == '\0') name->setAccessibleName(QStringLiteral("Bit %1").arg(bit));
        QLabel* valueLabel = kx::NamedLabel(
            c.valueLabel, QString::fromStdString(bits[static_cast<size_t>(i)]), frame);
        valueLabel->setAccessibleDescription(
            *c.name ? QStringLiteral("%1, bit %2").arg(QLatin1String(c.name)).arg(bit)
                    : QStringLiteral("Bit %1").arg(bit));
        for (QLabel* l : {name, valueLabel}) {
            l->setAlignment(Qt::AlignCenter);
            l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("LOCK")));
        }
        grid->addWidget(name, 0, i);
        grid->addWidget(valueLabel, 1, i);
    }
    QLabel* hexName = kx::NamedLabel("Label18", QStringLiteral("HEX"), frame);
    QLabel* hexValue = kx::NamedLabel("StatusLabel", QString::fromStdString(kx::Hex(value)), frame);
    hexValue->setAccessibleDescription(QStringLiteral("HEX"));
    for (QLabel* l : {hexName, hexValue}) {
        l->setAlignment(Qt::AlignCenter);
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("HEX")) + 16);
    }
    // The value column stands apart from the bits.
    grid->setColumnMinimumWidth(8, 12);
    grid->addWidget(hexName, 0, 9);
    grid->addWidget(hexValue, 1, 9);

    QPushButton* back = kx::NamedButton("Command1", QStringLiteral("B&ack"), this);
    back->setMinimumWidth(100);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(back);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(frame);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(back, &QPushButton::clicked, this, &QDialog::reject);
}
