#pragma once

// The engine's playlist as the program sees it: its entries and their ids, the titles of a list
// read here, the lists nested in it, and which entry plays next. The core holds the list itself;
// this keeps in step with it and tells it where to go.

#include "playback/list_cursor.h"
#include "playback/play_order.h"
#include "playback/play_state.h"
#include "player/engine.h"
#include "qt/mpv_feed.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class MpvHandle;
struct mpv_event_end_file;

class MpvList {
public:
    // wake runs on another thread whenever part of a list being read waits for takeRead().
    MpvList(MpvHandle& mpv, std::function<void()> wake)
        : m_mpv(mpv), m_feed(mpv, std::move(wake)) {}

    // The core's list, in its order, which is the order of the file.
    const std::vector<player::Entry>& entries() const { return m_items; }
    playback::ListCursor& cursor() { return m_cursor; }
    const playback::ListCursor& cursor() const { return m_cursor; }

    // Loads a media file, a playlist file, a folder or an address into the emptied core, and
    // starts its first entry (at random in random order). A list on disk is read on another
    // thread, and grows here part by part.
    void load(const std::string& url);
    // The next part of a list being read, added at the end; whether more parts wait.
    bool takeRead();
    // Stops the core and empties its list.
    void clear();
    // Before the core goes: nothing more of a list being read reaches it.
    void stopReading() { m_feed.stop(); }
    // The core is gone: nothing is left of its list.
    void forget();

    void play();
    void stop();
    void next();
    void previous();
    void playItem(const player::Entry& entry);

    int currentIndex() const;
    int64_t playingId() const;
    int64_t openingId() const { return m_openingId; }
    // An entry's title from its list: ours for a list read here, else the core's.
    std::string titleOf(int64_t id, std::string engineTitle) const;

    // The core's events.
    void started(int64_t entryId);
    void loaded();
    playback::EndReason ended(const mpv_event_end_file& end);
    // The core waits on these hooks.
    void openingEntry(); // an entry is about to be opened
    // An entry ended, and the core has not yet chosen the next. False when it ran out of the
    // entries it has while more of the list is still being read: the core waits for them, and
    // this is asked again as they come.
    bool afterEntryEnd();
    // An end held for more of the list went where a command sent the core instead.
    void endSettled() { m_awaitingAfterEnd = false; }
    // The core expanded an entry by itself, and the entry to play next is settled: once.
    bool takeListChanged();

private:
    void afterSkip(); // ended by a next or previous the core took itself
    bool endedLastInEngine() const;
    void readItems();
    int itemIndexOf(int64_t id) const;   // in m_items
    int engineIndexOf(int64_t id) const; // in the core's list, checked against it
    void playEntry(int64_t id);

    MpvHandle& m_mpv;
    MpvFeed m_feed;
    std::string m_reading; // the list on disk being read
    std::vector<player::Entry> m_items;
    mutable std::unordered_map<int64_t, int> m_indexById;  // built when first needed
    std::unordered_map<int64_t, std::string> m_listTitles; // of the entries of a list read here
    playback::ListCursor m_cursor;                         // also holds Repeat and random order
    playback::Nesting m_nesting;
    bool m_listChanged = false;

    int64_t m_resumeId = -1;    // the entry that Play restarts after Stop
    int64_t m_requestedId = -1; // the entry asked for, until it starts
    bool m_unasked = false;     // the entry starting is not the one asked for
    int64_t m_openingId = -1;   // the entry last started
    int64_t m_endedId = -1;     // the entry last ended, and why
    playback::EndReason m_endReason = playback::EndReason::Stop;
    bool m_awaitingAfterEnd = false;
};
