#include "qt/mpv_handle.h"

#include "text/text.h"

#include <mpv/client.h>

#include <clocale>
#include <cstring>

namespace {

const mpv_node* mapValue(const mpv_node& map, const char* key) {
    if (map.format != MPV_FORMAT_NODE_MAP)
        return nullptr;
    for (int i = 0; i < map.u.list->num; ++i) {
        if (std::strcmp(map.u.list->keys[i], key) == 0)
            return &map.u.list->values[i];
    }
    return nullptr;
}

std::string nodeText(const mpv_node& entry, const char* key) {
    const mpv_node* value = mapValue(entry, key);
    return value && value->format == MPV_FORMAT_STRING ? text::validUtf8(value->u.string)
                                                       : std::string();
}

} // namespace

std::string entryKey(int64_t index, const char* field) {
    return "playlist/" + std::to_string(index) + "/" + field;
}

bool MpvHandle::create(const Options& options) {
    // The engine parses numbers with the C library; a comma locale breaks it.
    std::setlocale(LC_NUMERIC, "C");
    m_mpv = mpv_create();
    if (!m_mpv)
        return false;

    auto opt = [this](const char* name, const std::string& value) {
        mpv_set_option_string(m_mpv, name, value.c_str());
    };
    if (options.wid) {
        int64_t wid = *options.wid;
        mpv_set_option(m_mpv, "wid", MPV_FORMAT_INT64, &wid);
        // No window of its own until there is a picture, a video or a song's cover: while idle,
        // or for a song without one, the player area shows dark by itself, and the engine keeps
        // no video output (its start is a fifth of a second of processor, its memory tens of
        // MiB with software drawing).
    } else {
        opt("vo", "null");
    }
    if (!options.vo.empty())
        opt("vo", options.vo);
    if (!options.ao.empty())
        opt("ao", options.ao);
    // The engine draws only the picture; the window has the controls.
    opt("osc", "no");
    opt("idle", "yes");
    // The engine must never quit, or change the playlist, on its own.
    opt("input-default-bindings", "no");
    opt("input-vo-keyboard", "no");
    opt("drag-and-drop", "no");
    opt("audio-fallback-to-null", "yes");
    opt("ytdl", "no");
    // Its own key-driven overlays cannot be reached without its key bindings: their scripts
    // would only take time and memory at every start.
    opt("load-stats-overlay", "no");
    opt("load-osd-console", "no");
    opt("load-auto-profiles", "no");
    opt("volume", std::to_string(kStartVolume));
    opt("volume-max", "100"); // the control's volume is 0..100
    opt("gpu-sw", "yes");
    return true;
}

bool MpvHandle::start(void (*wakeup)(void*), void* context) {
    if (!m_mpv)
        return false;
    mpv_set_wakeup_callback(m_mpv, wakeup, context);
    if (mpv_initialize(m_mpv) >= 0)
        return true;
    destroy();
    return false;
}

void MpvHandle::destroy() {
    if (!m_mpv)
        return;
    mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
    mpv_terminate_destroy(m_mpv);
    m_mpv = nullptr;
}

void MpvHandle::observe(uint64_t id, const char* name, int format) {
    if (m_mpv)
        mpv_observe_property(m_mpv, id, name, mpv_format(format));
}

void MpvHandle::addHook(uint64_t id, const char* name) {
    if (m_mpv)
        mpv_hook_add(m_mpv, id, name, 0);
}

void MpvHandle::continueHook(uint64_t hookId) {
    if (m_mpv)
        mpv_hook_continue(m_mpv, hookId);
}

const mpv_event* MpvHandle::nextEvent() {
    if (!m_mpv)
        return nullptr;
    const mpv_event* event = mpv_wait_event(m_mpv, 0);
    return event->event_id == MPV_EVENT_NONE ? nullptr : event;
}

bool MpvHandle::command(std::initializer_list<const char*> args) {
    if (!m_mpv)
        return false;
    std::vector<const char*> argv(args);
    argv.push_back(nullptr);
    return mpv_command(m_mpv, argv.data()) >= 0;
}

std::optional<int64_t> MpvHandle::append(const std::string& url) {
    const char* argv[] = {"loadfile", url.c_str(), "append", nullptr};
    mpv_node result;
    if (!m_mpv || mpv_command_ret(m_mpv, argv, &result) < 0)
        return std::nullopt;
    std::optional<int64_t> id;
    if (const auto* value = mapValue(result, "playlist_entry_id");
        value && value->format == MPV_FORMAT_INT64)
        id = value->u.int64;
    mpv_free_node_contents(&result);
    return id;
}

bool MpvHandle::commandAsync(uint64_t reply, std::initializer_list<const char*> args) {
    if (!m_mpv)
        return false;
    std::vector<const char*> argv(args);
    argv.push_back(nullptr);
    return mpv_command_async(m_mpv, reply, argv.data()) >= 0;
}

bool MpvHandle::setProperty(const char* name, const std::string& value) {
    return m_mpv && mpv_set_property_string(m_mpv, name, value.c_str()) >= 0;
}

void MpvHandle::setPropertyAsync(const char* name, const char* value) {
    if (m_mpv)
        mpv_set_property_async(m_mpv, 0, name, MPV_FORMAT_STRING, &value);
}

std::string MpvHandle::stringProperty(const std::string& name) const {
    if (!m_mpv)
        return {};
    char* value = mpv_get_property_string(m_mpv, name.c_str());
    std::string text = value ? text::validUtf8(value) : std::string();
    mpv_free(value);
    return text;
}

std::optional<int64_t> MpvHandle::intProperty(const std::string& name) const {
    int64_t value = 0;
    if (!m_mpv || mpv_get_property(m_mpv, name.c_str(), MPV_FORMAT_INT64, &value) < 0)
        return std::nullopt;
    return value;
}

std::optional<double> MpvHandle::doubleProperty(const char* name) const {
    double value = 0;
    if (!m_mpv || mpv_get_property(m_mpv, name, MPV_FORMAT_DOUBLE, &value) < 0)
        return std::nullopt;
    return value;
}

bool MpvHandle::flagProperty(const char* name) const {
    int value = 0;
    return m_mpv && mpv_get_property(m_mpv, name, MPV_FORMAT_FLAG, &value) >= 0 && value;
}

bool MpvHandle::hasMedia() const {
    return m_mpv && !flagProperty("idle-active");
}

std::vector<player::Entry> MpvHandle::playlist() const {
    std::vector<player::Entry> items;
    mpv_node node;
    if (!m_mpv || mpv_get_property(m_mpv, "playlist", MPV_FORMAT_NODE, &node) < 0)
        return items;
    if (node.format == MPV_FORMAT_NODE_ARRAY) {
        items.reserve(std::size_t(node.u.list->num));
        for (int i = 0; i < node.u.list->num; ++i) {
            const mpv_node& entry = node.u.list->values[i];
            player::Entry item;
            if (const auto* id = mapValue(entry, "id"); id && id->format == MPV_FORMAT_INT64)
                item.id = id->u.int64;
            item.sourceURL = nodeText(entry, "filename");
            item.name = nodeText(entry, "title");
            items.push_back(std::move(item));
        }
    }
    mpv_free_node_contents(&node);
    return items;
}
