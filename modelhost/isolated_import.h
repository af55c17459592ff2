// Model import in a child process. Model files come from anywhere, and the importer
// that reads them crashes, hangs or exhausts memory on some damaged files; in a child
// that costs the host nothing but a message.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "core/error.h"
#include "host/ztModelLib.h"
#include "modelhost/import_model.h"

namespace cmp {

struct ImportLimits {
    // The parent kills a child that has not delivered its model by then.
    std::chrono::milliseconds timeLimit{std::chrono::seconds(60)};
    // Address space the child may add to what it inherits at the fork (RLIMIT_AS): the
    // inherited mappings are large under sanitizers and debuggers, so the limit is a
    // budget on top of them rather than an absolute figure.
    std::uint64_t addressSpaceBudget = std::uint64_t{4} << 30;
};

// Imports `path` with ImportModel in a forked child without core dumps and under
// `limits`, and builds what the child sends back into `model` (which must be empty)
// after checking it as outside input (DecodeImportReply). Gives the import's summary.
//
// Every failure is one message that names the file:
//   cannot import 'ship.ply': the importer crashed (signal 11, Segmentation fault)
//   cannot import 'ship.ply': the importer took longer than 60 s
//   cannot import 'ship.ply': the importer ran out of memory
// or the importer's own message (ImportModel's) when it has one. `model` stays empty on
// failure. The caller must not have other threads running (fork).
[[nodiscard]] Result<ImportSummary> ImportModelIsolated(const std::string& path, ztModel model,
                                                        const ImportLimits& limits = {});

// "60 s", or "1500 ms" for a limit that is not a whole number of seconds.
std::string DescribeTimeLimit(std::chrono::milliseconds limit);

}  // namespace cmp
