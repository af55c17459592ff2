#include "tests/windows/host/import_spy.h"

#include "modelhost/dialog_answers_windows.h"

#include <cstdlib>
#include <cstring>

namespace cmp {

namespace {

std::vector<MessageBoxCall> messageBoxCalls;
std::vector<SaveDialogCall> saveDialogCalls;
const void* watchedBlock = nullptr;
bool watchedBlockFreed = false;

// The functions the recorders pass each call on to: what the entries held before. Not
// the imports by name, which go through this program's own table when it is the module
// watched, and would call the recorders again.
using FreeFunction = void(__cdecl*)(void*);
using MessageBoxFunction = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
using SaveDialogFunction = BOOL(WINAPI*)(LPOPENFILENAMEA);
FreeFunction realFree = &free;
MessageBoxFunction realMessageBox = &MessageBoxA;
SaveDialogFunction realSaveDialog = &GetSaveFileNameA;

void __cdecl RecordFree(void* block) {
    if (block != nullptr && block == watchedBlock) {
        watchedBlockFreed = true;
    }
    realFree(block);
}

std::string Copy(const char* text) {
    return text != nullptr ? std::string(text) : std::string();
}

// The list runs to the first empty string; its last NUL is kept.
std::string CopyFilterList(const char* list) {
    if (list == nullptr) {
        return {};
    }
    std::size_t length = 0;
    while (list[length] != '\0' || list[length + 1] != '\0') {
        ++length;
    }
    return std::string(list, length + 2);
}

int WINAPI RecordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    messageBoxCalls.push_back({owner, Copy(text), Copy(caption), type});
    return realMessageBox(owner, text, caption, type);
}

BOOL WINAPI RecordSaveDialog(LPOPENFILENAMEA dialog) {
    SaveDialogCall call;
    call.structSize = dialog->lStructSize;
    call.owner = dialog->hwndOwner;
    call.instance = dialog->hInstance;
    call.filterList = CopyFilterList(dialog->lpstrFilter);
    call.customFilterNull = dialog->lpstrCustomFilter == nullptr;
    call.maxCustomFilter = dialog->nMaxCustFilter;
    call.filterIndex = dialog->nFilterIndex;
    call.fileBufferNull = dialog->lpstrFile == nullptr;
    call.fileBufferStart = Copy(dialog->lpstrFile);
    call.maxFile = dialog->nMaxFile;
    call.fileTitleBufferNull = dialog->lpstrFileTitle == nullptr;
    call.fileTitleBufferStart = Copy(dialog->lpstrFileTitle);
    call.buffersDistinct = dialog->lpstrFile != dialog->lpstrFileTitle;
    call.maxFileTitle = dialog->nMaxFileTitle;
    call.initialDirNull = dialog->lpstrInitialDir == nullptr;
    call.titleNull = dialog->lpstrTitle == nullptr;
    call.title = Copy(dialog->lpstrTitle);
    call.flags = dialog->Flags;
    call.defaultExtensionNull = dialog->lpstrDefExt == nullptr;
    call.defaultExtension = Copy(dialog->lpstrDefExt);
    call.customData = dialog->lCustData;
    call.hookNull = dialog->lpfnHook == nullptr;
    call.templateNameNull = dialog->lpTemplateName == nullptr;
    call.returned = realSaveDialog(dialog);
    call.extendedError = call.returned ? 0 : CommDlgExtendedError();
    if (call.returned && dialog->lpstrFile != nullptr) {
        call.chosenPath = dialog->lpstrFile;
    }
    saveDialogCalls.push_back(call);
    return call.returned;
}

}  // namespace

ImportSpy::ImportSpy(HMODULE module) {
    messageBoxSlot_ = FindImportEntry(module, "user32.dll", "MessageBoxA");
    saveDialogSlot_ = FindImportEntry(module, "comdlg32.dll", "GetSaveFileNameA");
    freeSlot_ = FindImportEntry(module, "msvcrt.dll", "free");
    // Taken before the entries change, so that no call comes to a recorder before it knows
    // where to pass the call on.
    if (freeSlot_ != nullptr) {
        realFree = reinterpret_cast<FreeFunction>(*freeSlot_);
        originalFree_ = ReplaceImportEntry(freeSlot_, reinterpret_cast<void*>(&RecordFree));
    }
    if (messageBoxSlot_ != nullptr) {
        realMessageBox = reinterpret_cast<MessageBoxFunction>(*messageBoxSlot_);
        originalMessageBox_ =
            ReplaceImportEntry(messageBoxSlot_, reinterpret_cast<void*>(&RecordMessageBox));
    }
    if (saveDialogSlot_ != nullptr) {
        realSaveDialog = reinterpret_cast<SaveDialogFunction>(*saveDialogSlot_);
        originalSaveDialog_ =
            ReplaceImportEntry(saveDialogSlot_, reinterpret_cast<void*>(&RecordSaveDialog));
    }
    Clear();
}

ImportSpy::~ImportSpy() {
    if (freeSlot_ != nullptr) {
        ReplaceImportEntry(freeSlot_, originalFree_);
    }
    if (messageBoxSlot_ != nullptr) {
        ReplaceImportEntry(messageBoxSlot_, originalMessageBox_);
    }
    if (saveDialogSlot_ != nullptr) {
        ReplaceImportEntry(saveDialogSlot_, originalSaveDialog_);
    }
}

const std::vector<MessageBoxCall>& ImportSpy::MessageBoxes() const {
    return messageBoxCalls;
}

const std::vector<SaveDialogCall>& ImportSpy::SaveDialogs() const {
    return saveDialogCalls;
}

void ImportSpy::WatchFree(const void* block) {
    watchedBlock = block;
    watchedBlockFreed = false;
}

bool ImportSpy::WatchedBlockFreed() const {
    return watchedBlockFreed;
}

void ImportSpy::Clear() {
    messageBoxCalls.clear();
    saveDialogCalls.clear();
}

}  // namespace cmp
