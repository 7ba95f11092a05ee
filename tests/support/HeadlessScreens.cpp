#include "tests/support/HeadlessScreens.h"

namespace testsupport {

HeadlessScreens::HeadlessScreens(const char* screens) : fPrevious(plat::CurrentBackend()) {
    fBackend.ConfigureScreens(screens);
    plat::SetBackend(&fBackend);
}

HeadlessScreens::~HeadlessScreens() {
    plat::SetBackend(fPrevious);
}

}  // namespace testsupport
