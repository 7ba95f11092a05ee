#include "Orbilume/CSources/Schedule/CSchTestWin.h"

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/Schedule/CSchCtl.h"
#include "Orbilume/CSources/Schedule/USchEdit.h"
#include "Orbilume/CSources/TimecodeUI/CTimecodeEdit.h"
#include "Platform/Foundation/Check.h"

namespace {

struct FieldRange {
    float minimum, maximum;
};
constexpr FieldRange kRanges[3] = {{2016, 2999}, {1, 12}, {1, 31}};
constexpr uint32_t kTimeRate = 1;  // hours:minutes:seconds
constexpr int32_t kSecondsPerDay = 86400;

uint32_t Whole(float v) {
    return v <= 0 ? 0u : static_cast<uint32_t>(v + 0.5f);
}

}  // namespace

CSchTestWin::CSchTestWin(LHandler* upper, LPane* owner, const LFrameSpec& spec) : LFrame(upper, owner, spec) {
    PLAT_DCHECK_MAIN_THREAD();
    // Panes in layout order: 1-3 year, month, day; 4 the weekday; 5 the time; 6-7 the date
    // separators.
    for (uint32_t i = 0; i < 3; ++i) fFields[i] = new CNumVol(this, 0, 0);
    fWeekday = new LTextPane(this, 0);
    fTime = new CTimecodeEdit(this, kTimeRate, false);
    for (const char* separator : {"/", "/"}) (new LTextPane(this, 0))->SetText(LString(separator));
    for (uint32_t i = 0; i < 3; ++i) fFields[i]->SetRange(kRanges[i].minimum, kRanges[i].maximum, 1);
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    SetWindowTitle(strings.GetString(0));
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    SetDateTime(CSchCtl::LocalNow());
}

void CSchTestWin::SetDateTime(const SchDateTime& dt) {
    fDateTime = USchEdit::TestDateTime(dt.year, dt.month, dt.day, dt.hour, dt.minute, dt.second);
    const uint32_t values[3] = {fDateTime.year, fDateTime.month, fDateTime.day};
    for (uint32_t i = 0; i < 3; ++i) fFields[i]->SetValue(static_cast<float>(values[i]));
    fTime->SetValue(static_cast<float>(fDateTime.hour * 3600u + fDateTime.minute * 60u + fDateTime.second));
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    fWeekday->SetText(strings.GetString(fDateTime.weekday + 1u));
}

void CSchTestWin::Apply() {
    SchDateTime dt;
    dt.year = static_cast<uint16_t>(Whole(fFields[0]->GetValue()));
    dt.month = static_cast<uint8_t>(Whole(fFields[1]->GetValue()));
    dt.day = static_cast<uint8_t>(Whole(fFields[2]->GetValue()));
    // The time as typed; a negative one counts back from midnight.
    const int32_t seconds = ((fTime->GetCount(1) % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
    dt.hour = static_cast<uint8_t>(seconds / 3600);
    dt.minute = static_cast<uint8_t>(seconds / 60 % 60);
    dt.second = static_cast<uint8_t>(seconds % 60);
    SetDateTime(dt);
    Dispatch(LMessage(CSchTestWin_Change, this, Upper()));
}

LMessage CSchTestWin::Handle(const LMessage& msg) {
    if (msg.Is(CNumVol_Fix) && msg.sender) {
        for (CNumVol* field : fFields) {
            if (msg.sender != field) continue;
            Apply();
            return LMessage();
        }
        if (msg.sender == fTime) {
            Apply();
            return LMessage();
        }
    }
    return LFrame::Handle(msg);
}
