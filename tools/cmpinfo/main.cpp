// cmpinfo: prints, checks or exports as JSON the tree of one tree file (.cmp and kin), or
// draws its model as a picture.
// Exit status: 0 no problems (or drawn), 1 problems found, 2 unreadable, out of memory, report
// or picture not written, or wrong usage.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "files/files.h"
#include "release/version.h"
#include "tools/cmpinfo/gltf/gltf.h"
#include "tools/cmpinfo/picture/picture.h"
#include "tools/cmpinfo/read/read.h"
#include "tools/cmpinfo/report/report.h"

namespace cmp {
namespace {

constexpr int ExitSound = 0;
constexpr int ExitProblems = 1;
constexpr int ExitTrouble = 2;  // unreadable, out of memory, report lost, usage

constexpr const char* Usage =
    "Usage: cmpinfo [--check | --json] FILE\n"
    "       cmpinfo --render OUT.png [--size WxH] FILE\n"
    "       cmpinfo --gltf OUT.gltf|OUT.glb FILE\n"
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
    "Other leaves show their first bytes in hex. A leaf lists at most 100 problems and\n"
    "the report 1000; the rest are counted (\"and N more\"). In problem lines, names\n"
    "longer than 64 bytes are cut to their first 60 and \"...\".\n"
    "\n"
    "Options:\n"
    "  --check   print nothing but the problems found, one per line\n"
    "  --json    print the same content as JSON (with --check: the problems only)\n"
    "  --render OUT.png\n"
    "            draw the model of a file that passes the checks, as PNG: front, side,\n"
    "            top and a three-quarter view, flat-shaded, with every hardpoint's\n"
    "            position, orientation (its three rows in red, green and blue) and\n"
    "            name, a ring round revolute ones, and the model's size. Names that\n"
    "            would overlap others are left out, and the caption counts them. Y is\n"
    "            up and the nose points along -Z, as in the modelling program\n"
    "  --size WxH\n"
    "            the picture's size in pixels (default 1600x1200, from 320x240 to\n"
    "            8192x8192)\n"
    "  --gltf OUT.gltf|OUT.glb\n"
    "            write the model of a file that passes the checks as glTF 2.0: text\n"
    "            with the data embedded (.gltf) or binary (.glb); the numbers as\n"
    "            stored, under a root node that turns and scales them back to the\n"
    "            modeller's axes and size; a glTF mesh per library entry, a node per\n"
    "            mesh reference, every hardpoint an empty node. Where glTF cannot\n"
    "            hold a stored value it says so on standard error: a normal not of\n"
    "            unit length is scaled to it (a mesh with a zero normal gets none); an\n"
    "            orientation that is no rotation and scale becomes the nearest\n"
    "            rotation, the stored rows kept in the node's extras\n"
    "  --help    print this help\n"
    "  --version print the version\n"
    "\n"
    "From a pipe or a device, cmpinfo reads no further than the header and the records\n"
    "reach. The OUT of --render or --gltf is replaced whole or not at all, and never when\n"
    "it is read-only; stopped by SIGINT or SIGTERM (Ctrl+C, kill), the run leaves nothing\n"
    "behind. Messages show control characters in paths and names as \\xNN.\n"
    "\n"
    "Exit status: 0 no problems, 1 problems found, 2 the file cannot be read as a tree\n"
    "file (the message names the file, the reason and the byte offset), memory ran out,\n"
    "the report could not be written whole, or wrong usage. With --render: 0 the picture\n"
    "was written, 2 it was not (a file the checks refuse is not drawn). With --gltf: 0\n"
    "written, 2 not.\n";

constexpr const char* GltfNameWanted = "--gltf needs a file name ending in .gltf or .glb";

int UsageError(const std::string& message) {
    TellUser(message);
    std::fputs("Try 'cmpinfo --help'.\n", stderr);
    return ExitTrouble;
}

// Writes the help or the report to standard output; CannotWrite when any of it is lost.
template <class Write>
int WriteReport(Write write, int status) {
    CheckedStream output(stdout);
    write(output);
    if (const Status finished = output.Finish(); !finished) {
        TellUser("cannot write the report: " + finished.message());
        return ExitTrouble;
    }
    return status;
}

// Reads, checks and reports on the file at `path`.
int InspectFile(const char* path, bool check, bool json) {
    const Result<LoadedTree> loaded = LoadTreeFile(path);
    if (!loaded) {
        TellUser(loaded.message());
        return ExitTrouble;
    }
    const FileReport report = InspectTree(loaded.value().tree, path, loaded.value().fileSize);
    std::size_t problems = 0;
    const int status = WriteReport(
        [&](ReportOutput& output) {
            if (check) {
                problems =
                    json ? RenderProblemsJson(report, output) : RenderProblems(report, output);
            } else {
                problems = json ? RenderJson(report, output) : RenderText(report, output);
            }
        },
        ExitSound);
    if (status != ExitSound) {
        return status;
    }
    return problems > 0 ? ExitProblems : ExitSound;
}

struct Options {
    bool check = false;
    bool json = false;
    std::optional<std::string> pictureOut;   // --render
    std::optional<std::string> pictureSize;  // --size
    std::optional<std::string> gltf;
    std::vector<std::string> files;  // every argument that is no option; one is right
};

// How reading the options ends the run before it starts: a mistake, with its message, or
// the help or the version asked for.
struct UsageMistake {
    std::string message;
};
enum class Asked { Help, Version };

// The first mistake among the arguments read so far, which the parser leaves for the
// end: an option it does not know, or a second file.
std::optional<std::string> MistakeSoFar(const CLI::App& parser, const Options& options) {
    for (const std::string& unknown : parser.remaining()) {
        if (unknown != "--") {  // the parser keeps the end of the options there too
            return "unknown option '" + unknown + "'";
        }
    }
    if (options.files.size() > 1) {
        return "one file at a time";
    }
    return std::nullopt;
}

// What the parser's mismatch between an option and its values was. An option's value is
// taken whatever it looks like, so only the last argument can lack one; the other
// mismatch is a value given to a flag ("--check=yes"), which is no option cmpinfo knows.
std::string MismatchMessage(int argc, char** argv) {
    const std::string last = argv[argc - 1];
    if (last == "--gltf") {
        return GltfNameWanted;
    }
    if (last == "--render" || last == "--size") {
        return last + " needs a value";
    }
    for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
        const std::string_view argument = argv[i];
        const std::string_view name = argument.substr(0, argument.find('='));
        if (name != argument &&
            (name == "--check" || name == "--json" || name == "--help" || name == "--version")) {
            return "unknown option '" + std::string(argument) + "'";
        }
    }
    return "unknown option '" + last + "'";
}

// Reads the arguments into `options` in their order, so that the first mistake is the one
// told, and a --help or --version is answered where it stands once the arguments before it
// are sound. Throws UsageMistake or Asked. After "--" every argument is a file.
void ReadOptions(int argc, char** argv, Options& options) {
    CLI::App parser;
    parser.set_help_flag();                     // the help is cmpinfo's own text, Usage
    parser.allow_extras();                      // unknown options are told as cmpinfo tells them
    parser.allow_windows_style_options(false);  // "/x.cmp" is a file on Windows too
    const auto ask = [&](Asked asked) {
        return [&parser, &options, asked] {
            if (const std::optional<std::string> mistake = MistakeSoFar(parser, options)) {
                throw UsageMistake{*mistake};
            }
            throw asked;
        };
    };
    parser.add_flag_callback("-h,--help", ask(Asked::Help))
        ->trigger_on_parse()
        ->disable_flag_override();
    parser.add_flag_callback("--version", ask(Asked::Version))
        ->trigger_on_parse()
        ->disable_flag_override();
    parser.add_flag("--check", options.check)->disable_flag_override();
    parser.add_flag("--json", options.json)->disable_flag_override();
    const auto once = [](const char* name, std::optional<std::string>& value) {
        return [name, &value](const std::string& given) {
            if (value) {
                throw UsageMistake{std::string(name) + " given twice"};
            }
            value = given;
        };
    };
    parser.add_option_function<std::string>("--render", once("--render", options.pictureOut))
        ->trigger_on_parse();
    parser.add_option_function<std::string>("--size", once("--size", options.pictureSize))
        ->trigger_on_parse();
    parser
        .add_option_function<std::string>(
            "--gltf",
            [&, given = once("--gltf", options.gltf)](const std::string& path) {
                given(path);
                if (!GltfFormFor(path)) {
                    throw UsageMistake{GltfNameWanted};
                }
            })
        ->trigger_on_parse();
    parser.add_option("FILE", options.files);
    try {
        parser.parse(argc, argv);
    } catch (const CLI::ArgumentMismatch&) {
        throw UsageMistake{MismatchMessage(argc, argv)};
    } catch (const CLI::ParseError& other) {
        throw UsageMistake{other.what()};  // none known: the library's own words
    }
    if (const std::optional<std::string> mistake = MistakeSoFar(parser, options)) {
        throw UsageMistake{*mistake};
    }
}

// The mistakes in how the options go together; nothing when they are sound.
std::optional<std::string> CheckCombination(const Options& options) {
    if (options.files.empty()) {
        return "no file given";
    }
    if (options.gltf &&
        (options.check || options.json || options.pictureOut || options.pictureSize)) {
        return "--gltf goes with none of --check, --json, --render and --size";
    }
    return std::nullopt;
}

const char* OrNull(const std::optional<std::string>& value) {
    return value ? value->c_str() : nullptr;
}

// Runs what the options ask for on `path`.
int Run(const Options& options, const std::optional<PictureRequest>& picture,
        const std::string& path) {
    // Whatever the file, running out of memory ends the run with a message, not an abort.
    try {
        if (options.gltf || picture) {
            // Stopped while it writes, the run takes its staging file with it.
            const StopSignalGuard stopSignals;
            if (picture) {
                return RenderPicture(*picture, path);
            }
            const Status written = ConvertToGltf(path, *options.gltf);
            if (!written) {
                TellUser(written.message());
            }
            return written ? ExitSound : ExitTrouble;
        }
        return InspectFile(path.c_str(), options.check, options.json);
    } catch (const std::bad_alloc&) {
        TellUser(path + ": out of memory");
        return ExitTrouble;
    } catch (const std::length_error&) {
        // A 32-bit build asked for a buffer longer than it can address.
        TellUser(path + ": out of memory");
        return ExitTrouble;
    }
}

}  // namespace

// The program, with its arguments as main received them.
int Main(int argc, char** argv) {
    Options options;
    try {
        ReadOptions(argc, argv, options);
    } catch (const UsageMistake& mistake) {
        return UsageError(mistake.message);
    } catch (const Asked asked) {
        const std::string text =
            asked == Asked::Help ? std::string(Usage) : std::string("cmpinfo ") + Version + "\n";
        return WriteReport([&](ReportOutput& output) { output.Write(text); }, ExitSound);
    }
    if (const std::optional<std::string> mistake = CheckCombination(options)) {
        return UsageError(*mistake);
    }
    std::optional<PictureRequest> picture;
    if (options.pictureOut || options.pictureSize) {
        Result<PictureRequest> request = ReadPictureOptions(
            OrNull(options.pictureOut), OrNull(options.pictureSize), options.check || options.json);
        if (!request) {
            return UsageError(request.message());
        }
        picture = std::move(request.value());
    }
    return Run(options, picture, options.files.front());
}

}  // namespace cmp

int main(int argc, char** argv) {
    try {
        return cmp::Main(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("cmpinfo: out of memory\n", stderr);
        return 2;
    }
}
