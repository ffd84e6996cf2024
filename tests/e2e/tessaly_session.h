// A running Tessaly.exe for an end-to-end test, and the ways a test talks to it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "resources/resource.h"
#include "tests/e2e/driver.h"
#include "tests/harness/expect_store_shape.h"

namespace e2e::session {

constexpr wchar_t kMainClass[] = L"Tessaly_MainWindowClass";
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr wchar_t kMenuClass[] = L"#32768";
constexpr wchar_t kAboutTitle[] = L"バージョン情報";

inline void PostCommand(HWND window, UINT command) {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

// Ends the process of the window, and waits until it has gone.
inline void EndProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
}

// Ends a Tessaly left running by an earlier, failed test.
inline void EndStrayInstances() {
    for (int i = 0; i < 5; ++i) {
        HWND stray = FindWindowW(kMainClass, L"Tessaly");
        if (!stray) {
            return;
        }
        EndProcessOf(stray);
    }
}

class TessalyTest : public testing::Test {
protected:
    static e2e::TraySpy& SharedTray() {
        static e2e::TraySpy spy;
        return spy;
    }

    void SetUp() override {
        tray.Clear();
        EndStrayInstances();
        e2e::DeleteStore();
    }

    void TearDown() override {
        if (app && app->Running()) {
            Exit();
        }
        e2e::DeleteStore();
    }

    // `locale`, when given, is the display language the program starts under
    // (as LC_ALL names it); otherwise it has the suite's. `folder`, when
    // given, is the copy started instead of the bin folder's.
    void Start(const std::wstring& words = L"", const wchar_t* locale = nullptr, const std::wstring& folder = L"") {
        if (locale) {
            // The window is all there is to find it by: an instance that has
            // just ended may still show one for a moment.
            ASSERT_TRUE(harness::PumpUntil([] { return FindWindowW(kMainClass, L"Tessaly") == nullptr; }));
            ASSERT_TRUE(e2e::StartUnderLocale(L"Tessaly.exe", locale));
            // Until the window's process can be opened: a window is seen a
            // moment before its process is.
            ASSERT_TRUE(harness::PumpUntil([&] {
                DWORD pid = 0;
                main = FindWindowW(kMainClass, L"Tessaly");
                app = std::make_unique<harness::Process>(main ? GetWindowThreadProcessId(main, &pid), pid : 0);
                return app->Running();
            }));
        } else {
            app = std::make_unique<e2e::Process>(L"Tessaly.exe", words, folder);
            ASSERT_TRUE(app->started());
            main = e2e::WaitForProcessWindow(app->id(), kMainClass, L"Tessaly", false);
        }
        ASSERT_NE(nullptr, main);
        ASSERT_TRUE(app->started());
        // The window is there before its creation handler has finished
        // (loaded the store, registered the hotkeys): wait for the loop.
        ASSERT_EQ(0u, app->WaitForInputIdle());
    }

    HWND Dialog(const wchar_t* title) { return e2e::FindProcessWindow(app->id(), kDialogClass, title); }
    HWND WaitForDialog(const wchar_t* title) {
        HWND dialog = e2e::WaitForProcessWindow(app->id(), kDialogClass, title);
        // Keys pressed while a new dialog is still taking the focus can be
        // lost under Wine, which resets its keyboard state on the change: let
        // the activation finish first, as a user's typing would.
        if (dialog) {
            harness::PumpUntil([&] { return GetForegroundWindow() == dialog; }, 2000);
        }
        return dialog;
    }
    HWND Menu() { return e2e::FindProcessWindow(app->id(), kMenuClass); }

    void CloseWithCloseBox(HWND dialog) {
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(harness::PumpUntil([&] { return !IsWindow(dialog); }));
    }

    // Posted commands are handled in order: once the About dialog shows,
    // everything posted before it has been handled. It also proves that no
    // other dialog holds the busy flag.
    void DrainWithAbout() {
        PostCommand(main, IDM_ABOUT);
        HWND about = WaitForDialog(kAboutTitle);
        ASSERT_NE(nullptr, about);
        CloseWithCloseBox(about);
    }

    DWORD Exit() {
        for (HWND dialog; (dialog = Dialog(nullptr)) != nullptr;) {
            CloseWithCloseBox(dialog);
        }
        PostCommand(main, IDM_EXIT);
        return app->WaitForExit();
    }

    // One stand-in taskbar for the whole run, as a session has one taskbar:
    // each test clears what it recorded.
    e2e::TraySpy& tray = SharedTray();
    std::unique_ptr<harness::Process> app;
    HWND main = nullptr;
};

}  // namespace e2e::session
