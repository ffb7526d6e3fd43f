#pragma once

#include <QString>
#include <functional>

#include "app/mainmenuform.h"
#include "app/programform.h"

namespace kx {

// The program's screens, each created afresh and shown modally over its parent.
MainMenuOpeners RealMainMenuOpeners();
ProgramMenuOpeners RealProgramMenuOpeners();

// Shows the main menu modally with the real screens behind it, every message in a Qt message
// box, and returns when it closes or Quit is confirmed. Needs a QApplication; start-up (the port,
// the reference voltage) is done by the caller. boardLine is asked again whenever the port in use
// changes.
int RunMainMenu(std::function<QString()> boardLine);

}  // namespace kx
