#include "win32/wmp_control.h"

#include "win32/wide.h"

#include <ocidl.h>
#include <oleauto.h>
#include <wmp.h>

// atl.dll's C entry points, enough to host a control.
extern "C" {
BOOL WINAPI AtlAxWinInit();
HRESULT WINAPI AtlAxGetControl(HWND window, IUnknown** control);
}

namespace win32 {
namespace {

constexpr DISPID kPlayStateChange = 5101;
constexpr DISPID kMediaChange = 5802;

// Owns one reference.
template <class T> class Com {
public:
    Com() = default;
    ~Com() { reset(); }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T** put() {
        reset();
        return &m_p;
    }
    T* operator->() const { return m_p; }
    T* get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    void reset() {
        if (m_p)
            m_p->Release();
        m_p = nullptr;
    }

private:
    T* m_p = nullptr;
};

class Bstr {
public:
    explicit Bstr(const std::string& text) : m_b(SysAllocString(wide(text).c_str())) {}
    Bstr() = default;
    ~Bstr() { SysFreeString(m_b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR* put() {
        SysFreeString(m_b);
        m_b = nullptr;
        return &m_b;
    }
    operator BSTR() const { return m_b; }
    // A NULL string is empty text.
    std::string text() const { return m_b ? utf8({m_b, SysStringLen(m_b)}) : std::string(); }

private:
    BSTR m_b = nullptr;
};

// Receives the control's events and hands them on as they come.
class EventSink final : public IDispatch {
public:
    explicit EventSink(WmpControl::Sink sink) : m_sink(std::move(sink)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(_WMPOCXEvents)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        if (!m_sink)
            return S_OK;
        if (id == kPlayStateChange && params && params->cArgs >= 1) {
            VARIANT state;
            VariantInit(&state);
            if (SUCCEEDED(VariantChangeType(&state, &params->rgvarg[0], 0, VT_I4)))
                m_sink({ControlEvent::PlayState, int(state.lVal)});
            VariantClear(&state);
        } else if (id == kMediaChange) {
            m_sink({ControlEvent::MediaChange, 0});
        }
        return S_OK;
    }
    void detach() { m_sink = nullptr; }

private:
    ULONG m_refs = 1;
    WmpControl::Sink m_sink;
};

} // namespace

struct WmpControl::Parts {
    HWND window = nullptr;
    Com<IWMPPlayer4> player;
    Com<IWMPControls> controls;
    Com<IWMPSettings> settings;
    Com<IConnectionPoint> events;
    EventSink* sink = nullptr;
    DWORD cookie = 0;

    ~Parts() {
        if (events && cookie)
            events->Unadvise(cookie);
        if (sink) {
            sink->detach();
            sink->Release();
        }
        if (player)
            player->close();
        controls.reset();
        settings.reset();
        player.reset();
        if (window)
            DestroyWindow(window);
    }

    bool media(Com<IWMPMedia>& out) {
        return SUCCEEDED(player->get_currentMedia(out.put())) && out;
    }
    bool playlist(Com<IWMPPlaylist>& out) {
        return SUCCEEDED(player->get_currentPlaylist(out.put())) && out;
    }
};

std::unique_ptr<WmpControl> WmpControl::create(HWND parent, int id, Sink sink) {
    if (!AtlAxWinInit())
        return nullptr;
    auto parts = std::make_unique<Parts>();
    parts->window = CreateWindowExW(
        0, L"AtlAxWin", L"WMPlayer.OCX", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, 0, 0,
        1, 1, parent, reinterpret_cast<HMENU>(INT_PTR(id)), GetModuleHandleW(nullptr), nullptr);
    Com<IUnknown> unknown;
    if (!parts->window || FAILED(AtlAxGetControl(parts->window, unknown.put())) || !unknown ||
        FAILED(unknown->QueryInterface(__uuidof(IWMPPlayer4),
                                       reinterpret_cast<void**>(parts->player.put()))))
        return nullptr;
    parts->player->get_controls(parts->controls.put());
    parts->player->get_settings(parts->settings.put());
    if (!parts->controls || !parts->settings)
        return nullptr;

    // Full controls, stretched to fit, its own menu on, its own error boxes off.
    parts->player->put_uiMode(Bstr("full"));
    parts->player->put_stretchToFit(VARIANT_TRUE);
    parts->player->put_enableContextMenu(VARIANT_TRUE);
    parts->settings->put_enableErrorDialogs(VARIANT_FALSE);
    parts->settings->put_volume(50);
    parts->settings->put_autoStart(VARIANT_TRUE);

    Com<IConnectionPointContainer> points;
    if (SUCCEEDED(parts->player->QueryInterface(IID_IConnectionPointContainer,
                                                reinterpret_cast<void**>(points.put()))) &&
        SUCCEEDED(points->FindConnectionPoint(__uuidof(_WMPOCXEvents), parts->events.put()))) {
        parts->sink = new EventSink(std::move(sink));
        if (FAILED(parts->events->Advise(parts->sink, &parts->cookie)))
            parts->cookie = 0;
    }
    if (!parts->cookie)
        return nullptr; // without its events the player could tell nothing
    return std::unique_ptr<WmpControl>(new WmpControl(std::move(parts)));
}

WmpControl::WmpControl(std::unique_ptr<Parts> parts) : m_parts(std::move(parts)) {}
WmpControl::~WmpControl() = default;

HWND WmpControl::window() const {
    return m_parts->window;
}

bool WmpControl::setURL(const std::string& url) {
    return SUCCEEDED(m_parts->player->put_URL(Bstr(url)));
}

bool WmpControl::setPlaylist(const std::string& name, const std::vector<std::string>& urls) {
    Com<IWMPPlaylist> list;
    if (FAILED(m_parts->player->newPlaylist(Bstr(name), Bstr(""), list.put())) || !list)
        return false;
    for (const std::string& url : urls) {
        Com<IWMPMedia> media;
        if (FAILED(m_parts->player->newMedia(Bstr(url), media.put())) || !media ||
            FAILED(list->appendItem(media.get())))
            return false;
    }
    // A control that keeps no list says so by its count.
    LONG count = 0;
    if (FAILED(list->get_count(&count)) || std::size_t(count) != urls.size())
        return false;
    return SUCCEEDED(m_parts->player->put_currentPlaylist(list.get()));
}

bool WmpControl::playItem(int index) {
    Com<IWMPPlaylist> list;
    Com<IWMPMedia> media;
    return m_parts->playlist(list) && SUCCEEDED(list->get_Item(index, media.put())) && media &&
           SUCCEEDED(m_parts->controls->playItem(media.get()));
}

std::optional<int> WmpControl::currentItemIndex() {
    Com<IWMPPlaylist> list;
    Com<IWMPMedia> current;
    LONG count = 0;
    if (!m_parts->playlist(list) || FAILED(m_parts->controls->currentItem(current.put())) ||
        !current || FAILED(list->get_count(&count)))
        return std::nullopt;
    for (LONG i = 0; i < count; ++i) {
        Com<IWMPMedia> item;
        VARIANT_BOOL same = VARIANT_FALSE;
        if (SUCCEEDED(list->get_Item(i, item.put())) && item &&
            SUCCEEDED(item->get_isIdentical(current.get(), &same)) && same)
            return int(i);
    }
    return std::nullopt;
}

bool WmpControl::play() {
    return SUCCEEDED(m_parts->controls->play());
}

bool WmpControl::pause() {
    return SUCCEEDED(m_parts->controls->pause());
}

bool WmpControl::stop() {
    return SUCCEEDED(m_parts->controls->stop());
}

bool WmpControl::next() {
    return SUCCEEDED(m_parts->controls->next());
}

bool WmpControl::previous() {
    return SUCCEEDED(m_parts->controls->previous());
}

std::optional<int> WmpControl::playState() {
    WMPPlayState state{};
    if (FAILED(m_parts->player->get_playState(&state)))
        return std::nullopt;
    return int(state);
}

std::string WmpControl::sourceURL() {
    Com<IWMPMedia> media;
    Bstr text;
    return m_parts->media(media) && SUCCEEDED(media->get_sourceURL(text.put())) ? text.text()
                                                                                : std::string();
}

std::string WmpControl::name() {
    Com<IWMPMedia> media;
    Bstr text;
    return m_parts->media(media) && SUCCEEDED(media->get_name(text.put())) ? text.text()
                                                                           : std::string();
}

std::optional<double> WmpControl::duration() {
    Com<IWMPMedia> media;
    double seconds = 0;
    if (!m_parts->media(media) || FAILED(media->get_duration(&seconds)))
        return std::nullopt;
    return seconds;
}

std::string WmpControl::durationString() {
    Com<IWMPMedia> media;
    Bstr text;
    return m_parts->media(media) && SUCCEEDED(media->get_durationString(text.put()))
               ? text.text()
               : std::string();
}

std::string WmpControl::itemInfo(const std::string& attribute) {
    Com<IWMPMedia> media;
    Bstr text;
    return m_parts->media(media) && SUCCEEDED(media->getItemInfo(Bstr(attribute), text.put()))
               ? text.text()
               : std::string();
}

double WmpControl::position() {
    double seconds = 0;
    return SUCCEEDED(m_parts->controls->get_currentPosition(&seconds)) ? seconds : 0;
}

void WmpControl::setPosition(double seconds) {
    m_parts->controls->put_currentPosition(seconds);
}

int WmpControl::volume() {
    LONG volume = 0;
    return SUCCEEDED(m_parts->settings->get_volume(&volume)) ? int(volume) : 0;
}

void WmpControl::setVolume(int volume) {
    m_parts->settings->put_volume(volume);
}

void WmpControl::setAutoStart(bool on) {
    m_parts->settings->put_autoStart(on ? VARIANT_TRUE : VARIANT_FALSE);
}

void WmpControl::setMode(const std::string& mode, bool on) {
    m_parts->settings->setMode(Bstr(mode), on ? VARIANT_TRUE : VARIANT_FALSE);
}

} // namespace win32
