#pragma once

#include <cstdint>

#include "Platform/Composer/PlugInInterface.h"
#include "Specific/Graph/CFD/CCFDContext.h"
#include "Specific/Graph/CFD/CExtTex.h"
#include "Specific/PlugInSupport/PlugInProgram.h"

namespace cfd {

// A two-dimensional incompressible-flow solver on the GPU: every field is an RGBA32F texture of
// W x H cells (a one-cell boundary ring around the calculation cells), every operation one GLSL
// pass into a framebuffer object of the solver's own context. The grid is staggered: a velocity
// texel holds u on the cell's left face and v on its bottom face; pressure, weight and density
// live at cell centres. This base owns the grid, the shared fields, the boundary passes and the
// pressure projection; CNS_GL and CLSM_GL add the step.
//
// Lifecycle: Init (in a host call) makes the context and programs, SetSize defines the fields,
// Release (in a host call) deletes everything. Every operation between runs during a host call
// named with SetCall, on that call's thread; without one it does nothing. The destructor makes no
// GL call.
class CCFD_GL {
public:
    enum : int32_t { kFree = 0, kSlip = 1, kNoSlip = 2, kVelocity = 3 };
    enum : uint32_t { kLeft = 0, kRight = 1, kBottom = 2, kTop = 3 };
    // Grids below this side give empty boundary copies: sizes are raised to it.
    static constexpr uint32_t kMinSide = 6;

    struct SSide {
        int32_t type = kFree;  // above kVelocity: the side is left alone
        float velocity = 0;    // normal velocity of a kVelocity side
        float pressure = 0;
        bool fixPressure = false;
    };

    virtual ~CCFD_GL();
    CCFD_GL(const CCFD_GL&) = delete;
    CCFD_GL& operator=(const CCFD_GL&) = delete;

    [[nodiscard]] bool Init(plat::PlugInContext& call);
    void Release(plat::PlugInContext& call);
    void SetCall(plat::PlugInContext* call) { fContext.SetCall(call); }
    plat::PlugInGLContext* GLContext() const { return fContext.Get(); }

    // Names the host call for its lifetime.
    class Call {
    public:
        Call(CCFD_GL& solver, plat::PlugInContext& call) : fSolver(solver) { fSolver.SetCall(&call); }
        ~Call() { fSolver.SetCall(nullptr); }
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        CCFD_GL& fSolver;
    };

    // The grid side a requested side gives: 0 stays 0 (no fields), others at least kMinSide.
    static uint32_t GridSide(uint32_t requested);

    virtual void SetObstacle(CExtTex& image);
    // dim 0: both force components from red; otherwise x from red, y from green.
    void SetForce(CExtTex& image, uint32_t dim);
    // Adds red x multiplier x red to the current pressure; nothing when the image cannot be bound.
    void Pressure(CExtTex& image, float multiplier);
    void PickPix(uint32_t texture, uint32_t x, uint32_t y, float out[4]);
    void txcu(float coords[8]) const;
    void txcv(float coords[8]) const;

    uint32_t W() const { return fW; }
    uint32_t H() const { return fH; }
    uint32_t UName() const { return fU; }
    uint32_t PName() const { return fP[fPCur]; }
    uint32_t PreliminaryUName() const { return fU_; }
    uint32_t DrName() const { return fDr; }
    uint32_t RrName() const { return fRr; }
    uint32_t WtName() const { return fWt; }
    uint32_t FName() const { return fF; }

    // Settings the patches write.
    SSide fSide[4];
    uint32_t fIterations = 10;
    float fDt = 1.0f / 30;
    float fFg[2] = {0, 0};
    float fFo[2] = {0, 0};
    float fFm[2] = {0, 0};

    static const char* const gVS_gp;

protected:
    CCFD_GL() = default;

    struct SRect {
        int32_t x = 0, y = 0, width = 0, height = 0;
    };

    // Derived programs and fields.
    [[nodiscard]] virtual bool BuildPrograms();
    virtual void DeletePrograms();
    virtual void DeleteFields();

    [[nodiscard]] bool SetSize_(uint32_t W, uint32_t H);
    void SetupTx(uint32_t& texture);
    void Clear(uint32_t texture);

    // Between BeginPasses and EndPasses the framebuffer object is bound (the previous binding kept).
    void BeginPasses();
    void EndPasses();
    void Attach(uint32_t texture);
    static void BindUnit(uint32_t unit, uint32_t texture);
    static void DrawQuad(uint32_t quad);
    // Copies a rectangle of the attached texture into the same place of another texture (bound on
    // the given unit afterwards); empty rectangles are skipped.
    static void CopyRect(uint32_t unit, uint32_t destination, const SRect& r);
    bool CalcSubRect(uint32_t quad, SRect& r) const;
    void SetTxl(plugin::PlugInProgram& program);
    // An image bound on unit 0 (or nothing there, reading zero) around a draw of quad 0 with the
    // image coordinates; false when the image did not bind.
    bool BeginImage(CExtTex& image);
    void EndImage(CExtTex& image, bool bound);

    void AdjSideRr();
    void DrawRrSide(uint32_t side, int32_t mulLocation);
    void AdjSideU(uint32_t target);
    void CalcDr();
    void CopySideP();
    void CalcP();
    void CalcU();
    void AdjSideP();
    // The projection shared by the steps: AdjSideU(U_) to AdjSideP.
    void Project();

    CCFDContext fContext;
    uint32_t fFbo = 0;
    uint32_t fBuffer = 0;
    uint32_t fP[2] = {0, 0};
    uint32_t fU = 0, fU_ = 0, fDr = 0, fRr = 0, fWt = 0, fF = 0;
    plugin::PlugInProgram fFS_D, fFS_P, fFS_U, fFS_BcRr, fFS_Ubc, fFS_Pbc;
    plugin::PlugInProgram fFS_F, fFS_F_R, fFS_Wt, fFS_Wt_R, fFS_Prs, fFS_Prs_R;
    uint32_t fPCur = 0;
    uint32_t fW = 0, fH = 0;

private:
    int32_t fPreviousFbo = 0;
    bool fInitialised = false;
};

}  // namespace cfd
