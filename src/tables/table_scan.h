// Internal: one read of a table file and its memo file under whole-file
// locks, classifying what it finds. The check reports the findings; the
// repair works from the facts it gathers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "file_io.h"
#include "scramble.h"
#include "status.h"
#include "table_check.h"
#include "table_layout.h"

namespace tables {

class TableScan {
  public:
    explicit TableScan(std::string_view password) : password_(password), scrambler_(password) {}

    // Opens the table file (and, once the descriptors are known, the memo
    // file) and locks each whole; `writable` for a repair. Fails when the
    // table file cannot be had, is locked for more than 2 s, or the password
    // does not fit; everything else becomes a finding.
    Status run(std::string_view fileName, bool writable, std::vector<Finding>& findings);

    // ---- what the repair works from (valid after run() succeeded) ----

    // A later copy of a record: to be removed, its chains left alone.
    struct Copy {
        std::int64_t slot;   // from 0
        std::int64_t owner;  // the slot of the record it copies
        bool live;           // not marked deleted (an identical live copy)
    };

    struct TableFacts {
        std::int32_t recordSize = 0;
        std::int64_t dataStart = 0;
        std::int32_t count = 0;       // the header's record count
        std::int64_t fileLength = 0;  // as found
        std::vector<Copy> copies;     // ascending slots
    };
    struct MemoFacts {
        bool present = false;  // the table has memo fields and the header could be read
        layout::MemoHeaderWords header;
        std::int64_t fileLength = 0;
        std::int64_t listLength = 0;       // blocks on the free list
        std::vector<std::int32_t> leaked;  // ascending: in no chain, not free
    };

    const TableFacts& table() const { return table_; }
    const MemoFacts& memo() const { return memo_; }
    const std::string& path() const { return path_; }
    File& tableFile() { return *tableFile_; }
    File& memoFile() { return *memoFile_; }
    Scrambler& scrambler() { return scrambler_; }

    // A failure of this run: the code, with "FILE: check" or "FILE: repair".
    Status fail(TableError code) const;

  private:
    struct Chain {
        std::int64_t slot;
        std::size_t field;
        std::int32_t first;
    };

    void finding(Severity severity, TableError code, std::string text);
    void damage(TableError code, std::string text) {
        finding(Severity::Damage, code, std::move(text));
    }
    void warning(TableError code, std::string text) {
        finding(Severity::Repairable, code, std::move(text));
    }
    std::string fieldLabel(std::size_t field) const;
    std::string chainLabel(const Chain& c) const;

    [[nodiscard]] TableError lockWhole(File& file);
    std::int64_t read(File& file, std::int64_t offset, void* buf, std::size_t n);
    void checkLength();
    void checkRecords();
    void classifyCopies(std::vector<std::pair<std::int64_t, std::int64_t>>& ids,
                        const std::vector<std::int32_t>& slotIds);
    bool sameSlot(std::int64_t a, std::int64_t b);
    // kOk, or the code of a failure that is not the file's fault.
    [[nodiscard]] TableError checkMemo(FileSystem& fs, bool writable);
    bool readBlock(std::int32_t b, std::uint8_t* block);
    void walkChain(std::size_t index);
    void walkFreeList();
    void findLeaked();

    std::string password_;
    Scrambler scrambler_;
    std::string path_;
    std::string op_;
    std::unique_ptr<File> tableFile_;
    std::unique_ptr<File> memoFile_;
    std::vector<Finding>* findings_ = nullptr;

    layout::TableStructure structure_;
    TableFacts table_;
    MemoFacts memo_;
    std::vector<std::size_t> memoFields_;  // usable memo and byte-set fields
    std::vector<Chain> chains_;            // owned by records (not by later copies)
    std::int32_t blocks_ = 0;              // blocks both counted and present
    std::vector<std::int32_t> owner_;      // per block: chain number + 1, kFree or 0
};

}  // namespace tables
