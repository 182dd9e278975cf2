// Stands in for the IRC client: a DDEML server for application "mIRC", topic "Command".
// Runs in the current folder, where it writes "ready" once it serves, appends each poked
// CF_TEXT exactly as received to "pokes.bin", and logs its conversation events to "events.log".
// Usage: dde_test_server.exe accept | reject | hang <milliseconds>
#include <windows.h>

#include <ddeml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

enum class Mode { Accept, Reject, Hang };

Mode mode = Mode::Accept;
DWORD hangMs = 0;
bool hungOnce = false;
DWORD instance = 0;
HSZ service = nullptr;
HSZ topic = nullptr;

// Quits by itself so that a lost test run leaves nothing behind.
constexpr UINT lifetimeMs = 120000;

void append(const char* fileName, const void* bytes, size_t size) {
    if (FILE* f = std::fopen(fileName, "ab")) {
        std::fwrite(bytes, 1, size, f);
        std::fclose(f);
    }
}

void logEvent(const char* event) {
    append("events.log", event, std::strlen(event));
    append("events.log", "\n", 1);
}

HDDEDATA onPoke(UINT format, HDDEDATA data) {
    if (format != CF_TEXT) {
        logEvent("poke-not-text");
        return reinterpret_cast<HDDEDATA>(DDE_FNOTPROCESSED);
    }
    if (mode == Mode::Reject) {
        logEvent("poke-rejected");
        return reinterpret_cast<HDDEDATA>(DDE_FNOTPROCESSED);
    }
    if (mode == Mode::Hang && !hungOnce) {
        hungOnce = true;
        Sleep(hangMs);
    }
    const DWORD size = DdeGetData(data, nullptr, 0, 0);
    std::vector<BYTE> bytes(size);
    DdeGetData(data, bytes.data(), size, 0);
    append("pokes.bin", bytes.data(), bytes.size());
    logEvent("poke");
    return reinterpret_cast<HDDEDATA>(DDE_FACK);
}

HDDEDATA CALLBACK serve(UINT type, UINT format, HCONV, HSZ hsz1, HSZ hsz2, HDDEDATA data, ULONG_PTR,
                        ULONG_PTR) {
    switch (type) {
    case XTYP_CONNECT:
        return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(
            DdeCmpStringHandles(hsz1, topic) == 0 && DdeCmpStringHandles(hsz2, service) == 0));
    case XTYP_CONNECT_CONFIRM:
        logEvent("connect");
        return nullptr;
    case XTYP_DISCONNECT:
        logEvent("disconnect");
        return nullptr;
    case XTYP_POKE:
        return onPoke(format, data);
    default:
        return nullptr;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "reject") == 0) {
        mode = Mode::Reject;
    } else if (argc >= 3 && std::strcmp(argv[1], "hang") == 0) {
        mode = Mode::Hang;
        hangMs = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));
    } else if (argc < 2 || std::strcmp(argv[1], "accept") != 0) {
        std::fprintf(stderr, "usage: dde_test_server accept | reject | hang <milliseconds>\n");
        return 2;
    }

    if (DdeInitializeW(&instance, serve,
                       APPCLASS_STANDARD | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS,
                       0) != DMLERR_NO_ERROR) {
        std::fprintf(stderr, "dde_test_server: DdeInitialize failed\n");
        return 1;
    }
    service = DdeCreateStringHandleW(instance, L"mIRC", CP_WINUNICODE);
    topic = DdeCreateStringHandleW(instance, L"Command", CP_WINUNICODE);
    if (!DdeNameService(instance, service, nullptr, DNS_REGISTER)) {
        std::fprintf(stderr, "dde_test_server: DdeNameService failed: 0x%x\n",
                     DdeGetLastError(instance));
        return 1;
    }
    append("ready", "", 0);

    SetTimer(nullptr, 0, lifetimeMs, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && !msg.hwnd)
            break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DdeNameService(instance, service, nullptr, DNS_UNREGISTER);
    DdeUninitialize(instance);
    return 0;
}
