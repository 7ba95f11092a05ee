#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Orbilume/CSources/Engine/CCompoRepository.h"
#include "Platform/Composer/Repository.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Orbilume/CSources/Engine/RepoFixture.h"

namespace {

// Titles in order, "|" after each; a submenu as "Title>(...)"; a separator as "-".
std::string Show(const LMenu* menu) {
    std::string s;
    for (uint32_t i = 0; i < menu->ItemCount(); ++i) {
        const LMenuItem* item = menu->ItemAt(i);
        s += item->Text().IsEmpty() ? std::string("-")
                                    : std::string(item->Text().CStr(), item->Text().Length());
        if (item->Submenu()) s += ">(" + Show(item->Submenu()) + ")";
        s += "|";
        if (!item->Text().IsEmpty()) {
            EXPECT_TRUE(item->HasCommand("CAppCmd_AddCompo")) << s;
        }
    }
    return s;
}

class CompoMenusTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(resources.Ok());
        repo.Scan(&shared, tree.sharedSupport);
    }
    // A menu whose items carry submenus of the given names, as an editor's menu resource has them.
    LMenu* RowsMenu(std::initializer_list<const char*> names) {
        auto* menu = new LMenu(nullptr, LString("Add"));
        for (const char* name : names) {
            auto* item = new LMenuItem(menu);
            item->SetTexts(LString(name));
            menu->AppendItem(item);
            menu->MakeSubmenu(menu->ItemCount() - 1)->SetName(LString(name));
        }
        return menu;
    }
    BundleResources resources;
    repotest::Tree tree;
    plat::Repository shared{{tree.repository}};
    CCompoRepository repo;
};

TEST_F(CompoMenusTest, CategoryRowsWithMakerGroupsAndTheTwoRepositoryGroups) {
    std::unique_ptr<LMenu> menu(
        RowsMenu({"GraphicAnimation", "GraphicTransition", "FilterDistortion", "FilterStylize",
                  "FilterUtility", "FilterOther", "MusicVisualizer"}));
    repo.AddCategoryRows(menu.get());
    EXPECT_EQ(Show(menu->ItemAt(0)->Submenu()),
              "Patterns>(Alpha|Beta|)|Shapes>(Gamma|)|Ungrouped>(Plain|)|System>(Repo Anim|)|");
    EXPECT_EQ(Show(menu->ItemAt(1)->Submenu()), "Repo Trans|Wipe|");
    // A bundle file without protocols shows under its filter kind only; the repository filter of
    // kind "other" is not listed; animators are not compositions.
    EXPECT_EQ(Show(menu->ItemAt(2)->Submenu()), "No Protocol|");
    EXPECT_EQ(Show(menu->ItemAt(3)->Submenu()), "Repo Filter|");
    EXPECT_EQ(Show(menu->ItemAt(4)->Submenu()), "Sphere|");
    EXPECT_EQ(Show(menu->ItemAt(5)->Submenu()), "");
    EXPECT_EQ(Show(menu->ItemAt(6)->Submenu()), "Repo Trans|");
    repo.AddCategoryRows(nullptr);
}

TEST_F(CompoMenusTest, AnimatorGroupsBehindSeparators) {
    LMenu menu(nullptr, LString("Animators"));
    repo.BuildMenu(&menu, CCompoRepository::kImageFilter, false, 0, CCompoRepository::kAnimator);
    // Other kinds (numbers), then strings (4), then colours (5).
    EXPECT_EQ(Show(&menu), "Another number|Number|-|Text|-|Colour|");

    // Items already there: the first group goes behind a separator, and nothing sorts in front of it.
    LMenu existing(nullptr, LString("Animators"));
    auto* item = new LMenuItem(&existing);
    item->SetTexts(LString("Zulu"));
    item->SetCommand("CAppCmd_AddCompo");
    existing.AppendItem(item);
    repo.BuildMenu(&existing, CCompoRepository::kImageFilter, false, 0, CCompoRepository::kAnimator);
    EXPECT_EQ(Show(&existing), "Zulu|-|Another number|Number|-|Text|-|Colour|");

    repo.BuildMenu(&menu, 7, false, 0, 0);  // no such category: nothing
    repo.BuildMenu(nullptr, 0, false, 0, 0);
    EXPECT_EQ(menu.ItemCount(), 6u);
}

TEST_F(CompoMenusTest, FillMenuClearsAndListsOneCategory) {
    LMenu menu(nullptr, LString("Animator"));
    auto* old = new LMenuItem(&menu);
    old->SetTexts(LString("old"));
    old->SetCommand("CAppCmd_AddCompo");
    menu.AppendItem(old);
    repo.FillMenu(&menu, CCompoRepository::kImageFilter);
    EXPECT_EQ(Show(&menu), "Repo Filter|No Protocol|Sphere|Colour|Number|Another number|Text|");
    // The editors map the chosen item back to the composition.
    EXPECT_EQ(std::string(repo.LookupEntry(LString(""), menu.ItemAt(4)->Text()).CStr()), "num.qtz");
    repo.FillMenu(&menu, 9);
    EXPECT_EQ(menu.ItemCount(), 0u);
}

}  // namespace
