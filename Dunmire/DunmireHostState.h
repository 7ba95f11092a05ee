#pragma once

#include <cstdint>

// The pieces of a host context's GL state the texture port changes, saved and put back: the
// client arrays and their pointers, the array buffer binding, the active texture units, the
// matrix mode, and the texture parameters and enable of the bound image texture.
class DunmireHostState {
public:
    DunmireHostState();   // saves the arrays, units and matrix mode
    ~DunmireHostState();  // puts them back
    DunmireHostState(const DunmireHostState&) = delete;
    DunmireHostState& operator=(const DunmireHostState&) = delete;

    // Saves the parameters of the texture bound to the target on unit 0.
    void SaveTexture(uint32_t target);
    // Puts them back (on unit 0).
    void RestoreTexture();

private:
    int32_t fActiveTexture = 0, fClientActiveTexture = 0, fArrayBuffer = 0, fMatrixMode = 0;
    uint32_t fTarget = 0;
    int32_t fWrapS = 0, fWrapT = 0, fMinFilter = 0, fMagFilter = 0;
    bool fTargetEnabled = false;
};
