#include "Platform/AppKit/MenuDrawing.h"

#include <algorithm>

#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/Foundation/TextEncoding.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Text.h"

namespace plat {

namespace {

constexpr double kLeftPad = 22;   // room for the check mark
constexpr double kRightPad = 22;  // room for the submenu arrow
constexpr double kKeyGap = 24;
constexpr double kMinWidth = 120;
constexpr double kTitlePad = 10;

const GfxColor kBackground{0.96, 0.96, 0.96, 1};
const GfxColor kBorder{0.55, 0.55, 0.55, 1};
const GfxColor kText{0.05, 0.05, 0.05, 1};
const GfxColor kDisabledText{0.62, 0.62, 0.62, 1};
const GfxColor kHighlight{0.20, 0.42, 0.85, 1};
const GfxColor kHighlightText{1, 1, 1, 1};
const GfxColor kSeparator{0.80, 0.80, 0.80, 1};
const GfxColor kStrip{0.90, 0.90, 0.90, 1};

double Width(const std::string& s) {
    return s.empty() ? 0 : TextWidth(MenuFont(), s.data(), s.size());
}

void Text(DrawContext& ctx, const std::string& s, const Rect& box, TextAlign align, const GfxColor& colour) {
    if (s.empty()) return;
    TextDrawSpec spec;
    spec.box = box;
    spec.align = align;
    spec.singleLine = true;
    const Font& f = MenuFont();
    spec.baseline = box.y + (box.height - f.LineHeight()) / 2 + f.Ascent();
    spec.colour = colour;
    DrawText(ctx, f, s.data(), s.size(), spec);
}

std::string KeyName(const std::string& key) {
    if (key == " ") return "Space";
    std::string k = MenuSafeText(key);
    if (k.size() == 1 && k[0] >= 'a' && k[0] <= 'z') k[0] = char(k[0] - 32);
    return k;
}

}  // namespace

const Font& MenuFont() {
    static Font* font = Font::CreateSystem(Font::SystemFontSize()).release();  // kept for the process
    return *font;
}

std::string MenuSafeText(const std::string& text) {
    // A NUL would end the text for the drawing layer: it shows as U+FFFD like malformed bytes.
    std::string out;
    for (char c : ValidUtf8(text)) {
        if (c == '\0')
            out += "\xEF\xBF\xBD";
        else
            out += c;
    }
    return out;
}

std::string MenuKeyText(const MenuItem& item) {
    return MenuKeyText(item.KeyEquivalent(), item.KeyEquivalentModifierMask());
}

std::string MenuKeyText(const std::string& key, uint32_t m) {
    if (key.empty()) return {};
    std::string s;
    if (m & kCommandKeyMask) s += "Ctrl+";
    if (m & kShiftKeyMask) s += "Shift+";
    if (m & kAlternateKeyMask) s += "Alt+";
    if (m & kControlKeyMask) s += "Super+";
    return s + KeyName(key);
}

bool IsMenuItemSelectable(const MenuItem* item) {
    return item && !item->IsSeparator() && item->IsEnabled();
}

MenuLayout::MenuLayout(const Menu* menu) : fMenu(menu) {
    double textW = 0, keyW = 0, y = 1;
    const int32_t n = menu ? menu->NumberOfItems() : 0;
    for (int32_t i = 0; i < n; ++i) {
        const MenuItem* item = menu->ItemAtIndex(i);
        const double h = item->IsSeparator() ? kMenuSeparatorHeight : kMenuRowHeight;
        fRows.push_back({1, y, 0, h});
        y += h;
        if (item->IsSeparator()) continue;
        textW = std::max(textW, Width(MenuSafeText(item->Title())));
        keyW = std::max(keyW, Width(MenuKeyText(*item)));
    }
    const double w = std::max(kMinWidth, kLeftPad + textW + (keyW > 0 ? kKeyGap + keyW : 0) + kRightPad) + 2;
    for (Rect& r : fRows) r.width = w - 2;
    fSize = {w, std::max(y + 1, 2.0 + kMenuRowHeight / 2)};
}

int32_t MenuLayout::RowAt(Point p) const {
    for (size_t i = 0; i < fRows.size(); ++i) {
        const Rect& r = fRows[i];
        if (p.x >= r.x && p.x < r.x + r.width && p.y >= r.y && p.y < r.y + r.height) return int32_t(i);
    }
    return -1;
}

int32_t MenuLayout::NextSelectable(int32_t from, bool backwards) const {
    const int32_t n = int32_t(fRows.size());
    if (n == 0) return -1;
    int32_t i = from;
    for (int32_t step = 0; step < n; ++step) {
        if (i < 0)
            i = backwards ? n - 1 : 0;
        else
            i = backwards ? (i + n - 1) % n : (i + 1) % n;
        if (IsMenuItemSelectable(fMenu->ItemAtIndex(i))) return i;
    }
    return -1;
}

void MenuLayout::Draw(DrawContext& ctx, int32_t highlight) const {
    GStateScope scope(ctx);
    ctx.SetFillColor(kBorder);
    ctx.FillRect({0, 0, fSize.width, fSize.height});
    ctx.SetFillColor(kBackground);
    ctx.FillRect({1, 1, fSize.width - 2, fSize.height - 2});
    for (size_t i = 0; i < fRows.size(); ++i) {
        const MenuItem* item = fMenu->ItemAtIndex(int32_t(i));
        const Rect& r = fRows[i];
        if (item->IsSeparator()) {
            ctx.SetFillColor(kSeparator);
            ctx.FillRect({r.x + 4, r.y + r.height / 2, r.width - 8, 1});
            continue;
        }
        const bool lit = int32_t(i) == highlight && IsMenuItemSelectable(item);
        if (lit) {
            ctx.SetFillColor(kHighlight);
            ctx.FillRect(r);
        }
        const GfxColor& colour = lit ? kHighlightText : item->IsEnabled() ? kText : kDisabledText;
        if (item->State()) {
            // A check mark.
            ctx.SetStrokeColor(colour);
            ctx.SetLineWidth(2);
            ctx.BeginPath();
            ctx.MoveTo(r.x + 6, r.y + r.height / 2);
            ctx.LineTo(r.x + 10, r.y + r.height / 2 + 4);
            ctx.LineTo(r.x + 16, r.y + 5);
            ctx.StrokePath();
        }
        Text(ctx, MenuSafeText(item->Title()),
             {r.x + kLeftPad, r.y, r.width - kLeftPad - kRightPad, r.height}, TextAlign::kLeft, colour);
        if (item->HasSubmenu()) {
            ctx.SetFillColor(colour);
            ctx.BeginPath();
            const double x = r.x + r.width - 14, cy = r.y + r.height / 2;
            ctx.MoveTo(x, cy - 4);
            ctx.LineTo(x + 6, cy);
            ctx.LineTo(x, cy + 4);
            ctx.ClosePath();
            ctx.FillPath();
        } else {
            Text(ctx, MenuKeyText(*item), {r.x + kLeftPad, r.y, r.width - kLeftPad - 8, r.height},
                 TextAlign::kRight, colour);
        }
    }
}

MenuStripLayout::MenuStripLayout(const Menu* mainMenu, double width) : fMenu(mainMenu), fWidth(width) {
    double x = 4;
    const int32_t n = mainMenu ? mainMenu->NumberOfItems() : 0;
    for (int32_t i = 0; i < n; ++i) {
        const MenuItem* item = mainMenu->ItemAtIndex(i);
        if (!item->HasSubmenu()) continue;
        std::string title = MenuSafeText(item->Submenu()->Title());
        if (title.empty()) title = MenuSafeText(item->Title());
        const double w = Width(title) + 2 * kTitlePad;
        fItems.push_back(i);
        fTitles.push_back({x, 0, w, kMenuStripHeight});
        fTexts.push_back(title);
        x += w;
    }
}

int32_t MenuStripLayout::TitleAt(Point p) const {
    if (p.y < 0 || p.y >= kMenuStripHeight) return -1;
    for (size_t i = 0; i < fTitles.size(); ++i)
        if (p.x >= fTitles[i].x && p.x < fTitles[i].x + fTitles[i].width) return int32_t(i);
    return -1;
}

void MenuStripLayout::Draw(DrawContext& ctx, int32_t highlight) const {
    GStateScope scope(ctx);
    ctx.SetFillColor(kStrip);
    ctx.FillRect({0, 0, fWidth, kMenuStripHeight});
    ctx.SetFillColor(kSeparator);
    ctx.FillRect({0, kMenuStripHeight - 1, fWidth, 1});
    for (size_t i = 0; i < fTitles.size(); ++i) {
        const bool lit = int32_t(i) == highlight;
        if (lit) {
            ctx.SetFillColor(kHighlight);
            ctx.FillRect(fTitles[i]);
        }
        Text(ctx, fTexts[i], fTitles[i], TextAlign::kCenter, lit ? kHighlightText : kText);
    }
    (void)fMenu;
}

}  // namespace plat
