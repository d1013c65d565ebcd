// Makes the fuzz target's seed corpus (README.md beside this file): sound
// plain and protected tables, with and without memo chains and free lists,
// made with the table operations, and damaged copies of them made by
// changing chosen bytes. Usage: table_fuzz_corpus DIRECTORY
// The same program always writes the same files.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "table_file.h"

namespace {

using namespace tables;
using tables::fuzz::Bytes;
using tables::fuzz::Files;
using tables::fuzz::MemoryFileSystem;

std::filesystem::path gOut;
MemoryFileSystem gFs;
int gWritten = 0;

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "table_fuzz_corpus: %s (table error %d)\n", what.c_str(),
                 lastTableError());
    std::exit(1);
}

void ok(bool good, const std::string& what) {
    if (!good) die(what);
}

void save(const std::string& name, const Files& files) {
    const Bytes bytes = fuzz::pack(files);
    std::ofstream out(gOut / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) die("cannot write " + (gOut / name).string());
    ++gWritten;
}

void put32(Bytes& b, std::size_t at, std::int32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int k = 0; k < 4; ++k)
        b[at + k] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * k));
}

FieldDescriptor field(std::string name, FieldType type, std::int32_t width = 0) {
    FieldDescriptor f;
    f.name = std::move(name);
    f.type = type;
    f.width = width;
    return f;
}

// GBK names of the program's ledger fields: 日期 客户 事件 金额 备注 状态.
std::vector<FieldDescriptor> ledgerFields() {
    return {field("\xC8\xD5\xC6\xDA", FieldType::DateTime),
            field("\xBF\xCD\xBB\xA7", FieldType::Text, 40),
            field("\xCA\xC2\xBC\xFE", FieldType::Text, 100),
            field("\xBD\xF0\xB6\xEE", FieldType::Double),
            field("\xB1\xB8\xD7\xA2", FieldType::Text, 200),
            field("\xD7\xB4\xCC\xAC", FieldType::Bool)};
}

// A memo text, a byte set and a short text: a table with chains.
std::vector<FieldDescriptor> noteFields() {
    return {field("name", FieldType::Text, 12), field("note", FieldType::Memo),
            field("blob", FieldType::Bytes), field("n", FieldType::Integer)};
}

// Every field type once.
std::vector<FieldDescriptor> everyTypeFields() {
    return {field("b", FieldType::Byte),     field("s", FieldType::Short),
            field("i", FieldType::Integer),  field("l", FieldType::Long),
            field("f", FieldType::Float),    field("d", FieldType::Double),
            field("ok", FieldType::Bool),    field("at", FieldType::DateTime),
            field("sub", FieldType::SubRef), field("t", FieldType::Text, 1),
            field("set", FieldType::Bytes),  field("memo", FieldType::Memo)};
}

// A table made by `fill` (given the open table) with `password`, as plain files.
Files make(std::string_view password, const std::vector<FieldDescriptor>& fields,
           const std::function<void(TableFile&)>& fill) {
    gFs.clear();
    ok(createTable(fuzz::kTablePath, password, fields) == kOk, "createTable");
    TableFile t;
    ok(t.open(fuzz::kTablePath, password).ok(), "open");
    fill(t);
    t.close();
    return fuzz::plainFiles(gFs, password);
}

void ledgerRows(TableFile& t, int rows) {
    for (int i = 0; i < rows; ++i) {
        ok(t.append({TableValue::dateTime(45000 + i), TableValue::text("\xD5\xC5\xC8\xFD"),
                     TableValue::text("frame A4 " + std::to_string(i)),
                     TableValue::number(12.5 * i), TableValue::text(i % 2 ? "" : "paid"),
                     TableValue::boolean(i % 2 == 0)})
               .ok(),
           "append");
    }
}

void noteRow(TableFile& t, const std::string& name, std::size_t noteBytes, std::size_t blobBytes) {
    std::string blob(blobBytes, '\0');
    for (std::size_t k = 0; k < blob.size(); ++k) blob[k] = static_cast<char>(k * 7);
    ok(t.append({TableValue::text(name), TableValue::text(std::string(noteBytes, 'n')),
                 TableValue::bytes(blob),
                 TableValue::integer(static_cast<std::int64_t>(noteBytes))})
           .ok(),
       "append note");
}

// Four records with chains of one to three blocks.
void noteRows(TableFile& t) {
    noteRow(t, "one", 10, 3);
    noteRow(t, "two", 501, 0);
    noteRow(t, "three", 1200, 600);
    noteRow(t, "four", 0, 40);
}

// The same, then changes that leave free blocks inside the file: a value
// shrunk, a record with chains purged.
void noteRowsWithFreeList(TableFile& t) {
    noteRows(t);
    noteRow(t, "five", 30, 30);  // the file's last blocks stay in use
    ok(t.goTo(3).ok() && t.write({TableValue(), TableValue::text("now short")}).ok(), "shrink");
    ok(t.goTo(2).ok() && t.markDeleted().ok() && t.purge().ok(), "purge");
}

std::size_t descriptor(int i) { return 116 + 72 * static_cast<std::size_t>(i); }

void makeSound() {
    for (const bool protectedTable : {true, false}) {
        const std::string pw = protectedTable ? std::string(fuzz::kPassword) : std::string();
        const std::string kind = protectedTable ? "protected" : "plain";
        save("sound-ledger-empty-" + kind, make(pw, ledgerFields(), [](TableFile&) {}));
        save("sound-ledger-" + kind, make(pw, ledgerFields(), [](TableFile& t) {
                 ledgerRows(t, 6);
                 ok(t.goTo(4).ok() && t.markDeleted().ok(), "mark");
             }));
        save("sound-notes-" + kind, make(pw, noteFields(), noteRows));
        save("sound-notes-free-list-" + kind, make(pw, noteFields(), noteRowsWithFreeList));
        save(
            "sound-every-type-" + kind, make(pw, everyTypeFields(), [](TableFile& t) {
                ok(t.append({TableValue::integer(255), TableValue::integer(-2),
                             TableValue::integer(70000), TableValue::integer(1LL << 40),
                             TableValue::number(0.25), TableValue::number(-1e300),
                             TableValue::boolean(true), TableValue::dateTime(3000000),
                             TableValue::subRef(9), TableValue::text("xy"),
                             TableValue::bytes(std::string("\0\1\2", 3)), TableValue::text("memo")})
                       .ok(),
                   "append every type");
                ok(t.append(std::span<const TableValue>()).ok(), "append nothing");
            }));
    }
    // Emptied values: the memo file shrinks back to block 0.
    save("sound-notes-emptied-protected", make(fuzz::kPassword, noteFields(), [](TableFile& t) {
             noteRows(t);
             for (int n = 1; n <= 4; ++n)
                 ok(t.goTo(n).ok() &&
                        t.write({TableValue(), TableValue::text(""), TableValue::bytes("")}).ok(),
                    "empty");
         }));
}

void makeDamaged() {
    const Files ledger =
        make(fuzz::kPassword, ledgerFields(), [](TableFile& t) { ledgerRows(t, 4); });
    const Files notes = make(fuzz::kPassword, noteFields(), noteRowsWithFreeList);
    const Files plainNotes = make("", noteFields(), noteRows);
    auto damaged = [](const std::string& name, Files f, const std::function<void(Files&)>& edit) {
        edit(f);
        save("damaged-" + name, f);
    };
    const std::size_t ledgerData = descriptor(6), notesData = descriptor(4);
    damaged("version-too-high", ledger, [](Files& f) { put32(f.table, 4, 0x10001); });
    damaged("count-beyond-file", ledger, [](Files& f) { put32(f.table, 16, 9); });
    damaged("surplus-bytes", ledger, [](Files& f) { f.table.resize(f.table.size() + 100, 0x5a); });
    damaged("short-last-slot", ledger, [](Files& f) { f.table.resize(f.table.size() - 7); });
    damaged("next-id-zero", ledger, [](Files& f) { put32(f.table, 20, 0); });
    damaged("record-size-zero", ledger, [](Files& f) { put32(f.table, 24, 0); });
    damaged("record-size-huge", ledger, [](Files& f) { put32(f.table, 24, 0x7fffffff); });
    damaged("field-count-zero", ledger, [](Files& f) { put32(f.table, 112, 0); });
    damaged("field-count-huge", ledger, [](Files& f) { put32(f.table, 112, 0x1000000); });
    damaged("wrong-digest", ledger, [](Files& f) { f.table[30] ^= 1; });
    damaged("header-cut", ledger, [](Files& f) { f.table.resize(50); });
    damaged("unknown-type", ledger, [&](Files& f) { put32(f.table, descriptor(2) + 20, 13); });
    damaged("name-without-nul", ledger,
            [&](Files& f) { std::fill_n(f.table.begin() + descriptor(0), 17, 'x'); });
    damaged("field-past-record", ledger,
            [&](Files& f) { put32(f.table, descriptor(5) + 24, 400); });
    damaged("field-in-record-id", ledger, [&](Files& f) { put32(f.table, descriptor(0) + 24, 1); });
    damaged("text-width-zero", ledger, [&](Files& f) { put32(f.table, descriptor(1) + 28, 0); });
    damaged("id-zero-and-repeated", ledger, [&](Files& f) {
        const std::size_t rs = static_cast<std::size_t>(f.table[24] | f.table[25] << 8);
        put32(f.table, ledgerData, 0);
        put32(f.table, ledgerData + rs, 3);
    });
    damaged("memo-missing", notes, [](Files& f) { f.hasMemo = false; });
    damaged("memo-empty-file", notes, [](Files& f) { f.memo.clear(); });
    damaged("memo-magic", notes, [](Files& f) { f.memo[1] = 'X'; });
    damaged("memo-version", notes, [](Files& f) { put32(f.memo, 4, 0x20000); });
    damaged("memo-count-beyond-file", notes, [](Files& f) { put32(f.memo, 16, 40); });
    damaged("memo-free-head-out-of-range", notes, [](Files& f) { put32(f.memo, 24, 999); });
    damaged("memo-free-count-wrong", notes, [](Files& f) { put32(f.memo, 20, 5); });
    damaged("memo-chain-loop", notes, [](Files& f) { put32(f.memo, 512 * 1 + 4, 1); });
    damaged("memo-used-too-big", notes, [](Files& f) { put32(f.memo, 512 * 2 + 8, 501); });
    damaged("memo-first-block-past-file", notes, [&](Files& f) {
        const std::size_t noteAt = static_cast<std::size_t>(f.table[descriptor(1) + 24]);
        put32(f.table, notesData + noteAt, 77);
    });
    damaged("memo-chain-shared", plainNotes, [&](Files& f) {
        // Record 2's byte set made to start where record 1's memo starts.
        const std::size_t rs = static_cast<std::size_t>(f.table[24]);
        const std::size_t noteAt = static_cast<std::size_t>(f.table[descriptor(1) + 24]);
        const std::size_t blobAt = static_cast<std::size_t>(f.table[descriptor(2) + 24]);
        for (int k = 0; k < 4; ++k)
            f.table[notesData + rs + blobAt + k] = f.table[notesData + noteAt + k];
    });
    damaged("memo-cut-mid-block", plainNotes, [](Files& f) { f.memo.resize(f.memo.size() - 100); });
    damaged("empty-input", ledger, [](Files& f) {
        f.table.clear();
        f.hasMemo = false;
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: table_fuzz_corpus DIRECTORY\n");
        return 2;
    }
    gOut = argv[1];
    std::filesystem::create_directories(gOut);
    setFileSystemForTesting(&gFs);
    makeSound();
    makeDamaged();
    setFileSystemForTesting(nullptr);
    std::printf("%d files in %s\n", gWritten, gOut.string().c_str());
    return 0;
}
