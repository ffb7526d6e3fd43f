#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "app/openers.h"
#include "app/startup.h"
#include "app/x_display.h"
#include "board/program_port.h"
#include "core/messages.h"
#include "core/version.h"
#include "ui/program_board.h"
#include "ui/qt_message_service.h"

namespace {

void ShowTraceWarning(const std::string& warning) {
    if (!warning.empty()) kx::ShowMessage(warning, kx::Icon::Warning);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = kx::ParseCommandLine(args, kx::sim::Speed::RealTime);
    if (!parsed.ok) {
        std::cerr << "kx3105: " << parsed.error << "\n" << kx::Usage("kx3105");
        return 2;
    }
    const kx::StartupOptions& options = parsed.options;
    if (options.help) return kx::WriteOutput(kx::Usage("kx3105"), stdout, std::cerr) ? 0 : 1;
    if (options.version)
        return kx::WriteOutput(std::string(kx::VersionString) + "\n", stdout, std::cerr) ? 0 : 1;
    // Qt aborts with a core dump when it finds no display, or one it cannot open; say it plainly
    // instead.
    const kx::DisplayChoice display =
        kx::ChooseDisplay([](const char* name) -> const char* { return std::getenv(name); });
    if (display.kind == kx::DisplayChoice::Kind::None) {
        std::cerr << "kx3105: " << kx::NoDisplayError << "\n";
        return 2;
    }
    std::optional<kx::XDisplayConnection> xDisplay;
    if (display.kind == kx::DisplayChoice::Kind::X) {
        xDisplay.emplace(display.xDisplay);
        if (!xDisplay->opened()) {
            std::cerr << "kx3105: " << kx::CannotOpenDisplayError(display.xDisplay) << "\n";
            return 2;
        }
    }
    // A trace reader that goes away is a failed write to report, not the end of the program.
    std::signal(SIGPIPE, SIG_IGN);

    QApplication app(argc, argv);
    xDisplay.reset();  // Qt holds its own connection now
    QApplication::setApplicationName(QStringLiteral("KX3105 Evaluation Software"));
    QApplication::setApplicationVersion(QString::fromLatin1(kx::VersionString));

    // Created only now that the program is sure to start, so a failed start leaves no file.
    if (options.traceFile) {
        std::string error;
        switch (kx::OpenPortTrace(*options.traceFile, error)) {
            case kx::TraceStart::Started:
                break;
            case kx::TraceStart::WouldBlock:
                std::cerr << "kx3105: refusing the trace " << *options.traceFile << ": " << error
                          << "\n";
                return 2;
            case kx::TraceStart::Failed:
                std::cerr << "kx3105: cannot write the trace " << *options.traceFile << ": "
                          << error << "\n";
                return 1;
        }
    }
    // The trace is complete whenever the program sits waiting for the user. A failure found
    // then is shown once the event loop runs again: no dialog inside the dispatcher's wait.
    QObject::connect(
        QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, [] {
            kx::BeforeUserWait();
            std::string warning = kx::TakePortTraceWarning();
            if (!warning.empty())
                QTimer::singleShot(0, [warning] { kx::ShowMessage(warning, kx::Icon::Warning); });
        });

    kx::BoardPort board = kx::OpenBoardPort(options, std::cerr);
    SetPortBackend(board.backend.get());
    kx::InstallQtMessageService();
    kx::RunStartup(options);

    const int result =
        kx::RunMainMenu([&board] { return QString::fromStdString(kx::BoardLine(board)); });
    SetPortBackend(nullptr);
    kx::StopPortTrace();
    ShowTraceWarning(kx::TakePortTraceWarning());  // a failure at the close
    return result;
}
