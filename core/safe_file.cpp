#include "core/safe_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kx {

std::string SystemReason(int error) {
    return error == 0 ? "unknown error" : std::strerror(error);
}

namespace {

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

// "\n", "\t", "\x1B" for a control character; other characters as they are.
void AppendEscaped(std::string& text, char c) {
    if (c == '\n') {
        text += "\\n";
    } else if (c == '\r') {
        text += "\\r";
    } else if (c == '\t') {
        text += "\\t";
    } else if (IsControl(c)) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
        text += hex;
    } else {
        text += c;
    }
}

}  // namespace

std::string Escaped(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    for (const char c : text)
        AppendEscaped(line, c);
    return line;
}

std::string Quoted(const std::string& name) {
    bool plain = true;
    for (const char c : name)
        plain = plain && !IsControl(c);
    if (plain) return name;
    std::string quoted = "\"";
    for (const char c : name) {
        if (c == '"' || c == '\\') quoted += '\\';
        AppendEscaped(quoted, c);
    }
    return quoted + "\"";
}

}  // namespace kx

namespace kx::files {

namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

// The file a path finally names: a symbolic link is followed, so a save replaces the file the
// link points to and keeps the link.
std::string Resolved(const std::string& path) {
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsStream(mode_t mode) {
    return S_ISFIFO(mode) || S_ISCHR(mode);
}

// A hidden name beside the target that no one else is likely to take.
std::string TemporaryName(const std::string& directory) {
    static constexpr char Letters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::atomic<uint64_t> counter{0};
    uint64_t bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != sizeof bits)
        bits = (static_cast<uint64_t>(getpid()) << 32) ^ ++counter ^
               static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::string name = directory + "/.kx3105-save-";
    for (int i = 0; i < 10; ++i, bits /= sizeof Letters - 1)
        name += Letters[bits % (sizeof Letters - 1)];
    return name;
}

// Linking an unnamed file in goes through its /proc/self/fd entry (linkat with AT_EMPTY_PATH
// needs a privilege); without /proc the named temporary is used from the start.
bool CanLinkUnnamed() {
    return access("/proc/self/fd", X_OK) == 0;
}

}  // namespace

bool IsSaveTarget(const std::string& path, std::string* why, Streams streams) {
    if (path.empty()) {
        if (why) *why = Reason(ENOENT);
        return false;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return errno == ENOENT;  // a new file may be made there
    if (S_ISREG(info.st_mode)) return true;
    if (streams == Streams::Written && IsStream(info.st_mode)) return true;
    if (why) *why = S_ISDIR(info.st_mode) ? Reason(EISDIR) : "not a regular file";
    return false;
}

AtomicFile::~AtomicFile() {
    Discard();
}

bool AtomicFile::Fail(const std::string& what) {
    if (error_.empty()) error_ = what;
    Discard();
    return false;
}

bool AtomicFile::Open(const std::string& path, Streams streams) {
    Discard();
    error_.clear();
    std::string why;
    if (!IsSaveTarget(path, &why, streams)) return Fail(why.empty() ? Reason(errno) : why);
    target_ = Resolved(path);
    struct stat existing {};
    const bool replacing = stat(target_.c_str(), &existing) == 0;
    if (replacing && IsStream(existing.st_mode)) {
        fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd_ < 0) return Fail(Reason(errno));
        stream_ = true;
        return true;
    }

    // Created with 0666, which the umask trims, as any new file is.
    const std::string directory = DirectoryOf(target_);
    if (CanLinkUnnamed()) {
        fd_ = ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        // A file system without unnamed files says so in one of these ways.
        if (fd_ < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return Fail(Reason(errno));
        unnamed_ = fd_ >= 0;
    }
    for (int attempt = 0; fd_ < 0; ++attempt) {
        const std::string name = TemporaryName(directory);
        fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temporary_ = name;
        } else if (errno != EEXIST || attempt == 100) {
            return Fail(Reason(errno));
        }
    }
    // A replaced file keeps who may read and write it; what is written is data, so never its
    // execute, set-ID or sticky bits.
    if (replacing && fchmod(fd_, existing.st_mode & 0666) != 0) return Fail(Reason(errno));
    return true;
}

bool AtomicFile::Write(std::string_view bytes) {
    if (fd_ < 0) return false;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(Reason(errno));
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// The unnamed temporary takes a new target's name at once; an existing target is replaced by
// rename from a name of the temporary's own, since a link never replaces.
bool AtomicFile::PutInPlace() {
    if (unnamed_) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST) return Fail(Reason(errno));
        for (int attempt = 0; temporary_.empty(); ++attempt) {
            const std::string name = TemporaryName(DirectoryOf(target_));
            if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                temporary_ = name;
            else if (errno != EEXIST || attempt == 100)
                return Fail(Reason(errno));
        }
    }
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) return Fail(Reason(errno));
    temporary_.clear();
    return true;
}

bool AtomicFile::Commit() {
    if (fd_ < 0) return false;
    if (stream_) {
        const int fd = fd_;
        fd_ = -1;
        stream_ = false;
        return ::close(fd) == 0 || Fail(Reason(errno));
    }
    if (fsync(fd_) != 0) return Fail(Reason(errno));
    if (!PutInPlace()) return false;
    ::close(fd_);  // synced above: nothing is left for close to report
    fd_ = -1;
    unnamed_ = false;
    // The new name itself survives a power cut only once the directory is synced.
    const int dir = ::open(DirectoryOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        ::close(dir);
    }
    return true;
}

void AtomicFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    stream_ = false;
    unnamed_ = false;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

std::string SaveAtomically(const std::string& path, std::string_view bytes, Streams streams) {
    AtomicFile file;
    if (file.Open(path, streams) && file.Write(bytes) && file.Commit()) return {};
    return file.error().empty() ? Reason(EIO) : file.error();
}

}  // namespace kx::files
