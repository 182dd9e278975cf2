#include "announce/field_files.h"

#include "announce/tag_picture.h"
#include "settings/replace_file.h"
#include "text/text.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

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

void FieldFiles::show(const playback::Track& track, std::string_view line) {
    const uint64_t turn = ++*m_turn;
    std::error_code error;
    fs::create_directories(text::pathOf(m_folder), error);
    for (const auto& [name, bytes] : fieldFileBytes(track, line))
        write(text::pathOf(m_folder) / name, bytes);
    if (track.empty() || !m_embedded)
        return showFromFile(track);
    const std::string taken = text::utf8Of(text::pathOf(m_folder) / ".cover-taken.png");
    fs::remove(text::pathOf(taken), error);
    std::weak_ptr<uint64_t> alive = m_turn;
    m_embedded(taken, [this, alive, turn, track, taken](bool saved) {
        const std::shared_ptr<uint64_t> now = alive.lock();
        if (!now || *now != turn)
            return; // these files are gone, or have moved on
        if (!saved || !putEmbedded(taken))
            showFromFile(track);
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

void FieldFiles::showFromFile(const playback::Track& track) {
    std::error_code error;
    const fs::path source = text::pathOf(track.sourceURL);
    // An address, or a file gone since it started, has no folder to look in.
    if (track.empty() || !fs::is_regular_file(source, error))
        return removeCoversBut({});
    // The song's own picture, when the engine could not hand it over; else one beside it.
    std::string bytes = tagPictureOf(track.sourceURL);
    if (bytes.empty()) {
        const std::string name = coverBeside(namesIn(source.parent_path()));
        if (!name.empty())
            bytes = picture(source.parent_path() / text::pathOf(name));
    }
    const std::string type = pictureType(bytes);
    if (type.empty())
        return removeCoversBut({});
    // Named by what it is: a JPEG under a .png name would be misread by whoever trusts the name.
    const std::string cover = "cover." + type;
    if (write(text::pathOf(m_folder) / cover, bytes))
        removeCoversBut(cover);
}

// Taken by the engine to a name of its own, then put in place as any field file is.
bool FieldFiles::putEmbedded(const std::string& taken) {
    const std::string bytes = picture(text::pathOf(taken));
    std::error_code error;
    fs::remove(text::pathOf(taken), error);
    if (pictureType(bytes) != "png" || !write(text::pathOf(m_folder) / "cover.png", bytes))
        return false;
    removeCoversBut("cover.png");
    return true;
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
