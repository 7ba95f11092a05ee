#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"

class COpenGLContext_Cca;
class CMixEngine;
struct CUnitPortList;

// What the channel list asks of the document's engine: port lists of units, still captures into
// drawing targets, live parameter values and choice lists. Tests put a fake behind it. Main thread.
class IChannelEngine {
public:
    virtual ~IChannelEngine() = default;
    // The engine holds a layer at this index.
    virtual bool HasLayer(uint32_t index) = 0;
    // The unit's inputs as the editors show them; null when the engine has no such unit.
    virtual std::unique_ptr<CUnitPortList> PortList(uint32_t unitId) = 0;
    virtual void RequestCapture(uint32_t unitId, COpenGLContext_Cca* target, bool immediate) = 0;
    // Returns once no capture into the target is queued or in service.
    virtual void CancelCaptures(COpenGLContext_Cca* target) = 0;
    virtual void SetUnitParamByKey(uint32_t unitId, const LString& key, const LString& value) = 0;
    virtual bool OutputStrings(uint32_t unitId, const LString& key, std::vector<LString>& out) = 0;
};

// The channel list's view of a real engine. Port lists come from the installed producer (none:
// no panes).
class CMixChannelEngine : public IChannelEngine {
public:
    using PortListProducer = std::unique_ptr<CUnitPortList> (*)(CMixEngine* engine, uint32_t unitId);
    explicit CMixChannelEngine(CMixEngine* engine) : fEngine(engine) {}
    static void SetPortListProducer(PortListProducer producer);

    bool HasLayer(uint32_t index) override;
    std::unique_ptr<CUnitPortList> PortList(uint32_t unitId) override;
    void RequestCapture(uint32_t unitId, COpenGLContext_Cca* target, bool immediate) override;
    void CancelCaptures(COpenGLContext_Cca* target) override;
    void SetUnitParamByKey(uint32_t unitId, const LString& key, const LString& value) override;
    bool OutputStrings(uint32_t unitId, const LString& key, std::vector<LString>& out) override;

private:
    CMixEngine* fEngine;
};
