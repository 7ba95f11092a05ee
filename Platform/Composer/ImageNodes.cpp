#include <epoxy/gl.h>

#include <algorithm>

#include "Platform/Composer/BuiltinNodeInstances.h"
#include "Platform/Composer/CompositionGraph.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Composer/GLDrawing.h"
#include "Platform/Composer/GLTextureImage.h"
#include "Platform/Composer/ImageConversion.h"
#include "Platform/Composer/ImageTexturePool.h"
#include "Platform/Composer/NodeInstance.h"
#include "Platform/GL/GLContext.h"

namespace plat {

namespace {

// Clears the viewport of the bound framebuffer (colour and depth).
class ClearNode final : public NodeInstance {
public:
    bool Execute(NodeExecution& execution) override {
        const Viewport& v = execution.Environment().viewport;
        Color c = execution.Input(0).ColorValue();
        gldraw::StateScope scope;
        glEnable(GL_SCISSOR_TEST);
        glScissor(v.x, v.y, v.width, v.height);
        glClearColor(c.red, c.green, c.blue, c.alpha);
        glDepthMask(GL_TRUE);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        return true;
    }
};

// Draws its image over what is there (premultiplied "over"), fitted into the viewport with its
// proportions (mode 0) or stretched over it (mode 1).
class ImageDrawNode final : public NodeInstance {
public:
    bool Execute(NodeExecution& execution) override {
        const Image* image = execution.Input(0).ImageValue();
        const Viewport& v = execution.Environment().viewport;
        if (!image || v.width <= 0 || v.height <= 0) return true;
        gldraw::StateScope scope(true);
        TextureView view;
        if (!TextureForImage(*image, 0, false, view, execution.Environment().texturePool)) return false;
        float quad[4] = {-1, -1, 1, 1};
        if (execution.Input(1).ToIndex() == 0) {
            float imageAspect = static_cast<float>(image->Width()) / static_cast<float>(image->Height());
            float viewAspect = static_cast<float>(v.width) / static_cast<float>(v.height);
            float sx = std::min(1.0f, imageAspect / viewAspect);
            float sy = std::min(1.0f, viewAspect / imageAspect);
            quad[0] = -sx;
            quad[2] = sx;
            quad[1] = -sy;
            quad[3] = sy;
        }
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glEnable(GL_BLEND);
        glBlendEquation(GL_FUNC_ADD);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        gldraw::DrawTexture(view, quad, false);
        return true;
    }
};

class SplitterNode final : public NodeInstance {
public:
    bool Execute(NodeExecution& execution) override {
        execution.SetOutput(0, execution.Input(0));
        return true;
    }
};

// An image of one colour (premultiplied), of the given size or the viewport's.
class ColorFillNode final : public NodeInstance {
public:
    bool Execute(NodeExecution& execution) override {
        RenderEnvironment& env = execution.Environment();
        Color c = execution.Input(0).ColorValue();
        uint32_t width = execution.Input(1).ToIndex();
        uint32_t height = execution.Input(2).ToIndex();
        if (!width) width = static_cast<uint32_t>(std::max(env.viewport.width, 1));
        if (!height) height = static_cast<uint32_t>(std::max(env.viewport.height, 1));
        Ref<GLTextureImage> image = env.texturePool->CreateImage(GL_TEXTURE_2D, width, height);
        if (image) {
            gldraw::StateScope scope;
            gldraw::TextureFramebuffer framebuffer(image->Texture());
            glDisable(GL_SCISSOR_TEST);
            glClearColor(c.red * c.alpha, c.green * c.alpha, c.blue * c.alpha, c.alpha);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        execution.SetOutput(0, Value(image.get()));
        return image != nullptr;
    }
};

// Draws its image into the host's context (named in the user information) with the host's own
// vertex array, blending and colour: the colour modulates the image, so a colour of (a, a, a, a)
// premultiplies it by a.
class HostDrawNode final : public NodeInstance {
public:
    bool Execute(NodeExecution& execution) override {
        RenderEnvironment& env = execution.Environment();
        const Image* image = execution.Input(0).ImageValue();
        auto* host = static_cast<GLContext*>(env.userInfo->Get(kUserInfoHostContext).PointerValue());
        if (!image || !host) return true;
        gldraw::ContextSwitch current(host);
        if (!current.Ok()) return false;
        return Draw(*image, env.texturePool);
    }

private:
    static bool Draw(const Image& image, ImageTexturePool* pool) {
        GLint program = 0;
        GLint arrayBuffer = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
        glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT);
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        TextureView view;
        bool ok = TextureForImage(image, 0, false, view, pool);
        if (ok) {
            float c[4];
            gldraw::UprightCoordinates(view, c);
            const float coords[8] = {c[0], c[1], c[0], c[3], c[2], c[1], c[2], c[3]};
            glUseProgram(0);
            glActiveTexture(GL_TEXTURE0);
            for (GLenum t :
                 {GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_RECTANGLE, GL_TEXTURE_CUBE_MAP})
                glDisable(t);
            glEnable(view.target);
            glBindTexture(view.target, view.name);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
            glClientActiveTexture(GL_TEXTURE0);
            glBindBuffer(GL_ARRAY_BUFFER, 0);
            glTexCoordPointer(2, GL_FLOAT, 0, coords);
            glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBuffer));
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
            glFlush();
        }
        glPopClientAttrib();
        glPopAttrib();
        glUseProgram(static_cast<GLuint>(program));
        return ok;
    }
};

}  // namespace

std::unique_ptr<NodeInstance> MakeClearNode(const GraphNode&) {
    return std::make_unique<ClearNode>();
}
std::unique_ptr<NodeInstance> MakeImageDrawNode(const GraphNode&) {
    return std::make_unique<ImageDrawNode>();
}
std::unique_ptr<NodeInstance> MakeSplitterNode(const GraphNode&) {
    return std::make_unique<SplitterNode>();
}
std::unique_ptr<NodeInstance> MakeColorFillNode(const GraphNode&) {
    return std::make_unique<ColorFillNode>();
}
std::unique_ptr<NodeInstance> MakeHostDrawNode(const GraphNode&) {
    return std::make_unique<HostDrawNode>();
}

}  // namespace plat
