#include "win32/program_places.h"

#include "settings/places.h"
#include "win32/wide.h"

#include <windows.h>

namespace win32 {
namespace {

std::wstring programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// Whether a file can be made there: a folder's attributes do not say so.
bool writable(const std::wstring& folder) {
    const std::wstring probe =
        folder + L"tunelark-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

std::wstring environment(const wchar_t* name) {
    std::wstring value(GetEnvironmentVariableW(name, nullptr, 0), L'\0');
    if (value.empty())
        return {};
    value.resize(GetEnvironmentVariableW(name, value.data(), DWORD(value.size())));
    return value;
}

} // namespace

player::Places programPlaces() {
    const std::string program = settings::folderWithSeparator(utf8(programFolder()));
    if (writable(wide(program)))
        return {program, program};
    const std::wstring appData = environment(L"APPDATA");
    if (appData.empty())
        return {program, program};
    const std::wstring files = appData + L"\\Tunelark\\";
    CreateDirectoryW(files.c_str(), nullptr);
    // The options already beside the program are read still.
    const bool optionsThere =
        GetFileAttributesW((wide(program) + L"mirc.ini").c_str()) != INVALID_FILE_ATTRIBUTES;
    return {program, utf8(files), optionsThere ? program : std::string()};
}

} // namespace win32
