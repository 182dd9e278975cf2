#include "win32/input_box.h"

#include <vector>

namespace win32 {
namespace {

// A dialog template in memory, so the box needs no resource of its own.
class Template {
public:
    void dialog(DWORD style, short width, short height, short items, const wchar_t* caption) {
        put(LOWORD(style));
        put(HIWORD(style));
        put(0); // extended style
        put(0);
        put(WORD(items));
        put(0); // x, y
        put(0);
        put(WORD(width));
        put(WORD(height));
        put(0); // no menu
        put(0); // the system's dialog class
        text(caption);
        put(8); // the dialog font, for DS_SETFONT
        text(L"MS Shell Dlg");
    }
    void item(DWORD style, short x, short y, short width, short height, WORD id, WORD kind,
              const wchar_t* caption) {
        align();
        style |= WS_CHILD | WS_VISIBLE;
        put(LOWORD(style));
        put(HIWORD(style));
        put(0);
        put(0);
        put(WORD(x));
        put(WORD(y));
        put(WORD(width));
        put(WORD(height));
        put(id);
        put(0xFFFF); // a predefined class, by atom
        put(kind);
        text(caption);
        put(0); // no creation data
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void put(WORD word) { m_words.push_back(word); }
    void text(const wchar_t* text) {
        for (; *text; ++text)
            put(WORD(*text));
        put(0);
    }
    void align() {
        if (m_words.size() % 2)
            put(0);
    }
    std::vector<WORD> m_words; // starts DWORD-aligned, as the heap gives it
};

constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082;

struct Question {
    const std::wstring& prompt;
    const std::wstring& preset;
    std::wstring answer;
};

INT_PTR CALLBACK answer(HWND box, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* question = reinterpret_cast<Question*>(l);
        SetWindowLongPtrW(box, DWLP_USER, l);
        SetDlgItemTextW(box, kInputPrompt, question->prompt.c_str());
        SetDlgItemTextW(box, kInputLine, question->preset.c_str());
        SendDlgItemMessageW(box, kInputLine, EM_SETSEL, 0, -1);
        SetFocus(GetDlgItem(box, kInputLine));
        return FALSE; // the focus is set
    }
    case WM_COMMAND:
        if (LOWORD(w) == IDOK) {
            auto* question = reinterpret_cast<Question*>(GetWindowLongPtrW(box, DWLP_USER));
            HWND line = GetDlgItem(box, kInputLine);
            question->answer.resize(std::size_t(GetWindowTextLengthW(line)) + 1);
            question->answer.resize(std::size_t(
                GetWindowTextW(line, question->answer.data(), int(question->answer.size()))));
            EndDialog(box, IDOK);
            return TRUE;
        }
        if (LOWORD(w) == IDCANCEL) {
            EndDialog(box, IDCANCEL);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

std::optional<std::wstring> inputBox(HWND owner, const std::wstring& prompt,
                                     const std::wstring& title, const std::wstring& preset) {
    Template form;
    form.dialog(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 260,
                76, 4, title.c_str());
    form.item(SS_LEFT, 7, 7, 190, 34, kInputPrompt, kStatic, L"");
    form.item(WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 7, 52, 246, 14, kInputLine, kEdit, L"");
    form.item(WS_TABSTOP | BS_DEFPUSHBUTTON, 203, 7, 50, 14, IDOK, kButton, L"OK");
    form.item(WS_TABSTOP | BS_PUSHBUTTON, 203, 25, 50, 14, IDCANCEL, kButton, L"Отмена");
    Question question{prompt, preset, {}};
    const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), form.get(), owner,
                                                   answer, reinterpret_cast<LPARAM>(&question));
    if (result != IDOK)
        return std::nullopt;
    return question.answer;
}

} // namespace win32
