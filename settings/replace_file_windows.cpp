#include "settings/replace_file.h"

#include <string>
#include <windows.h>

namespace profile {
namespace {

bool writeAll(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk =
            bytes.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

} // namespace

bool replaceFile(const std::filesystem::path& file, std::string_view bytes) {
    const std::wstring target = file.wstring();
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) {
        return false; // also a missing folder
    }
    if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
        return false;
    }

    const std::wstring stem =
        L"." + file.filename().wstring() + L"." + std::to_wstring(GetCurrentProcessId());
    std::wstring temp;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        temp = (file.parent_path() / (stem + L"." + std::to_wstring(attempt) + L".tmp")).wstring();
        handle = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            return false;
        }
    }
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }

    bool ok = writeAll(handle, bytes) && FlushFileBuffers(handle);
    ok = CloseHandle(handle) && ok;
    if (ok) {
        // ReplaceFileW keeps the old file's attributes and access rights.
        ok = exists ? ReplaceFileW(target.c_str(), temp.c_str(), nullptr,
                                   REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                    : MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    }
    if (!ok) {
        DeleteFileW(temp.c_str());
    }
    return ok;
}

} // namespace profile
