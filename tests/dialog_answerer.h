// Answers the platform's own dialogs (message boxes, the file dialog, the
// folder browser) from inside a test, while the code under test waits in
// them. A CBT hook on the test's thread notes every top-level dialog that
// is not built from the program's own templates; when one is first
// activated (or after 2 s if it never is), a timer fires inside its modal
// loop and performs the next scripted answer. A dialog with no answer left is recorded,
// cancelled and fails the test, so nothing hangs.
#pragma once
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

class DialogAnswerer {
public:
    enum class Kind { MessageBox, FileDialog, FolderBrowser };

    // What a dialog showed when it was answered.
    struct Seen {
        Kind kind;
        std::string caption;
        std::string text;       // message text, initial file name, or browser title
        std::string fileType;   // file dialogs: the filter shown when it opened
        HICON icon = nullptr;   // message boxes only
        HWND owner = nullptr;
    };

    DialogAnswerer();
    ~DialogAnswerer();  // fails the test if scripted answers were not used
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    void PressOk();                                  // next message box
    void ChooseFile(const std::string& path);        // next file dialog: fill the name, OK
    void CancelFile();
    void AcceptFile();                               // next file dialog: OK on the name it shows
    void ChooseFolder(const std::string& path);      // next folder browser: select, OK
    void AcceptFolder();                             // OK on the browser's own selection
    void CancelFolder();

    const std::vector<Seen>& Answered() const { return seen_; }
    int Unexpected() const { return unexpected_; }

private:
    struct Answer {
        Kind kind;
        bool accept;
        std::string path;
    };
    static LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK OnTimer(HWND dialog, UINT, UINT_PTR id, DWORD);
    void AnswerDialog(HWND dialog);

    HHOOK hook_ = nullptr;
    std::deque<Answer> script_;
    std::vector<HWND> pending_;  // noted at creation, not yet activated
    std::vector<Seen> seen_;
    int unexpected_ = 0;
};
