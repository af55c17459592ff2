#include "ui/console/transcript.h"

#include <fstream>

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

void Transcript::Record(std::initializer_list<std::string_view> fields) const {
    if (!IsEnabled()) {
        return;
    }
    std::string line;
    for (std::string_view field : fields) {
        if (!line.empty()) {
            line += '\t';
        }
        line += EscapeTranscriptField(field);
    }
    line += '\n';
    // A transcript that cannot be written must not change the run: it is a witness only.
    std::ofstream file(path_, std::ios::app | std::ios::binary);
    file << line;
}

}  // namespace cmp
