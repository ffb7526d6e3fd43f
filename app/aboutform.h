#pragma once

#include "screen_util.h"
#include "sysinfo.h"

// The About box: the application's name and version, and a way to the system-information
// program.
class aboutform : public kx::ScreenDialog {
    Q_OBJECT
public:
    explicit aboutform(QWidget* parent = nullptr);
    explicit aboutform(kx::SystemInfoHost& host, QWidget* parent = nullptr);

private:
    kx::SystemInfoHost& host_;
};
