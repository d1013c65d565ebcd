#include <cstring>
#include <vector>

#include "file_io.h"
#include "scramble.h"
#include "table_file.h"
#include "table_layout.h"

namespace tables {

using layout::putI32;

namespace {

bool exists(FileSystem& fs, const std::string& path) {
    FileOpenRequest request;
    request.readOnly = true;
    TableError ignored = kOk;
    return fs.open(path, request, &ignored) != nullptr;
}

TableError writeNewFile(FileSystem& fs, const std::string& path, std::vector<std::uint8_t>& bytes,
                        const std::string& password, TableError failure) {
    TableError error = kOk;
    std::unique_ptr<File> file = fs.create(path, &error);
    if (!file) return failure;
    Scrambler scrambler(password);
    scrambler.apply(0, bytes.data(), bytes.size());
    if (file->writeAt(0, bytes.data(), bytes.size()) != kOk) return failure;
    if (file->sync() != kOk) return failure;
    return kOk;
}

}  // namespace

TableError createTable(std::string_view fileName, std::string_view password,
                       const std::vector<FieldDescriptor>& fields) {
    if (fileName.empty()) return kCreateFailed;
    if (fields.empty()) return kNoFields;

    std::int64_t recordSize = 4;
    bool hasMemo = false;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldDescriptor& f = fields[i];
        if (!layout::validNewFieldName(f.name)) return kBadFieldName;
        if (!layout::validType(static_cast<std::int32_t>(f.type))) return kBadFieldType;
        if (f.type == FieldType::Text && (f.width < 1 || f.width > layout::kMaxTextWidth))
            return kBadFieldSize;
        for (std::size_t k = 0; k < i; ++k)
            if (layout::sameFieldName(fields[k].name, f.name)) return kDuplicateFieldName;
        recordSize += fieldSize(f);
        // open() refuses larger records: no sound file has them.
        if (recordSize > layout::kMaxRecordSize) return kBadFieldSize;
        hasMemo = hasMemo || layout::isMemoType(f.type);
    }

    FileSystem& fs = currentFileSystem();
    const std::string path = layout::tableFilePath(fs, fileName);
    const std::string memoPath = layout::memoFilePath(fs, path);
    if (exists(fs, path)) return kCreateFailed;
    if (hasMemo && exists(fs, memoPath)) return kMemoCreateFailed;

    const auto count = static_cast<std::int32_t>(fields.size());
    std::vector<std::uint8_t> bytes(
        static_cast<std::size_t>(layout::kDescriptorsOffset +
                                 std::int64_t(count) * layout::kDescriptorSize),
        0);
    const bool protectedTable = !password.empty();
    std::memcpy(bytes.data(), protectedTable ? layout::kMagicProtected : layout::kMagicPlain, 4);
    putI32(bytes.data() + layout::kVersionOffset, layout::kVersion);
    putI32(bytes.data() + layout::kRecordCountOffset, 0);
    putI32(bytes.data() + layout::kNextIdOffset, 1);
    putI32(bytes.data() + layout::kRecordSizeOffset, static_cast<std::int32_t>(recordSize));
    if (protectedTable) {
        const std::string digest = passwordDigestText(password);
        std::memcpy(bytes.data() + layout::kDigestOffset, digest.data(),
                    digest.size());  // NUL follows
    }
    putI32(bytes.data() + layout::kFieldCountOffset, count);
    std::int32_t offset = 4;
    for (std::int32_t i = 0; i < count; ++i) {
        const FieldDescriptor& f = fields[static_cast<std::size_t>(i)];
        std::uint8_t* d =
            bytes.data() + layout::kDescriptorsOffset + std::int64_t(i) * layout::kDescriptorSize;
        std::memcpy(d, f.name.data(), f.name.size());
        putI32(d + 20, static_cast<std::int32_t>(f.type));
        putI32(d + 24, offset);
        putI32(d + 28, f.type == FieldType::Text ? f.width : 0);
        offset += fieldSize(f);
    }

    const std::string pw(password);
    if (TableError e = writeNewFile(fs, path, bytes, pw, kCreateFailed)) return e;
    if (hasMemo) {
        std::vector<std::uint8_t> memo(static_cast<std::size_t>(layout::kBlockSize), 0);
        std::memcpy(memo.data(), layout::kMagicMemo, 4);
        putI32(memo.data() + 4, layout::kVersion);
        putI32(memo.data() + layout::kMemoBlockCountOffset, 1);
        if (TableError e = writeNewFile(fs, memoPath, memo, pw, kMemoCreateFailed)) return e;
    }
    return kOk;
}

}  // namespace tables
