#include "Lib3/LSources/Mac/UDisplay.h"

#include "Common/Container/CArray.h"
#include "Platform/AppKit/DisplayList.h"

namespace {

CArray<uint32_t>& Displays() {
    static CArray<uint32_t>* list = new CArray<uint32_t>;  // main thread; kept for the process
    return *list;
}

void Refresh() {
    CArray<uint32_t>& list = Displays();
    list.RemoveAll();
    plat::DisplayInfo info;
    for (uint32_t i = 0; plat::DisplayList::Get(i, info); ++i)
        if (!list.Append(info.id)) break;
}

}  // namespace

uint32_t UDisplay::MainDisplayID() {
    plat::DisplayInfo info;
    return plat::DisplayList::Get(0, info) ? info.id : 0;
}

uint32_t UDisplay::DisplayID(uint32_t index) {
    if (index == 0) Refresh();
    const CArray<uint32_t>& list = Displays();
    return index < list.Count() ? list[index] : 0;
}

CLRect UDisplay::Bounds(uint32_t id) {
    plat::DisplayInfo info;
    if (!plat::DisplayList::Find(id, info)) return CLRect{};
    return CLRect{info.left, info.top, info.right, info.bottom};
}

void UDisplay::SetFullScreenMode(uint32_t mode) {
    plat::DisplayList::SetPresentationMode(mode * 3);
}

uint32_t UDisplay::FullScreenMode() {
    return plat::DisplayList::PresentationMode() / 3;
}
