#pragma once

#include <QAccessible>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QStringList>
#include <vector>

#include "board/port.h"
#include "board/registers.h"
#include "core/globals.h"
#include "core/messages.h"
#include "sim/simulated_board.h"
#include "tests/support/board_fixture.h"
#include "tests/support/sim_bench.h"

// What the register screen tests share: a simulated board at 0x378, direct register access with
// the bytes written out here, the expected wire of an 8-bit write, and the screens read as the
// user and a screen reader see them.

// Data-register writes of an 8-bit register write.
inline std::vector<int> ByteWriteWrites(int communicationsByte, int value) {
    return Concat({SerialWordWrites(communicationsByte, 8), SerialWordWrites(value, 8)});
}

// An OK box under the application title, by default with a warning icon.
inline kx::Message Box(const QString& text, kx::Icon icon = kx::Icon::Warning) {
    return {text.toStdString(), "KX3105 Evaluation Software", icon, kx::Buttons::Ok};
}

// The eight bit labels, bit 7 first, as one string ("10000011").
inline QString BitLabels(const QWidget& form) {
    QString bits;
    for (const char* name :
         {"Label1", "Label2", "Label3", "label4", "Label5", "Label6", "Label7", "Label8"}) {
        const auto* l = form.findChild<QLabel*>(name);
        bits += l ? l->text() : QStringLiteral("?");
    }
    return bits;
}

inline QString TextOf(const QWidget& form, const char* name) {
    const auto* l = form.findChild<QLabel*>(name);
    return l ? l->text() : QStringLiteral("<no %1>").arg(name);
}

inline QRadioButton* OptionButton(const QWidget& form, const QString& name) {
    return form.findChild<QRadioButton*>(name);
}

// The selected option buttons by name, sorted.
inline QStringList CheckedOptions(const QWidget& form) {
    QStringList names;
    for (const auto* b : form.findChildren<QRadioButton*>())
        if (b->isChecked()) names << b->objectName();
    names.sort();
    return names;
}

// What the user reads on a control: window title, frame title or text.
inline QString CaptionOf(const QObject* o) {
    if (auto* w = qobject_cast<const QDialog*>(o)) return w->windowTitle();
    if (auto* g = qobject_cast<const QGroupBox*>(o)) return g->title();
    return o->property("text").toString();
}

// For rows "objectName=caption" (the form's own name for its title), the same rows as the form
// has them.
inline QStringList Captions(const QDialog& form, const QStringList& rows) {
    QStringList actual;
    for (const QString& row : rows) {
        const QString name = row.section(QLatin1Char('='), 0, 0);
        const QObject* o = name == form.objectName() ? &form : form.findChild<QObject*>(name);
        actual << name + QLatin1Char('=') + (o ? CaptionOf(o) : QStringLiteral("<missing>"));
    }
    return actual;
}

// Every visible control speaks a name: its caption without the mnemonic where it has one.
// Returns the first control that does not, or an empty string.
inline QString ControlWithoutName(QDialog& form) {
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (!w->isVisible()) continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        const QString name = a ? a->text(QAccessible::Name) : QString();
        const QString caption = CaptionOf(w).remove(QLatin1Char('&'));
        const bool ok = caption.isEmpty() ? (!name.isEmpty() || qobject_cast<QLabel*>(w))
                                          : name == caption || !w->accessibleName().isEmpty();
        if (!ok) return w->objectName() + QLatin1Char(' ') + w->metaObject()->className();
    }
    return {};
}

// The widget a screen reader names `name` (buddy labels give entries their names).
template <typename T>
T* FindByName(QWidget* window, const QString& name) {
    for (T* w : window->findChildren<T*>()) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        if (a && a->text(QAccessible::Name) == name) return w;
    }
    return nullptr;
}
