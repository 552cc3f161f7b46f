#include "dialog_answerer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <commctrl.h>
#include <shlobj.h>

namespace {

// Control ids of the platform dialogs, as Wine (and Windows) build them.
const int kMessageTextId = 0xFFFF;
const int kMessageIconId = 0x440;
const int kFileNameBoxId = 0x47c;
const int kFileTypeBoxId = 0x470;
const int kBrowserTitleId = 0x3742;
const UINT_PTR kAnswerTimer = 0x7A11;
const UINT_PTR kUnactivatedTimer = 0x7A12;  // a dialog that is never activated is answered anyway

thread_local DialogAnswerer* Current = nullptr;

std::string TextOf(HWND window) {
    char buffer[1024] = {};
    if (window) GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

DialogAnswerer::Kind KindOf(HWND dialog) {
    if (GetDlgItem(dialog, kFileNameBoxId)) return DialogAnswerer::Kind::FileDialog;
    if (FindWindowExA(dialog, nullptr, "SysTreeView32", nullptr)) return DialogAnswerer::Kind::FolderBrowser;
    return DialogAnswerer::Kind::MessageBox;
}

const char* NameOf(DialogAnswerer::Kind kind) {
    switch (kind) {
    case DialogAnswerer::Kind::MessageBox: return "message box";
    case DialogAnswerer::Kind::FileDialog: return "file dialog";
    case DialogAnswerer::Kind::FolderBrowser: return "folder browser";
    }
    return "?";
}

std::string TreeItemText(HWND tree, HTREEITEM item) {
    char text[MAX_PATH] = {};
    TVITEMA data = {};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
    return text;
}

// Selects a folder on drive C: in the browser's tree. Under Wine the first
// folder browser of a session ignores BFFM_SETSELECTION below the drive;
// then the tree is walked by hand from the drive's item, where the browser
// starts, one path component at a time.
void SelectFolder(HWND browser, const std::string& path) {
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
    HWND tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
    HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    std::string leaf = path.substr(path.find_last_of('\\') + 1);
    if (leaf.empty() || lstrcmpiA(TreeItemText(tree, item).c_str(), leaf.c_str()) == 0) return;
    if (path.size() < 3 || lstrcmpiA(path.substr(0, 3).c_str(), "C:\\") != 0) return;
    std::string rest = path.substr(3);
    while (item && !rest.empty()) {
        size_t end = rest.find('\\');
        std::string part = rest.substr(0, end);
        rest = end == std::string::npos ? "" : rest.substr(end + 1);
        SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        HTREEITEM child = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        while (child && lstrcmpiA(TreeItemText(tree, child).c_str(), part.c_str()) != 0)
            child = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)));
        item = child;
    }
    if (item) SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace

DialogAnswerer::DialogAnswerer() {
    Current = this;
    hook_ = SetWindowsHookExA(WH_CBT, OnCbt, nullptr, GetCurrentThreadId());
    EXPECT_NE(nullptr, hook_);
}

DialogAnswerer::~DialogAnswerer() {
    if (hook_) UnhookWindowsHookEx(hook_);
    Current = nullptr;
    EXPECT_TRUE(script_.empty()) << script_.size() << " scripted dialog answers were not used";
}

void DialogAnswerer::PressOk() { script_.push_back({Kind::MessageBox, true, ""}); }
void DialogAnswerer::ChooseFile(const std::string& path) { script_.push_back({Kind::FileDialog, true, path}); }
void DialogAnswerer::CancelFile() { script_.push_back({Kind::FileDialog, false, ""}); }
void DialogAnswerer::AcceptFile() { script_.push_back({Kind::FileDialog, true, ""}); }
void DialogAnswerer::ChooseFolder(const std::string& path) { script_.push_back({Kind::FolderBrowser, true, path}); }
void DialogAnswerer::AcceptFolder() { script_.push_back({Kind::FolderBrowser, true, ""}); }
void DialogAnswerer::CancelFolder() { script_.push_back({Kind::FolderBrowser, false, ""}); }

LRESULT CALLBACK DialogAnswerer::OnCbt(int code, WPARAM wParam, LPARAM lParam) {
    DialogAnswerer* self = Current;
    HWND window = reinterpret_cast<HWND>(wParam);
    if (self && code == HCBT_CREATEWND) {
        const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        char className[16] = {};
        GetClassNameA(window, className, sizeof className);
        // The program's own modeless dialogs come from this module's
        // templates; they are the test's business, not the answerer's.
        bool platformDialog = strcmp(className, "#32770") == 0 && !(create->style & WS_CHILD) &&
                              create->hInstance != GetModuleHandleA(nullptr);
        if (platformDialog) {
            self->pending_.push_back(window);
            SetTimer(window, kUnactivatedTimer, 2000, OnTimer);
        }
    } else if (self && code == HCBT_ACTIVATE) {
        // Only the first activation: focus coming back later is no new dialog.
        auto noted = std::find(self->pending_.begin(), self->pending_.end(), window);
        if (noted != self->pending_.end()) {
            self->pending_.erase(noted);
            SetTimer(window, kAnswerTimer, 50, OnTimer);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK DialogAnswerer::OnTimer(HWND dialog, UINT, UINT_PTR, DWORD) {
    KillTimer(dialog, kAnswerTimer);
    KillTimer(dialog, kUnactivatedTimer);
    DialogAnswerer* self = Current;
    if (!self) return;
    self->pending_.erase(std::remove(self->pending_.begin(), self->pending_.end(), dialog), self->pending_.end());
    self->AnswerDialog(dialog);
}

void DialogAnswerer::AnswerDialog(HWND dialog) {
    Seen seen;
    seen.kind = KindOf(dialog);
    seen.caption = TextOf(dialog);
    seen.owner = GetWindow(dialog, GW_OWNER);
    switch (seen.kind) {
    case Kind::MessageBox:
        seen.text = TextOf(GetDlgItem(dialog, kMessageTextId));
        seen.icon = reinterpret_cast<HICON>(SendDlgItemMessageA(dialog, kMessageIconId, STM_GETICON, 0, 0));
        break;
    case Kind::FileDialog:
        seen.text = TextOf(GetDlgItem(dialog, kFileNameBoxId));
        seen.fileType = TextOf(GetDlgItem(dialog, kFileTypeBoxId));
        break;
    case Kind::FolderBrowser: seen.text = TextOf(GetDlgItem(dialog, kBrowserTitleId)); break;
    }
    seen_.push_back(seen);

    if (script_.empty() || script_.front().kind != seen.kind) {
        ++unexpected_;
        ADD_FAILURE() << "unexpected " << NameOf(seen.kind) << " \"" << seen.caption << "\": " << seen.text;
        Press(dialog, seen.kind == Kind::MessageBox ? IDOK : IDCANCEL);
        return;
    }
    Answer answer = script_.front();
    script_.pop_front();
    if (!answer.accept) {
        Press(dialog, IDCANCEL);
        return;
    }
    if (seen.kind == Kind::FileDialog && !answer.path.empty()) SetDlgItemTextA(dialog, kFileNameBoxId, answer.path.c_str());
    if (seen.kind == Kind::FolderBrowser && !answer.path.empty()) SelectFolder(dialog, answer.path);
    Press(dialog, IDOK);
}
