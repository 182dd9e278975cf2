// A stand-in for the system's media-player control, for the tests alone: an in-process COM server
// with the control's class, which the program hosts as it hosts the real one. It offers only what
// the program calls, plays by the clock without sound, and raises the control's events in the
// order the control's documentation gives. Everything else answers E_NOTIMPL.
//
// Each local medium's tags and length come from "<medium>.tags" beside it, UTF-8 lines of
// "Key=Value": Title is the media's name, Duration its length in seconds (2 without one), and any
// other key an attribute for getItemInfo ("Author", "Bitrate", ...). An address is a live stream:
// no length, no name until a test gives it a title.
//
// A test reaches it through the control's own window (class "TunelarkStandIn"): its buttons
// (previous, play/pause, stop, next) and its position bar, as a user would, and WM_COPYDATA with
// kStationTitle for a station's new title. With TUNELARK_STAND_IN_LOG set, it appends what it is
// asked and what it raises to that file, one line each.
#define CINTERFACE
#define CONST_VTABLE
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <ocidl.h>
#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>

#include <initguid.h>

#include <wmp.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr DISPID kPlayStateChange = 5101;
constexpr DISPID kMediaChange = 5802;
constexpr ULONG_PTR kStationTitle = 0x54544C31; // "TTL1"
constexpr UINT kOpened = WM_APP + 1;            // wParam: the opening it belongs to
constexpr UINT_PTR kClock = 1;
enum Button { kPrevious = 1, kPlayPause, kStop, kNext, kBar, kStatus };

HINSTANCE g_module = nullptr;

HRESULT STDMETHODCALLTYPE notImplemented() {
    return E_NOTIMPL;
}

// A table whose every slot answers E_NOTIMPL, for the implemented ones to be set over.
template <class Table> Table unimplemented() {
    Table table;
    auto** slots = reinterpret_cast<void**>(&table);
    for (std::size_t i = 0; i < sizeof(Table) / sizeof(void*); ++i)
        slots[i] = reinterpret_cast<void*>(&notImplemented);
    return table;
}

// One face of an object: the interface, then the object it belongs to.
template <class Interface, class Owner> struct Face {
    Interface iface;
    Owner* owner;
};
template <class Owner, class Interface> Owner* ownerOf(Interface* iface) {
    return reinterpret_cast<Face<Interface, Owner>*>(iface)->owner;
}

// QueryInterface, AddRef and Release of an object with a count of its own and one face.
template <class Table, class Object, class Interface, const IID* Own> Table counted() {
    auto t = unimplemented<Table>();
    t.QueryInterface = [](Interface* self, REFIID iid, void** out) -> HRESULT {
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != *Own)
            return *out = nullptr, E_NOINTERFACE;
        ++ownerOf<Object>(self)->refs;
        *out = self;
        return S_OK;
    };
    t.AddRef = [](Interface* self) -> ULONG { return ++ownerOf<Object>(self)->refs; };
    t.Release = [](Interface* self) -> ULONG {
        Object* object = ownerOf<Object>(self);
        const ULONG refs = --object->refs;
        if (!refs)
            delete object;
        return refs;
    };
    return t;
}

std::string utf8(const std::wstring& text) {
    std::string out(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0,
                                        nullptr, nullptr),
                    '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), out.data(), int(out.size()),
                        nullptr, nullptr);
    return out;
}

std::wstring wide(const std::string& text) {
    std::wstring out(MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0),
                     L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), out.data(), int(out.size()));
    return out;
}

void log(const std::string& line) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"TUNELARK_STAND_IN_LOG", path, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        std::ofstream(path, std::ios::app) << line << '\n';
}

HRESULT giveText(const std::wstring& text, BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text.data(), UINT(text.size()));
    return S_OK;
}

// The length as the control shows it: MM:SS, with the hours in front from one hour on.
std::wstring durationText(double seconds) {
    if (seconds <= 0)
        return {};
    const long whole = long(seconds);
    wchar_t text[32];
    if (whole >= 3600)
        swprintf(text, 32, L"%02ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        swprintf(text, 32, L"%02ld:%02ld", whole / 60, whole % 60);
    return text;
}

// Media

struct Media {
    Face<IWMPMedia, Media> face{{&table()}, this};
    LONG refs = 1;
    std::wstring url;
    std::wstring name;
    double seconds = 0; // 0: a live stream
    std::map<std::wstring, std::wstring> info;

    explicit Media(std::wstring at) : url(std::move(at)) {
        if (url.find(L"://") != std::wstring::npos)
            return;
        seconds = 2;
        const std::size_t slash = url.find_last_of(L"\\/") + 1;
        name = url.substr(slash, url.rfind(L'.') > slash ? url.rfind(L'.') - slash : url.npos);
        std::ifstream tags(std::filesystem::path(url + L".tags"));
        for (std::string line; std::getline(tags, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const std::size_t equals = line.find('=');
            if (equals == std::string::npos)
                continue;
            const std::wstring key = wide(line.substr(0, equals));
            const std::wstring value = wide(line.substr(equals + 1));
            if (key == L"Title")
                name = value;
            else if (key == L"Duration")
                seconds = _wtof(value.c_str());
            else
                info[key] = value;
        }
    }
    IWMPMedia* get() { return &face.iface; }
    IWMPMedia* share() {
        ++refs;
        return get();
    }

    static const IWMPMediaVtbl& table();
};

Media* mediaOf(IWMPMedia* media) {
    return ownerOf<Media>(media);
}

const IWMPMediaVtbl& Media::table() {
    static const IWMPMediaVtbl vtbl = [] {
        auto t = counted<IWMPMediaVtbl, Media, IWMPMedia, &IID_IWMPMedia>();
        t.get_isIdentical = [](IWMPMedia* self, IWMPMedia* other, VARIANT_BOOL* same) -> HRESULT {
            *same = other && mediaOf(other) == mediaOf(self) ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        };
        t.get_sourceURL = [](IWMPMedia* self, BSTR* out) {
            return giveText(mediaOf(self)->url, out);
        };
        t.get_name = [](IWMPMedia* self, BSTR* out) { return giveText(mediaOf(self)->name, out); };
        t.get_duration = [](IWMPMedia* self, double* out) -> HRESULT {
            *out = mediaOf(self)->seconds;
            return S_OK;
        };
        t.get_durationString = [](IWMPMedia* self, BSTR* out) {
            return giveText(durationText(mediaOf(self)->seconds), out);
        };
        t.getItemInfo = [](IWMPMedia* self, BSTR attribute, BSTR* out) {
            const auto& info = mediaOf(self)->info;
            const auto it = info.find(attribute ? attribute : L"");
            return giveText(it == info.end() ? std::wstring() : it->second, out);
        };
        return t;
    }();
    return vtbl;
}

// Playlists

struct Playlist {
    Face<IWMPPlaylist, Playlist> face{{&table()}, this};
    LONG refs = 1;
    std::wstring name;
    std::vector<Media*> items; // one reference each

    ~Playlist() { clear(); }
    void clear() {
        for (Media* media : items)
            media->get()->lpVtbl->Release(media->get());
        items.clear();
    }
    IWMPPlaylist* get() { return &face.iface; }
    int indexOf(Media* media) const {
        const auto it = std::find(items.begin(), items.end(), media);
        return it == items.end() ? -1 : int(it - items.begin());
    }

    static const IWMPPlaylistVtbl& table();
};

Playlist* playlistOf(IWMPPlaylist* list) {
    return ownerOf<Playlist>(list);
}

const IWMPPlaylistVtbl& Playlist::table() {
    static const IWMPPlaylistVtbl vtbl = [] {
        auto t = counted<IWMPPlaylistVtbl, Playlist, IWMPPlaylist, &IID_IWMPPlaylist>();
        t.get_count = [](IWMPPlaylist* self, LONG* count) -> HRESULT {
            *count = LONG(playlistOf(self)->items.size());
            return S_OK;
        };
        t.get_name = [](IWMPPlaylist* self, BSTR* out) {
            return giveText(playlistOf(self)->name, out);
        };
        t.get_Item = [](IWMPPlaylist* self, LONG index, IWMPMedia** out) -> HRESULT {
            const auto& items = playlistOf(self)->items;
            if (index < 0 || std::size_t(index) >= items.size())
                return E_INVALIDARG;
            *out = items[std::size_t(index)]->share();
            return S_OK;
        };
        t.appendItem = [](IWMPPlaylist* self, IWMPMedia* media) -> HRESULT {
            if (!media || media->lpVtbl != &Media::table())
                return E_INVALIDARG;
            mediaOf(media)->share();
            playlistOf(self)->items.push_back(mediaOf(media));
            return S_OK;
        };
        t.clear = [](IWMPPlaylist* self) -> HRESULT {
            playlistOf(self)->clear();
            return S_OK;
        };
        return t;
    }();
    return vtbl;
}

// The control

class Control {
public:
    Face<IWMPPlayer4, Control> player{{&playerTable()}, this};
    Face<IOleObject, Control> ole{{&oleTable()}, this};
    Face<IConnectionPointContainer, Control> points{{&pointsTable()}, this};
    Face<IConnectionPoint, Control> point{{&pointTable()}, this};
    Face<IWMPControls, Control> controls{{&controlsTable()}, this};
    Face<IWMPSettings, Control> settings{{&settingsTable()}, this};

    Control();
    ~Control();

    HRESULT query(REFIID iid, void** out);
    ULONG addRef() { return ++m_refs; }
    ULONG release();

    // What the program asks.
    HRESULT setURL(const std::wstring& url);
    HRESULT setPlaylist(Playlist* list);
    HRESULT play();
    HRESULT pause();
    HRESULT stop();
    HRESULT step(int by);
    HRESULT playItem(Media* media);
    double position() const;
    void setPosition(double seconds);

    Playlist* m_list = nullptr; // the current playlist, one reference
    int m_current = -1;
    int m_state = 0;
    LONG m_volume = 50;
    bool m_autoStart = true;
    bool m_loop = false;
    bool m_shuffle = false;
    IDispatch* m_sink = nullptr;
    IOleClientSite* m_site = nullptr;

    static const IWMPPlayer4Vtbl& playerTable();
    static const IOleObjectVtbl& oleTable();
    static const IConnectionPointContainerVtbl& pointsTable();
    static const IConnectionPointVtbl& pointTable();
    static const IWMPControlsVtbl& controlsTable();
    static const IWMPSettingsVtbl& settingsTable();

    void showIn(HWND parent, const RECT& at);
    void fit();

private:
    Media* current() const {
        return m_list && m_current >= 0 && std::size_t(m_current) < m_list->items.size()
                   ? m_list->items[std::size_t(m_current)]
                   : nullptr;
    }
    void raise(int state);
    void raiseMediaChange();
    void open(int index, bool start);
    void opened(WPARAM opening);
    void tick();
    void press(int button);
    void titled(const COPYDATASTRUCT& data);
    void show();
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);

    LONG m_refs = 1;
    HWND m_events = nullptr; // where later events and the clock come from
    HWND m_window = nullptr; // what the user sees, once placed
    unsigned m_opening = 0;
    ULONGLONG m_startedAt = 0; // while playing: when position 0 was
    double m_at = 0;           // otherwise: the position
    std::mt19937 m_random{std::random_device{}()};
};

Control* controlOf(auto* face) {
    return ownerOf<Control>(face);
}

constexpr wchar_t kClassName[] = L"TunelarkStandIn";

Control::Control() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = g_module;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);
    m_events =
        CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, g_module, this);
}

Control::~Control() {
    if (m_window)
        DestroyWindow(m_window);
    if (m_events)
        DestroyWindow(m_events);
    if (m_list)
        m_list->get()->lpVtbl->Release(m_list->get());
    if (m_sink)
        m_sink->lpVtbl->Release(m_sink);
    if (m_site)
        m_site->lpVtbl->Release(m_site);
}

HRESULT Control::query(REFIID iid, void** out) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IWMPCore ||
        iid == IID_IWMPCore2 || iid == IID_IWMPCore3 || iid == IID_IWMPPlayer4)
        *out = &player.iface;
    else if (iid == IID_IOleObject)
        *out = &ole.iface;
    else if (iid == IID_IConnectionPointContainer)
        *out = &points.iface;
    else
        return *out = nullptr, E_NOINTERFACE;
    addRef();
    return S_OK;
}

ULONG Control::release() {
    const ULONG refs = --m_refs;
    if (!refs)
        delete this;
    return refs;
}

// Events

void Control::raise(int state) {
    m_state = state;
    log("raise " + std::to_string(state));
    show();
    if (!m_sink)
        return;
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = state;
    DISPPARAMS params{&argument, nullptr, 1, 0};
    m_sink->lpVtbl->Invoke(m_sink, kPlayStateChange, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                           nullptr, nullptr);
}

void Control::raiseMediaChange() {
    Media* media = current();
    log("raise media");
    show();
    if (!m_sink || !media)
        return;
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_DISPATCH;
    argument.pdispVal = reinterpret_cast<IDispatch*>(media->get());
    DISPPARAMS params{&argument, nullptr, 1, 0};
    m_sink->lpVtbl->Invoke(m_sink, kMediaChange, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                           nullptr, nullptr);
}

// Opening an entry: the media changes and the control passes through Transitioning inside the
// call; Playing (or Ready, without starting) comes later, once the media has "opened".
void Control::open(int index, bool start) {
    KillTimer(m_events, kClock);
    m_current = index;
    m_at = 0;
    ++m_opening;
    Media* media = current();
    if (media && media->url.find(L"://") == std::wstring::npos &&
        GetFileAttributesW(media->url.c_str()) == INVALID_FILE_ATTRIBUTES) {
        raise(0); // it cannot be opened
        return;
    }
    raiseMediaChange();
    raise(9);
    PostMessageW(m_events, kOpened, WPARAM(m_opening) << 1 | WPARAM(start), 0);
}

void Control::opened(WPARAM opening) {
    if ((opening >> 1) != WPARAM(m_opening) || !current())
        return; // another entry was asked for since
    if (!(opening & 1)) {
        raise(10);
        return;
    }
    m_startedAt = GetTickCount64() - ULONGLONG(m_at * 1000);
    SetTimer(m_events, kClock, 50, nullptr);
    raise(3);
}

// The clock: the end of the media, then the next entry (8, 9, 3), or the end of the list (8, 9,
// 1).
void Control::tick() {
    Media* media = current();
    show();
    if (!media || m_state != 3 || media->seconds <= 0 || position() < media->seconds)
        return;
    KillTimer(m_events, kClock);
    raise(8);
    const int count = int(m_list->items.size());
    int next = m_current + 1;
    if (m_shuffle && count > 1)
        next = int(m_random() % unsigned(count));
    else if (next >= count && m_loop)
        next = 0;
    if (next >= count) {
        raise(9);
        m_at = 0;
        raise(1);
        return;
    }
    open(next, true);
}

// What the program asks

HRESULT Control::setURL(const std::wstring& url) {
    log("URL " + utf8(url));
    KillTimer(m_events, kClock);
    if (m_list)
        m_list->get()->lpVtbl->Release(m_list->get());
    m_list = new Playlist;
    m_current = -1;
    if (url.empty()) {
        m_state = 0;
        show();
        return S_OK;
    }
    m_list->items.push_back(new Media(url));
    open(0, m_autoStart);
    return S_OK;
}

HRESULT Control::setPlaylist(Playlist* list) {
    log("playlist " + std::to_string(list->items.size()));
    KillTimer(m_events, kClock);
    list->get()->lpVtbl->AddRef(list->get());
    if (m_list)
        m_list->get()->lpVtbl->Release(m_list->get());
    m_list = list;
    m_current = -1;
    if (!list->items.empty())
        open(0, m_autoStart);
    return S_OK;
}

HRESULT Control::play() {
    log("play");
    if (m_state == 3)
        return S_OK;
    if (m_state == 2) { // going on from the pause, at once
        m_startedAt = GetTickCount64() - ULONGLONG(m_at * 1000);
        SetTimer(m_events, kClock, 50, nullptr);
        raise(3);
        return S_OK;
    }
    if (!current()) {
        if (m_list && !m_list->items.empty())
            open(0, true);
        return S_OK;
    }
    raise(9);
    PostMessageW(m_events, kOpened, WPARAM(m_opening) << 1 | 1, 0);
    return S_OK;
}

HRESULT Control::pause() {
    log("pause");
    if (m_state != 3)
        return S_OK;
    m_at = position();
    KillTimer(m_events, kClock);
    raise(2);
    return S_OK;
}

HRESULT Control::stop() {
    log("stop");
    ++m_opening; // an opening under way comes to nothing
    KillTimer(m_events, kClock);
    m_at = 0;
    if (m_state != 0 && m_state != 1)
        raise(1);
    return S_OK;
}

// Next and previous go through the list in its order, around it only with loop on.
HRESULT Control::step(int by) {
    log(by > 0 ? "next" : "previous");
    if (!m_list || m_list->items.empty())
        return S_OK;
    const int count = int(m_list->items.size());
    int index = m_current + by;
    if (m_shuffle && count > 1)
        index = int(m_random() % unsigned(count));
    else if (index < 0 || index >= count) {
        if (!m_loop)
            return S_OK;
        index = (index + count) % count;
    }
    open(index, true);
    return S_OK;
}

HRESULT Control::playItem(Media* media) {
    const int index = m_list && media ? m_list->indexOf(media) : -1;
    log("playItem " + std::to_string(index));
    if (index < 0)
        return E_INVALIDARG;
    open(index, true);
    return S_OK;
}

double Control::position() const {
    if (m_state == 3)
        return double(GetTickCount64() - m_startedAt) / 1000;
    return m_at;
}

// A seek passes through Transitioning and comes back to Playing.
void Control::setPosition(double seconds) {
    log("position " + std::to_string(int(seconds)));
    Media* media = current();
    if (!media)
        return;
    seconds = std::clamp(seconds, 0.0, media->seconds > 0 ? media->seconds : 1e9);
    if (m_state != 3) {
        m_at = seconds;
        return;
    }
    m_at = seconds;
    KillTimer(m_events, kClock);
    raise(9);
    PostMessageW(m_events, kOpened, WPARAM(m_opening) << 1 | 1, 0);
}

// Its window

void Control::showIn(HWND parent, const RECT& at) {
    if (m_window)
        return;
    m_window = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, at.left,
                               at.top, at.right - at.left, at.bottom - at.top, parent, nullptr,
                               g_module, this);
    const std::pair<int, const wchar_t*> buttons[] = {
        {kPrevious, L"|<"}, {kPlayPause, L">/||"}, {kStop, L"[]"}, {kNext, L">|"}};
    for (const auto& [id, caption] : buttons)
        CreateWindowExW(0, L"BUTTON", caption, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 1, 1,
                        m_window, reinterpret_cast<HMENU>(INT_PTR(id)), g_module, nullptr);
    CreateWindowExW(0, L"SCROLLBAR", L"", WS_CHILD | WS_VISIBLE | SBS_HORZ, 0, 0, 1, 1, m_window,
                    reinterpret_cast<HMENU>(INT_PTR(kBar)), g_module, nullptr);
    CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 0, 1, 1, m_window,
                    reinterpret_cast<HMENU>(INT_PTR(kStatus)), g_module, nullptr);
    fit();
    show();
}

// Filling the host: the state above, the position bar, the buttons along the bottom.
void Control::fit() {
    if (!m_window)
        return;
    RECT host;
    GetClientRect(GetParent(m_window), &host);
    const int width = host.right, height = host.bottom;
    MoveWindow(m_window, 0, 0, width, height, TRUE);
    MoveWindow(GetDlgItem(m_window, kStatus), 8, 8, width - 16, 40, TRUE);
    MoveWindow(GetDlgItem(m_window, kBar), 4, height - 56, width - 8, 18, TRUE);
    for (int id = kPrevious; id <= kNext; ++id)
        MoveWindow(GetDlgItem(m_window, id), 4 + (id - kPrevious) * 52, height - 32, 48, 28, TRUE);
}

// What it plays, and the bar at the position; the tests read the status too.
void Control::show() {
    if (!m_window)
        return;
    Media* media = current();
    const long at = long(position());
    std::wstring status = L"state " + std::to_wstring(m_state) + L", entry " +
                          std::to_wstring(m_current) + L", at " + std::to_wstring(at) + L" s";
    if (media)
        status += L"\r\n" + media->name;
    wchar_t shown[512] = {};
    GetDlgItemTextW(m_window, kStatus, shown, 512);
    if (status != shown)
        SetDlgItemTextW(m_window, kStatus, status.c_str());
    SCROLLINFO bar{sizeof bar, SIF_RANGE | SIF_POS, 0, media ? int(media->seconds) : 0, 0, int(at),
                   0};
    SetScrollInfo(GetDlgItem(m_window, kBar), SB_CTL, &bar, TRUE);
}

// The control's own buttons, pressed by the user: their events come from the message loop.
void Control::press(int button) {
    switch (button) {
    case kPrevious:
        step(-1);
        break;
    case kPlayPause:
        m_state == 3 ? pause() : play();
        break;
    case kStop:
        stop();
        break;
    case kNext:
        step(1);
        break;
    default:
        break;
    }
}

// A station names its next track: the media's title changes, and nothing else.
void Control::titled(const COPYDATASTRUCT& data) {
    Media* media = current();
    if (data.dwData != kStationTitle || !media || !data.lpData)
        return;
    media->name.assign(static_cast<const wchar_t*>(data.lpData), data.cbData / sizeof(wchar_t));
    log("title " + utf8(media->name));
    raiseMediaChange();
}

LRESULT CALLBACK Control::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          LONG_PTR(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
    auto* self = reinterpret_cast<Control*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, w, l);
    switch (message) {
    case kOpened:
        self->opened(w);
        return 0;
    case WM_TIMER:
        self->tick();
        return 0;
    case WM_COMMAND:
        self->press(LOWORD(w));
        return 0;
    case WM_HSCROLL:
        if (LOWORD(w) == SB_THUMBPOSITION)
            self->setPosition(HIWORD(w));
        return 0;
    case WM_COPYDATA:
        self->titled(*reinterpret_cast<const COPYDATASTRUCT*>(l));
        return TRUE;
    case WM_CTLCOLORSTATIC:
        SetTextColor(reinterpret_cast<HDC>(w), RGB(255, 255, 255));
        SetBkColor(reinterpret_cast<HDC>(w), RGB(0, 0, 0));
        return LRESULT(GetStockObject(BLACK_BRUSH));
    case WM_DESTROY:
        if (window == self->m_window)
            self->m_window = nullptr;
        return 0;
    default:
        return DefWindowProcW(window, message, w, l);
    }
}

// The interface tables: what the program calls, over E_NOTIMPL for the rest.

template <class Interface>
HRESULT STDMETHODCALLTYPE queryOf(Interface* self, REFIID iid, void** out) {
    return controlOf(self)->query(iid, out);
}
template <class Interface> ULONG STDMETHODCALLTYPE addRefOf(Interface* self) {
    return controlOf(self)->addRef();
}
template <class Interface> ULONG STDMETHODCALLTYPE releaseOf(Interface* self) {
    return controlOf(self)->release();
}
template <class Table, class Interface> Table unimplementedFace() {
    auto t = unimplemented<Table>();
    t.QueryInterface = queryOf<Interface>;
    t.AddRef = addRefOf<Interface>;
    t.Release = releaseOf<Interface>;
    return t;
}

const IWMPPlayer4Vtbl& Control::playerTable() {
    static const IWMPPlayer4Vtbl vtbl = [] {
        auto t = unimplementedFace<IWMPPlayer4Vtbl, IWMPPlayer4>();
        t.get_URL = [](IWMPPlayer4* self, BSTR* out) {
            Media* media = controlOf(self)->m_list && !controlOf(self)->m_list->items.empty()
                               ? controlOf(self)->m_list->items.front()
                               : nullptr;
            return giveText(media ? media->url : std::wstring(), out);
        };
        t.put_URL = [](IWMPPlayer4* self, BSTR url) {
            return controlOf(self)->setURL(url ? url : L"");
        };
        t.get_playState = [](IWMPPlayer4* self, WMPPlayState* out) -> HRESULT {
            *out = WMPPlayState(controlOf(self)->m_state);
            return S_OK;
        };
        t.get_controls = [](IWMPPlayer4* self, IWMPControls** out) -> HRESULT {
            controlOf(self)->addRef();
            *out = &controlOf(self)->controls.iface;
            return S_OK;
        };
        t.get_settings = [](IWMPPlayer4* self, IWMPSettings** out) -> HRESULT {
            controlOf(self)->addRef();
            *out = &controlOf(self)->settings.iface;
            return S_OK;
        };
        t.get_currentMedia = [](IWMPPlayer4* self, IWMPMedia** out) -> HRESULT {
            Control* control = controlOf(self);
            Media* media = control->m_list && control->m_current >= 0
                               ? control->m_list->items[std::size_t(control->m_current)]
                               : nullptr;
            *out = media ? media->share() : nullptr;
            return media ? S_OK : S_FALSE;
        };
        t.get_currentPlaylist = [](IWMPPlayer4* self, IWMPPlaylist** out) -> HRESULT {
            Playlist* list = controlOf(self)->m_list;
            if (!list)
                controlOf(self)->m_list = list = new Playlist;
            list->get()->lpVtbl->AddRef(list->get());
            *out = list->get();
            return S_OK;
        };
        t.put_currentPlaylist = [](IWMPPlayer4* self, IWMPPlaylist* list) -> HRESULT {
            if (!list || list->lpVtbl != &Playlist::table())
                return E_INVALIDARG;
            return controlOf(self)->setPlaylist(playlistOf(list));
        };
        t.newPlaylist = [](IWMPPlayer4*, BSTR name, BSTR, IWMPPlaylist** out) -> HRESULT {
            auto* list = new Playlist;
            list->name = name ? name : L"";
            *out = list->get();
            return S_OK;
        };
        t.newMedia = [](IWMPPlayer4*, BSTR url, IWMPMedia** out) -> HRESULT {
            *out = (new Media(url ? url : L""))->get();
            return S_OK;
        };
        return t;
    }();
    return vtbl;
}

const IWMPControlsVtbl& Control::controlsTable() {
    static const IWMPControlsVtbl vtbl = [] {
        auto t = unimplementedFace<IWMPControlsVtbl, IWMPControls>();
        t.play = [](IWMPControls* self) { return controlOf(self)->play(); };
        t.pause = [](IWMPControls* self) { return controlOf(self)->pause(); };
        t.stop = [](IWMPControls* self) { return controlOf(self)->stop(); };
        t.next = [](IWMPControls* self) { return controlOf(self)->step(1); };
        t.previous = [](IWMPControls* self) { return controlOf(self)->step(-1); };
        t.playItem = [](IWMPControls* self, IWMPMedia* media) {
            return controlOf(self)->playItem(
                media && media->lpVtbl == &Media::table() ? mediaOf(media) : nullptr);
        };
        t.get_currentPosition = [](IWMPControls* self, double* out) -> HRESULT {
            *out = controlOf(self)->position();
            return S_OK;
        };
        t.put_currentPosition = [](IWMPControls* self, double seconds) -> HRESULT {
            controlOf(self)->setPosition(seconds);
            return S_OK;
        };
        t.currentItem = [](IWMPControls* self, IWMPMedia** out) {
            return controlOf(self)->player.iface.lpVtbl->get_currentMedia(
                &controlOf(self)->player.iface, out);
        };
        return t;
    }();
    return vtbl;
}

const IWMPSettingsVtbl& Control::settingsTable() {
    static const IWMPSettingsVtbl vtbl = [] {
        auto t = unimplementedFace<IWMPSettingsVtbl, IWMPSettings>();
        t.get_volume = [](IWMPSettings* self, LONG* out) -> HRESULT {
            *out = controlOf(self)->m_volume;
            return S_OK;
        };
        t.put_volume = [](IWMPSettings* self, LONG volume) -> HRESULT {
            controlOf(self)->m_volume = std::clamp<LONG>(volume, 0, 100);
            return S_OK;
        };
        t.get_autoStart = [](IWMPSettings* self, VARIANT_BOOL* out) -> HRESULT {
            *out = controlOf(self)->m_autoStart ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        };
        t.put_autoStart = [](IWMPSettings* self, VARIANT_BOOL on) -> HRESULT {
            controlOf(self)->m_autoStart = on != VARIANT_FALSE;
            return S_OK;
        };
        t.setMode = [](IWMPSettings* self, BSTR mode, VARIANT_BOOL on) -> HRESULT {
            const std::wstring name = mode ? mode : L"";
            log("mode " + utf8(name) + (on ? " on" : " off"));
            if (name == L"loop")
                controlOf(self)->m_loop = on != VARIANT_FALSE;
            else if (name == L"shuffle")
                controlOf(self)->m_shuffle = on != VARIANT_FALSE;
            else
                return E_INVALIDARG;
            return S_OK;
        };
        return t;
    }();
    return vtbl;
}

// Hosting: the site, and the place in its window.
const IOleObjectVtbl& Control::oleTable() {
    static const IOleObjectVtbl vtbl = [] {
        auto t = unimplementedFace<IOleObjectVtbl, IOleObject>();
        t.SetClientSite = [](IOleObject* self, IOleClientSite* site) -> HRESULT {
            Control* control = controlOf(self);
            if (site)
                site->lpVtbl->AddRef(site);
            if (control->m_site)
                control->m_site->lpVtbl->Release(control->m_site);
            control->m_site = site;
            return S_OK;
        };
        t.SetHostNames = [](IOleObject*, LPCOLESTR, LPCOLESTR) -> HRESULT { return S_OK; };
        t.SetExtent = [](IOleObject* self, DWORD, SIZEL*) -> HRESULT {
            controlOf(self)->fit();
            return S_OK;
        };
        t.DoVerb = [](IOleObject* self, LONG, MSG*, IOleClientSite*, LONG, HWND parent,
                      LPCRECT at) -> HRESULT {
            if (!parent || !at)
                return E_INVALIDARG;
            controlOf(self)->showIn(parent, *at);
            return S_OK;
        };
        t.Close = [](IOleObject*, DWORD) -> HRESULT { return S_OK; };
        return t;
    }();
    return vtbl;
}

const IConnectionPointContainerVtbl& Control::pointsTable() {
    static const IConnectionPointContainerVtbl vtbl = [] {
        auto t = unimplementedFace<IConnectionPointContainerVtbl, IConnectionPointContainer>();
        t.FindConnectionPoint = [](IConnectionPointContainer* self, REFIID iid,
                                   IConnectionPoint** out) -> HRESULT {
            if (iid != IID__WMPOCXEvents)
                return *out = nullptr, CONNECT_E_NOCONNECTION;
            controlOf(self)->addRef();
            *out = &controlOf(self)->point.iface;
            return S_OK;
        };
        return t;
    }();
    return vtbl;
}

// One listener, as the program is the only one.
const IConnectionPointVtbl& Control::pointTable() {
    static const IConnectionPointVtbl vtbl = [] {
        auto t = unimplementedFace<IConnectionPointVtbl, IConnectionPoint>();
        t.Advise = [](IConnectionPoint* self, IUnknown* sink, DWORD* cookie) -> HRESULT {
            Control* control = controlOf(self);
            IDispatch* events = nullptr;
            if (control->m_sink || !sink ||
                FAILED(sink->lpVtbl->QueryInterface(sink, IID_IDispatch,
                                                    reinterpret_cast<void**>(&events))))
                return CONNECT_E_ADVISELIMIT;
            control->m_sink = events;
            *cookie = 1;
            return S_OK;
        };
        t.Unadvise = [](IConnectionPoint* self, DWORD cookie) -> HRESULT {
            Control* control = controlOf(self);
            if (cookie != 1 || !control->m_sink)
                return CONNECT_E_NOCONNECTION;
            control->m_sink->lpVtbl->Release(control->m_sink);
            control->m_sink = nullptr;
            return S_OK;
        };
        return t;
    }();
    return vtbl;
}

// The class

struct Factory {
    IClassFactory iface{&table()};
    static const IClassFactoryVtbl& table() {
        static const IClassFactoryVtbl vtbl = [] {
            auto t = unimplemented<IClassFactoryVtbl>();
            t.QueryInterface = [](IClassFactory* self, REFIID iid, void** out) -> HRESULT {
                if (iid != IID_IUnknown && iid != IID_IClassFactory)
                    return *out = nullptr, E_NOINTERFACE;
                *out = self;
                return S_OK;
            };
            t.AddRef = [](IClassFactory*) -> ULONG { return 2; };
            t.Release = [](IClassFactory*) -> ULONG { return 1; };
            t.CreateInstance = [](IClassFactory*, IUnknown* outer, REFIID iid,
                                  void** out) -> HRESULT {
                if (outer)
                    return *out = nullptr, CLASS_E_NOAGGREGATION;
                auto* control = new Control;
                const HRESULT result = control->query(iid, out);
                control->release();
                return result;
            };
            t.LockServer = [](IClassFactory*, BOOL) -> HRESULT { return S_OK; };
            return t;
        }();
        return vtbl;
    }
};

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH)
        g_module = module;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI
    DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    static Factory factory;
    if (clsid != CLSID_WindowsMediaPlayer)
        return *out = nullptr, CLASS_E_CLASSNOTAVAILABLE;
    return factory.iface.lpVtbl->QueryInterface(&factory.iface, iid, out);
}

// Kept loaded: the program holds the control for its whole life.
extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() {
    return S_FALSE;
}
