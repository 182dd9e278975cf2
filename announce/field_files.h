#pragma once

// The field files: each detail of the track playing in a file of its own, and its cover, in the
// folder NowPlaying beside SongName.txt, for stream overlays that show one file per text.

#include "playback/track.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace announce {

// The field files' names and bytes, in this order: artist.txt, title.txt, album.txt,
// duration.txt and line.txt (the announcement line). Each is valid UTF-8, with no BOM, no
// control characters and so no line break at the end.
std::vector<std::pair<std::string, std::string>> fieldFileBytes(const playback::Track& track,
                                                                std::string_view line);

// The picture kept beside a track, among the names in its folder: the first of cover, folder,
// front and AlbumArtSmall, in any letter case, ending in .png, .jpg or .jpeg (a .png before a
// .jpg of the same name). Empty for none.
std::string coverBeside(const std::vector<std::string>& names);

// A picture's real type by its first bytes: "png", "jpg", or empty for anything else.
std::string pictureType(std::string_view bytes);

// The picture the file at sourceURL carries in its own tags, else the one kept beside it, when it
// is a PNG or a JPEG of reasonable size; empty for none.
std::string pictureOfFile(const std::string& sourceURL);

// The PNG an engine wrote to pngFile, which is then removed; empty when it is none.
std::string takenPicture(const std::string& pngFile);

// Writes the picture embedded in the track playing to pngFile, as PNG, and then says whether it
// did; the answer may come later.
using EmbeddedCover =
    std::function<void(const std::string& pngFile, std::function<void(bool)> done)>;

// The cover of each start, taken once for all that show it: the picture the engine takes from the
// track, else the one in its file's tags, else the one beside its file.
class StartCover {
public:
    using Done = std::function<void(const std::string& bytes)>; // a PNG or a JPEG; empty: none

    StartCover() = default;
    // One for all that show the cover: shared by reference.
    StartCover(const StartCover&) = delete;
    StartCover& operator=(const StartCover&) = delete;

    void setEmbedded(EmbeddedCover save) { m_save = std::move(save); }
    // A start of track: its cover is taken anew, the engine writing it to takenFile. done may run
    // inside this call. Whoever still waits on an earlier taking of the same file is answered by
    // this one.
    void take(const playback::Track& track, const std::string& takenFile, Done done);
    // The cover last taken, once it is in, when it is of track's file and not forgotten; else
    // taken anew as take() does.
    void share(const playback::Track& track, const std::string& takenFile, Done done);
    // The track was left: the next share() takes its cover anew. An answer still to come is still
    // given to those who asked.
    void forget();

private:
    struct Taking {
        std::string source;
        bool shared = true; // until forgotten
        bool in = false;
        std::string bytes;
        std::vector<Done> waiting;
    };
    static void answer(Taking& taking, const std::string& takenFile, bool saved);

    EmbeddedCover m_save;
    // The latest taking: an earlier one is dropped, and its answer with it.
    std::shared_ptr<Taking> m_last;
};

// The field files in one folder. Each is replaced as a whole under the song files' rules: a
// reader sees the old or the new bytes, and another user's file is never written through a link.
class FieldFiles {
public:
    FieldFiles() = default;
    // An answer still to come holds this object's address.
    FieldFiles(const FieldFiles&) = delete;
    FieldFiles& operator=(const FieldFiles&) = delete;

    void setEmbeddedCover(EmbeddedCover save) { m_cover.setEmbedded(std::move(save)); }
    // The cover each show() takes; whoever else shows the track can share it.
    StartCover& cover() { return m_cover; }
    // The folder that holds them; created at the first track.
    void setFolder(std::string folder) { m_folder = std::move(folder); }

    // Writes the track's field files and its cover: the picture the engine takes from it
    // (cover.png), else the one in its file's tags, else the picture beside its file, each copied
    // as it is under the name of its real type (cover.png or cover.jpg); the other name is removed.
    // No picture, or a track that is no file: no cover. An embedded picture that comes after the
    // next show() or clear() is not used.
    void show(const playback::Track& track, std::string_view line);
    // Nothing plays: the field files are emptied and the cover removed.
    void clear();

private:
    void putCover(const std::string& bytes);
    void removeCoversBut(std::string_view keep);

    std::string m_folder;
    StartCover m_cover;
    // Counts each show() and clear(): a late answer for an earlier one is dropped.
    std::shared_ptr<uint64_t> m_turn = std::make_shared<uint64_t>(0);
};

} // namespace announce
