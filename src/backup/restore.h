// Putting a backup back in place of the four tables, all or nothing.
//
// While the current tables' files are locked whole (so that no other process
// is half-way through a change, and none starts one), the restore
//   1. copies the backup's files into a staging folder beside the tables and
//      checks every copy there;
//   2. backs up the current tables (a normal backup folder);
//   3. writes a journal beside the tables naming every file to replace;
//   4. copies each staged file over its table file, in place;
//   5. removes the journal, then the staging folder.
// A failure before step 4 changes nothing. A failure in step 4 puts the
// backup of step 2 back. A stop at any point (a crash, a power cut) is
// finished or undone by recoverRestore at the next start: with a complete
// journal the swap is done again from the staged copies (or, when they are
// unusable, undone from the backup of step 2); without one nothing was
// changed and the leftovers are removed. No Qt here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "backup.h"

namespace backup {

// Beside the tables.
inline constexpr std::string_view kJournalFile = "恢复进行中.txt";
inline constexpr std::string_view kStagingFolder = "恢复暂存";

struct RestoreRequest {
    std::string tablesDir;   // where the tables lie ("" for the current folder)
    std::string backupPath;  // the backup folder to put back
    std::string secondRoot;  // where the backup of step 2 is also copied; "" for none
    Clock* clock = nullptr;  // null: the system clock
    int keep = kKeepBackups;
};

struct RestoreOutcome {
    Failure failure;
    // The swap stopped and could not be undone: the journal stays and the
    // next recoverRestore finishes the restore.
    bool pending = false;
    BackupInfo before;              // the backup of the tables as they were
    std::vector<std::string> kept;  // tables the backup does not hold: left as they are
    Failure secondFailure;          // copying `before` to the second place
};

// Restores the backup in `request.backupPath` over the tables in
// `request.tablesDir`; the backup of the current tables goes to
// tablesDir/备份. Only a verified backup is restored.
RestoreOutcome restoreBackup(const RestoreRequest& request);

enum class Recovery {
    Nothing,     // no restore was left unfinished
    Completed,   // a restore stopped after its journal: finished now
    RolledBack,  // one stopped while writing its journal: its leftovers removed
    Failed,      // one is unfinished and could not be finished now
};
struct RecoveryOutcome {
    Recovery result = Recovery::Nothing;
    Failure failure;
};

// Finishes or undoes a restore that stopped part-way in `tablesDir`. Run it
// before any table there is opened.
RecoveryOutcome recoverRestore(const std::string& tablesDir);

}  // namespace backup
