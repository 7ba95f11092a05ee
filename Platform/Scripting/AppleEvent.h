#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Platform/Foundation/Bytes.h"

namespace plat {

using DescType = uint32_t;
using AEKeyword = uint32_t;
using OSErr = int16_t;

constexpr DescType kTypeNull = FourCC("null");
constexpr DescType kTypeWildCard = FourCC("****");
constexpr DescType kTypeList = FourCC("list");
constexpr DescType kTypeAppleEvent = FourCC("aevt");
constexpr DescType kTypeProcessSerialNumber = FourCC("psn ");
constexpr DescType kTypeApplicationBundleID = FourCC("bund");
constexpr AEKeyword kKeyDirectObject = FourCC("----");

constexpr OSErr kNoErr = 0;
constexpr OSErr kErrAECoercionFail = -1700;
constexpr OSErr kErrAEDescNotFound = -1701;
constexpr OSErr kErrAEWrongDataType = -1703;
constexpr OSErr kErrAEEventNotHandled = -1708;
constexpr OSErr kErrProcNotFound = -600;
constexpr OSErr kErrParam = -50;

// An in-process descriptor: a typed byte value, or a list of descriptors, or an event with its
// class, id, target and keyed parameters.
struct AEDesc {
    DescType type = kTypeNull;
    std::vector<uint8_t> data;
    std::vector<AEDesc> items;       // list items
    std::vector<AEKeyword> keys;     // event parameter keys, parallel to params
    std::vector<AEDesc> params;      // event parameters
    std::shared_ptr<AEDesc> target;  // event target address
    uint32_t eventClass = 0;
    uint32_t eventID = 0;
    int32_t returnID = 0;
};

// The address of this process: a serial number descriptor whose value is {0, 2}.
AEDesc CurrentProcessAddress();

using AEHandler = OSErr (*)(const AEDesc& event, AEDesc* reply, void* context);

class AppleEvents {
public:
    // A plain descriptor holding a copy of the bytes.
    [[nodiscard]] static OSErr CreateDesc(DescType type, const void* data, uint32_t size, AEDesc& out);
    // Frees what the descriptor holds; it becomes the null descriptor.
    static void DisposeDesc(AEDesc& desc);
    [[nodiscard]] static OSErr CreateList(AEDesc& out);
    static uint32_t CountItems(const AEDesc& list);
    // Appends (index 0) or replaces the 1-based item of a list.
    [[nodiscard]] static OSErr PutPtr(AEDesc& list, uint32_t index, DescType type, const void* data,
                                      uint32_t size);
    // The 1-based item as `type` (kTypeWildCard takes any): copies up to bufferSize bytes; size receives
    // the item's whole size, 0 on error.
    [[nodiscard]] static OSErr GetNthPtr(const AEDesc& list, uint32_t index, DescType& type, void* buffer,
                                         uint32_t bufferSize, uint32_t& size);

    [[nodiscard]] static OSErr CreateEvent(const AEDesc& target, uint32_t eventClass, uint32_t eventID,
                                           AEDesc& out);
    [[nodiscard]] static OSErr PutParamPtr(AEDesc& event, AEKeyword key, DescType type, const void* data,
                                           uint32_t size);
    [[nodiscard]] static OSErr PutParamDesc(AEDesc& event, AEKeyword key, const AEDesc& desc);
    // The parameter as `type` (a plain value becomes a one-item list when asked for a list).
    [[nodiscard]] static OSErr GetParamDesc(const AEDesc& event, AEKeyword key, DescType type, AEDesc& out);
    // Copies up to bufferSize bytes; size receives the whole value's size, 0 on error.
    [[nodiscard]] static OSErr GetParamPtr(const AEDesc& event, AEKeyword key, DescType& type, void* buffer,
                                           uint32_t bufferSize, uint32_t& size);
    // Delivers an event addressed to this process to its installed handler; other targets fail
    // with kErrProcNotFound. The idle callback runs while a reply is awaited.
    [[nodiscard]] static OSErr Send(const AEDesc& event, AEDesc* reply, int32_t timeout,
                                    void (*idle)() = nullptr);

    static void InstallHandler(uint32_t eventClass, uint32_t eventID, AEHandler handler, void* context);
    static void RemoveHandler(uint32_t eventClass, uint32_t eventID);
};

}  // namespace plat
