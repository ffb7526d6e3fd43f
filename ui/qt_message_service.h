#pragma once

#include <QString>
#include <memory>
#include <string>

#include "core/messages.h"

class QMessageBox;
class QWidget;

namespace kx {

// The message text as a message box shows it: CR LF and lone CR become line breaks.
QString DisplayText(const std::string& text);

// The box for one message, ready to run: text, title, icon and buttons; Yes is the default of a
// question and No its escape.
std::unique_ptr<QMessageBox> BuildMessageBox(const Message& message, QWidget* parent);

// Shows each message in a modal QMessageBox over the active screen.
class QtMessageService final : public MessageService {
public:
    Answer show(const Message& message) override;
};

// Installs one QtMessageService for the rest of the run.
void InstallQtMessageService();

}  // namespace kx
