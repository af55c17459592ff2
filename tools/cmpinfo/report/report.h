// What cmpinfo writes: its report on a tree file, as text for people or as JSON for
// programs, made node by node as the tree is walked and never held whole; its messages
// on standard error; and the files it writes on request (a picture, a glTF), staged and
// renamed into place. Every write is checked, so that nothing lost passes for whole.
//
// Names and paths in the text report and the messages are escaped by TerminalText, the
// one rule for text shown to people. The JSON report is the one deliberate exception: a
// contract for programs, it takes every byte of a name as the character of that number
// and prints it as pure ASCII, so that no byte is lost or changed whatever the name holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/error.h"
#include "core/little_endian.h"
#include "tools/cmpinfo/read/read.h"

namespace cmp {

// -- Where the report goes
// Where cmpinfo's report goes, piece by piece as it is made, so that no report is held
// whole in memory.

class ReportOutput {
  public:
    virtual ~ReportOutput() = default;
    virtual void Write(std::string_view text) = 0;
};

// -- A checked C stream (checked_stream.cpp)
// cmpinfo's report on its way to a C stream (standard output): every write checked, so
// that a report lost on a full disk or a closed pipe is never taken for a whole one.

class CheckedStream final : public ReportOutput {
  public:
    explicit CheckedStream(std::FILE* stream) : stream_(stream) {}

    // After the first failure nothing more is written; Finish tells why.
    void Write(std::string_view text) override;
    // Flushes and closes the stream. CannotWrite with the system's reason when this or
    // any write before it failed.
    Status Finish();

  private:
    std::FILE* stream_;
    std::string failure_;  // the first failure's reason; empty while all is well
};

// -- JSON text (json_text.cpp)
// The JSON values cmpinfo prints, built and serialised by nlohmann's library, and the
// few rules that keep the printed text as it has always been.

// Members keep the order they are added in; reals are stored as the floats the file
// holds, so that none is widened into digits it never had.
using Json = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool,
                                  std::int64_t, std::uint64_t, float>;

// A string taken as bytes, not as UTF-8: every byte is the character of that number, so
// any name or text from a file makes a valid JSON string and no byte is lost.
Json JsonBytes(std::string_view bytes);

// A real as a number, or as the string "nan", "inf" or "-inf", which JSON has no number for.
Json JsonReal(float value);

// Compact JSON text of `value`, all ASCII: every character outside printable ASCII as a
// \u00XX escape with upper-case digits, and every real in the shortest text that reads
// back as the same float ("1", "-0", "1e-04"), as cmpinfo has always printed them.
std::string DumpJson(const Json& value);

// -- The text report (render_text.cpp)
// cmpinfo's text for people: the tree with every leaf decoded, or only the problems.

// The lines that show one decoded leaf, without indentation.
std::vector<std::string> DescribeLeaf(const DecodedLeaf& leaf);

// The indented tree, each leaf with its size and decoded content, problems marked "!"
// under their node, and a count of problems at the end when there are any. Nesting
// deeper than 40 levels is shown by number instead of by ever wider indentation. Problems
// past the budget (ProblemBudget) are counted, not listed: "! and N more" under a leaf,
// and ", N of them not listed" after the count. Returns the number of problems found.
std::size_t RenderText(const FileReport& report, ReportOutput& output);

// Only the problems, one line each: "FILE: PATH: message"; "FILE: PATH: and N more" after
// a leaf's listed ones, and "FILE: and N more problems in later nodes" at the end, past
// the budget. Nothing for a file without problems. Returns the number of problems found.
std::size_t RenderProblems(const FileReport& report, ReportOutput& output);

// -- The JSON report (render_json.cpp)
// cmpinfo's JSON: the same content as the text, for programs.

// One decoded leaf as a JSON object whose "kind" names what it is: "mesh data stream",
// "mesh reference", "text", "reals" or "bytes".
Json LeafJson(const DecodedLeaf& leaf);

// The whole report as one JSON object and a newline: file, size, counts, and the nodes
// nested as they are in the tree ("children" for branches; "size", "decoded" for leaves;
// "problems" where there are any, and "unlistedProblems" counting those past the budget
// of ProblemBudget). Walks the tree twice: the count of problems comes first. Returns the
// number of problems found.
std::size_t RenderJson(const FileReport& report, ReportOutput& output);

// Only the problems, as a JSON object with the file and a list of {path, message}, and
// "unlistedProblems" counting those past the budget. Returns the number found.
std::size_t RenderProblemsJson(const FileReport& report, ReportOutput& output);

// -- Messages (user_message.cpp)
// cmpinfo's word to the user on standard error.

// Writes "cmpinfo: MESSAGE" and a line break to standard error. Messages carry paths from
// the command line and names from files: their control characters, and bytes that are not
// UTF-8, show as \xNN, so that they can neither command the terminal nor break the line.
void TellUser(std::string_view message);

// -- Files written on request (requested_file.cpp)
// The files cmpinfo writes on request (a picture, a glTF): made whole in memory first,
// then staged beside their destination under a fresh name and renamed over it, as the
// exporter writes its tree files. A failure leaves whatever was at the path as it was.

// `bytes` at `path`, or why not, naming what the user gave: a folder of the path that does
// not exist or is no folder (CannotCreate), a read-only file there, or anything else that
// cannot be replaced (CannotReplace); or the staging's error with its message.
Status WriteRequestedFile(const std::string& path, const Bytes& bytes);
// The same with the bytes in pieces, written one after another.
Status WriteRequestedFile(const std::string& path, std::span<const BytePiece> pieces);

}  // namespace cmp
