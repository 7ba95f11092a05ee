#include "Orbilume/CSources/Document/CDocPathHolder.h"

#include <string>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Fs/LFsOpS.h"
#include "Lib3/LSources/Mac/CStdFolders.h"
#include "Platform/Foundation/Bytes.h"
#include "Platform/Foundation/StandardFolders.h"

namespace {

LFsSpec DocumentsFolder() {
    if (gStdFolders) return gStdFolders->Find(plat::FourCC("docs"));
    const std::string path = plat::StandardFolderPath(plat::StandardFolder::kDocuments, true);
    return path.empty() ? LFsSpec() : CMacFileU::LFsSpecFromPath(LString(path.c_str()));
}

}  // namespace

CDocPathHolder::CDocPathHolder(const LString& defaultName, LFsSpec* remembered)
    : CDocPathHolder(defaultName, remembered, &RememberedSpec) {}

CDocPathHolder::CDocPathHolder(const LString& defaultName, void* context, FolderCallback callback)
    : mDefaultName(defaultName), mContext(context), mCallback(callback) {}

void CDocPathHolder::RememberedSpec(void* context, int operation, LFsSpec& spec) {
    auto* remembered = static_cast<LFsSpec*>(context);
    if (!remembered) return;
    if (operation == 0) {
        spec = *remembered;
    } else {
        *remembered = spec;
    }
}

void CDocPathHolder::SetPath(const LFsSpec& spec) {
    mPath = spec;
    if (spec.name().IsEmpty() || !mCallback) return;
    LFsSpec copy = spec;
    mCallback(mContext, 1, copy);
}

LString CDocPathHolder::DisplayName() const {
    LString name = mPath.name();
    return name.IsEmpty() ? mDefaultName : name;
}

LFsSpec CDocPathHolder::SavePath() const {
    if (!mPath.name().IsEmpty()) return mPath;
    LFsSpec spec = DefaultLocation();
    spec.SetName(mDefaultName.Text());
    return spec;
}

LFsSpec CDocPathHolder::DefaultLocation() const {
    LFsSpec spec;
    if (mCallback) mCallback(mContext, 0, spec);
    if (!spec.name().IsEmpty()) return spec;
    spec = LFsDescendS(DocumentsFolder(), mDefaultName.Text()).Spec();
    if (mCallback) mCallback(mContext, 1, spec);
    return spec;
}
