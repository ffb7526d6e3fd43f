#include "board/ppdev_port.h"

#include <cerrno>
#include <cstring>

#ifdef __linux__
#include <fcntl.h>
#include <linux/major.h>
#include <linux/ppdev.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#endif

namespace kx {

std::optional<int> ParseBaseAddr(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n'))
        ++i;
    long value = 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 7) {
        value = value * 10 + (text[i] - '0');
        ++i;
        ++digits;
    }
    if (digits == 0 || (i < text.size() && text[i] >= '0' && text[i] <= '9')) return std::nullopt;
    if (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\n')
        return std::nullopt;
    if (value < 1 || value > 0xFFFF) return std::nullopt;
    return static_cast<int>(value);
}

namespace {

constexpr const char* HeldAdvice =
    "the port is held by another driver. Unload it (for example: sudo modprobe -r lp) or stop the "
    "program that uses the port.";
constexpr const char* NoDeviceAdvice =
    "no such device. This machine offers no printer port there: check that the port is enabled "
    "and the parport_pc and ppdev modules are loaded (sudo modprobe -a parport_pc ppdev), or name "
    "another port with --port DEVICE.";

}  // namespace

std::string ClaimFailureAdvice(const std::string& device, int error, bool atOpen, bool portExists) {
    const std::string what = (atOpen ? "cannot open " : "cannot claim ") + device + ": ";
    switch (error) {
        case EACCES:
        case EPERM:
            return what +
                   "permission denied. Add your user to the lp group "
                   "(sudo usermod -aG lp $USER), then log out and in again.";
        case ENOTTY:  // PPCLAIM on a character device of another kind
            return NotAPortAdvice(device, DeviceNode::Other);
        case ENXIO:
            if (atOpen || !portExists) return what + NoDeviceAdvice;
            [[fallthrough]];
        case EBUSY:
        case EINTR:
            return what + HeldAdvice;
        case ENOENT:
        case ENODEV:
            return what + NoDeviceAdvice;
        default:
            return what + std::strerror(error) + ".";
    }
}

std::string NotAPortAdvice(const std::string& device, DeviceNode node) {
    const std::string notAPort = device + " is not a printer port device";
    return node == DeviceNode::Missing ? notAPort + ": " + NoDeviceAdvice : notAPort + ".";
}

PpdevPort::PpdevPort(std::string device, PpdevSystem& system, std::ostream& diagnostics,
                     std::string prefix)
    : device_(std::move(device)),
      system_(system),
      diagnostics_(diagnostics),
      prefix_(std::move(prefix)) {}

// The port is never released while the program runs; closing the descriptor at exit is
// what the kernel does anyway.
PpdevPort::~PpdevPort() = default;

// The kernel's base-addr entry for the device's port.
std::string PpdevPort::baseAddrPath() const {
    std::string port;
    if (auto minor = system_.deviceMinor(device_)) {
        port = std::to_string(*minor);
    } else {
        // No such device node: take the number the name ends in, so the lookup still says why.
        size_t start = device_.size();
        while (start > 0 && device_[start - 1] >= '0' && device_[start - 1] <= '9')
            --start;
        port = start < device_.size() ? device_.substr(start) : "0";
    }
    return std::string(KernelPortDirectory) + "/parport" + port + "/base-addr";
}

bool PpdevPort::kernelPortExists() {
    return system_.readFile(baseAddrPath()).has_value();
}

std::optional<int> PpdevPort::lookupBase() {
    auto text = system_.readFile(baseAddrPath());
    if (!text) return std::nullopt;
    return ParseBaseAddr(*text);
}

int32_t PpdevPort::GetParallelPortCount() {
    int32_t count = 0;
    for (const auto& name : system_.listDirectory(KernelPortDirectory))
        if (name.rfind("parport", 0) == 0) ++count;
    return count;
}

int16_t PpdevPort::ClaimParallelPort(int32_t port, bool) {
    if (port != 1) return 0;
    if (claimed_) return 1;
    if (const DeviceNode node = system_.node(device_);
        node != DeviceNode::PrinterPort && node != DeviceNode::Unknown) {
        diagnostics_ << prefix_ << NotAPortAdvice(device_, node) << "\n";
        return 0;
    }
    const int fd = system_.open(device_);
    if (fd < 0) {
        diagnostics_ << prefix_ << ClaimFailureAdvice(device_, -fd, true, kernelPortExists())
                     << "\n";
        return 0;
    }
    fd_ = fd;
    const int result = system_.claim(fd_);
    if (result < 0) {
        diagnostics_ << prefix_ << ClaimFailureAdvice(device_, -result, false, kernelPortExists())
                     << "\n";
        return 0;
    }
    claimed_ = true;
    base_ = lookupBase();
    return 1;
}

int16_t PpdevPort::GetParallelPortInfo(int32_t port, PortInfo& info) {
    if (port != 1) return 0;
    if (!claimed_) {
        const DeviceNode node = system_.node(device_);
        if (node == DeviceNode::Missing || node == DeviceNode::Other) return 0;
    }
    auto base = lookupBase();
    if (!base) return 0;
    if (claimed_) base_ = base;
    info.baseAddress = *base;
    return 1;
}

int PpdevPort::readRegister(unsigned long request) {
    unsigned char value = 0xFF;
    if (system_.ioctl(fd_, request, &value) < 0) return 0xFF;
    return value;
}

#ifdef __linux__

int32_t PpdevPort::InByte(int32_t address) {
    if (!claimed_ || !base_) return 0xFF;
    const int offset = address - *base_;
    switch (offset) {
        case 0:
            return readRegister(PPRDATA);
        case 1:
            return readRegister(PPRSTATUS);
        case 2: {
            // ppdev keeps control bits 0..3; the direction bit is the one we last set.
            unsigned char control = 0;
            if (system_.ioctl(fd_, PPRCONTROL, &control) < 0) return 0xFF;
            return (control & 0x0F) | (reverse_ ? 0x20 : 0);
        }
        default:
            return 0xFF;
    }
}

void PpdevPort::OutByte(int32_t address, int32_t value) {
    if (!claimed_ || !base_) return;
    const int offset = address - *base_;
    if (offset == 0) {
        unsigned char data = static_cast<unsigned char>(value);
        system_.ioctl(fd_, PPWDATA, &data);
    } else if (offset == 2) {
        // PPWCONTROL takes the four line bits; bit 5, the data direction, goes through
        // PPDATADIR. Bits 4, 6 and 7 (interrupt enable, unused) are the driver's business.
        unsigned char control = static_cast<unsigned char>(value & 0x0F);
        system_.ioctl(fd_, PPWCONTROL, &control);
        int reverse = (value & 0x20) ? 1 : 0;
        if (system_.ioctl(fd_, PPDATADIR, &reverse) >= 0) reverse_ = reverse != 0;
    }
    // The status register (offset 1) is read-only; other addresses are no port of ours.
}

namespace {

void IgnoreAlarm(int) {}

class KernelPpdevSystem final : public PpdevSystem {
public:
    DeviceNode node(const std::string& path) override {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0)
            return errno == ENOENT || errno == ENOTDIR ? DeviceNode::Missing : DeviceNode::Unknown;
        return S_ISCHR(info.st_mode) && major(info.st_rdev) == PP_MAJOR ? DeviceNode::PrinterPort
                                                                        : DeviceNode::Other;
    }

    int open(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
        return fd < 0 ? -errno : fd;
    }

    // PPCLAIM sleeps while another driver holds the port; an alarm bounds that wait.
    int claim(int fd) override {
        struct sigaction action {
        }, previous{};
        action.sa_handler = IgnoreAlarm;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;  // no SA_RESTART: the sleeping claim must return EINTR
        sigaction(SIGALRM, &action, &previous);
        itimerval timer{};
        timer.it_value.tv_sec = 2;
        setitimer(ITIMER_REAL, &timer, nullptr);
        const int result = ::ioctl(fd, PPCLAIM);
        const int error = errno;
        itimerval off{};
        setitimer(ITIMER_REAL, &off, nullptr);
        sigaction(SIGALRM, &previous, nullptr);
        return result < 0 ? -error : 0;
    }

    int ioctl(int fd, unsigned long request, void* argument) override {
        return ::ioctl(fd, request, argument) < 0 ? -errno : 0;
    }

    std::optional<std::string> readFile(const std::string& path) override {
        std::ifstream in(path);
        if (!in) return std::nullopt;
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::vector<std::string> listDirectory(const std::string& path) override {
        std::vector<std::string> names;
        std::error_code error;
        for (std::filesystem::directory_iterator it(path, error), end; !error && it != end;
             it.increment(error))
            names.push_back(it->path().filename().string());
        return names;
    }

    std::optional<int> deviceMinor(const std::string& path) override {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return std::nullopt;
        return static_cast<int>(minor(info.st_rdev));
    }
};

}  // namespace

std::unique_ptr<PpdevSystem> MakeKernelPpdevSystem() {
    return std::make_unique<KernelPpdevSystem>();
}

#else  // no ppdev on this system: the port is never claimed

int32_t PpdevPort::InByte(int32_t) {
    return 0xFF;
}
void PpdevPort::OutByte(int32_t, int32_t) {}
std::unique_ptr<PpdevSystem> MakeKernelPpdevSystem() {
    return nullptr;
}

#endif

}  // namespace kx
