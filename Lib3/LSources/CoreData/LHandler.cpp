#include "Lib3/LSources/CoreData/LHandler.h"

#include <cstdint>
#include <vector>

namespace {
thread_local LHandlerWatch* gWatches = nullptr;
}

LHandlerWatch::LHandlerWatch(LHandler* handler) : fHandler(handler), fNext(gWatches) {
    gWatches = this;
}

LHandlerWatch::~LHandlerWatch() {
    for (LHandlerWatch** w = &gWatches; *w; w = &(*w)->fNext) {
        if (*w != this) continue;
        *w = fNext;
        break;
    }
}

void LHandlerWatch::Forget(const LHandler* handler) {
    for (LHandlerWatch* w = gWatches; w; w = w->fNext)
        if (w->fHandler == handler) w->fHandler = nullptr;
}

LHandler::~LHandler() {
    if (gWatches) LHandlerWatch::Forget(this);
    // By now the object is a plain LHandler again, so no derived Handle sees its own notice.
    Dispatch(LMessage(LHandler_Destructing, this, fUpper));
}

LMessage LHandler::Handle(const LMessage& msg) {
    return msg.Retarget(fUpper ? fUpper : msg.sender);
}

namespace {

thread_local uint32_t tDepth = 0;
thread_local std::vector<LHandler*>* tDoomed = nullptr;

// Counts the Dispatch calls on the stack; the outermost one deletes the handlers left to it.
class DispatchDepth {
public:
    DispatchDepth() { ++tDepth; }
    ~DispatchDepth() {
        if (--tDepth != 0 || !tDoomed) return;
        ++tDepth;  // deletions dispatch their own notices
        while (tDoomed && !tDoomed->empty()) {
            std::vector<LHandler*> now;
            now.swap(*tDoomed);
            for (LHandler* h : now) delete h;
        }
        delete tDoomed;
        tDoomed = nullptr;
        --tDepth;
    }
};

}  // namespace

bool LHandler::InDispatch() {
    return tDepth > 0;
}

void LHandler::DeleteAfterDispatch(LHandler* handler) {
    if (!handler) return;
    if (tDepth == 0) {
        delete handler;
        return;
    }
    if (!tDoomed) tDoomed = new std::vector<LHandler*>;
    for (LHandler* h : *tDoomed)
        if (h == handler) return;
    tDoomed->push_back(handler);
}

void LHandler::Dispatch(const LMessage& msg) {
    DispatchDepth depth;
    LMsgId trackedId = msg.id;
    LHandler* trackedSender = msg.sender;
    LMessage current = msg;
    if (!current.sender) return;
    while (current.target) {
        LHandler* handler = current.target;
        current = handler->Handle(current);
        if (current.sender != trackedSender) {
            trackedSender = current.sender;
            trackedId = current.id;
        } else if (!(current.id == trackedId)) {
            trackedId = current.id;
        } else if (handler == trackedSender) {
            return;  // back at its sender, which passed it on again
        }
        if (!current.sender) return;
    }
}

bool LHandler::IsBetween(const LHandler* top, const LHandler* start, const LHandler* candidate) {
    if (!candidate) return false;
    if (candidate == top) return true;
    for (const LHandler* h = start; h && h != top; h = h->fUpper) {
        if (h == candidate) return true;
    }
    return false;
}
