#include "projects.h"

#include "gbk.h"
#include "table_file.h"

namespace projects {

namespace {

std::string gbk(std::string_view utf8) { return convert::utf8ToGbk(utf8).value(); }

// File names go to the table layer as UTF-8 on every platform.
std::string fileNameForTables(std::string_view utf8) { return std::string(utf8); }

}  // namespace

std::optional<std::vector<std::string>> readProjects(std::string_view fileName) {
    tables::TableFile table;
    if (!table.open(fileNameForTables(fileName), tables::kAccessPassword)) return std::nullopt;
    const std::string field = gbk(kProjectField);
    std::vector<std::string> names;
    // TODO(read-failure): a failed walk gives the names read so far as the list.
    (void)table.forEachRecord([&] {
        if (!table.isDeleted()) names.push_back(table.read(field).asText());
        return true;
    });
    table.close();
    return names;
}

ChangeResult appendProject(std::string_view nameGbk, std::string_view fileName) {
    if (nameGbk.empty()) return ChangeResult::Empty;
    tables::TableFile table;
    if (!table.open(fileNameForTables(fileName), tables::kAccessPassword))
        return ChangeResult::OpenFailed;
    // The outcome of the append is not consulted: the refilled list shows it.
    (void)table.append({tables::TableValue::text(std::string(nameGbk))});
    table.close();
    return ChangeResult::Done;
}

ChangeResult removeProject(std::string_view nameGbk, std::string_view fileName) {
    tables::TableFile table;
    if (!table.open(fileNameForTables(fileName), tables::kAccessPassword))
        return ChangeResult::OpenFailed;
    const std::string field = gbk(kProjectField);
    (void)table.goFirst();  // on a table just opened this cannot fail
    // A record left marked by an earlier failed purge is not the one shown.
    const auto matches = [&] {
        return !table.isDeleted() && table.read(field).asText() == nameGbk;
    };
    // TODO(read-failure): a search that fails is taken as "not there".
    // The outcome of the removal is not consulted: the refilled list shows it.
    if (table.find(matches).found && table.markDeleted()) (void)table.purge();
    table.close();
    return ChangeResult::Done;
}

}  // namespace projects
