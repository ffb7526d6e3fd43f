#pragma once

#include "app/sysinfo.h"
#include "ui/screen_util.h"

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
