#include <algorithm>
#include <charconv>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>

#include "backup.h"
#include "command_line.h"
#include "edbtool.h"
#include "failure.h"
#include "file_io.h"
#include "gbk.h"
#include "restore.h"
#include "scramble.h"
#include "system_tables.h"
#include "table_check.h"
#include "table_file.h"
#include "table_layout.h"
#include "values.h"

namespace edbtool {
namespace {

using tables::FieldDescriptor;
using tables::FieldType;
using tables::TableFile;
using tables::TableValue;

constexpr std::string_view kSystemPassword = schema::kPassword;

// A library failure that is not a table operation's (the fatal run-time error).
struct FatalFailure {};

struct Context {
    const CommandLine& cl;
    std::ostream& out;
    const std::string& file;  // the FILE argument as given

    [[noreturn]] void fail(tables::TableError code, std::string where = {}) const {
        throw ToolFailure{file, code, std::move(where)};
    }
    [[noreturn]] void fail(const tables::Status& status) const { fail(status.code()); }

    std::string password() const {
        if (!cl.password) return {};
        auto gbk = convert::utf8ToGbk(*cl.password);
        if (!gbk) fail(tables::kBadPasswordText);
        return *gbk;
    }
};

// The table file a name stands for, as open() resolves it.
std::string tableFilePath(std::string_view name) {
    return tables::layout::tableFilePath(tables::currentFileSystem(), name);
}

void expectPositionals(const CommandLine& cl, std::size_t n, const char* shape) {
    if (cl.positionals.size() != n) throw UsageError{"usage: edbtool " + cl.command + " " + shape};
}

void openTable(TableFile& table, const Context& ctx, bool readOnly) {
    tables::OpenOptions options;
    options.readOnly = readOnly;
    if (tables::Status s = table.open(ctx.file, ctx.password(), options); !s) ctx.fail(s);
}

// Puts the cursor on slot RECORD - 1 without clamping it into the table, so
// that a record before the first or past the end fails as the operation does
// there.
void placeCursor(TableFile& table, const Context& ctx, std::string_view recordText) {
    long long record = 0;
    const auto r =
        std::from_chars(recordText.data(), recordText.data() + recordText.size(), record);
    if (r.ec == std::errc::result_out_of_range) {
        record = recordText.front() == '-' ? 0 : std::numeric_limits<std::int32_t>::max();
    } else if (r.ec != std::errc() || r.ptr != recordText.data() + recordText.size()) {
        ctx.fail(tables::kNoCurrentRecord);
    }
    if (tables::Status s = table.goFirst(); !s) ctx.fail(s);
    // The skips' own results do not matter: where a skip refuses, the cursor
    // already stands where the operation that follows fails as it should.
    if (record < 1) {
        // Before the first record; on an empty table the cursor already
        // stands at the end, where the operation fails the same way.
        (void)table.skip(-1);
    } else if (record > 1) {
        // skip stops at the end of the table, which is as far past the last
        // record as any slot beyond it; on an empty table it refuses and the
        // cursor already stands at the end.
        (void)table.skip(static_cast<std::int32_t>(
            std::min<long long>(record - 1, std::numeric_limits<std::int32_t>::max())));
    }
}

std::vector<TableValue> parseValues(const TableFile& table, const Context& ctx,
                                    std::string_view json) {
    std::vector<TableValue> values;
    if (const auto code = valuesFromJson(json, table.fields(), values)) ctx.fail(code);
    return values;
}

// ---- create and init -------------------------------------------------------

FieldDescriptor parseFieldSpec(const Context& ctx, const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto colon = text.find(':', start);
        parts.push_back(text.substr(start, colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    if (parts.size() < 2 || parts.size() > 3) ctx.fail(tables::kBadFieldType);
    FieldDescriptor f;
    const auto gbk = convert::utf8ToGbk(parts[0]);
    if (!gbk || gbk->empty() || gbk->size() > 16 || gbk->find('\0') != std::string::npos)
        ctx.fail(tables::kBadFieldName);
    f.name = *gbk;
    const auto type = typeFromName(parts[1]);
    if (!type) ctx.fail(tables::kBadFieldType);
    f.type = *type;
    if (f.type == FieldType::Text) {
        if (parts.size() != 3) ctx.fail(tables::kBadFieldSize);
        const std::string& w = parts[2];
        const auto r = std::from_chars(w.data(), w.data() + w.size(), f.width);
        if (r.ec != std::errc() || r.ptr != w.data() + w.size() || f.width < 1)
            ctx.fail(tables::kBadFieldSize);
    } else if (parts.size() == 3) {
        ctx.fail(tables::kBadFieldSize);  // only text fields have a width
    }
    return f;
}

int cmdCreate(const Context& ctx) {
    if (ctx.cl.positionals.empty()) throw UsageError{"usage: edbtool create FILE FIELD..."};
    std::vector<FieldDescriptor> fields;
    std::int64_t recordSize = 4;
    for (std::size_t i = 1; i < ctx.cl.positionals.size(); ++i) {
        FieldDescriptor f = parseFieldSpec(ctx, ctx.cl.positionals[i]);
        recordSize += tables::fieldSize(f);
        if (recordSize > tables::layout::kMaxRecordSize) ctx.fail(tables::kBadFieldSize);
        // Field names are looked up without regard to case, so such twins
        // could never both be read.
        for (const auto& g : fields) {
            if (fieldNameKey(g.name) == fieldNameKey(f.name)) ctx.fail(tables::kDuplicateFieldName);
        }
        fields.push_back(std::move(f));
    }
    if (fields.empty()) ctx.fail(tables::kNoFields);
    const std::string password = ctx.password();
    if (const auto code = tables::createTable(tableFilePath(ctx.file), password, fields))
        ctx.fail(code);
    return 0;
}

// A path of UTF-8 bytes as the platform's file-system library takes it.
std::filesystem::path u8path(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

int cmdInit(const Context& ctx) {
    expectPositionals(ctx.cl, 1, "init DIR");
    const std::string& dir = ctx.file;
    // The folder must exist; a mistyped one is not made silently.
    std::error_code ec;
    if (!std::filesystem::is_directory(u8path(dir), ec)) ctx.fail(tables::kBadPath);
    for (const SystemTable& t : systemTables()) {
        const std::string path = tableFilePath(dir + "/" + t.fileName);
        if (std::filesystem::exists(u8path(path), ec)) {
            ctx.out << "kept " << t.fileName << '\n';
            continue;
        }
        const Context tableCtx{ctx.cl, ctx.out, path};
        if (const auto code = tables::createTable(path, kSystemPassword, t.fields))
            tableCtx.fail(code);
        if (!t.records.empty()) {
            TableFile table;
            if (tables::Status s = table.open(path, kSystemPassword); !s) tableCtx.fail(s);
            for (const auto& record : t.records) {
                if (tables::Status s = table.append(record); !s) tableCtx.fail(s);
            }
            table.close();
        }
        ctx.out << "created " << t.fileName << '\n';
    }
    return 0;
}

// ---- inspection ------------------------------------------------------------

int cmdInfo(const Context& ctx) {
    expectPositionals(ctx.cl, 1, "info FILE [--password P]");
    TableFile table;
    openTable(table, ctx, true);
    const std::string path = table.path();
    std::int32_t count = 0;
    if (tables::Status s = table.recordCount(count); !s) ctx.fail(s);
    std::int64_t deleted = 0;
    tables::TableError error = tables::kOk;
    std::int32_t failedRecord = 0;
    const tables::Status walked = table.forEachRecord([&] {
        bool isDeleted = false;
        const tables::Status s = table.isDeleted(isDeleted);
        if (isDeleted) ++deleted;
        if (s) return true;
        error = s.code();
        failedRecord = table.recordNumber();
        return false;
    });
    if (error != tables::kOk) ctx.fail(error, "record " + std::to_string(failedRecord));
    if (!walked) ctx.fail(walked);
    const auto fields = table.fields();
    const std::int32_t recordSize = table.recordSize();
    const std::int64_t dataStart = table.dataStart();
    table.close();

    // The header words the operations do not show, read by the same rules
    // open() applied.
    tables::FileSystem& fs = tables::currentFileSystem();
    tables::FileOpenRequest request;
    request.readOnly = true;
    const std::string password = ctx.password();
    tables::Scrambler scrambler(password);
    auto raw = fs.open(path, request, &error);
    if (!raw) ctx.fail(error);
    tables::layout::Faults faults(false);
    tables::layout::TableStructure structure;
    if (const auto e =
            tables::layout::readTableStructure(*raw, scrambler, password, faults, structure))
        ctx.fail(e);
    const tables::layout::TableHeader& h = structure.header;

    auto& out = ctx.out;
    out << "file: " << path << '\n'
        << "magic: " << (h.isProtected() ? "WCDB (protected)" : "WEDB (no password)") << '\n';
    char version[16];
    std::snprintf(version, sizeof version, "0x%08x", static_cast<unsigned>(h.version));
    out << "version: " << version << '\n'
        << "records: " << count << " (" << count - deleted << " live, " << deleted
        << " marked deleted)\n"
        << "next record id: " << h.nextId << '\n'
        << "record size: " << recordSize << '\n'
        << "data start: " << dataStart << '\n'
        << "fields: " << fields.size() << '\n';
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto& f = fields[i];
        out << "  " << i + 1 << ' ' << convert::gbkToUtf8(f.name) << ' ' << typeName(f.type)
            << " offset " << f.offset << " size " << tables::fieldSize(f) << '\n';
    }
    if (structure.hasMemo) {
        const std::string memoPath = tables::layout::memoFilePath(fs, path);
        auto memo = fs.open(memoPath, request, &error);
        if (!memo) ctx.fail(tables::kMemoOpenFailed);
        tables::layout::MemoHeaderWords m;
        if (const auto e = tables::layout::readMemoHeader(*memo, scrambler, h.version, faults, m))
            ctx.fail(e);
        out << "memo file: " << memoPath << '\n'
            << "memo blocks: " << m.blockCount << " (" << m.freeCount << " free, first free "
            << m.firstFree << ")\n";
    }
    return 0;
}

// Walks every slot in file order, reading all fields; `row` gets the slot's
// record number, id and values.
template <typename Row>
void eachRecord(TableFile& table, const Context& ctx, Row row) {
    const auto& fields = table.fields();
    std::vector<TableValue> values(fields.size());
    tables::TableError error = tables::kOk;
    std::int32_t failedRecord = 0;
    // The batched walk; a failure stops it and is reported once it is over,
    // with the record it arose at.
    const tables::Status walked = table.forEachRecord([&] {
        std::int32_t id = 0;
        if (tables::Status s = table.recordId(id); !s) error = s.code();
        for (std::size_t f = 0; f < fields.size() && error == tables::kOk; ++f) {
            values[f] = table.read(static_cast<int>(f + 1));
            error = tables::lastTableError();
        }
        if (error != tables::kOk) {
            failedRecord = table.recordNumber();
            return false;
        }
        row(table.recordNumber(), id, values);
        return true;
    });
    if (error != tables::kOk) ctx.fail(error, "record " + std::to_string(failedRecord));
    if (!walked) ctx.fail(walked);
}

int cmdDump(const Context& ctx) {
    expectPositionals(ctx.cl, 1, "dump FILE [--password P] [--format csv|json]");
    const std::string format = ctx.cl.format.value_or("json");
    if (format != "json" && format != "csv") throw UsageError{"--format is csv or json"};
    TableFile table;
    openTable(table, ctx, true);
    const auto fields = table.fields();
    auto& out = ctx.out;
    if (format == "json") {
        eachRecord(
            table, ctx,
            [&](std::int32_t record, std::int32_t id, const std::vector<TableValue>& values) {
                out << "{\"record\":" << record << ",\"id\":" << id
                    << ",\"deleted\":" << (id < 0 ? "true" : "false") << ",\"values\":[";
                for (std::size_t f = 0; f < fields.size(); ++f) {
                    if (f) out << ',';
                    out << jsonValue(values[f], fields[f]);
                }
                out << "]}\n";
            });
    } else {
        for (std::size_t f = 0; f < fields.size(); ++f) {
            if (f) out << ',';
            out << csvQuote(convert::gbkToUtf8(fields[f].name));
        }
        out << '\n';
        eachRecord(table, ctx,
                   [&](std::int32_t, std::int32_t id, const std::vector<TableValue>& values) {
                       if (id < 0) return;
                       for (std::size_t f = 0; f < fields.size(); ++f) {
                           if (f) out << ',';
                           out << csvQuote(csvValue(values[f], fields[f]));
                       }
                       out << '\n';
                   });
    }
    table.close();
    return 0;
}

// Damage as "FILE: text", what repair mends as "FILE: warning: text".
void printFindings(const Context& ctx, const std::vector<tables::Finding>& findings) {
    for (const auto& f : findings) {
        ctx.out << ctx.file << ": " << (f.severity == tables::Severity::Damage ? "" : "warning: ")
                << f.text << '\n';
    }
}

int cmdCheck(const Context& ctx) {
    expectPositionals(ctx.cl, 1, "check FILE [--password P]");
    tables::CheckReport report;
    if (const tables::Status s = tables::checkTable(ctx.file, ctx.password(), report); !s)
        ctx.fail(s);
    printFindings(ctx, report.findings);
    if (report.damaged()) ctx.fail(report.damageCode());
    const std::size_t n = report.findings.size();
    if (n == 0) {
        ctx.out << ctx.file << ": no problems found\n";
    } else {
        ctx.out << ctx.file << ": no damage found; " << n << (n == 1 ? " warning" : " warnings")
                << ": run edbtool repair\n";
    }
    return 0;
}

int cmdRepair(const Context& ctx) {
    expectPositionals(ctx.cl, 1, "repair FILE [--password P]");
    tables::RepairReport report;
    const tables::Status s = tables::repairTable(ctx.file, ctx.password(), report);
    const bool refused = std::any_of(
        report.findings.begin(), report.findings.end(),
        [](const tables::Finding& f) { return f.severity == tables::Severity::Damage; });
    if (refused) {
        printFindings(ctx, report.findings);
        ctx.out << ctx.file
                << ": repair refused: repair cannot mend this damage safely; nothing was changed\n";
        ctx.fail(s);
    }
    for (const auto& change : report.changes) ctx.out << ctx.file << ": " << change << '\n';
    if (!s) ctx.fail(s);
    ctx.out << ctx.file << (report.changes.empty() ? ": nothing to repair\n" : ": repaired\n");
    return 0;
}

// ---- changes ---------------------------------------------------------------

int cmdAppend(const Context& ctx) {
    expectPositionals(ctx.cl, 2, "append FILE [--password P] JSON_ARRAY");
    TableFile table;
    openTable(table, ctx, false);
    const auto values = parseValues(table, ctx, ctx.cl.positionals[1]);
    if (tables::Status s = table.append(values); !s) ctx.fail(s);
    ctx.out << "{\"record\":" << table.recordNumber() << ",\"id\":" << table.recordId() << "}\n";
    table.close();
    return 0;
}

int cmdWrite(const Context& ctx) {
    expectPositionals(ctx.cl, 3, "write FILE RECORD [--password P] JSON_ARRAY");
    TableFile table;
    openTable(table, ctx, false);
    placeCursor(table, ctx, ctx.cl.positionals[1]);
    std::vector<TableValue> values;
    if (const auto code = valuesFromJson(ctx.cl.positionals[2], table.fields(), values)) {
        // write refuses a cursor before the first record before it looks at
        // the values.
        ctx.fail(table.recordNumber() == 0 ? tables::kNoCurrentRecord : code);
    }
    if (tables::Status s = table.write(values); !s) ctx.fail(s);
    table.close();
    return 0;
}

int cmdDelete(const Context& ctx) {
    expectPositionals(ctx.cl, 2, "delete FILE RECORD [--password P]");
    TableFile table;
    openTable(table, ctx, false);
    placeCursor(table, ctx, ctx.cl.positionals[1]);
    if (tables::Status s = table.markDeleted(); !s) ctx.fail(s);
    table.close();
    return 0;
}

int cmdPurge(const Context& ctx) {
    expectPositionals(ctx.cl, 1, "purge FILE [--password P]");
    TableFile table;
    openTable(table, ctx, false);
    if (tables::Status s = table.purge(); !s) ctx.fail(s);
    table.close();
    return 0;
}

// ---- backups ---------------------------------------------------------------

std::string stepName(backup::Failure::Step step) {
    using Step = backup::Failure::Step;
    switch (step) {
        case Step::None:
            return {};
        case Step::Folder:
            return "making the backup folder";
        case Step::Lock:
            return "locking the table";
        case Step::Copy:
            return "copying";
        case Step::Verify:
            return "checking the copy";
        case Step::Listing:
            return "writing the listing";
        case Step::NotVerified:
            return "the backup has no verified listing";
        case Step::Stage:
            return "copying the backup beside the tables";
        case Step::Journal:
            return "writing the journal";
        case Step::Swap:
            return "putting the copy in place";
        case Step::Pending:
            return "finishing an earlier restore";
    }
    return {};
}

[[noreturn]] void failWith(const Context& ctx, const backup::Failure& f) {
    throw ToolFailure{f.file.empty() ? ctx.file : f.file, f.code, stepName(f.step)};
}

void expectFolder(const std::string& dir) {
    std::error_code ec;
    if (!std::filesystem::is_directory(u8path(dir), ec))
        throw ToolFailure{dir, tables::kBadPath, "no such folder"};
}

// A restore that stopped part-way in DIR is finished (or undone) before the
// tables there are copied or replaced.
void finishEarlierRestore(const Context& ctx, const std::string& dir) {
    const backup::RecoveryOutcome r = backup::recoverRestore(dir);
    switch (r.result) {
        case backup::Recovery::Nothing:
            break;
        case backup::Recovery::Completed:
            ctx.out << dir << ": finished a restore that had stopped part-way\n";
            break;
        case backup::Recovery::RolledBack:
            ctx.out << dir << ": undid a restore that had stopped before it changed anything\n";
            break;
        case backup::Recovery::Failed:
            failWith(ctx, r.failure);
    }
}

void printBackup(const Context& ctx, const backup::BackupInfo& info) {
    for (const backup::TableCopy& t : info.tables) {
        if (!t.present) {
            ctx.out << "  " << t.fileName << ": not there, not backed up\n";
            continue;
        }
        ctx.out << "  " << t.fileName << ": " << t.bytes << " bytes, " << t.records << " records\n";
        if (!t.memoFileName.empty())
            ctx.out << "  " << t.memoFileName << ": " << t.memoBytes << " bytes\n";
    }
}

int cmdBackup(const Context& ctx) {
    expectPositionals(ctx.cl, 2, "backup DIR DEST");
    const std::string& dir = ctx.cl.positionals[0];
    const std::string& dest = ctx.cl.positionals[1];
    expectFolder(dir);
    finishEarlierRestore(ctx, dir);
    backup::BackupRequest request;
    request.tablesDir = dir;
    request.root = dest;
    const backup::BackupOutcome made = backup::makeBackup(request);
    if (made.nothingToBackUp) throw ToolFailure{dir, tables::kFileNotFound, "no table to back up"};
    if (!made.failure.ok()) failWith(ctx, made.failure);
    ctx.out << "backed up to " << made.made.path << '\n';
    printBackup(ctx, made.made);
    return 0;
}

int cmdRestore(const Context& ctx) {
    expectPositionals(ctx.cl, 2, "restore BACKUP DIR");
    const std::string& from = ctx.cl.positionals[0];
    const std::string& dir = ctx.cl.positionals[1];
    expectFolder(from);
    expectFolder(dir);
    backup::RestoreRequest request;
    request.tablesDir = dir;
    request.backupPath = from;
    backup::RestoreOutcome restored = backup::restoreBackup(request);
    if (restored.pending) {
        // One more go at once: what stopped it may have passed.
        const backup::RecoveryOutcome again = backup::recoverRestore(dir);
        if (again.result == backup::Recovery::Completed) restored.failure = {};
        if (again.result == backup::Recovery::Failed) {
            ctx.out << dir
                    << ": the restore stopped part-way; run edbtool restore again or "
                       "start the program to finish it\n";
        }
    }
    if (!restored.failure.ok()) failWith(ctx, restored.failure);
    ctx.out << "restored " << from << " into " << dir << '\n';
    for (const std::string& kept : restored.kept)
        ctx.out << "  " << kept << ": not in the backup, kept as it was\n";
    ctx.out << "the tables as they were: " << restored.before.path << '\n';
    return 0;
}

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string file;
    try {
        const CommandLine cl = parseCommandLine(args);
        if (cl.help || cl.command.empty()) {
            (cl.help ? out : err) << usageText();
            return cl.help ? 0 : 1;
        }
        static const std::pair<std::string_view, int (*)(const Context&)> kCommands[] = {
            {"create", cmdCreate}, {"init", cmdInit},     {"info", cmdInfo},
            {"dump", cmdDump},     {"append", cmdAppend}, {"write", cmdWrite},
            {"delete", cmdDelete}, {"purge", cmdPurge},   {"check", cmdCheck},
            {"repair", cmdRepair}, {"backup", cmdBackup}, {"restore", cmdRestore}};
        const auto* command = std::find_if(std::begin(kCommands), std::end(kCommands),
                                           [&](const auto& c) { return c.first == cl.command; });
        if (command == std::end(kCommands)) throw UsageError{"unknown command " + cl.command};
        if (cl.positionals.empty()) throw UsageError{"usage: edbtool " + cl.command + " FILE ..."};
        file = cl.positionals.front();
        tables::setFatalHandler([](std::string_view) { throw FatalFailure{}; });
        const Context ctx{cl, out, file};
        const int status = command->second(ctx);
        out.flush();
        return status;
    } catch (const ToolFailure& f) {
        out.flush();
        err << "edbtool: " << f.file << ": " << f.code << ' ' << tables::errorText(f.code);
        if (!f.where.empty()) err << " (" << f.where << ')';
        err << '\n';
    } catch (const FatalFailure&) {
        out.flush();
        err << "edbtool: " << file << ": " << tables::kUnknown << ' '
            << tables::errorText(tables::kUnknown) << '\n';
    } catch (const UsageError& e) {
        err << "edbtool: " << e.message << '\n';
    }
    return 1;
}

}  // namespace edbtool
