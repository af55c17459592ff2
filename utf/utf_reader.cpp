#include "utf/utf.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"

namespace cmp {

namespace {

constexpr std::uint64_t NameBudgetFactor = 16;
constexpr std::uint64_t NameBudgetFloor = std::uint64_t{16} << 20;

// Where the blocks lie, after the header has been checked. All positions are file offsets.
struct Blocks {
    std::uint64_t nodeBegin = 0;
    std::uint32_t recordCount = 0;
    std::uint64_t stringBegin = 0;
    std::uint64_t stringSize = 0;
    std::uint64_t dataBegin = 0;
    std::uint64_t dataSize = 0;  // up to the end of the file
};

// One record's fields, read once all of them are known to lie in the file.
struct Record {
    std::uint32_t sibling;
    std::uint32_t name;
    std::uint32_t flags;
    std::uint32_t childOrData;
    std::uint32_t sizes[3];
};

struct DataUse {
    std::uint64_t begin;
    std::uint64_t end;
    std::uint32_t record;
};

class Reader {
  public:
    explicit Reader(const Bytes& bytes) : bytes_(bytes) {}

    bool Read(NodeTree& tree);
    // The first problem found; only valid after Read gave false.
    const Error& Failure() const { return error_; }

  private:
    bool Fail(std::uint64_t offset, std::string message) {
        error_ = Error{ErrorCode::MalformedTreeFile, std::move(message), offset};
        return false;
    }
    std::uint32_t U32(std::uint64_t at) const { return LoadU32(bytes_.data() + at); }
    std::uint64_t RecordAt(std::uint32_t record) const {
        return blocks_.nodeBegin + std::uint64_t{record} * UtfRecordSize;
    }

    bool ReadHeader();
    bool CheckLink(std::uint32_t from, std::uint32_t field, std::uint32_t offset, const char* what,
                   std::uint32_t& target);
    bool ReadName(std::uint32_t record, std::uint32_t offset, std::string& name);
    bool ReadLeaf(std::uint32_t record, const Record& fields, std::optional<Bytes>& payload);
    bool CheckDataOverlaps();

    const Bytes& bytes_;
    Error error_{ErrorCode::MalformedTreeFile, "", 0};
    Blocks blocks_;
    std::vector<std::uint8_t> reached_;
    std::vector<DataUse> dataUses_;
    std::uint64_t nameBytes_ = 0;
    std::uint64_t dataBytes_ = 0;
};

bool Reader::ReadHeader() {
    const std::uint64_t length = bytes_.size();
    if (length < UtfHeaderSize) {
        return Fail(length, "the file is " + std::to_string(length) +
                                " bytes long, shorter than the 56-byte header");
    }
    if (U32(0) != UtfMagic) {
        return Fail(0, "the magic is not \"UTF \"");
    }
    if (U32(4) != UtfVersion) {
        return Fail(4, "version " + HexWord(U32(4)) + " is not 0x101");
    }
    if (U32(UtfRecordSizeField) != UtfRecordSize) {
        return Fail(UtfRecordSizeField,
                    "node record size " + std::to_string(U32(UtfRecordSizeField)) + " is not 44");
    }

    const std::uint64_t nodeBegin = U32(UtfNodeBlockOffsetField);
    const std::uint64_t nodeSize = U32(UtfNodeBlockSizeField);
    if (nodeBegin < UtfHeaderSize || nodeBegin > length) {
        return Fail(UtfNodeBlockOffsetField, "node block offset " + std::to_string(nodeBegin) +
                                                 " is not between the header and the end of the "
                                                 "file (" +
                                                 std::to_string(length) + " bytes)");
    }
    if (nodeSize == 0 || nodeSize % UtfRecordSize != 0) {
        return Fail(UtfNodeBlockSizeField, "node block size " + std::to_string(nodeSize) +
                                               " is not a positive multiple of 44");
    }
    if (nodeSize > length - nodeBegin) {
        return Fail(UtfNodeBlockSizeField, "the node block (" + std::to_string(nodeSize) +
                                               " bytes at " + std::to_string(nodeBegin) +
                                               ") runs past the end of the file (" +
                                               std::to_string(length) + " bytes)");
    }

    const std::uint64_t nodeEnd = nodeBegin + nodeSize;
    const std::uint64_t stringBegin = U32(UtfStringBlockOffsetField);
    const std::uint64_t stringSize =
        std::max(U32(UtfStringBlockSizeField), U32(UtfStringBlockUsedField));
    if (stringBegin < nodeEnd || stringBegin > length) {
        return Fail(UtfStringBlockOffsetField,
                    "string block offset " + std::to_string(stringBegin) +
                        " is not between the end of the node block (" + std::to_string(nodeEnd) +
                        ") and the end of the file (" + std::to_string(length) + ")");
    }
    if (stringSize > length - stringBegin) {
        const std::uint32_t field = U32(UtfStringBlockSizeField) >= U32(UtfStringBlockUsedField)
                                        ? UtfStringBlockSizeField
                                        : UtfStringBlockUsedField;
        return Fail(field, "the string block (" + std::to_string(stringSize) + " bytes at " +
                               std::to_string(stringBegin) + ") runs past the end of the file (" +
                               std::to_string(length) + " bytes)");
    }

    const std::uint64_t stringEnd = stringBegin + stringSize;
    const std::uint64_t dataBegin = U32(UtfDataBlockOffsetField);
    if (dataBegin < stringEnd || dataBegin > length) {
        return Fail(UtfDataBlockOffsetField, "data block offset " + std::to_string(dataBegin) +
                                                 " is not between the end of the string block (" +
                                                 std::to_string(stringEnd) +
                                                 ") and the end of the file (" +
                                                 std::to_string(length) + ")");
    }

    blocks_.nodeBegin = nodeBegin;
    blocks_.recordCount = static_cast<std::uint32_t>(nodeSize / UtfRecordSize);
    blocks_.stringBegin = stringBegin;
    blocks_.stringSize = stringSize;
    blocks_.dataBegin = dataBegin;
    blocks_.dataSize = length - dataBegin;
    return true;
}

// A sibling or child offset must name a record of the node block that nothing else has
// named yet. Marking records as they are named keeps the walk finite on any input.
bool Reader::CheckLink(std::uint32_t from, std::uint32_t field, std::uint32_t offset,
                       const char* what, std::uint32_t& target) {
    const std::uint64_t at = RecordAt(from) + field;
    if (offset % UtfRecordSize != 0 || offset / UtfRecordSize >= blocks_.recordCount) {
        return Fail(at, "record " + std::to_string(from) + ": " + what + " offset " +
                            std::to_string(offset) + " is not the offset of a record (" +
                            std::to_string(blocks_.recordCount) + " records of 44 bytes)");
    }
    target = offset / UtfRecordSize;
    if (reached_[target]) {
        return Fail(at, "record " + std::to_string(from) + ": " + what + " record " +
                            std::to_string(target) +
                            " is reached a second time (a loop or a shared node)");
    }
    reached_[target] = 1;
    return true;
}

bool Reader::ReadName(std::uint32_t record, std::uint32_t offset, std::string& name) {
    const std::uint64_t field = RecordAt(record) + UtfNameField;
    if (offset >= blocks_.stringSize) {
        return Fail(field, "record " + std::to_string(record) + ": name offset " +
                               std::to_string(offset) + " is outside the string block (" +
                               std::to_string(blocks_.stringSize) + " bytes)");
    }
    const std::uint64_t begin = blocks_.stringBegin + offset;
    const auto* first = bytes_.data() + begin;
    const auto* end = first + (blocks_.stringSize - offset);
    const auto* terminator = std::find(first, end, std::uint8_t{0});
    if (terminator == end) {
        return Fail(begin, "record " + std::to_string(record) +
                               ": the name has no terminating 0 byte inside the string block");
    }
    nameBytes_ += static_cast<std::uint64_t>(terminator - first);
    if (nameBytes_ > std::max(NameBudgetFloor, NameBudgetFactor * bytes_.size())) {
        return Fail(field, "record " + std::to_string(record) +
                               ": the names of the records add up to more than 16 times the "
                               "file's length");
    }
    name.assign(reinterpret_cast<const char*>(first), static_cast<std::size_t>(terminator - first));
    return true;
}

bool Reader::ReadLeaf(std::uint32_t record, const Record& fields, std::optional<Bytes>& payload) {
    const std::uint64_t at = RecordAt(record);
    const std::uint64_t begin = fields.childOrData;
    const std::uint64_t size = fields.sizes[0];
    const std::uint64_t room = fields.sizes[1];
    if (room < size) {
        return Fail(at + UtfSizeSecondField,
                    "record " + std::to_string(record) + ": the room kept for the data (" +
                        std::to_string(room) + " bytes) is smaller than its size (" +
                        std::to_string(size) + ")");
    }
    if (fields.sizes[2] != fields.sizes[0]) {
        return Fail(at + UtfSizeThirdField,
                    "record " + std::to_string(record) + ": the third size (" +
                        std::to_string(fields.sizes[2]) + ") differs from the first (" +
                        std::to_string(size) + ")");
    }
    if (begin > blocks_.dataSize || room > blocks_.dataSize - begin) {
        return Fail(at + UtfChildOrDataField,
                    "record " + std::to_string(record) + ": its data (" + std::to_string(room) +
                        " bytes at " + std::to_string(begin) + ") lies outside the data block (" +
                        std::to_string(blocks_.dataSize) + " bytes)");
    }
    if (room > 0) {
        // Disjoint ranges inside the data block add up to at most its size; checking the
        // sum here bounds the copies before the overlap test at the end can run.
        dataBytes_ += room;
        if (dataBytes_ > blocks_.dataSize) {
            return Fail(at + UtfChildOrDataField,
                        "record " + std::to_string(record) +
                            ": the leaves claim more bytes than the data block holds");
        }
        dataUses_.push_back(DataUse{begin, begin + room, record});
    }
    if (size > 0) {
        const auto* first = bytes_.data() + blocks_.dataBegin + begin;
        payload.emplace(first, first + size);
    }
    return true;
}

bool Reader::CheckDataOverlaps() {
    std::sort(dataUses_.begin(), dataUses_.end(),
              [](const DataUse& a, const DataUse& b) { return a.begin < b.begin; });
    for (std::size_t i = 1; i < dataUses_.size(); ++i) {
        if (dataUses_[i].begin < dataUses_[i - 1].end) {
            const std::uint32_t record = dataUses_[i].record;
            return Fail(RecordAt(record) + UtfChildOrDataField,
                        "record " + std::to_string(record) + ": its data overlaps that of record " +
                            std::to_string(dataUses_[i - 1].record));
        }
    }
    return true;
}

bool Reader::Read(NodeTree& tree) {
    if (!ReadHeader()) {
        return false;
    }
    reached_.assign(blocks_.recordCount, 0);
    reached_[0] = 1;

    // Pre-order with an explicit stack: a record's next sibling waits below its first
    // child, so every child is inserted after its elder siblings' whole subtrees.
    struct Pending {
        std::uint32_t record;
        NodeHandle parent;
    };
    std::vector<Pending> pending{{0, NodeHandle()}};
    while (!pending.empty()) {
        const Pending current = pending.back();
        pending.pop_back();
        const std::uint64_t at = RecordAt(current.record);
        Record fields{
            U32(at + UtfSiblingField),
            U32(at + UtfNameField),
            U32(at + UtfFlagsField),
            U32(at + UtfChildOrDataField),
            {U32(at + UtfSizeField), U32(at + UtfSizeSecondField), U32(at + UtfSizeThirdField)}};

        std::string name;
        if (!ReadName(current.record, fields.name, name)) {
            return false;
        }
        std::optional<Bytes> payload;
        std::uint32_t child = 0;
        if (fields.flags == UtfFlagBranch) {
            for (int copy = 0; copy < 3; ++copy) {
                if (fields.sizes[copy] != 0) {
                    return Fail(at + UtfSizeField + 4 * copy,
                                "record " + std::to_string(current.record) +
                                    ": a branch has a data size of " +
                                    std::to_string(fields.sizes[copy]));
                }
            }
            if (fields.childOrData == 0) {
                return Fail(at + UtfChildOrDataField,
                            "record " + std::to_string(current.record) + ": a branch has no child");
            }
            if (!CheckLink(current.record, UtfChildOrDataField, fields.childOrData, "child",
                           child)) {
                return false;
            }
        } else if (fields.flags == UtfFlagLeaf) {
            if (!ReadLeaf(current.record, fields, payload)) {
                return false;
            }
        } else {
            return Fail(at + UtfFlagsField, "record " + std::to_string(current.record) +
                                                ": flags " + HexWord(fields.flags) +
                                                " are neither 0x10 (branch) nor 0x80 (leaf)");
        }
        std::uint32_t sibling = 0;
        if (fields.sibling != 0 &&
            !CheckLink(current.record, UtfSiblingField, fields.sibling, "sibling", sibling)) {
            return false;
        }

        const NodeHandle node = tree.InsertNode(current.parent, std::move(name));
        if (payload) {
            tree.SetPayload(node, std::move(*payload));
        }
        if (fields.sibling != 0) {
            pending.push_back({sibling, current.parent});
        }
        if (child != 0) {
            pending.push_back({child, node});
        }
    }

    const auto unreached = std::find(reached_.begin(), reached_.end(), std::uint8_t{0});
    if (unreached != reached_.end()) {
        const auto record = static_cast<std::uint32_t>(unreached - reached_.begin());
        return Fail(RecordAt(record),
                    "record " + std::to_string(record) + " is not reached from the first record");
    }
    return CheckDataOverlaps();
}

}  // namespace

Status ReadUtfFile(const Bytes& bytes, NodeTree& tree) {
    assert(tree.GetSize() == 0);
    NodeTree read;
    Reader reader(bytes);
    if (!reader.Read(read)) {
        return reader.Failure();
    }
    tree = std::move(read);
    return Status::Ok();
}

}  // namespace cmp
