#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"

namespace colladatest {

// A document parsed from text, with its id index built, located at spec.
inline std::unique_ptr<CColladaDoc> Parse(const std::string& xml, const LFsSpec& spec = LFsSpec()) {
    auto doc = std::make_unique<CColladaDoc>(spec);
    LCStrCharIn in(reinterpret_cast<const unsigned char*>(xml.data()), static_cast<uint32_t>(xml.size()));
    if (!doc->ReadXml(in)) return nullptr;
    doc->DropUnsupportedProfiles();
    doc->BuildIdIndex();
    return doc;
}

// Wraps library content in a COLLADA document.
inline std::string Wrap(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">\n"
           "<asset><created>2026-01-01T00:00:00</created><modified>2026-01-01T00:00:00</modified></asset>\n" +
           body + "\n</COLLADA>\n";
}

// Checks a written document with xmllint and DAEValidator (links, unique ids) where they are installed.
inline void Validate(const std::string& path) {
    if (std::system("command -v xmllint >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system(("xmllint --noout --nonet '" + path + "'").c_str()), 0) << path;
    }
    const char* dae = "/usr/lib/opencollada/DAEValidator";
    if (!std::filesystem::exists(dae)) return;  // opencollada-tools not installed: link check skipped
    // Offline: its schema check would try the network, so it runs without one when it can.
    std::string cmd = std::string(dae) + " '" + path + "' --check-links --check-unique-ids --quiet";
    if (std::system("unshare -n true >/dev/null 2>&1") == 0) cmd = "unshare -n " + cmd;
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "DAEValidator finds fault with " << path;
}

}  // namespace colladatest
