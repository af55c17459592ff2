#include "utf/utf.h"

#include <cassert>
#include <limits>
#include <utility>
#include <vector>

namespace cmp {

UtfLayout::UtfLayout(const NodeTree& tree) {
    assert(tree.GetRoot());

    // Registry pass: every name once, in insertion order, and the final block sizes.
    // Sizes are summed in 64 bits so that a tree too large for the format is caught
    // here instead of wrapping around.
    std::uint64_t nodeBlockSize = 0;
    std::size_t payloads = 0;
    nameOffsets_.reserve(tree.GetSize());
    strings_.Reserve(tree.GetSize());  // at most one distinct name per node
    for (NodeHandle node : tree.Registry()) {
        nameOffsets_.push_back(strings_.Add(tree.GetName(node)));
        nodeBlockSize += UtfRecordSize;
        if (const Payload* payload = tree.GetPayload(node)) {
            dataBlockSize_ += payload->bytes.size();
            ++payloads;
        }
    }
    const std::uint64_t fileSize =
        UtfHeaderSize + nodeBlockSize + strings_.GetSize() + dataBlockSize_;
    if (fileSize > std::numeric_limits<std::uint32_t>::max()) {
        fitsFormat_ = false;
        dataBlockSize_ = 0;
        return;
    }

    stringBlock_.assign(strings_.GetSize(), 0);
    strings_.CopyOut(stringBlock_.data());
    nodeBlock_.assign(nodeBlockSize, 0);
    leafPayloads_.reserve(payloads);
    Emit(tree);
    assert(nextIndex_ * UtfRecordSize == nodeBlock_.size());
}

// Writes every field of one record except the sibling offset, which is known only once
// the node's whole subtree has been emitted.
std::uint32_t UtfLayout::EmitRecord(const NodeTree& tree, NodeHandle node) {
    const std::uint32_t index = nextIndex_++;
    std::uint8_t* record = nodeBlock_.data() + std::size_t{index} * UtfRecordSize;
    StoreU32(record + UtfNameField, nameOffsets_[tree.GetIndex(node)]);
    if (tree.GetFirstChild(node)) {
        // The first child is always the very next record.
        StoreU32(record + UtfFlagsField, UtfFlagBranch);
        StoreU32(record + UtfChildOrDataField, (index + 1) * UtfRecordSize);
        return index;
    }
    const Payload* payload = tree.GetPayload(node);
    const std::uint32_t size = payload ? static_cast<std::uint32_t>(payload->bytes.size()) : 0;
    StoreU32(record + UtfFlagsField, UtfFlagLeaf);
    StoreU32(record + UtfChildOrDataField, dataFill_);
    StoreU32(record + UtfSizeField, size);
    StoreU32(record + UtfSizeSecondField, size);
    StoreU32(record + UtfSizeThirdField, size);
    if (size > 0) {
        leafPayloads_.emplace_back(payload->bytes);
        dataFill_ += size;
    }
    return index;
}

// Pre-order over first-child and next-sibling links. `open` holds the records of the
// ancestors whose next sibling is still to come; a node's sibling offset is set just
// before that sibling's record is emitted, which is where a recursive walk would put it.
void UtfLayout::Emit(const NodeTree& tree) {
    std::vector<std::pair<NodeHandle, std::uint32_t>> open;
    NodeHandle node = tree.GetRoot();
    while (node) {
        const std::uint32_t index = EmitRecord(tree, node);
        if (NodeHandle child = tree.GetFirstChild(node)) {
            open.emplace_back(node, index);
            node = child;
            continue;
        }
        // A leaf: climb until some node on the way up has a next sibling.
        std::pair<NodeHandle, std::uint32_t> current{node, index};
        node = NodeHandle();
        while (true) {
            if (NodeHandle sibling = tree.GetNextSibling(current.first)) {
                std::uint8_t* record =
                    nodeBlock_.data() + std::size_t{current.second} * UtfRecordSize;
                StoreU32(record + UtfSiblingField, nextIndex_ * UtfRecordSize);
                node = sibling;
                break;
            }
            if (open.empty()) {
                break;
            }
            current = open.back();
            open.pop_back();
        }
    }
}

Bytes UtfLayout::GetFileBytes() const {
    const auto nodeBlockSize = static_cast<std::uint32_t>(nodeBlock_.size());
    const auto stringBlockSize = static_cast<std::uint32_t>(stringBlock_.size());
    const std::uint32_t stringBlockOffset = UtfHeaderSize + nodeBlockSize;
    Bytes file;
    file.reserve(UtfHeaderSize + nodeBlock_.size() + stringBlock_.size() + dataBlockSize_);
    AppendU32(file, UtfMagic);
    AppendU32(file, UtfVersion);
    AppendU32(file, UtfHeaderSize);  // node block offset
    AppendU32(file, nodeBlockSize);
    AppendU32(file, 0);
    AppendU32(file, UtfRecordSize);
    AppendU32(file, stringBlockOffset);
    AppendU32(file, stringBlockSize);
    AppendU32(file, stringBlockSize);
    AppendU32(file, stringBlockOffset + stringBlockSize);  // data block offset
    for (int reserved = 0; reserved < 4; ++reserved) {
        AppendU32(file, 0);
    }
    assert(file.size() == UtfHeaderSize);
    file.insert(file.end(), nodeBlock_.begin(), nodeBlock_.end());
    file.insert(file.end(), stringBlock_.begin(), stringBlock_.end());
    for (const std::span<const std::uint8_t> payload : leafPayloads_) {
        file.insert(file.end(), payload.begin(), payload.end());
    }
    file.resize(file.size() + (dataBlockSize_ - dataFill_), 0);  // payloads on branches
    return file;
}

}  // namespace cmp
