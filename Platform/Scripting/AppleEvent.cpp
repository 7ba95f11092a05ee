#include "Platform/Scripting/AppleEvent.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace plat {

namespace {

struct Handler {
    uint32_t eventClass;
    uint32_t eventID;
    AEHandler fn;
    void* context;
};

struct Handlers {
    std::mutex lock;
    std::vector<Handler> list;
};

Handlers& SharedHandlers() {
    static Handlers h;
    return h;
}

std::atomic<int32_t> gNextReturnID{1};

const uint8_t kCurrentPSN[8] = {0, 0, 0, 0, 0, 0, 0, 2};

bool IsCurrentProcess(const AEDesc* target) {
    return target && target->type == kTypeProcessSerialNumber && target->data.size() == 8 &&
           std::memcmp(target->data.data(), kCurrentPSN, 8) == 0;
}

const AEDesc* FindParam(const AEDesc& event, AEKeyword key) {
    for (size_t i = 0; i < event.keys.size(); ++i)
        if (event.keys[i] == key) return &event.params[i];
    return nullptr;
}

}  // namespace

AEDesc CurrentProcessAddress() {
    AEDesc d;
    d.type = kTypeProcessSerialNumber;
    d.data.assign(kCurrentPSN, kCurrentPSN + 8);
    return d;
}

OSErr AppleEvents::CreateDesc(DescType type, const void* data, uint32_t size, AEDesc& out) {
    out = AEDesc{};
    if (size && !data) return kErrParam;
    out.type = type;
    if (size) out.data.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    return kNoErr;
}

void AppleEvents::DisposeDesc(AEDesc& desc) {
    desc = AEDesc{};
}

OSErr AppleEvents::CreateList(AEDesc& out) {
    out = AEDesc{};
    out.type = kTypeList;
    return kNoErr;
}

uint32_t AppleEvents::CountItems(const AEDesc& list) {
    return list.type == kTypeList ? static_cast<uint32_t>(list.items.size()) : 0;
}

OSErr AppleEvents::PutPtr(AEDesc& list, uint32_t index, DescType type, const void* data, uint32_t size) {
    if (list.type != kTypeList) return kErrAEWrongDataType;
    if (index > list.items.size()) return kErrAEDescNotFound;
    AEDesc item;
    if (OSErr err = CreateDesc(type, data, size, item)) return err;
    if (index == 0)
        list.items.push_back(std::move(item));
    else
        list.items[index - 1] = std::move(item);
    return kNoErr;
}

OSErr AppleEvents::GetNthPtr(const AEDesc& list, uint32_t index, DescType& type, void* buffer,
                             uint32_t bufferSize, uint32_t& size) {
    size = 0;
    if (list.type != kTypeList) return kErrAEWrongDataType;
    if (index < 1 || index > list.items.size()) return kErrAEDescNotFound;
    const AEDesc& item = list.items[index - 1];
    if (type != item.type && type != kTypeWildCard) return kErrAECoercionFail;
    if (bufferSize && !buffer) return kErrParam;
    type = item.type;
    size = static_cast<uint32_t>(item.data.size());
    const uint32_t n = size < bufferSize ? size : bufferSize;
    if (n) std::memcpy(buffer, item.data.data(), n);
    return kNoErr;
}

OSErr AppleEvents::CreateEvent(const AEDesc& target, uint32_t eventClass, uint32_t eventID, AEDesc& out) {
    out = AEDesc{};
    out.type = kTypeAppleEvent;
    out.target = std::make_shared<AEDesc>(target);
    out.eventClass = eventClass;
    out.eventID = eventID;
    out.returnID = gNextReturnID.fetch_add(1);
    return kNoErr;
}

OSErr AppleEvents::PutParamPtr(AEDesc& event, AEKeyword key, DescType type, const void* data, uint32_t size) {
    if (size && !data) return kErrParam;
    AEDesc d;
    d.type = type;
    if (size) d.data.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    return PutParamDesc(event, key, d);
}

OSErr AppleEvents::PutParamDesc(AEDesc& event, AEKeyword key, const AEDesc& desc) {
    if (event.type != kTypeAppleEvent) return kErrAEWrongDataType;
    for (size_t i = 0; i < event.keys.size(); ++i)
        if (event.keys[i] == key) {
            event.params[i] = desc;
            return kNoErr;
        }
    event.keys.push_back(key);
    event.params.push_back(desc);
    return kNoErr;
}

OSErr AppleEvents::GetParamDesc(const AEDesc& event, AEKeyword key, DescType type, AEDesc& out) {
    const AEDesc* p = FindParam(event, key);
    if (!p) return kErrAEDescNotFound;
    if (p->type == type) {
        out = *p;
        return kNoErr;
    }
    if (type == kTypeList) {
        out = AEDesc{};
        out.type = kTypeList;
        out.items.push_back(*p);
        return kNoErr;
    }
    return kErrAECoercionFail;
}

OSErr AppleEvents::GetParamPtr(const AEDesc& event, AEKeyword key, DescType& type, void* buffer,
                               uint32_t bufferSize, uint32_t& size) {
    const AEDesc* p = FindParam(event, key);
    if (!p) {
        size = 0;
        return kErrAEDescNotFound;
    }
    if (type != p->type && type != kTypeWildCard) {
        size = 0;
        return kErrAECoercionFail;
    }
    type = p->type;
    size = static_cast<uint32_t>(p->data.size());
    const uint32_t n = size < bufferSize ? size : bufferSize;
    if (n) std::memcpy(buffer, p->data.data(), n);
    return kNoErr;
}

OSErr AppleEvents::Send(const AEDesc& event, AEDesc* reply, int32_t /*timeout*/, void (*idle)()) {
    if (event.type != kTypeAppleEvent) return kErrParam;
    if (!IsCurrentProcess(event.target.get())) return kErrProcNotFound;
    Handler found{};
    {
        Handlers& h = SharedHandlers();
        std::lock_guard<std::mutex> guard(h.lock);
        for (const Handler& e : h.list)
            if (e.eventClass == event.eventClass && e.eventID == event.eventID) found = e;
    }
    if (!found.fn) return kErrAEEventNotHandled;
    if (reply) {
        *reply = AEDesc{};
        reply->type = kTypeAppleEvent;
        reply->returnID = event.returnID;
        if (idle) idle();
    }
    return found.fn(event, reply, found.context);
}

void AppleEvents::InstallHandler(uint32_t eventClass, uint32_t eventID, AEHandler handler, void* context) {
    Handlers& h = SharedHandlers();
    std::lock_guard<std::mutex> guard(h.lock);
    for (Handler& e : h.list)
        if (e.eventClass == eventClass && e.eventID == eventID) {
            e.fn = handler;
            e.context = context;
            return;
        }
    h.list.push_back({eventClass, eventID, handler, context});
}

void AppleEvents::RemoveHandler(uint32_t eventClass, uint32_t eventID) {
    Handlers& h = SharedHandlers();
    std::lock_guard<std::mutex> guard(h.lock);
    for (size_t i = 0; i < h.list.size(); ++i)
        if (h.list[i].eventClass == eventClass && h.list[i].eventID == eventID) {
            h.list.erase(h.list.begin() + static_cast<long>(i));
            return;
        }
}

}  // namespace plat
