// Where cmpinfo's report goes, piece by piece as it is made, so that no report is held
// whole in memory.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace cmp {

class ReportOutput {
  public:
    virtual ~ReportOutput() = default;
    virtual void Write(std::string_view text) = 0;
};

// Keeps the report as one string: for tests, and for callers that want it whole.
class StringOutput final : public ReportOutput {
  public:
    void Write(std::string_view text) override { text_ += text; }
    std::string TakeText() { return std::move(text_); }

  private:
    std::string text_;
};

}  // namespace cmp
