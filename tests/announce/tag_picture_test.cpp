// The cover found in a song file's own tags, by the bytes writers put there.
#include "announce/tag_picture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kJpeg = "\xFF\xD8\xFF\xE0jpeg", kPng = "\x89PNG\r\n\x1A\npng";

std::string be32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string syncSafe(uint32_t v) {
    return {char(v >> 21 & 0x7F), char(v >> 14 & 0x7F), char(v >> 7 & 0x7F), char(v & 0x7F)};
}
std::string id3(int version, const std::string& frames, char flags = 0) {
    return "ID3" + std::string{char(version), 0, flags} + syncSafe(uint32_t(frames.size())) +
           frames;
}
// An APIC frame: ISO-8859-1 or UTF-16 description, then the picture.
std::string apic(int version, char type, const std::string& picture, bool utf16 = false) {
    const std::string body = (utf16 ? std::string("\1", 1) : std::string("\0", 1)) +
                             std::string("image/x\0", 8) + type +
                             (utf16 ? std::string("\xFF\xFE"
                                                  "d\0\0\0",
                                                  6)
                                    : std::string("d\0", 2)) +
                             picture;
    const uint32_t size = uint32_t(body.size());
    return "APIC" + (version == 4 ? syncSafe(size) : be32(size)) + std::string(2, '\0') + body;
}
// A writer's stuffing: a zero after each 0xFF that a sync mark could be read in.
std::string stuffed(const std::string& bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out += bytes[i];
        if (bytes[i] == '\xFF' && i + 1 < bytes.size() &&
            (uint8_t(bytes[i + 1]) >= 0xE0 || !bytes[i + 1]))
            out += '\0';
    }
    return out;
}
std::string flacPicture(uint32_t type, const std::string& picture, bool last) {
    const std::string block = be32(type) + be32(3) + "img" + be32(1) + "d" + std::string(16, '\0') +
                              be32(uint32_t(picture.size())) + picture;
    return std::string(1, char((last ? 0x80 : 0) | 6)) + be32(uint32_t(block.size())).substr(1) +
           block;
}
std::string box(const std::string& type, const std::string& body) {
    return be32(uint32_t(8 + body.size())) + type + body;
}

std::string found(const std::string& file) {
    return announce::tagPicture(
        [&file](uint64_t at, std::size_t size) {
            return at >= file.size() ? std::string() : file.substr(std::size_t(at), size);
        },
        file.size());
}

TEST(TagPicture, TakesTheFrontCoverElseTheFirstPictureOfAKnownType) {
    const std::string streamInfo = std::string{0, 0, 0, 2} + "si";
    const std::string covr = box("covr", box("data", std::string(8, '\0') + kPng));
    const std::string ilst = box("ilst", covr);
    const std::string mp4 = box("ftyp", "M4A ") + box("mdat", "....") +
                            box("moov", box("udta", box("meta", std::string(4, '\0') + ilst)));
    const struct {
        const char* what;
        std::string file, picture;
    } cases[] = {
        {"ID3v2.3, front after back", id3(3, apic(3, 4, kJpeg) + apic(3, 3, kPng)), kPng},
        {"ID3v2.3, back only", id3(3, apic(3, 4, kJpeg) + std::string(20, '\0')), kJpeg},
        {"ID3v2.4, UTF-16 description", id3(4, apic(4, 3, kPng, true)), kPng},
        {"ID3v2.2 PIC", id3(2, "PIC" + std::string{0, 0, 18} + std::string("\0PNG\3d\0", 7) + kPng),
         kPng},
        {"ID3v2.3, stuffed tag", id3(3, stuffed(apic(3, 3, kJpeg)), '\x80'), kJpeg},
        {"a GIF is no cover", id3(3, apic(3, 3, "GIF89a")), ""},
        {"FLAC", "fLaC" + std::string{0, 0, 0, 6} + "stream" + flacPicture(3, kJpeg, true), kJpeg},
        {"FLAC after ID3", id3(3, "") + "fLaC" + flacPicture(4, kPng, true), kPng},
        {"MP4 covr", mp4, kPng},
        {"frame past the tag", id3(3, apic(3, 3, kPng)).substr(0, 30), ""},
        {"huge frame size", id3(3, std::string("APIC\xFF\xFF\xFF\xFF\0\0", 10) + kPng), ""},
        {"FLAC, lengths past the block",
         "fLaC" + std::string("\x86\0\0\x10", 4) + be32(3) + be32(0xFFFFFFF0) + "img", ""},
        {"MP4, box larger than the file", box("ftyp", "M4A ") + be32(0xFFFF) + "moov", ""},
        {"nothing", streamInfo, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(found(c.file), c.picture) << c.what;
}

} // namespace
