#pragma once

#include <string>
#include <vector>

// Text helpers of the operation panel's pages and lists.
namespace formhtml {

// Appends the text HTML-escaped: '"', '&', '<', '>' and '\'' as entities, every byte of code 32 or
// below as "&#N;"; other bytes unchanged.
void AppendEscaped(std::string& out, const std::string& text);
// Appends the text percent-encoded: letters, digits and "-._~/" stay, every other byte is %XX.
void AppendPercentEncoded(std::string& out, const std::string& text);
// Appends the fragment with %0 .. %9 replaced by the escaped arguments (a missing one by nothing);
// "%%" is a literal '%'.
void AppendFilled(std::string& out, const std::string& fragment, const std::vector<std::string>& args);

}  // namespace formhtml
