#include "ui/win32/win32_user_interface.h"

#include <cstddef>
#include <cstring>

namespace cmp {

namespace {

// The structure up to lpTemplateName, without the three members Windows 2000 added.
constexpr DWORD ClassicStructSize = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);
static_assert(ClassicStructSize == 76, "the classic structure is 76 bytes, not 88");

}  // namespace

std::string BuildFilterList(const std::vector<FileFilter>& filters) {
    std::string list;
    for (const FileFilter& filter : filters) {
        list.append(filter.description).push_back('\0');
        list.append(filter.pattern).push_back('\0');
    }
    // std::string adds the terminating NUL of the whole list.
    return list;
}

SaveFileRequest::SaveFileRequest(const SaveDialogOptions& options)
    : title_(options.title),
      filterList_(BuildFilterList(options.filters)),
      defaultExtension_(options.defaultExtension),
      path_(options.maxPathLength + 1, '\0'),
      fileTitle_(options.maxPathLength + 1, '\0') {
    std::memset(&dialog_, 0, sizeof dialog_);
    dialog_.lStructSize = ClassicStructSize;
    // An empty filter list would be a lone NUL, which the dialog reads as "no filters".
    dialog_.lpstrFilter = options.filters.empty() ? nullptr : filterList_.c_str();
    dialog_.lpstrFile = path_.data();
    dialog_.nMaxFile = static_cast<DWORD>(path_.size());
    dialog_.lpstrFileTitle = fileTitle_.data();
    dialog_.nMaxFileTitle = static_cast<DWORD>(fileTitle_.size());
    dialog_.lpstrTitle = title_.empty() ? nullptr : title_.c_str();
    DWORD flags = 0;
    if (options.overwritePrompt) {
        flags |= OFN_OVERWRITEPROMPT;
    }
    if (options.hideReadOnly) {
        flags |= OFN_HIDEREADONLY;
    }
    if (options.pathMustExist) {
        flags |= OFN_PATHMUSTEXIST;
    }
    dialog_.Flags = flags;
    dialog_.lpstrDefExt = defaultExtension_.empty() ? nullptr : defaultExtension_.c_str();
}

std::optional<std::string> SaveFileRequest::Show() {
    if (!GetSaveFileNameA(&dialog_)) {
        return std::nullopt;
    }
    // The dialog NUL-terminates within nMaxFile; the bound only guards a broken one.
    return std::string(path_.data(), strnlen(path_.data(), path_.size()));
}

}  // namespace cmp
