// URL text: parse, resolve against a base, write back, walk paths, read file URLs and decompose. The input is
// a reference and a base separated by the first newline.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Common/Internet/CURL.h"
#include "Common/Internet/CURLU.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/UnicodeDecomp.h"
#include "Platform/Foundation/FileRef.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    std::string text(reinterpret_cast<const char*>(data), size);
    size_t nl = text.find('\n');
    std::string ref = text.substr(0, nl);
    std::string base = nl == std::string::npos ? std::string() : text.substr(nl + 1);

    CURL url(ref.c_str());
    url.Inherit(CURL(base.c_str()), size % 2 == 0);
    LString s = url.GetString();
    CURL again(s.Text());

    const unsigned char* p = url.Path().Text();
    for (int i = 0; i < 1000 && *p; ++i) CURLU::Dig(p);
    LString leaf;
    CURLU::Ascend(url.Path().Text(), leaf);
    CURLU::Encode(leaf.Text());
    CURLU::GetRelativePath(reinterpret_cast<const unsigned char*>(ref.c_str()),
                           reinterpret_cast<const unsigned char*>(base.c_str()));
    CURLU::StrToAddr(reinterpret_cast<const unsigned char*>(ref.c_str()));

    // A file URL's path makes the same file URL again.
    const std::string path = plat::URL(ref).Path();
    if (!path.empty() && plat::URL::FileURLWithPath(path).Path() != path) __builtin_trap();

    LVariStr<64> nfd;
    (void)UnicodeDecomp::DecomposeUtf8(data, static_cast<uint32_t>(size), nfd);
    return 0;
}
