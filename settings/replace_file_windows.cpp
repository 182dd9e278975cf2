#include "settings/replace_file.h"

#include <string>
#include <windows.h>

namespace settings {
namespace {

// A reader holding the file open without sharing its deletion blocks the replace; such readers
// (overlays polling the song file) let go within moments, and the caller is the window's thread.
constexpr int kReplaceAttempts = 5;
constexpr DWORD kReplacePauseMs = 20;

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

bool isSharingError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

// The new bytes in a temporary file beside `file`; empty when none could be written, with
// `denied` telling whether the folder refused it.
std::wstring writeTemporary(const std::filesystem::path& file, std::string_view bytes,
                            bool& denied) {
    denied = false;
    const std::wstring stem =
        L"." + file.filename().wstring() + L"." + std::to_wstring(GetCurrentProcessId());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring temp =
            (file.parent_path() / (stem + L"." + std::to_wstring(attempt) + L".tmp")).wstring();
        const HANDLE handle = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS) {
                continue;
            }
            denied = error == ERROR_ACCESS_DENIED;
            return {};
        }
        bool ok = writeAll(handle, bytes) && FlushFileBuffers(handle);
        ok = CloseHandle(handle) && ok;
        if (ok) {
            return temp;
        }
        DeleteFileW(temp.c_str());
        return {};
    }
    return {};
}

enum class Outcome { Replaced, Blocked, Failed };

// Renames the temporary file over the existing `target`. The system's ReplaceFileW would also
// carry the old file's access rights over, but Wine's leaves a stray file behind each time a
// reader blocks it, and the rename keeps the folder's rights, which the file had anyway.
Outcome replaceExisting(const std::wstring& target, const std::wstring& temp) {
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(temp.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return Outcome::Replaced;
        }
        if (!isSharingError(GetLastError())) {
            return Outcome::Failed;
        }
        if (attempt == kReplaceAttempts) {
            return Outcome::Blocked;
        }
        Sleep(kReplacePauseMs);
    }
}

// The last resort: the new bytes over the old ones, cut to length only once they are in.
bool overwrite(const std::wstring& target, std::string_view bytes) {
    const HANDLE handle =
        CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = writeAll(handle, bytes) && SetEndOfFile(handle) && FlushFileBuffers(handle);
    return CloseHandle(handle) && ok;
}

} // namespace

bool isAnotherUsersFile(const std::filesystem::path&) {
    return false;
}

bool replaceFile(const std::filesystem::path& file, std::string_view bytes, ReadOnlyFile readOnly) {
    const std::wstring target = file.wstring();
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) {
        return false; // also a missing folder
    }
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    if (exists && readOnly == ReadOnlyFile::Keep && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return false;
    }
    // Ours alone: read-only, hidden and the like are cleared.
    if (exists && readOnly == ReadOnlyFile::Rewrite && attributes != FILE_ATTRIBUTE_NORMAL &&
        !SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL)) {
        return false;
    }

    bool denied = false;
    const std::wstring temp = writeTemporary(file, bytes, denied);
    if (temp.empty()) {
        return exists && denied && overwrite(target, bytes);
    }
    if (!exists) {
        const bool moved = MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        if (!moved) {
            DeleteFileW(temp.c_str());
        }
        return moved;
    }
    const Outcome outcome = replaceExisting(target, temp);
    if (outcome == Outcome::Replaced) {
        // The settings file keeps what its owner set (hidden, archive); the song file is plain.
        if (readOnly == ReadOnlyFile::Keep && attributes != FILE_ATTRIBUTE_NORMAL) {
            SetFileAttributesW(target.c_str(), attributes);
        }
        return true;
    }
    DeleteFileW(temp.c_str());
    return outcome == Outcome::Blocked && overwrite(target, bytes);
}

} // namespace settings
