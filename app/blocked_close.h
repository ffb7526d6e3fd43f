#pragma once

class QWidget;

// Closing the main window while a screen over it is open (a read running on the Read Data
// screen, say). Qt drops a close request for a window that a modal screen blocks, so the program
// would run on after the screen closed. On X11 the window manager's request is caught before Qt
// drops it, and the screens close from the top down, each as its own close box closes it (a read
// stops and its worker is joined, the codes read kept), then the main window: the program ends.

namespace kx {

// Watches the window manager's close requests for `mainWindow` (X11 only; elsewhere the window
// system keeps a blocked window from closing).
void WatchBlockedClose(QWidget* mainWindow);

// What such a request does: closes every modal screen from the top down, then mainWindow. A
// screen that refuses to close (a question that must be answered) stops it there.
void CloseFromTop(QWidget* mainWindow);

}  // namespace kx
