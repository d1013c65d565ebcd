#include "system_tables.h"

#include "table_schema.h"

namespace edbtool {

std::vector<SystemTable> systemTables() {
    std::vector<SystemTable> out;
    for (const schema::Table& t : schema::kTables) {
        SystemTable& table = out.emplace_back();
        // The file on disk: a name without extension gets the default one.
        table.fileName = std::string(t.fileName);
        if (table.fileName.find('.') == std::string::npos) table.fileName += ".EDB";
        table.fields = schema::descriptors(t);
        if (t.fileName != schema::settings::kTable.fileName) continue;
        // The settings table starts with its one record: no password, every
        // switch off, skin 0 (the program never appends to it).
        std::vector<tables::TableValue> record;
        for (const schema::Field& f : t.fields) {
            if (f.type == tables::FieldType::Text)
                record.push_back(tables::TableValue::text(""));
            else if (f.type == tables::FieldType::Bool)
                record.push_back(tables::TableValue::boolean(false));
            else
                record.push_back(tables::TableValue::integer(0));
        }
        table.records.push_back(std::move(record));
    }
    return out;
}

}  // namespace edbtool
