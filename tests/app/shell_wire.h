#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "board/windows_version.h"
#include "tests/support/board_fixture.h"

// Expected board traffic of the shell, written out here rather than taken from the code under
// test, and the small fakes the screen tests share.

// Hardware reset: the reset line low for one write, then idle.
inline std::vector<int> HardwareResetWrites() {
    return {0x18, 0x1A};
}

// Software reset: 32 pulses with data in high, idle, then registers 12 and 13 written with 0.
inline std::vector<int> SoftwareResetWrites() {
    std::vector<int> writes;
    for (int i = 0; i < 32; ++i) {
        writes.push_back(0x13);
        writes.push_back(0x19);
    }
    writes.push_back(0x1A);
    return Concat({writes, SerialWordWrites(0x0C, 8), SerialWordWrites(0, 16),
                   SerialWordWrites(0x0D, 8), SerialWordWrites(0, 16)});
}

// Openers that only note which screen was asked for.
struct OpenLog {
    QStringList opened;
    std::function<void(QWidget*)> opener(const QString& screen) {
        return [this, screen](QWidget*) { opened << screen; };
    }
};

// Start-up's greying of the printer-port menu is program-wide; each test leaves it as found.
struct PortMenuGuard {
    kx::PrinterPortMenuState saved = kx::PortMenuEnabled;
    ~PortMenuGuard() { kx::PortMenuEnabled = saved; }
};
