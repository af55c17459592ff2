#include "tools/cmpinfo/report/report.h"

#include <cerrno>
#include <cstring>

namespace cmp {

namespace {

std::string Reason(int error) {
    // Some C libraries fail a write without setting errno.
    return error != 0 ? std::strerror(error) : "the write failed";
}

}  // namespace

void CheckedStream::Write(std::string_view text) {
    if (!failure_.empty() || text.empty()) {
        return;
    }
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stream_) != text.size()) {
        failure_ = Reason(errno);
    }
}

Status CheckedStream::Finish() {
    errno = 0;
    if (std::fflush(stream_) != 0 && failure_.empty()) {
        failure_ = Reason(errno);
    }
    if (std::ferror(stream_) && failure_.empty()) {
        failure_ = Reason(errno);
    }
    errno = 0;
    if (std::fclose(stream_) != 0 && failure_.empty()) {
        failure_ = Reason(errno);
    }
    if (!failure_.empty()) {
        return Error{ErrorCode::CannotWrite, failure_};
    }
    return Status::Ok();
}

}  // namespace cmp
