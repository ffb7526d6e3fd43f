#include "ui/screen_util.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>

namespace kx {

BusyPointer::BusyPointer() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}
BusyPointer::~BusyPointer() {
    QGuiApplication::restoreOverrideCursor();
}

QPoint CentredTopLeft(const QRect& display, const QSize& window) {
    return {display.x() + (display.width() - window.width()) / 2,
            display.y() + (display.height() - window.height()) / 2};
}

void CentreOnScreen(QWidget* window) {
    QScreen* screen = window->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    window->move(CentredTopLeft(screen->geometry(), window->frameGeometry().size()));
}

ScreenDialog::ScreenDialog(QWidget* parent) : QDialog(parent) {
    setModal(true);
}

void ScreenDialog::showEvent(QShowEvent* event) {
    // Centred here rather than at construction: the layout has its final size only now.
    if (!event->spontaneous()) CentreOnScreen(this);
    QDialog::showEvent(event);
}

QPushButton* NamedButton(const char* objectName, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(objectName));
    // Enter acts on the focused button, as the keyboard user expects; no button is preferred.
    button->setAutoDefault(true);
    return button;
}

QGroupBox* NamedFrame(const char* objectName, const QString& title, QWidget* parent) {
    auto* frame = new QGroupBox(title, parent);
    frame->setObjectName(QLatin1String(objectName));
    return frame;
}

QLabel* NamedLabel(const char* objectName, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(objectName));
    return label;
}

void ShowLabelValue(QLabel* label, const QString& caption, const QString& value) {
    label->setText(value);
    label->setAccessibleName(value.isEmpty() ? caption : caption + QLatin1Char(' ') + value);
}

QLabel* HeadingLabel(const char* objectName, const QString& text, QWidget* parent) {
    QLabel* label = NamedLabel(objectName, text, parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

void OnSelected(QRadioButton* option, QObject* context, std::function<void()> action) {
    QObject::connect(option, &QRadioButton::toggled, context,
                     [action = std::move(action)](bool on) {
                         if (on) action();
                     });
}

void WireOpener(QPushButton* button, QWidget* parent, std::function<void(QWidget*)> opener) {
    button->setEnabled(static_cast<bool>(opener));
    if (!opener) return;
    QObject::connect(button, &QPushButton::clicked, parent,
                     [parent, opener = std::move(opener)] { opener(parent); });
}

QPixmap ApplicationIconPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);

    // Pins along both sides of the package.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xB0, 0xB4, 0xBA));
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(1, 7 + i * 5.5, 5, 2.5));
        p.drawRect(QRectF(26, 7 + i * 5.5, 5, 2.5));
    }

    // The package.
    p.setBrush(QColor(0x1F, 0x3A, 0x5F));
    p.drawRoundedRect(QRectF(5, 3, 22, 26), 2.5, 2.5);

    // A staircase rising to the right: the quantised signal.
    QPainterPath steps;
    steps.moveTo(9, 24);
    for (int i = 0; i < 5; ++i) {
        steps.lineTo(9 + i * 3, 24 - i * 3.5);
        steps.lineTo(12 + i * 3, 24 - i * 3.5);
    }
    p.setPen(QPen(QColor(0x7F, 0xE0, 0x8A), 1.8, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(steps);

    // Pin-one marker.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xE8, 0xEC, 0xF0));
    p.drawEllipse(QPointF(9.5, 7.5), 1.6, 1.6);
    return pixmap;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(ApplicationIconPixmap(size));
    return icon;
}

}  // namespace kx
