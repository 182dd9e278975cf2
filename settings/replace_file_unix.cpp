#include "settings/replace_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace settings {
namespace {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Makes the rename itself survive a crash.
void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Follows a chain of symbolic links to the file really written; the target need not exist.
fs::path resolveLinks(fs::path file) {
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(file, error))) {
            return file;
        }
        const fs::path target = fs::read_symlink(file, error);
        if (error) {
            return file;
        }
        file = target.is_absolute() ? target : file.parent_path() / target;
    }
    return file;
}

// Windows keeps a read-only file from everyone; here root passes every access check, so a file
// nobody may write counts as read-only for root too.
bool isReadOnly(const fs::path& file, const struct stat& status) {
    return (status.st_mode & 0222) == 0 || ::access(file.c_str(), W_OK) != 0;
}

enum class Outcome {
    Replaced,
    Blocked, // the folder takes no new file or rename: overwriting in place may still work
    Failed,  // anything else, such as a full disk, where overwriting could tear the file
};

bool isBlocked(int error) {
    return error == EACCES || error == EPERM || error == EBUSY;
}

// Writes a temporary file beside `file` and renames it over `file`.
Outcome replaceWhole(const fs::path& file, std::string_view bytes, const struct stat* old,
                     mode_t mode) {
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    const std::string stem = "." + file.filename().string() + "." + std::to_string(::getpid());
    fs::path temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder / (stem + "." + std::to_string(attempt) + ".tmp");
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return isBlocked(errno) ? Outcome::Blocked : Outcome::Failed;
        }
    }
    if (fd < 0) {
        return Outcome::Failed;
    }

    bool ok = writeAll(fd, bytes);
    if (ok && old) {
        ok = ::fchmod(fd, mode) == 0;
        // Only a privileged writer can hand the file back to its owner; others own it anyway.
        [[maybe_unused]] const int owner = ::fchown(fd, old->st_uid, old->st_gid);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(temp.c_str());
        return Outcome::Failed;
    }
    if (::rename(temp.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return isBlocked(error) ? Outcome::Blocked : Outcome::Failed;
    }
    syncFolder(folder);
    return Outcome::Replaced;
}

// The last resort: the new bytes over the old ones, cut to length only once they are in.
bool overwrite(const fs::path& file, std::string_view bytes) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool ok = writeAll(fd, bytes) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
    ok = ok && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

} // namespace

bool isAnotherUsersFile(const fs::path& path) {
    struct stat status {};
    return ::stat(resolveLinks(path).c_str(), &status) == 0 && status.st_uid != ::geteuid();
}

bool replaceFile(const fs::path& path, std::string_view bytes, ReadOnlyFile readOnly) {
    const fs::path file = resolveLinks(path);
    struct stat old {};
    const bool exists = ::stat(file.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) {
        return false;
    }
    if (exists && !S_ISREG(old.st_mode)) {
        return false;
    }
    if (exists && file != path) {
        // A link is the user's way to share a file, not ours to take another user's over with.
        if (old.st_uid != ::geteuid()) {
            static std::set<std::string> told;
            if (told.insert(path.string()).second)
                std::fprintf(stderr, "tunelark: %s is a link to another user's file: not written\n",
                             path.c_str());
            return false;
        }
        // A song file of ours linked elsewhere keeps the read-only mark it was given there.
        readOnly = ReadOnlyFile::Keep;
    }
    // A rename would replace even a read-only file, so honour it first.
    if (exists && readOnly == ReadOnlyFile::Keep && isReadOnly(file, old)) {
        return false;
    }
    const mode_t mode = (old.st_mode & 07777) | (readOnly == ReadOnlyFile::Rewrite ? S_IWUSR : 0);
    const Outcome outcome = replaceWhole(file, bytes, exists ? &old : nullptr, mode);
    if (outcome != Outcome::Blocked || !exists) {
        return outcome == Outcome::Replaced;
    }
    if (mode != (old.st_mode & 07777)) {
        ::chmod(file.c_str(), mode);
    }
    return overwrite(file, bytes);
}

} // namespace settings
