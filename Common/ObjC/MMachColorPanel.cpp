#include "Common/ObjC/MMachColorPanel.h"

#include <cmath>
#include <string_view>

#include "Common/ObjC/UMachPanel.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/ColorPanel.h"

bool MMachColorPanel::RespondsToAction(const char* action) const {
    return action && std::string_view(action) == UMachPanel::kChangeColorAction;
}

void MMachColorPanel::PerformAction(const char* action, plat::MenuItem*) {
    if (!RespondsToAction(action) || !callback || !plat::ColorPanel::SharedExists()) return;
    plat::Ref<MMachColorPanel> keep = plat::RetainRef(this);  // the callback may close the panel
    const LRGB colour = UMachPanel::ToLRGB(plat::ColorPanel::Shared()->Color());
    callback(owner, &colour, 2);
}

void MMachColorPanel::WindowWillClose(plat::Window*) {
    if (modal) plat::Application::Shared()->StopModal();
}
