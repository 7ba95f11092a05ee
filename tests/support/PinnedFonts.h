#pragma once

namespace testsupport {

// Points fontconfig at a configuration that lists only the DejaVu fonts. Must run before the first
// font lookup of the process; a test file calls it from a static initialiser:
//     const bool kFontsPinned = testsupport::PinFontsToDejaVu();
bool PinFontsToDejaVu();

}  // namespace testsupport
