#pragma once

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LStdCtl.h"
#include "Lib3/LSources/CoreUI/LTitlePane.h"

L_MESSAGE_ID(LPopupList_Changed);

// A pop-up menu pane. It keeps the current index itself (-1 when there are no items) and answers
// "LPopupList_Changed" when a choice moves it. It remembers the first title pane announced to it.
class LPopupList : public LStdCtl {
public:
    enum : uint32_t { kSorted = 1u << 0, kFixedWidth = 1u << 1 };

    LPopupList(LPane* owner, const LStdCtlSpec& spec, uint32_t options = 0);

    LMessage Handle(const LMessage& msg) override;
    void StateChanged(uint32_t op) override;
    CLRect GetOuterRect(const CLRect& r) const override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;

    int32_t Count() const;
    LString ItemTitle(int32_t index) const;
    // An empty text adds a separator. Sorted lists insert before the first title that sorts after.
    void AddItem(const LString& title);
    void InsertItem(int32_t index, const LString& title);
    void RemoveItem(int32_t index);
    void RemoveAll();
    int32_t FindItem(const LString& title) const;
    bool IsSeparator(int32_t index) const;
    // Clamped to the items; an empty list answers -1 (it has no item to select).
    int32_t SetValue(int32_t index);
    int32_t GetValue() const { return fCurrent; }

    // A placeholder item stands in while the list is being filled: enabling is held back and the
    // first insertion removes it.
    void SetPlaceholder(bool on) { fPlaceholder = on; }
    LHandler* TitlePane() const { return fTitle; }

private:
    int32_t fCurrent = -1;
    uint32_t fOptions;
    bool fPlaceholder = false;
    LHandler* fTitle = nullptr;
};
