#include "backup.h"

#include <algorithm>
#include <charconv>
#include <tuple>

#include "backup_internal.h"
#include "table_check.h"
#include "table_file.h"
#include "table_layout.h"
#include "table_schema.h"

namespace backup {

using tables::TableError;

namespace {

constexpr std::string_view kListingTitle = "岚禾记账备份";
constexpr std::string_view kTimeKey = "时间";
constexpr std::string_view kTableKey = "表";
constexpr std::string_view kMemoKey = "附属";
constexpr std::string_view kMissingKey = "缺少";
constexpr std::string_view kTotalKey = "合计";
constexpr std::string_view kVerifiedLine = "核对\t通过";

std::string codeText(TableError code) { return std::string(tables::errorText(code)); }

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t tab = line.find('\t');
        parts.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos) break;
        line.remove_prefix(tab + 1);
    }
    return parts;
}

template <typename T>
bool number(std::string_view text, T& out) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), out);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool parseDisplayTime(std::string_view text, LocalTime& t) {
    // "2024-03-01 09:30:12"
    if (text.size() != 19) return false;
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9') digits += c;
    if (digits.size() != 14) return false;
    return parseFolderName(digits.substr(0, 8) + "-" + digits.substr(8), t);
}

// The number after a second "-" in a folder name: "…-093012-3" gives 3.
int suffixOf(std::string_view name) {
    int n = 0;
    if (name.size() > 16 && number(name.substr(16), n)) return n;
    return 0;
}

}  // namespace

std::string Failure::text() const {
    const std::string why = codeText(code);
    switch (step) {
        case Step::None:
            return {};
        case Step::Folder:
            return "无法建立备份文件夹：" + why;
        case Step::Lock:
            return file + " 正在被使用，无法加锁：" + why;
        case Step::Copy:
        case Step::Stage:
            return "复制 " + file + " 出错：" + why;
        case Step::Verify:
            return file + " 的副本核对不通过：" + why;
        case Step::Listing:
            return "无法写入备份清单：" + why;
        case Step::NotVerified:
            return "该备份没有核对通过";
        case Step::Journal:
            return "无法写入恢复记录：" + why;
        case Step::Swap:
            return "替换 " + file + " 出错：" + why;
        case Step::Pending:
            return "上次的恢复还没有完成：" + why;
    }
    return why;
}

// ------------------------------------------------------------ info

std::int64_t BackupInfo::totalBytes() const {
    std::int64_t sum = 0;
    for (const TableCopy& t : tables) sum += t.bytes + t.memoBytes;
    return sum;
}

const TableCopy* BackupInfo::table(std::string_view schemaFileName) const {
    const std::string name = detail::fileNameOf(schemaFileName);
    for (const TableCopy& t : tables)
        if (detail::sameFileName(t.fileName, name)) return &t;
    return nullptr;
}

std::int32_t BackupInfo::ledgerEntries() const {
    const TableCopy* t = table(schema::ledger::kTable.fileName);
    return t && t->present ? t->records : 0;
}

std::int32_t BackupInfo::customerCount() const {
    const TableCopy* t = table(schema::customers::kTable.fileName);
    return t && t->present ? t->records : 0;
}

std::string listingText(const BackupInfo& info) {
    std::string out;
    out.append(kListingTitle).append("\n");
    out.append(kTimeKey).append("\t").append(displayText(info.time)).append("\n");
    for (const TableCopy& t : info.tables) {
        if (!t.present) {
            out.append(kMissingKey)
                .append("\t")
                .append(t.fileName)
                .append("\t备份时程序旁没有这个表，没有备份\n");
            continue;
        }
        out.append(kTableKey).append("\t").append(t.fileName).append("\t");
        out.append(std::to_string(t.bytes)).append("\t").append(std::to_string(t.records));
        out.append("\n");
        if (!t.memoFileName.empty()) {
            out.append(kMemoKey).append("\t").append(t.memoFileName).append("\t");
            out.append(std::to_string(t.memoBytes)).append("\n");
        }
    }
    out.append(kTotalKey).append("\t").append(std::to_string(info.totalBytes())).append("\n");
    out.append(kVerifiedLine).append("\n");
    return out;
}

bool parseListing(std::string_view text, BackupInfo& info) {
    info.tables.clear();
    info.verified = false;
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        // Only whole lines count: one cut off by a stop is not one.
        if (end == std::string_view::npos) break;
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) lines.push_back(line);
        text.remove_prefix(end + 1);
    }
    if (lines.empty() || lines.front() != kListingTitle) return false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string_view> parts = splitTabs(lines[i]);
        const std::string_view key = parts[0];
        if (key == kTimeKey && parts.size() >= 2) {
            LocalTime t;
            if (parseDisplayTime(parts[1], t)) info.time = t;
        } else if (key == kTableKey && parts.size() >= 4) {
            TableCopy c;
            c.fileName = std::string(parts[1]);
            c.present = true;
            if (!number(parts[2], c.bytes) || !number(parts[3], c.records)) return false;
            info.tables.push_back(std::move(c));
        } else if (key == kMemoKey && parts.size() >= 3) {
            if (info.tables.empty() || !info.tables.back().present) return false;
            info.tables.back().memoFileName = std::string(parts[1]);
            if (!number(parts[2], info.tables.back().memoBytes)) return false;
        } else if (key == kMissingKey && parts.size() >= 2) {
            TableCopy c;
            c.fileName = std::string(parts[1]);
            info.tables.push_back(std::move(c));
        }
    }
    // Written last: a listing cut short by a stop is no verified one.
    info.verified = lines.back() == kVerifiedLine;
    return true;
}

// ------------------------------------------------------------ pieces

namespace detail {

std::string fileNameOf(std::string_view schemaFileName) {
    std::string name(schemaFileName);
    if (name.find('.') == std::string::npos) name += ".EDB";
    return name;
}

bool sameFileName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

Failure holdTable(const TableFiles& files, bool writable, HeldTable& held) {
    held = HeldTable{};
    held.files = &files;
    const std::string name = baseName(files.tablePath);
    if (const TableError e = holdFile(files.tablePath, writable, held.table))
        return {e == tables::kLockViolation || e == tables::kSharingViolation ? Failure::Step::Lock
                                                                              : Failure::Step::Copy,
                name, e};
    if (!files.memoPath.empty()) {
        if (const TableError e = holdFile(files.memoPath, writable, held.memo)) {
            held.release();
            return {e == tables::kLockViolation || e == tables::kSharingViolation
                        ? Failure::Step::Lock
                        : Failure::Step::Copy,
                    baseName(files.memoPath), e};
        }
    }
    return {};
}

Failure makeBackupFolder(const std::string& root, const LocalTime& time, std::string& path,
                         std::string& name) {
    if (const TableError e = makeFolders(root)) return {Failure::Step::Folder, {}, e};
    const std::string base = folderName(time);
    for (int n = 1; n < 1000; ++n) {
        name = n == 1 ? base : base + "-" + std::to_string(n);
        path = join(root, name);
        const TableError e = makeNewFolder(path);
        if (e == tables::kOk) return {};
        // Taken by another backup of the same second: the next number.
        if (!isFolder(path)) return {Failure::Step::Folder, {}, e};
    }
    return {Failure::Step::Folder, {}, tables::kTooManyDirectories};
}

Failure verifyCopy(const std::string& tablePath, std::int32_t& liveRecords) {
    liveRecords = 0;
    const std::string name = baseName(tablePath);
    tables::TableFile table;
    tables::OpenOptions options;
    options.readOnly = true;
    if (const tables::Status s = table.open(tablePath, tables::kAccessPassword, options); !s)
        return {Failure::Step::Verify, name, s.code()};
    std::int32_t live = 0;
    const tables::Status walked = table.forEachRecord([&] {
        if (!table.isDeleted()) ++live;
        return true;
    });
    table.close();
    if (!walked) return {Failure::Step::Verify, name, walked.code()};

    tables::CheckReport report;
    if (const tables::Status s = tables::checkTable(tablePath, tables::kAccessPassword, report); !s)
        return {Failure::Step::Verify, name, s.code()};
    if (report.damaged()) return {Failure::Step::Verify, name, report.damageCode()};
    liveRecords = live;
    return {};
}

Failure copyHeldTable(HeldTable& held, const std::string& folder, TableCopy& copy) {
    copy = TableCopy{};
    copy.fileName = baseName(held.files->tablePath);
    copy.present = true;
    const std::string tableCopy = join(folder, copy.fileName);
    if (const TableError e = copyToNewFile(*held.table.file, tableCopy, copy.bytes))
        return {Failure::Step::Copy, copy.fileName, e};
    if (held.memo) {
        copy.memoFileName = baseName(held.files->memoPath);
        if (const TableError e =
                copyToNewFile(*held.memo.file, join(folder, copy.memoFileName), copy.memoBytes))
            return {Failure::Step::Copy, copy.memoFileName, e};
    }
    return {};
}

Failure writeListing(BackupInfo& info) {
    info.verified = true;
    if (const TableError e = writeNewFile(join(info.path, kListingFile), listingText(info))) {
        info.verified = false;
        return {Failure::Step::Listing, std::string(kListingFile), e};
    }
    return {};
}

}  // namespace detail

// ------------------------------------------------------------ backups

std::vector<TableFiles> findTables(const std::string& tablesDir) {
    tables::FileSystem& fs = tables::currentFileSystem();
    std::vector<TableFiles> out;
    for (const schema::Table& t : schema::kTables) {
        TableFiles& f = out.emplace_back();
        f.schemaFileName = std::string(t.fileName);
        f.tablePath = tables::layout::tableFilePath(fs, detail::join(tablesDir, t.fileName));
        f.present = detail::isFile(f.tablePath);
        if (!f.present) continue;
        const std::string memo = tables::layout::memoFilePath(fs, f.tablePath);
        if (detail::isFile(memo)) f.memoPath = memo;
    }
    return out;
}

BackupOutcome makeBackup(const BackupRequest& request) {
    BackupOutcome out;
    Clock& clock = request.clock ? *request.clock : systemClock();
    const std::vector<TableFiles> found = findTables(request.tablesDir);
    if (std::none_of(found.begin(), found.end(), [](const TableFiles& f) { return f.present; })) {
        out.nothingToBackUp = true;
        return out;
    }

    BackupInfo& info = out.made;
    info.time = clock.now();
    if (Failure f = detail::makeBackupFolder(request.root, info.time, info.path, info.name);
        !f.ok()) {
        out.failure = f;
        return out;
    }
    const auto fail = [&](Failure f) {
        out.failure = std::move(f);
        (void)detail::removeTree(info.path);
        out.made = BackupInfo{};
        return out;
    };
    for (const TableFiles& files : found) {
        TableCopy& copy = info.tables.emplace_back();
        if (!files.present) {
            copy.fileName = detail::fileNameOf(files.schemaFileName);
            continue;
        }
        detail::HeldTable held;
        // Held only while it is copied: one table at a time is kept from
        // other processes, and only for as long as its bytes take.
        if (Failure f = detail::holdTable(files, false, held); !f.ok()) return fail(f);
        Failure f = detail::copyHeldTable(held, info.path, copy);
        held.release();
        if (!f.ok()) return fail(f);
        if (Failure v = detail::verifyCopy(detail::join(info.path, copy.fileName), copy.records);
            !v.ok())
            return fail(v);
    }
    if (Failure f = detail::writeListing(info); !f.ok()) return fail(f);

    rotateBackups(request.root, request.keep);
    if (!request.secondRoot.empty())
        out.secondFailure = copyBackup(info, request.secondRoot, request.keep, out.secondPath);
    return out;
}

Failure copyBackup(const BackupInfo& from, const std::string& root, int keep, std::string& made) {
    made.clear();
    BackupInfo copy = from;
    if (Failure f = detail::makeBackupFolder(root, from.time, copy.path, copy.name); !f.ok())
        return f;
    const auto fail = [&](Failure f) {
        (void)detail::removeTree(copy.path);
        return f;
    };
    for (const TableCopy& t : from.tables) {
        if (!t.present) continue;
        std::int64_t bytes = 0;
        if (const TableError e = detail::copyFileToNew(detail::join(from.path, t.fileName),
                                                       detail::join(copy.path, t.fileName), bytes))
            return fail({Failure::Step::Copy, t.fileName, e});
        if (!t.memoFileName.empty()) {
            if (const TableError e =
                    detail::copyFileToNew(detail::join(from.path, t.memoFileName),
                                          detail::join(copy.path, t.memoFileName), bytes))
                return fail({Failure::Step::Copy, t.memoFileName, e});
        }
        std::int32_t live = 0;
        if (Failure v = detail::verifyCopy(detail::join(copy.path, t.fileName), live); !v.ok())
            return fail(v);
    }
    if (Failure f = detail::writeListing(copy); !f.ok()) return fail(f);
    made = copy.path;
    rotateBackups(root, keep);
    return {};
}

BackupInfo readBackup(const std::string& folder) {
    BackupInfo info;
    info.path = folder;
    info.name = detail::baseName(folder);
    (void)parseFolderName(info.name, info.time);
    if (const auto text = detail::readWholeFile(detail::join(folder, kListingFile)))
        (void)parseListing(*text, info);
    return info;
}

std::vector<BackupInfo> listBackups(const std::string& root) {
    std::vector<BackupInfo> out;
    for (const std::string& name : detail::subfolders(root)) {
        LocalTime t;
        if (!parseFolderName(name, t)) continue;
        out.push_back(readBackup(detail::join(root, name)));
    }
    const auto key = [](const BackupInfo& b) {
        LocalTime t;
        (void)parseFolderName(b.name, t);
        return std::make_tuple(t.year, t.month, t.day, t.hour, t.minute, t.second,
                               suffixOf(b.name));
    };
    std::sort(out.begin(), out.end(),
              [&](const BackupInfo& a, const BackupInfo& b) { return key(a) > key(b); });
    return out;
}

bool backedUpOn(const std::string& root, const LocalTime& day) {
    for (const BackupInfo& b : listBackups(root)) {
        LocalTime named;
        (void)parseFolderName(b.name, named);
        if (b.verified && named.sameDay(day)) return true;
    }
    return false;
}

void rotateBackups(const std::string& root, int keep, std::string_view spare) {
    const std::vector<BackupInfo> all = listBackups(root);
    const auto newestVerified =
        std::find_if(all.begin(), all.end(), [](const BackupInfo& b) { return b.verified; });
    for (std::size_t i = static_cast<std::size_t>(std::max(keep, 0)); i < all.size(); ++i) {
        if (newestVerified != all.end() && all[i].name == newestVerified->name) continue;
        if (!spare.empty() && all[i].name == spare) continue;
        // What cannot be removed now goes at the next rotation.
        (void)detail::removeTree(all[i].path);
    }
}

}  // namespace backup
