#include "tests/windows/host/dialog_driver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace cmp {

namespace {

// One driver per thread; the hook and the timer procedure find it here.
thread_local DialogDriver* activeDriver = nullptr;

// How long an answered dialog may take to go away before the driver closes it itself.
constexpr DWORD CloseGraceMs = 10000;

// The common dialog's file name box: a combo box in the Explorer-style dialog, an edit
// box in the old style.
constexpr int FileNameCombo = 0x47c;
constexpr int FileNameEdit = 0x480;
constexpr int ResultTreeId = 2010;

std::string ClassName(HWND window) {
    char name[128] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    GetWindowTextA(window, text.data(), length + 1);
    text.resize(std::strlen(text.c_str()));
    return text;
}

bool IsTopLevelDialog(HWND window) {
    return ClassName(window) == "#32770" && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) == 0;
}

BOOL CALLBACK KeepLongestStatic(HWND child, LPARAM state) {
    auto& longest = *reinterpret_cast<std::string*>(state);
    if (ClassName(child) == "Static") {
        std::string text = WindowText(child);
        if (text.size() > longest.size()) {
            longest = std::move(text);
        }
    }
    return TRUE;
}

// The message of a message box: the static with the longest text.
std::string MessageText(HWND box) {
    std::string longest;
    EnumChildWindows(box, KeepLongestStatic, reinterpret_cast<LPARAM>(&longest));
    return longest;
}

ControlSnapshot SnapControl(HWND dialog, HWND control) {
    ControlSnapshot snapshot;
    if (control == nullptr) {
        return snapshot;
    }
    snapshot.exists = true;
    snapshot.className = ClassName(control);
    snapshot.text = WindowText(control);
    snapshot.style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
    snapshot.exStyle = static_cast<DWORD>(GetWindowLongA(control, GWL_EXSTYLE));
    GetWindowRect(control, &snapshot.rectInDialog);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&snapshot.rectInDialog), 2);
    return snapshot;
}

HTREEITEM NextItem(HWND tree, HTREEITEM item, WPARAM relation) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

// Depth-first, with a stack of our own: the view's depth is the tree's.
std::vector<TreeItemSnapshot> TreeItems(HWND tree) {
    std::vector<TreeItemSnapshot> items;
    std::vector<std::pair<HTREEITEM, int>> pending;
    if (HTREEITEM root = NextItem(tree, nullptr, TVGN_ROOT)) {
        pending.emplace_back(root, 0);
    }
    while (!pending.empty()) {
        auto [item, depth] = pending.back();
        pending.pop_back();
        char text[512] = {};
        TVITEMA query{};
        query.mask = TVIF_TEXT | TVIF_STATE | TVIF_HANDLE;
        query.hItem = item;
        query.stateMask = TVIS_EXPANDED;
        query.pszText = text;
        query.cchTextMax = sizeof text;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
        items.push_back({depth, text, (query.state & TVIS_EXPANDED) != 0});
        if (HTREEITEM sibling = NextItem(tree, item, TVGN_NEXT)) {
            pending.emplace_back(sibling, depth);
        }
        if (HTREEITEM child = NextItem(tree, item, TVGN_CHILD)) {
            pending.emplace_back(child, depth + 1);
        }
    }
    return items;
}

// As the dialog manager places a control: position and size converted each on its own.
RECT DialogUnits(HWND dialog, LONG x, LONG y, LONG width, LONG height) {
    RECT units{x, y, width, height};
    MapDialogRect(dialog, &units);
    return RECT{units.left, units.top, units.left + units.right, units.top + units.bottom};
}

DialogSnapshot Snap(HWND dialog, DialogKind kind) {
    DialogSnapshot snapshot;
    snapshot.kind = kind;
    snapshot.caption = WindowText(dialog);
    snapshot.style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
    snapshot.exStyle = static_cast<DWORD>(GetWindowLongA(dialog, GWL_EXSTYLE));
    GetWindowRect(dialog, &snapshot.windowRect);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &monitor);
    snapshot.workArea = monitor.rcWork;
    snapshot.ownerless = GetWindow(dialog, GW_OWNER) == nullptr;
    if (kind == DialogKind::MessageBox) {
        snapshot.text = MessageText(dialog);
    }
    if (kind == DialogKind::SaveFile) {
        HWND name = GetDlgItem(dialog, FileNameCombo);
        snapshot.text = WindowText(name != nullptr ? name : GetDlgItem(dialog, FileNameEdit));
    }
    if (kind == DialogKind::Result) {
        HWND button = GetDlgItem(dialog, IDCANCEL);
        HWND tree = GetDlgItem(dialog, ResultTreeId);
        snapshot.button = SnapControl(dialog, button);
        snapshot.tree = SnapControl(dialog, tree);
        snapshot.buttonFocused = button != nullptr && GetFocus() == button;
        if (tree != nullptr) {
            snapshot.treeCount = static_cast<int>(SendMessageA(tree, TVM_GETCOUNT, 0, 0));
            snapshot.items = TreeItems(tree);
        }
        snapshot.buttonTemplateRect = DialogUnits(dialog, 84, 143, 50, 14);
        snapshot.treeTemplateRect = DialogUnits(dialog, 7, 7, 206, 131);
    }
    return snapshot;
}

void PostCommand(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PostKey(HWND dialog, WPARAM key) {
    HWND focus = GetFocus();
    HWND target = focus != nullptr && (focus == dialog || IsChild(dialog, focus)) ? focus : dialog;
    PostMessageA(target, WM_KEYDOWN, key, 0x00000001);
    PostMessageA(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

const char* KindName(DialogKind kind) {
    switch (kind) {
        case DialogKind::SaveFile:
            return "save dialog";
        case DialogKind::MessageBox:
            return "message box";
        case DialogKind::Result:
            return "result dialog";
        case DialogKind::Other:
            break;
    }
    return "other dialog";
}

}  // namespace

DialogKind ClassifyDialog(HWND dialog) {
    if (GetDlgItem(dialog, ResultTreeId) != nullptr &&
        ClassName(GetDlgItem(dialog, ResultTreeId)) == WC_TREEVIEWA) {
        return DialogKind::Result;
    }
    if (GetDlgItem(dialog, FileNameCombo) != nullptr ||
        GetDlgItem(dialog, FileNameEdit) != nullptr) {
        return DialogKind::SaveFile;
    }
    return DialogKind::MessageBox;
}

DialogDriver::DialogDriver(std::vector<DialogAnswer> script,
                           std::function<void(DialogSnapshot&)> onShow, unsigned delayMs)
    : script_(std::move(script)), onShow_(std::move(onShow)), delayMs_(delayMs) {
    activeDriver = this;
    hook_ = SetWindowsHookExA(WH_CBT, HookProc, nullptr, GetCurrentThreadId());
    timer_ = SetTimer(nullptr, 0, 15, TimerProc);
}

DialogDriver::~DialogDriver() {
    if (timer_ != 0) {
        KillTimer(nullptr, timer_);
    }
    if (hook_ != nullptr) {
        UnhookWindowsHookEx(hook_);
    }
    activeDriver = nullptr;
}

LRESULT CALLBACK DialogDriver::HookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (activeDriver != nullptr) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (code == HCBT_CREATEWND || code == HCBT_ACTIVATE) {
            activeDriver->Track(window);
        } else if (code == HCBT_DESTROYWND) {
            activeDriver->Forget(window);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK DialogDriver::TimerProc(HWND, UINT, UINT_PTR, DWORD) {
    if (activeDriver != nullptr) {
        activeDriver->Tick();
    }
}

void DialogDriver::Track(HWND window) {
    if (!IsTopLevelDialog(window)) {
        return;
    }
    for (const Tracked& tracked : tracked_) {
        if (tracked.window == window) {
            return;
        }
    }
    tracked_.push_back({window, false, 0, 0, static_cast<std::size_t>(-1)});
}

void DialogDriver::Forget(HWND window) {
    auto found = std::find_if(tracked_.begin(), tracked_.end(),
                              [&](const Tracked& tracked) { return tracked.window == window; });
    if (found == tracked_.end()) {
        return;
    }
    const std::size_t answer = found->answer;
    tracked_.erase(found);
    if (held_ == window) {
        held_ = nullptr;
    }
    if (answer < script_.size() && script_[answer].afterClose) {
        script_[answer].afterClose();
    }
}

void DialogDriver::Tick() {
    if (busy_) {
        return;
    }
    busy_ = true;
    const DWORD now = GetTickCount();
    for (std::size_t i = 0; i < tracked_.size(); ++i) {
        Tracked& tracked = tracked_[i];
        if (!IsWindow(tracked.window)) {
            continue;
        }
        if (tracked.handled) {
            if (tracked.window != held_ && now - tracked.actedTick > CloseGraceMs) {
                problems_.push_back(std::string("a dialog titled \"") + WindowText(tracked.window) +
                                    "\" did not close");
                PostMessageA(tracked.window, WM_CLOSE, 0, 0);
                tracked.actedTick = now;
            }
            continue;
        }
        if (!IsWindowVisible(tracked.window)) {
            continue;
        }
        if (tracked.firstVisibleTick == 0) {
            tracked.firstVisibleTick = now == 0 ? 1 : now;
        }
        if (now - tracked.firstVisibleTick >= delayMs_) {
            Act(tracked.window);
        }
    }
    busy_ = false;
}

void DialogDriver::Act(HWND dialog) {
    // Looked up again after every call that sends messages: a window created meanwhile
    // may have moved the entries.
    auto entry = [&]() -> Tracked& {
        return *std::find_if(tracked_.begin(), tracked_.end(),
                             [&](const Tracked& tracked) { return tracked.window == dialog; });
    };
    entry().handled = true;
    entry().actedTick = GetTickCount();
    const DialogKind kind = ClassifyDialog(dialog);
    DialogSnapshot snapshot = Snap(dialog, kind);
    if (onShow_) {
        onShow_(snapshot);
    }
    seen_.push_back(snapshot);

    if (next_ >= script_.size()) {
        problems_.push_back(std::string("unexpected ") + KindName(kind) + " \"" + snapshot.caption +
                            "\" " + snapshot.text);
        Perform(dialog, kind, DialogAction::Cancel, {});
        return;
    }
    const std::size_t index = next_++;
    entry().answer = index;
    const DialogAnswer& answer = script_[index];
    if (answer.expected != kind) {
        problems_.push_back(std::string("expected a ") + KindName(answer.expected) + ", got a " +
                            KindName(kind) + " \"" + snapshot.caption + "\" " + snapshot.text);
        Perform(dialog, kind, DialogAction::Cancel, {});
        return;
    }
    if (answer.action == DialogAction::Hold) {
        held_ = dialog;
        heldKind_ = kind;
        return;
    }
    Perform(dialog, kind, answer.action, answer.path);
}

void DialogDriver::Release(DialogAction action, const std::string& path) {
    if (held_ == nullptr) {
        return;
    }
    HWND dialog = held_;
    held_ = nullptr;
    for (Tracked& tracked : tracked_) {
        if (tracked.window == dialog) {
            tracked.actedTick = GetTickCount();
        }
    }
    Perform(dialog, heldKind_, action, path);
}

void DialogDriver::Perform(HWND dialog, DialogKind kind, DialogAction action,
                           const std::string& path) {
    switch (action) {
        case DialogAction::ConfirmPath: {
            HWND name = GetDlgItem(dialog, FileNameCombo);
            if (name == nullptr) {
                name = GetDlgItem(dialog, FileNameEdit);
            }
            SetWindowTextA(name, path.c_str());
            PostCommand(dialog, IDOK);
            break;
        }
        case DialogAction::Cancel:
            if (kind == DialogKind::MessageBox && GetDlgItem(dialog, IDCANCEL) == nullptr) {
                PostCommand(dialog, IDOK);
            } else {
                PostCommand(dialog, IDCANCEL);
            }
            break;
        case DialogAction::Yes:
            PostCommand(dialog, IDYES);
            break;
        case DialogAction::Ok:
            PostCommand(dialog, IDOK);
            break;
        case DialogAction::PressContinue:
            PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
            break;
        case DialogAction::PressEscape:
            PostKey(dialog, VK_ESCAPE);
            break;
        case DialogAction::PressEnter:
            PostKey(dialog, VK_RETURN);
            break;
        case DialogAction::CommandOk:
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            break;
        case DialogAction::CloseBox:
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case DialogAction::Hold:
            break;
    }
}

}  // namespace cmp
