#include "check.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <utility>

#include "failure.h"
#include "gbk.h"
#include "raw_file.h"
#include "table_file.h"
#include "values.h"

namespace edbtool {
namespace {

using tables::FieldType;

constexpr std::int64_t kHeaderSize = 112;
constexpr std::int64_t kDescriptorSize = 72;
constexpr std::int64_t kBlockSize = 512;
constexpr std::int32_t kBlockData = 500;
constexpr std::int32_t kMaxVersion = 0x10000;
constexpr std::int32_t kFree = -1;

// The nearest codes of the message table for what a check finds.
constexpr tables::TableError kNotTable = tables::kNotATable;
constexpr tables::TableError kTooNew = tables::kVersionTooNew;
constexpr tables::TableError kBadSize = tables::kTableSizeWrong;
constexpr tables::TableError kMemoUnreadable = tables::kMemoOpenFailed;
constexpr tables::TableError kMemoVersion = tables::kMemoVersionMismatch;
constexpr tables::TableError kMemoDamaged = tables::kNotAMemoFile;

struct Field {
    std::string name;  // UTF-8, for messages
    std::string key;   // GBK with ASCII letters folded, for duplicates
    std::int32_t type = 0;
    std::int32_t offset = 0;
    std::int32_t width = 0;
    std::int64_t size = 0;
    bool usable = false;  // type known and inside the record
};

// A memo chain as a record refers to it.
struct Chain {
    std::int64_t slot;
    std::size_t field;
    std::int32_t first;
};

class Checker {
  public:
    Checker(std::string_view name, std::string_view password) : name_(name), password_(password) {}

    std::vector<Problem> run() {
        path_ = tableFilePath(name_);
        tables::TableError error = tables::kOk;
        table_ = RawFile::open(path_, error);
        if (!table_) throw ToolFailure{std::string(name_), error};
        if (checkHeader() && checkDescriptors()) {
            checkRecords();
            if (hasMemoFields()) checkMemo();
        }
        return std::move(problems_);
    }

  private:
    void problem(tables::TableError code, std::string text) {
        problems_.push_back({code, std::move(text)});
    }

    std::string fieldLabel(std::size_t i) const {
        return "field " + std::to_string(i + 1) + " \"" + fields_[i].name + "\"";
    }

    std::string chainLabel(const Chain& c) const {
        return "record " + std::to_string(c.slot + 1) + " " + fieldLabel(c.field);
    }

    bool checkHeader() {
        unsigned char h[kHeaderSize + 4];
        const std::int64_t got = table_->read(0, h, sizeof h);
        if (got < kHeaderSize) {
            problem(kNotTable, "the file is shorter than the 112-byte header");
            return false;
        }
        const std::string_view magic(reinterpret_cast<const char*>(h), 4);
        if (magic != "WEDB" && magic != "WCDB") {
            problem(kNotTable, "the magic is neither WEDB nor WCDB");
            return false;
        }
        const bool protectedTable = magic == "WCDB";
        if (protectedTable == password_.empty())
            throw ToolFailure{std::string(name_), tables::kWrongPassword};
        if (protectedTable) {
            table_->setPassword(password_);
            table_->read(0, h, sizeof h);
            std::string stored(reinterpret_cast<const char*>(h + 28), 32);
            std::transform(stored.begin(), stored.end(), stored.begin(),
                           [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
            if (stored != tables::passwordDigestText(password_))
                throw ToolFailure{std::string(name_), tables::kWrongPassword};
        }
        version_ = wordAt(h + 4);
        count_ = wordAt(h + 16);
        nextId_ = wordAt(h + 20);
        recordSize_ = wordAt(h + 24);
        if (version_ > kMaxVersion)
            problem(kTooNew, "version " + std::to_string(version_) + " is above 0x10000");
        if (count_ < 0) {
            problem(kNotTable, "the record count " + std::to_string(count_) + " is negative");
            count_ = 0;
        }
        if (nextId_ < 1)
            problem(kNotTable, "the next record id " + std::to_string(nextId_) + " is below 1");
        if (recordSize_ <= 0) {
            problem(kNotTable,
                    "the record size " + std::to_string(recordSize_) + " is not positive");
            return false;
        }
        if (got < kHeaderSize + 4) {
            problem(kNotTable, "the file ends before the field count");
            return false;
        }
        const std::int32_t fieldCount = wordAt(h + kHeaderSize);
        if (fieldCount <= 0) {
            problem(kNotTable,
                    "the field count " + std::to_string(fieldCount) + " is not positive");
            return false;
        }
        fieldCount_ = fieldCount;
        return true;
    }

    bool checkDescriptors() {
        fileSize_ = table_->size();
        dataStart_ = kHeaderSize + 4 + kDescriptorSize * fieldCount_;
        if (fileSize_ < dataStart_) {
            problem(kNotTable, "the file ends inside the " + std::to_string(fieldCount_) +
                                   " field descriptors");
            return false;
        }
        std::vector<unsigned char> d(static_cast<std::size_t>(kDescriptorSize * fieldCount_));
        if (table_->read(kHeaderSize + 4, d.data(), d.size()) !=
            static_cast<std::int64_t>(d.size())) {
            problem(kNotTable, "the field descriptors cannot be read");
            return false;
        }
        fields_.resize(static_cast<std::size_t>(fieldCount_));
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            const unsigned char* p = d.data() + i * kDescriptorSize;
            Field& f = fields_[i];
            const auto* nul = static_cast<const unsigned char*>(std::memchr(p, 0, 17));
            const std::string gbk(reinterpret_cast<const char*>(p), nul ? nul - p : 17);
            f.name = convert::gbkToUtf8(gbk);
            f.key = fieldNameKey(gbk);
            f.type = wordAt(p + 20);
            f.offset = wordAt(p + 24);
            f.width = wordAt(p + 28);
            if (!nul) problem(kNotTable, fieldLabel(i) + ": the name has no NUL within 17 bytes");
            if (gbk.empty()) problem(kNotTable, fieldLabel(i) + ": the name is empty");
            bool known = f.type >= 1 && f.type <= 12;
            if (!known)
                problem(kNotTable, fieldLabel(i) + ": unknown type " + std::to_string(f.type));
            if (f.type == static_cast<std::int32_t>(FieldType::Text) && f.width < 1) {
                problem(kNotTable,
                        fieldLabel(i) + ": text width " + std::to_string(f.width) + " is below 1");
                known = false;
            }
            if (f.offset < 4) {
                problem(kNotTable, fieldLabel(i) + ": offset " + std::to_string(f.offset) +
                                       " lies inside the record id");
                known = false;
            }
            if (!known) continue;
            tables::FieldDescriptor fd;
            fd.type = static_cast<FieldType>(f.type);
            fd.width = f.width;
            f.size = tables::fieldSize(fd);
            if (f.offset + f.size > recordSize_) {
                problem(kNotTable, fieldLabel(i) + ": bytes " + std::to_string(f.offset) + " to " +
                                       std::to_string(f.offset + f.size - 1) +
                                       " reach past the record size " +
                                       std::to_string(recordSize_));
                continue;
            }
            f.usable = true;
        }
        checkOverlapsAndNames();
        return true;
    }

    void checkOverlapsAndNames() {
        std::vector<std::size_t> order;
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            if (fields_[i].usable) order.push_back(i);
        }
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return fields_[a].offset < fields_[b].offset;
        });
        for (std::size_t k = 1; k < order.size(); ++k) {
            const Field& a = fields_[order[k - 1]];
            if (a.offset + a.size > fields_[order[k]].offset)
                problem(kNotTable, fieldLabel(order[k]) + " overlaps " + fieldLabel(order[k - 1]));
        }
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (!fields_[i].key.empty() && fields_[i].key == fields_[j].key) {
                    problem(kNotTable, fieldLabel(i) + " has the name of " + fieldLabel(j));
                    break;
                }
            }
        }
    }

    bool hasMemoFields() const {
        return std::any_of(fields_.begin(), fields_.end(), [](const Field& f) {
            return f.type == static_cast<std::int32_t>(FieldType::Bytes) ||
                   f.type == static_cast<std::int32_t>(FieldType::Memo);
        });
    }

    void checkRecords() {
        const std::int64_t slots = (fileSize_ - dataStart_) / recordSize_;
        const std::int64_t expected = dataStart_ + static_cast<std::int64_t>(count_) * recordSize_;
        if (slots < count_) {
            problem(kBadSize, "the file holds " + std::to_string(slots) +
                                  " whole record slots but the header counts " +
                                  std::to_string(count_));
        } else if (fileSize_ != expected) {
            problem(kBadSize,
                    std::to_string(fileSize_ - expected) + " bytes follow the last record slot");
        }
        const std::int64_t walk = std::min<std::int64_t>(count_, slots);

        std::vector<std::size_t> memoFields;
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            const Field& f = fields_[i];
            if (f.usable && (f.type == static_cast<std::int32_t>(FieldType::Bytes) ||
                             f.type == static_cast<std::int32_t>(FieldType::Memo)))
                memoFields.push_back(i);
        }

        std::vector<std::pair<std::int64_t, std::int64_t>> ids;  // |id|, slot
        ids.reserve(static_cast<std::size_t>(walk));
        // Records are read in chunks of about a megabyte; a huge record is
        // read a word at a time instead.
        constexpr std::int64_t kChunk = 1 << 20;
        const std::int64_t perChunk = recordSize_ <= kChunk ? kChunk / recordSize_ : 0;
        std::vector<unsigned char> buf(
            static_cast<std::size_t>(perChunk > 0 ? perChunk * recordSize_ : 4));
        for (std::int64_t slot = 0; slot < walk;) {
            const std::int64_t n = perChunk > 0 ? std::min(perChunk, walk - slot) : 1;
            const std::int64_t at = dataStart_ + slot * recordSize_;
            auto word = [&](std::int64_t r, std::int64_t offset) -> std::int32_t {
                unsigned char w[4] = {};
                if (perChunk > 0) return wordAt(buf.data() + r * recordSize_ + offset);
                table_->read(at + offset, w, 4);
                return wordAt(w);
            };
            if (perChunk > 0 &&
                table_->read(at, buf.data(), static_cast<std::size_t>(n * recordSize_)) !=
                    n * recordSize_) {
                problem(kBadSize, "record " + std::to_string(slot + 1) + " cannot be read");
                break;
            }
            for (std::int64_t r = 0; r < n; ++r) {
                const std::int64_t s = slot + r;
                const std::int64_t id = word(r, 0);
                if (id == 0) {
                    problem(kNotTable, "record " + std::to_string(s + 1) + " has the id 0");
                } else {
                    const std::int64_t absId = id < 0 ? -id : id;
                    if (nextId_ >= 1 && absId >= nextId_)
                        problem(kNotTable, "record " + std::to_string(s + 1) + " has the id " +
                                               std::to_string(absId) +
                                               ", not below the next record id " +
                                               std::to_string(nextId_));
                    ids.emplace_back(absId, s);
                }
                for (const std::size_t f : memoFields) {
                    const std::int32_t first = word(r, fields_[f].offset);
                    if (first != 0) chains_.push_back({s, f, first});
                }
            }
            slot += n;
        }
        std::sort(ids.begin(), ids.end());
        for (std::size_t k = 1; k < ids.size(); ++k) {
            if (ids[k].first == ids[k - 1].first)
                problem(kNotTable, "records " + std::to_string(ids[k - 1].second + 1) + " and " +
                                       std::to_string(ids[k].second + 1) + " share the id " +
                                       std::to_string(ids[k].first));
        }
    }

    // Reads memo block b whole; false when it cannot be had.
    bool readBlock(std::int32_t b, unsigned char* block) {
        return memo_->read(b * kBlockSize, block, kBlockSize) == kBlockSize;
    }

    static bool zeroFrom(const unsigned char* block, std::int32_t used) {
        const unsigned char* data = block + 12;
        return std::all_of(data + used, data + kBlockData, [](unsigned char c) { return c == 0; });
    }

    void checkMemo() {
        const std::string memoPath = memoFilePath(path_);
        tables::TableError error = tables::kOk;
        memo_ = RawFile::open(memoPath, error);
        if (!memo_) {
            problem(kMemoUnreadable, "the memo file cannot be opened (" + std::to_string(error) +
                                         " " + std::string(tables::errorText(error)) + ")");
            return;
        }
        unsigned char h[32];
        if (memo_->read(0, h, sizeof h) < static_cast<std::int64_t>(sizeof h)) {
            problem(kMemoUnreadable, "the memo file is shorter than its 32-byte header");
            return;
        }
        if (std::memcmp(h, "WEDT", 4) != 0) {
            problem(kMemoUnreadable, "the memo file's magic is not WEDT");
            return;
        }
        if (!password_.empty()) {
            memo_->setPassword(password_);
            memo_->read(0, h, sizeof h);
        }
        const std::int32_t version = wordAt(h + 4);
        const std::int32_t blockCount = wordAt(h + 16);
        const std::int32_t freeCount = wordAt(h + 20);
        const std::int32_t firstFree = wordAt(h + 24);
        if (version != version_)
            problem(kMemoVersion, "the memo file's version " + std::to_string(version) +
                                      " differs from the table's " + std::to_string(version_));
        if (blockCount < 1)
            problem(kMemoUnreadable,
                    "the memo block count " + std::to_string(blockCount) + " is below 1");
        if (freeCount < 0 || (blockCount >= 1 && freeCount >= blockCount))
            problem(kMemoUnreadable, "the free block count " + std::to_string(freeCount) +
                                         " is outside 0 to the block count - 1");
        if (firstFree < 0 || (blockCount >= 1 && firstFree >= blockCount))
            problem(kMemoUnreadable, "the first free block " + std::to_string(firstFree) +
                                         " is outside 0 to the block count - 1");

        const std::int64_t size = memo_->size();
        if (size % kBlockSize != 0)
            problem(kMemoDamaged, "the memo file's length " + std::to_string(size) +
                                      " is not a whole number of 512-byte blocks");
        const std::int64_t fileBlocks = size / kBlockSize;
        if (blockCount >= 1 && fileBlocks < blockCount)
            problem(kMemoDamaged, "the memo file holds " + std::to_string(fileBlocks) +
                                      " blocks but its header counts " +
                                      std::to_string(blockCount));
        else if (blockCount >= 1 && fileBlocks > blockCount)
            problem(kMemoDamaged, "the memo file holds " + std::to_string(fileBlocks) +
                                      " blocks but its header counts only " +
                                      std::to_string(blockCount));
        // Blocks that both the header and the file have.
        blocks_ = static_cast<std::int32_t>(std::clamp<std::int64_t>(
            blockCount >= 1 ? std::min<std::int64_t>(blockCount, fileBlocks) : fileBlocks, 1,
            std::numeric_limits<std::int32_t>::max()));
        if (fileBlocks < 1) blocks_ = 0;
        owner_.assign(static_cast<std::size_t>(std::max(blocks_, 1)), 0);

        for (std::size_t c = 0; c < chains_.size(); ++c) walkChain(c);
        walkFreeList(firstFree, freeCount);
        reportUnowned();
    }

    void walkChain(std::size_t index) {
        const Chain& chain = chains_[index];
        const auto id = static_cast<std::int32_t>(index + 1);
        const std::string label = chainLabel(chain);
        std::array<unsigned char, kBlockSize> block{};
        std::int32_t previous = 0;
        std::int32_t b = chain.first;
        while (b != 0) {
            if (b < 1 || b >= blocks_) {
                problem(kMemoDamaged, label + ": the chain leads to block " + std::to_string(b) +
                                          ", outside the memo file's " + std::to_string(blocks_) +
                                          " blocks");
                return;
            }
            const std::int32_t owner = owner_[static_cast<std::size_t>(b)];
            if (owner == id) {
                problem(kMemoDamaged,
                        label + ": the chain loops back to block " + std::to_string(b));
                return;
            }
            if (owner != 0) {
                problem(kMemoDamaged, label + ": block " + std::to_string(b) +
                                          " also belongs to the chain of " +
                                          chainLabel(chains_[static_cast<std::size_t>(owner - 1)]));
                return;
            }
            owner_[static_cast<std::size_t>(b)] = id;
            if (!readBlock(b, block.data())) {
                problem(kMemoDamaged, label + ": block " + std::to_string(b) + " cannot be read");
                return;
            }
            const std::int32_t prev = wordAt(block.data());
            const std::int32_t next = wordAt(block.data() + 4);
            const std::int32_t used = wordAt(block.data() + 8);
            const std::string where = label + ": block " + std::to_string(b);
            if (prev != previous)
                problem(kMemoDamaged, where + " names " + std::to_string(prev) +
                                          " as its previous block instead of " +
                                          std::to_string(previous));
            if (used < 1 || used > kBlockData) {
                problem(kMemoDamaged,
                        where + " says " + std::to_string(used) + " bytes used, not 1 to 500");
            } else {
                if (next != 0 && used != kBlockData)
                    problem(kMemoDamaged, where + " holds " + std::to_string(used) +
                                              " bytes but is not the last block of its chain");
                if (!zeroFrom(block.data(), used))
                    problem(kMemoDamaged, where + " has non-zero bytes after its " +
                                              std::to_string(used) + " used bytes");
            }
            previous = b;
            b = next;
        }
    }

    void walkFreeList(std::int32_t first, std::int32_t freeCount) {
        std::array<unsigned char, kBlockSize> block{};
        std::int32_t previous = 0;
        std::int64_t found = 0;
        std::int32_t b = first;
        while (b != 0) {
            if (b < 1 || b >= blocks_) {
                problem(kMemoDamaged, "the free list leads to block " + std::to_string(b) +
                                          ", outside the memo file's " + std::to_string(blocks_) +
                                          " blocks");
                break;
            }
            const std::int32_t owner = owner_[static_cast<std::size_t>(b)];
            if (owner == kFree) {
                problem(kMemoDamaged, "the free list loops back to block " + std::to_string(b));
                break;
            }
            if (owner != 0) {
                problem(kMemoDamaged, "free block " + std::to_string(b) +
                                          " is also in the chain of " +
                                          chainLabel(chains_[static_cast<std::size_t>(owner - 1)]));
                break;
            }
            owner_[static_cast<std::size_t>(b)] = kFree;
            ++found;
            if (!readBlock(b, block.data())) {
                problem(kMemoDamaged, "free block " + std::to_string(b) + " cannot be read");
                break;
            }
            const std::int32_t prev = wordAt(block.data());
            const std::int32_t used = wordAt(block.data() + 8);
            // Taking the first free block leaves the next one's previous
            // word as it was, so only the blocks behind the head must agree.
            if (previous != 0 && prev != previous)
                problem(kMemoDamaged,
                        "free block " + std::to_string(b) + " names " + std::to_string(prev) +
                            " as its previous block instead of " + std::to_string(previous));
            if (used != 0)
                problem(kMemoDamaged, "free block " + std::to_string(b) + " says " +
                                          std::to_string(used) + " bytes used, not 0");
            if (!zeroFrom(block.data(), 0))
                problem(kMemoDamaged,
                        "free block " + std::to_string(b) + " has non-zero data bytes");
            previous = b;
            b = wordAt(block.data() + 4);
        }
        if (found != freeCount)
            problem(kMemoDamaged, "the free list holds " + std::to_string(found) +
                                      " blocks but the header counts " + std::to_string(freeCount));
    }

    // Blocks neither free nor in a chain, reported as runs.
    void reportUnowned() {
        for (std::int32_t b = 1; b < blocks_;) {
            if (owner_[static_cast<std::size_t>(b)] != 0) {
                ++b;
                continue;
            }
            std::int32_t end = b;
            while (end + 1 < blocks_ && owner_[static_cast<std::size_t>(end + 1)] == 0) ++end;
            problem(kMemoDamaged, (end == b ? "block " + std::to_string(b) + " is"
                                            : "blocks " + std::to_string(b) + " to " +
                                                  std::to_string(end) + " are") +
                                      " neither free nor in any chain");
            b = end + 1;
        }
    }

    std::string_view name_;
    std::string password_;
    std::string path_;
    std::unique_ptr<RawFile> table_;
    std::unique_ptr<RawFile> memo_;
    std::vector<Problem> problems_;
    std::int32_t version_ = 0;
    std::int32_t count_ = 0;
    std::int32_t nextId_ = 0;
    std::int32_t recordSize_ = 0;
    std::int32_t fieldCount_ = 0;
    std::int64_t fileSize_ = 0;
    std::int64_t dataStart_ = 0;
    std::vector<Field> fields_;
    std::vector<Chain> chains_;
    std::int32_t blocks_ = 0;
    std::vector<std::int32_t> owner_;  // per memo block: chain number, kFree or 0
};

}  // namespace

std::vector<Problem> checkTable(std::string_view name, std::string_view password) {
    return Checker(name, password).run();
}

}  // namespace edbtool
