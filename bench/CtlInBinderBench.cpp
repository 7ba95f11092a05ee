#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/String/UWord.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Engine/CCtlInEngineBinder.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"

// The engine binder's per-frame evaluation beside a bare loop doing the same arithmetic (the
// floor): one layer with kInputs number inputs (0..10), each bound to its own DMX channel, and a
// DMX frame that changes every channel before every evaluation.
namespace {

using T = CDocModelTypes;
constexpr int kInputs = 16;

std::string CompositionXml() {
    std::string uniforms, ports, source = "void main() { float s = 0.0;";
    for (int i = 0; i < kInputs; ++i) {
        const std::string k = "u" + std::to_string(i);
        source = "uniform float " + k + "; " + source + " s += " + k + ";";
        uniforms += "<dict><key>key</key><string>" + k +
                    "</string><key>type</key><string>number</string><key>min</key><real>0</real>"
                    "<key>max</key><real>10</real></dict>";
        ports += "<dict><key>key</key><string>P" + std::to_string(i) +
                 "</string><key>node</key><string>g</string>"
                 "<key>port</key><string>" +
                 k + "</string></dict>";
    }
    source += " gl_FragColor = vec4(s); }";
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>rootPatch</key><dict><key>state</key><dict><key>nodes</key><array>
<dict><key>key</key><string>g</string><key>class</key><string>glsl</string><key>state</key><dict>
<key>fragment</key><string>)" +
           source + "</string><key>uniforms</key><array>" + uniforms +
           "</array></dict></dict></array><key>publishedInputPorts</key><array>" + ports +
           "</array></dict></dict></dict></plist>\n";
}

struct BinderEnv {
    BinderEnv() {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        setenv("EGL_PLATFORM", "surfaceless", 0);
        COpenGLContext_Cca::SetShared(COpenGLCommonCtx::Use());
        MQcRenderer_::SetInternalFolder(std::string(ORBILUME_SOURCE_DIR) + "/SharedSupport/privatecompo");
        char pattern[] = "/tmp/binderbench-XXXXXX";
        if (mkdtemp(pattern)) dir = pattern;
        if (FILE* f = std::fopen((dir + "/inputs.qtz").c_str(), "w")) {
            const std::string xml = CompositionXml();
            std::fwrite(xml.data(), 1, xml.size(), f);
            std::fclose(f);
        }
        doc.SetDocumentPath(CMacFileU::LFsSpecFromPath((dir + "/show.obm").c_str()));
        (void)UDocUnits::AddCompositionLayer(doc.Mix(), nullptr, 0, LString("inputs.qtz"));
        engine = std::make_unique<CMixEngine>(&doc, &prefs);
        engine->SetOutputSize(64, 64);
        engine->LoadLayers();
        binder = std::make_unique<CCtlInEngineBinder>(engine.get(), &doc, nullptr, nullptr, &hub);
        CRecord* unit = doc.Mix()->GetElement(T::kMixsLayers, 0)->GetSubRecord(T::kLayrUnit);
        for (int i = 0; i < kInputs; ++i) {
            CRecord* input = UDocModel::FindUnitInput(unit, LString(("P" + std::to_string(i)).c_str()));
            if (!input) continue;
            CRecord* ctrl = input->GetSubRecord(T::kInptCtl);
            CParamSet::SetString(CRecordRef(&ctrl), nullptr, LString("type"), LString("dmx"));
            CParamSet::SetString(CRecordRef(&ctrl), nullptr, LString("dmxch"),
                                 LString(std::to_string(i).c_str()));
        }
    }
    std::string dir;
    CAppPrefs prefs;
    CDocModelHolder doc;
    CCtlInHub hub;
    std::unique_ptr<CMixEngine> engine;
    std::unique_ptr<CCtlInEngineBinder> binder;
};

BinderEnv& Env() {
    static BinderEnv* env = new BinderEnv;
    return *env;
}

void NextDmxFrame(CCtlInHub& hub, uint8_t& v) {
    uint8_t frame[513];
    frame[0] = 0;
    for (int i = 1; i < 513; ++i) frame[i] = static_cast<uint8_t>(v + i);
    ++v;
    hub.DmxIn(frame, 513);
}

void BM_CtlInEngineBinderEvaluate(benchmark::State& state) {
    BinderEnv& env = Env();
    uint8_t v = 0;
    for (auto _ : state) {
        NextDmxFrame(env.hub, v);
        env.binder->Evaluate();
    }
    state.SetItemsProcessed(state.iterations() * kInputs);
}
BENCHMARK(BM_CtlInEngineBinderEvaluate);

// The floor: read the channel, map it, format it and keep the text when it changed.
void BM_CtlInBareLoop(benchmark::State& state) {
    BinderEnv& env = Env();
    std::vector<LString> last(kInputs);
    uint8_t v = 0;
    for (auto _ : state) {
        NextDmxFrame(env.hub, v);
        for (int i = 0; i < kInputs; ++i) {
            const double mapped = 10.0 * (env.hub.DmxValue(static_cast<uint32_t>(i)) / 255.0);
            LString text = UWord::FloatSuppress(mapped, 2);
            if (text != last[static_cast<size_t>(i)]) last[static_cast<size_t>(i)] = text;
        }
        benchmark::DoNotOptimize(last.data());
    }
    state.SetItemsProcessed(state.iterations() * kInputs);
}
BENCHMARK(BM_CtlInBareLoop);

}  // namespace
