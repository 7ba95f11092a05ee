#include "Lib3/LSources/Fs/CMacFSRef.h"

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Platform/Foundation/TextEncoding.h"

namespace {

std::string PosixPath(const LFsSpec& spec) {
    LString path = CMacFileU::PathFromLFsSpec(spec);
    return std::string(path.CStr(), path.Length());
}

}  // namespace

CMacFSRef::CMacFSRef(const LFsSpec& spec) : fRef(plat::FileRefFromPath(PosixPath(spec))) {}

CMacFSRef CMacFSRef::ParentAndLeaf(const LFsSpec& spec) {
    CMacFSRef ref;
    std::string path = PosixPath(spec);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const size_t slash = path.rfind('/');
    if (path.size() < 2 || slash == std::string::npos) return ref;
    const std::string leaf = path.substr(slash + 1);
    std::u16string units;
    if (!plat::DecodeUtf8(reinterpret_cast<const uint8_t*>(leaf.data()), leaf.size(), units)) return ref;
    ref.fRef = plat::FileRefFromPath(slash == 0 ? std::string("/") : path.substr(0, slash));
    if (ref.fRef.IsValid()) ref.fLeaf = std::move(units);
    return ref;
}
