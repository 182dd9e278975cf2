#include "dde_client.h"

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

struct DdeClient::Handles {
    DWORD instance = 0;
    DWORD threadId = GetCurrentThreadId();
    HSZ service = nullptr;
    HSZ topic = nullptr;
    HSZ item = nullptr;
    HCONV conversation = nullptr;
};

DdeClient::DdeClient() : handles_(std::make_unique<Handles>()) {
    Handles& h = *handles_;
    if (DdeInitializeW(&h.instance, ignoreTransaction, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
        h.instance = 0;
        return;
    }
    h.service = DdeCreateStringHandleW(h.instance, serviceName, CP_WINUNICODE);
    h.topic = DdeCreateStringHandleW(h.instance, topicName, CP_WINUNICODE);
    h.item = DdeCreateStringHandleW(h.instance, itemName, CP_WINUNICODE);
}

DdeClient::~DdeClient() {
    Handles& h = *handles_;
    if (!h.instance)
        return;
    closeConversation();
    for (HSZ name : {h.service, h.topic, h.item}) {
        if (name)
            DdeFreeStringHandle(h.instance, name);
    }
    DdeUninitialize(h.instance);
}

DdePokeResult DdeClient::poke(const std::string& ansiText, unsigned timeoutMs) {
    Handles& h = *handles_;
    if (!h.instance || !h.service || !h.topic || !h.item)
        return fail(DMLERR_DLL_NOT_INITIALIZED);
    if (GetCurrentThreadId() != h.threadId)
        return fail(DMLERR_INVALIDPARAMETER);
    // The poke carries the text and its NUL, and its size is a DWORD.
    if (ansiText.size() >= MAXDWORD)
        return fail(DMLERR_MEMORY_ERROR);

    closeConversation();
    h.conversation = DdeConnect(h.instance, h.service, h.topic, nullptr);
    if (!h.conversation)
        return fail(DdeGetLastError(h.instance));

    DWORD status = 0;
    auto* data = reinterpret_cast<LPBYTE>(const_cast<char*>(ansiText.c_str()));
    const HDDEDATA acknowledged =
        DdeClientTransaction(data, static_cast<DWORD>(ansiText.size() + 1), h.conversation, h.item,
                             CF_TEXT, XTYP_POKE, timeoutMs, &status);
    if (!acknowledged)
        return fail(DdeGetLastError(h.instance));
    // Wine reports a refused poke as a finished transaction without the positive ack.
    if (!(status & DDE_FACK))
        return fail(DMLERR_NOTPROCESSED);
    lastError_ = DMLERR_NO_ERROR;
    return DdePokeResult::Delivered;
}

// A failed conversation also stays until the next call: closing one whose server hangs would
// wait on DDEML's own terminate time-out here, on top of the poke's.
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
