#include "support/table_check.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <stdexcept>

namespace tables::testing {

const RawField& RawTable::field(std::string_view name) const {
    for (const RawField& f : fields)
        if (f.name == name) return f;
    throw std::logic_error("no field " + std::string(name));
}

std::int32_t RawTable::integer(const RawRecord& r, std::string_view name) const {
    return get32(r.bytes, static_cast<std::size_t>(field(name).offset));
}

std::string RawTable::text(const RawRecord& r, std::string_view name) const {
    const RawField& f = field(name);
    const auto* p = reinterpret_cast<const char*>(r.bytes.data() + f.offset);
    return std::string(p, std::find(p, p + f.width, '\0'));
}

RawTable inspectTable(const std::filesystem::path& table, const std::filesystem::path& memo,
                      std::string_view password) {
    RawTable t;
    auto damage = [&](std::string what) { t.damage.push_back(std::move(what)); };
    const Bytes f = readPlain(table, password);
    t.count = get32(f, 16);
    t.nextId = get32(f, 20);
    t.recordSize = get32(f, 24);
    const std::int32_t fieldCount = get32(f, 112);
    t.dataStart = 116 + 72 * std::int64_t(fieldCount);
    bool hasMemo = false;
    for (std::int32_t i = 0; i < fieldCount; ++i) {
        const std::size_t d = 116 + 72 * std::size_t(i);
        RawField field;
        field.name = reinterpret_cast<const char*>(f.data() + d);
        field.type = get32(f, d + 20);
        field.offset = get32(f, d + 24);
        field.width = get32(f, d + 28);
        hasMemo = hasMemo || field.type == 11 || field.type == 12;
        t.fields.push_back(field);
    }
    if (std::int64_t(f.size()) < t.dataStart + std::int64_t(t.count) * t.recordSize) {
        damage("the table file is shorter than its record count");
        return t;
    }

    Bytes m;
    std::set<std::int32_t> freeBlocks;
    if (hasMemo) {
        m = readPlain(memo, password);
        if (m.size() < 512 || std::memcmp(m.data(), "WEDT", 4) != 0) {
            damage("no memo header");
            return t;
        }
        t.blockCount = get32(m, 16);
        t.freeCount = get32(m, 20);
        t.firstFree = get32(m, 24);
        const auto fileBlocks = static_cast<std::int32_t>(m.size() / 512);
        if (t.blockCount < 1 || t.blockCount > fileBlocks)
            damage("block count " + std::to_string(t.blockCount) + " with " +
                   std::to_string(fileBlocks) + " blocks in the file");
        if (t.freeCount < 0 || t.freeCount >= std::max(t.blockCount, 1))
            damage("free count " + std::to_string(t.freeCount));
        for (std::int32_t b = t.firstFree, prev = 0; b != 0;
             prev = b, b = get32(m, std::size_t(b) * 512 + 4)) {
            if (b < 1 || b >= t.blockCount || b >= fileBlocks) {
                damage("the free list leaves the counted blocks at " + std::to_string(b));
                break;
            }
            if (!freeBlocks.insert(b).second) {
                damage("the free list loops at block " + std::to_string(b));
                break;
            }
            const std::size_t o = std::size_t(b) * 512;
            if (get32(m, o + 8) != 0 ||
                std::any_of(m.begin() + std::ptrdiff_t(o + 12), m.begin() + std::ptrdiff_t(o + 512),
                            [](std::uint8_t c) { return c != 0; }))
                damage("block " + std::to_string(b) + " on the free list holds data");
            // The head's previous word may be stale (nothing reads it).
            if (prev != 0 && get32(m, o) != prev)
                damage("free block " + std::to_string(b) + " does not point back at " +
                       std::to_string(prev));
        }
        t.freeListLength = static_cast<std::int32_t>(freeBlocks.size());
        if (t.freeListLength > t.freeCount)
            damage("the free list holds " + std::to_string(t.freeListLength) +
                   " blocks, its count says " + std::to_string(t.freeCount));
    }

    std::set<std::int64_t> ids;
    std::map<std::int32_t, std::int64_t> owner;  // block -> the slot whose chain holds it
    for (std::int64_t s = 0; s < t.count; ++s) {
        RawRecord r;
        r.slot = s;
        const auto at = static_cast<std::size_t>(t.dataStart + s * t.recordSize);
        r.bytes.assign(f.begin() + std::ptrdiff_t(at),
                       f.begin() + std::ptrdiff_t(at + std::size_t(t.recordSize)));
        r.id = get32(r.bytes, 0);
        r.stale = !ids.insert(r.id < 0 ? -std::int64_t(r.id) : r.id).second;
        for (const RawField& field : t.fields) {
            if (r.stale || (field.type != 11 && field.type != 12)) continue;
            const std::string where = "record " + std::to_string(s + 1) + " " + field.name;
            std::string value;
            bool sound = true;
            for (std::int32_t b = get32(r.bytes, std::size_t(field.offset)), prev = 0; b != 0;) {
                if (b < 1 || b >= t.blockCount) {
                    damage(where + " points outside the counted blocks: " + std::to_string(b));
                    sound = false;
                    break;
                }
                if (freeBlocks.count(b)) damage(where + " holds free block " + std::to_string(b));
                if (auto [it, fresh] = owner.try_emplace(b, s); !fresh) {
                    damage(where + " shares block " + std::to_string(b) + " with record " +
                           std::to_string(it->second + 1));
                    sound = false;
                    break;
                }
                const std::size_t o = std::size_t(b) * 512;
                const std::int32_t used = get32(m, o + 8);
                if (used < 1 || used > 500 || get32(m, o) != prev ||
                    std::any_of(m.begin() + std::ptrdiff_t(o + 12 + std::size_t(used)),
                                m.begin() + std::ptrdiff_t(o + 512),
                                [](std::uint8_t c) { return c != 0; })) {
                    damage(where + " has a broken block " + std::to_string(b));
                    sound = false;
                    break;
                }
                value.append(reinterpret_cast<const char*>(m.data() + o + 12),
                             static_cast<std::size_t>(used));
                prev = b;
                b = get32(m, o + 4);
            }
            if (sound) r.memo[field.name] = value;
        }
        t.records.push_back(std::move(r));
    }
    return t;
}

}  // namespace tables::testing
