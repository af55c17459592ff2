// The temporary mesh data file: what it holds, what a read-back accepts, that it never
// outlives its owner whatever goes wrong, and that nothing else standing at its name
// (a file of the user's, a link, a FIFO, another run's file) is ever opened, followed,
// overwritten or removed.
#include "plugin/plugin.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "files/files.h"
#include "mesh/mesh.h"
#include "tests/mesh/mesh_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"

namespace cmp {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

MeshList OneTriangleList(float x = 0) {
    MeshList meshes;
    meshes.push_back(
        MeshRecord("Tri", "abc", VerticesAt({{x, 0, 0}, {1, 0, 0}, {0, 1, 0}}), {0, 1, 2}));
    return meshes;
}

// What stands at a name, as a test compares it before and after: its type, and the
// content of a file or the target of a link.
std::string Describe(const fs::path& path) {
    const fs::file_status status = fs::symlink_status(path);
    switch (status.type()) {
        case fs::file_type::not_found:
            return "nothing";
        case fs::file_type::symlink:
            return "link to " + fs::read_symlink(path).string();
        case fs::file_type::regular:
            return "file: " + ReadWholeFile(path);
        case fs::file_type::directory:
            return "folder";
        case fs::file_type::fifo:
            return "fifo";
        default:
            return "other";
    }
}

// A FIFO opened for writing would block the run for good: a hang ends the test program
// instead of the test run.
class HangGuard {
  public:
    explicit HangGuard(unsigned seconds) { alarm(seconds); }
    ~HangGuard() { alarm(0); }
};

// A mesh of `vertices` distinct vertices (every value differs, so a piece out of place
// shows) and `triangles` triangles over them.
ExportMesh NumberedMesh(const char* name, int vertices, int triangles) {
    std::vector<ExportVertex> records;
    for (int v = 0; v < vertices; ++v) {
        const auto f = static_cast<float>(v) + static_cast<float>(std::strlen(name)) / 64;
        records.push_back(VertexAt(f, -f, f / 2, f / 4, f / 8));
    }
    std::vector<std::uint16_t> corners;
    for (int k = 0; k < 3 * triangles && vertices > 0; ++k) {
        corners.push_back(static_cast<std::uint16_t>((k * 7 + 1) % vertices));
    }
    return MeshRecord(name, name, std::move(records), std::move(corners));
}

// The file holds the stream byte for byte however its pieces fall: small meshes gathered
// into one write, meshes of more than 64 KiB written on their own, hardpoint meshes and
// empty meshes between them.
TEST(TemporaryStream, GivesBackWhatItWroteAndIsGoneAfterwards) {
    struct Case {
        const char* what;
        MeshList meshes;
    };
    std::vector<Case> cases;
    cases.push_back({"one triangle", OneTriangleList()});
    cases.push_back({"small meshes around hardpoints",
                     {NumberedMesh("a", 5, 3), NumberedMesh("HpFixed01", 3, 0),
                      NumberedMesh("bb", 0, 0), NumberedMesh("ccc", 40, 30)}});
    cases.push_back({"large meshes between small ones",
                     {NumberedMesh("small", 4, 2), NumberedMesh("large", 3000, 2500),
                      NumberedMesh("Hp_Revolute_x", 1, 0), NumberedMesh("tiny", 3, 1),
                      NumberedMesh("larger", 5000, 11000)}});
    for (const Case& c : cases) {
        ScratchFolder scratch;
        const Bytes expected = BuildMeshDataStream(c.meshes);
        TemporaryStream stream;
        ASSERT_TRUE(stream.Write(c.meshes)) << c.what;
        EXPECT_EQ(fs::file_size(TempStreamFileName), expected.size()) << c.what;
        Result<Bytes> read = stream.ReadBack(expected.size());
        ASSERT_TRUE(read) << c.what << ": " << read.message();
        EXPECT_TRUE(read.value() == expected) << c.what;
        EXPECT_FALSE(fs::exists(TempStreamFileName)) << c.what;
    }
}

// What may stand at the name when a run begins. Only the leftover of a killed run (a
// whole mesh data stream that no run holds) is replaced; everything else is left exactly
// as it was, and the message gives the file's full path and why.
TEST(TemporaryStream, WhatStandsAtTheNameIsReplacedOnlyWhenItIsAKilledRunsLeftover) {
    const Bytes leftover = BuildMeshDataStream(OneTriangleList(7));
    const std::string leftoverText(leftover.begin(), leftover.end());
    struct Case {
        const char* what;
        std::function<void()> prepare;
        const char* part;  // of the message; null: the write succeeds
    };
    const std::vector<Case> cases = {
        {"nothing", [] {}, nullptr},
        {"a killed run's leftover", [&] { WriteWholeFile(TempStreamFileName, leftover); }, nullptr},
        {"a leftover with a byte more",
         [&] { WriteWholeFile(TempStreamFileName, leftoverText + "x"); },
         "a file of that name is already there that this exporter did not make"},
        {"a leftover cut short",
         [&] { WriteWholeFile(TempStreamFileName, leftoverText.substr(0, 40)); },
         "a mesh data file that an export began and did not finish (it was stopped while "
         "writing) is there, and no export holds it; it is left alone. If no export is running "
         "in the folder "},
        {"a header alone", [&] { WriteWholeFile(TempStreamFileName, leftoverText.substr(0, 16)); },
         "a mesh data file that an export began and did not finish"},
        {"less than a header",
         [&] { WriteWholeFile(TempStreamFileName, leftoverText.substr(0, 15)); },
         "a file of that name is already there that this exporter did not make"},
        {"a file of the user's", [] { WriteWholeFile(TempStreamFileName, "my notes"); },
         "a file of that name is already there"},
        {"an empty file, a stopped run's or the user's",
         [] { WriteWholeFile(TempStreamFileName, ""); },
         "an empty file of that name is there, most likely left by an export that was stopped "
         "before it wrote anything, and no export holds it; it is left alone. If no export is "
         "running in the folder "},
        {"a folder", [] { fs::create_directory(TempStreamFileName); },
         "a folder of that name is in the way (Is a directory)"},
        {"a link to a file of the user's",
         [] {
             WriteWholeFile("target.txt", "mine");
             fs::create_symlink("target.txt", TempStreamFileName);
         },
         "a link of that name is in the way; it is not followed"},
        {"a link to nothing", [] { fs::create_symlink("nowhere.txt", TempStreamFileName); },
         "a link of that name"},
        {"a link to a full device", [] { fs::create_symlink("/dev/full", TempStreamFileName); },
         "a link of that name"},
        {"a FIFO", [] { ASSERT_EQ(mkfifo(TempStreamFileName, 0600), 0); },
         "a FIFO, device or socket of that name is in the way; it is not opened"},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        c.prepare();
        const std::string before = c.part ? Describe(TempStreamFileName) : "";
        const std::string target = ReadWholeFile("target.txt");
        HangGuard guard(20);
        TemporaryStream stream(TempStreamFileName, milliseconds(100));
        const Status written = stream.Write(OneTriangleList());
        if (c.part == nullptr) {
            ASSERT_TRUE(written) << c.what << ": " << written.message();
            const Result<Bytes> read = stream.ReadBack(MeshDataStreamSize(OneTriangleList()));
            ASSERT_TRUE(read) << c.what;
            EXPECT_EQ(read.value(), BuildMeshDataStream(OneTriangleList())) << c.what;
            EXPECT_EQ(Describe(TempStreamFileName), "nothing") << c.what;
            continue;
        }
        ASSERT_FALSE(written) << c.what;
        EXPECT_EQ(written.code(), ErrorCode::CannotCreate) << c.what;
        const std::string full = (scratch.GetPath() / TempStreamFileName).string();
        EXPECT_EQ(written.message().rfind(full + ": ", 0), 0u)
            << c.what << ": " << written.message();
        EXPECT_NE(written.message().find(c.part), std::string::npos) << written.message();
        if (std::string(c.part).find("If no export is running in the folder") !=
            std::string::npos) {
            EXPECT_NE(written.message().find("in the folder " + scratch.GetPath().string() +
                                             ", delete the file, then export again"),
                      std::string::npos)
                << written.message();
        }
        stream.Remove();
        EXPECT_EQ(Describe(TempStreamFileName), before) << c.what;
        EXPECT_EQ(ReadWholeFile("target.txt"), target) << c.what;
    }
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

// A file another run holds is waited for; if it stays, the run says that another export
// is working in the folder, and the other run's file stays whole.
TEST(TemporaryStream, AnotherRunsFileIsWaitedForAndNeverTouched) {
    ScratchFolder scratch;
    const MeshList first = OneTriangleList(1);
    const MeshList second = OneTriangleList(2);
    TemporaryStream holder;
    ASSERT_TRUE(holder.Write(first));

    TemporaryStream impatient(TempStreamFileName, milliseconds(150));
    const auto start = std::chrono::steady_clock::now();
    const Status refused = impatient.Write(second);
    ASSERT_FALSE(refused);
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(150));
    EXPECT_EQ(refused.code(), ErrorCode::CannotCreate);
    EXPECT_NE(refused.message().find("another export is running in this folder"), std::string::npos)
        << refused.message();
    impatient.Remove();
    const Result<Bytes> held = holder.ReadBack(MeshDataStreamSize(first));
    ASSERT_TRUE(held) << held.message();
    EXPECT_EQ(held.value(), BuildMeshDataStream(first));

    // The holder finishes while the second run waits: it then gets the name.
    ASSERT_TRUE(holder.Write(first));
    std::thread finisher([&] {
        std::this_thread::sleep_for(milliseconds(200));
        holder.Remove();
    });
    TemporaryStream patient(TempStreamFileName, milliseconds(5000));
    const Status written = patient.Write(second);
    finisher.join();
    ASSERT_TRUE(written) << written.message();
    const Result<Bytes> read = patient.ReadBack(MeshDataStreamSize(second));
    ASSERT_TRUE(read) << read.message();
    EXPECT_EQ(read.value(), BuildMeshDataStream(second));
}

// A killed run's whole leftover that this user may not delete (another user's, in a
// shared sticky folder; or in a folder this user may not write) ends the run at once with
// the reason and what to do, and stays as it was.
TEST(TemporaryStream, ALeftoverThatCannotBeRemovedEndsTheRunSayingWhy) {
    ScratchFolder scratch;
    const fs::path shared = scratch.GetPath() / "shared";
    fs::create_directory(shared);
    const Bytes leftover = BuildMeshDataStream(OneTriangleList(7));
    WriteWholeFile(shared / TempStreamFileName, leftover);
    // The superuser's child is another user: a sticky folder keeps it from deleting the
    // superuser's file. Anyone else is kept out of a folder without write permission.
    chmod(scratch.GetPath().c_str(), 0755);
    chmod(shared.c_str(), RunningAsSuperuser() ? 01777 : 0555);
    const int reason = RunningAsSuperuser() ? EPERM : EACCES;
    const ChildEnd end = RunInChild(
        [&] {
            if (chdir(shared.c_str()) != 0) {
                return 3;
            }
            TemporaryStream stream(TempStreamFileName, milliseconds(5000));
            const Status written = stream.Write(OneTriangleList());
            const std::string expected =
                (shared / TempStreamFileName).string() +
                ": a mesh data file left by an export that was stopped is there, and it cannot "
                "be removed (" +
                std::strerror(reason) + ")";
            if (written || written.message().rfind(expected, 0) != 0 ||
                written.message().find("Have its owner delete it, or export with another "
                                       "working folder") == std::string::npos) {
                std::fprintf(stderr, "%s\n", written ? "written" : written.message().c_str());
                return 1;
            }
            return 0;
        },
        milliseconds(4000), ChildUser::Other);
    chmod(shared.c_str(), 0755);
    EXPECT_FALSE(end.timedOut) << "the run did not end";
    EXPECT_TRUE(end.exited && end.status == 0) << end.status;
    EXPECT_EQ(ReadWholeFileBytes(shared / TempStreamFileName), leftover);
}

// A run that waits for another export's file waits with the stop signals free: a stop
// ends it at once by that signal, and the other run's file stays.
TEST(TemporaryStream, AWaitForAnotherExportEndsAtAStop) {
    ScratchFolder scratch;
    WriteWholeFile(TempStreamFileName, "another run's file");
    const int other = open(TempStreamFileName, O_RDONLY);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    const auto start = std::chrono::steady_clock::now();
    const ChildEnd end = RunInChild(
        [] {
            const StopSignalGuard guard;
            const pthread_t waiting = pthread_self();
            std::thread([waiting] {
                std::this_thread::sleep_for(milliseconds(200));
                pthread_kill(waiting, SIGTERM);
            }).detach();
            TemporaryStream stream(TempStreamFileName, milliseconds(60000));
            (void)stream.Write(OneTriangleList());
            return 0;
        },
        milliseconds(10000));
    close(other);
    EXPECT_FALSE(end.timedOut);
    EXPECT_TRUE(end.signaled && end.status == SIGTERM) << end.status;
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(5000));
    EXPECT_EQ(ReadWholeFile(TempStreamFileName), "another run's file");
}

// Whatever the read-back meets, it reports it with a code and the file's name; the file
// this run wrote is gone afterwards, and what someone else put at its name stays. Only
// the very file the run wrote is read: another file of the same length put in its place
// (another export's stream, say) is refused, not read.
TEST(TemporaryStream, AReadBackReadsOnlyTheFileThisRunWrote) {
    const Bytes other = BuildMeshDataStream(OneTriangleList(9));
    struct Case {
        const char* what;
        std::function<void()> meddle;  // between the write and the read-back
        ErrorCode code;
        const char* part;
        std::string left;  // what stands at the name afterwards
    };
    const std::vector<Case> cases = {
        {"removed", [] { fs::remove(TempStreamFileName); }, ErrorCode::CannotRead,
         "it is no longer there (No such file or directory)", "nothing"},
        {"replaced by a stream of the same length",
         [&] {
             fs::remove(TempStreamFileName);
             WriteWholeFile(TempStreamFileName, other);
         },
         ErrorCode::CannotRead, "another file has taken its place",
         "file: " + std::string(other.begin(), other.end())},
        {"replaced by a link to /dev/null",
         [] {
             fs::remove(TempStreamFileName);
             fs::create_symlink("/dev/null", TempStreamFileName);
         },
         ErrorCode::CannotRead, "another file has taken its place", "link to /dev/null"},
        {"shortened", [] { fs::resize_file(TempStreamFileName, 59); }, ErrorCode::StreamMismatch,
         "it yielded 59 bytes where the meshes call for", "nothing"},
        {"lengthened", [] { fs::resize_file(TempStreamFileName, 200); }, ErrorCode::StreamMismatch,
         "it yielded 200 bytes where the meshes call for", "nothing"},
        {"grown past any stream", [] { fs::resize_file(TempStreamFileName, 64u << 20); },
         ErrorCode::CannotRead, "more than any mesh data stream can hold", "nothing"},
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
        EXPECT_EQ(Describe(TempStreamFileName), c.left) << c.what;
    }
}

// What a read-back gives is what the file holds, not what was written: a byte changed in
// place on disk (same file, same length) comes back changed, wherever it is.
TEST(TemporaryStream, AReadBackGivesWhatTheFileHoldsNotWhatWasWritten) {
    struct Case {
        const char* what;
        std::function<void(Bytes&)> change;  // of the file's content, in place
    };
    const std::vector<Case> cases = {
        {"first byte", [](Bytes& bytes) { bytes.front() ^= 0xFF; }},
        {"a middle byte", [](Bytes& bytes) { bytes[bytes.size() / 2] ^= 0x01; }},
        {"last byte", [](Bytes& bytes) { bytes.back() ^= 0x80; }},
        {"every byte", [](Bytes& bytes) { std::fill(bytes.begin(), bytes.end(), 0xA5); }},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        const MeshList meshes = OneTriangleList();
        const Bytes written = BuildMeshDataStream(meshes);
        TemporaryStream stream;
        ASSERT_TRUE(stream.Write(meshes)) << c.what;
        Bytes changed = written;
        c.change(changed);
        {
            std::FILE* file = std::fopen(TempStreamFileName, "r+b");
            ASSERT_NE(file, nullptr) << c.what;
            ASSERT_EQ(std::fwrite(changed.data(), 1, changed.size(), file), changed.size());
            std::fclose(file);
        }
        const Result<Bytes> read = stream.ReadBack(written.size());
        ASSERT_TRUE(read) << c.what << ": " << read.message();
        EXPECT_EQ(read.value(), changed) << c.what;
    }
}

TEST(TemporaryStream, AReadBackWithoutAWriteSaysSo) {
    ScratchFolder scratch;
    TemporaryStream stream;
    const Result<Bytes> read = stream.ReadBack(16);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.code(), ErrorCode::CannotRead);
    EXPECT_NE(read.message().find("it was never written"), std::string::npos) << read.message();
}

// A working folder the file cannot be made in: the message gives the full path, also of
// a folder that has been removed, and the system's reason.
TEST(TemporaryStream, AFolderThatTakesNoFileIsNamedWithTheReason) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> prepare;
        int reason;
    };
    const std::vector<Case> cases = {
        {"removed", [](const fs::path& folder) { fs::remove(folder); }, ENOENT},
        {"read-only", [](const fs::path& folder) { chmod(folder.c_str(), 0555); }, EACCES},
    };
    for (const Case& c : cases) {
        if (c.reason == EACCES && geteuid() == 0) {
            continue;  // the superuser writes into any folder
        }
        ScratchFolder scratch;
        const fs::path folder = scratch.GetPath() / "work";
        fs::create_directory(folder);
        fs::current_path(folder);
        c.prepare(folder);
        TemporaryStream stream;
        const Status written = stream.Write(OneTriangleList());
        fs::current_path(scratch.GetPath());
        chmod(folder.c_str(), 0755);
        ASSERT_FALSE(written) << c.what;
        EXPECT_EQ(written.code(), ErrorCode::CannotCreate) << c.what;
        EXPECT_EQ(written.message(),
                  (folder / TempStreamFileName).string() + ": " + std::strerror(c.reason))
            << c.what;
    }
}

// A working folder whose path is too long for the file to be removed by a stop signal:
// the run is refused before it leaves anything.
TEST(TemporaryStream, AFileAStopCouldNotRemoveIsNotMade) {
    ScratchFolder scratch;
    const std::string level(200, 'd');
    while (fs::current_path().string().size() + 1 + std::strlen(TempStreamFileName) <= 4095) {
        fs::create_directory(level);
        fs::current_path(level);
    }
    TemporaryStream stream;
    const Status written = stream.Write(OneTriangleList());
    ASSERT_FALSE(written);
    EXPECT_EQ(written.code(), ErrorCode::CannotCreate);
    EXPECT_NE(written.message().find("bytes long, and a file whose path is longer than 4095 "
                                     "bytes could not be removed should the run be stopped"),
              std::string::npos)
        << written.message().substr(written.message().size() - 200);
    EXPECT_FALSE(fs::exists(TempStreamFileName));
    fs::current_path(scratch.GetPath());
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
