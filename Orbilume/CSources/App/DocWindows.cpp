#include "Orbilume/CSources/App/DocWindows.h"

namespace {

SDocWindowFactories gDocFactories;
AppWindowFactory gAppFactories[static_cast<uint32_t>(EAppWindow::kCount)] = {};

}  // namespace

void SetDocWindowFactories(const SDocWindowFactories* factories) {
    gDocFactories = factories ? *factories : SDocWindowFactories{};
}

const SDocWindowFactories& DocWindowFactories() {
    return gDocFactories;
}

void SetAppWindowFactory(EAppWindow kind, AppWindowFactory factory) {
    const auto i = static_cast<uint32_t>(kind);
    if (i < static_cast<uint32_t>(EAppWindow::kCount)) gAppFactories[i] = factory;
}

std::unique_ptr<IDocWindow> MakeAppWindow(EAppWindow kind, LHandler* upper) {
    const auto i = static_cast<uint32_t>(kind);
    if (i >= static_cast<uint32_t>(EAppWindow::kCount) || !gAppFactories[i]) return nullptr;
    return gAppFactories[i](upper);
}
