#pragma once

#include <QString>
#include <array>
#include <cstdint>

class QGroupBox;
class QLabel;
class QWidget;

namespace kx {

// A register's eight bit labels under a heading label, in a frame whose name is the heading's:
// Label1 shows bit 7 ... Label8 bit 0, the fourth keeping its odd lower-case name "label4".
class BitFrame {
public:
    BitFrame(const char* frameName, const char* headingName, const QString& heading,
             QWidget* parent);

    QGroupBox* frame() const { return frame_; }
    // Each label shows "1" or "0" for its bit of value.
    void show(int32_t value);

private:
    QGroupBox* frame_;
    std::array<QLabel*, 8> bits_{};
};

}  // namespace kx
