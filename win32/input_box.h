#pragma once

// The single-line input box: a prompt, a line to edit, OK and Отмена.

#include <optional>
#include <string>
#include <windows.h>

namespace win32 {

// Modal over owner. The text entered, or none when cancelled.
std::optional<std::wstring> inputBox(HWND owner, const std::wstring& prompt,
                                     const std::wstring& title, const std::wstring& preset);

// The ids of its controls, for whoever answers it.
enum InputBoxId : int { kInputPrompt = 100, kInputLine = 101 };

} // namespace win32
