#include "Specific/PlugInSupport/PlugInTexture.h"

#include "Specific/PlugInSupport/PlugInTexturePool.h"

namespace plugin {

PlugInTexture::PlugInTexture(std::shared_ptr<PlugInTexturePoolState> pool, uint32_t name, uint32_t target,
                             uint32_t width, uint32_t height)
    : fPool(std::move(pool)), fName(name), fTarget(target), fWidth(width), fHeight(height) {}

void PlugInTexture::Release() {
    if (fCount.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    PlugInTexturePool::Recycle(*fPool, fName, fWidth, fHeight);
    delete this;
}

}  // namespace plugin
