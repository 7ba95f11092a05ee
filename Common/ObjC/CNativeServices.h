#pragma once

#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LColorSpec.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Platform/Graphics/GraphicsTypes.h"

// The platform's colours for the framework's indexed colour specifications: 1 selected text,
// 2 and 8 disabled control text, 3 white, 4 black, 5 grey, 6 control text, 7 selected control
// text, RGB specs as their bytes; no spec or any other kind the text colour.
plat::GfxColor NativeColorForSpec(const LColorSpec& spec);
// The background of selected text.
LRGB SelectionBackgroundRGB();
// Shows the file in the file manager (its containing folder opens); false when nothing could be asked.
[[nodiscard]] bool RevealFile(const LFsSpec& spec);
// Opens the file with its default application.
[[nodiscard]] bool OpenFile(const LFsSpec& spec);
