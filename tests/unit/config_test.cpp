// The settings dialog and the task editor, driven with real dialogs and
// messages; the user's answers (editor, confirmation, key capture) come from
// the test.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <ole2.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/program_state.h"
#include "common/ui_text.h"
#include "libs/pirnel/pirnel.h"
#include "common/ui_libraries.h"
#include "common/unique_handles.h"
#include "config/settings_dialog.h"
#include "config/task_drop_target.h"
#include "config/task_editor.h"
#include "model/display_settings.h"
#include "model/apps_folder.h"
#include "model/hotkey.h"
#include "model/key_condition.h"
#include "model/portable.h"
#include "model/settings_file.h"
#include "model/task.h"
#include "model/window_program.h"
#include "resources/resource.h"
#include "tests/unit/test_support.h"
#include "windows/task_rows.h"

namespace {

using tessaly::unique_cotaskmem;

TEST(SettingsSliders, MapBothWays) {
    const struct {
        int alpha, position, stored;
    } alphas[] = {{255, 16, 255}, {192, 12, 192}, {200, 12, 192}, {0, 0, 0}, {16, 1, 16}, {254, 15, 240}};
    for (const auto& a : alphas) {
        EXPECT_EQ(a.position, AlphaToPosition(a.alpha)) << a.alpha;
        EXPECT_EQ(a.stored, PositionToAlpha(a.position)) << a.alpha;
    }
    const struct {
        int time, position;
        const wchar_t* text;
    } times[] = {{1500, 15, L"1.5 秒"}, {1550, 15, L"1.5 秒"}, {0, 0, L"0.0 秒"}, {5000, 50, L"5.0 秒"}};
    for (const auto& t : times) {
        EXPECT_EQ(t.position, TimeToPosition(t.time));
        wchar_t text[32];
        FormatTime(t.time, text);
        EXPECT_STREQ(t.text, text);
    }
    EXPECT_EQ(5000, PositionToTime(50));
}

std::wstring Text(HWND dialog, int control) {
    wchar_t text[MAX_PATH] = {};
    GetDlgItemTextW(dialog, control, text, MAX_PATH);
    return text;
}

bool Checked(HWND dialog, int control) { return IsDlgButtonChecked(dialog, control) == BST_CHECKED; }

void Click(HWND dialog, int control) { SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED), 0); }

UINT g_capturedValue = 0;
UINT g_valueOffered = 0;
UINT WINAPI FakeCapture(HWND, UINT value) {
    g_valueOffered = value;
    return g_capturedValue;
}

// The editor opened modeless on a working copy: the same dialog procedure
// and controls the modal run has.
class EditorTest : public testing::Test {
protected:
    void SetUp() override {
        saved = g_keyCaptureDialogs;
        g_keyCaptureDialogs = {FakeCapture, FakeCapture};
        copy.vk = 'K';
        copy.fsModifiers = MOD_CONTROL | MOD_ALT;
        lstrcpyW(copy.File, L"notepad");
        lstrcpyW(copy.Parameter, L"a.txt");
        lstrcpyW(copy.WorkingFolder, L"%TEMP%");
        copy.Show = 7;  // a shortcut's minimised state
        copy.RunAs = 1;
        lstrcpyW(copy.Name, L"メモ帳");
        lstrcpyW(copy.Sound, L"ding.wav");
        lstrcpyW(copy.IconPath, L"shell32.dll");
        copy.IconIndex = 3;
        copy.ShowLauncher = 0;
        copy.Condition = kOnlyIn;
        lstrcpyW(copy.Programs, L"writer.exe; studio.exe");
        copy.NextModifiers = MOD_SHIFT;
        copy.NextVk = 'N';
        copy.Atom = 77;
        copy.ImageIndex = 5;
    }
    void TearDown() override {
        if (dialog) {
            DestroyWindow(dialog);
        }
        g_keyCaptureDialogs = saved;
    }
    void Open() {
        dialog = CreateDialogParamW(g_instance, MAKEINTRESOURCEW(IDD_TASK), nullptr, TaskEditorProc,
                                    reinterpret_cast<LPARAM>(&edit));
        ASSERT_NE(nullptr, dialog);
    }
    KeyCaptureDialogs saved;
    Task copy;
    TaskEdit edit = {&copy, nullptr};
    HWND dialog = nullptr;
};

TEST_F(EditorTest, OpensFromTheCopyAndOkWritesEveryField) {
    Open();
    EXPECT_EQ(L"最小化", Text(dialog, IDC_SHOW));
    EXPECT_TRUE(Checked(dialog, IDC_CTRL) && Checked(dialog, IDC_ALT));
    EXPECT_FALSE(Checked(dialog, IDC_SHIFT) || Checked(dialog, IDC_WIN) || Checked(dialog, IDC_SHOW_LAUNCHER));
    EXPECT_EQ(L"K", Text(dialog, IDC_KEY));
    EXPECT_EQ(L"Shift+N", Text(dialog, IDC_NEXT_KEY));
    EXPECT_EQ(L"次でのみ", Text(dialog, IDC_CONDITION));
    EXPECT_EQ(L"writer.exe; studio.exe", Text(dialog, IDC_PROGRAMS));
    EXPECT_EQ(L"管理者として実行(&R)", Text(dialog, IDC_RUNAS));
    EXPECT_NE(nullptr, reinterpret_cast<HICON>(SendDlgItemMessageW(dialog, IDC_TASK_ICON, STM_GETICON, 0, 0)));

    SetDlgItemTextW(dialog, IDC_NAME, L"新しい名前");
    // Stored as typed, without the blanks around.
    SetDlgItemTextW(dialog, IDC_PROGRAMS, L"  writer.exe ;studio.exe\t ");
    SendDlgItemMessageW(dialog, IDC_CONDITION, CB_SETCURSEL, kExceptIn, 0);
    SendDlgItemMessageW(dialog, IDC_SHOW, CB_SETCURSEL, 2, 0);
    CheckDlgButton(dialog, IDC_WIN, BST_CHECKED);
    Click(dialog, IDC_ICON_DEFAULT);
    Click(dialog, IDOK);
    EXPECT_EQ(UINT('K'), copy.vk);
    EXPECT_EQ(UINT(MOD_CONTROL | MOD_ALT | MOD_WIN), copy.fsModifiers);
    EXPECT_STREQ(L"notepad", copy.File);
    EXPECT_STREQ(L"a.txt", copy.Parameter);
    EXPECT_STREQ(L"%TEMP%", copy.WorkingFolder);
    EXPECT_EQ(SW_SHOWMAXIMIZED, copy.Show);
    EXPECT_EQ(1, copy.RunAs);
    EXPECT_STREQ(L"新しい名前", copy.Name);
    EXPECT_STREQ(L"ding.wav", copy.Sound);
    EXPECT_STREQ(L"", copy.IconPath);
    EXPECT_EQ(0, copy.IconIndex);
    EXPECT_EQ(0, copy.ShowLauncher);
    EXPECT_EQ(kExceptIn, copy.Condition);
    EXPECT_STREQ(L"writer.exe ;studio.exe", copy.Programs);
    EXPECT_EQ(UINT(MOD_SHIFT), copy.NextModifiers);
    EXPECT_EQ(UINT('N'), copy.NextVk);
    // The run-time fields are the settings dialog's business.
    EXPECT_EQ(77, copy.Atom);
    EXPECT_EQ(5, copy.ImageIndex);
}

// Pasted over, a box keeps no more than its field holds, and OK stores all of it.
TEST_F(EditorTest, TextBoxesHoldNoMoreThanTheirFields) {
    const struct {
        int box;
        const wchar_t* field;
    } boxes[] = {{IDC_FILE, copy.File}, {IDC_PARAMETER, copy.Parameter}, {IDC_FOLDER, copy.WorkingFolder},
                 {IDC_NAME, copy.Name}, {IDC_SOUND, copy.Sound}, {IDC_ICON_PATH, copy.IconPath}};
    const std::wstring pasted(300, L'x');
    Open();
    for (const auto& b : boxes) {
        SendDlgItemMessageW(dialog, b.box, EM_SETSEL, 0, -1);
        SendDlgItemMessageW(dialog, b.box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(pasted.c_str()));
    }
    Click(dialog, IDOK);
    for (const auto& b : boxes) {
        EXPECT_EQ(GetWindowTextLengthW(GetDlgItem(dialog, b.box)), lstrlenW(b.field)) << b.box;
    }
}

// A shortcut's minimised states read as "最小化" and stay as they were while
// the user leaves the selection alone.
TEST_F(EditorTest, ShowStateLeftAsItOpenedIsKept) {
    const struct {
        int show;
        const wchar_t* text;
    } cases[] = {{SW_SHOWMINNOACTIVE, L"最小化"}, {SW_MINIMIZE, L"最小化"}, {SW_SHOWMINIMIZED, L"最小化"},
                 {SW_SHOWMAXIMIZED, L"最大化"}, {SW_SHOWNORMAL, L"標準"}};
    for (const auto& c : cases) {
        copy.Show = c.show;
        Open();
        EXPECT_EQ(c.text, Text(dialog, IDC_SHOW)) << c.show;
        Click(dialog, IDOK);
        EXPECT_EQ(c.show, copy.Show);
        DestroyWindow(std::exchange(dialog, nullptr));
    }
}

TEST_F(EditorTest, CancelAndTheCloseBoxChangeNothing) {
    for (UINT close : {UINT(WM_COMMAND), UINT(WM_CLOSE)}) {
        Open();
        const Task before = copy;
        SetDlgItemTextW(dialog, IDC_FILE, L"calc");
        CheckDlgButton(dialog, IDC_RUNAS, BST_UNCHECKED);
        g_capturedValue = PIRNEL_NO_KEY;
        Click(dialog, IDC_KEY);
        SendMessageW(dialog, close, close == WM_COMMAND ? IDCANCEL : 0, 0);
        EXPECT_EQ(before.vk, copy.vk);
        EXPECT_EQ(before.fsModifiers, copy.fsModifiers);
        EXPECT_STREQ(before.File, copy.File);
        EXPECT_EQ(before.RunAs, copy.RunAs);
        EXPECT_EQ(before.Show, copy.Show);
        DestroyWindow(dialog);
        dialog = nullptr;
    }
}

TEST_F(EditorTest, KeyCaptureAppliesTheWholeValue) {
    const struct {
        UINT result;
        LONG_PTR key;
        bool alt, ctrl, shift, win;
        const wchar_t* caption;
    } cases[] = {
        {(MOD_SHIFT | MOD_WIN) << 16 | 'Q', 'Q', false, false, true, true, L"Q"},
        {0x000F0000 | PIRNEL_NO_KEY, -1, false, false, false, false, L"キーの設定"},
        {MOD_ALT << 16 | VK_F5, VK_F5, true, false, false, false, L"F5"},
    };
    Open();
    UINT expectedOffer = (MOD_CONTROL | MOD_ALT) << 16 | 'K';
    for (const auto& c : cases) {
        g_capturedValue = c.result;
        Click(dialog, IDC_KEY_LIST);
        EXPECT_EQ(expectedOffer, g_valueOffered);
        EXPECT_EQ(c.key, GetWindowLongPtrW(GetDlgItem(dialog, IDC_KEY), GWLP_USERDATA));
        EXPECT_EQ(c.caption, Text(dialog, IDC_KEY));
        EXPECT_EQ(c.alt, Checked(dialog, IDC_ALT));
        EXPECT_EQ(c.ctrl, Checked(dialog, IDC_CTRL));
        EXPECT_EQ(c.shift, Checked(dialog, IDC_SHIFT));
        EXPECT_EQ(c.win, Checked(dialog, IDC_WIN));
        expectedOffer = (c.result & 0xFFFF) == PIRNEL_NO_KEY ? PIRNEL_NO_KEY : c.result;
    }
    Click(dialog, IDOK);
    EXPECT_EQ(UINT(VK_F5), copy.vk);
    EXPECT_EQ(UINT(MOD_ALT), copy.fsModifiers);
}

// The key that follows is captured whole, modifiers or none, and cleared
// as the task's key is; OK stores what the button shows.
TEST_F(EditorTest, TheKeyThatFollowsRoundTripsIntoTheTask) {
    const struct {
        int button;
        UINT result;
        const wchar_t* caption;
        UINT modifiers, vk;
    } cases[] = {
        {IDC_NEXT_KEY, 'M', L"M", 0, 'M'},
        {IDC_NEXT_KEY_LIST, (MOD_CONTROL | MOD_SHIFT) << 16 | VK_F5, L"Ctrl+Shift+F5", MOD_CONTROL | MOD_SHIFT, VK_F5},
        {IDC_NEXT_KEY, MOD_ALT << 16 | PIRNEL_NO_KEY, L"なし", 0, kNoKey},
        {IDC_NEXT_KEY_LIST, 'N', L"N", 0, 'N'},
    };
    copy.NextModifiers = MOD_SHIFT;
    copy.NextVk = 'N';
    UINT offered = MOD_SHIFT << 16 | 'N';
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.caption)));
        Open();
        g_capturedValue = c.result;
        Click(dialog, c.button);
        EXPECT_EQ(offered, g_valueOffered);
        EXPECT_EQ(c.caption, Text(dialog, IDC_NEXT_KEY));
        // The task's own key stays as it was.
        EXPECT_EQ(L"K", Text(dialog, IDC_KEY));
        Click(dialog, IDOK);
        EXPECT_EQ(c.modifiers, copy.NextModifiers);
        EXPECT_EQ(c.vk, copy.NextVk);
        EXPECT_EQ(UINT('K'), copy.vk);
        offered = c.vk == kNoKey ? PIRNEL_NO_KEY : c.result;
        DestroyWindow(std::exchange(dialog, nullptr));
    }
}

// The list and Pick take part only where the condition names programs; a
// condition of a later version shows as everywhere, as it works.
TEST_F(EditorTest, OnlyAConditionThatNamesProgramsTakesThem) {
    const struct {
        int opened, chosen;
        bool programs;
    } cases[] = {{kEverywhere, kEverywhere, false}, {kOnlyIn, kOnlyIn, true}, {kExceptIn, kExceptIn, true},
                 {7, kEverywhere, false}, {kEverywhere, kOnlyIn, true}, {kOnlyIn, kEverywhere, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.opened << " " << c.chosen);
        copy.Condition = c.opened;
        Open();
        if (c.chosen != c.opened) {
            SendDlgItemMessageW(dialog, IDC_CONDITION, CB_SETCURSEL, c.chosen, 0);
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_CONDITION, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_CONDITION)));
        }
        EXPECT_EQ(c.programs, IsWindowEnabled(GetDlgItem(dialog, IDC_PROGRAMS)) != FALSE);
        EXPECT_EQ(c.programs, IsWindowEnabled(GetDlgItem(dialog, IDC_PICK)) != FALSE);
        Click(dialog, IDOK);
        EXPECT_EQ(c.chosen, copy.Condition);
        DestroyWindow(std::exchange(dialog, nullptr));
    }
}

std::wstring g_pickedImage, g_pickedAppId;
BOOL WINAPI PickedImage(HANDLE, DWORD, LPWSTR image, PDWORD length) {
    lstrcpynW(image, g_pickedImage.c_str(), int(*length));
    *length = DWORD(g_pickedImage.size());
    return TRUE;
}
bool PickedAppId(HWND, wchar_t (&id)[kAppIdLength]) {
    lstrcpynW(id, g_pickedAppId.c_str(), kAppIdLength);
    return !g_pickedAppId.empty();
}
bool g_withMouse = false;
bool PressedWithMouseHere() { return g_withMouse; }

// Pick takes the program of a window: with the mouse, of the one clicked
// next (the editor's own adds nothing, Esc ends the wait); from the keyboard,
// of the one that was in front before the settings. A program the list names
// already is not added again.
TEST_F(EditorTest, PickAddsTheProgramOfAWindowOnce) {
    // Clear of the editor, which opens in the middle of the screen; not a
    // static control, which the mouse goes through.
    HWND program = CreateWindowExW(0, L"BUTTON", L"", WS_POPUP | WS_VISIBLE, 20, 20, 80, 60, nullptr, nullptr,
                                   nullptr, nullptr);
    const std::wstring hint = L"ウィンドウをクリックしてください (Esc で取り消し)";
    const std::wstring calculator = L"Contoso.Calc_8wekyb3d8bbwe!App";
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    enum How { kKeyboard, kClick, kClickOnTheEditor, kEsc };
    const struct {
        const char* what;
        How how;
        const wchar_t* image;
        std::wstring appId;
        const wchar_t* before;
        std::wstring after;
    } cases[] = {
        {"from the keyboard", kKeyboard, L"C:\\Programs\\Writer\\Writer.exe", L"", L"", L"Writer.exe"},
        {"by a click", kClick, L"C:\\Programs\\studio.exe", L"", L"writer.exe ; ", L"writer.exe; studio.exe"},
        {"named by another case", kClick, L"C:\\Programs\\Code\\WRITER.EXE", L"", L"writer.exe", L"writer.exe"},
        {"named by its path", kKeyboard, L"C:\\Programs\\studio.exe", L"", L"C:\\Programs\\studio.exe",
         L"C:\\Programs\\studio.exe"},
        {"a program with an app id of its own", kKeyboard, L"C:\\Programs\\Writer\\Writer.exe", L"Contoso.Writer",
         L"a.exe", L"a.exe; Writer.exe"},
        {"a Store app in its frame", kClick, L"C:\\Windows\\System32\\ApplicationFrameHost.exe", calculator,
         L"a.exe", L"a.exe; " + calculator},
        {"a Store app named already", kKeyboard, L"C:\\Windows\\System32\\ApplicationFrameHost.exe", calculator,
         calculator.c_str(), calculator},
        {"the editor clicked", kClickOnTheEditor, L"C:\\Programs\\studio.exe", L"", L"a.exe", L"a.exe"},
        {"Esc", kEsc, L"C:\\Programs\\studio.exe", L"", L"a.exe", L"a.exe"},
        // A window of Tessaly's own, such as the settings under the editor.
        {"one of ours", kKeyboard, self, L"", L"a.exe", L"a.exe"},
        // Its app unread, a frame would stand for every Store app.
        {"a frame alone", kKeyboard, L"C:\\Windows\\System32\\ApplicationFrameHost.exe", L"", L"a.exe", L"a.exe"},
    };
    const auto systemAppId = std::exchange(g_windowAppId, PickedAppId);
    const auto systemImage = std::exchange(g_processImageName, PickedImage);
    const auto systemMouse = std::exchange(g_pressedWithMouse, PressedWithMouseHere);
    const HWND systemBefore = std::exchange(g_windowBeforeSettings, program);
    copy.Condition = kOnlyIn;
    // A one-step key with nothing to say of it: the line the hint took is
    // empty again after the pick.
    copy.NextVk = kNoKey;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        g_pickedImage = c.image;
        g_pickedAppId = c.appId;
        lstrcpyW(copy.Programs, c.before);
        Open();
        g_withMouse = c.how != kKeyboard;
        Click(dialog, IDC_PICK);
        if (g_withMouse) {
            EXPECT_EQ(dialog, GetCapture());
            EXPECT_EQ(hint, Text(dialog, IDC_KEY_WARNING));
            // In the middle of the window clicked, as the dialog sees it.
            RECT target;
            GetWindowRect(c.how == kClickOnTheEditor ? dialog : program, &target);
            if (c.how == kClickOnTheEditor) {
                ShowWindow(dialog, SW_SHOWNA);
            }
            POINT middle = {(target.left + target.right) / 2, (target.top + target.bottom) / 2};
            ScreenToClient(dialog, &middle);
            if (c.how == kEsc) {
                Click(dialog, IDCANCEL);
                EXPECT_TRUE(IsWindow(dialog));
            } else {
                SendMessageW(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(middle.x, middle.y));
            }
            EXPECT_EQ(nullptr, GetCapture());
            EXPECT_EQ(L"", Text(dialog, IDC_KEY_WARNING));
        }
        EXPECT_EQ(c.after, Text(dialog, IDC_PROGRAMS));
        DestroyWindow(std::exchange(dialog, nullptr));
    }
    g_windowBeforeSettings = systemBefore;
    g_pressedWithMouse = systemMouse;
    g_processImageName = systemImage;
    g_windowAppId = systemAppId;
    DestroyWindow(program);
}

// The reason a grey link gives, by the kind of link; a shell location of no
// known folder (which Wine's shell parses, where Windows' fails) says so
// whatever the shell answers here.
TEST(GreyLinkReason, SaysWhatKindOfLinkDidNotOpen) {
    const std::wstring location = L"Windows にこの場所はありません";
    const std::wstring longScheme = L"k" + std::wstring(254, L'x');
    const struct {
        std::wstring command;
        int size;
        std::wstring reason;
    } cases[] = {
        {L"kitnone:x", 64, L"kitnone: を開くプログラムがありません"},
        {L"shell:TessalyNoSuchPlace", 64, location},
        {longScheme + L":x", kGreyLinkReasonLength, longScheme + L": を開くプログラムがありません"},
        {L"kitnone:x", 8, L"kitnone"},  // cut to the room given
        {L"C:\\nowhere\\missing.exe", 64, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.command));
        wchar_t text[kGreyLinkReasonLength] = {};
        EXPECT_EQ(static_cast<int>(c.reason.size()), WhyLinkIsGrey(c.command.c_str(), text, c.size));
        EXPECT_EQ(c.reason, text);
    }
}

// The line above the file says what it takes; for a link nothing here opens,
// why its row is grey: from the opening on, and as the file is typed.
TEST_F(EditorTest, TheLineAboveTheFileSaysWhyALinkWillNotOpen) {
    test::RegisteredSchemes schemes;
    const std::wstring hint = L"(フォルダ、URL、shell: も指定できます)";
    const std::wstring noHandler = L"kitnone: を開くプログラムがありません";
    const struct {
        const wchar_t* file;
        std::wstring note;
    } cases[] = {
        {L"kittessa:open/this", hint},
        {L"kitnone:x", noHandler},
        {L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}", hint},
        // A missing file is grey too, and its row shows its path.
        {L"C:\\nowhere\\missing.exe", hint},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.file)));
        lstrcpyW(copy.File, c.file);
        Open();
        EXPECT_EQ(c.note, Text(dialog, IDC_FILE_NOTE));
        DestroyWindow(std::exchange(dialog, nullptr));
    }
    lstrcpyW(copy.File, L"notepad");
    Open();
    for (const auto& typed : {std::make_pair(L"kitnone:x", noHandler), std::make_pair(L"kittessa:x", hint)}) {
        SetDlgItemTextW(dialog, IDC_FILE, typed.first);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_FILE, EN_KILLFOCUS),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_FILE)));
        EXPECT_EQ(typed.second, Text(dialog, IDC_FILE_NOTE));
    }
}

// Whether the combination will work is said in the dialog as soon as it is
// set: on opening, after a capture, after a modifier is changed by hand.
TEST_F(EditorTest, SaysWhoHoldsTheCombination) {
    test::HotKeyOwner owner;
    g_taskList.Clear();
    Task* own = g_taskList.Append(test::MakeTask(MOD_CONTROL | MOD_ALT, 'K', L"自分"));
    own->Atom = RegisterTaskHotKey(own->fsModifiers, own->vk);
    ASSERT_NE(0, own->Atom);
    Task* other = g_taskList.Append(test::MakeTask(MOD_CONTROL | MOD_ALT, 'O', L"メモ帳"));
    other->Atom = RegisterTaskHotKey(other->fsModifiers, other->vk);
    // Unnamed, it goes by its command.
    Task* unnamed = g_taskList.Append(test::MakeTask(MOD_CONTROL | MOD_ALT, 'U', L""));
    lstrcpyW(unnamed->File, L"calc");
    // One key for two tasks that never apply together, the first registered
    // (the program in front is not writer.exe); and a key that waits for N.
    auto conditioned = [](UINT vk, const wchar_t* name, int condition, const wchar_t* programs, UINT next = kNoKey) {
        Task* task = g_taskList.Append(test::MakeTask(MOD_CONTROL | MOD_ALT, vk, name));
        task->Condition = condition;
        lstrcpyW(task->Programs, programs);
        task->NextVk = next;
        return task;
    };
    Task* elsewhere = conditioned('E', L"ほか", kExceptIn, L"writer.exe");
    elsewhere->Atom = RegisterTaskHotKey(elsewhere->fsModifiers, elsewhere->vk);
    Task* inCode = conditioned('E', L"コード", kOnlyIn, L"writer.exe");
    conditioned('T', L"二段", kEverywhere, L"", 'N');
    HWND program = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(RegisterHotKey(program, 1, MOD_CONTROL | MOD_ALT, 'H'));
    g_taskList.Append(test::MakeTask(0, VK_LAUNCH_APP1, L"電卓"));
    ASSERT_TRUE(RegisterHotKey(program, 2, 0, VK_F14));
    const std::wstring held = L"ほかのプログラムか Windows が使用しています";
    // Windows keeps keys typed into an elevated window from programs that are not.
    const std::wstring elevated = L"管理者権限のウィンドウが前面だと届きません";
    constexpr UINT kCtrlAlt = MOD_CONTROL | MOD_ALT;
    const struct {
        const char* what;
        const Task* original;
        UINT modifiers, vk;
        const wchar_t* warning;
        int condition = kEverywhere;
        const wchar_t* programs = L"";
        UINT next = kNoKey;
    } cases[] = {
        {"its own key", own, kCtrlAlt, 'K', L""},
        {"another task's key", own, kCtrlAlt, 'O', L"タスク「メモ帳」が使用しています"},
        {"an unnamed task's key", nullptr, kCtrlAlt, 'U', L"タスク「calc」が使用しています"},
        {"a new task on a listed task's key", nullptr, kCtrlAlt, 'K', L"タスク「自分」が使用しています"},
        {"a key held by another program", own, kCtrlAlt, 'H', held.c_str()},
        {"a free key", own, kCtrlAlt, 'F', L""},
        {"no key", own, kCtrlAlt, kNoKey, L""},
        {"a key alone", own, 0, VK_F13, elevated.c_str()},
        {"Shift and a key", own, MOD_SHIFT, VK_VOLUME_UP, elevated.c_str()},
        {"the Win+Shift+F23 key", own, MOD_WIN | MOD_SHIFT, VK_F23, L""},
        {"Ctrl and a key", own, MOD_CONTROL, VK_MEDIA_PLAY_PAUSE, L""},
        {"a key alone another task uses", own, 0, VK_LAUNCH_APP1, L"タスク「電卓」が使用しています"},
        {"a key alone another program holds", own, 0, VK_F14, held.c_str()},
        {"no key and no modifiers", own, 0, kNoKey, L""},
        {"a key shared where the two never apply together", inCode, kCtrlAlt, 'E', L"", kOnlyIn, L"writer.exe"},
        {"the same, the registered one edited", elsewhere, kCtrlAlt, 'E', L"", kExceptIn, L" writer.exe "},
        {"a key shared where both apply", inCode, kCtrlAlt, 'E', L"タスク「ほか」が使用しています", kOnlyIn,
         L"studio.exe"},
        {"a new task in the same program", nullptr, kCtrlAlt, 'E', L"タスク「コード」が使用しています", kOnlyIn,
         L"WRITER.EXE"},
        {"only in no program", nullptr, kCtrlAlt, 'E', L"", kOnlyIn, L" ; "},
        {"a whole key that is another's first step", nullptr, kCtrlAlt, 'T', L"タスク「二段」が使用しています"},
        {"the same two steps", nullptr, kCtrlAlt, 'T', L"タスク「二段」が使用しています", kEverywhere, L"", 'N'},
        // A second key alone misses an elevated window as a first one does.
        {"another second step", nullptr, kCtrlAlt, 'T', elevated.c_str(), kEverywhere, L"", 'M'},
        {"a first step that is another's whole key", nullptr, kCtrlAlt, 'K', L"タスク「自分」が使用しています",
         kEverywhere, L"", 'N'},
        {"a first step another program holds", own, kCtrlAlt, 'H', held.c_str(), kEverywhere, L"", 'N'},
        {"a first step alone, only in one program", own, 0, VK_F13, elevated.c_str(), kOnlyIn, L"writer.exe", 'N'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        copy.vk = c.vk;
        copy.fsModifiers = c.modifiers;
        copy.Condition = c.condition;
        lstrcpyW(copy.Programs, c.programs);
        copy.NextVk = c.next;
        copy.NextModifiers = 0;
        edit.original = c.original;
        Open();
        EXPECT_EQ(c.warning, Text(dialog, IDC_KEY_WARNING));
        DestroyWindow(std::exchange(dialog, nullptr));
    }

    // Captured, then changed by hand; and paused, when the own key is free
    // and still no conflict.
    edit.original = own;
    copy.vk = 'K';
    copy.Condition = kEverywhere;
    copy.NextVk = kNoKey;
    copy.fsModifiers = kCtrlAlt;
    Open();
    g_capturedValue = (MOD_CONTROL | MOD_ALT) << 16 | 'H';
    Click(dialog, IDC_KEY);
    EXPECT_EQ(held, Text(dialog, IDC_KEY_WARNING));
    CheckDlgButton(dialog, IDC_SHIFT, BST_CHECKED);
    Click(dialog, IDC_SHIFT);
    EXPECT_EQ(L"", Text(dialog, IDC_KEY_WARNING));
    for (int box : {IDC_CTRL, IDC_ALT}) {
        CheckDlgButton(dialog, box, BST_UNCHECKED);
        Click(dialog, box);
    }
    EXPECT_EQ(elevated, Text(dialog, IDC_KEY_WARNING));
    DestroyWindow(std::exchange(dialog, nullptr));
    SetHotKeysPaused(true);
    Open();
    EXPECT_EQ(L"", Text(dialog, IDC_KEY_WARNING));
    SetHotKeysPaused(false);
    UnregisterHotKey(program, 1);
    UnregisterHotKey(program, 2);
    DestroyWindow(program);
}

// The user's part in the settings dialog: what the editor does with each
// working copy, and the answer to the delete question.
std::vector<std::function<INT_PTR(Task*)>> g_editorRuns;
size_t g_editorRun = 0;
int g_deleteAnswer = IDNO;

INT_PTR FakeEditor(HWND, Task* copy, const Task*) {
    return g_editorRun < g_editorRuns.size() ? g_editorRuns[g_editorRun++](copy) : IDCANCEL;
}
int WINAPI FakeMessageBox(HWND, LPCWSTR, LPCWSTR, UINT) { return g_deleteAnswer; }

std::function<INT_PTR(Task*)> Accept(const wchar_t* file, UINT modifiers, UINT vk) {
    return [=](Task* copy) {
        lstrcpyW(copy->File, file);
        copy->fsModifiers = modifiers;
        copy->vk = vk;
        return INT_PTR(IDOK);
    };
}

class SettingsTest : public testing::Test {
protected:
    void SetUp() override {
        saved = g_settingsDialogHooks;
        g_settingsDialogHooks = {FakeEditor, FakeMessageBox};
        g_editorRuns.clear();
        g_editorRun = 0;
        g_taskList.Clear();
    }
    void TearDown() override {
        if (dialog) {
            DestroyWindow(dialog);
        }
        g_settingsDialogHooks = saved;
        g_taskImageList.reset();
    }
    void Open() {
        dialog = CreateDialogParamW(g_instance, MAKEINTRESOURCEW(IDD_SETTINGS), nullptr, SettingsDialogProc, 0);
        ASSERT_NE(nullptr, dialog);
        list = GetDlgItem(dialog, IDC_LIST);
    }
    void Select(int row) { ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED); }
    bool Enabled(int control) { return IsWindowEnabled(GetDlgItem(dialog, control)) != FALSE; }
    std::wstring InfoTip(int row) {
        wchar_t text[256] = {};
        NMLVGETINFOTIPW tip = {};
        tip.hdr.hwndFrom = list;
        tip.hdr.idFrom = IDC_LIST;
        tip.hdr.code = LVN_GETINFOTIPW;
        tip.pszText = text;
        tip.cchTextMax = 256;
        tip.iItem = row;
        SendMessageW(dialog, WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&tip));
        return text;
    }
    test::HotKeyOwner owner;
    SettingsDialogHooks saved;
    HWND dialog = nullptr, list = nullptr;
};

TEST_F(SettingsTest, AddChangeDeleteAndMoveKeepListRowsAndHotKeysInStep) {
    Open();
    EXPECT_EQ(0, ListView_GetItemCount(list));
    EXPECT_FALSE(Enabled(IDC_CHANGE) || Enabled(IDC_DELETE) || Enabled(IDC_UP) || Enabled(IDC_DOWN));

    g_editorRuns = {Accept(L"notepad", MOD_CONTROL | MOD_ALT, VK_F9), Accept(L"regedit", MOD_CONTROL | MOD_ALT, VK_F9),
                    [](Task*) { return INT_PTR(IDCANCEL); }};
    Click(dialog, IDC_ADD);
    Click(dialog, IDC_ADD);  // the same keys: kept, without a registration
    Click(dialog, IDC_ADD);  // cancelled: nothing
    ASSERT_EQ(2u, g_taskList.Count());
    Task* first = g_taskList.At(0);
    Task* second = g_taskList.At(1);
    EXPECT_NE(0, first->Atom);
    EXPECT_EQ(0, second->Atom);
    EXPECT_EQ(L"", InfoTip(0));
    EXPECT_NE(L"", InfoTip(1));
    EXPECT_EQ(1, FindSelectedRow(list, -1));
    EXPECT_TRUE(Enabled(IDC_UP) && !Enabled(IDC_DOWN) && Enabled(IDC_OPEN_LOCATION));

    // Saved again with its own keys, the first task registers them again;
    // a name window that opened meanwhile is the new task's.
    HWND nameWindow = reinterpret_cast<HWND>(0x1234);
    g_editorRuns = {[&](Task* copy) {
        first->NameWindow = nameWindow;
        lstrcpyW(copy->Name, L"changed");
        return INT_PTR(IDOK);
    }};
    g_editorRun = 0;
    Select(0);
    Click(dialog, IDC_CHANGE);
    ASSERT_EQ(2u, g_taskList.Count());
    Task* changed = g_taskList.At(0);
    EXPECT_STREQ(L"changed", changed->Name);
    EXPECT_NE(0, changed->Atom);
    EXPECT_EQ(nameWindow, changed->NameWindow);
    EXPECT_EQ(changed, GetRowTask(dialog, 0));
    EXPECT_EQ(0, FindSelectedRow(list, -1));
    changed->NameWindow = nullptr;

    Click(dialog, IDC_DOWN);
    EXPECT_EQ(changed, g_taskList.At(1));
    EXPECT_EQ(1, FindSelectedRow(list, -1));

    g_deleteAnswer = IDNO;
    Click(dialog, IDC_DELETE);
    EXPECT_EQ(2u, g_taskList.Count());
    g_deleteAnswer = IDYES;
    Click(dialog, IDC_DELETE);
    ASSERT_EQ(1u, g_taskList.Count());
    EXPECT_EQ(1, ListView_GetItemCount(list));
    // The keys it held go at once to the remaining task with the same keys.
    EXPECT_NE(0, g_taskList.At(0)->Atom);
    EXPECT_FALSE(CanRegisterHotKey(dialog, MOD_CONTROL | MOD_ALT, VK_F9));
}

// A drop as the shell makes it: DROPFILES and the paths, each ended, then an
// empty one.
HDROP MakeDrop(const std::vector<std::wstring>& paths) {
    size_t units = 1;
    for (const auto& path : paths) {
        units += path.size() + 1;
    }
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + units * sizeof(wchar_t));
    auto drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto text = reinterpret_cast<wchar_t*>(drop + 1);
    for (const auto& path : paths) {
        lstrcpyW(text, path.c_str());
        text += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// Moved to a monitor of another scale (Wine never sends the message, nor has
// such a monitor): the suggested rectangle, the controls, their font, the
// list's icons and columns all follow, and come back with the move back.
// A grey row whose command is a link says why when the mouse rests on it,
// before where its hotkey works and whether it is taken; a row that opens,
// or a missing file's, which its own text shows, says nothing of it.
TEST_F(SettingsTest, ARowsTipSaysWhyItsLinkOrKeyWillNotWork) {
    test::RegisteredSchemes schemes;
    const std::wstring noHandler = L"kitnone: を開くプログラムがありません";
    const std::wstring keyInUse = L"このキーはほかのプログラムかタスクが使用しているため、働きません。";
    const struct {
        const wchar_t* file;
        UINT vk;
        std::wstring tip;
        int condition = kEverywhere;
        const wchar_t* programs = L"";
    } cases[] = {
        {L"kittessa:open/this", kNoKey, L""},
        {L"kitnone:x", kNoKey, noHandler},
        {L"C:\\nowhere\\missing.exe", kNoKey, L""},
        {L"kitnone:x", 'Q', noHandler + L"\r\n" + keyInUse},
        {L"kittessa:open/this", 'Q', keyInUse},
        // Where the key works; one key for two tasks that never apply
        // together is free for both while nobody else holds it.
        {L"kittessa:open/this", 'S', L"writer.exe; studio.exe でのみ有効", kOnlyIn, L"writer.exe; studio.exe"},
        {L"kittessa:open/this", 'S', L"writer.exe; studio.exe 以外で有効", kExceptIn, L"writer.exe; studio.exe"},
        {L"kitnone:x", 'S', noHandler + L"\r\nstudio.exe でのみ有効\r\n" + keyInUse, kOnlyIn, L"studio.exe"},
        {L"kittessa:open/this", 'H', L"writer.exe でのみ有効\r\n" + keyInUse, kOnlyIn, L"writer.exe"},
        {L"kittessa:open/this", kNoKey, L"", kOnlyIn, L"writer.exe"},
    };
    HWND program = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(RegisterHotKey(program, 1, MOD_CONTROL | MOD_ALT, 'H'));
    ASSERT_TRUE(RegisterHotKey(program, 2, MOD_CONTROL | MOD_ALT, 'Q'));
    for (const auto& c : cases) {
        Task* task = g_taskList.Append(test::MakeTask(MOD_CONTROL | MOD_ALT, c.vk));
        lstrcpyW(task->File, c.file);
        task->Condition = c.condition;
        lstrcpyW(task->Programs, c.programs);
    }
    // As the program holds them, with no program of any list in front: Q and
    // H held elsewhere, S by the task that applies everywhere but there.
    RenewTaskKeys();
    Open();
    for (int row = 0; row < static_cast<int>(std::size(cases)); ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(cases[row].tip, InfoTip(row));
    }
    const LANGID language = tessaly::UiLanguage();
    tessaly::SetUiLanguage(tessaly::kEnglishUi);
    EXPECT_EQ(L"Nothing on this computer opens kitnone: links", InfoTip(1));
    EXPECT_EQ(L"Everywhere except writer.exe; studio.exe", InfoTip(6));
    tessaly::SetUiLanguage(language);
    UnregisterHotKey(program, 1);
    UnregisterHotKey(program, 2);
    DestroyWindow(program);
}

TEST_F(SettingsTest, MovedToAMonitorOfAnotherScaleItRescales) {
    g_taskList.Append(test::MakeTask(0, kNoKey, L"notepad"));
    lstrcpyW(g_taskList.At(0)->File, L"notepad");
    Open();
    RECT window, add;
    GetWindowRect(dialog, &window);
    GetWindowRect(GetDlgItem(dialog, IDC_ADD), &add);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&add), 2);
    const LONG font = test::FontHeight(list), checkFont = test::FontHeight(GetDlgItem(dialog, IDC_FADE));
    const int task = ListView_GetColumnWidth(list, 0), key = ListView_GetColumnWidth(list, 1);
    EXPECT_EQ(400, task);
    const struct {
        UINT dpi;
        int icon;
    } steps[] = {{144, 48}, {192, 64}, {96, 32}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.dpi);
        RECT suggested = {100, 50, 100 + MulDiv(window.right - window.left, step.dpi, 96),
                          50 + MulDiv(window.bottom - window.top, step.dpi, 96)};
        SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(step.dpi, step.dpi), reinterpret_cast<LPARAM>(&suggested));
        RECT now, button;
        GetWindowRect(dialog, &now);
        EXPECT_TRUE(EqualRect(&suggested, &now));
        GetWindowRect(GetDlgItem(dialog, IDC_ADD), &button);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&button), 2);
        EXPECT_NEAR(MulDiv(add.left, step.dpi, 96), button.left, 1);
        EXPECT_NEAR(MulDiv(add.right - add.left, step.dpi, 96), button.right - button.left, 1);
        EXPECT_EQ(MulDiv(font, step.dpi, 96), test::FontHeight(list));
        EXPECT_EQ(MulDiv(checkFont, step.dpi, 96), test::FontHeight(GetDlgItem(dialog, IDC_FADE)));
        int width = 0, height = 0;
        ImageList_GetIconSize(ListView_GetImageList(list, LVSIL_SMALL), &width, &height);
        EXPECT_EQ(step.icon, width);
        EXPECT_NEAR(MulDiv(task, step.dpi, 96), ListView_GetColumnWidth(list, 0), 1);
        EXPECT_NEAR(MulDiv(key, step.dpi, 96), ListView_GetColumnWidth(list, 1), 1);
        LVITEMW item = {LVIF_IMAGE};
        ListView_GetItem(list, &item);
        EXPECT_EQ(g_taskList.At(0)->ImageIndex, item.iImage);
    }
}

TEST_F(SettingsTest, DroppedFilesBecomeTasksOneEditorEach) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring folder = system;
    Open();
    std::vector<std::wstring> offered;
    auto record = [&](INT_PTR result) {
        return [&offered, result](Task* copy) {
            offered.push_back(copy->File);
            return result;
        };
    };
    g_editorRuns = {record(IDOK), record(IDCANCEL), record(IDOK)};
    const std::wstring tooLong = folder + L"\\" + std::wstring(280, L'x') + L".exe";
    SendMessageW(dialog, WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDrop({folder + L"\\notepad.exe", tooLong, folder + L"\\regedit.exe",
                                                    folder + L"\\cmd.exe"})),
                 0);
    EXPECT_EQ((std::vector<std::wstring>{folder + L"\\notepad.exe", folder + L"\\regedit.exe", folder + L"\\cmd.exe"}),
              offered);
    ASSERT_EQ(2u, g_taskList.Count());
    EXPECT_EQ(folder + L"\\notepad.exe", std::wstring(g_taskList.At(0)->File));
    EXPECT_EQ(folder + L"\\cmd.exe", std::wstring(g_taskList.At(1)->File));
    EXPECT_EQ(2, ListView_GetItemCount(list));
}

// Shell items as a drag from the shell carries them, built by the shell from
// absolute item ID lists (so relative to the desktop).
tessaly::com_ptr<IDataObject> ShellItems(const std::vector<std::wstring>& names) {
    std::vector<LPCITEMIDLIST> items;
    for (const auto& name : names) {
        PIDLIST_ABSOLUTE item = nullptr;
        EXPECT_HRESULT_SUCCEEDED(SHParseDisplayName(name.c_str(), nullptr, &item, 0, nullptr)) << name.size();
        items.push_back(item);
    }
    tessaly::com_ptr<IDataObject> data;
    // Wine's SHCreateDataObject is not implemented; the older call makes the
    // same object (given the desktop's empty list: Wine writes none for null).
    static const ITEMIDLIST desktop = {};
    EXPECT_HRESULT_SUCCEEDED(CIDLData_CreateFromIDArray(&desktop, UINT(items.size()), items.data(), data.put()));
    for (auto item : items) {
        CoTaskMemFree(const_cast<LPITEMIDLIST>(item));
    }
    return data;
}

// Drags from the Start menu and the Applications folder carry shell items,
// not file names: the dialog takes them through OLE, and offers each item
// once the drop has returned (the drag's source waits for it).
TEST_F(SettingsTest, DroppedShellItemsBecomeTasksAfterTheDrop) {
    tessaly::PrepareShellUse();
    wchar_t temp[MAX_PATH], system[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring url = std::wstring(temp) + L"Tessaly site.url";
    test::WriteTextFile(url, "[InternetShortcut]\r\nURL=https://example.org/tessaly\r\n");
    const std::wstring notepad = std::wstring(system) + L"\\notepad.exe";
    const std::wstring computer = L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
    Open();
    IDropTarget* target = SettingsDropTarget();
    ASSERT_NE(nullptr, target);
    // Registered with OLE: a second registration is refused.
    EXPECT_EQ(DRAGDROP_E_ALREADYREGISTERED, RegisterDragDrop(dialog, target));

    tessaly::com_ptr<IDataObject> items = ShellItems({url, notepad, computer});
    ASSERT_TRUE(items);
    const struct {
        const char* what;
        DWORD allowed, effect;
        bool disabled;
    } effects[] = {
        {"copy wins", DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, DROPEFFECT_COPY, false},
        {"a link where only that is allowed", DROPEFFECT_LINK | DROPEFFECT_MOVE, DROPEFFECT_LINK, false},
        {"never a move", DROPEFFECT_MOVE, DROPEFFECT_NONE, false},
        {"nothing while an editor is open over the dialog", DROPEFFECT_COPY, DROPEFFECT_NONE, true},
    };
    for (const auto& e : effects) {
        SCOPED_TRACE(e.what);
        EnableWindow(dialog, !e.disabled);
        DWORD effect = e.allowed;
        EXPECT_HRESULT_SUCCEEDED(target->DragEnter(items.get(), 0, {10, 10}, &effect));
        EXPECT_EQ(e.effect, effect);
        effect = e.allowed;
        EXPECT_HRESULT_SUCCEEDED(target->DragOver(0, {12, 12}, &effect));
        EXPECT_EQ(e.effect, effect);
        target->DragLeave();
    }
    EnableWindow(dialog, TRUE);

    std::vector<std::pair<std::wstring, std::wstring>> offered;
    auto record = [&offered](INT_PTR result) {
        return [&offered, result](Task* copy) {
            offered.emplace_back(copy->File, copy->Name);
            return result;
        };
    };
    g_editorRuns = {record(IDOK), record(IDCANCEL), record(IDOK)};
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    ASSERT_HRESULT_SUCCEEDED(target->DragEnter(items.get(), 0, {10, 10}, &effect));
    ASSERT_HRESULT_SUCCEEDED(target->Drop(items.get(), 0, {10, 10}, &effect));
    EXPECT_EQ(DWORD(DROPEFFECT_COPY), effect);
    EXPECT_TRUE(offered.empty());
    test::PumpMessages();
    ASSERT_EQ(3u, offered.size());
    EXPECT_EQ(L"https://example.org/tessaly", offered[0].first);
    EXPECT_EQ(L"Tessaly site", offered[0].second);
    EXPECT_EQ(notepad, offered[1].first);
    // The shell spells the class id in either case.
    EXPECT_EQ(0, lstrcmpiW(computer.c_str(), offered[2].first.c_str()));
    EXPECT_NE(L"", offered[2].second);
    ASSERT_EQ(2u, g_taskList.Count());
    EXPECT_EQ(0, lstrcmpiW(computer.c_str(), g_taskList.At(1)->File));

    DestroyWindow(std::exchange(dialog, nullptr));
    EXPECT_EQ(nullptr, SettingsDropTarget());
    DeleteFileW(url.c_str());
}

// A Store app dragged from the Start menu is an item of the Applications
// folder, which Wine does not have.
TEST_F(SettingsTest, ADroppedAppBecomesItsShellCommand) {
    tessaly::PrepareShellUse();
    const std::wstring calculator = L"shell:AppsFolder\\Microsoft.WindowsCalculator_8wekyb3d8bbwe!App";
    unique_cotaskmem item, parsing;
    if (FAILED(SHParseDisplayName(calculator.c_str(), nullptr, reinterpret_cast<PIDLIST_ABSOLUTE*>(item.put()), 0,
                                  nullptr)) ||
        FAILED(SHGetNameFromIDList(static_cast<PCIDLIST_ABSOLUTE>(item.get()), SIGDN_DESKTOPABSOLUTEPARSING,
                                   reinterpret_cast<PWSTR*>(parsing.put()))) ||
        !AppsFolderAppId(static_cast<const wchar_t*>(parsing.get()))) {
        GTEST_SKIP() << "Wine has no Applications folder (shell:AppsFolder), nor Calculator in it: the folder's "
                        "names are read in SwitchToRunningProgramTest.AppsAreMatchedByTheirId...";
    }
    Open();
    std::vector<std::wstring> offered;
    g_editorRuns = {[&offered](Task* copy) {
        offered.push_back(copy->File);
        return INT_PTR(IDCANCEL);
    }};
    DWORD effect = DROPEFFECT_LINK;
    ASSERT_HRESULT_SUCCEEDED(SettingsDropTarget()->Drop(ShellItems({calculator}).get(), 0, {10, 10}, &effect));
    test::PumpMessages();
    EXPECT_EQ(std::vector<std::wstring>{calculator}, offered);
}

// Damaged item lists (a CIDA is another process's memory) offer nothing.
TEST_F(SettingsTest, DamagedItemListsOfferNothing) {
    Open();
    int runs = 0;
    g_editorRuns = {[&runs](Task*) {
        ++runs;
        return INT_PTR(IDCANCEL);
    }};
    // count, then offsets; the desktop's (empty) list at 12.
    const struct {
        const char* what;
        std::vector<UINT> words;
    } cases[] = {
        {"more items than offsets", {1000, 12, 0}},
        {"an item past the end", {1, 12, 4000, 0}},
        {"an item list without its end", {1, 16, 20, 0, 0x00410010}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, c.words.size() * sizeof(UINT));
        memcpy(GlobalLock(memory), c.words.data(), c.words.size() * sizeof(UINT));
        GlobalUnlock(memory);
        SendMessageW(dialog, WM_ITEMS_DROPPED, reinterpret_cast<WPARAM>(memory), 0);
    }
    EXPECT_EQ(0, runs);
}

// The user's part in an export: the files chosen in turn (cancelled when
// none is left), and the answer to every message, each of which is kept.
std::vector<std::wstring> g_chosenFiles, g_offeredFiles, g_messages;
int g_messageAnswer = IDOK;

bool ChooseNextFile(HWND, bool, wchar_t (&path)[MAX_PATH]) {
    g_offeredFiles.push_back(path);
    if (g_offeredFiles.size() > g_chosenFiles.size()) {
        return false;
    }
    lstrcpyW(path, g_chosenFiles[g_offeredFiles.size() - 1].c_str());
    return true;
}

int WINAPI KeepMessage(HWND, LPCWSTR text, LPCWSTR, UINT) {
    g_messages.push_back(text);
    return g_messageAnswer;
}

std::string FileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    char buffer[512];
    DWORD read = 0;
    while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read) {
        bytes.append(buffer, read);
        read = 0;
    }
    CloseHandle(file);
    return bytes;
}

void WriteFileText(const std::wstring& path, const char* text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text, DWORD(strlen(text)), &written, nullptr);
    CloseHandle(file);
}

// A portable copy's folder, its settings file live, for the settings dialog
// to export from.
class ExportTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        g_settingsDialogHooks.chooseFile = ChooseNextFile;
        savedFileWrites = g_fileWrites;
        g_settingsDialogHooks.messageBox = KeepMessage;
        g_chosenFiles.clear();
        g_offeredFiles.clear();
        g_messages.clear();
        g_messageAnswer = IDOK;
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"tessaly-export-test";
        CreateDirectoryW(folder.c_str(), nullptr);
        live = folder + L"\\Tessaly.ini";
        WriteFileText(live, kLiveText);
        SetProgramFolder(folder.c_str());
        g_taskList.Append(test::MakeTask(MOD_CONTROL | MOD_ALT, VK_F9, L"exported"));
    }
    void TearDown() override {
        g_fileWrites = savedFileWrites;
        SetProgramFolder(nullptr);
        for (const wchar_t* name : {L"\\Tessaly.ini", L"\\Tessaly.ini.bak", L"\\other.ini", L"\\other.ini.new"}) {
            DeleteFileW((folder + name).c_str());
        }
        RemoveDirectoryW(folder.c_str());
        g_taskList.Clear();
        SettingsTest::TearDown();
    }
    // Holds the dialog's task once the file dialogs and messages are done with.
    static bool Exported(const std::wstring& path) {
        SettingsFile file;
        wchar_t name[16] = {};
        return file.Read(path.c_str()) && file.ReadText(file.FindSection(L"Task0"), L"Name", name, 16) &&
               lstrcmpW(name, L"exported") == 0;
    }

    static constexpr const char* kLiveText = "[Tasks]\r\nCount=0\r\n";
    std::wstring folder, live;
    FileWrites savedFileWrites;
};

// The same file by any other spelling, C:'s folder reached through Wine's
// letter for the Unix root among them.
std::wstring ThroughTheUnixRoot(const std::wstring& path) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    if (!name) {
        return L"";
    }
    std::wstring dos = L"Z:";
    for (const char* c = name; *c; ++c) {
        dos += *c == '/' ? L'\\' : wchar_t(static_cast<unsigned char>(*c));
    }
    HeapFree(GetProcessHeap(), 0, name);
    return GetFileAttributesW(dos.c_str()) != INVALID_FILE_ATTRIBUTES ? dos : L"";
}

TEST_F(ExportTest, StartsInDocumentsAndNeverWritesOverTheLiveFile) {
    unique_cotaskmem documents;
    ASSERT_HRESULT_SUCCEEDED(
        SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, reinterpret_cast<PWSTR*>(documents.put())));
    const std::wstring startsAt = static_cast<const wchar_t*>(documents.get()) + std::wstring(L"\\Tessaly-settings.ini");
    std::wstring upper = live, slashes = live;
    CharUpperW(upper.data());
    std::replace(slashes.begin(), slashes.end(), L'\\', L'/');
    wchar_t shortName[MAX_PATH] = {};
    GetShortPathNameW(live.c_str(), shortName, MAX_PATH);
    const std::wstring other = folder + L"\\other.ini";
    const struct {
        const char* what;
        std::wstring chosen;
        bool live;
    } cases[] = {
        {"the live file", live, true},
        {"in capitals", upper, true},
        {"with forward slashes", slashes, true},
        {"through a folder and back", folder + L"\\Apps\\..\\Tessaly.ini", true},
        {"by its short name", shortName, true},
        {"through another letter", ThroughTheUnixRoot(live), true},
        {"a file beside it", folder + L"\\Tessaly.ini.bak", false},
    };
    Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what + (": " + testing::PrintToString(c.chosen)));
        if (c.chosen.empty()) {
            continue;  // no Unix root outside Wine, or no letter for it
        }
        g_offeredFiles.clear();
        g_messages.clear();
        DeleteFileW(other.c_str());
        g_chosenFiles = {c.chosen, other};
        Click(dialog, IDC_EXPORT);
        ASSERT_FALSE(g_offeredFiles.empty());
        EXPECT_EQ(startsAt, g_offeredFiles[0]);
        EXPECT_EQ(kLiveText, FileBytes(live));
        if (c.live) {
            // Said once, naming it; then chosen again from there.
            ASSERT_EQ(1u, g_messages.size());
            EXPECT_NE(std::wstring::npos, g_messages[0].find(L"\n" + c.chosen + L"\n")) << g_messages[0];
            ASSERT_EQ(2u, g_offeredFiles.size());
            EXPECT_EQ(c.chosen, g_offeredFiles[1]);
            EXPECT_TRUE(Exported(other));
        } else {
            EXPECT_EQ(std::vector<std::wstring>{}, g_messages);
            EXPECT_EQ(1u, g_offeredFiles.size());
            EXPECT_TRUE(Exported(c.chosen));
        }
    }
}

// A failed write's reason reaches the user, after the file on a line of its
// own, with what may mend it.
FileWrites g_systemFileWrites;
int g_failingStep;
DWORD g_failingError;

template <auto call, int step, typename... Args>
auto WINAPI FailingFileWrite(Args... args) -> decltype((g_systemFileWrites.*call)(args...)) {
    if (step == g_failingStep) {
        SetLastError(g_failingError);
        return {};
    }
    return (g_systemFileWrites.*call)(args...);
}

std::wstring SystemText(DWORD error) {
    wchar_t text[256] = {};
    DWORD length = 0;
    for (LANGID language : {tessaly::UiLanguage(), LANGID(0)}) {
        if (!length) {
            length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                    language, text, 256, nullptr);
        }
    }
    std::wstring trimmed(text, length);
    trimmed.erase(trimmed.find_last_not_of(L" \r\n") + 1);
    return trimmed;
}

std::wstring UiText(UINT id) {
    wchar_t text[256] = {};
    tessaly::LoadUiString(g_instance, id, text);
    return text;
}

TEST_F(ExportTest, AFailedWriteSaysWhyAndWhatMayMendIt) {
    enum { kCreate, kWrite, kMove };
    const struct {
        const char* what;
        int step;
        DWORD error;
        UINT advice;
    } cases[] = {
        {"access denied", kCreate, ERROR_ACCESS_DENIED, IDS_SAVE_ADVICE_ACCESS},
        {"disk full", kWrite, ERROR_DISK_FULL, IDS_SAVE_ADVICE_FULL},
        {"in use by another process", kMove, ERROR_SHARING_VIOLATION, IDS_SAVE_ADVICE_IN_USE},
    };
    g_systemFileWrites = g_fileWrites;
    g_fileWrites = {FailingFileWrite<&FileWrites::createFile, kCreate>,
                    FailingFileWrite<&FileWrites::writeFile, kWrite>, g_systemFileWrites.flushFileBuffers,
                    FailingFileWrite<&FileWrites::moveFileEx, kMove>, g_systemFileWrites.deleteFile};
    const std::wstring other = folder + L"\\other.ini";
    Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        g_failingStep = c.step;
        g_failingError = c.error;
        g_messages.clear();
        g_offeredFiles.clear();
        g_chosenFiles = {other};
        Click(dialog, IDC_EXPORT);
        ASSERT_EQ(1u, g_messages.size());
        const std::wstring& text = g_messages[0];
        const std::wstring reason = SystemText(c.error);
        ASSERT_FALSE(reason.empty());
        EXPECT_NE(std::wstring::npos, text.find(L":\n" + other + L"\n")) << text;
        EXPECT_NE(std::wstring::npos, text.find(reason)) << text;
        EXPECT_NE(std::wstring::npos, text.find(UiText(c.advice))) << text;
        EXPECT_NE(std::wstring::npos, text.find(UiText(IDS_EXPORT_AGAIN))) << text;
        EXPECT_FALSE(Exported(other));
    }
}

// Every dialog, menu and text of the program and of Pirnel, in both languages,
// against the Japanese interface as it stood before the English one joined it.
class InterfaceResources : public testing::Test {
protected:
    using Languages = std::map<LANGID, std::vector<BYTE>>;
    using Resources = std::map<std::pair<ULONG_PTR, UINT>, Languages>;  // (type, id)

    static Resources Read(HMODULE module) {
        Resources found;
        struct Search {
            HMODULE module;
            Resources* found;
            ULONG_PTR type;
        } search = {module, &found, 0};
        for (ULONG_PTR type : {ULONG_PTR(RT_DIALOG), ULONG_PTR(RT_MENU), ULONG_PTR(RT_STRING)}) {
            search.type = type;
            EnumResourceNamesW(
                module, MAKEINTRESOURCEW(type),
                [](HMODULE, LPCWSTR type, LPWSTR name, LONG_PTR lParam) -> BOOL {
                    EnumResourceLanguagesW(
                        reinterpret_cast<Search*>(lParam)->module, type, name,
                        [](HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR lParam) -> BOOL {
                            auto& search = *reinterpret_cast<Search*>(lParam);
                            HRSRC resource = FindResourceExW(module, type, name, language);
                            auto data = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
                            (*search.found)[{search.type, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name))}]
                                [language] = std::vector<BYTE>(data, data + SizeofResource(module, resource));
                            return TRUE;
                        },
                        lParam);
                    return TRUE;
                },
                reinterpret_cast<LONG_PTR>(&search));
        }
        return found;
    }

    // Each control of the dialog in tab order: its id and class.
    static std::vector<std::pair<int, std::wstring>> Controls(HMODULE module, const std::vector<BYTE>& dialog) {
        std::vector<std::pair<int, std::wstring>> controls;
        HWND window = CreateDialogIndirectParamW(module, reinterpret_cast<LPCDLGTEMPLATEW>(dialog.data()), nullptr,
                                                 [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t name[64] = {};
            GetClassNameW(child, name, 64);
            controls.emplace_back(GetDlgCtrlID(child), name);
        }
        DestroyWindow(window);
        return controls;
    }

    // The entries of a string table block that hold a text.
    static std::vector<bool> Present(const std::vector<BYTE>& block) {
        std::vector<bool> present;
        for (auto entry = reinterpret_cast<const WORD*>(block.data()); present.size() < 16; entry += 1 + *entry) {
            present.push_back(*entry != 0);
        }
        return present;
    }
};

TEST_F(InterfaceResources, EveryOneInBothLanguagesAndTheJapaneseAsBefore) {
    InitCommonControls();
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    lstrcpyW(wcsrchr(path, L'\\') + 1, L"tessaly_japanese_texts.dll");
    HMODULE reference = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, reference);
    const struct {
        const char* name;
        HMODULE module;
    } modules[] = {{"Tessaly", g_instance}, {"Pirnel", GetModuleHandleW(L"pirnel.dll")}};
    Resources japaneseBefore = Read(reference);
    size_t compared = 0;
    for (const auto& m : modules) {
        ASSERT_NE(nullptr, m.module) << m.name;
        for (const auto& [key, languages] : Read(m.module)) {
            const auto& [type, id] = key;
            SCOPED_TRACE(std::string(m.name) + ", type " + std::to_string(type) + ", id " + std::to_string(id));
            ASSERT_EQ(2u, languages.size());
            ASSERT_TRUE(languages.count(tessaly::kJapaneseUi) && languages.count(tessaly::kEnglishUi));
            const std::vector<BYTE>& japanese = languages.at(tessaly::kJapaneseUi);
            const std::vector<BYTE>& english = languages.at(tessaly::kEnglishUi);
            if (type == ULONG_PTR(RT_DIALOG)) {
                EXPECT_EQ(Controls(m.module, japanese), Controls(m.module, english));
            } else if (type == ULONG_PTR(RT_STRING)) {
                EXPECT_EQ(Present(japanese), Present(english));
            }
            auto before = japaneseBefore.find(key);
            if (before != japaneseBefore.end()) {
                EXPECT_TRUE(japanese == before->second.at(tessaly::kJapaneseUi));
                japaneseBefore.erase(before);
                ++compared;
            }
        }
    }
    // Every one of them is still there.
    EXPECT_TRUE(japaneseBefore.empty());
    EXPECT_EQ(9u, compared);  // 3 + 2 dialogs, the menu, 3 string blocks
    FreeLibrary(reference);
}

// A stored language counts only when it is one of the two.
TEST(InterfaceLanguage, StoredChoiceWinsOnlyWhenItIsOneOfTheTwo) {
    const LANGID display = tessaly::ChooseUiLanguage(0);
    EXPECT_EQ(PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? tessaly::kJapaneseUi : tessaly::kEnglishUi,
              display);
    const struct {
        DWORD stored;
        LANGID chosen;
    } cases[] = {{0x0411, tessaly::kJapaneseUi}, {0x0409, tessaly::kEnglishUi}, {0x0809, display},
                 {0x0011, display},              {0x10409, display},             {0xFFFFFFFF, display}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.chosen, tessaly::ChooseUiLanguage(c.stored)) << std::hex << c.stored;
    }
}

}  // namespace
