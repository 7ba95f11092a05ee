#include "Platform/AppKit/InputSource.h"

#include "Platform/Foundation/Check.h"

namespace plat {

namespace {

constexpr const char* kUserSource = "org.orbilume.inputsource.user";
constexpr const char* kAsciiSource = "org.orbilume.inputsource.ascii";

struct Sources {
    std::string current = kUserSource;
    std::vector<std::string> selections;
};

Sources& State() {
    static Sources* s = new Sources;  // kept for the process
    return *s;
}

}  // namespace

Ref<InputSource> InputSource::CopyCurrentKeyboard() {
    PLAT_DCHECK_MAIN_THREAD();
    const std::string& id = State().current;
    return Adopt(new InputSource(id, id == kAsciiSource));
}

Ref<InputSource> InputSource::CopyCurrentASCIICapableKeyboard() {
    PLAT_DCHECK_MAIN_THREAD();
    return Adopt(new InputSource(kAsciiSource, true));
}

bool InputSource::Select() {
    PLAT_DCHECK_MAIN_THREAD();
    State().current = fId;
    State().selections.push_back(fId);
    return true;
}

const std::vector<std::string>& InputSource::Selections() {
    return State().selections;
}

void InputSource::ResetForTesting() {
    State().current = kUserSource;
    State().selections.clear();
}

}  // namespace plat
