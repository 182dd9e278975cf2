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
    const settings::SettingsFile ini = settings::checkSettingsFile(program + "mirc.ini");
    const std::string why =
        !writable(wide(program)) ? "папку нельзя изменить" : ini.whyNotKept.value_or("");
    const std::wstring appData = environment(L"APPDATA");
    if (why.empty() || appData.empty())
        return {program, program};
    const std::wstring files = appData + L"\\Tunelark\\";
    CreateDirectoryW(files.c_str(), nullptr);
    // Said only where the user keeps options beside the program; read from there still.
    return {program, utf8(files), ini.present ? why : std::string(),
            ini.readable ? program : std::string()};
}

} // namespace win32
