#include "core/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kx {

std::string SystemReason(int error) {
    return error == 0 ? "unknown error" : std::strerror(error);
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

}  // namespace

bool IsSaveTarget(const std::string& path, std::string* why) {
    if (path.empty()) {
        if (why) *why = Reason(ENOENT);
        return false;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return errno == ENOENT;  // a new file may be made there
    if (S_ISREG(info.st_mode)) return true;
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

bool AtomicFile::Open(const std::string& path) {
    Discard();
    error_.clear();
    std::string why;
    if (!IsSaveTarget(path, &why)) return Fail(why.empty() ? Reason(errno) : why);
    target_ = Resolved(path);
    std::string pattern = DirectoryOf(target_) + "/.kx3105-save-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = mkstemp(name.data());
    if (fd_ < 0) return Fail(Reason(errno));
    temporary_ = name.data();
    // mkstemp makes 0600; a saved file gets the usual permissions under the umask.
    const mode_t mask = umask(0);
    umask(mask);
    struct stat existing {};
    const mode_t mode =
        stat(target_.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : (0666 & ~mask);
    fchmod(fd_, mode);
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

bool AtomicFile::Commit() {
    if (fd_ < 0) return false;
    if (fsync(fd_) != 0) return Fail(Reason(errno));
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail(Reason(errno));
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) return Fail(Reason(errno));
    temporary_.clear();
    // The rename itself survives a power cut only once the directory is synced.
    const int dir = ::open(DirectoryOf(target_).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        fsync(dir);
        ::close(dir);
    }
    return true;
}

void AtomicFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

std::string SaveAtomically(const std::string& path, std::string_view bytes) {
    AtomicFile file;
    if (file.Open(path) && file.Write(bytes) && file.Commit()) return {};
    return file.error().empty() ? Reason(EIO) : file.error();
}

}  // namespace kx::files
