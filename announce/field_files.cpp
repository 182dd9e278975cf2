#include "announce/field_files.h"

#include "announce/tag_picture.h"
#include "settings/replace_file.h"
#include "text/text.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

namespace announce {
namespace {

namespace fs = std::filesystem;

constexpr std::array<const char*, 5> kFieldNames = {"artist.txt", "title.txt", "album.txt",
                                                    "duration.txt", "line.txt"};
constexpr std::array<const char*, 2> kCoverNames = {"cover.png", "cover.jpg"};

// A cover larger than this is no cover: nobody shows one, and it would be copied at every start.
constexpr std::uintmax_t kMaxCoverBytes = 16 << 20;

// One line of text for a reader that shows the file as it is: a tag's BOM would be shown too.
std::string fieldText(std::string_view value) {
    std::string text = text::validUtf8(playback::blankControls(std::string(value)));
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    while (text.starts_with(kBom))
        text.erase(0, kBom.size());
    return text;
}

bool write(const fs::path& file, std::string_view bytes) {
    return settings::replaceFile(file, bytes, settings::ReadOnlyFile::Rewrite);
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        names.push_back(text::utf8Of(it->path().filename()));
    return names;
}

// The picture's bytes; empty when it cannot be read or is too large to be a cover.
std::string picture(const fs::path& file) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    if (error || size > kMaxCoverBytes)
        return {};
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

std::vector<std::pair<std::string, std::string>> fieldFileBytes(const playback::Track& track,
                                                                std::string_view line) {
    const std::string_view values[] = {track.author, track.name, track.album, track.durationString,
                                       line};
    std::vector<std::pair<std::string, std::string>> files;
    for (std::size_t i = 0; i < kFieldNames.size(); ++i)
        files.emplace_back(kFieldNames[i], fieldText(values[i]));
    return files;
}

std::string coverBeside(const std::vector<std::string>& names) {
    for (const char* stem : {"cover", "folder", "front", "albumartsmall"}) {
        for (const char* type : {".png", ".jpg", ".jpeg"}) {
            for (const std::string& name : names) {
                if (text::lowerAscii(name) == std::string(stem) + type)
                    return name;
            }
        }
    }
    return {};
}

std::string pictureType(std::string_view bytes) {
    if (bytes.starts_with("\x89PNG\r\n\x1A\n"))
        return "png";
    if (bytes.starts_with("\xFF\xD8\xFF"))
        return "jpg";
    return {};
}

std::string pictureOfFile(const std::string& sourceURL) {
    std::error_code error;
    const fs::path source = text::pathOf(sourceURL);
    // An address, or a file gone since it started, has no folder to look in.
    if (sourceURL.empty() || !fs::is_regular_file(source, error))
        return {};
    std::string bytes = tagPictureOf(sourceURL);
    if (bytes.empty()) {
        const std::string name = coverBeside(namesIn(source.parent_path()));
        if (!name.empty())
            bytes = picture(source.parent_path() / text::pathOf(name));
    }
    return pictureType(bytes).empty() ? std::string() : bytes;
}

std::string takenPicture(const std::string& pngFile) {
    const std::string bytes = picture(text::pathOf(pngFile));
    std::error_code error;
    fs::remove(text::pathOf(pngFile), error);
    return pictureType(bytes) == "png" ? bytes : std::string();
}

void StartCover::take(const playback::Track& track, const std::string& takenFile, Done done) {
    auto taking = std::make_shared<Taking>();
    taking->source = track.sourceURL;
    // Those waiting on the same file's picture are as well served by this one.
    if (m_last && !m_last->in && m_last->source == track.sourceURL)
        taking->waiting = std::move(m_last->waiting);
    taking->waiting.push_back(std::move(done));
    m_last = taking;
    if (track.empty() || !m_save)
        return answer(*taking, {}, false);
    std::error_code error;
    fs::remove(text::pathOf(takenFile), error);
    std::weak_ptr<Taking> alive = taking;
    m_save(takenFile, [alive, takenFile](bool saved) {
        // A taking dropped leaves the file alone: the one after it may be writing there.
        if (const std::shared_ptr<Taking> taking = alive.lock())
            answer(*taking, takenFile, saved);
    });
}

void StartCover::share(const playback::Track& track, const std::string& takenFile, Done done) {
    if (!m_last || !m_last->shared || m_last->source != track.sourceURL)
        return take(track, takenFile, std::move(done));
    if (m_last->in)
        return done(m_last->bytes);
    m_last->waiting.push_back(std::move(done));
}

void StartCover::forget() {
    if (m_last)
        m_last->shared = false;
}

void StartCover::answer(Taking& taking, const std::string& takenFile, bool saved) {
    taking.bytes = saved ? takenPicture(takenFile) : std::string();
    if (taking.bytes.empty())
        taking.bytes = pictureOfFile(taking.source);
    taking.in = true;
    for (const Done& done : std::exchange(taking.waiting, {}))
        done(taking.bytes);
}

void FieldFiles::show(const playback::Track& track, std::string_view line) {
    const uint64_t turn = ++*m_turn;
    std::error_code error;
    fs::create_directories(text::pathOf(m_folder), error);
    for (const auto& [name, bytes] : fieldFileBytes(track, line))
        write(text::pathOf(m_folder) / name, bytes);
    const std::string taken = text::utf8Of(text::pathOf(m_folder) / ".cover-taken.png");
    std::weak_ptr<uint64_t> alive = m_turn;
    m_cover.take(track, taken, [this, alive, turn](const std::string& bytes) {
        const std::shared_ptr<uint64_t> now = alive.lock();
        if (now && *now == turn) // else these files are gone, or have moved on
            putCover(bytes);
    });
}

void FieldFiles::clear() {
    ++*m_turn;
    std::error_code error;
    if (!fs::is_directory(text::pathOf(m_folder), error))
        return; // no track was shown: nothing to empty
    for (const char* name : kFieldNames)
        write(text::pathOf(m_folder) / name, {});
    removeCoversBut({});
}

// Named by what it is: a JPEG under a .png name would be misread by whoever trusts the name.
void FieldFiles::putCover(const std::string& bytes) {
    const std::string type = pictureType(bytes);
    if (type.empty())
        return removeCoversBut({});
    const std::string cover = "cover." + type;
    // One that cannot be written takes the last track's with it: better no cover than a wrong one.
    removeCoversBut(write(text::pathOf(m_folder) / cover, bytes) ? cover : std::string());
}

// The link itself goes, never a file it points to.
void FieldFiles::removeCoversBut(std::string_view keep) {
    for (const char* name : kCoverNames) {
        std::error_code error;
        if (name != keep)
            fs::remove(text::pathOf(m_folder) / name, error);
    }
}

} // namespace announce
