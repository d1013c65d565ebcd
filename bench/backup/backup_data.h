// The benchmarks' folder: the four tables as the program keeps them, the
// ledger holding `entries` records (about 90 a day, 300 customers, 40 items,
// short remarks), made once per run in a scratch folder.
#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "gbk.h"
#include "table_file.h"
#include "table_schema.h"

namespace bench_backup {

inline std::string gbk(const std::string& utf8) { return convert::utf8ToGbk(utf8).value(); }

class TableFolder {
  public:
    TableFolder(const std::string& name, int entries) {
        dir_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        for (const schema::Table& t : schema::kTables) {
            std::string file(t.fileName);
            if (file.find('.') == std::string::npos) file += ".EDB";
            if (tables::createTable((dir_ / file).string(), tables::kAccessPassword,
                                    schema::descriptors(t)) != 0)
                throw std::runtime_error("create");
        }
        tables::TableFile t;
        if (!t.open((dir_ / "设置.edb").string(), tables::kAccessPassword) ||
            !t.append({tables::TableValue::text("")}))
            throw std::runtime_error("settings");
        t.close();
        fillLedger(entries);
    }
    ~TableFolder() { std::filesystem::remove_all(dir_); }

    std::string path() const { return dir_.string(); }

  private:
    void fillLedger(int entries) {
        const char* surnames[] = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴",
                                  "徐", "孙", "胡", "朱", "高", "林", "何", "郭", "马", "罗"};
        const char* given[] = {"建国", "伟", "芳", "娜", "敏", "静", "丽", "强",
                               "磊",   "军", "洋", "勇", "艳", "杰", "娟"};
        std::vector<std::string> customers;
        for (const char* s : surnames)
            for (const char* n : given) customers.push_back(gbk(std::string(s) + n));
        const char* kinds[] = {"照片冲印", "相框", "装裱",   "写真",
                               "喷绘",     "海报", "证件照", "婚纱照"};
        const char* sizes[] = {"5寸", "6寸", "7寸", "10寸", "A4"};
        std::vector<std::string> items;
        for (const char* k : kinds)
            for (const char* z : sizes) items.push_back(gbk(std::string(k) + z));
        const std::vector<std::string> remarks{"", "", gbk("加急"), gbk("数量2 尺寸1.2米X0.8米"),
                                               gbk("含框")};
        tables::TableFile t;
        if (!t.open((dir_ / "记账.edb").string(), tables::kAccessPassword))
            throw std::runtime_error("open");
        std::mt19937 rng(20240305);
        using tables::TableValue;
        for (int i = 0; i < entries; ++i) {
            if (!t.append({TableValue::dateTime(44197.0 + i / 90),
                           TableValue::text(customers[rng() % customers.size()]),
                           TableValue::text(items[rng() % items.size()]),
                           TableValue::number(static_cast<double>(rng() % 4000) / 2.0 + 1.0),
                           TableValue::text(remarks[rng() % remarks.size()]),
                           TableValue::boolean(rng() % 3 == 0)}))
                throw std::runtime_error("append");
        }
        t.close();
        // And the customers the entries name.
        if (!t.open((dir_ / "客户.EDB").string(), tables::kAccessPassword))
            throw std::runtime_error("open");
        for (const std::string& c : customers)
            if (!t.append({TableValue::text(c)})) throw std::runtime_error("append");
        t.close();
    }

    std::filesystem::path dir_;
};

}  // namespace bench_backup
