// cmpinfo's report on its way to a file (standard output): every write checked, so that
// a report lost on a full disk or a closed pipe is never taken for a whole one.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "core/error.h"
#include "tools/cmpinfo/report/report_output.h"

namespace cmp {

class FileOutput final : public ReportOutput {
  public:
    explicit FileOutput(std::FILE* file) : file_(file) {}

    // After the first failure nothing more is written; Finish tells why.
    void Write(std::string_view text) override;
    // Flushes and closes the file. CannotWrite with the system's reason when this or any
    // write before it failed.
    Status Finish();

  private:
    std::FILE* file_;
    std::string failure_;  // the first failure's reason; empty while all is well
};

}  // namespace cmp
