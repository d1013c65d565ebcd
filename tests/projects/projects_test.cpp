// The project table operations against real table files.
#include "projects.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "gbk.h"
#include "table_file.h"

namespace fs = std::filesystem;
using projects::ChangeResult;
using Names = std::vector<std::string>;

namespace {

std::string g(std::string_view utf8) { return convert::utf8ToGbk(utf8).value(); }

class ProjectTable : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               (std::string("lanhe_projects_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "项目.edb").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void create() {
        ASSERT_EQ(tables::createTable(path_, tables::kAccessPassword,
                                      {{g("项目"), tables::FieldType::Text, 0, 40}}),
                  0);
    }
    std::int32_t recordCount() {
        tables::TableFile t;
        EXPECT_TRUE(t.open(path_, tables::kAccessPassword));
        const auto n = t.recordCount();
        t.close();
        return n;
    }

    fs::path dir_;
    std::string path_;
};

}  // namespace

TEST_F(ProjectTable, MissingTable) {
    EXPECT_EQ(projects::readProjects(path_), std::nullopt);
    EXPECT_EQ(projects::appendProject("x", path_), ChangeResult::OpenFailed);
    EXPECT_EQ(projects::removeProject("x", path_), ChangeResult::OpenFailed);
    EXPECT_FALSE(fs::exists(path_));
}

TEST_F(ProjectTable, EmptyTableReadsAsAnEmptyList) {
    create();
    EXPECT_EQ(projects::readProjects(path_), Names{});
}

TEST_F(ProjectTable, EmptyNameIsRefusedSpacesAreAName) {
    create();
    EXPECT_EQ(projects::appendProject("", path_), ChangeResult::Empty);
    EXPECT_EQ(projects::appendProject("  ", path_), ChangeResult::Done);
    EXPECT_EQ(projects::appendProject(g("　"), path_), ChangeResult::Done);
    EXPECT_EQ(projects::readProjects(path_), (Names{"  ", g("　")}));
}

TEST_F(ProjectTable, NamesKeepRecordOrder) {
    create();
    for (auto n : {"相框", "照片", "写真"}) ASSERT_EQ(projects::appendProject(g(n), path_), ChangeResult::Done);
    EXPECT_EQ(projects::readProjects(path_), (Names{g("相框"), g("照片"), g("写真")}));
}

TEST_F(ProjectTable, SameNameTwiceThenOneDeleted) {
    create();
    ASSERT_EQ(projects::appendProject(g("相框"), path_), ChangeResult::Done);
    ASSERT_EQ(projects::appendProject(g("照片"), path_), ChangeResult::Done);
    ASSERT_EQ(projects::appendProject(g("相框"), path_), ChangeResult::Done);
    EXPECT_EQ(projects::readProjects(path_), (Names{g("相框"), g("照片"), g("相框")}));
    EXPECT_EQ(projects::removeProject(g("相框"), path_), ChangeResult::Done);
    // The first record of that name went; the purge left no marked slot behind.
    EXPECT_EQ(projects::readProjects(path_), (Names{g("照片"), g("相框")}));
    EXPECT_EQ(recordCount(), 2);
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
