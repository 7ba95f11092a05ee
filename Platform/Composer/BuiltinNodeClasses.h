#pragma once

namespace plat {

class NodeClassRegistry;

// Node class names.
inline constexpr char kNodeClassClear[] = "clear";
inline constexpr char kNodeClassGLSL[] = "glsl";
inline constexpr char kNodeClassImageShader[] = "imageShader";
inline constexpr char kNodeClassImageDraw[] = "imageDraw";
inline constexpr char kNodeClassSplitter[] = "splitter";
inline constexpr char kNodeClassColorFill[] = "colorFill";
inline constexpr char kNodeClassCrossfade[] = "crossfade";
inline constexpr char kNodeClassHostDraw[] = "hostDraw";
inline constexpr char kNodeClassPlugIn[] = "plugin";
inline constexpr char kNodeClassLfo[] = "lfo";
inline constexpr char kNodeClassColorCompose[] = "colorCompose";

// State keys of the built-in classes.
inline constexpr char kShaderStateFragment[] = "fragment";
inline constexpr char kShaderStateVertex[] = "vertex";
inline constexpr char kShaderStateUniforms[] = "uniforms";
inline constexpr char kSplitterStateType[] = "type";
inline constexpr char kSplitterStateIndexLabels[] = "indexLabels";
inline constexpr char kSplitterStateInputMin[] = "inputMin";
inline constexpr char kSplitterStateInputMax[] = "inputMax";
inline constexpr char kPlugInStatePatch[] = "patch";

// Registers clear, glsl, imageShader, imageDraw, splitter, colorFill, crossfade, hostDraw, lfo,
// colorCompose and plugin.
void RegisterBuiltinNodeClasses(NodeClassRegistry& registry);

}  // namespace plat
