// Backups of the four tables: each a folder "备份/YYYYMMDD-HHMMSS/" beside
// the program holding raw copies of the tables and their memo files, and a
// listing "清单.txt" written last, once every copy has passed its check. A
// folder without a complete listing is no backup (a run that stopped).
//
// Each table is copied while its files are locked whole, so that no other
// process is half-way through a change; each copy must open with the access
// password and pass the table layer's structural check (warnings of a stopped
// operation do not fail it, damage does). The 30 newest backups are kept,
// and the newest verified one always. No Qt here: the program and edbtool
// share it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "clock.h"
#include "table_error.h"

namespace backup {

// Beside the program.
inline constexpr std::string_view kBackupFolder = "备份";
inline constexpr std::string_view kListingFile = "清单.txt";
inline constexpr int kKeepBackups = 30;

// What went wrong, for the operator: which step, which file, the code.
struct Failure {
    enum class Step {
        None,
        Folder,       // the backup folder could not be made
        Lock,         // a table stayed locked by another process
        Copy,         // reading the table or writing its copy failed
        Verify,       // the copy did not open or did not pass the check
        Listing,      // the listing could not be written
        NotVerified,  // restore: the backup has no verified listing
        Stage,        // restore: copying the backup beside the tables failed
        Journal,      // restore: the journal could not be written
        Swap,         // restore: putting a copy in place failed
        Pending,      // restore: an earlier restore is still unfinished
    };
    Step step = Step::None;
    std::string file;  // UTF-8 file name, may be empty
    tables::TableError code = tables::kOk;

    bool ok() const { return step == Step::None; }
    // A short Chinese sentence naming the reason (UTF-8), e.g.
    // "复制 记账.edb 出错：磁盘空间不够".
    std::string text() const;
};

// One table as a backup holds it.
struct TableCopy {
    std::string fileName;      // UTF-8, as it lay beside the program
    bool present = false;      // false: there was no such table to copy
    std::int64_t bytes = 0;    // table file
    std::int32_t records = 0;  // live records
    std::string memoFileName;  // its memo file, empty when none lay beside it
    std::int64_t memoBytes = 0;
};

struct BackupInfo {
    std::string name;  // the folder's name
    std::string path;  // the folder (UTF-8)
    LocalTime time;
    bool verified = false;          // the listing is complete: every copy passed
    std::vector<TableCopy> tables;  // in the order of the four tables' description

    std::int64_t totalBytes() const;
    // Live records of the ledger and of the customer table; 0 when absent.
    std::int32_t ledgerEntries() const;
    std::int32_t customerCount() const;
    const TableCopy* table(std::string_view schemaFileName) const;
};

// The listing's text, and back. parseListing gives verified only for a
// listing that ends with its closing line.
std::string listingText(const BackupInfo& info);
bool parseListing(std::string_view text, BackupInfo& info);

struct BackupRequest {
    std::string tablesDir;   // where the tables lie ("" for the current folder)
    std::string root;        // where the backup folders go (tablesDir/备份)
    std::string secondRoot;  // a second place each backup is also copied to; "" for none
    Clock* clock = nullptr;  // null: the system clock
    int keep = kKeepBackups;
};

struct BackupOutcome {
    Failure failure;               // of the backup itself; the folder is gone again
    bool nothingToBackUp = false;  // none of the four tables lies there
    BackupInfo made;               // when it succeeded
    Failure secondFailure;         // of the copy to the second place
    std::string secondPath;        // that copy, when it succeeded
};

// Makes one backup of the tables in `tablesDir`, then drops the oldest
// backups beyond `keep`, then copies it to the second place (verified there
// as well). A failed backup leaves no folder behind.
BackupOutcome makeBackup(const BackupRequest& request);

// The backups under `root`, newest first (folders named by their time, with
// or without a listing).
std::vector<BackupInfo> listBackups(const std::string& root);
// Reads one backup folder.
BackupInfo readBackup(const std::string& folder);

// Whether `root` holds a verified backup made on the day of `day`.
bool backedUpOn(const std::string& root, const LocalTime& day);

// Removes the backups under `root` beyond the `keep` newest, except the
// newest verified one and the folder named `spare`.
void rotateBackups(const std::string& root, int keep, std::string_view spare = {});

// The four tables' files as they lie in `tablesDir`: the table file (its
// spelling on disk) and, when one lies beside it, its memo file.
struct TableFiles {
    std::string schemaFileName;  // as the program opens it: "记账.edb", "客户"
    std::string tablePath;
    bool present = false;
    std::string memoPath;  // empty when no memo file lies beside it
};
std::vector<TableFiles> findTables(const std::string& tablesDir);

// Copies a whole backup folder to `root`/its name (a new folder), checks the
// copies there and writes the listing last. The second place of a backup.
Failure copyBackup(const BackupInfo& from, const std::string& root, int keep, std::string& made);

}  // namespace backup
