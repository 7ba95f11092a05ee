#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Platform/Foundation/Geometry.h"

namespace plat {

class DrawContext;
class Font;
class Menu;
class MenuItem;

// Heights of the in-window menu strip and of pop-up menu rows.
inline constexpr double kMenuStripHeight = 20;
inline constexpr double kMenuRowHeight = 20;
inline constexpr double kMenuSeparatorHeight = 7;

// Menu text the Linux way: invalid UTF-8 bytes become U+FFFD.
std::string MenuSafeText(const std::string& text);
// A key equivalent as "Ctrl+Shift+Alt+Super+K" (Command, Shift, Option, Control, then the key);
// empty without a key.
std::string MenuKeyText(const MenuItem& item);
// The same for a key and a modifier mask.
std::string MenuKeyText(const std::string& key, uint32_t modifierMask);
// Whether the item can be chosen: enabled and not a separator.
bool IsMenuItemSelectable(const MenuItem* item);

// Where the rows of a pop-up menu lie (menu coordinates, origin top-left) and how it draws.
class MenuLayout {
public:
    explicit MenuLayout(const Menu* menu);

    Size MenuSize() const { return fSize; }
    const std::vector<Rect>& Rows() const { return fRows; }
    // The row under a point of the menu, or -1.
    int32_t RowAt(Point p) const;
    // The first selectable row after (or before, backwards) the given one, wrapping; -1 when none.
    int32_t NextSelectable(int32_t from, bool backwards) const;

    // Draws the menu with a highlighted row (-1: none) into the context, at the origin.
    void Draw(DrawContext& ctx, int32_t highlight) const;

private:
    const Menu* fMenu;
    std::vector<Rect> fRows;
    Size fSize;
};

// The titles of the menu bar along a strip (strip coordinates), and its drawing.
class MenuStripLayout {
public:
    MenuStripLayout(const Menu* mainMenu, double width);

    // The top-level item of each title (index into the main menu), and its rectangle.
    const std::vector<int32_t>& Items() const { return fItems; }
    const std::vector<Rect>& Titles() const { return fTitles; }
    // The title under a strip point, or -1 (an index into Titles()).
    int32_t TitleAt(Point p) const;
    void Draw(DrawContext& ctx, int32_t highlight) const;

private:
    const Menu* fMenu;
    double fWidth;
    std::vector<int32_t> fItems;
    std::vector<Rect> fTitles;
    std::vector<std::string> fTexts;
};

// The menu font (owned by the caller's reference count: borrowed, kept for the process).
const Font& MenuFont();

}  // namespace plat
