#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Platform/Resources/ResourceFile.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"

// A resource file made for one test: menu sources compiled by the resource compiler, or raw string
// lists written as they are (to hold what the compiler refuses). Open while the object lives.
class MenuResources {
public:
    // Compiles Menus/<name> files with the given texts; Ok() tells whether the compiler accepted them.
    using Files = std::vector<std::pair<std::string, std::string>>;
    explicit MenuResources(const Files& menuFiles) {
        mkdir(fDir.File("src").c_str(), 0700);
        mkdir(fDir.File("src/Menus").c_str(), 0700);
        for (const auto& [name, text] : menuFiles) fDir.Write("src/Menus/" + name, text);
        fCompilerOutput =
            testsupport::CommandOutput("python3 " ORBILUME_RESOURCE_COMPILER " --out " +
                                       fDir.File("menus.rsrc") + " " + fDir.File("src") + " 2>&1; echo $?");
        Open();
    }

    struct Raw {
        const char* type;
        std::string name;
        std::vector<std::string> strings;
    };
    explicit MenuResources(const std::vector<Raw>& raw) {
        std::string table, body;
        const uint32_t count = uint32_t(raw.size());
        uint32_t offset = 12 + 24 * count;
        int32_t id = 128;
        for (const Raw& r : raw) {
            std::string data;
            data += char(r.strings.size() >> 8);
            data += char(r.strings.size() & 0xFF);
            for (const std::string& s : r.strings) data += s + std::string(1, '\0');
            table += std::string(r.type, 4) + Be(uint32_t(id++)) + Be(offset) + Be(uint32_t(r.name.size())) +
                     Be(offset + uint32_t(r.name.size())) + Be(uint32_t(data.size()));
            body += r.name + data;
            offset += uint32_t(r.name.size() + data.size());
        }
        fDir.Write("menus.rsrc", "ORSC" + Be(1) + Be(count) + table + body);
        fCompilerOutput = "0\n";
        Open();
    }

    ~MenuResources() {
        fProvider.reset();
        if (fRef > 0) plat::CloseResFile(fRef);
    }

    bool Ok() const {
        return fRef > 0 && fCompilerOutput.size() >= 2 &&
               fCompilerOutput.substr(fCompilerOutput.size() - 2) == "0\n";
    }
    const std::string& CompilerOutput() const { return fCompilerOutput; }
    ResourceFileProvider* Provider() const { return fProvider.get(); }

private:
    static std::string Be(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }
    void Open() {
        if (fCompilerOutput.size() < 2 || fCompilerOutput.substr(fCompilerOutput.size() - 2) != "0\n") return;
        fRef = plat::OpenResFile(fDir.File("menus.rsrc"));
        if (fRef > 0) fProvider = std::make_unique<ResourceFileProvider>(fRef);
    }

    testsupport::TempDir fDir;
    std::string fCompilerOutput;
    plat::ResFileRef fRef = 0;
    std::unique_ptr<ResourceFileProvider> fProvider;
};
