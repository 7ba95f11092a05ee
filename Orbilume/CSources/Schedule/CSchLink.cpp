#include "Orbilume/CSources/Schedule/CSchLink.h"

CSchLink::CSchLink(void* context, RequestFunction* function, CRecordRef schedule, CRecord* settings)
    : fContext(context), fFunction(function), fSchedule(schedule), fSettings(settings) {}

void CSchLink::Notify(uint32_t notice) {
    LCallbackList::Iterator it(fListeners);
    LCallbackList::Entry entry;
    while (it.Next(entry)) entry.As<ListenerFunction>()(entry.context, notice);
}
