#include "Lib3/LSources/CoreUI/LTitlePane.h"

LTitlePane::LTitlePane(LHandler* upper, LPane* owner) : LTextPane(upper, owner, 0) {
    ChangeState(kUnlock);
    SetAlignment(2);
    Send(LTitlePane_Constructing);
}

LTitlePane::~LTitlePane() {
    Send(LTitlePane_Destructing);
}
