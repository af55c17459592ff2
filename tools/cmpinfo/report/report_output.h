// Where cmpinfo's report goes, piece by piece as it is made, so that no report is held
// whole in memory.
#pragma once

#include <string_view>

namespace cmp {

class ReportOutput {
  public:
    virtual ~ReportOutput() = default;
    virtual void Write(std::string_view text) = 0;
};

}  // namespace cmp
