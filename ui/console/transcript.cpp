#include "ui/user_interface.h"

#include "files/files.h"

namespace cmp {

std::string EscapeTranscriptField(std::string_view field) {
    std::string escaped;
    escaped.reserve(field.size());
    for (char c : field) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\n':
                escaped += "\\n";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

Status Transcript::Record(std::initializer_list<std::string_view> fields) const {
    if (!IsEnabled()) {
        return Status::Ok();
    }
    std::string line;
    for (std::string_view field : fields) {
        if (!line.empty()) {
            line += '\t';
        }
        line += EscapeTranscriptField(field);
    }
    line += '\n';
    return AppendToRegularFile(path_, line);
}

}  // namespace cmp
