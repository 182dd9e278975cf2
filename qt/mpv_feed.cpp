#include "qt/mpv_feed.h"

#include "playback/playlist_file.h"
#include "playback/track.h"
#include "qt/mpv_handle.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <string_view>

using playback::ListEntry;

namespace {

// A slice is handed over when this many entries or this much time gathered: what the window
// takes in at once stays small, and the list it shows grows steadily.
constexpr std::size_t kSliceEntries = 2048;
constexpr auto kSliceTime = std::chrono::milliseconds(15);

// What a list on disk may have the engine open: files and the web. Told directly, the engine also
// opens pipes, devices and its own filters, which no list may reach.
bool mayOpenFromList(const std::string& url) {
    static constexpr std::string_view kSchemes[] = {
        "file", "http",  "https", "ftp",   "mms",    "mmsh",   "mmst", "rtsp", "rtsps",
        "rtmp", "rtmpe", "rtmps", "rtmpt", "rtmpte", "rtmpts", "rtp",  "srt",  "srtp"};
    const std::string scheme = playback::schemeOf(url);
    return scheme.empty() ||
           std::find(std::begin(kSchemes), std::end(kSchemes), scheme) != std::end(kSchemes);
}

} // namespace

// The reading thread's side. Every command goes to the core under the lock, so that once the
// list is stopped nothing more of it reaches the core, and the window waits for one at most.
class MpvFeed::Feeding {
public:
    Feeding(Shared& shared, MpvHandle& mpv, const std::function<void()>& wake)
        : m_shared(shared), m_mpv(mpv), m_wake(wake) {}

    // The list's first entry, read from its head, goes to the core and starts before the rest is
    // read. False once stopped.
    bool begin(const ListEntry& first);
    // False once stopped.
    bool run(std::vector<ListEntry>& list, bool shuffle);

private:
    template <class F> bool locked(F&& f) {
        std::lock_guard lock(m_shared.mutex);
        if (m_shared.stopped)
            return false;
        f();
        return true;
    }
    bool append(ListEntry& entry);
    bool putInPlace(player::Entry chosen);
    bool handOver(bool last);
    void startFirst(); // under the lock

    Shared& m_shared;
    MpvHandle& m_mpv;
    const std::function<void()>& m_wake;
    Slice m_slice;
    // A short list goes over whole.
    std::chrono::steady_clock::time_point m_handedOver = std::chrono::steady_clock::now();
    int64_t m_count = 0; // entries of the list in the core
    std::optional<player::Entry> m_begun;
};

bool MpvFeed::Feeding::begin(const ListEntry& first) {
    return locked([&] {
        if (const auto id = m_mpv.append(first.url)) {
            m_begun = player::Entry{*id, first.url, first.title};
            ++m_count;
            startFirst();
        }
    });
}

// In random order the entry to start is chosen from the whole list; it goes to the core first and
// plays, and moves to its place once the entries before it are there. Until then the list as the
// core has it is not in order, so none of it is handed over.
bool MpvFeed::Feeding::run(std::vector<ListEntry>& list, bool shuffle) {
    std::size_t from = 0;
    if (m_begun && !list.empty() && list.front().url == m_begun->sourceURL) {
        if (!putInPlace({m_begun->id, list.front().url, list.front().title}))
            return false;
        from = 1;
    } else if (m_begun) {
        // The whole read its head otherwise (its encoding, say): the entry begun is not the list's.
        if (!locked([&] {
                if (m_mpv.intProperty(entryKey(0, "id")) == m_begun->id)
                    m_mpv.command({"playlist-remove", "0"});
                m_count = 0;
            }))
            return false;
    }
    if (list.empty())
        return true;
    std::size_t first = 0;
    if (shuffle) {
        std::mt19937_64 rng(std::random_device{}());
        first = std::uniform_int_distribution<std::size_t>(0, list.size() - 1)(rng);
    }
    std::optional<player::Entry> chosen;
    if (from == 0 && !locked([&] {
            if (const auto id = m_mpv.append(list[first].url)) {
                chosen = player::Entry{*id, list[first].url, list[first].title};
                ++m_count;
                startFirst();
            }
        }))
        return false;
    for (std::size_t i = from; i < list.size(); ++i) {
        if (chosen && i == first) {
            if (!putInPlace(std::move(*chosen)))
                return false;
        } else if (!append(list[i])) {
            return false;
        }
        if ((!chosen || i >= first) && !handOver(false))
            return false;
    }
    return handOver(true);
}

// The entry chosen to start, behind those before it; it plays on. Gone when the core replaced it
// by what it held (a folder): the window then reads the core's list as it is.
bool MpvFeed::Feeding::putInPlace(player::Entry chosen) {
    return locked([&] {
        if (m_mpv.intProperty(entryKey(0, "id")) != chosen.id)
            return;
        if (m_count > 1) {
            const auto end = m_mpv.intProperty("playlist-count").value_or(m_count);
            m_mpv.command({"playlist-move", "0", std::to_string(end).c_str()});
        }
        m_slice.push_back(std::move(chosen));
    });
}

// When nothing could start yet, the first entry the core takes starts.
bool MpvFeed::Feeding::append(ListEntry& entry) {
    return locked([&] {
        const auto id = m_mpv.append(entry.url);
        if (!id)
            return; // left out, as the core would not take it
        m_slice.push_back({*id, std::move(entry.url), std::move(entry.title)});
        if (++m_count == 1)
            startFirst();
    });
}

void MpvFeed::Feeding::startFirst() {
    if (m_shared.startHeld)
        m_shared.startPending = true;
    else
        m_mpv.command({"playlist-play-index", "0"});
}

bool MpvFeed::Feeding::handOver(bool last) {
    const auto now = std::chrono::steady_clock::now();
    if (m_slice.empty() ||
        (!last && m_slice.size() < kSliceEntries && now - m_handedOver < kSliceTime))
        return true;
    m_handedOver = now;
    return locked([&] {
        m_shared.slices.push_back(std::move(m_slice));
        m_slice.clear();
        m_wake();
    });
}

MpvFeed::~MpvFeed() {
    stop();
    for (Reader& reader : m_stopped)
        reader.thread.join(); // each is at most reading its file
}

void MpvFeed::start(const std::string& file, bool shuffle) {
    stop();
    auto shared = std::make_shared<Shared>();
    m_reader = {shared,
                std::thread(&MpvFeed::read, shared, std::ref(m_mpv), m_wake, file, shuffle)};
}

void MpvFeed::read(const std::shared_ptr<Shared>& shared, MpvHandle& mpv,
                   const std::function<void()>& wake, const std::string& file, bool shuffle) {
    Feeding feeding(*shared, mpv, wake);
    bool going = true;
    // In list order the first entry plays from the head while the whole is read.
    if (!shuffle) {
        const auto head = playback::readPlaylistHead(file, playback::kListHeadBytes);
        if (!head.empty() && !playback::isPlaylistFile(head.front().url) &&
            mayOpenFromList(head.front().url))
            going = feeding.begin(head.front());
    }
    if (going) {
        std::vector<ListEntry> list = playback::readPlaylist(file);
        std::erase_if(list, [](const ListEntry& entry) { return !mayOpenFromList(entry.url); });
        feeding.run(list, shuffle);
    }
    std::lock_guard lock(shared->mutex);
    shared->done = true;
    if (!shared->stopped)
        wake(); // a core waiting for more entries goes on
}

bool MpvFeed::reading() const {
    if (!m_reader.shared)
        return false;
    std::lock_guard lock(m_reader.shared->mutex);
    return !m_reader.shared->done || !m_reader.shared->slices.empty();
}

void MpvFeed::holdStart(bool hold) {
    if (!m_reader.shared)
        return;
    std::lock_guard lock(m_reader.shared->mutex);
    Shared& shared = *m_reader.shared;
    shared.startHeld = hold;
    if (!hold && shared.startPending && !shared.stopped)
        m_mpv.command({"playlist-play-index", "0"});
    shared.startPending = shared.startPending && hold;
}

void MpvFeed::stop() {
    if (m_reader.shared) {
        std::lock_guard lock(m_reader.shared->mutex);
        m_reader.shared->stopped = true;
        m_reader.shared->slices.clear();
    }
    if (m_reader.thread.joinable())
        m_stopped.push_back(std::move(m_reader));
    m_reader = {};
    std::erase_if(m_stopped, [](Reader& reader) {
        bool done = false;
        {
            std::lock_guard lock(reader.shared->mutex);
            done = reader.shared->done;
        }
        if (done)
            reader.thread.join(); // it has returned, or is about to
        return done;
    });
}

std::optional<MpvFeed::Slice> MpvFeed::take(bool& more) {
    more = false;
    if (!m_reader.shared)
        return std::nullopt;
    std::lock_guard lock(m_reader.shared->mutex);
    auto& slices = m_reader.shared->slices;
    if (slices.empty())
        return std::nullopt;
    Slice slice = std::move(slices.front());
    slices.pop_front();
    more = !slices.empty();
    return slice;
}
