#pragma once

#include <QDialog>
#include <QIcon>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QShowEvent;

namespace kx {

// Where a window of the given outer size sits centred on a display.
QPoint CentredTopLeft(const QRect& display, const QSize& window);

// Moves a window to the centre of the display it is on.
void CentreOnScreen(QWidget* window);

// Base of every screen: modal, and centred on the display each time it is shown.
class ScreenDialog : public QDialog {
    Q_OBJECT
public:
    explicit ScreenDialog(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
};

// The busy pointer for as long as it lives, restored however the work ends.
struct BusyPointer {
    BusyPointer();
    ~BusyPointer();
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

// Controls carry their names as objectName, so tests and automation find them; a button's and a
// frame's accessible name is their caption.
QPushButton* NamedButton(const char* objectName, const QString& caption, QWidget* parent);
QGroupBox* NamedFrame(const char* objectName, const QString& title, QWidget* parent);
QLabel* NamedLabel(const char* objectName, const QString& text, QWidget* parent);
// A value label's text, and its accessible name: the caption with the value after it, so a
// screen reader speaks what it shows ("Read No. 410"); the caption alone while it is empty.
void ShowLabelValue(QLabel* label, const QString& caption, const QString& value);
// A screen's heading: a named label in large bold type, centred.
QLabel* HeadingLabel(const char* objectName, const QString& text, QWidget* parent);

// Runs action whenever option becomes selected, by the user or by code: a register screen's
// handler tests UpdatingDisplay itself, so a selection made by code writes nothing.
void OnSelected(QRadioButton* option, QObject* context, std::function<void()> action);

// A button that opens a screen over parent; disabled while that screen does not exist (empty
// opener).
void WireOpener(QPushButton* button, QWidget* parent, std::function<void(QWidget*)> opener);

// The application icon, drawn at the given size: a converter chip with a staircase on it.
QPixmap ApplicationIconPixmap(int size);
QIcon ApplicationIcon();

}  // namespace kx
