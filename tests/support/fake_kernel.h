#pragma once

#include <sys/ioctl.h>

#include <linux/ppdev.h>
#include <cerrno>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "board/ppdev_port.h"

struct PpdevCall {
    unsigned long request;
    int value;  // byte or int argument written, or -1 for a read
    bool operator==(const PpdevCall&) const = default;
};

// The kernel as the ppdev tests need it: files, devices and registers are set per test.
class FakeKernel final : public kx::PpdevSystem {
public:
    std::map<std::string, std::string> files;
    std::map<std::string, int> minors;
    // What a path is, where it is not a printer-port node of `minors`; anything else is missing.
    std::map<std::string, kx::DeviceNode> nodes;
    std::vector<std::string> procEntries;
    int openResult = 3;
    int claimResult = 0;
    unsigned char data = 0, status = 0x7F, control = 0x0C;
    std::vector<PpdevCall> calls;
    std::vector<std::string> opened;
    int claims = 0;

    kx::DeviceNode node(const std::string& path) override {
        if (auto n = nodes.find(path); n != nodes.end()) return n->second;
        return minors.count(path) ? kx::DeviceNode::PrinterPort : kx::DeviceNode::Missing;
    }
    int open(const std::string& path) override {
        opened.push_back(path);
        return openResult;
    }
    int claim(int) override {
        ++claims;
        return claimResult;
    }
    int ioctl(int, unsigned long request, void* argument) override {
        auto* byte = static_cast<unsigned char*>(argument);
        switch (request) {
            case PPWDATA:
                data = *byte;
                calls.push_back({request, *byte});
                return 0;
            case PPWCONTROL:
                control = *byte;
                calls.push_back({request, *byte});
                return 0;
            case PPDATADIR:
                calls.push_back({request, *static_cast<int*>(argument)});
                return 0;
            case PPRDATA:
                *byte = data;
                break;
            case PPRSTATUS:
                *byte = status;
                break;
            case PPRCONTROL:
                *byte = control & 0x0F;
                break;
            default:
                return -EINVAL;
        }
        calls.push_back({request, -1});
        return 0;
    }
    std::optional<std::string> readFile(const std::string& path) override {
        auto f = files.find(path);
        if (f == files.end()) return std::nullopt;
        return f->second;
    }
    std::vector<std::string> listDirectory(const std::string&) override { return procEntries; }
    std::optional<int> deviceMinor(const std::string& path) override {
        auto m = minors.find(path);
        if (m == minors.end()) return std::nullopt;
        return m->second;
    }

    // A machine with parport0 at 0x378.
    void havePort0() {
        procEntries = {"default", "parport0"};
        minors["/dev/parport0"] = 0;
        files["/proc/sys/dev/parport/parport0/base-addr"] = "888\t1912\n";
    }
};
