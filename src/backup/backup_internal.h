// Internal: the pieces that a backup and a restore share.
#pragma once

#include <string>

#include "backup.h"
#include "file_ops.h"

namespace backup::detail {

// A table whose files are held, locked whole, while it is copied.
struct HeldTable {
    const TableFiles* files = nullptr;
    HeldFile table;
    HeldFile memo;

    void release() {
        memo.release();
        table.release();
    }
};

// Opens and locks the table's files (table file first, then its memo file).
Failure holdTable(const TableFiles& files, bool writable, HeldTable& held);

// A new folder under `root` named after `time` ("-2", "-3" … added when a
// backup of the same second exists).
Failure makeBackupFolder(const std::string& root, const LocalTime& time, std::string& path,
                         std::string& name);

// Copies a held table into `folder` under its own file names and checks the
// copy; fills `copy`.
Failure copyHeldTable(HeldTable& held, const std::string& folder, TableCopy& copy);

// Opens a copy read-only with the access password, counts its live records
// and runs the structural check; damage fails it.
Failure verifyCopy(const std::string& tablePath, std::int32_t& liveRecords);

// Writes the listing of a folder whose copies all passed, marking it verified.
Failure writeListing(BackupInfo& info);

// The schema's name of a table with the default extension ("客户" → "客户.EDB").
std::string fileNameOf(std::string_view schemaFileName);
// Whether two file names are the same without regard to ASCII letter case.
bool sameFileName(std::string_view a, std::string_view b);

}  // namespace backup::detail
