#include "modelhost/dialog_answers_windows.h"

// After windows.h, which they need.
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include "tree/tree.h"
#include "ui/user_interface.h"

namespace cmp {

namespace {

// The console that answers, for the rest of the process: the plug-in calls the functions
// below as plain Windows functions, which carry no state of their own.
std::unique_ptr<ConsoleUserInterface> console;
// The file name the Win32 save dialog opens with, once.
std::optional<std::string> saveDialogStart;

struct Redirection {
    const char* dll;
    const char* function;
    void* replacement;
};

// Every entry is found before any is changed: a plug-in is answered whole or not at all.
Status Redirect(HMODULE module, std::initializer_list<Redirection> redirections) {
    std::vector<void**> entries;
    for (const Redirection& redirection : redirections) {
        void** entry = FindImportEntry(module, redirection.dll, redirection.function);
        if (entry == nullptr) {
            return Error{ErrorCode::PlugInNotLoaded,
                         std::string("cannot answer the plug-in's dialogs: it does not call ") +
                             redirection.function + " of " + redirection.dll};
        }
        entries.push_back(entry);
    }
    auto replacement = redirections.begin();
    for (void** entry : entries) {
        if (ReplaceImportEntry(entry, (replacement++)->replacement) == nullptr) {
            return Error{ErrorCode::PlugInNotLoaded,
                         "cannot answer the plug-in's dialogs: its import table is not writable"};
        }
    }
    return Status::Ok();
}

// The pairs of a filter list ("CMP Files (*.cmp)\0*.cmp\0\0").
std::vector<FileFilter> Filters(const char* list) {
    std::vector<FileFilter> filters;
    while (list != nullptr && *list != '\0') {
        FileFilter filter;
        filter.description = list;
        list += filter.description.size() + 1;
        filter.pattern = list;
        list += filter.pattern.size() + 1;
        const bool listEnds = filter.pattern.empty();  // a description without a pattern
        filters.push_back(std::move(filter));
        if (listEnds) {
            break;
        }
    }
    return filters;
}

SaveDialogOptions OptionsOf(const OPENFILENAMEA& dialog) {
    SaveDialogOptions options;
    options.title = dialog.lpstrTitle != nullptr ? dialog.lpstrTitle : "Save As";
    options.filters = Filters(dialog.lpstrFilter);
    options.defaultExtension = dialog.lpstrDefExt != nullptr ? dialog.lpstrDefExt : "";
    options.overwritePrompt = (dialog.Flags & OFN_OVERWRITEPROMPT) != 0;
    options.hideReadOnly = (dialog.Flags & OFN_HIDEREADONLY) != 0;
    options.pathMustExist = (dialog.Flags & OFN_PATHMUSTEXIST) != 0;
    // The buffer holds the path and its terminating NUL.
    options.maxPathLength = dialog.nMaxFile > 0 ? dialog.nMaxFile - 1 : 0;
    return options;
}

// What the dialog hands back with a chosen path: the path, and where its name and
// extension begin.
BOOL Choose(OPENFILENAMEA& dialog, const std::string& path) {
    if (dialog.lpstrFile == nullptr || path.size() + 1 > dialog.nMaxFile) {
        return FALSE;
    }
    std::memcpy(dialog.lpstrFile, path.c_str(), path.size() + 1);
    const std::size_t name = path.find_last_of("\\/") + 1;  // 0 when there is no folder
    const std::size_t dot = path.rfind('.');
    dialog.nFileOffset = static_cast<WORD>(name);
    dialog.nFileExtension =
        static_cast<WORD>(dot != std::string::npos && dot >= name ? dot + 1 : path.size());
    if (dialog.lpstrFileTitle != nullptr && path.size() - name + 1 <= dialog.nMaxFileTitle) {
        std::memcpy(dialog.lpstrFileTitle, path.c_str() + name, path.size() - name + 1);
    }
    return TRUE;
}

BOOL WINAPI AnswerSaveDialog(LPOPENFILENAMEA dialog) {
    if (dialog == nullptr) {
        return FALSE;
    }
    const std::optional<std::string> path = console->AskSavePath(OptionsOf(*dialog));
    return path ? Choose(*dialog, *path) : FALSE;
}

int WINAPI AnswerMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    console->ShowMessage(text != nullptr ? text : "", caption != nullptr ? caption : "Error", type);
    return IDOK;
}

// The dialog template as the plug-in keeps it, copied without WS_VISIBLE, so that the
// dialog made from it is never seen.
std::vector<BYTE> HiddenTemplate(HINSTANCE instance, LPCSTR name) {
    HRSRC found = FindResourceA(instance, name, MAKEINTRESOURCEA(5));  // RT_DIALOG
    HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD size = found != nullptr ? SizeofResource(instance, found) : 0;
    if (bytes == nullptr || size < 16) {
        return {};
    }
    std::vector<BYTE> copy(static_cast<const BYTE*>(bytes), static_cast<const BYTE*>(bytes) + size);
    WORD version = 0;
    WORD signature = 0;
    std::memcpy(&version, copy.data(), sizeof version);
    std::memcpy(&signature, copy.data() + 2, sizeof signature);
    // An extended template keeps its style after its version, help ID and extended style.
    const std::size_t styleAt = version == 1 && signature == 0xFFFF ? 12 : 0;
    DWORD style = 0;
    std::memcpy(&style, copy.data() + styleAt, sizeof style);
    style &= ~static_cast<DWORD>(WS_VISIBLE);
    std::memcpy(copy.data() + styleAt, &style, sizeof style);
    return copy;
}

std::string ItemText(HWND tree, HTREEITEM item) {
    std::vector<char> text(4096, '\0');
    TVITEMA query{};
    query.mask = TVIF_TEXT | TVIF_HANDLE;
    query.hItem = item;
    query.pszText = text.data();
    query.cchTextMax = static_cast<int>(text.size());
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
    return text.data();
}

HTREEITEM NextItem(HWND tree, HTREEITEM item, WPARAM relation) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

// The tree the dialog shows, item by item, as the node tree it was filled from.
NodeTree TreeShown(HWND tree) {
    NodeTree shown;
    std::vector<std::pair<HTREEITEM, NodeHandle>> pending;  // item and its parent node
    for (HTREEITEM item = NextItem(tree, nullptr, TVGN_ROOT); item != nullptr;
         item = NextItem(tree, item, TVGN_NEXT)) {
        pending.emplace_back(item, NodeHandle());
    }
    // Siblings were pushed first to last: take them in that order.
    std::reverse(pending.begin(), pending.end());
    while (!pending.empty()) {
        const auto [item, parent] = pending.back();
        pending.pop_back();
        const NodeHandle node = shown.InsertNode(parent, ItemText(tree, item));
        std::vector<std::pair<HTREEITEM, NodeHandle>> children;
        for (HTREEITEM child = NextItem(tree, item, TVGN_CHILD); child != nullptr;
             child = NextItem(tree, child, TVGN_NEXT)) {
            children.emplace_back(child, node);
        }
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return shown;
}

HWND TreeViewOf(HWND dialog) {
    return FindWindowExA(dialog, nullptr, WC_TREEVIEWA, nullptr);
}

// The result dialog, made unseen: its start-up builds and writes the file and fills its
// tree, which the console then shows as its own result dialog does.
INT_PTR WINAPI AnswerResultDialog(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC procedure,
                                  LPARAM parameter) {
    const std::vector<BYTE> hidden = HiddenTemplate(instance, name);
    if (hidden.empty()) {
        return -1;  // as DialogBoxParamA without its template
    }
    HWND dialog = CreateDialogIndirectParamA(
        instance, reinterpret_cast<LPCDLGTEMPLATEA>(hidden.data()), owner, procedure, parameter);
    if (dialog == nullptr) {
        return -1;
    }
    std::string caption(static_cast<std::size_t>(GetWindowTextLengthA(dialog)) + 1, '\0');
    caption.resize(static_cast<std::size_t>(
        GetWindowTextA(dialog, caption.data(), static_cast<int>(caption.size()))));
    HWND treeView = TreeViewOf(dialog);
    NodeTree tree = treeView != nullptr ? TreeShown(treeView) : NodeTree();
    // A start-up that built nothing ended the dialog before filling it.
    const bool built = static_cast<bool>(tree.GetRoot());
    console->RunResultDialog(caption, [&]() { return built ? &tree : nullptr; });
    DestroyWindow(dialog);
    return built ? IDCANCEL : IDABORT;
}

BOOL WINAPI OpenSaveDialogOnPath(LPOPENFILENAMEA dialog) {
    if (dialog != nullptr && dialog->lpstrFile != nullptr && saveDialogStart &&
        saveDialogStart->size() < dialog->nMaxFile) {
        std::memcpy(dialog->lpstrFile, saveDialogStart->c_str(), saveDialogStart->size() + 1);
    }
    saveDialogStart.reset();
    return GetSaveFileNameA(dialog);
}

}  // namespace

Status AnswerDialogsOnConsole(HMODULE plugIn) {
    console = std::make_unique<ConsoleUserInterface>(std::cin, std::cout, std::cerr,
                                                     ConsoleSettingsFromEnvironment(),
                                                     std::vector<std::string>());
    return Redirect(
        plugIn, {{"comdlg32.dll", "GetSaveFileNameA", reinterpret_cast<void*>(&AnswerSaveDialog)},
                 {"user32.dll", "MessageBoxA", reinterpret_cast<void*>(&AnswerMessageBox)},
                 {"user32.dll", "DialogBoxParamA", reinterpret_cast<void*>(&AnswerResultDialog)}});
}

Status OpenSaveDialogOn(HMODULE plugIn, std::string path) {
    saveDialogStart = std::move(path);
    return Redirect(plugIn, {{"comdlg32.dll", "GetSaveFileNameA",
                              reinterpret_cast<void*>(&OpenSaveDialogOnPath)}});
}

}  // namespace cmp
