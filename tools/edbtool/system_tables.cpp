#include "system_tables.h"

#include "gbk.h"

namespace edbtool {
namespace {

using tables::FieldType;
using tables::TableValue;

tables::FieldDescriptor field(const char* utf8Name, FieldType type, std::int32_t width = 0) {
    tables::FieldDescriptor f;
    f.name = convert::utf8ToGbk(utf8Name).value_or(std::string());
    f.type = type;
    f.width = width;
    return f;
}

}  // namespace

std::vector<SystemTable> systemTables() {
    std::vector<SystemTable> t(4);

    t[0].fileName = "记账.edb";
    t[0].fields = {field("日期", FieldType::DateTime),  field("客户", FieldType::Text, 40),
                   field("事件", FieldType::Text, 100), field("金额", FieldType::Double),
                   field("备注", FieldType::Text, 200), field("状态", FieldType::Bool)};

    // The save writes by position, so this order is binding.
    t[1].fileName = "设置.edb";
    t[1].fields.push_back(field("密码", FieldType::Text, 40));
    for (const char* name :
         {"记账录入", "记账日期", "记账修改删除", "统计模糊", "统计时间", "统计组合", "客户添加",
          "客户修改", "客户删除", "登录密码", "查询密码", "客户密码"})
        t[1].fields.push_back(field(name, FieldType::Bool));
    t[1].fields.push_back(field("皮肤号", FieldType::Integer));
    std::vector<TableValue> settings{TableValue::text("")};
    for (int i = 0; i < 12; ++i) settings.push_back(TableValue::boolean(false));
    settings.push_back(TableValue::integer(0));
    t[1].records.push_back(std::move(settings));

    t[2].fileName = "项目.edb";
    t[2].fields = {field("项目", FieldType::Text, 100)};

    t[3].fileName = "客户.EDB";
    t[3].fields = {field("姓名", FieldType::Text, 40), field("电话", FieldType::Text, 40),
                   field("地址", FieldType::Text, 100), field("备注", FieldType::Text, 200)};
    return t;
}

}  // namespace edbtool
