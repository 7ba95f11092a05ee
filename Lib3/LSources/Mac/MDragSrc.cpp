#include "Lib3/LSources/Mac/MDragSrc.h"

uint32_t MDragSrc::SourceOperationMask(bool local) {
    if (local)
        return plat::kDragOperationCopy | plat::kDragOperationLink | plat::kDragOperationGeneric |
               plat::kDragOperationMove;
    return fLocalOnly ? plat::kDragOperationNone : plat::kDragOperationCopy;
}

void MDragSrc::DraggedImageEnded(plat::Point, uint32_t operation) {
    fEnd = operation;
}
