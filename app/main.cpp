#include <QAbstractEventDispatcher>
#include <QApplication>
#include <iostream>

#include "messages.h"
#include "openers.h"
#include "port_trace.h"
#include "qt_message_service.h"
#include "startup.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = kx::ParseCommandLine(args, kx::sim::Speed::RealTime);
    if (!parsed.ok) {
        std::cerr << "kx3105: " << parsed.error << "\n" << kx::Usage("kx3105");
        return 2;
    }
    const kx::StartupOptions& options = parsed.options;
    if (options.help) {
        std::cout << kx::Usage("kx3105");
        return 0;
    }
    if (options.version) {
        std::cout << kx::ProgramVersion << "\n";
        return 0;
    }
    if (options.traceFile) {
        std::string error;
        if (!kx::StartPortTrace(*options.traceFile, error)) {
            std::cerr << "kx3105: cannot write the trace " << *options.traceFile << ": " << error
                      << "\n";
            return 1;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KX3105 Evaluation Software"));
    QApplication::setApplicationVersion(QString::fromLatin1(kx::ProgramVersion));
    // The trace is complete whenever the program sits waiting for the user.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     [] { kx::BeforeUserWait(); });

    kx::Board board = kx::OpenBoard(options, std::cerr);
    SetPortBackend(board.backend.get());
    kx::InstallQtMessageService();
    kx::RunStartup(options);

    const int result = kx::RunMainMenu(QString::fromStdString(kx::BoardLine(board)));
    SetPortBackend(nullptr);
    kx::StopPortTrace();
    return result;
}
