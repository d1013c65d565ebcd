#include "ledger_table.h"

#include <array>

#include "table_file.h"

namespace ledger {

namespace {

using tables::TableFile;
using tables::TableValue;

// Field numbers of the six ledger fields in the open table, looked up once
// per operation so that the per-record reads need no name search.
struct FieldNumbers {
    int date = 0, customer = 0, item = 0, amount = 0, remark = 0, status = 0;
};

int fieldNumber(TableFile& table, std::string_view name) {
    const auto& fields = table.fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name == name) return static_cast<int>(i) + 1;
    }
    // Reading a field the table does not have ends the program; read() says so.
    (void)table.read(name);
    tables::fatalError(tables::kFatalNoSuchField);
}

FieldNumbers lookUpFields(TableFile& table) {
    FieldNumbers n;
    n.date = fieldNumber(table, field::日期);
    n.customer = fieldNumber(table, field::客户);
    n.item = fieldNumber(table, field::事件);
    n.amount = fieldNumber(table, field::金额);
    n.remark = fieldNumber(table, field::备注);
    n.status = fieldNumber(table, field::状态);
    return n;
}

bool openLedger(TableFile& table) { return table.open(kLedgerFileName, kLedgerPassword).ok(); }

std::array<TableValue, 6> valuesOf(const LedgerRecord& r) {
    return {TableValue::dateTime(r.日期), TableValue::text(r.客户), TableValue::text(r.事件),
            TableValue::number(r.金额),   TableValue::text(r.备注), TableValue::boolean(r.状态)};
}

// Puts the cursor on record `n`; goTo() would clamp a number outside the
// table onto some other record, which must never be written.
bool goToExisting(TableFile& table, std::int32_t n) {
    // TODO(read-failure): a count that cannot be read makes every record
    // "not there" (NoSuchRecord) rather than a failed read.
    if (n < 1 || n > table.recordCount()) return false;
    return table.goTo(n) && table.recordNumber() == n;
}

constexpr unsigned kPumpEvery = 256;

}  // namespace

ScanResult findRecords(const LedgerFilter& filter, std::size_t limit, const Pump& pump) {
    ScanResult result;
    TableFile table;
    if (!openLedger(table)) return result;
    result.opened = true;
    if (filter.matchNothing) return result;
    const FieldNumbers f = lookUpFields(table);

    unsigned visited = 0;
    // TODO(read-failure): a walk that fails is not told apart from a complete
    // one; the rows read so far are all the page gets.
    (void)table.forEachRecord([&]() -> bool {
        if (pump && ++visited % kPumpEvery == 0) pump();
        if (table.isDeleted()) return true;

        // Cheapest test first: a day filter needs one number only.
        TableValue date;
        if (filter.days) {
            date = table.read(f.date);
            if (!filter.days->contains(date.asDateTime())) return true;
        }
        const TableValue customer = table.read(f.customer);
        if (filter.customer && customer.asText() != *filter.customer) return true;
        const TableValue item = table.read(f.item);
        if (filter.item && item.asText() != *filter.item) return true;
        const TableValue amount = table.read(f.amount);
        const TableValue remark = table.read(f.remark);
        const TableValue status = table.read(f.status);
        if (filter.keyword &&
            !filter.keyword->matches(customer.asText(), item.asText(), amount.asNumber(),
                                     remark.asText(), status.asBool())) {
            return true;
        }
        if (result.rows.size() >= limit) {
            result.cut = true;
            return false;
        }
        if (!filter.days) date = table.read(f.date);
        FoundRecord& row = result.rows.emplace_back();
        row.recordNumber = table.recordNumber();
        row.record.日期 = date.asDateTime();
        row.record.客户 = customer.asText();
        row.record.事件 = item.asText();
        row.record.金额 = amount.asNumber();
        row.record.备注 = remark.asText();
        row.record.状态 = status.asBool();
        return true;
    });
    table.close();
    return result;
}

LedgerStatus appendRecord(const LedgerRecord& record) {
    TableFile table;
    if (!openLedger(table)) return LedgerStatus::OpenFailed;
    const auto values = valuesOf(record);
    const bool ok = table.append(values).ok();
    table.close();
    return ok ? LedgerStatus::Ok : LedgerStatus::WriteFailed;
}

LedgerStatus writeRecord(std::int32_t recordNumber, const LedgerRecord& record) {
    TableFile table;
    if (!openLedger(table)) return LedgerStatus::OpenFailed;
    LedgerStatus status = LedgerStatus::NoSuchRecord;
    if (goToExisting(table, recordNumber)) {
        const auto values = valuesOf(record);
        status = table.write(values) ? LedgerStatus::Ok : LedgerStatus::WriteFailed;
    }
    table.close();
    return status;
}

LedgerStatus writeStatus(std::span<const std::int32_t> recordNumbers, bool settled) {
    TableFile table;
    if (!openLedger(table)) return LedgerStatus::OpenFailed;
    // Absent values leave their fields as they are.
    const std::array<TableValue, 6> values{TableValue(), TableValue(), TableValue(),
                                           TableValue(), TableValue(),
                                           TableValue::boolean(settled)};
    LedgerStatus status = LedgerStatus::Ok;
    for (std::int32_t n : recordNumbers) {
        if (!goToExisting(table, n)) {
            status = LedgerStatus::NoSuchRecord;
        } else if (!table.write(values) && status == LedgerStatus::Ok) {
            status = LedgerStatus::WriteFailed;
        }
    }
    table.close();
    return status;
}

LedgerStatus deleteRecord(std::int32_t recordNumber) {
    TableFile table;
    if (!openLedger(table)) return LedgerStatus::OpenFailed;
    LedgerStatus status = LedgerStatus::NoSuchRecord;
    if (goToExisting(table, recordNumber)) {
        if (!table.markDeleted()) {
            status = LedgerStatus::WriteFailed;
        } else {
            status = table.purge() ? LedgerStatus::Ok : LedgerStatus::PurgeFailed;
        }
    }
    table.close();
    return status;
}

}  // namespace ledger
