#include "app/blocked_close.h"

#include <dlfcn.h>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kx {

namespace {

// The X11 protocol's client message and atom reply as libxcb lays them out (fixed by the
// protocol); libxcb itself is already loaded by Qt's platform plugin, and is looked up at run
// time so that the program needs no X11 headers to build.
struct ClientMessage {
    uint8_t responseType;
    uint8_t format;
    uint16_t sequence;
    uint32_t window;
    uint32_t type;
    uint32_t data[5];
};
struct AtomCookie {
    unsigned int sequence;
};
struct AtomReply {
    uint8_t responseType;
    uint8_t pad;
    uint16_t sequence;
    uint32_t length;
    uint32_t atom;
};
constexpr uint8_t ClientMessageType = 33;

uint32_t InternAtom(void* connection, const char* name) {
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (!xcb) return 0;
    using Intern = AtomCookie (*)(void*, uint8_t, uint16_t, const char*);
    using Reply = AtomReply* (*)(void*, AtomCookie, void**);
    const auto intern = reinterpret_cast<Intern>(dlsym(xcb, "xcb_intern_atom"));
    const auto reply = reinterpret_cast<Reply>(dlsym(xcb, "xcb_intern_atom_reply"));
    uint32_t atom = 0;
    if (intern && reply) {
        AtomReply* answer =
            reply(connection, intern(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
                  nullptr);
        if (answer) atom = answer->atom;
        std::free(answer);
    }
    dlclose(xcb);
    return atom;
}

class CloseFilter : public QAbstractNativeEventFilter {
public:
    CloseFilter(QWidget* window, void* connection)
        : window_(window),
          protocols_(InternAtom(connection, "WM_PROTOCOLS")),
          deleteWindow_(InternAtom(connection, "WM_DELETE_WINDOW")) {}

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t" || !window_ || protocols_ == 0) return false;
        const auto* event = static_cast<const ClientMessage*>(message);
        if ((event->responseType & 0x7F) != ClientMessageType || event->format != 32 ||
            event->type != protocols_ || event->data[0] != deleteWindow_ ||
            event->window != static_cast<uint32_t>(window_->winId()))
            return false;
        // Qt handles a request for a window nothing blocks as it always has.
        if (!QApplication::activeModalWidget() || QApplication::activeModalWidget() == window_)
            return false;
        QPointer<QWidget> window = window_;
        QTimer::singleShot(0, window, [window] { CloseFromTop(window); });
        return true;
    }

private:
    QPointer<QWidget> window_;
    uint32_t protocols_;
    uint32_t deleteWindow_;
};

}  // namespace

void WatchBlockedClose(QWidget* mainWindow) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return;
    // Lives as long as the application; one per program.
    static CloseFilter* filter = nullptr;
    if (filter) return;
    filter = new CloseFilter(mainWindow, x11->connection());
    qApp->installNativeEventFilter(filter);
}

void CloseFromTop(QWidget* mainWindow) {
    for (QWidget* top = QApplication::activeModalWidget(); top && top != mainWindow;
         top = QApplication::activeModalWidget()) {
        top->close();
        if (top->isVisible()) return;  // it would not go: leave the rest as they are
    }
    if (mainWindow) mainWindow->close();
}

}  // namespace kx
