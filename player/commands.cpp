#include "player/commands.h"

#include <stdexcept>

namespace player {
namespace {

using settings::Flag;
using enum Command;

constexpr MenuItem kFile[] = {
    {Open, "mnOpen", "&Открыть"},
    {std::nullopt, "mnR0"},
    {Exit, "mnExit", "&Выход"},
};

constexpr MenuItem kPlaying[] = {
    {Play, "mnPlay", "&Воспроизведение"},
    {Pause, "mnPause", "&Пауза"},
    {Stop, "mnStop", "&Остановить"},
    {std::nullopt, "mnR1"},
    {AutoStart, "mnAutoStart", "А&втостарт", Flag::AutoStart},
    {Random, "mnRandom", "&Случайно", Flag::Random},
    {Repeat, "mnRepeat", "&Автоповтор", Flag::Repeat},
};

constexpr MenuItem kSongName[] = {
    {PrintSongName, "mnPrintSongName", "&Написать"},
    {Format, "mnFormat", "&Форма записи"},
    {std::nullopt, "mnR2"},
    {AutoPrint, "mnAutoPrint", "&Писать автоматически", Flag::AutoPrint},
};

constexpr MenuItem kList[] = {
    {ClearList, "mnClearList", "&Очистить список"},
};

constexpr Menu kMenus[] = {
    {"mnFile", "&Файл", kFile},
    {"mnPlaying", "&Воспроизведение", kPlaying},
    {"mnSongName", "&Название песни", kSongName},
    {"mnList", "&Меню списка", kList, false},
};

constexpr Hotkey kHotkeys[] = {
    {Key::F7, Previous},
    {Key::F8, Next},
    {Key::F11, VolumeDown},
    {Key::F12, VolumeUp},
};

} // namespace

std::span<const Menu> menus() {
    return kMenus;
}

const MenuItem& markedItem(Flag flag) {
    for (const Menu& menu : kMenus)
        for (const MenuItem& item : menu.items)
            if (item.mark == flag)
                return item;
    throw std::logic_error("an option without its menu item");
}

std::span<const Hotkey> hotkeys() {
    return kHotkeys;
}

} // namespace player
