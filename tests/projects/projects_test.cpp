// The project table operations against real table files.
#include "projects.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings_table.h"

using projects::ChangeResult;
using testing_tables::gbk;
using Names = std::vector<std::string>;

namespace {

std::string g(std::string_view utf8) { return gbk(utf8); }

class ProjectTable : public ::testing::Test {
  protected:
    void create() { testing_tables::createProjectTable(path_); }
    std::int32_t recordCount() {
        tables::TableFile t;
        EXPECT_TRUE(t.open(path_, tables::kAccessPassword));
        const auto n = t.recordCount();
        t.close();
        return n;
    }

    testing_tables::TempFolder folder_;
    std::string path_ = folder_.file("项目.edb");
};

}  // namespace

TEST_F(ProjectTable, MissingTable) {
    EXPECT_EQ(projects::readProjects(path_), std::nullopt);
    EXPECT_EQ(projects::appendProject("x", path_), ChangeResult::OpenFailed);
    EXPECT_EQ(projects::removeProject("x", path_), ChangeResult::OpenFailed);
    EXPECT_FALSE(std::filesystem::exists(testing_tables::utf8Path(path_)));
}

TEST_F(ProjectTable, EmptyNameIsRefusedSpacesAreAName) {
    create();
    EXPECT_EQ(projects::appendProject("", path_), ChangeResult::Empty);
    EXPECT_EQ(projects::appendProject("  ", path_), ChangeResult::Done);
    EXPECT_EQ(projects::appendProject(g("　"), path_), ChangeResult::Done);
    EXPECT_EQ(projects::readProjects(path_), (Names{"  ", g("　")}));
}

TEST_F(ProjectTable, DeleteMatchesExactly) {
    create();
    ASSERT_EQ(projects::appendProject("ab", path_), ChangeResult::Done);
    ASSERT_EQ(projects::appendProject("Ab", path_), ChangeResult::Done);
    EXPECT_EQ(projects::removeProject("a", path_), ChangeResult::Done);
    EXPECT_EQ(projects::removeProject("ab ", path_), ChangeResult::Done);
    EXPECT_EQ(projects::readProjects(path_), (Names{"ab", "Ab"}));
    EXPECT_EQ(projects::removeProject("Ab", path_), ChangeResult::Done);
    EXPECT_EQ(projects::readProjects(path_), (Names{"ab"}));
}

TEST_F(ProjectTable, MarkedRecordsAreNeitherListedNorDeletedAgain) {
    create();
    ASSERT_EQ(projects::appendProject("x", path_), ChangeResult::Done);
    ASSERT_EQ(projects::appendProject("x", path_), ChangeResult::Done);
    {
        // A record marked but left unpurged, as a failed purge would leave it.
        tables::TableFile t;
        ASSERT_TRUE(t.open(path_, tables::kAccessPassword));
        ASSERT_TRUE(t.markDeleted());
        t.close();
    }
    EXPECT_EQ(projects::readProjects(path_), (Names{"x"}));
    EXPECT_EQ(projects::removeProject("x", path_), ChangeResult::Done);
    EXPECT_EQ(projects::readProjects(path_), Names{});
    EXPECT_EQ(recordCount(), 0);
}
