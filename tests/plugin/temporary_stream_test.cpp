// The temporary mesh data file: what it holds, what a read-back accepts, and that it
// never outlives its owner whatever goes wrong.
#include "plugin/temporary_stream.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "mesh/mesh_data_stream.h"
#include "tests/mesh/mesh_test_support.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"

namespace cmp {
namespace {

namespace fs = std::filesystem;

MeshList OneTriangleList() {
    MeshList meshes;
    meshes.push_back(
        MeshRecord("Tri", "abc", VerticesAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), {0, 1, 2}));
    return meshes;
}

TEST(TemporaryStream, GivesBackWhatItWroteAndIsGoneAfterwards) {
    ScratchFolder scratch;
    WriteWholeFile(TempStreamFileName, "a leftover that is longer than the stream, and must go");
    const MeshList meshes = OneTriangleList();
    const Bytes expected = BuildMeshDataStream(meshes);
    TemporaryStream stream;
    ASSERT_TRUE(stream.Write(meshes));
    EXPECT_EQ(fs::file_size(TempStreamFileName), expected.size());
    Result<Bytes> read = stream.ReadBack(expected.size());
    ASSERT_TRUE(read) << read.message();
    EXPECT_EQ(read.value(), expected);
    EXPECT_FALSE(fs::exists(TempStreamFileName));
}

// Whatever the read-back meets, it reports it with a code and the file's name, and the
// file is gone afterwards. A link to /dev/null takes the whole stream and gives nothing
// back; a file someone else rewrote gives other bytes; a file grown past any possible
// stream is refused without reading it.
TEST(TemporaryStream, AReadBackThatFailsStillLeavesNothingBehind) {
    struct Case {
        const char* what;
        std::function<void()> meddle;  // between the write and the read-back
        ErrorCode code;
        const char* part;
    };
    const std::vector<Case> cases = {
        {"removed", [] { fs::remove(TempStreamFileName); }, ErrorCode::CannotRead,
         std::strerror(ENOENT)},
        {"shortened", [] { fs::resize_file(TempStreamFileName, 59); }, ErrorCode::StreamMismatch,
         "it yielded 59 bytes where the meshes call for"},
        {"lengthened", [] { fs::resize_file(TempStreamFileName, 200); }, ErrorCode::StreamMismatch,
         "it yielded 200 bytes where the meshes call for"},
        {"grown past any stream", [] { fs::resize_file(TempStreamFileName, 64u << 20); },
         ErrorCode::CannotRead, "more than any mesh data stream can hold"},
        {"a link to /dev/null",
         [] {
             fs::remove(TempStreamFileName);
             fs::create_symlink("/dev/null", TempStreamFileName);
         },
         ErrorCode::StreamMismatch, "it yielded 0 bytes"},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        const MeshList meshes = OneTriangleList();
        TemporaryStream stream;
        ASSERT_TRUE(stream.Write(meshes)) << c.what;
        c.meddle();
        const Result<Bytes> read = stream.ReadBack(MeshDataStreamSize(meshes));
        ASSERT_FALSE(read) << c.what;
        EXPECT_EQ(read.code(), c.code) << c.what;
        EXPECT_NE(read.message().find("'___temp.vms'"), std::string::npos) << read.message();
        EXPECT_NE(read.message().find(c.part), std::string::npos) << read.message();
        EXPECT_TRUE(fs::is_empty(scratch.GetPath())) << c.what;
    }
}

TEST(TemporaryStream, WhatStandsInTheWayOfTheWriteIsReported) {
    struct Case {
        const char* what;
        std::function<void()> prepare;
        ErrorCode code;
        int reason;
    };
    const std::vector<Case> cases = {
        {"a folder of the user's", [] { fs::create_directory(TempStreamFileName); },
         ErrorCode::CannotCreate, EISDIR},
        {"a full device", [] { fs::create_symlink("/dev/full", TempStreamFileName); },
         ErrorCode::CannotWrite, ENOSPC},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        c.prepare();
        TemporaryStream stream;
        const Status written = stream.Write(OneTriangleList());
        ASSERT_FALSE(written) << c.what;
        EXPECT_EQ(written.code(), c.code) << c.what;
        EXPECT_NE(written.message().find("___temp.vms"), std::string::npos) << written.message();
        EXPECT_NE(written.message().find(std::strerror(c.reason)), std::string::npos)
            << written.message();
    }
    // The folder is the user's and stays; the device is untouched.
    ScratchFolder scratch;
    fs::create_directory(TempStreamFileName);
    {
        TemporaryStream stream;
        EXPECT_FALSE(stream.Write(OneTriangleList()));
    }
    EXPECT_TRUE(fs::is_directory(TempStreamFileName));
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

// A write that stops short of a regular file: the file-size limit makes the write
// fail with EFBIG once the stream passes 100 bytes. The partial file must go.
TEST(TemporaryStream, AShortWriteRemovesThePartialFile) {
    ScratchFolder scratch;
    MeshList meshes;
    std::vector<ExportVertex> vertices(64, VertexAt(1, 2, 3));
    meshes.push_back(MeshRecord("Big", "abc", vertices, {0, 1, 2}));

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    TemporaryStream stream;
    const Status written = stream.Write(meshes);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);

    ASSERT_FALSE(written);
    EXPECT_EQ(written.code(), ErrorCode::CannotWrite);
    EXPECT_NE(written.message().find(std::strerror(EFBIG)), std::string::npos) << written.message();
    EXPECT_FALSE(fs::exists(fs::symlink_status(TempStreamFileName)));
}

TEST(TemporaryStream, TheOwnerRemovesTheFileWhenItGoes) {
    ScratchFolder scratch;
    {
        TemporaryStream stream;
        ASSERT_TRUE(stream.Write(OneTriangleList()));
        EXPECT_TRUE(fs::exists(TempStreamFileName));
    }
    EXPECT_FALSE(fs::exists(TempStreamFileName));
}

}  // namespace
}  // namespace cmp
