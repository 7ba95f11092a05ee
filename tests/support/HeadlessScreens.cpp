#include "tests/support/HeadlessScreens.h"

namespace testsupport {

HeadlessScreens::HeadlessScreens(const char* screens) : fPrevious(plat::CurrentBackend()) {
    // A bad screen list is the test's own mistake; the default screen stays.
    (void)fBackend.ConfigureScreens(screens);
    plat::SetBackend(&fBackend);
}

HeadlessScreens::~HeadlessScreens() {
    plat::SetBackend(fPrevious);
}

}  // namespace testsupport
