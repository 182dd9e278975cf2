#pragma once

// The cover a song file carries in its own tags, read by the program itself where the engine
// cannot hand it over: ID3v2 (MP3 and others), FLAC's picture block, and MP4's covr.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace announce {

// Reads up to size bytes of a file from offset; fewer at its end, none past it.
using ReadAt = std::function<std::string(uint64_t offset, std::size_t size)>;

// The front cover among the pictures in the tags of a file of fileSize bytes, else the first
// picture; only a PNG or JPEG counts. Empty for none. Hostile sizes and offsets end the search:
// no more than a bounded number of reads, none larger than a cover may be.
std::string tagPicture(const ReadAt& read, uint64_t fileSize);

// The same for a file on disk, named in UTF-8; empty when it cannot be read.
std::string tagPictureOf(const std::string& file);

} // namespace announce
