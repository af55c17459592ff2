#include "ui/gtk/gtk_user_interface.h"

#include <cctype>

namespace cmp {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

std::string CaseInsensitiveGlob(std::string_view pattern) {
    // GTK matches filter patterns case-sensitively; a bracket pair per letter lets
    // "MODEL.CMP" through the "*.cmp" filter as on Windows. Only ASCII letters are
    // paired: the bytes of other characters must stay intact.
    std::string glob;
    for (const char c : pattern) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80 && std::isalpha(byte)) {
            glob += '[';
            glob += static_cast<char>(std::tolower(byte));
            glob += static_cast<char>(std::toupper(byte));
            glob += ']';
        } else {
            glob += c;
        }
    }
    return glob;
}

}  // namespace

std::string ContainingFolder(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return ".";
    }
    if (slash == 0) {
        return "/";
    }
    return std::string(path.substr(0, slash));
}

InitialSaveChoice InitialSaveChoiceFor(std::string_view given, const std::string& workingFolder,
                                       const std::function<bool(const std::string&)>& isFolder) {
    std::string full(given);
    if (!given.empty() && given.front() != '/') {
        full = workingFolder + (workingFolder.empty() || workingFolder.back() == '/' ? "" : "/") +
               full;
    }
    const std::size_t slash = full.rfind('/');
    std::string folder = ContainingFolder(full);
    if (slash == std::string::npos || !isFolder(folder)) {
        return {workingFolder, std::string(given)};
    }
    return {folder, full.substr(slash + 1)};
}

std::vector<std::string> FilterGlobs(std::string_view patterns) {
    std::vector<std::string> globs;
    while (true) {
        const std::size_t end = patterns.find(';');
        const std::string_view pattern = TrimBlanks(patterns.substr(0, end));
        if (pattern == "*.*") {
            globs.emplace_back("*");
        } else if (!pattern.empty()) {
            globs.push_back(CaseInsensitiveGlob(pattern));
        }
        if (end == std::string_view::npos) {
            break;
        }
        patterns.remove_prefix(end + 1);
    }
    return globs;
}

}  // namespace cmp
