// List1: a list view that holds no rows of its own. It asks for each row's name as it draws it,
// so a list of any length fills at once.
#include "win32/main_window.h"

#include "win32/wide.h"

#include <commctrl.h>

namespace win32 {

HWND Main::createList(HINSTANCE instance) {
    INITCOMMONCONTROLSEX common{sizeof common, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&common);
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA |
                                    LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                                0, 0, 1, 1, m_window, reinterpret_cast<HMENU>(INT_PTR(kList1)),
                                instance, nullptr);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    ListView_InsertColumn(list, 0, &column);
    // White on black, as the fields.
    ListView_SetBkColor(list, RGB(0, 0, 0));
    ListView_SetTextBkColor(list, RGB(0, 0, 0));
    ListView_SetTextColor(list, RGB(255, 255, 255));
    return list;
}

// The one column spans the list, less its scroll bar when it has one.
void Main::fitColumn() {
    RECT inside;
    if (m_list && GetClientRect(m_list, &inside))
        ListView_SetColumnWidth(m_list, 0, inside.right);
}

void Main::listReplaced(const player::ListRows& rows) {
    m_rows = &rows;
    // Emptied first, so the old rows' selection and scrolling go with them.
    ListView_SetItemCountEx(m_list, 0, 0);
    ListView_SetItemCountEx(m_list, rows.size(), 0);
    fitColumn();
    setListIndex(rows.highlight());
}

void Main::listAdded(const player::ListRows& rows, int first) {
    m_rows = &rows;
    if (first != ListView_GetItemCount(m_list))
        return listReplaced(rows);
    ListView_SetItemCountEx(m_list, rows.size(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    fitColumn();
}

// One row at most is selected, so only that one is cleared: clearing "all" visits every row.
void Main::setListIndex(int row) {
    constexpr UINT lit = LVIS_SELECTED | LVIS_FOCUSED;
    if (row < 0) {
        const int selected = ListView_GetNextItem(m_list, -1, LVNI_SELECTED);
        if (selected >= 0)
            ListView_SetItemState(m_list, selected, 0, LVIS_SELECTED);
        return;
    }
    ListView_SetItemState(m_list, row, lit, lit);
    ListView_EnsureVisible(m_list, row, FALSE);
}

LRESULT Main::notified(NMHDR& note) {
    if (note.hwndFrom != m_list)
        return 0;
    switch (note.code) {
    case LVN_GETDISPINFOW: {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(note).item;
        if (item.mask & LVIF_TEXT) {
            m_rowText = m_rows ? wide(m_rows->name(item.iItem)) : std::wstring();
            item.pszText = m_rowText.data();
        }
        return 0;
    }
    case LVN_ODFINDITEMW:
        return -1; // typing a name's first letters finds nothing
    case NM_DBLCLK:
        if (m_player)
            m_player->List1_DblClick(ListView_GetNextItem(m_list, -1, LVNI_SELECTED));
        return 0;
    default:
        return 0;
    }
}

} // namespace win32
