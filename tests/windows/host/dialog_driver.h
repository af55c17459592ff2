// Answers the dialogs of this thread unattended, as a person would: a thread-local
// WH_CBT hook notices every dialog window as it is created and activated, and a thread
// timer (dispatched by whatever modal loop runs at the time) acts on it once it is
// visible: it fills and confirms the save dialog, answers message boxes, inspects the
// result dialog and closes it. Nothing of this lives in the plug-in.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cmp {

enum class DialogKind { SaveFile, MessageBox, Result, Other };

enum class DialogAction {
    ConfirmPath,    // save dialog: type `path` into the file name box and press Save
    Cancel,         // any dialog: the Cancel command
    Yes,            // message box: the Yes button
    Ok,             // message box: the OK button
    PressContinue,  // result dialog: click "Continue"
    PressEscape,    // result dialog: the Escape key on the focused control
    PressEnter,     // result dialog: the Enter key on the focused control
    CommandOk,      // result dialog: the IDOK command, as Enter on a default button gives
    CloseBox,       // result dialog: the system menu's Close, as the close box gives
    Hold,           // leave it open until Release() (for screenshots)
};

struct DialogAnswer {
    DialogKind expected = DialogKind::Other;
    DialogAction action = DialogAction::Cancel;
    std::string path;                  // for ConfirmPath
    std::function<void()> afterClose;  // runs when the window is destroyed
};

struct ControlSnapshot {
    bool exists = false;
    std::string className;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rectInDialog{};  // window rectangle in the dialog's client coordinates
};

struct TreeItemSnapshot {
    int depth = 0;
    std::string name;
    bool expanded = false;
};

// What a dialog looked like when the driver acted on it.
struct DialogSnapshot {
    DialogKind kind = DialogKind::Other;
    std::string caption;
    std::string text;  // a message box's message; the save dialog's file name
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT windowRect{};
    RECT workArea{};
    bool ownerless = false;
    // Result dialog only.
    ControlSnapshot button;
    ControlSnapshot tree;
    bool buttonFocused = false;
    int treeCount = -1;
    std::vector<TreeItemSnapshot> items;  // depth-first, as the view lists them
    // Filled in by the `onShow` callback of the driver.
    std::vector<std::string> notesAtShow;
    // Dialog units of the template, mapped by this dialog's font, for the checks.
    RECT buttonTemplateRect{};
    RECT treeTemplateRect{};
};

class DialogDriver {
  public:
    // Answers dialogs in the order they appear with `script`; a dialog beyond the script
    // or of another kind than expected is recorded and cancelled. `onShow` runs when a
    // dialog is first seen visible, before the driver acts (for checks that must happen
    // while the dialog shows). `delayMs` is how long a dialog stays up before the answer.
    explicit DialogDriver(std::vector<DialogAnswer> script,
                          std::function<void(DialogSnapshot&)> onShow = nullptr,
                          unsigned delayMs = 40);
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    const std::vector<DialogSnapshot>& Seen() const { return seen_; }
    // Answers not used: the dialogs they expected never came.
    std::size_t Unused() const { return script_.size() - next_; }
    // Problems: unexpected dialogs, dialogs that did not close, missing controls.
    const std::vector<std::string>& Problems() const { return problems_; }
    // Ends a Hold: the held dialog is answered with `action`.
    void Release(DialogAction action, const std::string& path = {});
    bool Holding() const { return held_ != nullptr; }
    // The dialog being held, or null.
    HWND Held() const { return held_; }

  private:
    struct Tracked {
        HWND window;
        bool handled;
        DWORD firstVisibleTick;
        DWORD actedTick;
        std::size_t answer;  // index into script_, or npos
    };
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR, DWORD);
    void Track(HWND window);
    void Forget(HWND window);
    void Tick();
    void Act(HWND dialog);
    void Perform(HWND dialog, DialogKind kind, DialogAction action, const std::string& path);

    std::vector<DialogAnswer> script_;
    std::size_t next_ = 0;
    std::function<void(DialogSnapshot&)> onShow_;
    unsigned delayMs_;
    HHOOK hook_ = nullptr;
    UINT_PTR timer_ = 0;
    bool busy_ = false;
    std::vector<Tracked> tracked_;
    std::vector<DialogSnapshot> seen_;
    std::vector<std::string> problems_;
    HWND held_ = nullptr;
    DialogKind heldKind_ = DialogKind::Other;
};

// The kind of a dialog window, from its caption and controls.
DialogKind ClassifyDialog(HWND dialog);

}  // namespace cmp
