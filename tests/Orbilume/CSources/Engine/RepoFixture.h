#pragma once

#include <string>
#include <utility>
#include <vector>

#include "Platform/Foundation/Value.h"
#include "tests/support/TempDir.h"

namespace repotest {

// A composition file's property list: name, protocols, category, the maker's attributes, and a
// graph that either clears (compositions) or publishes an lfo's value or a colour (animators).
struct Compo {
    enum Output { kNone, kNumber, kColor, kString };
    Compo(std::string name, std::vector<std::string> protocols, std::string category = "",
          std::string makerName = "", std::string makerCategory = "", Output output = kNone,
          bool plane = false)
        : name(std::move(name)),
          protocols(std::move(protocols)),
          category(std::move(category)),
          makerName(std::move(makerName)),
          makerCategory(std::move(makerCategory)),
          output(output),
          plane(plane) {}
    std::string name;
    std::vector<std::string> protocols;
    std::string category;  // "distortion", "stylize", "utility" or ""
    std::string makerName;
    std::string makerCategory;
    Output output;
    bool plane;
};
plat::Value CompoPropertyList(const Compo& c);
void WriteCompo(const std::string& path, const Compo& c);

// A SharedSupport tree and a repository folder in a temporary folder:
//   repository/: RepoAnim (animation), RepoFilter (filter, stylize), RepoFilter0 (filter, other),
//                RepoTrans (transition, music visualizer)
//   SharedSupport/privatecompo/obexinfo: /RepoAnim plane, /RepoTrans clear, a.qtz plane (no effect)
//   SharedSupport/compositions/: a.qtz (animation, "Patterns"), gen/b.qtz (animation, "Patterns"),
//                gen/deep/c.qtz (animation, "Shapes"), plain.qtz (animation, no maker category),
//                noproto.qtz (no protocols, distortion), broken.qtz (does not load),
//                obImageSphere.qtz (filter, utility), obImageSpherer.qtz (skipped),
//                gen/loop -> .. (a folder link, not followed), wipe.qtz (transition)
//   SharedSupport/animators/: num.qtz (number), col.qtz (colour), txt.qtz (string), sub/num2.qtz
struct Tree {
    Tree();
    testsupport::TempDir dir;
    std::string repository;
    std::string sharedSupport;
};

}  // namespace repotest
