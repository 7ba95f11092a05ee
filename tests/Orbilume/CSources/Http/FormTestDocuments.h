#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "Orbilume/CSources/Http/FormServer.h"

namespace formtest {

// A document provider stub: one document with an entry of each kind and three scenes (one unnamed);
// records the documents it is asked to open.
class Documents : public FormDocumentProvider {
public:
    bool hasDocument = true;
    int answer = kOpened;
    std::vector<std::string> opened;

    bool HasDocument() const override { return hasDocument; }
    int OpenDocument(const std::string& path) override {
        opened.push_back(path);
        return answer;
    }
    void FormEntries(std::vector<FormEntry>& out) const override {
        out.push_back({0, "/mode", "Mode", "1", "0", "2", {"Off", "On", "Auto"}});
        out.push_back({0, "/count", "Count", "3", "0", "10", {}});
        out.push_back({1, "/gain", "Gain", "0.50", "0.00", "1.00", {}});
        out.push_back({2, "/title", "Title", "<b> &", "", "", {}});
        out.push_back({3, "/movie", "Movie", "", "", "", {}});
    }
    void Scenes(std::vector<FormScene>& out) const override {
        out.push_back({0, "Intro"});
        out.push_back({1, ""});
        out.push_back({2, "Blue sky"});
    }
};

// The panel's fragments, read from the source tree's string list.
inline std::vector<std::string> Fragments() {
    std::vector<std::string> out;
    std::ifstream in(std::string(ORBILUME_SOURCE_DIR) + "/Resources/Strings/FORMSVR.cst");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("%%", 0) != 0) out.push_back(line);
    return out;
}

inline std::string FormFolder() {
    return std::string(ORBILUME_SOURCE_DIR) + "/SharedSupport/form";
}

}  // namespace formtest
