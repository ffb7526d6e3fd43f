#include "registers/bit_frame_widgets.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

#include "converter/bit_texts.h"
#include "ui/screen_util.h"

namespace kx {

BitFrame::BitFrame(const char* frameName, const char* headingName, const QString& heading,
                   QWidget* parent)
    : frame_(NamedFrame(frameName, QString(), parent)) {
    frame_->setAccessibleName(heading);
    auto* grid = new QGridLayout(frame_);
    QLabel* title = NamedLabel(headingName, heading, frame_);
    title->setAlignment(Qt::AlignCenter);
    grid->addWidget(title, 0, 0, 1, 8);
    const char* const names[] = {"Label1", "Label2", "Label3", "label4",
                                 "Label5", "Label6", "Label7", "Label8"};
    for (int i = 0; i < 8; ++i) {
        QLabel* bit = NamedLabel(names[i], QStringLiteral("0"), frame_);
        bit->setAlignment(Qt::AlignCenter);
        bit->setMinimumWidth(18);
        bit->setAccessibleDescription(QStringLiteral("%1 bit %2").arg(heading).arg(7 - i));
        grid->addWidget(bit, 1, i);
        bits_[static_cast<size_t>(i)] = bit;
    }
}

void BitFrame::show(int32_t value) {
    const auto texts = BitTexts(value);
    for (size_t i = 0; i < 8; ++i)
        bits_[i]->setText(QString::fromStdString(texts[i]));
}

}  // namespace kx
