#include "win32/dde_client.h"

#include <windows.h>

#include <ddeml.h>

namespace announce {

namespace {

constexpr wchar_t serviceName[] = L"mIRC";
constexpr wchar_t topicName[] = L"Command";
// DDEML refuses a poke without an item name; the IRC client ignores the item.
constexpr wchar_t itemName[] = L"line";

// A client-only instance still needs a callback; it has nothing to answer.
HDDEDATA CALLBACK ignoreTransaction(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

} // namespace

// One DDEML instance, its names and at most one open conversation.
struct DdeClient::Handles {
    DWORD instance = 0;
    HSZ service = nullptr;
    HSZ topic = nullptr;
    HSZ item = nullptr;
    HCONV conversation = nullptr;
};

DdeClient::DdeClient() : handles_(start()), threadId_(GetCurrentThreadId()) {}

DdeClient::~DdeClient() {
    if (!handles_)
        return;
    Handles& h = *handles_;
    closeConversation();
    for (HSZ name : {h.service, h.topic, h.item}) {
        if (name)
            DdeFreeStringHandle(h.instance, name);
    }
    DdeUninitialize(h.instance);
}

std::unique_ptr<DdeClient::Handles> DdeClient::start() {
    auto h = std::make_unique<Handles>();
    if (DdeInitializeW(&h->instance, ignoreTransaction, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return nullptr;
    h->service = DdeCreateStringHandleW(h->instance, serviceName, CP_WINUNICODE);
    h->topic = DdeCreateStringHandleW(h->instance, topicName, CP_WINUNICODE);
    h->item = DdeCreateStringHandleW(h->instance, itemName, CP_WINUNICODE);
    return h;
}

DdePokeResult DdeClient::poke(const std::string& ansiText, unsigned timeoutMs) {
    if (GetCurrentThreadId() != threadId_)
        return fail(DMLERR_INVALIDPARAMETER);
    // The poke carries the text and its NUL, and its size is a DWORD.
    if (ansiText.size() >= MAXDWORD)
        return fail(DMLERR_MEMORY_ERROR);
    if (!handles_)
        handles_ = start();
    if (!handles_)
        return fail(DMLERR_DLL_NOT_INITIALIZED);
    Handles& h = *handles_;
    if (!h.service || !h.topic || !h.item)
        return fail(DMLERR_SYS_ERROR);

    closeConversation();
    h.conversation = DdeConnect(h.instance, h.service, h.topic, nullptr);
    if (!h.conversation)
        return fail(DdeGetLastError(h.instance));

    DWORD status = 0;
    auto* data = reinterpret_cast<LPBYTE>(const_cast<char*>(ansiText.c_str()));
    const HDDEDATA acknowledged =
        DdeClientTransaction(data, static_cast<DWORD>(ansiText.size() + 1), h.conversation, h.item,
                             CF_TEXT, XTYP_POKE, timeoutMs, &status);
    if (!acknowledged) {
        const DdePokeResult result = fail(DdeGetLastError(h.instance));
        // Closing a conversation whose server hangs waits for its answer (10 s in Wine), so it
        // is left behind with its instance, and the next call starts afresh.
        if (result == DdePokeResult::TimedOut)
            handles_.reset();
        return result;
    }
    // Wine reports a refused poke as a finished transaction without the positive ack.
    if (!(status & DDE_FACK))
        return fail(DMLERR_NOTPROCESSED);
    lastError_ = DMLERR_NO_ERROR;
    return DdePokeResult::Delivered;
}

void DdeClient::closeConversation() {
    Handles& h = *handles_;
    if (h.conversation) {
        DdeDisconnect(h.conversation);
        h.conversation = nullptr;
    }
}

DdePokeResult DdeClient::fail(unsigned error) {
    lastError_ = error;
    switch (error) {
    case DMLERR_NO_CONV_ESTABLISHED:
        return DdePokeResult::NoServer;
    case DMLERR_POKEACKTIMEOUT:
        return DdePokeResult::TimedOut;
    case DMLERR_NOTPROCESSED:
        return DdePokeResult::Rejected;
    default:
        return DdePokeResult::Failed;
    }
}

} // namespace announce
