#pragma once

// What the window shows and asks the user. The Linux program's Qt window and the Windows
// program's own window each are one.

#include "player/list_rows.h"
#include "settings/play_options.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace player {

// The now-playing fields, the window's Text(0) to Text(4), in that order.
struct NowPlaying {
    std::string source;
    std::string author;
    std::string title;
    std::string duration;
    std::string bitrate;
    bool operator==(const NowPlaying&) const = default;
};

class View {
public:
    virtual ~View() = default;

    virtual void setNowPlaying(const NowPlaying& now) = 0;
    // List1's rows all changed: it shows rows.size() rows, reading each name from rows as it
    // draws them, and lights rows.highlight(). rows lives as long as the player.
    virtual void listReplaced(const ListRows& rows) = 0;
    // Rows were added below the others, from first on; the rows above stay as they are.
    virtual void listAdded(const ListRows& rows, int first) = 0;
    // The highlight of List1; -1 for none.
    virtual void setListIndex(int row) = 0;
    // The check mark of an option's menu item.
    virtual void setChecked(settings::Flag flag, bool on) = 0;

    // The open-file dialog, owned by no window, so the window stays usable: the chosen path, or
    // empty text when cancelled.
    virtual std::string showOpen(const std::string& filter, const std::string& title,
                                 const std::string& folder) = 0;
    // The single-line input box: the answer, or none when cancelled.
    virtual std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                                const std::string& preset) = 0;
    // The modal message box, with the program's title and one OK button.
    virtual void messageBox(const std::string& text) = 0;

    // The window's one timer: single-shot after ms, or stopped for none.
    virtual void setTimer(std::optional<int64_t> ms) = 0;
};

} // namespace player
