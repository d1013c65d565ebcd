#include "projects.h"

#include "table_file.h"

namespace projects {

namespace {

// File names go to the table layer as UTF-8 on every platform.
std::string fileNameForTables(std::string_view utf8) { return std::string(utf8); }

}  // namespace

std::optional<std::vector<std::string>> readProjects(std::string_view fileName) {
    tables::TableFile table;
    if (!table.open(fileNameForTables(fileName), tables::kAccessPassword)) return std::nullopt;
    const std::string_view field = kProjectField;
    std::vector<std::string> names;
    const tables::Status walked = table.forEachRecord([&] {
        if (!table.isDeleted()) names.push_back(table.read(field).asText());
        return true;
    });
    table.close();
    // A part of the list is no list: reported as a table that cannot be read.
    if (!walked) return std::nullopt;
    return names;
}

ChangeResult appendProject(std::string_view nameGbk, std::string_view fileName) {
    if (nameGbk.empty()) return ChangeResult::Empty;
    tables::TableFile table;
    if (!table.open(fileNameForTables(fileName), tables::kAccessPassword))
        return ChangeResult::OpenFailed;
    // The outcome of the append is not consulted: the refilled list shows it.
    // A name longer than the field is cut at a whole character.
    (void)table.append(
        {tables::TableValue::text(schema::fitToField(table.fields(), kProjectField, nameGbk))});
    table.close();
    return ChangeResult::Done;
}

ChangeResult removeProject(std::string_view nameGbk, std::string_view fileName) {
    tables::TableFile table;
    if (!table.open(fileNameForTables(fileName), tables::kAccessPassword))
        return ChangeResult::OpenFailed;
    const std::string_view field = kProjectField;
    (void)table.goFirst();  // on a table just opened this cannot fail
    // A record left marked by an earlier failed purge is not the one shown.
    const auto matches = [&] {
        return !table.isDeleted() && table.read(field).asText() == nameGbk;
    };
    // The outcome of the removal is not consulted: the refilled list shows it.
    // A search that cannot read the table is reported as a table that cannot
    // be opened, not taken for "not there".
    const tables::FindResult found = table.find(matches);
    if (found.found && table.markDeleted()) (void)table.purge();
    table.close();
    return found.found || found.status ? ChangeResult::Done : ChangeResult::OpenFailed;
}

}  // namespace projects
