// The tokenizer's events agree with Python's xml.sax on real well-formed XML files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Common/Stream/CXmlTokenizer.h"
#include "tests/Common/Stream/XmlTestUtil.h"
#include "tests/support/CommandOutput.h"

namespace {

namespace fs = std::filesystem;

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

// XML line-end handling, which the tokenizer leaves to its consumers.
std::string NormalizeLineEnds(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\r') {
            out += s[i];
            continue;
        }
        out += '\n';
        if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    }
    return out;
}

// Our events in the script's line format.
std::vector<std::string> OurEvents(const std::string& bytes) {
    xmltest::ChunkedIn in(bytes, 1024);
    CXmlTokenizer t(in);
    std::vector<std::string> out;
    std::string text;
    int depth = 0;
    auto flush = [&] {
        if (!text.empty() && depth > 0) out.push_back("T " + Escape(NormalizeLineEnds(text)));
        text.clear();
    };
    for (;;) {
        int e = t.Next();
        if (e == CXmlTokenizer::kText) {
            text.append(reinterpret_cast<const char*>(t.PieceText()), t.PieceLength());
            continue;
        }
        if (e == CXmlTokenizer::kAttribute) {
            LString v = t.ReadValue();
            std::string value(v.CStr(), v.Length());
            std::replace_if(
                value.begin(), value.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
            out.push_back(std::string("A ") + t.AttrName().CStr() + "=" + Escape(value));
            continue;
        }
        flush();
        if (e == CXmlTokenizer::kEnd) break;
        if (e == CXmlTokenizer::kStartTag) {
            out.push_back(std::string("S ") + t.TagName().CStr());
            ++depth;
        } else {
            out.push_back("E");
            --depth;
        }
    }
    return out;
}

std::vector<std::string> CandidateFiles() {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(XML_TEST_DIR "/peer"))
        files.push_back(entry.path().string());
    std::vector<std::string> found;
    for (const char* root :
         {"/usr/share/xml", "/usr/share/mime", "/usr/share/dbus-1", "/usr/share/fontconfig", "/etc/fonts",
          "/usr/share/metainfo", "/usr/share/doc", "/usr/share/polkit-1"}) {
        std::error_code ec;
        for (auto it =
                 fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            const fs::path& p = it->path();
            std::string ext = p.extension().string();
            if (ext != ".xml" && ext != ".conf" && ext != ".svg" && ext != ".xsd") continue;
            std::error_code sizeError;
            if (!it->is_regular_file(sizeError) || it->file_size(sizeError) > 512 * 1024) continue;
            found.push_back(p.string());
        }
    }
    std::sort(found.begin(), found.end());
    // An even spread of at most 120 machine files keeps the run short.
    size_t step = std::max<size_t>(1, found.size() / 120);
    for (size_t i = 0; i < found.size(); i += step) files.push_back(found[i]);
    return files;
}

std::map<std::string, std::vector<std::string>> SaxEvents(const std::vector<std::string>& files) {
    std::string command = "python3 " XML_TEST_DIR "/sax_events.py";
    for (const std::string& f : files) command += " '" + f + "'";
    std::map<std::string, std::vector<std::string>> result;
    std::string all = testsupport::CommandOutput(command);
    std::istringstream in(all);
    std::string line, current;
    while (std::getline(in, line)) {
        if (line.rfind("FILE ", 0) == 0) {
            current = line.substr(5);
            result[current];
        } else if (line == "DONE") {
            break;
        } else if (!current.empty()) {
            result[current].push_back(line);
        }
    }
    return result;
}

TEST(XmlPeer, TokenizerAgreesWithPythonSax) {
    std::vector<std::string> files = CandidateFiles();
    std::map<std::string, std::vector<std::string>> sax = SaxEvents(files);
    ASSERT_FALSE(sax.empty()) << "python3 xml.sax did not run";
    int compared = 0;
    for (const auto& [path, expected] : sax) {
        if (!expected.empty() && expected[0].rfind("SKIP", 0) == 0) continue;
        std::ifstream f(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        std::vector<std::string> ours = OurEvents(bytes);
        size_t i = 0;
        while (i < ours.size() && i < expected.size() && ours[i] == expected[i]) ++i;
        EXPECT_TRUE(i == ours.size() && i == expected.size())
            << path << ": first difference at event " << i << ": ours '"
            << (i < ours.size() ? ours[i] : "(end)") << "', sax '"
            << (i < expected.size() ? expected[i] : "(end)") << "'";
        ++compared;
    }
    EXPECT_GE(compared, 2);
    std::printf("compared %d files with xml.sax\n", compared);
}

}  // namespace
