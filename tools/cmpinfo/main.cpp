// cmpinfo: prints, checks or exports as JSON the tree of one tree file (.cmp and kin).
// Exit status: 0 sound, 1 problems found, 2 unreadable or wrong usage.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "tools/cmpinfo/inspect.h"
#include "tools/cmpinfo/render_json.h"
#include "tools/cmpinfo/render_text.h"
#include "utf/utf_reader.h"

namespace cmp {
namespace {

constexpr int ExitSound = 0;
constexpr int ExitProblems = 1;
constexpr int ExitUnreadable = 2;

constexpr std::uint64_t MaxTreeFileSize = 0xFFFFFFFFu;

constexpr const char* Usage =
    "Usage: cmpinfo [--check | --json] FILE\n"
    "\n"
    "Reads a tree file (a compound model, .cmp, or any file that begins with \"UTF \"),\n"
    "checks its structure and prints its tree: every node indented under its parent,\n"
    "every leaf with its size. Leaves it knows are decoded and checked:\n"
    "  VMeshData     the mesh data stream: header, every mesh header, the length its\n"
    "                counts call for, every index against its mesh's vertex count\n"
    "  VMeshRef      the mesh reference: its size, the library entry it names (which\n"
    "                must exist) and its mesh count (which must match that entry's data)\n"
    "  File name, Object name            text ending in one 0 byte\n"
    "  Position, Axis, Orientation       three reals; Orientation in three rows\n"
    "  Max, Min                          one real\n"
    "Other leaves show their first bytes in hex.\n"
    "\n"
    "Options:\n"
    "  --check   print nothing but the problems found, one per line\n"
    "  --json    print the same content as JSON (with --check: the problems only)\n"
    "  --help    print this help\n"
    "\n"
    "Exit status: 0 no problems, 1 problems found, 2 the file cannot be read as a tree\n"
    "file (the message names the file, the reason and the byte offset) or wrong usage.\n";

// The file's bytes; on failure the system's reason.
Result<Bytes> ReadWholeFile(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        return Error{ErrorCode::CannotRead, std::strerror(errno)};
    }
    Bytes bytes;
    // Read in pieces up to the end: works for pipes and special files as well, and never
    // trusts a length the system reports.
    std::uint8_t piece[65536];
    std::size_t got;
    while ((got = std::fread(piece, 1, sizeof piece, file)) > 0) {
        if (bytes.size() > MaxTreeFileSize - got) {
            std::fclose(file);
            return Error{ErrorCode::TreeTooLarge,
                         "longer than the 4 GiB a tree file's offsets can address"};
        }
        bytes.insert(bytes.end(), piece, piece + got);
    }
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) {
        return Error{ErrorCode::CannotRead, std::strerror(error)};
    }
    return bytes;
}

// Why the bytes are not a tree file, with the byte offset where the reader stopped.
std::string DescribeUnreadable(const Status& read) {
    return read.message() + " (at byte " + std::to_string(read.error().offset.value_or(0)) + ")";
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "cmpinfo: %s\nTry 'cmpinfo --help'.\n", message.c_str());
    return ExitUnreadable;
}

}  // namespace

// The program, with its arguments as main received them.
int Main(int argc, char** argv) {
    bool check = false;
    bool json = false;
    const char* path = nullptr;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (!optionsEnded && (argument == "--help" || argument == "-h")) {
            std::fputs(Usage, stdout);
            return ExitSound;
        }
        if (!optionsEnded && argument == "--check") {
            check = true;
        } else if (!optionsEnded && argument == "--json") {
            json = true;
        } else if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            return UsageError("unknown option '" + std::string(argument) + "'");
        } else if (path) {
            return UsageError("one file at a time");
        } else {
            path = argv[i];
        }
    }
    if (!path) {
        return UsageError("no file given");
    }

    const Result<Bytes> file = ReadWholeFile(path);
    if (!file) {
        std::fprintf(stderr, "cmpinfo: %s: cannot read: %s\n", path, file.message().c_str());
        return ExitUnreadable;
    }
    const Bytes& bytes = file.value();
    NodeTree tree;
    if (const Status read = ReadUtfFile(bytes, tree); !read) {
        std::fprintf(stderr, "cmpinfo: %s: not a readable tree file: %s\n", path,
                     DescribeUnreadable(read).c_str());
        return ExitUnreadable;
    }

    const FileReport report = InspectTree(tree, path, bytes.size());
    std::string output;
    if (check) {
        output = json ? RenderProblemsJson(report) : RenderProblems(report);
    } else {
        output = json ? RenderJson(report) : RenderText(report);
    }
    std::fwrite(output.data(), 1, output.size(), stdout);
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "cmpinfo: cannot write the output: %s\n", std::strerror(errno));
        return ExitUnreadable;
    }
    return report.CountProblems() > 0 ? ExitProblems : ExitSound;
}

}  // namespace cmp

int main(int argc, char** argv) {
    return cmp::Main(argc, argv);
}
