#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "Orbilume/CSources/Engine/CCompoRepository.h"
#include "Orbilume/CSources/QCx/MQcComposition_.h"
#include "tests/support/CommandOutput.h"

namespace {

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

std::vector<std::string> ShippedFiles(const char* extension) {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(SHARED_SUPPORT_DIR))
        if (e.is_regular_file() && (!extension || e.path().extension() == extension))
            files.push_back(e.path());
    return files;
}

TEST(ShippedContent, EveryCompositionLoadsAndIsListed) {
    const std::vector<std::string> files = ShippedFiles(".qtz");
    ASSERT_GE(files.size(), 10u);
    for (const std::string& f : files) {
        plat::Ref<MQcComposition_> c = plat::Adopt(MQcComposition_::FromFile(f));
        EXPECT_TRUE(c) << f;
    }

    CCompoRepository repo;
    repo.Scan(nullptr, SHARED_SUPPORT_DIR);
    std::set<std::string> makerCategories;
    std::set<uint32_t> filterKinds, animatorKinds;
    size_t entries = 0;
    for (uint32_t list = 0; list < CCompoRepository::kCategoryCount; ++list)
        for (const CompoRepoEntry& e : repo.List(list)) {
            ++entries;
            EXPECT_FALSE(e.name.IsEmpty()) << Str(e.identifier);
            if (!e.makerCategory.IsEmpty()) makerCategories.insert(Str(e.makerCategory));
            if (list == CCompoRepository::kImageFilter && e.kind == CCompoRepository::kComposition)
                filterKinds.insert(e.filterKind);
            if (e.kind == CCompoRepository::kAnimator) animatorKinds.insert(e.animatorKind);
        }
    // The engine's internal compositions (drawer, transition and the five clip compositions) are
    // not for the operator's menus.
    const size_t internal =
        static_cast<size_t>(std::count_if(files.begin(), files.end(), [](const std::string& f) {
            return f.find("/privatecompo/") != std::string::npos;
        }));
    EXPECT_EQ(internal, 7u);
    EXPECT_EQ(entries, files.size() - internal);
    EXPECT_GE(makerCategories.size(), 2u);
    EXPECT_EQ(filterKinds, (std::set<uint32_t>{1, 2, 3}));
    EXPECT_EQ(animatorKinds, (std::set<uint32_t>{3, 5}));
    EXPECT_FALSE(repo.List(CCompoRepository::kGraphicTransition).empty());
    ASSERT_NE(repo.FindEntry(LString("obImageInput.qtz")), nullptr);

    // The image-input layer: an image input drawn fitted.
    plat::Ref<MQcComposition_> image = plat::Adopt(repo.Load(LString("obImageInput.qtz")));
    ASSERT_TRUE(image);
    std::vector<CQcImagePort> inputs;
    MQcComposition_::ImageInputs(image.get(), inputs);
    ASSERT_EQ(inputs.size(), 1u);
    EXPECT_EQ(inputs[0].standard, 1);
}

TEST(ShippedContent, PeerXmllintAcceptsEveryFile) {
    if (std::system("command -v xmllint >/dev/null 2>&1") != 0) GTEST_SKIP() << "xmllint is not installed";
    std::vector<std::string> files = ShippedFiles(".qtz");
    files.push_back(std::string(SHARED_SUPPORT_DIR) + "/privatecompo/obexinfo");
    for (const std::string& f : files)
        EXPECT_EQ(testsupport::CommandOutput("xmllint --noout '" + f + "' 2>&1 && echo ok"), "ok\n") << f;
}

}  // namespace
