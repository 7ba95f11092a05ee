#pragma once

// A one-colour show rendered by a mix engine on llvmpipe, its after-frame callback handing each
// frame to a CDimOutput's capture, which draws the mix with DrawMixInto. The output works over the
// layout fixture (Art-Net, universes listed at 127.0.0.1) on a 48 × 36 canvas.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/Orbilume/CSources/QCx/QcTestSupport.h"
#include "tests/support/TempDir.h"

namespace dimtest {

// Slots 1..512 of each universe.
using Universes = std::map<uint16_t, std::vector<uint8_t>>;

class DimShowGLTest : public qctest::QcGLTest {
public:
    struct SDrawArgs {
        CMixEngine* engine;
        CDimOutput* output;
    };

protected:
    static constexpr uint32_t kCanvasW = 48, kCanvasH = 36;

    void SetUp() override;
    void TearDown() override;

    // Reads the layout into docs and makes the output over them, fed by the engine; port replaces
    // the output's UDP port unless null.
    void MakeOutput(const std::string& layout, std::unique_ptr<CUDPPort> port);
    // One frame of the engine into the window stand-in (and, past the gate, the output's capture).
    void RenderFrame();
    // The colour the engine renders (0xAARRGGBB).
    uint32_t ShowPixel();
    // What each universe of the layout carries over a frame of one colour; the device of index
    // without (if any) removed first.
    Universes Expected(const std::string& layout, uint32_t pixel, int without = -1);

    static std::string FixtureLayout();  // the layout fixture with 'saco' 0

    nettest::MainLoop main;
    testsupport::TempDir dir;
    Documents docs;
    std::unique_ptr<CDocModelHolder> show;
    std::unique_ptr<CMixEngine> engine;
    std::unique_ptr<CDimOutput> output;
    COpenGLFBOTarget* window = nullptr;
    SDrawArgs args{};
};

}  // namespace dimtest
