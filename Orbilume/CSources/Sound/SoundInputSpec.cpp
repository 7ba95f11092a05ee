#include "Orbilume/CSources/Sound/SoundInputSpec.h"

#include "Lib3/LSources/CoreData/CParamSet.h"

void SoundInputSpec::WriteSettings(CRecordRef set, LHandler* editor) const {
    CParamSet::SetString(set, editor, LString("dev"), device);
    CParamSet::SetString(set, editor, LString("src"), source);
}

void SoundInputSpec::ReadSettings(CRecordRef set) {
    LString value;
    CParamSet::Find(set, LString("dev"), &value);
    device = value;
    value = LString();
    CParamSet::Find(set, LString("src"), &value);
    source = value;
}
