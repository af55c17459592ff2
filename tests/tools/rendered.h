// A cmpinfo report as one string, as the program would write it: for the tests and the
// fuzz targets, which look at the whole.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "tools/cmpinfo/read/read.h"
#include "tools/cmpinfo/report/report.h"

namespace cmp {

class StringOutput final : public ReportOutput {
  public:
    void Write(std::string_view text) override { text_ += text; }
    std::string TakeText() { return std::move(text_); }

  private:
    std::string text_;
};

// What `render` (RenderText, RenderJson, RenderProblems, RenderProblemsJson) writes for
// `report`.
inline std::string Rendered(std::size_t (*render)(const FileReport&, ReportOutput&),
                            const FileReport& report) {
    StringOutput output;
    render(report, output);
    return output.TakeText();
}

}  // namespace cmp
