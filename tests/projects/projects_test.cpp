// The project table operations against real table files.
#include "projects.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/record_held_elsewhere.h"
#include "settings_table.h"

using projects::ChangeResult;
using testing_tables::gbk;
using Names = std::vector<std::string>;
using tables::TableValue;

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

TEST_F(ProjectTable, ARecordHeldElsewhereIsNoAnswer) {
    create();
    for (const char* name : {"a", "b", "c"})
        ASSERT_EQ(projects::appendProject(name, path_), ChangeResult::Done);
    {
        testing_support::RecordHeldElsewhere held(path_, tables::kAccessPassword, 2);
        // Neither a short list nor "not there" for a name behind the held record.
        EXPECT_EQ(projects::readProjects(path_), std::nullopt);
        EXPECT_EQ(projects::removeProject("c", path_), ChangeResult::OpenFailed);
        EXPECT_EQ(projects::removeProject("a", path_), ChangeResult::Done);
    }
    EXPECT_EQ(projects::readProjects(path_), (Names{"b", "c"}));
}

TEST_F(ProjectTable, NamesGoToTheFieldTheTableDescriptionNames) {
    ASSERT_EQ(tables::createTable(path_, tables::kAccessPassword,
                                  schema::descriptors(schema::projects::kTable)),
              0);
    ASSERT_EQ(projects::appendProject(g("相框"), path_), ChangeResult::Done);
    tables::TableFile t;
    ASSERT_TRUE(t.open(path_, tables::kAccessPassword));
    ASSERT_EQ(t.fields().size(), std::size(schema::projects::kFields));
    EXPECT_EQ(t.read(1), TableValue::text(g("相框")));
    t.close();
    EXPECT_EQ(projects::readProjects(path_), (Names{g("相框")}));
}

TEST_F(ProjectTable, ANameLongerThanTheFieldIsCutAtAWholeCharacter) {
    create();  // "项目" is 40 bytes wide here
    std::string name = "a";
    for (int i = 0; i < 20; ++i) name += g("项");
    ASSERT_EQ(projects::appendProject(name, path_), ChangeResult::Done);
    EXPECT_EQ(projects::readProjects(path_), (Names{name.substr(0, 39)}));
}
