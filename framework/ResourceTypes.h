#pragma once

// The descriptions the shell's menus, toolbar, accelerators and strings are built from. The
// program states them as data (resources/); the frames build widgets and actions from them.

#include <span>
#include <string_view>

namespace drel {

// One menu entry. A popup has `items`; a command has `id`; an entry with neither is a separator.
// `text` marks the mnemonic with '&' and may carry a shortcut text after a tab ("&New\tCtrl+N"),
// which is shown right-aligned and does not itself bind the key (the accelerators do).
struct MenuItem {
    std::string_view text;
    int id = 0;
    std::span<const MenuItem> items = {};
};

// A menu bar: its popups in order.
struct MenuTemplate {
    int id;
    std::span<const MenuItem> popups;
};

// A toolbar: command ids left to right, 0 for a separator. Button n (not counting separators)
// shows image n of the strip.
struct ToolBarTemplate {
    int id;
    int imageWidth;
    int imageHeight;
    std::span<const int> buttons;
};

// Key modifiers of an accelerator.
enum AcceleratorModifier : unsigned { kNoModifier = 0, kCtrl = 1, kShift = 2, kAlt = 4 };

// One accelerator: a key (a Qt::Key value) with modifiers, and the command it runs.
struct Accelerator {
    int key;
    unsigned modifiers;
    int id;
};

struct AcceleratorTable {
    int id;
    std::span<const Accelerator> entries;
};

// One string of the string table: command prompts ("status text\ntooltip"), titles, panes.
struct StringResource {
    int id;
    std::string_view text;
};

// One image: a file or Qt resource path (":/icons/drel-32.xpm"). Several images under one id
// make one icon in several sizes; a toolbar's image strip has the toolbar's id.
struct ImageResource {
    int id;
    std::string_view path;
};

// Everything the frames build from, handed to the framework once at start-up
// (AfxSetResources). Each list is searched by id; the spans must outlive the program's windows.
struct ResourceTable {
    std::span<const MenuTemplate> menus;
    std::span<const ToolBarTemplate> toolBars;
    std::span<const AcceleratorTable> accelerators;
    std::span<const StringResource> strings;
    std::span<const ImageResource> icons;
    std::span<const ImageResource> bitmaps;  // toolbar image strips
};

}  // namespace drel
