#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "board/port.h"

// The real printer port, through the Linux kernel's ppdev interface (/dev/parportN). The port is
// checked to be a ppdev device, opened read-write and claimed (not exclusively) once, and never
// released while the program runs. Accesses at the base address, base + 1 and base + 2 become the
// ppdev calls for the data, status and control registers; any other address belongs to no claimed
// port.

namespace kx {

// What a device path names. Only a printer-port node is ever opened: opening anything else
// read-write (a file, a disk, a watchdog) could harm it.
enum class DeviceNode {
    PrinterPort,  // a ppdev character device
    Missing,      // nothing there
    Other,        // a regular file, a directory, another kind of device
    Unknown,      // could not be looked at; opening it says why
};

// The kernel calls the port makes, so that the mapping can be tested without hardware. Every
// call returns a negative errno on failure.
class PpdevSystem {
public:
    virtual ~PpdevSystem() = default;
    virtual DeviceNode node(const std::string& path) = 0;
    virtual int open(const std::string& path) = 0;  // file descriptor
    // PPCLAIM, giving up with -EINTR when the port stays held by someone else.
    virtual int claim(int fd) = 0;
    virtual int ioctl(int fd, unsigned long request, void* argument) = 0;
    virtual std::optional<std::string> readFile(const std::string& path) = 0;
    virtual std::vector<std::string> listDirectory(const std::string& path) = 0;
    // The minor number of a character device, which is its kernel port number.
    virtual std::optional<int> deviceMinor(const std::string& path) = 0;
};

// The calls as the kernel answers them.
std::unique_ptr<PpdevSystem> MakeKernelPpdevSystem();

// The base I/O address from a kernel "base-addr" entry ("888\t1912\n"): the first of its
// decimal numbers. None for text without a number or a base outside 1..0xFFFF.
std::optional<int> ParseBaseAddr(std::string_view text);

// Why a port could not be opened (atOpen) or claimed, in words a user can act on.
std::string ClaimFailureAdvice(const std::string& device, int error, bool atOpen, bool portExists);

// Why a path that names no printer port is refused before it is opened.
std::string NotAPortAdvice(const std::string& device, DeviceNode node);

inline constexpr const char* DefaultPortDevice = "/dev/parport0";
inline constexpr const char* KernelPortDirectory = "/proc/sys/dev/parport";

class PpdevPort final : public PortBackend {
public:
    // Why a port cannot be claimed goes to diagnostics, one line each, after `prefix`.
    PpdevPort(std::string device, PpdevSystem& system, std::ostream& diagnostics,
              std::string prefix = "kx3105: ");
    ~PpdevPort() override;

    // The number of printer ports the kernel offers.
    int32_t GetParallelPortCount() override;
    // Port 1 is the chosen device: open it and claim it. A path that is no printer-port device
    // is refused without being opened.
    int16_t ClaimParallelPort(int32_t port, bool wait) override;
    // Port 1's base address, from the kernel's base-addr entry for that port; none when the
    // device is no printer port.
    int16_t GetParallelPortInfo(int32_t port, PortInfo& info) override;
    int32_t InByte(int32_t address) override;
    void OutByte(int32_t address, int32_t value) override;
    std::string describe() const override { return device_; }
    bool claimed() const override { return claimed_; }
    // The claimed port's base address, where its registers answer.
    std::optional<int32_t> boardAddress() const override { return claimed_ ? base_ : std::nullopt; }

    const std::string& device() const { return device_; }

private:
    std::string baseAddrPath() const;
    std::optional<int> lookupBase();
    bool kernelPortExists();
    int readRegister(unsigned long request);

    std::string device_;
    PpdevSystem& system_;
    std::ostream& diagnostics_;
    std::string prefix_;
    int fd_ = -1;
    bool claimed_ = false;
    std::optional<int> base_;
    bool reverse_ = false;  // data direction last set through PPDATADIR
};

}  // namespace kx
