#pragma once

#include <cstdint>

#include "Common/Memory/CRefObj.h"
#include "Lib3/LSources/CoreString/LString.h"

namespace plat {
class GLTexture;
}
class CVCapSourceList;

// A counted source of live video frames under a device name, linked at the front of its owner's
// list while it lives. Made and destroyed on the main thread; GetFrameInfo and DrawFrame run on
// render threads.
class CVCapSource : public CRefObj {
public:
    // owner may be null (a source listed nowhere).
    CVCapSource(CVCapSourceList* owner, const LString& name);
    ~CVCapSource() override;

    const LString& name() const { return mName; }
    CVCapSourceList* owner() const { return mOwner; }
    CVCapSource* next() const { return mNext; }

    virtual bool IsOpen() const = 0;
    virtual void Start() = 0;
    virtual void Stop() = 0;
    // The serial of the newest frame (0: none) and its size.
    virtual uint32_t GetFrameInfo(uint32_t& width, uint32_t& height) = 0;
    // Draws the newest frame scaled into the rectangle texture.
    virtual void DrawFrame(plat::GLTexture* texture) = 0;

private:
    friend class CVCapSourceList;
    CVCapSourceList* mOwner;
    LString mName;
    CVCapSource* mPrevious = nullptr;
    CVCapSource* mNext = nullptr;
};

// The living sources of an owner. Main thread only.
class CVCapSourceList {
public:
    CVCapSourceList() = default;
    ~CVCapSourceList();  // sources still living are unlinked, not destroyed
    CVCapSourceList(const CVCapSourceList&) = delete;
    CVCapSourceList& operator=(const CVCapSourceList&) = delete;

    CVCapSource* first() const { return mFirst; }
    // The first source whose name equals name byte for byte.
    CVCapSource* Find(const LString& name) const;

private:
    friend class CVCapSource;
    void Link(CVCapSource* source);
    void Unlink(CVCapSource* source);
    CVCapSource* mFirst = nullptr;
};
