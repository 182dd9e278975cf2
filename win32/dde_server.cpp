#include "win32/dde_server.h"

#include "settings/code_page.h"

#include <cwctype>

namespace win32 {
namespace {

constexpr wchar_t kService[] = L"Tunelark";
constexpr wchar_t kTopic[] = L"NowPlaying";
// Longer than any item served: a longer name is no item of ours.
constexpr DWORD kItemRoom = 16;

// DDEML's callback carries no pointer of ours.
DdeServer* g_server = nullptr;

} // namespace

DdeServer::DdeServer(Answer answer) : m_answer(std::move(answer)) {
    if (g_server)
        return;
    constexpr DWORD flags = APPCLASS_STANDARD | CBF_FAIL_POKES | CBF_FAIL_EXECUTES |
                            CBF_FAIL_ADVISES | CBF_FAIL_SELFCONNECTIONS | CBF_SKIP_ALLNOTIFICATIONS;
    if (DdeInitializeW(&m_instance, callback, flags, 0) != DMLERR_NO_ERROR) {
        m_instance = 0;
        return;
    }
    g_server = this;
    m_service = DdeCreateStringHandleW(m_instance, kService, CP_WINUNICODE);
    m_topic = DdeCreateStringHandleW(m_instance, kTopic, CP_WINUNICODE);
    m_registered = m_service && m_topic &&
                   DdeNameService(m_instance, m_service, nullptr, DNS_REGISTER | DNS_FILTERON);
}

DdeServer::~DdeServer() {
    if (!m_instance)
        return;
    if (m_registered)
        DdeNameService(m_instance, m_service, nullptr, DNS_UNREGISTER);
    for (HSZ name : {m_service, m_topic}) {
        if (name)
            DdeFreeStringHandle(m_instance, name);
    }
    DdeUninitialize(m_instance);
    g_server = nullptr;
}

HDDEDATA CALLBACK DdeServer::callback(UINT type, UINT format, HCONV, HSZ topic, HSZ item, HDDEDATA,
                                      ULONG_PTR, ULONG_PTR) {
    const DdeServer* server = g_server;
    if (!server)
        return nullptr;
    switch (type) {
    case XTYP_CONNECT: // item: the service asked for
        return reinterpret_cast<HDDEDATA>(
            UINT_PTR(DdeCmpStringHandles(topic, server->m_topic) == 0 &&
                     DdeCmpStringHandles(item, server->m_service) == 0));
    case XTYP_REQUEST:
        return server->request(format, topic, item);
    case XTYP_POKE:
    case XTYP_EXECUTE:
        return reinterpret_cast<HDDEDATA>(UINT_PTR(DDE_FNOTPROCESSED));
    default:
        return nullptr;
    }
}

HDDEDATA DdeServer::request(UINT format, HSZ topic, HSZ item) const {
    if (format != CF_TEXT || DdeCmpStringHandles(topic, m_topic) != 0)
        return nullptr;
    wchar_t name[kItemRoom + 1] = {};
    const DWORD length = DdeQueryStringW(m_instance, item, name, kItemRoom + 1, CP_WINUNICODE);
    if (length == 0 || length >= kItemRoom)
        return nullptr;
    // Item names are ASCII; DDE compares names without regard to case.
    std::string key;
    for (DWORD i = 0; i < length; ++i) {
        if (name[i] > 0x7F)
            return nullptr;
        key.push_back(char(std::towlower(name[i])));
    }
    const std::optional<std::string> text = m_answer(key);
    if (!text)
        return nullptr;
    std::string ansi = text::toAnsi(*text);
    return DdeCreateDataHandle(m_instance, reinterpret_cast<LPBYTE>(ansi.data()),
                               DWORD(ansi.size() + 1), 0, item, CF_TEXT, 0);
}

} // namespace win32
