// Where MCUType.mcu is looked for: the places in their order, and the first
// one that holds a readable file.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/catalogue/CatalogueLocation.h"
#include "support/ScratchDir.h"

namespace o8r {
namespace {

using test::ScratchDir;

struct CandidateCase {
    const char* name;
    std::string namedFile;
    std::string programDirectory;
    std::string installDataDirectory;
    std::vector<std::string> expected;
};

class CatalogueCandidatesTest : public ::testing::TestWithParam<CandidateCase> {};

TEST_P(CatalogueCandidatesTest, ListsThePlacesInOrder) {
    const CandidateCase& c = GetParam();
    // Compared as paths: Windows names them with its own separators.
    std::vector<std::filesystem::path> expected;
    for (const std::string& path : c.expected)
        expected.push_back(std::filesystem::path(path).lexically_normal());
    std::vector<std::filesystem::path> listed;
    for (const std::string& path :
         CatalogueCandidates(c.namedFile, c.programDirectory, c.installDataDirectory))
        listed.push_back(std::filesystem::path(path).lexically_normal());
    EXPECT_EQ(listed, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Places, CatalogueCandidatesTest,
    ::testing::Values(
        CandidateCase{"NamedFileIsTheOnlyPlace",
                      "my.mcu",
                      "/opt/o8r/bin/",
                      "/usr/share/o8r-programmer",
                      {"my.mcu"}},
        CandidateCase{"BesideThenShareThenPrefix",
                      "",
                      "/opt/o8r/bin/",
                      "/usr/local/share/o8r-programmer",
                      {"/opt/o8r/bin/MCUType.mcu", "/opt/o8r/share/o8r-programmer/MCUType.mcu",
                       "/usr/local/share/o8r-programmer/MCUType.mcu"}},
        CandidateCase{"DirectoryWithoutSeparator",
                      "",
                      "/opt/o8r/bin",
                      "",
                      {"/opt/o8r/bin/MCUType.mcu", "/opt/o8r/share/o8r-programmer/MCUType.mcu"}},
        // An install under its configured prefix finds the same place twice.
        CandidateCase{"InstalledTreeListedOnce",
                      "",
                      "/usr/bin/",
                      "/usr/share/o8r-programmer/",
                      {"/usr/bin/MCUType.mcu", "/usr/share/o8r-programmer/MCUType.mcu"}},
        CandidateCase{"UnknownProgramDirectory",
                      "",
                      "",
                      "/usr/share/o8r-programmer",
                      {"/usr/share/o8r-programmer/MCUType.mcu"}}),
    [](const ::testing::TestParamInfo<CandidateCase>& info) { return info.param.name; });

TEST(FindCatalogueTest, TakesTheFirstPlaceThatHoldsAFile) {
    ScratchDir dir;
    std::filesystem::create_directories(dir.Path() / "bin");
    std::filesystem::create_directories(dir.Path() / "share/o8r-programmer");
    std::filesystem::create_directories(dir.Path() / "prefix");
    const std::string installed = dir.Write("share/o8r-programmer/MCUType.mcu", ":x\n");
    dir.Write("prefix/MCUType.mcu", ":y\n");

    CatalogueSearch search = FindCatalogue("", dir.File("bin"), dir.File("prefix"));
    ASSERT_TRUE(search.found);
    EXPECT_EQ(std::filesystem::path(*search.found), std::filesystem::path(installed));
    EXPECT_EQ(search.tried.size(), 3u);

    // One beside the program comes first.
    const std::string beside = dir.Write("bin/MCUType.mcu", ":z\n");
    search = FindCatalogue("", dir.File("bin"), dir.File("prefix"));
    ASSERT_TRUE(search.found);
    EXPECT_EQ(std::filesystem::path(*search.found).lexically_normal(),
              std::filesystem::path(beside).lexically_normal());
}

TEST(FindCatalogueTest, ADirectoryOfThatNameIsNoCatalogue) {
    ScratchDir dir;
    std::filesystem::create_directories(dir.Path() / "bin/MCUType.mcu");
    std::filesystem::create_directories(dir.Path() / "prefix");
    const std::string prefix = dir.Write("prefix/MCUType.mcu", ":y\n");
    EXPECT_EQ(FindCatalogue("", dir.File("bin"), dir.File("prefix")).found,
              std::filesystem::path(prefix).lexically_normal().string());
}

TEST(FindCatalogueTest, NothingFoundKeepsEveryPlaceTried) {
    ScratchDir dir;
    const CatalogueSearch search = FindCatalogue("", dir.File("bin"), dir.File("prefix"));
    EXPECT_FALSE(search.found);
    EXPECT_EQ(search.tried, CatalogueCandidates("", dir.File("bin"), dir.File("prefix")));

    // A named file that is missing is not replaced by another.
    std::filesystem::create_directories(dir.Path() / "bin");
    dir.Write("bin/MCUType.mcu", ":z\n");
    EXPECT_FALSE(FindCatalogue(dir.File("missing.mcu"), dir.File("bin"), "").found);
}

}  // namespace
}  // namespace o8r
