#include "tests/support/PinnedFonts.h"

#include <cstdlib>

namespace testsupport {

bool PinFontsToDejaVu() {
    return setenv("FONTCONFIG_FILE", ORBILUME_TEST_SUPPORT_DIR "/fonts/dejavu.conf", 1) == 0;
}

}  // namespace testsupport

// fontconfig and Pango keep process-wide caches that are never freed; LeakSanitizer reads these
// suppressions in every test program that pins the fonts.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libpango-1.0.so\nleak:libpangoft2-1.0.so\nleak:libpangocairo-1.0."
           "so\n";
}
