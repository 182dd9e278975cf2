#include "announce/tag_picture.h"

#include "announce/field_files.h"
#include "text/text.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <string_view>

namespace announce {
namespace {

constexpr std::size_t kMaxPictureBytes = 16 << 20; // as a cover beside the file
constexpr std::size_t kMaxTagBytes = kMaxPictureBytes + (1 << 20);
constexpr int kMaxSteps = 4096; // frames, blocks or boxes looked at in one file
constexpr unsigned char kFrontCover = 3;

uint32_t bigEndian(std::string_view bytes, std::size_t at, std::size_t count) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// Seven bits a byte, so the size can never look like a sync mark.
uint32_t syncSafe(std::string_view bytes, std::size_t at) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = value << 7 | (static_cast<unsigned char>(bytes[at + i]) & 0x7F);
    return value;
}

// Undoes the 0xFF 0x00 stuffing a writer may put in, so no false sync mark shows.
std::string unstuffed(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out += bytes[i];
        if (bytes[i] == '\xFF' && i + 1 < bytes.size() && bytes[i + 1] == '\0')
            ++i;
    }
    return out;
}

// Keeps the front cover once found, else the first picture of a known type.
struct Best {
    std::string picture;
    bool front = false;
    void offer(std::string_view bytes, unsigned char type) {
        if (front || bytes.size() > kMaxPictureBytes || pictureType(bytes).empty())
            return;
        if (picture.empty() || type == kFrontCover) {
            picture.assign(bytes);
            front = type == kFrontCover;
        }
    }
};

// Past a text ended by its encoding's NUL: one byte in ISO-8859-1 and UTF-8, two in UTF-16.
std::optional<std::size_t> pastText(std::string_view body, std::size_t at, unsigned char encoding) {
    if (encoding == 1 || encoding == 2) {
        for (std::size_t i = at; i + 1 < body.size(); i += 2) {
            if (body[i] == '\0' && body[i + 1] == '\0')
                return i + 2;
        }
        return std::nullopt;
    }
    const std::size_t end = body.find('\0', at);
    return end == std::string_view::npos ? std::nullopt : std::optional(end + 1);
}

// APIC: encoding, MIME type, picture type, description, picture. PIC (2.2): a three-letter
// format in place of the MIME type.
void offerPictureFrame(std::string_view body, bool threeLetterFormat, Best& best) {
    if (body.size() < 2)
        return;
    const auto encoding = static_cast<unsigned char>(body[0]);
    std::optional<std::size_t> at = std::size_t(4);
    if (!threeLetterFormat)
        at = pastText(body, 1, 0);
    if (!at || *at >= body.size())
        return;
    const auto type = static_cast<unsigned char>(body[*at]);
    if (const auto data = pastText(body, *at + 1, encoding); data && *data <= body.size())
        best.offer(body.substr(*data), type);
}

struct FrameLayout {
    std::size_t idBytes, sizeBytes, headerBytes;
};

// The frames of an ID3v2 tag's body, which starts at the first frame.
void offerId3Frames(std::string_view body, int version, Best& best) {
    const FrameLayout layout = version == 2 ? FrameLayout{3, 3, 6} : FrameLayout{4, 4, 10};
    std::size_t at = 0;
    for (int step = 0; step < kMaxSteps && at + layout.headerBytes <= body.size(); ++step) {
        const std::string_view id = body.substr(at, layout.idBytes);
        if (id[0] == '\0')
            return; // the padding
        const uint32_t size = version == 4 ? syncSafe(body, at + 4)
                                           : bigEndian(body, at + layout.idBytes, layout.sizeBytes);
        const std::size_t start = at + layout.headerBytes;
        if (size > body.size() - start)
            return;
        std::string_view frame = body.substr(start, size);
        at = start + size;
        if (id != "APIC" && id != "PIC")
            continue;
        std::string plain;
        if (version >= 3) {
            const auto flags = static_cast<unsigned char>(body[start - 1]);
            // Compressed or encrypted pictures are not worth an inflater here.
            const unsigned char closed = version == 4 ? 0x0C : 0xC0;
            if (flags & closed)
                continue;
            const std::size_t extra = (flags & (version == 4 ? 0x40 : 0x20) ? 1 : 0) +
                                      (version == 4 && (flags & 0x01) ? 4 : 0);
            frame = frame.substr(std::min(extra, frame.size()));
            if (version == 4 && (flags & 0x02))
                frame = plain = unstuffed(frame);
        }
        offerPictureFrame(frame, id == "PIC", best);
    }
}

// An ID3v2 tag at the start; its length in the file, or 0 for none.
uint64_t offerId3(const ReadAt& read, Best& best) {
    const std::string header = read(0, 10);
    if (header.size() < 10 || !header.starts_with("ID3"))
        return 0;
    const int version = static_cast<unsigned char>(header[3]);
    const auto flags = static_cast<unsigned char>(header[5]);
    const uint64_t length = 10 + uint64_t(syncSafe(header, 6)) + (flags & 0x10 ? 10 : 0);
    if (version < 2 || version > 4)
        return length;
    std::string body = read(10, std::min<uint64_t>(syncSafe(header, 6), kMaxTagBytes));
    if (version <= 3 && (flags & 0x80))
        body = unstuffed(body);
    std::size_t first = 0;
    if (version >= 3 && (flags & 0x40) && body.size() >= 4)
        first = version == 4 ? syncSafe(body, 0) : bigEndian(body, 0, 4) + 4;
    if (first < body.size())
        offerId3Frames(std::string_view(body).substr(first), version, best);
    return length;
}

// FLAC's metadata blocks, after "fLaC"; type 6 is a picture.
void offerFlac(const ReadAt& read, uint64_t at, Best& best) {
    if (read(at, 4) != "fLaC")
        return;
    at += 4;
    for (int step = 0; step < kMaxSteps; ++step) {
        const std::string header = read(at, 4);
        if (header.size() < 4)
            return;
        const uint32_t size = bigEndian(header, 1, 3);
        if ((header[0] & 0x7F) == 6 && size <= kMaxTagBytes) {
            const std::string block = read(at + 4, size);
            std::size_t pos = 4;
            for (int text = 0; text < 2 && pos + 4 <= block.size(); ++text)
                pos += 4 + std::size_t(bigEndian(block, pos, 4)); // MIME type, description
            pos += 16;                                            // size and colours
            if (pos + 4 <= block.size() && block.size() >= 4 &&
                bigEndian(block, pos, 4) <= block.size() - pos - 4)
                best.offer(std::string_view(block).substr(pos + 4, bigEndian(block, pos, 4)),
                           static_cast<unsigned char>(bigEndian(block, 0, 4)));
        }
        if (header[0] & 0x80)
            return; // the last block
        at += 4 + uint64_t(size);
    }
}

struct Box {
    uint64_t start, end;
};

// The child named type of the boxes between start and end; none when absent or malformed.
std::optional<Box> childBox(const ReadAt& read, Box in, std::string_view type) {
    uint64_t at = in.start;
    for (int step = 0; step < kMaxSteps && at + 8 <= in.end; ++step) {
        const std::string header = read(at, 16);
        if (header.size() < 8)
            return std::nullopt;
        uint64_t size = bigEndian(header, 0, 4), body = 8;
        if (size == 1 && header.size() == 16) {
            size = uint64_t(bigEndian(header, 8, 4)) << 32 | bigEndian(header, 12, 4);
            body = 16;
        } else if (size == 0) {
            size = in.end - at;
        }
        if (size < body || size > in.end - at)
            return std::nullopt;
        if (std::string_view(header).substr(4, 4) == type)
            return Box{at + body, at + size};
        at += size;
    }
    return std::nullopt;
}

// moov/udta/meta/ilst/covr, whose data boxes hold the pictures after eight bytes of their own.
void offerMp4(const ReadAt& read, uint64_t fileSize, Best& best) {
    if (std::string_view(read(4, 4)) != "ftyp")
        return;
    std::optional<Box> box = Box{0, fileSize};
    for (std::string_view type : {"moov", "udta", "meta", "ilst", "covr"}) {
        box = childBox(read, *box, type);
        if (!box)
            return;
        if (type == "meta")
            box->start += 4; // a full box: version and flags first
    }
    for (int step = 0; step < kMaxSteps && box->start < box->end; ++step) {
        const std::optional<Box> data = childBox(read, *box, "data");
        if (!data || data->end - data->start < 8 || data->end - data->start > kMaxTagBytes)
            return;
        const std::string bytes = read(data->start + 8, data->end - data->start - 8);
        best.offer(bytes, kFrontCover);
        if (best.front)
            return;
        box->start = data->end;
    }
}

} // namespace

std::string tagPicture(const ReadAt& read, uint64_t fileSize) {
    Best best;
    const uint64_t id3 = offerId3(read, best);
    if (best.front)
        return best.picture;
    offerFlac(read, id3, best);
    if (best.picture.empty() && id3 == 0)
        offerMp4(read, fileSize, best);
    return best.picture;
}

std::string tagPictureOf(const std::string& file) {
    std::ifstream in(text::pathOf(file), std::ios::binary | std::ios::ate);
    if (!in)
        return {};
    const std::streamoff end = in.tellg();
    if (end < 0)
        return {};
    const auto size = static_cast<uint64_t>(end);
    return tagPicture(
        [&in, size](uint64_t offset, std::size_t count) {
            std::string bytes;
            if (offset >= size)
                return bytes;
            bytes.resize(std::size_t(std::min<uint64_t>(count, size - offset)));
            in.clear();
            in.seekg(std::streamoff(offset));
            in.read(bytes.data(), std::streamsize(bytes.size()));
            bytes.resize(std::size_t(in.gcount()));
            return bytes;
        },
        size);
}

} // namespace announce
