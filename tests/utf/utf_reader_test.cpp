#include "utf/utf.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/utf/test_trees.h"

namespace cmp {

namespace {

// Records of the interleaved tree's 244-byte file: T, P, R, Q.
constexpr std::size_t RecordT = 56, RecordP = 100, RecordR = 144, RecordQ = 188;
constexpr std::size_t StringBlock = 232;

Bytes InterleavedFile() {
    return UtfLayout(InterleavedTree()).GetFileBytes();
}

void Put(Bytes& file, std::size_t at, std::uint32_t value) {
    StoreU32(file.data() + at, value);
}

TEST(UtfReaderTest, ReadsTheWriterOutputBack) {
    NodeTree tree;
    const Status error = ReadUtfFile(InterleavedFile(), tree);
    ASSERT_TRUE(error) << error.message();
    const std::vector<FlatNode> expected = {
        {0, "T", {}}, {1, "P", {}}, {2, "R", {1, 2}}, {1, "Q", {3}}};
    EXPECT_EQ(Flatten(tree), expected);
    EXPECT_EQ(tree.GetPayload(tree.GetFirstChild(tree.GetRoot())), nullptr);
}

struct BadFile {
    const char* what;
    std::function<void(Bytes&)> spoil;
    std::size_t offset;
    const char* message;  // a fragment of the message
};

TEST(UtfReaderTest, ReportsTheFirstProblemAndWhereItIs) {
    const std::vector<BadFile> cases = {
        {"shorter than a header", [](Bytes& f) { f.resize(55); }, 55, "shorter than the 56-byte"},
        {"magic", [](Bytes& f) { f[3] = 'X'; }, 0, "magic"},
        {"version", [](Bytes& f) { Put(f, 4, 0x100); }, 4, "version 0x100"},
        {"record size", [](Bytes& f) { Put(f, 0x14, 40); }, 0x14, "record size 40"},
        {"node block inside the header", [](Bytes& f) { Put(f, 0x08, 40); }, 0x08,
         "node block offset 40"},
        {"node block size not whole records", [](Bytes& f) { Put(f, 0x0C, 170); }, 0x0C,
         "multiple of 44"},
        {"no records", [](Bytes& f) { Put(f, 0x0C, 0); }, 0x0C, "multiple of 44"},
        {"node block past the end", [](Bytes& f) { Put(f, 0x0C, 4400); }, 0x0C,
         "the node block (4400 bytes at 56) runs past the end of the file (244 bytes)"},
        {"string block inside the node block", [](Bytes& f) { Put(f, 0x18, 200); }, 0x18,
         "string block offset 200"},
        {"string block past the end", [](Bytes& f) { Put(f, 0x1C, 100); }, 0x1C, "runs past"},
        // The larger of the two string block sizes counts, and its own field is named.
        {"used string size past the end", [](Bytes& f) { Put(f, 0x20, 100); }, 0x20,
         "the string block (100 bytes at 232) runs past"},
        {"used string size into the data block", [](Bytes& f) { Put(f, 0x20, 10); }, 0x24,
         "end of the string block (242)"},
        {"data block past the end", [](Bytes& f) { Put(f, 0x24, 300); }, 0x24,
         "data block offset 300"},
        {"sibling between records", [](Bytes& f) { Put(f, RecordP, 45); }, RecordP,
         "sibling offset 45"},
        {"sibling beyond the records", [](Bytes& f) { Put(f, RecordP, 176); }, RecordP,
         "sibling offset 176"},
        {"loop back to an ancestor", [](Bytes& f) { Put(f, RecordR, 44); }, RecordR, "second time"},
        {"child shared by two branches",
         [](Bytes& f) {
             Put(f, RecordQ + 8, 0x10);
             Put(f, RecordQ + 16, 88);
             for (std::size_t field = 20; field < 32; field += 4) {
                 Put(f, RecordQ + field, 0);
             }
         },
         RecordQ + 16, "second time"},
        {"name outside the string block", [](Bytes& f) { Put(f, RecordR + 4, 9); }, RecordR + 4,
         "name offset 9"},
        {"name without its 0 byte", [](Bytes& f) { f[StringBlock + 8] = 'x'; }, StringBlock + 7,
         "terminating 0"},
        {"unknown flags", [](Bytes& f) { Put(f, RecordT + 8, 0x11); }, RecordT + 8, "flags 0x11"},
        {"branch with a size", [](Bytes& f) { Put(f, RecordT + 24, 5); }, RecordT + 24,
         "branch has a data size"},
        {"branch without child", [](Bytes& f) { Put(f, RecordT + 16, 0); }, RecordT + 16,
         "no child"},
        {"leaf data past the data block", [](Bytes& f) { Put(f, RecordR + 16, 2); }, RecordR + 16,
         "outside the data block"},
        // R gives up its data, so the leaves claim less than the block holds; Q's one
        // byte is the last of the block, the room kept for it is not.
        {"room past the data block",
         [](Bytes& f) {
             for (std::size_t field = 20; field < 32; field += 4) {
                 Put(f, RecordR + field, 0);
             }
             Put(f, RecordQ + 24, 2);
         },
         RecordQ + 16, "its data (2 bytes at 2) lies outside the data block (3 bytes)"},
        {"room smaller than the size", [](Bytes& f) { Put(f, RecordR + 24, 1); }, RecordR + 24,
         "smaller than its size"},
        {"third size differs", [](Bytes& f) { Put(f, RecordR + 28, 3); }, RecordR + 28,
         "third size"},
        {"leaves claim more than the block", [](Bytes& f) { Put(f, RecordR + 24, 3); },
         RecordQ + 16, "more bytes than the data block"},
        {"overlapping leaves", [](Bytes& f) { Put(f, RecordQ + 16, 1); }, RecordQ + 16, "overlaps"},
        {"unreachable record", [](Bytes& f) { Put(f, RecordP, 0); }, RecordQ, "not reached"},
    };
    for (const BadFile& c : cases) {
        Bytes file = InterleavedFile();
        c.spoil(file);
        NodeTree tree;
        const Status error = ReadUtfFile(file, tree);
        EXPECT_FALSE(error) << c.what;
        EXPECT_EQ(error.error().offset, c.offset) << c.what << ": " << error.message();
        EXPECT_NE(error.message().find(c.message), std::string::npos)
            << c.what << ": " << error.message();
        EXPECT_EQ(tree.GetSize(), 0u) << c.what;
    }
}

TEST(UtfReaderTest, ToleratesWhatOtherWritersFillDifferently) {
    const std::vector<std::pair<const char*, std::function<void(Bytes&)>>> cases = {
        {"header fields the tree does not need",
         [](Bytes& f) {
             for (std::size_t at : {0x10, 0x28, 0x2C, 0x30, 0x34}) {
                 Put(f, at, 0xDEADBEEF);
             }
         }},
        {"record fields the tree does not need",
         [](Bytes& f) {
             for (std::size_t record : {RecordT, RecordP, RecordR, RecordQ}) {
                 for (std::size_t at : {0x0C, 0x20, 0x24, 0x28}) {
                     Put(f, record + at, 0x12345678);
                 }
             }
         }},
        {"a smaller second string block size", [](Bytes& f) { Put(f, 0x20, 5); }},
        {"room kept after the last leaf",
         [](Bytes& f) {
             f.push_back(0xEE);
             Put(f, RecordQ + 24, 2);
         }},
        {"a gap before the data block",
         [](Bytes& f) {
             f.insert(f.begin() + 241, 0xEE);
             Put(f, 0x24, 242);
         }},
    };
    const std::vector<FlatNode> expected = Flatten(InterleavedTree());
    for (const auto& [what, change] : cases) {
        Bytes file = InterleavedFile();
        change(file);
        NodeTree tree;
        const Status error = ReadUtfFile(file, tree);
        ASSERT_TRUE(error) << what << ": " << error.message();
        EXPECT_EQ(Flatten(tree), expected) << what;
    }
}

TEST(UtfReaderTest, RandomTreesRoundTrip) {
    for (std::uint32_t seed = 1; seed <= 200; ++seed) {
        const NodeTree written = RandomTree(seed, 1 + static_cast<int>(seed % 90));
        NodeTree read;
        const Status error = ReadUtfFile(UtfLayout(written).GetFileBytes(), read);
        ASSERT_TRUE(error) << "seed " << seed << ": " << error.message();
        EXPECT_EQ(Flatten(read), Flatten(written)) << "seed " << seed;
    }
}

TEST(UtfReaderTest, RejectsEveryTruncation) {
    NodeTree single;
    single.InsertNode(NodeHandle(), "T");  // no data: the string block ends the file
    std::vector<Bytes> files = {InterleavedFile(), UtfLayout(single).GetFileBytes()};
    for (std::uint32_t seed : {3u, 17u, 42u}) {
        NodeTree tree = RandomTree(seed, 25);
        Attach(tree, tree.Registry().back(), {1, 2, 3});  // data up to the last byte
        if (!tree.GetFirstChild(tree.Registry().back())) {
            files.push_back(UtfLayout(tree).GetFileBytes());
        }
    }
    for (const Bytes& file : files) {
        for (std::size_t length = 0; length < file.size(); ++length) {
            NodeTree tree;
            const Status error = ReadUtfFile(Bytes(file.begin(), file.begin() + length), tree);
            ASSERT_FALSE(error) << "cut to " << length << " of " << file.size();
            EXPECT_EQ(error.code(), ErrorCode::MalformedTreeFile);
            EXPECT_LE(error.error().offset.value_or(~0ull), file.size());
        }
    }
}

// Whatever a corrupted file reads as must itself be a tree that writes and reads back the
// same; and nothing may be read outside the buffer (the sanitizer builds watch that).
TEST(UtfReaderTest, SurvivesSingleByteCorruptions) {
    const Bytes original = UtfLayout(RandomTree(7, 30)).GetFileBytes();
    int accepted = 0;
    for (std::size_t at = 0; at < original.size(); ++at) {
        for (int variant = 0; variant < 4; ++variant) {
            Bytes file = original;
            const std::uint8_t values[] = {0x00, 0xFF, static_cast<std::uint8_t>(file[at] ^ 0x01),
                                           static_cast<std::uint8_t>(file[at] ^ 0x80)};
            file[at] = values[variant];
            NodeTree tree;
            const Status error = ReadUtfFile(file, tree);
            if (!error) {
                EXPECT_FALSE(error.message().empty());
                EXPECT_LE(error.error().offset.value_or(~0ull), file.size());
                continue;
            }
            ++accepted;
            NodeTree again;
            const Status reread = ReadUtfFile(UtfLayout(tree).GetFileBytes(), again);
            ASSERT_TRUE(reread) << reread.message();
            EXPECT_EQ(Flatten(again), Flatten(tree)) << "byte " << at;
        }
    }
    EXPECT_GT(accepted, 0);  // corrupted payload bytes are still a valid file
}

TEST(UtfReaderTest, WideAndDeepFilesNeedNoDeepStack) {
    NodeTree wide;
    NodeHandle top = wide.InsertNode(NodeHandle(), "top");
    for (int i = 0; i < 100000; ++i) {
        wide.InsertNode(top, "leaf");
    }
    NodeTree deep;
    NodeHandle node;
    for (int i = 0; i < 100000; ++i) {
        node = deep.InsertNode(node, "level");
    }
    for (const NodeTree* written : {&wide, &deep}) {
        NodeTree read;
        const Status error = ReadUtfFile(UtfLayout(*written).GetFileBytes(), read);
        ASSERT_TRUE(error) << error.message();
        EXPECT_EQ(read.GetSize(), written->GetSize());
        EXPECT_EQ(Flatten(read).back(), Flatten(*written).back());
    }
}

TEST(UtfReaderTest, RefusesNamesThatMultiplyTheFile) {
    // One long name shared by every record: small file, huge tree of copies.
    NodeTree tree;
    const std::string name(10000, 'n');
    NodeHandle top = tree.InsertNode(NodeHandle(), name);
    for (int i = 0; i < 2000; ++i) {
        tree.InsertNode(top, name);
    }
    const Bytes file = UtfLayout(tree).GetFileBytes();
    NodeTree read;
    const Status error = ReadUtfFile(file, read);
    EXPECT_FALSE(error);
    EXPECT_NE(error.message().find("16 times"), std::string::npos) << error.message();
}

}  // namespace

}  // namespace cmp
