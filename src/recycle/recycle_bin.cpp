#include "recycle_bin.h"

#include <algorithm>

namespace recycle {

namespace {

using tables::FieldType;
using tables::Status;
using tables::TableFile;
using tables::TableValue;
namespace bin = schema::recycle;

std::size_t firstField(Source source) {
    return source == Source::Ledger ? bin::kLedgerFirst : bin::kCustomerFirst;
}

std::span<const schema::Field> sourceSchema(Source source) {
    return source == Source::Ledger ? std::span<const schema::Field>(schema::ledger::kFields)
                                    : std::span<const schema::Field>(schema::customers::kFields);
}

std::string_view sourceText(Source source) {
    return source == Source::Ledger ? bin::kFromLedger : bin::kFromCustomers;
}

// The bin's descriptors for a new file: the description's widths, widened to
// those of the open table a record comes from.
std::vector<tables::FieldDescriptor> newBinFields(
    Source source, const std::vector<tables::FieldDescriptor>& sourceFields) {
    std::vector<tables::FieldDescriptor> fields = schema::descriptors(bin::kTable);
    const std::span<const schema::Field> own = sourceSchema(source);
    for (std::size_t i = 0; i < own.size(); ++i) {
        tables::FieldDescriptor& f = fields[firstField(source) + i];
        if (f.type != FieldType::Text) continue;
        f.width = std::max(f.width, schema::textWidth(sourceFields, own[i].name));
    }
    return fields;
}

// Whether an open bin has the fields this program gives it, in its order
// (values are appended by position).
bool isBin(const TableFile& table) {
    const auto& fields = table.fields();
    if (fields.size() != std::size(bin::kFields)) return false;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name != bin::kFields[i].name || fields[i].type != bin::kFields[i].type)
            return false;
    }
    return true;
}

enum class Opened { Ok, Missing, Failed };

Opened openBin(TableFile& table, std::string_view binFile) {
    const Status s = table.open(binFile, tables::kAccessPassword);
    if (!s) return s.code() == tables::kFileNotFound ? Opened::Missing : Opened::Failed;
    if (!isBin(table)) {
        table.close();
        return Opened::Failed;
    }
    return Opened::Ok;
}

// The number of the live record with id `id`, 0 when there is none; nullopt
// when the walk failed.
std::optional<std::int32_t> numberOf(TableFile& table, std::int32_t id) {
    std::int32_t found = 0;
    if (!table.goFirst()) return std::nullopt;
    const Status walked = table.forEachRecord([&] {
        if (table.recordId() != id) return true;
        found = table.recordNumber();
        return false;
    });
    if (!walked) return std::nullopt;
    return found;
}

// The current record of an open bin; false for one of no known table.
bool readEntry(TableFile& table, Deleted& entry) {
    entry.id = table.recordId();
    entry.deletedAt = table.read(static_cast<int>(bin::k删除时间) + 1).asDateTime();
    const std::string from = table.read(static_cast<int>(bin::k来源) + 1).asText();
    if (from == bin::kFromLedger) {
        entry.source = Source::Ledger;
    } else if (from == bin::kFromCustomers) {
        entry.source = Source::Customers;
    } else {
        return false;
    }
    const std::size_t first = firstField(entry.source);
    entry.values.clear();
    for (std::size_t i = 0; i < valueCount(entry.source); ++i)
        entry.values.push_back(table.read(static_cast<int>(first + i) + 1));
    return tables::lastTableError() == tables::kOk;
}

}  // namespace

double BinTarget::now() const {
    return backup::toDateTime(clock ? clock->now() : backup::systemClock().now());
}

std::size_t valueCount(Source source) { return sourceSchema(source).size(); }

BinResult putInBin(std::string_view binFile, Source source, std::span<const TableValue> values,
                   const std::vector<tables::FieldDescriptor>& sourceFields, double deletedAt,
                   std::int32_t& id) {
    id = 0;
    TableFile table;
    Opened opened = openBin(table, binFile);
    if (opened == Opened::Missing) {
        // Another process making it at the same moment is as good.
        (void)tables::createTable(binFile, tables::kAccessPassword,
                                  newBinFields(source, sourceFields));
        opened = openBin(table, binFile);
    }
    if (opened != Opened::Ok) return BinResult::OpenFailed;

    std::vector<TableValue> record(std::size(bin::kFields));
    record[bin::k删除时间] = TableValue::dateTime(deletedAt);
    record[bin::k来源] = TableValue::text(std::string(sourceText(source)));
    const std::size_t first = firstField(source);
    for (std::size_t i = 0; i < values.size() && i < valueCount(source); ++i) {
        const TableValue& v = values[i];
        const tables::FieldDescriptor& f = table.fields()[first + i];
        if (f.type == FieldType::Text && v.kind() == tables::ValueKind::Text &&
            v.asText().size() > static_cast<std::size_t>(f.width)) {
            table.close();
            return BinResult::TooLong;
        }
        record[first + i] = v;
    }
    const bool ok = table.append(record).ok();
    if (ok) id = table.recordId();
    table.close();
    return ok ? BinResult::Ok : BinResult::WriteFailed;
}

BinResult takeFromBin(std::string_view binFile, std::int32_t id) {
    TableFile table;
    switch (openBin(table, binFile)) {
        case Opened::Missing:
            return BinResult::Gone;
        case Opened::Failed:
            return BinResult::OpenFailed;
        case Opened::Ok:
            break;
    }
    const std::optional<std::int32_t> number =
        id > 0 ? numberOf(table, id) : std::optional<std::int32_t>(0);
    BinResult result = BinResult::Ok;
    if (!number) {
        result = BinResult::ReadFailed;
    } else if (*number == 0) {
        result = BinResult::Gone;
    } else if (!table.goTo(*number) || !table.markDeleted(id)) {
        result = BinResult::WriteFailed;
    } else {
        // Marked is gone from every list; a purge that stops leaves it for
        // the next one.
        (void)table.purge();
    }
    table.close();
    return result;
}

std::optional<std::vector<Deleted>> readBin(std::string_view binFile) {
    std::vector<Deleted> out;
    TableFile table;
    switch (openBin(table, binFile)) {
        case Opened::Missing:
            return out;
        case Opened::Failed:
            return std::nullopt;
        case Opened::Ok:
            break;
    }
    const Status walked = table.forEachRecord([&] {
        if (table.isDeleted()) return true;
        Deleted entry;
        if (readEntry(table, entry)) out.push_back(std::move(entry));
        return true;
    });
    table.close();
    if (!walked) return std::nullopt;
    std::stable_sort(out.begin(), out.end(), [](const Deleted& a, const Deleted& b) {
        if (a.deletedAt != b.deletedAt) return a.deletedAt > b.deletedAt;
        return a.id > b.id;
    });
    return out;
}

BinResult dropDeletedBefore(std::string_view binFile, double cutoff, int& dropped) {
    dropped = 0;
    TableFile table;
    switch (openBin(table, binFile)) {
        case Opened::Missing:
            return BinResult::Ok;
        case Opened::Failed:
            return BinResult::OpenFailed;
        case Opened::Ok:
            break;
    }
    std::vector<std::pair<std::int32_t, std::int32_t>> old;  // number, id
    const Status walked = table.forEachRecord([&] {
        if (table.isDeleted()) return true;
        if (table.read(static_cast<int>(bin::k删除时间) + 1).asDateTime() < cutoff)
            old.emplace_back(table.recordNumber(), table.recordId());
        return true;
    });
    if (!walked) {
        table.close();
        return BinResult::ReadFailed;
    }
    BinResult result = BinResult::Ok;
    for (const auto& [number, id] : old) {
        if (table.goTo(number) && table.markDeleted(id)) {
            ++dropped;
        } else {
            result = BinResult::WriteFailed;
        }
    }
    if (dropped > 0 && !table.purge()) result = BinResult::WriteFailed;
    table.close();
    return result;
}

BinResult putBack(std::string_view binFile, std::int32_t id, std::string_view ledgerFile,
                  std::string_view customerFile, Source* sourceOut) {
    Deleted entry;
    {
        TableFile table;
        switch (openBin(table, binFile)) {
            case Opened::Missing:
                return BinResult::Gone;
            case Opened::Failed:
                return BinResult::ReadFailed;
            case Opened::Ok:
                break;
        }
        const std::optional<std::int32_t> number =
            id > 0 ? numberOf(table, id) : std::optional<std::int32_t>(0);
        const bool found = number && *number > 0 && table.goTo(*number) && !table.isDeleted() &&
                           readEntry(table, entry);
        table.close();
        if (!number) return BinResult::ReadFailed;
        if (!found) return BinResult::Gone;
    }
    if (sourceOut) *sourceOut = entry.source;

    TableFile target;
    const std::string_view file = entry.source == Source::Ledger ? ledgerFile : customerFile;
    if (!target.open(file, tables::kAccessPassword)) return BinResult::OpenFailed;
    // A table restored from an older backup may have narrower fields: cut at
    // a whole character, as every append of the program does.
    const std::span<const schema::Field> own = sourceSchema(entry.source);
    std::vector<TableValue> values = entry.values;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i].kind() == tables::ValueKind::Text)
            values[i] = TableValue::text(
                schema::fitToField(target.fields(), own[i].name, values[i].asText()));
    }
    if (entry.source == Source::Customers) {
        // A customer of that name is in the table (added again since, or
        // never removed because the program stopped between the bin and the
        // delete): a second one would show twice in every list.
        const std::string_view nameField =
            schema::customers::kFields[schema::customers::k姓名].name;
        const std::string name = values[schema::customers::k姓名].asText();
        if (!target.goFirst()) return BinResult::OpenFailed;
        const tables::FindResult same = target.find(
            [&] { return !target.isDeleted() && target.read(nameField).asText() == name; });
        if (!same.status) return BinResult::OpenFailed;
        if (same.found) return BinResult::AlreadyThere;
    }
    const bool appended = target.append(values).ok();
    target.close();
    if (!appended) return BinResult::WriteFailed;
    return takeFromBin(binFile, id) == BinResult::Ok ? BinResult::Ok : BinResult::NotTakenOut;
}

}  // namespace recycle
