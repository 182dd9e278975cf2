#include "announce/song_file.h"

#include "announce/format.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace announce {
namespace {

QByteArray lineOf(const QString& value) {
    return blankLineBreaks(value).toLocal8Bit() + "\r\n";
}

// Follows a chain of symbolic links to the file that is really written; the target need not
// exist yet.
fs::path resolveLinks(fs::path p) {
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(p, ec)))
            return p;
        const fs::path target = fs::read_symlink(p, ec);
        if (ec)
            return p;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p;
}

bool writeAll(const fs::path& p, const QByteArray& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(bytes.constData(), bytes.size());
    out.close();
    return !out.fail();
}

fs::path temporaryBeside(const fs::path& target) {
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 16; ++attempt) {
        fs::path candidate = target;
        candidate += ".tmp" + std::to_string(random() % 1000000);
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec)))
            return candidate;
    }
    return {};
}

} // namespace

QByteArray songFileBytes(const NowPlaying& track) {
    return lineOf(track.author) + lineOf(track.name) + lineOf(track.durationString) +
           lineOf(track.bitrate);
}

bool writeSongFile(const QString& path, const NowPlaying& track) {
    try {
        const QByteArray bytes = songFileBytes(track);
        const fs::path target = resolveLinks(fs::path(path.toStdU16String()));
        std::error_code ec;

        // A read-only file is still ours to rewrite.
        const fs::file_status old = fs::status(target, ec);
        const bool existed = !ec && fs::exists(old);
        if (existed)
            fs::permissions(target, fs::perms::owner_write, fs::perm_options::add, ec);

        const fs::path temporary = temporaryBeside(target);
        if (!temporary.empty() && writeAll(temporary, bytes)) {
            if (existed) {
                fs::permissions(temporary, old.permissions() | fs::perms::owner_write,
                                fs::perm_options::replace, ec);
            }
            // Rename replaces the target in one step. On Windows a reader holding the file open
            // makes it fail for a moment, so try a few times.
            for (int attempt = 0; attempt < 10; ++attempt) {
                fs::rename(temporary, target, ec);
                if (!ec)
                    return true;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        if (!temporary.empty())
            fs::remove(temporary, ec);
        // Last resort: rewrite in place, which a reader may catch half-done.
        return writeAll(target, bytes);
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace announce
