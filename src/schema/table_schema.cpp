#include "table_schema.h"

#include "text.h"

namespace schema {

std::vector<tables::FieldDescriptor> descriptors(const Table& table) {
    std::vector<tables::FieldDescriptor> out;
    out.reserve(table.fields.size());
    for (const Field& f : table.fields) {
        tables::FieldDescriptor d;
        d.name = std::string(f.name);
        d.type = f.type;
        d.width = f.type == tables::FieldType::Text ? f.width : 0;
        out.push_back(std::move(d));
    }
    return out;
}

std::int32_t textWidth(const std::vector<tables::FieldDescriptor>& fields,
                       std::string_view gbkName) {
    for (const auto& f : fields) {
        if (f.name == gbkName) return f.type == tables::FieldType::Text ? f.width : 0;
    }
    return 0;
}

std::string fitToField(const std::vector<tables::FieldDescriptor>& fields, std::string_view gbkName,
                       std::string_view text) {
    const std::int32_t width = textWidth(fields, gbkName);
    if (width <= 0) return std::string(text);
    return convert::fitToWidth(text, static_cast<std::size_t>(width));
}

}  // namespace schema
