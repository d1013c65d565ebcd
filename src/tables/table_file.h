// An open table file: the operations every page uses to store and find data.
//
// Each caller holds its own TableFile. While it is open it is "the current
// table" for its operations; a file is open at most once per process (a second
// open of the same absolute path fails with kAlreadyOpen), and after close()
// every operation fails with kNoCurrentTable except read(), which is a fatal
// run-time error.
//
// Every operation sets the calling thread's last table error (table_error.h).
// Those that can fail return a Status (status.h), which the caller must look
// at: the code and where it arose ("记账.edb: write, record 12"). Nothing is
// cached between operations: the record count is read from the file each
// time, every change is written through before the call returns, and
// byte-range locks coordinate with other processes that have the same file
// open.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "status.h"
#include "table_error.h"
#include "table_value.h"

namespace tables {

enum class FieldType : std::int32_t {
    Byte = 1,
    Short = 2,
    Integer = 3,
    Long = 4,
    Float = 5,
    Double = 6,
    Bool = 7,
    DateTime = 8,
    SubRef = 9,
    Text = 10,
    Bytes = 11,
    Memo = 12,
};

struct FieldDescriptor {
    std::string name;  // GBK, at most 16 bytes
    FieldType type = FieldType::Integer;
    std::int32_t offset = 0;  // inside the record; 0..3 hold the record id
    std::int32_t width = 0;   // text fields only
};

// Sharing modes of open(): 1 shared (what the program uses), 2 others may not
// read, 3 others may not write, 4 exclusive. Modes 2 and 4 take no byte locks.
enum class Sharing { Shared = 1, DenyRead = 2, DenyWrite = 3, Exclusive = 4 };

struct OpenOptions {
    bool readOnly = false;  // a read-only open never repairs the file
    Sharing sharing = Sharing::Shared;
};

// The password every table of the program is opened with.
inline constexpr std::string_view kAccessPassword = "583027";

// What find() found. On a match the cursor stands on the record and `found`
// is true. Otherwise the cursor is back where it stood, and `status` tells
// "no record matched" (ok) from a search that failed (the code and the
// record it stopped at).
struct [[nodiscard]] FindResult {
    bool found = false;
    Status status;
};

class TableFile {
  public:
    TableFile();
    ~TableFile();  // closes
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    // Opens the table file `fileName` (GBK or UTF-8 path bytes as the platform
    // takes them; the default extension "EDB" is added when the last component
    // has none, resolved without regard to case) with `password` (GBK). Every
    // check of the format in its order; on failure nothing stays open and the
    // object is as before. The cursor stands on record 1, also when empty.
    Status open(std::string_view fileName, std::string_view password, OpenOptions options = {});
    // Releases every lock and closes both files (every change already went to
    // the operating system when its operation returned; close does not force
    // it onto the disk). Does nothing when closed. Called from inside find()
    // or forEachRecord(), it closes the table for every caller at once and the
    // walk ends when the callback returns.
    void close();
    bool isOpen() const;

    // Record slots, deleted-marked ones included. Fails (count 0) with
    // kNoCurrentTable, kCountReadFailed, or the lock's code when another
    // process kept the count locked for 2 s (skip() and goTo() wait for it
    // the same way).
    Status recordCount(std::int32_t& count);
    // The same for the record-by-record loop: 0 on failure, the code only in
    // lastTableError().
    [[nodiscard]] std::int32_t recordCount();
    // Whether the current record is marked deleted. Fails (false) with
    // kNoCurrentRecord before the first record, kSeekFailed at the end,
    // kFieldReadFailed when the id cannot be read.
    Status isDeleted(bool& deleted);
    // The same as a bool: false also on failure, the code only in
    // lastTableError().
    [[nodiscard]] bool isDeleted();
    Status goFirst();
    Status skip(std::int32_t n = 1);
    // 1..count on a record, 0 before the first, count + 1 at the end; 0 when closed.
    [[nodiscard]] std::int32_t recordNumber() const;
    // Cursor to min(n, count), but at least record 1.
    Status goTo(std::int32_t n);

    // One field of the current record by name (GBK, case-insensitive for ASCII
    // letters, first match wins) or by number from 1. On a cursor off the
    // records or an unreadable record: the empty value of the field's kind and
    // the code in lastTableError(). No table open or no such field: fatal
    // run-time error.
    [[nodiscard]] TableValue read(std::string_view fieldName);
    [[nodiscard]] TableValue read(int fieldNumber);

    // Values in field order; extra values are ignored, absent ones leave the
    // field zero (append) or unchanged (write). A value of the wrong kind fails
    // with kValueKindMismatch before anything is written.
    Status append(std::span<const TableValue> values);
    Status append(std::initializer_list<TableValue> values) {
        return append(std::span<const TableValue>(values.begin(), values.size()));
    }
    Status write(std::span<const TableValue> values);
    Status write(std::initializer_list<TableValue> values) {
        return write(std::span<const TableValue>(values.begin(), values.size()));
    }
    // The same, only while the current record still bears the record id
    // `expectedId`: the id is compared under the record lock, and any other
    // id (the record moved or was marked deleted meanwhile) fails with
    // kRecordMissing before anything is written.
    Status write(std::span<const TableValue> values, std::int32_t expectedId);
    Status markDeleted();
    // The same, only while the current record bears `expectedId`; otherwise
    // kRecordMissing and nothing is marked.
    Status markDeleted(std::int32_t expectedId);
    Status purge();
    // Searches forward from the cursor; the predicate reads the record under
    // examination with read()/isDeleted(). On no match the cursor returns.
    FindResult find(const std::function<bool()>& predicate);

    // A faster path for the usual "for every record: skip deleted, read
    // fields" loop, with the same values, result codes and lock guarantees:
    // records are read in batches under one range lock that covers their lock
    // bytes. The visitor is called for every slot from the cursor to the end,
    // in file order; inside it read() and isDeleted() answer for that slot
    // and recordNumber() gives its number. Returning false stops the walk
    // (the cursor then stands on that record); otherwise the cursor ends at
    // the end of the table. Fails with the first slot that could not be read
    // (the visitor still saw it, its reads failing) or with kNoCurrentTable
    // when the visitor closed the table.
    Status forEachRecord(const std::function<bool()>& visitor);

    // The table's shape.
    const std::vector<FieldDescriptor>& fields() const;
    std::int32_t recordSize() const;
    std::int64_t dataStart() const;
    // The record id of the current record (negative when marked deleted);
    // fails (id 0) as isDeleted() does.
    Status recordId(std::int32_t& id);
    // The same, 0 on failure with the code only in lastTableError().
    [[nodiscard]] std::int32_t recordId();
    // The absolute path of the open table file.
    const std::string& path() const;

    struct Impl;

  private:
    // write() and markDeleted(), comparing the record id when one is expected.
    Status writeCurrent(std::span<const TableValue> values, const std::int32_t* expectedId);
    Status markCurrentDeleted(const std::int32_t* expectedId);

    std::unique_ptr<Impl> impl_;
};

// Creates a new, empty table file (and its memo file when a byte-set or memo
// field exists). The program itself never creates a table; the edbtool command
// does. Offsets and record size are computed here: fields from offset 4 in
// order. Refuses to overwrite an existing file. Protected ("WCDB") when the
// password is not empty. Returns kOk or a result code.
[[nodiscard]] TableError createTable(std::string_view fileName, std::string_view password,
                                     const std::vector<FieldDescriptor>& fields);

// The size of a field type in the record (text: its width).
std::int32_t fieldSize(const FieldDescriptor& field);

// The kind of value a field type holds.
ValueKind kindOf(FieldType type);

}  // namespace tables
