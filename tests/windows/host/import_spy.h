// Watches what the plug-in DLL asks of Windows without changing the DLL: the entries of
// its import table for MessageBoxA, GetSaveFileNameA and the C runtime's free are pointed
// at recorders that note the arguments and then call the real function, so the real
// dialogs still appear (and the dialog driver answers them).
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <cstdint>
#include <string>
#include <vector>

namespace cmp {

struct MessageBoxCall {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT type = 0;
};

// Every member of the OPENFILENAMEA the plug-in passed, read before the dialog ran;
// strings copied (the filter list with all its NULs), buffers by size and contents.
struct SaveDialogCall {
    DWORD structSize = 0;
    HWND owner = nullptr;
    HINSTANCE instance = nullptr;
    std::string filterList;  // up to and including the NUL that ends the list
    bool customFilterNull = true;
    DWORD maxCustomFilter = 0;
    DWORD filterIndex = 0;
    bool fileBufferNull = true;
    std::string fileBufferStart;  // what the file buffer held before the dialog
    DWORD maxFile = 0;
    std::string fileTitleBufferStart;
    DWORD maxFileTitle = 0;
    bool fileTitleBufferNull = true;
    bool buffersDistinct = false;  // the path and the file title have buffers of their own
    bool initialDirNull = true;
    std::string title;
    bool titleNull = true;
    DWORD flags = 0;
    std::string defaultExtension;
    bool defaultExtensionNull = true;
    LPARAM customData = 0;
    bool hookNull = true;
    bool templateNameNull = true;
    // The outcome.
    BOOL returned = FALSE;
    DWORD extendedError = 0;
    std::string chosenPath;
};

class ImportSpy {
  public:
    // Patches `module`'s import table; Installed() tells whether both entries were found.
    explicit ImportSpy(HMODULE module);
    ~ImportSpy();  // restores the entries
    ImportSpy(const ImportSpy&) = delete;
    ImportSpy& operator=(const ImportSpy&) = delete;

    bool Installed() const {
        return messageBoxSlot_ != nullptr && saveDialogSlot_ != nullptr && freeSlot_ != nullptr;
    }

    // Calls since construction or the last Clear().
    const std::vector<MessageBoxCall>& MessageBoxes() const;
    const std::vector<SaveDialogCall>& SaveDialogs() const;
    void Clear();

    // Whether the plug-in has handed `block` to free() since WatchFree(block).
    void WatchFree(const void* block);
    bool WatchedBlockFreed() const;

  private:
    void** messageBoxSlot_ = nullptr;
    void** saveDialogSlot_ = nullptr;
    void* originalMessageBox_ = nullptr;
    void* originalSaveDialog_ = nullptr;
    void** freeSlot_ = nullptr;
    void* originalFree_ = nullptr;
};

}  // namespace cmp
