// The settings catalogue with what POSIX file systems hold besides files: links.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileSystemTestTree.h"
#include "settings/SettingsCatalogue.h"

namespace palomix {
namespace {

TEST(SettingsCataloguePosixTest, ABrokenLinkIsListedWithEmptyTitles) {
    const testing::TestTree tree;
    tree.Folder("convert_settings");
    std::filesystem::create_symlink(tree.Path("nowhere.ini"),
                                    tree.Path("convert_settings/broken.ini"));
    SettingsCatalogue catalogue(tree.Root());
    catalogue.LoadSettingsCatalogue(Language::Japanese);
    EXPECT_EQ(catalogue.CatalogueRows(), (std::vector<std::string>{"\"\",\"\",\"broken.ini\""}));
    EXPECT_TRUE(catalogue.CommandRows().empty());
    EXPECT_EQ(catalogue.ReadCommandTemplate(0), "");
}

}  // namespace
}  // namespace palomix
