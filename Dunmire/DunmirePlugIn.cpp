#include "Dunmire/DunmirePlugIn.h"

#include <epoxy/gl.h>

#include <algorithm>

#include "Dunmire/DunmireHostState.h"
#include "Specific/PlugInSupport/PlugInContextScope.h"
#include "Specific/PlugInSupport/PlugInTexturedStrip.h"

namespace {

// A strip covering the viewport, and the image's corners in the same order.
constexpr GLfloat kVertices[] = {-1, -1, -1, 1, 1, -1, 1, 1};
constexpr GLint kTexCoords[] = {0, 0, 0, 1, 1, 0, 1, 1};

}  // namespace

bool DunmirePlugIn::Execute(plat::PlugInContext& context, double, plat::PlugInPorts& ports,
                            const plat::PlugInStructure&) {
    plat::PlugInImageSource* image = ports.ImageInput("inputImage");
    if (!image) return true;
    auto* host = static_cast<plat::PlugInGLContext*>(
        context.UserInfo(plat::kPlugInUserInfoHostContext).PointerValue());
    if (!host) return true;
    plat::PlugInRect bounds = image->Bounds();
    if (!(bounds.width > 0 && bounds.height > 0)) return true;

    plugin::PlugInContextScope scope(context, host);
    if (!scope.Ok()) return true;
    plat::PlugInTextureInfo texture;
    if (!image->LockTexture(texture)) return true;
    if (image->BindTexture(host, 0, true)) {
        DunmireHostState saved;
        saved.SaveTexture(texture.target);
        GLint viewport[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_VIEWPORT, viewport);
        if (viewport[2] > 0 && viewport[3] > 0) {
            float a = static_cast<float>(bounds.width / bounds.height);
            float v = static_cast<float>(viewport[2]) / static_cast<float>(viewport[3]);
            glMatrixMode(GL_MODELVIEW);
            glPushMatrix();
            glScalef(std::min(1.0f, a / v), std::min(1.0f, v / a), 1);

            glEnable(texture.target);
            glTexParameteri(texture.target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(texture.target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            glTexParameteri(texture.target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(texture.target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

            glBindBuffer(GL_ARRAY_BUFFER, 0);
            plugin::DrawTexturedStrip(kVertices, GL_INT, kTexCoords);

            glMatrixMode(GL_MODELVIEW);
            glPopMatrix();
            glFlush();
        }
        saved.RestoreTexture();
        image->UnbindTexture(host, 0);
    }
    image->UnlockTexture();
    return true;
}
