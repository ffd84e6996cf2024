// End-to-end tests of Ombrel.exe: the driver owns real windows, stacks them,
// makes one the foreground window, runs Ombrel with words and checks which
// WM_SYSCOMMAND messages arrive where.

#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/harness/process.h"
#include "tests/harness/pump.h"
#include "tools/ombrel/ombrel_words.h"

namespace {

using harness::PumpMessages;
using harness::PumpUntil;

constexpr DWORD kCandidate = WS_VISIBLE | WS_SYSMENU;

// Window kinds the cases are built from.
constexpr DWORD kBothBoxes = WS_OVERLAPPEDWINDOW;
constexpr DWORD kNoBoxes = WS_CAPTION | WS_SYSMENU;
constexpr DWORD kMinBoxOnly = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kMaxBoxOnly = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX;
constexpr DWORD kMenulessPopup = WS_POPUP;
constexpr DWORD kMenulessCaption = WS_CAPTION;

enum class Shape { Normal, Maximized, Minimized, Hidden };

std::wstring OmbrelPath()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"Ombrel.exe";
}

std::string Describe(const std::vector<WPARAM>& commands)
{
    std::string text;
    for (const WPARAM command : commands) {
        if (!text.empty())
            text += ' ';
        switch (command) {
        case SC_MINIMIZE: text += "SC_MINIMIZE"; break;
        case SC_MAXIMIZE: text += "SC_MAXIMIZE"; break;
        case SC_RESTORE: text += "SC_RESTORE"; break;
        case SC_MOVE: text += "SC_MOVE"; break;
        case SC_SIZE: text += "SC_SIZE"; break;
        case SC_CLOSE: text += "SC_CLOSE"; break;
        default: text += "0x" + std::to_string(command); break;
        }
    }
    return text;
}

// A top-level window of this thread that keeps every WM_SYSCOMMAND it gets.
// It acts on none of them unless asked to, and never on SC_MOVE or SC_SIZE:
// those would start a modal loop waiting for the mouse.
class TestWindow {
public:
    TestWindow(DWORD style, Shape shape, bool actsOnCommands = false, DWORD exStyle = 0, HWND owner = nullptr)
        : actsOnCommands_(actsOnCommands)
    {
        static const ATOM windowClass = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = Procedure;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            wc.lpszClassName = L"OmbrelTestTarget";
            return RegisterClassW(&wc);
        }();
        static int count;
        const int offset = 40 + 30 * (count++ % 10);
        CreateWindowExW(exStyle, MAKEINTATOM(windowClass), L"Ombrel test", style & ~WS_VISIBLE, offset, offset, 360,
                        240, owner, nullptr, GetModuleHandleW(nullptr), this);
        static const int kShowCommand[] = {SW_SHOWNORMAL, SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED, SW_HIDE};
        if (window_)
            ShowWindow(window_, kShowCommand[static_cast<int>(shape)]);
    }
    ~TestWindow()
    {
        if (window_)
            DestroyWindow(window_);
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND handle() const { return window_; }
    const std::vector<WPARAM>& commands() const { return commands_; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            auto* self = static_cast<TestWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->window_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message == WM_SYSCOMMAND) {
            self->commands_.push_back(wParam);
            const WPARAM command = wParam & 0xFFF0;
            if (!self->actsOnCommands_ || command == SC_MOVE || command == SC_SIZE)
                return 0;
        }
        if (self && message == WM_NCDESTROY)
            self->window_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    bool actsOnCommands_;
    std::vector<WPARAM> commands_;
};

using Windows = std::vector<std::unique_ptr<TestWindow>>;

// Puts the windows on top of every other one in the order given, top first,
// and makes the first the foreground window. Run Ombrel next, with no message
// dispatched in between: once Wine's X11 driver handles the events of a
// restack it moves hidden windows below the visible ones, which Windows does
// not do, and the hidden window a case placed would no longer be where it was.
testing::AssertionResult StackAndFocus(const Windows& topFirst)
{
    PumpMessages();
    for (auto it = topFirst.rbegin(); it != topFirst.rend(); ++it)
        SetWindowPos((*it)->handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetForegroundWindow(topFirst.front()->handle());

    if (GetForegroundWindow() != topFirst.front()->handle())
        return testing::AssertionFailure() << "the top test window did not become the foreground window";
    HWND window = topFirst.front()->handle();
    for (size_t i = 1; i < topFirst.size(); ++i) {
        window = GetWindow(window, GW_HWNDNEXT);
        if (window != topFirst[i]->handle())
            return testing::AssertionFailure() << "test window " << i << " is not where it was put in the z-order";
    }
    return testing::AssertionSuccess();
}

// Runs Ombrel.exe with the given command line after its own name, as a task
// of the main program would, and waits for it to end. `answering` keeps our
// windows answering meanwhile, for words that change a style: that reaches
// a window only as a sent message.
testing::AssertionResult RunOmbrel(const std::wstring& words, const std::wstring& argument0 = L"",
                                   bool answering = false)
{
    const std::wstring path = OmbrelPath();
    std::wstring commandLine = argument0.empty() ? L"\"" + path + L"\"" : argument0;
    if (!words.empty())
        commandLine += L" " + words;

    harness::Process ombrel(commandLine, L"", path);
    if (!ombrel.started())
        return testing::AssertionFailure() << "cannot start Ombrel.exe, error " << ombrel.startError();
    // Nothing is dispatched meanwhile: the windows stay where the case put them.
    const DWORD exitCode = answering ? ombrel.WaitForExit() : ombrel.WaitForExitUndisturbed();
    if (ombrel.Running())
        return testing::AssertionFailure() << "Ombrel.exe did not end";
    if (exitCode != 0)
        return testing::AssertionFailure() << "Ombrel.exe ended with " << exitCode;
    return testing::AssertionSuccess();
}

// Ombrel posts and ends, so by the time it has ended its messages are in our
// queue: a drain finds them all. The wait only covers a slow wineserver.
void CollectCommands(const Windows& windows, size_t expectedCount)
{
    PumpMessages();
    PumpUntil([&] {
        size_t count = 0;
        for (const auto& window : windows)
            count += window->commands().size();
        return count >= expectedCount;
    });
}

size_t CountOf(const char* description)
{
    size_t count = *description ? 1 : 0;
    for (const char* c = description; *c; ++c)
        count += *c == ' ';
    return count;
}

struct Layer {
    DWORD style;
    Shape shape;
    DWORD exStyle = 0;
    int owner = -1; // index of a window further down
};

// Built from the bottom up, so an owner exists before the windows it owns.
Windows Build(const std::vector<Layer>& topFirst)
{
    Windows windows(topFirst.size());
    for (size_t i = topFirst.size(); i-- > 0;) {
        const Layer& layer = topFirst[i];
        const HWND owner = layer.owner < 0 ? nullptr : windows[layer.owner]->handle();
        windows[i] = std::make_unique<TestWindow>(layer.style, layer.shape, false, layer.exStyle, owner);
    }
    return windows;
}

// ---------------------------------------------------------------------------
// Words, sent to a plain window with both boxes.

struct WordCase {
    const char* name;
    const wchar_t* words;
    const char* expected;
};

const WordCase kWordCases[] = {
    {"NoWords", L"", ""},
    {"TwoLettersAreNoWord", L"mi", ""},
    {"UnknownWord", L"hello", ""},
    {"WordInsideAnotherIsNoWord", L"xmin", ""},
    {"LongWordByItsFirstThreeLetters", L"minimize", "SC_MINIMIZE"},
    {"UpperCase", L"MAX", "SC_MAXIMIZE"},
    {"UpperCaseI", L"MIN SIZE", "SC_MINIMIZE SC_SIZE"},
    {"MixedCase", L"mOvE", "SC_MOVE"},
    {"Size", L"size", "SC_SIZE"},
    {"Close", L"Close", "SC_CLOSE"},
    {"SameWordTwice", L"max max", "SC_MAXIMIZE SC_MAXIMIZE"},
    {"InTheOrderGiven", L"min max", "SC_MINIMIZE SC_MAXIMIZE"},
    {"OrderIsTheUsersNotTheTables", L"clo siz mov", "SC_CLOSE SC_SIZE SC_MOVE"},
    {"UnknownWordsBetweenAreSkipped", L"x max yyy clo", "SC_MAXIMIZE SC_CLOSE"},
    // The C runtime's splitting: quotes go, and a quoted space stays inside one word.
    {"QuotedWord", L"\"max\"", "SC_MAXIMIZE"},
    {"QuotedSpaceKeepsOneWord", L"\"x min\"", ""},
    // Letters that Unicode case folding or a width-blind comparison would take
    // for the ASCII ones; only ASCII case is ignored.
    {"DotlessIIsNotI", L"m\u0131n", ""},
    {"LongSIsNotS", L"\u017Fiz", ""},
    {"FullWidthIsNotAscii", L"\uFF4D\uFF41\uFF58", ""},
};

void PrintTo(const WordCase& c, std::ostream* out) { *out << c.name; }

class OmbrelWords : public testing::TestWithParam<WordCase> {};

TEST_P(OmbrelWords, PostsTheCommandsNamed)
{
    const WordCase& c = GetParam();
    Windows windows = Build({{kBothBoxes, Shape::Normal}});
    ASSERT_TRUE(StackAndFocus(windows));

    ASSERT_TRUE(RunOmbrel(c.words));
    CollectCommands(windows, CountOf(c.expected));

    EXPECT_EQ(c.expected, Describe(windows[0]->commands()));
}

INSTANTIATE_TEST_SUITE_P(Table, OmbrelWords, testing::ValuesIn(kWordCases),
                         [](const testing::TestParamInfo<WordCase>& info) { return std::string(info.param.name); });

// The program's own path is not a word, even when it reads like one.
TEST(OmbrelArguments, ProgramNameIsNoWord)
{
    Windows windows = Build({{kBothBoxes, Shape::Normal}});
    ASSERT_TRUE(StackAndFocus(windows));

    ASSERT_TRUE(RunOmbrel(L"", L"close"));
    ASSERT_TRUE(RunOmbrel(L"min", L"max"));
    CollectCommands(windows, 1);

    EXPECT_EQ("SC_MINIMIZE", Describe(windows[0]->commands()));
}

// ---------------------------------------------------------------------------
// What the target's style allows.

struct StyleCase {
    const char* name;
    DWORD style;
    Shape shape;
    const wchar_t* words;
    const char* expected;
};

const StyleCase kStyleCases[] = {
    {"NoBoxesNoMinimize", kNoBoxes, Shape::Normal, L"min", ""},
    {"NoBoxesNoMaximize", kNoBoxes, Shape::Normal, L"max", ""},
    {"NoBoxesStillMovesSizesCloses", kNoBoxes, Shape::Normal, L"mov siz clo", "SC_MOVE SC_SIZE SC_CLOSE"},
    {"MinimizeBoxOnly", kMinBoxOnly, Shape::Normal, L"min max", "SC_MINIMIZE"},
    {"MaximizeBoxOnly", kMaxBoxOnly, Shape::Normal, L"min max", "SC_MAXIMIZE"},
    {"MaximizedRestores", kBothBoxes, Shape::Maximized, L"max", "SC_RESTORE"},
    {"MaximizedRestoresEachTime", kBothBoxes, Shape::Maximized, L"max max", "SC_RESTORE SC_RESTORE"},
    {"MaximizedDoesNotMove", kBothBoxes, Shape::Maximized, L"mov", ""},
    {"MaximizedDoesNotSize", kBothBoxes, Shape::Maximized, L"siz", ""},
    {"MaximizedMinimizesAndCloses", kBothBoxes, Shape::Maximized, L"min clo", "SC_MINIMIZE SC_CLOSE"},
    {"MaximizedWithoutMaximizeBoxKeepsIt", kMinBoxOnly, Shape::Maximized, L"max", ""},
    {"MinimizedDoesNotMoveOrSize", kBothBoxes, Shape::Minimized, L"mov siz", ""},
    {"MinimizedMaximizes", kBothBoxes, Shape::Minimized, L"max", "SC_MAXIMIZE"},
    {"MinimizedMinimizesAgain", kBothBoxes, Shape::Minimized, L"min", "SC_MINIMIZE"},
    {"MinimizedCloses", kBothBoxes, Shape::Minimized, L"clo", "SC_CLOSE"},
};

void PrintTo(const StyleCase& c, std::ostream* out) { *out << c.name; }

class OmbrelStyles : public testing::TestWithParam<StyleCase> {};

TEST_P(OmbrelStyles, PostsOnlyWhatTheWindowOffers)
{
    const StyleCase& c = GetParam();
    Windows windows = Build({{c.style, c.shape}});
    const DWORD style = static_cast<DWORD>(GetWindowLongW(windows[0]->handle(), GWL_STYLE));
    ASSERT_EQ(c.shape == Shape::Maximized, (style & WS_MAXIMIZE) != 0);
    ASSERT_EQ(c.shape == Shape::Minimized, (style & WS_MINIMIZE) != 0);
    ASSERT_TRUE(StackAndFocus(windows));

    ASSERT_TRUE(RunOmbrel(c.words));
    CollectCommands(windows, CountOf(c.expected));

    EXPECT_EQ(c.expected, Describe(windows[0]->commands()));
}

INSTANTIATE_TEST_SUITE_P(Table, OmbrelStyles, testing::ValuesIn(kStyleCases),
                         [](const testing::TestParamInfo<StyleCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Which window is the target when the foreground one has no window menu.

struct StackCase {
    const char* name;
    std::vector<Layer> topFirst;  // the first is the foreground window
    const wchar_t* words;
    int receiver;                 // index into topFirst, or -1 for none
    const char* expected;
};

const StackCase kStackCases[] = {
    {"PopupHandsDownToTheWindowBelow",
     {{kMenulessPopup, Shape::Normal}, {kBothBoxes, Shape::Normal}}, L"max", 1, "SC_MAXIMIZE"},
    {"SkipsMenulessAndHiddenWindows",
     {{kMenulessPopup, Shape::Normal}, {kMenulessCaption, Shape::Normal}, {kBothBoxes, Shape::Hidden},
      {kMinBoxOnly, Shape::Normal}},
     L"min clo", 3, "SC_MINIMIZE SC_CLOSE"},
    {"TheTargetsStyleDecidesNotThePopups",
     {{kMenulessPopup | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, Shape::Normal}, {kNoBoxes, Shape::Normal}},
     L"min max clo", 1, "SC_CLOSE"},
    {"MaximizedWindowBelowIsRestored",
     {{kMenulessPopup, Shape::Normal}, {kBothBoxes, Shape::Maximized}}, L"max mov", 1, "SC_RESTORE"},
    {"PopupWithWindowMenuIsTheTarget",
     {{kMenulessPopup | WS_SYSMENU, Shape::Normal}, {kBothBoxes, Shape::Normal}}, L"clo", 0, "SC_CLOSE"},
    {"NoWindowWithMenuBelow",
     {{kMenulessPopup, Shape::Normal}, {kMenulessCaption, Shape::Normal}, {kBothBoxes, Shape::Hidden}},
     L"min max mov siz clo", -1, ""},
};

// The first visible window with a window menu below ours that is not ours.
HWND OtherCandidateBelow(const Windows& ours)
{
    for (HWND window = ours.front()->handle(); window; window = GetWindow(window, GW_HWNDNEXT)) {
        bool isOurs = false;
        for (const auto& test : ours)
            isOurs = isOurs || test->handle() == window;
        if (!isOurs && (GetWindowLongW(window, GWL_STYLE) & kCandidate) == kCandidate)
            return window;
    }
    return nullptr;
}

void PrintTo(const StackCase& c, std::ostream* out) { *out << c.name; }

class OmbrelTarget : public testing::TestWithParam<StackCase> {};

TEST_P(OmbrelTarget, IsTheFirstVisibleWindowWithAWindowMenu)
{
    const StackCase& c = GetParam();
    Windows windows = Build(c.topFirst);
    ASSERT_TRUE(StackAndFocus(windows));
    if (c.receiver < 0 && OtherCandidateBelow(windows))
        GTEST_SKIP() << "another program's window with a window menu lies below the test windows, so the "
                        "commands would rightly go there and the case cannot be isolated on this desktop";

    ASSERT_TRUE(RunOmbrel(c.words));
    CollectCommands(windows, CountOf(c.expected));

    for (size_t i = 0; i < windows.size(); ++i) {
        SCOPED_TRACE("window " + std::to_string(i));
        EXPECT_EQ(static_cast<int>(i) == c.receiver ? c.expected : "", Describe(windows[i]->commands()));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, OmbrelTarget, testing::ValuesIn(kStackCases),
                         [](const testing::TestParamInfo<StackCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// The words Ombrel carries out itself, on real windows of ours: what the
// window is like afterwards.

enum class Where { Stays, Centred, NextMonitor };

struct EffectCase {
    const char* name;
    std::vector<Layer> topFirst; // the first is the target
    BYTE ownAlpha;               // the target layers itself with this alpha; 0: it does not
    const wchar_t* runs;         // the words of each run, runs apart by '|'
    bool topmost;
    BYTE alpha;                  // 0: the target is not layered
    Where where;
    std::vector<const char*> commands; // per window
};

const EffectCase kEffectCases[] = {
    {"TopKeepsInFront", {{kBothBoxes, Shape::Normal}}, 0, L"top", true, 0, Where::Stays, {""}},
    {"TopAgainLetsGo", {{kBothBoxes, Shape::Normal, WS_EX_TOPMOST}}, 0, L"Topmost", false, 0, Where::Stays, {""}},
    {"TopTwiceDecidesOnTheStateItFound", {{kBothBoxes, Shape::Normal}}, 0, L"top top", true, 0, Where::Stays, {""}},
    {"TopInTwoRunsLetsGo", {{kBothBoxes, Shape::Normal}}, 0, L"top|top", false, 0, Where::Stays, {""}},
    {"TransparentByATenth", {{kBothBoxes, Shape::Normal}}, 0, L"transparent", false, 230, Where::Stays, {""}},
    {"ThreeTenths", {{kBothBoxes, Shape::Normal}}, 0, L"tra tra tra", false, 179, Where::Stays, {""}},
    {"NeverBelowAFifth", {{kBothBoxes, Shape::Normal}}, 0, L"tra tra tra tra tra tra tra tra tra tra", false, 51,
     Where::Stays, {""}},
    {"ALaterRunGoesOn", {{kBothBoxes, Shape::Normal}}, 0, L"tra|tra", false, 204, Where::Stays, {""}},
    {"OpaqueByATenth", {{kBothBoxes, Shape::Normal}}, 0, L"tra tra tra|opa", false, 204, Where::Stays, {""}},
    {"OpaqueOnAPlainWindowDoesNothing", {{kBothBoxes, Shape::Normal}}, 0, L"opaque", false, 0, Where::Stays, {""}},
    {"FullOpacityIsPlainAgain", {{kBothBoxes, Shape::Normal}}, 0, L"tra tra|opa opa", false, 0, Where::Stays, {""}},
    {"AWindowLayeredByItselfIsLeftAlone", {{kBothBoxes, Shape::Normal, WS_EX_LAYERED}}, 128, L"tra|opa opa", false,
     128, Where::Stays, {""}},
    {"CentresOnTheWorkArea", {{kBothBoxes, Shape::Normal}}, 0, L"centre", false, 0, Where::Centred, {""}},
    {"AMaximizedWindowIsNotCentred", {{kBothBoxes, Shape::Maximized}}, 0, L"cen", false, 0, Where::Stays, {""}},
    {"NextMonitor", {{kBothBoxes, Shape::Normal}}, 0, L"next", false, 0, Where::NextMonitor, {""}},
    {"NextMonitorKeepsAMaximizedWindowMaximized", {{kBothBoxes, Shape::Maximized}}, 0, L"nex", false, 0,
     Where::NextMonitor, {""}},
    {"OthersAreMinimized",
     {{kBothBoxes, Shape::Normal}, {kBothBoxes, Shape::Normal}, {kMinBoxOnly, Shape::Normal},
      {kNoBoxes, Shape::Normal}, {kBothBoxes, Shape::Minimized}},
     0, L"others", false, 0, Where::Stays, {"", "SC_MINIMIZE", "SC_MINIMIZE", "", ""}},
    {"OthersSpareTheTargetsOwnerAndOwnedWindows",
     {{kBothBoxes, Shape::Normal, 0, 1}, {kBothBoxes, Shape::Normal}, {kBothBoxes, Shape::Normal, 0, 3},
      {kBothBoxes, Shape::Normal}},
     0, L"oth", false, 0, Where::Stays, {"", "", "", "SC_MINIMIZE"}},
    {"AllWordsInOneRun", {{kBothBoxes, Shape::Normal}, {kBothBoxes, Shape::Normal}}, 0,
     L"top tra cen oth min", true, 230, Where::Centred, {"SC_MINIMIZE", "SC_MINIMIZE"}},
};

void PrintTo(const EffectCase& c, std::ostream* out) { *out << c.name; }

BYTE AlphaOf(HWND window)
{
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED) ||
        !GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA))
        return 0;
    return alpha;
}

RECT RectOf(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

class OmbrelEffects : public testing::TestWithParam<EffectCase> {};

TEST_P(OmbrelEffects, LeaveTheWindowAsTheWordsSay)
{
    const EffectCase& c = GetParam();
    Windows windows = Build(c.topFirst);
    const HWND target = windows[0]->handle();
    if (c.ownAlpha)
        ASSERT_TRUE(SetLayeredWindowAttributes(target, 0, c.ownAlpha, LWA_ALPHA));
    const RECT before = RectOf(target);
    const bool maximized = IsZoomed(target) != FALSE;

    std::wstring runs = c.runs;
    for (size_t start = 0; start <= runs.size();) {
        const size_t end = std::min(runs.find(L'|', start), runs.size());
        ASSERT_TRUE(StackAndFocus(windows));
        ASSERT_TRUE(RunOmbrel(runs.substr(start, end - start), L"", true));
        start = end + 1;
    }
    size_t expectedCount = 0;
    for (const char* commands : c.commands)
        expectedCount += CountOf(commands);
    CollectCommands(windows, expectedCount);

    MONITORINFO monitor{sizeof(monitor)};
    GetMonitorInfoW(MonitorFromRect(&before, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const auto centredOnWork = [&] {
        const RECT now = RectOf(target);
        return std::abs((now.left + now.right) - (work.left + work.right)) <= 1 &&
               std::abs((now.top + now.bottom) - (work.top + work.bottom)) <= 1 &&
               now.right - now.left == before.right - before.left && now.bottom - now.top == before.bottom - before.top;
    };
    const bool placed = PumpUntil([&] {
        const bool topmost = (GetWindowLongW(target, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        return topmost == c.topmost && (c.where != Where::Centred || centredOnWork());
    });
    EXPECT_TRUE(placed);
    EXPECT_EQ(c.topmost, (GetWindowLongW(target, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
    EXPECT_EQ(c.alpha, AlphaOf(target));
    EXPECT_EQ(maximized, IsZoomed(target) != FALSE);
    switch (c.where) {
    case Where::Stays:
        EXPECT_TRUE(SameRect(before, RectOf(target)));
        break;
    case Where::Centred:
        EXPECT_TRUE(centredOnWork());
        break;
    case Where::NextMonitor:
        // With one monitor the next is the same one (OmbrelTwoMonitors has two).
        if (GetSystemMetrics(SM_CMONITORS) < 2)
            EXPECT_TRUE(SameRect(before, RectOf(target)));
        break;
    }
    for (size_t i = 0; i < windows.size(); ++i) {
        SCOPED_TRACE("window " + std::to_string(i));
        EXPECT_EQ(c.commands[i], Describe(windows[i]->commands()));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, OmbrelEffects, testing::ValuesIn(kEffectCases),
                         [](const testing::TestParamInfo<EffectCase>& info) { return std::string(info.param.name); });

// With two monitors, the window lands on the other one, inside its work area.
TEST(OmbrelTwoMonitors, NextPutsTheWindowOnTheOtherMonitor)
{
    if (GetSystemMetrics(SM_CMONITORS) < 2)
        GTEST_SKIP() << "one monitor: Wine 8 shows one even on an Xvfb display of two screens joined by Xinerama, "
                        "so the move between monitors is checked through ombrel::MovedTo (OmbrelMoves)";
    Windows windows = Build({{kBothBoxes, Shape::Normal}});
    const HWND target = windows[0]->handle();
    const HMONITOR before = MonitorFromWindow(target, MONITOR_DEFAULTTONEAREST);
    ASSERT_TRUE(StackAndFocus(windows));
    ASSERT_TRUE(RunOmbrel(L"nex", L"", true));
    EXPECT_TRUE(PumpUntil([&] { return MonitorFromWindow(target, MONITOR_DEFAULTTONEAREST) != before; }));
    MONITORINFO monitor{sizeof(monitor)};
    GetMonitorInfoW(MonitorFromWindow(target, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT inside{};
    const RECT now = RectOf(target);
    IntersectRect(&inside, &now, &monitor.rcWork);
    EXPECT_TRUE(SameRect(now, inside));
}

// ---------------------------------------------------------------------------
// Moving between monitors, through the seam that supplies their work areas
// and DPIs: Wine shows one monitor only, so no real window can show it here.

struct MoveCase {
    const char* name;
    RECT window, from;
    UINT fromDpi;
    RECT to;
    UINT toDpi;
    RECT expected;
};

const MoveCase kMoveCases[] = {
    {"SamePlaceOnTheMonitorToTheRight", {100, 50, 500, 350}, {0, 0, 1920, 1040}, 96, {1920, 0, 3840, 1040}, 96,
     {2020, 50, 2420, 350}},
    {"RelativeToTheWorkAreaNotTheScreen", {100, 50, 500, 350}, {0, 0, 1920, 1040}, 96, {1920, 40, 3840, 1080}, 96,
     {2020, 90, 2420, 390}},
    {"ToTheLeftOfThePrimary", {100, 50, 500, 350}, {0, 0, 1920, 1040}, 96, {-1280, 0, 0, 984}, 96,
     {-1180, 50, -780, 350}},
    {"ScaledUpForAHigherDpi", {100, 50, 500, 350}, {0, 0, 1920, 1040}, 96, {1920, 0, 5760, 2120}, 144,
     {2070, 75, 2670, 525}},
    {"ScaledDownForALowerDpi", {2070, 75, 2670, 525}, {1920, 0, 5760, 2120}, 144, {0, 0, 1920, 1040}, 96,
     {100, 50, 500, 350}},
    {"CutToASmallerWorkArea", {0, 0, 1920, 1040}, {0, 0, 1920, 1040}, 96, {1920, 0, 3200, 984}, 96,
     {1920, 0, 3200, 984}},
    {"MovedInsideWhereItWouldStickOut", {1500, 700, 1900, 1000}, {0, 0, 1920, 1040}, 96, {1920, 0, 3200, 984}, 96,
     {2800, 684, 3200, 984}},
    {"PartlyOffTheWorkAreaComesIn", {-50, -20, 350, 280}, {0, 0, 1920, 1040}, 96, {1920, 0, 3840, 1040}, 96,
     {1920, 0, 2320, 300}},
};

void PrintTo(const MoveCase& c, std::ostream* out) { *out << c.name; }

class OmbrelMoves : public testing::TestWithParam<MoveCase> {};

TEST_P(OmbrelMoves, KeepThePlaceRelativeToTheWorkArea)
{
    const MoveCase& c = GetParam();
    const RECT moved = ombrel::MovedTo(c.window, c.from, c.fromDpi, c.to, c.toDpi);
    EXPECT_TRUE(SameRect(c.expected, moved))
        << moved.left << "," << moved.top << "," << moved.right << "," << moved.bottom;
}

INSTANTIATE_TEST_SUITE_P(Table, OmbrelMoves, testing::ValuesIn(kMoveCases),
                         [](const testing::TestParamInfo<MoveCase>& info) { return std::string(info.param.name); });

TEST(OmbrelCentre, ALargerWindowKeepsItsCaptionOnTheWorkArea)
{
    const RECT work{0, 40, 1280, 800};
    EXPECT_TRUE(SameRect(RECT{0, 40, 1400, 940}, ombrel::Centred({200, 300, 1600, 1200}, work)));
    EXPECT_TRUE(SameRect(RECT{440, 300, 840, 540}, ombrel::Centred({0, 0, 400, 240}, work)));
}

// ---------------------------------------------------------------------------
// A window that acts on the commands, as a real program's does.

TEST(OmbrelRealWindow, MaximizesRestoresAndCloses)
{
    Windows windows;
    windows.push_back(std::make_unique<TestWindow>(kBothBoxes, Shape::Normal, true));
    const HWND window = windows[0]->handle();

    ASSERT_TRUE(StackAndFocus(windows));
    ASSERT_TRUE(RunOmbrel(L"max"));
    EXPECT_TRUE(PumpUntil([&] { return IsZoomed(window) != FALSE; })) << "the window was not maximized";
    EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_MAXIMIZE);

    ASSERT_TRUE(StackAndFocus(windows));
    ASSERT_TRUE(RunOmbrel(L"max"));
    EXPECT_TRUE(PumpUntil([&] { return !IsZoomed(window); })) << "the window was not restored";

    ASSERT_TRUE(StackAndFocus(windows));
    ASSERT_TRUE(RunOmbrel(L"clo"));
    EXPECT_TRUE(PumpUntil([&] { return windows[0]->handle() == nullptr; })) << "the window was not closed";
    EXPECT_FALSE(IsWindow(window));
}

// ---------------------------------------------------------------------------
// The file itself: what the main program and Explorer read from it.

TEST(OmbrelFile, IsAWindowsProgramWithIconAndVersionOnly)
{
    const std::wstring path = OmbrelPath();

    // A console program would flash a console window on every hotkey press.
    const DWORD_PTR type = SHGetFileInfoW(path.c_str(), 0, nullptr, 0, SHGFI_EXETYPE);
    EXPECT_EQ(MAKEWORD('P', 'E'), LOWORD(type));
    EXPECT_NE(0, HIWORD(type)) << "Ombrel.exe is a console program";

    const HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(nullptr, module);
    EXPECT_NE(nullptr, FindResourceW(module, MAKEINTRESOURCEW(107), RT_GROUP_ICON));
    int iconGroups = 0;
    EnumResourceNamesW(module, RT_GROUP_ICON, [](HMODULE, LPCWSTR, LPWSTR, LONG_PTR count) -> BOOL {
        ++*reinterpret_cast<int*>(count);
        return TRUE;
    }, reinterpret_cast<LONG_PTR>(&iconGroups));
    EXPECT_EQ(1, iconGroups);
    for (const LPCWSTR type : {RT_DIALOG, RT_MENU}) {
        EXPECT_FALSE(EnumResourceNamesW(module, type, [](HMODULE, LPCWSTR, LPWSTR, LONG_PTR) -> BOOL { return TRUE; },
                                        0))
            << "Ombrel.exe must show no user interface";
    }
    FreeLibrary(module);

    DWORD ignored = 0;
    std::vector<BYTE> version(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(version.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    for (const auto& [key, value] : {std::pair{L"CompanyName", L"Norv"}, std::pair{L"ProductName", L"Ombrel"}}) {
        wchar_t* text = nullptr;
        UINT length = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\041104b0\\") + key;
        ASSERT_TRUE(VerQueryValueW(version.data(), query.c_str(), reinterpret_cast<void**>(&text), &length)) << key;
        EXPECT_STREQ(value, text);
    }
}

} // namespace
