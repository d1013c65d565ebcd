#include "restore.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "backup_internal.h"
#include "table_layout.h"

namespace backup {

using tables::TableError;

namespace {

using detail::HeldFile;
using detail::HeldTable;
using detail::join;

constexpr std::string_view kJournalTitle = "岚禾记账恢复";
constexpr std::string_view kBeforeKey = "之前";
constexpr std::string_view kFileKey = "文件";
constexpr std::string_view kEndLine = "完";

// One file the swap replaces: the table or memo file beside the tables, by
// its name there, and the staged copy of the same name.
struct SwapFile {
    std::string name;
    std::int64_t bytes = 0;
    bool existed = false;  // there was such a file before the restore
};

struct Journal {
    std::string before;  // the name of the backup of the tables as they were
    std::vector<SwapFile> files;
    bool complete = false;
};

std::string journalText(const Journal& j) {
    std::string out;
    out.append(kJournalTitle).append("\n");
    out.append(kBeforeKey).append("\t").append(j.before).append("\n");
    for (const SwapFile& f : j.files) {
        out.append(kFileKey).append("\t").append(f.name).append("\t");
        out.append(std::to_string(f.bytes)).append("\t").append(f.existed ? "1" : "0");
        out.append("\n");
    }
    out.append(kEndLine).append("\n");
    return out;
}

Journal parseJournal(std::string_view text) {
    Journal j;
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        // Only whole lines count: a line cut off by a stop is not one.
        if (end == std::string_view::npos) break;
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    if (lines.empty() || lines.front() != kJournalTitle) return j;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        std::vector<std::string_view> parts;
        for (;;) {
            const std::size_t tab = line.find('\t');
            parts.push_back(line.substr(0, tab));
            if (tab == std::string_view::npos) break;
            line.remove_prefix(tab + 1);
        }
        if (parts[0] == kBeforeKey && parts.size() == 2) {
            j.before = std::string(parts[1]);
        } else if (parts[0] == kFileKey && parts.size() == 4) {
            SwapFile f;
            f.name = std::string(parts[1]);
            const auto r =
                std::from_chars(parts[2].data(), parts[2].data() + parts[2].size(), f.bytes);
            if (r.ec != std::errc() || f.name.empty() ||
                f.name.find_first_of("/\\") != std::string::npos)
                return Journal{};
            f.existed = parts[3] == "1";
            j.files.push_back(std::move(f));
        } else if (parts[0] == kEndLine && parts.size() == 1) {
            j.complete = i + 1 == lines.size() && !j.before.empty();
        } else {
            return Journal{};
        }
    }
    return j;
}

// The files of a swap, held (and locked) for its whole length.
class SwapTargets {
  public:
    explicit SwapTargets(std::string dir) : dir_(std::move(dir)) {}
    ~SwapTargets() { release(); }

    // Holds the file `name` beside the tables, making it when it is missing.
    TableError hold(const std::string& name) {
        if (find(name)) return tables::kOk;
        HeldFile held;
        const std::string path = join(dir_, name);
        TableError e = detail::isFile(path) ? detail::holdFile(path, true, held)
                                            : detail::holdNewFile(path, held);
        if (e != tables::kOk) return e;
        files_.push_back(std::move(held));
        return tables::kOk;
    }
    // Takes over files already held.
    void adopt(HeldFile&& held) {
        if (held) files_.push_back(std::move(held));
    }
    HeldFile* find(const std::string& name) {
        for (HeldFile& f : files_)
            if (detail::baseName(f.path) == name) return &f;
        return nullptr;
    }
    // Puts the file at `from` into the held file `name`.
    TableError fill(const std::string& name, const std::string& from) {
        if (TableError e = hold(name)) return e;
        tables::FileOpenRequest request;
        request.readOnly = true;
        TableError error = tables::kOk;
        auto source = tables::currentFileSystem().open(from, request, &error);
        if (!source) return error != tables::kOk ? error : tables::kUnknown;
        std::int64_t bytes = 0;
        return detail::copyContent(*source, *find(name)->file, bytes);
    }
    // Takes away a file that the restore made.
    TableError remove(const std::string& name) {
        if (HeldFile* f = find(name)) f->release();
        return detail::removeFile(join(dir_, name));
    }
    void release() {
        for (HeldFile& f : files_) f.release();
        files_.clear();
    }

  private:
    std::string dir_;
    std::vector<HeldFile> files_;
};

std::string backupRoot(const std::string& tablesDir) { return join(tablesDir, kBackupFolder); }

// Puts every file of the journal back from the staged copies.
TableError redo(SwapTargets& targets, const std::string& staging, const Journal& j) {
    for (const SwapFile& f : j.files)
        if (TableError e = targets.fill(f.name, join(staging, f.name))) return e;
    return tables::kOk;
}

// Puts the files back as the backup made before the swap holds them, and
// takes away those that did not exist then.
TableError undo(SwapTargets& targets, const std::string& tablesDir, const Journal& j) {
    const std::string before = join(backupRoot(tablesDir), j.before);
    if (!readBackup(before).verified) return tables::kFileNotFound;
    for (const SwapFile& f : j.files) {
        const TableError e =
            f.existed ? targets.fill(f.name, join(before, f.name)) : targets.remove(f.name);
        if (e != tables::kOk) return e;
    }
    return tables::kOk;
}

// Whether every staged copy is there with the length the journal gives.
bool stagedIntact(const std::string& staging, const Journal& j) {
    for (const SwapFile& f : j.files) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(detail::fsPath(join(staging, f.name)), ec);
        if (ec || static_cast<std::int64_t>(size) != f.bytes) return false;
    }
    return true;
}

// Locks every table present beside the tables, so that nothing else runs
// while leftovers are judged and removed.
Failure holdCurrent(const std::vector<TableFiles>& found, std::vector<HeldTable>& held) {
    held.clear();
    held.reserve(found.size());
    for (const TableFiles& f : found) {
        HeldTable& h = held.emplace_back();
        if (!f.present) continue;
        if (Failure e = detail::holdTable(f, true, h); !e.ok()) {
            for (HeldTable& x : held) x.release();
            return e;
        }
    }
    return {};
}

}  // namespace

RecoveryOutcome recoverRestore(const std::string& tablesDir) {
    RecoveryOutcome out;
    const std::string journalPath = join(tablesDir, kJournalFile);
    const std::string staging = join(tablesDir, kStagingFolder);
    const bool hasJournal = detail::isFile(journalPath);
    if (!hasJournal && !detail::isFolder(staging)) return out;

    const std::vector<TableFiles> found = findTables(tablesDir);
    std::vector<HeldTable> held;
    if (Failure f = holdCurrent(found, held); !f.ok()) {
        out.result = Recovery::Failed;
        out.failure = f;
        return out;
    }
    const auto releaseAll = [&] {
        for (HeldTable& h : held) h.release();
    };

    if (!hasJournal) {
        // Stopped before its journal (nothing changed) or after removing it
        // (all done): only the staged copies are left over.
        (void)detail::removeTree(staging);
        releaseAll();
        return out;
    }
    const std::optional<std::string> text = detail::readWholeFile(journalPath);
    const Journal journal = parseJournal(text.value_or(std::string()));
    if (!journal.complete) {
        // Stopped while writing the journal: no table was touched yet.
        (void)detail::removeFile(journalPath);
        (void)detail::removeTree(staging);
        releaseAll();
        out.result = Recovery::RolledBack;
        return out;
    }

    SwapTargets targets(tablesDir);
    for (HeldTable& h : held) {
        targets.adopt(std::move(h.table));
        targets.adopt(std::move(h.memo));
    }
    TableError e = tables::kLockViolation;
    out.result = Recovery::Completed;
    if (stagedIntact(staging, journal)) e = redo(targets, staging, journal);
    if (e != tables::kOk) {
        out.result = Recovery::RolledBack;
        e = undo(targets, tablesDir, journal);
    }
    if (e != tables::kOk) {
        out.result = Recovery::Failed;
        out.failure = {Failure::Step::Pending, {}, e};
        return out;
    }
    // Done: the journal goes first, so that a stop now leaves only leftovers.
    if (const TableError r = detail::removeFile(journalPath)) {
        out.result = Recovery::Failed;
        out.failure = {Failure::Step::Pending, std::string(kJournalFile), r};
        return out;
    }
    (void)detail::removeTree(staging);
    return out;
}

RestoreOutcome restoreBackup(const RestoreRequest& request) {
    RestoreOutcome out;
    Clock& clock = request.clock ? *request.clock : systemClock();
    const std::string& dir = request.tablesDir;
    const BackupInfo source = readBackup(request.backupPath);
    if (!source.verified) {
        out.failure = {Failure::Step::NotVerified, {}, tables::kNotATable};
        return out;
    }
    // A restore left unfinished is finished (or undone) first.
    if (RecoveryOutcome r = recoverRestore(dir); r.result == Recovery::Failed) {
        out.failure = {Failure::Step::Pending, r.failure.file, r.failure.code};
        return out;
    }

    tables::FileSystem& fs = tables::currentFileSystem();
    const std::vector<TableFiles> found = findTables(dir);

    // What replaces what: each table the backup holds, under the name its
    // table (and memo file) has beside the program.
    struct Plan {
        const TableCopy* copy;
        std::string tableName;
        std::string memoName;  // empty when the backup has no memo file for it
    };
    std::vector<Plan> plans;
    for (const TableFiles& f : found) {
        const TableCopy* copy = source.table(f.schemaFileName);
        if (!copy || !copy->present) {
            if (f.present) out.kept.push_back(detail::baseName(f.tablePath));
            continue;
        }
        Plan p{copy, detail::baseName(f.tablePath), {}};
        if (!copy->memoFileName.empty())
            p.memoName = detail::baseName(tables::layout::memoFilePath(fs, f.tablePath));
        plans.push_back(std::move(p));
    }

    // 0. The current tables stay locked to the end.
    std::vector<HeldTable> held;
    if (Failure f = holdCurrent(found, held); !f.ok()) {
        out.failure = f;
        return out;
    }
    SwapTargets targets(dir);
    const std::string staging = join(dir, kStagingFolder);
    const auto giveUp = [&](Failure f) {
        (void)detail::removeTree(staging);
        for (HeldTable& h : held) h.release();
        targets.release();
        out.failure = std::move(f);
        return out;
    };

    // 1. Staged copies of the backup, each checked.
    if (TableError e = detail::makeNewFolder(staging))
        return giveUp({Failure::Step::Stage, std::string(kStagingFolder), e});
    Journal journal;
    for (const Plan& p : plans) {
        std::int64_t bytes = 0;
        if (TableError e = detail::copyFileToNew(join(request.backupPath, p.copy->fileName),
                                                 join(staging, p.tableName), bytes))
            return giveUp({Failure::Step::Stage, p.copy->fileName, e});
        journal.files.push_back({p.tableName, bytes, detail::isFile(join(dir, p.tableName))});
        if (!p.memoName.empty()) {
            if (TableError e = detail::copyFileToNew(join(request.backupPath, p.copy->memoFileName),
                                                     join(staging, p.memoName), bytes))
                return giveUp({Failure::Step::Stage, p.copy->memoFileName, e});
            journal.files.push_back({p.memoName, bytes, detail::isFile(join(dir, p.memoName))});
        }
        std::int32_t live = 0;
        if (Failure v = detail::verifyCopy(join(staging, p.tableName), live); !v.ok())
            return giveUp(v);
    }

    // 2. The tables as they are now, from the held files.
    BackupInfo& before = out.before;
    before.time = clock.now();
    const std::string root = backupRoot(dir);
    if (Failure f = detail::makeBackupFolder(root, before.time, before.path, before.name); !f.ok())
        return giveUp(f);
    for (std::size_t i = 0; i < found.size(); ++i) {
        TableCopy& copy = before.tables.emplace_back();
        if (!found[i].present) {
            copy.fileName = detail::fileNameOf(found[i].schemaFileName);
            continue;
        }
        Failure f = detail::copyHeldTable(held[i], before.path, copy);
        if (f.ok()) f = detail::verifyCopy(join(before.path, copy.fileName), copy.records);
        if (!f.ok()) {
            (void)detail::removeTree(before.path);
            before = BackupInfo{};
            return giveUp(f);
        }
    }
    if (Failure f = detail::writeListing(before); !f.ok()) {
        (void)detail::removeTree(before.path);
        before = BackupInfo{};
        return giveUp(f);
    }
    journal.before = before.name;

    // 3. The journal: from here on a stop is finished at the next start.
    for (HeldTable& h : held) {
        targets.adopt(std::move(h.table));
        targets.adopt(std::move(h.memo));
    }
    const std::string journalPath = join(dir, kJournalFile);
    if (TableError e = detail::writeNewFile(journalPath, journalText(journal))) {
        (void)detail::removeFile(journalPath);
        return giveUp({Failure::Step::Journal, std::string(kJournalFile), e});
    }

    // 4. The swap, file by file in place.
    for (const SwapFile& f : journal.files) {
        const TableError e = targets.fill(f.name, join(staging, f.name));
        if (e == tables::kOk) continue;
        out.failure = {Failure::Step::Swap, f.name, e};
        if (undo(targets, dir, journal) == tables::kOk &&
            detail::removeFile(journalPath) == tables::kOk) {
            (void)detail::removeTree(staging);
        } else {
            out.pending = true;
        }
        targets.release();
        return out;
    }

    // 5. Done.
    (void)detail::removeFile(journalPath);
    (void)detail::removeTree(staging);
    targets.release();
    rotateBackups(root, request.keep, source.name);
    if (!request.secondRoot.empty()) {
        std::string made;
        out.secondFailure = copyBackup(before, request.secondRoot, request.keep, made);
    }
    return out;
}

}  // namespace backup
