#include "Orbilume/CSources/MidiUI/CMultiMidiInWin.h"

#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Orbilume/CSources/MidiUI/CMultiMidiInStates.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr const char* kCmdClose = "LStdCmd_Close";

}  // namespace

CMultiMidiInWin::CMultiMidiInWin(LHandler* upper, LPane* owner, CRecordRef table, const LFrameSpec& spec)
    : LFrame(upper, owner, spec) {
    PLAT_DCHECK_MAIN_THREAD();
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    fList = new CMultiMidiInStates(this, table);  // pane 1
    SetWindowTitle(strings.GetString(0));
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
}

LMessage CMultiMidiInWin::Handle(const LMessage& msg) {
    if (msg.Is(LMenuBar_Ready) && msg.sender && Window())
        static_cast<LMenuBar*>(msg.sender)->EnableCommand(kCmdClose);  // and on up the chain
    if (msg.Is(LMenuItem_Selected) && msg.sender && Window() &&
        static_cast<LMenuItem*>(msg.sender)->HasCommand(kCmdClose)) {
        HideWindow();
        return LMessage();
    }
    if (msg.Is(LFrame_Close) && msg.sender == this) {
        HideWindow();
        return LMessage();
    }
    return LFrame::Handle(msg);
}
