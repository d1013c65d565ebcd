#include "ledger_table.h"

#include <algorithm>
#include <array>
#include <optional>
#include <unordered_map>

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

// The six values in field order; a text longer than its field in this
// table is cut at a whole character rather than through one.
std::array<TableValue, 6> valuesOf(const TableFile& table, const LedgerRecord& r) {
    const auto fit = [&](std::string_view name, const std::string& text) {
        return TableValue::text(schema::fitToField(table.fields(), name, text));
    };
    return {TableValue::dateTime(r.日期), fit(field::客户, r.客户), fit(field::事件, r.事件),
            TableValue::number(r.金额),   fit(field::备注, r.备注), TableValue::boolean(r.状态)};
}

// The number of the first live record with record id `id`, 0 when there is
// none; nullopt when the walk could not read every record up to it.
std::optional<std::int32_t> numberOfId(TableFile& table, std::int32_t id) {
    std::int32_t found = 0;
    if (!table.goFirst()) return std::nullopt;
    const tables::Status walked = table.forEachRecord([&] {
        if (table.recordId() != id) return true;
        found = table.recordNumber();
        return false;
    });
    // A record that could not be read may be the first with the id.
    if (!walked) return std::nullopt;
    return found;
}

// Runs `change` (a write or delete mark that compares the record id under
// the record lock) on the record `ref` names: first at its listed number,
// then, when that slot holds another record (a purge moved it), where its id
// now stands. A record that moves again in between is looked for again.
template <typename Change>
LedgerStatus changeRecord(TableFile& table, RecordRef ref, const Change& change) {
    if (ref.id <= 0) return LedgerStatus::RecordGone;
    std::int32_t at = ref.number;
    for (int attempt = 0; attempt < 3; ++attempt) {
        // goTo clamps a number past the end onto the last record, whose id
        // then differs; an empty table has no current record at all.
        if (at >= 1 && table.goTo(at)) {
            const tables::Status s = change();
            if (s) return LedgerStatus::Ok;
            if (s.code() != tables::kRecordMissing && s.code() != tables::kNoCurrentRecord)
                return LedgerStatus::WriteFailed;
        }
        const std::optional<std::int32_t> found = numberOfId(table, ref.id);
        if (!found) return LedgerStatus::ReadFailed;
        if (*found == 0) return LedgerStatus::RecordGone;
        at = *found;
    }
    return LedgerStatus::WriteFailed;
}

}  // namespace

ScanResult findRecords(const LedgerFilter& filter, std::size_t limit) {
    ScanResult result;
    TableFile table;
    if (!openLedger(table)) return result;
    if (filter.matchNothing) {
        result.status = LedgerStatus::Ok;
        return result;
    }
    const FieldNumbers f = lookUpFields(table);

    // A record that cannot be read fails the walk; so does a count that
    // cannot be read (the walk reads it first).
    const tables::Status walked = table.forEachRecord([&]() -> bool {
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
        row.recordId = table.recordId();
        row.record.日期 = date.asDateTime();
        row.record.客户 = customer.asText();
        row.record.事件 = item.asText();
        row.record.金额 = amount.asNumber();
        row.record.备注 = remark.asText();
        row.record.状态 = status.asBool();
        return true;
    });
    table.close();
    if (!walked) {
        result.rows.clear();
        result.cut = false;
        result.status = LedgerStatus::ReadFailed;
        return result;
    }
    result.status = LedgerStatus::Ok;
    return result;
}

LedgerStatus appendRecord(const LedgerRecord& record) {
    TableFile table;
    if (!openLedger(table)) return LedgerStatus::OpenFailed;
    const auto values = valuesOf(table, record);
    const bool ok = table.append(values).ok();
    table.close();
    return ok ? LedgerStatus::Ok : LedgerStatus::WriteFailed;
}

LedgerStatus writeRecord(RecordRef ref, const LedgerRecord& record) {
    TableFile table;
    if (!openLedger(table)) return LedgerStatus::OpenFailed;
    const auto values = valuesOf(table, record);
    const LedgerStatus status =
        changeRecord(table, ref, [&] { return table.write(values, ref.id); });
    table.close();
    return status;
}

LedgerStatus writeStatus(std::span<const RecordRef> refs, bool settled) {
    TableFile table;
    if (!openLedger(table)) return LedgerStatus::OpenFailed;
    // Where each record stands now. Usually every one is still at its listed
    // number; otherwise one walk finds them all by their ids. A selection of
    // which one entry is gone is refused whole, so that the operator sees the
    // list as it is before anything changes.
    std::vector<RecordRef> now(refs.begin(), refs.end());
    const bool allInPlace = std::all_of(now.begin(), now.end(), [&](const RecordRef& ref) {
        return ref.id > 0 && ref.number >= 1 && table.goTo(ref.number) &&
               table.recordNumber() == ref.number && table.recordId() == ref.id;
    });
    if (!allInPlace) {
        std::unordered_map<std::int32_t, std::int32_t> numberOf;
        (void)table.goFirst();
        if (!table.forEachRecord([&] {
                const std::int32_t id = table.recordId();
                if (id > 0) numberOf.try_emplace(id, table.recordNumber());
                return true;
            })) {
            table.close();
            return LedgerStatus::ReadFailed;
        }
        for (RecordRef& ref : now) {
            const auto it = numberOf.find(ref.id);
            if (ref.id <= 0 || it == numberOf.end()) {
                table.close();
                return LedgerStatus::RecordGone;
            }
            ref.number = it->second;
        }
    }
    // Absent values leave their fields as they are.
    const std::array<TableValue, 6> values{TableValue(), TableValue(),
                                           TableValue(), TableValue(),
                                           TableValue(), TableValue::boolean(settled)};
    LedgerStatus status = LedgerStatus::Ok;
    for (const RecordRef& ref : now) {
        const LedgerStatus one =
            changeRecord(table, ref, [&] { return table.write(values, ref.id); });
        if (one != LedgerStatus::Ok && status == LedgerStatus::Ok) status = one;
    }
    table.close();
    return status;
}

LedgerStatus deleteRecord(RecordRef ref, const recycle::BinTarget& bin) {
    TableFile table;
    if (!openLedger(table)) return LedgerStatus::OpenFailed;
    const FieldNumbers f = lookUpFields(table);
    const double deletedAt = bin.now();
    bool binFailed = false;
    LedgerStatus status = changeRecord(table, ref, [&]() -> tables::Status {
        if (table.recordId() != ref.id) return {tables::kRecordMissing, {}};
        // The entry as it stands now goes to the bin before it goes here.
        tables::TableError readError = tables::kOk;
        const auto get = [&](int number) {
            TableValue v = table.read(number);
            if (readError == tables::kOk) readError = tables::lastTableError();
            return v;
        };
        const std::array<TableValue, 6> values{get(f.date),   get(f.customer), get(f.item),
                                               get(f.amount), get(f.remark),   get(f.status)};
        if (readError != tables::kOk) return {readError, {}};
        std::int32_t binId = 0;
        if (recycle::putInBin(bin.file, recycle::Source::Ledger, values, table.fields(), deletedAt,
                              binId) != recycle::BinResult::Ok) {
            binFailed = true;
            return {tables::kFieldWriteFailed, {}};
        }
        tables::Status marked = table.markDeleted(ref.id);
        // Still here (or moved meanwhile): the bin must not keep a copy.
        if (!marked) (void)recycle::takeFromBin(bin.file, binId);
        return marked;
    });
    if (binFailed) status = LedgerStatus::BinFailed;
    if (status == LedgerStatus::Ok && !table.purge()) status = LedgerStatus::PurgeFailed;
    table.close();
    return status;
}

}  // namespace ledger
