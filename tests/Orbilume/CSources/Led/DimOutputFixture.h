#pragma once

// A dimmer document, definitions store and settings around a CDimOutput for tests. The document is
// read from XML; its embedded definitions go into the store.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimOutput.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "Orbilume/CSources/Net/CUDPPort.h"

namespace dimtest {

using T = CDimTypes;

struct Device {
    std::string def = "Pixel-RGB";
    float x = 0, y = 0, w = 0.1f, h = 0.1f, rota = 0;
    uint32_t dxch = 1;
    int conn = 2;
    std::string universe = "0";  // "anuniv" ("" for none)
    std::string serial;          // "drsern"
};

inline std::string DeviceXml(const Device& d) {
    std::string s = "<YOBM_DIDV dfid=\"" + d.def + "\" posx=\"" + std::to_string(d.x) + "\" posy=\"" +
                    std::to_string(d.y) + "\" sizw=\"" + std::to_string(d.w) + "\" sizh=\"" +
                    std::to_string(d.h) + "\" rota=\"" + std::to_string(d.rota) + "\" dxch=\"" +
                    std::to_string(d.dxch) + "\" conn=\"" + std::to_string(d.conn) +
                    "\"><YOBM_DIDV_prms><YUND_PRMS><YUND_PRMS_prms>";
    if (!d.universe.empty()) s += "<YUND_PRAM i=\"anuniv\" v=\"" + d.universe + "\"/>";
    if (!d.serial.empty()) s += "<YUND_PRAM i=\"drsern\" v=\"" + d.serial + "\"/>";
    return s + "</YUND_PRMS_prms></YUND_PRMS></YOBM_DIDV_prms></YOBM_DIDV>";
}

// A document of the devices with the usual definitions; listed: universes 0..listedCount - 1 go
// to listedAddress.
inline std::string DimsXml(const std::vector<Device>& devices, int saco = 0,
                           const char* listedAddress = "127.0.0.1", int listedFollowing = 65535) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<YOBM_DIMS saco=\"" + std::to_string(saco) +
                    "\"><YOBM_DIMS_devs>";
    for (const Device& d : devices) s += DeviceXml(d);
    s += "</YOBM_DIMS_devs><YOBM_DIMS_defs>"
         "<YOBM_DIDF dfid=\"Pixel-RGB\"/>"
         "<YOBM_DIDF dfid=\"Quad-RGB\" dthz=\"2\" dtvt=\"2\"/>"
         "<YOBM_DIDF dfid=\"Strip-RGB-8\" dthz=\"8\"/>"
         "</YOBM_DIMS_defs><YOBM_DIMS_uvas><YQLH_UVAS><YQLH_UVAS_uvas>";
    if (listedAddress)
        s += "<YQLH_UVAD flws=\"" + std::to_string(listedFollowing) + "\" ipad=\"" + listedAddress + "\"/>";
    return s + "</YQLH_UVAS_uvas></YQLH_UVAS></YOBM_DIMS_uvas></YOBM_DIMS>\n";
}

struct Documents {
    CAppPrefs prefs;
    CRecordHolder dims{CRecord::New(T::Dims())};
    CDimDefStore defs;

    bool Read(const std::string& xml) {
        std::string copy = xml;
        CMemStream in(copy.data(), static_cast<uint32_t>(copy.size()));
        if (ReadXmlDocument(in, dims.RootRef()) != 1) return false;
        CRecord* root = dims.Root();
        for (uint32_t i = 0; i < root->ArrayCount(T::kDimsDefinitions); ++i)
            (void)defs.Add(CRecord::Clone(root->GetElement(T::kDimsDefinitions, i), nullptr));
        return true;
    }
    CRecordRef Settings() { return CRecordRef(&prefs.Root()->Slot(CAppPrefs::kPrefDimmer).record); }
    CRecord* DeviceAt(uint32_t i) { return dims.Root()->GetElement(T::kDimsDevices, i); }
    CRecordRef DeviceRef(uint32_t i) {
        return CRecordRef(&(*dims.Root()->GetRecordArray(T::kDimsDevices))[i]);
    }
    void SetParam(uint32_t device, const char* key, const std::string& value) {
        CRecord* d = DeviceAt(device);
        CParamSet::SetString(CRecordRef(&d->Slot(T::kDidvParams).record), nullptr, LString(key),
                             LString(value.c_str()));
    }
};

// A UDP port that keeps what it was asked to send; with oneAtATime a send stays in flight until
// Complete.
class FakeUdp : public CUDPPort {
public:
    struct Datagram {
        CNetAddress to;
        std::vector<uint8_t> bytes;
    };
    FakeUdp(LHandler* upper, LAsyncLoop* loop) : CUDPPort(upper, loop) {}
    bool IsOpen() const override { return open; }
    bool CanSend() const override { return open && !inFlight; }
    int Open(uint16_t, uint32_t, uint32_t, uint32_t) override {
        open = true;
        return kOk;
    }
    void Close() override { open = false; }
    bool Send(const CNetAddress& to, const void* data, uint32_t length) override {
        if (!CanSend()) return false;
        const auto* p = static_cast<const uint8_t*>(data);
        sent.push_back({to, std::vector<uint8_t>(p, p + length)});
        inFlight = oneAtATime;
        return !oneAtATime;
    }
    void Complete() {
        inFlight = false;
        LHandler::Dispatch(LMessage(CUDPPort_Sent, this, Upper()));
    }

    bool open = false;
    bool inFlight = false;
    bool oneAtATime = false;
    std::vector<Datagram> sent;
};

}  // namespace dimtest
