#pragma once

#include <string>

// Opens a URL in the user's default application.
namespace plat {

// Hands the URL to the opener: by default the program `xdg-open`, started in the background with
// the URL as its only argument. True when the opener was started; an empty text or one starting with
// "-" (which the program would take for an option) is refused.
[[nodiscard]] bool OpenURL(const std::string& url);

// Tests replace the opener: a program looked up like xdg-open (an empty name restores it), or a
// function that receives the URL in place of any program (null restores the program).
void SetURLOpenerProgram(const std::string& program);
using URLOpenerFunction = bool (*)(const std::string& url, void* context);
void SetURLOpenerFunction(URLOpenerFunction function, void* context);

}  // namespace plat
