#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/hotkey.h"
#include "model/key_condition.h"
#include "model/task.h"
#include "tests/unit/test_support.h"

namespace {

TEST(Task, NewTaskDefaults) {
    Task task;
    EXPECT_EQ(0u, task.fsModifiers);
    EXPECT_EQ(kNoKey, task.vk);
    EXPECT_EQ(0, task.Atom);
    EXPECT_EQ(1, task.Show);
    EXPECT_EQ(0, task.RunAs);
    EXPECT_EQ(1, task.ShowLauncher);
    EXPECT_EQ(0, task.IconIndex);
    EXPECT_EQ(-1, task.ImageIndex);
    EXPECT_EQ(nullptr, task.NameWindow);
    EXPECT_EQ(nullptr, task.ItemIDList.m_pidl);
    for (const wchar_t* text : {task.File, task.Parameter, task.WorkingFolder, task.Name,
                                task.Sound, task.IconPath}) {
        EXPECT_EQ(L'\0', text[0]);
    }
}

TEST(Task, TextFieldsHold259Characters) {
    EXPECT_EQ(260u, sizeof(Task{}.File) / sizeof(wchar_t));
    Task task;
    std::wstring fits(259, L'a');
    lstrcpynW(task.File, std::wstring(260, L'b').c_str(), kTextFieldLength);
    EXPECT_EQ(259, lstrlenW(task.File));
    lstrcpynW(task.Name, fits.c_str(), kTextFieldLength);
    EXPECT_EQ(fits, task.Name);
}

class TaskListTest : public testing::Test {
protected:
    test::HotKeyOwner owner;

    Task* AppendRegistered(UINT modifiers, UINT vk, const wchar_t* name) {
        auto task = test::MakeTask(modifiers, vk, name);
        task->Atom = RegisterTaskHotKey(modifiers, vk);
        return g_taskList.Append(std::move(task));
    }

    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        for (const auto& task : g_taskList) {
            names.push_back(task->Name);
        }
        return names;
    }
};

TEST_F(TaskListTest, CopyCarriesTheAtomAndDestroyingItLeavesTheHotKey) {
    Task* task = AppendRegistered(MOD_CONTROL | MOD_ALT, 'Q', L"q");
    ASSERT_NE(0, task->Atom);
    task->ItemIDList.SetPath(L"C:\\windows");
    task->NameWindow = owner.window();
    {
        Task copy(*task);
        EXPECT_EQ(task->Atom, copy.Atom);
        EXPECT_EQ(task->NameWindow, copy.NameWindow);
        ASSERT_NE(nullptr, copy.ItemIDList.m_pidl);
        EXPECT_NE(task->ItemIDList.m_pidl, copy.ItemIDList.m_pidl);
    }
    EXPECT_NE(0, GlobalFindAtomW(L"Tessaly00030051"));
    EXPECT_FALSE(RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, 'Q'));
    task->NameWindow = nullptr;
}

TEST_F(TaskListTest, CopyCopiesWholeBuffersPastTheTerminator) {
    Task source;
    source.Parameter[0] = L'a';
    source.Parameter[200] = L'z';
    Task copy;
    copy = source;
    EXPECT_EQ(L'z', copy.Parameter[200]);
}

TEST_F(TaskListTest, RemoveReleasesTheHotKeyAndKeepsOrder) {
    AppendRegistered(MOD_CONTROL | MOD_ALT, '1', L"one");
    Task* two = AppendRegistered(MOD_CONTROL | MOD_ALT, '2', L"two");
    AppendRegistered(MOD_CONTROL | MOD_ALT, '3', L"three");
    EXPECT_TRUE(g_taskList.Remove(two));
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly00030032"));
    EXPECT_EQ((std::vector<std::wstring>{L"one", L"three"}), Names());
    Task stranger;
    EXPECT_FALSE(g_taskList.Remove(&stranger));
}

TEST_F(TaskListTest, ChangedTaskComesBackAtItsIndex) {
    AppendRegistered(0, kNoKey, L"a");
    Task* b = AppendRegistered(0, kNoKey, L"b");
    AppendRegistered(0, kNoKey, L"c");
    int index = g_taskList.IndexOf(b);
    auto replacement = std::make_unique<Task>(*b);
    lstrcpyW(replacement->Name, L"B");
    g_taskList.Remove(b);
    g_taskList.InsertAt(static_cast<size_t>(index), std::move(replacement));
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"B", L"c"}), Names());
}

TEST_F(TaskListTest, SwapsStopAtTheEnds) {
    Task* a = AppendRegistered(0, kNoKey, L"a");
    Task* b = AppendRegistered(0, kNoKey, L"b");
    Task* c = AppendRegistered(0, kNoKey, L"c");
    EXPECT_FALSE(g_taskList.SwapWithPrevious(a));
    EXPECT_FALSE(g_taskList.SwapWithNext(c));
    EXPECT_TRUE(g_taskList.SwapWithNext(a));
    EXPECT_EQ((std::vector<std::wstring>{L"b", L"a", L"c"}), Names());
    EXPECT_TRUE(g_taskList.SwapWithPrevious(c));
    EXPECT_EQ((std::vector<std::wstring>{L"b", L"c", L"a"}), Names());
    EXPECT_EQ(0, g_taskList.IndexOf(b));
}

TEST_F(TaskListTest, FindByKeyReturnsEveryMatchInOrder) {
    Task* first = AppendRegistered(MOD_CONTROL | MOD_ALT, 'X', L"first");
    AppendRegistered(MOD_CONTROL, 'X', L"other modifiers");
    Task* second = AppendRegistered(MOD_CONTROL | MOD_ALT, 'X', L"second");
    AppendRegistered(MOD_CONTROL | MOD_ALT, kNoKey, L"no key");
    EXPECT_NE(0, first->Atom);
    EXPECT_EQ(0, second->Atom);
    std::vector<Task*> found;
    g_taskList.ForEachWithKey(MOD_CONTROL | MOD_ALT, 'X', [&](Task* t) { found.push_back(t); });
    EXPECT_EQ((std::vector<Task*>{first, second}), found);
    EXPECT_EQ(0u, g_taskList.ForEachWithKey(MOD_CONTROL | MOD_ALT, 0xFFFF, [](Task*) {}));
}

TEST_F(TaskListTest, ClearReleasesEveryHotKey) {
    AppendRegistered(MOD_CONTROL | MOD_ALT, '7', L"seven");
    AppendRegistered(0, kNoKey, L"no key");
    AppendRegistered(MOD_CONTROL | MOD_ALT, '8', L"eight");
    g_taskList.Clear();
    EXPECT_EQ(0u, g_taskList.Count());
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly00030037"));
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly00030038"));
}

TEST_F(TaskListTest, FindByNameWindowTakesTheFirst) {
    HWND window = owner.window();
    AppendRegistered(0, kNoKey, L"a");
    Task* b = AppendRegistered(0, kNoKey, L"b");
    Task* c = AppendRegistered(0, kNoKey, L"c");
    b->NameWindow = window;
    c->NameWindow = window;
    EXPECT_EQ(b, g_taskList.FindByNameWindow(window));
    EXPECT_EQ(nullptr, g_taskList.FindByNameWindow(reinterpret_cast<HWND>(0x1234)));
    b->NameWindow = c->NameWindow = nullptr;
}

}  // namespace

namespace {

Task Conditioned(int condition, const wchar_t* programs) {
    Task task;
    task.Condition = condition;
    lstrcpynW(task.Programs, programs, kTextFieldLength);
    return task;
}

TEST(KeyCondition, HoldsByTheProgramInFront) {
    const ProgramInFront code = {L"C:\\Apps\\Writer\\Writer.exe", L""};
    const ProgramInFront store = {L"C:\\Windows\\System32\\ApplicationFrameHost.exe", L"Contoso.Notes_1!App"};
    const ProgramInFront none = {L"", L""};
    struct Row {
        int condition;
        const wchar_t* programs;
        const ProgramInFront& program;
        bool holds;
    } rows[] = {
        {kEverywhere, L"", code, true},
        {kEverywhere, L"writer.exe", none, true},
        {kOnlyIn, L"writer.exe; studio.exe", code, true},
        {kOnlyIn, L"  studio.exe ;WRITER.EXE  ", code, true},
        {kOnlyIn, L"studio.exe", code, false},
        {kOnlyIn, L"code", code, false},
        {kOnlyIn, L"de.exe", code, false},
        {kOnlyIn, L"C:\\Apps\\Writer\\writer.exe", code, true},
        {kOnlyIn, L"", code, false},
        {kOnlyIn, L" ; ;", code, false},
        {kOnlyIn, L"contoso.notes_1!app", store, true},
        // A packaged app is named by its id, never by the frame that shows it.
        {kOnlyIn, L"writer.exe", store, false},
        {kOnlyIn, L"writer.exe", none, false},
        {kExceptIn, L"writer.exe", code, false},
        {kExceptIn, L"writer.exe", store, true},
        {kExceptIn, L"", code, true},
        {kExceptIn, L"Contoso.Notes_1!App;x.exe", store, false},
        {kExceptIn, L"writer.exe", none, true},
        // A value a later version may write counts as everywhere.
        {7, L"writer.exe", store, true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.holds, ConditionHolds(Conditioned(row.condition, row.programs), row.program))
            << row.condition << " [" << testing::PrintToString(std::wstring(row.programs)) << "] "
            << testing::PrintToString(std::wstring(row.program.path));
    }
}

TEST(KeyCondition, TwoTasksMeetWhereSomeProgramHasBoth) {
    struct Row {
        int a;
        const wchar_t* aPrograms;
        int b;
        const wchar_t* bPrograms;
        bool meet;
    } rows[] = {
        {kEverywhere, L"", kEverywhere, L"", true},
        {kEverywhere, L"", kOnlyIn, L"writer.exe", true},
        {kEverywhere, L"", kOnlyIn, L"", false},
        {kEverywhere, L"", kExceptIn, L"writer.exe", true},
        {kOnlyIn, L"writer.exe", kOnlyIn, L"studio.exe", false},
        {kOnlyIn, L"writer.exe; a.exe", kOnlyIn, L"studio.exe;A.EXE", true},
        // One in an editor, the other everywhere else: the key is shared.
        {kOnlyIn, L"writer.exe", kExceptIn, L"writer.exe", false},
        {kOnlyIn, L"writer.exe;b.exe", kExceptIn, L"writer.exe", true},
        {kOnlyIn, L"writer.exe", kExceptIn, L"b.exe", true},
        {kExceptIn, L"writer.exe", kExceptIn, L"b.exe", true},
        {kExceptIn, L"writer.exe", kExceptIn, L"writer.exe", true},
        // A bare name names the file in any folder; a path, that one file.
        {kOnlyIn, L"C:\\Tools\\writer.exe", kOnlyIn, L"WRITER.exe", true},
        {kOnlyIn, L"C:\\A\\writer.exe", kOnlyIn, L"C:\\B\\writer.exe", false},
        {kOnlyIn, L"writer.exe", kExceptIn, L"C:\\Tools\\writer.exe", true},
        {kOnlyIn, L"C:\\Tools\\writer.exe", kExceptIn, L"writer.exe", false},
    };
    for (const Row& row : rows) {
        const Task a = Conditioned(row.a, row.aPrograms);
        const Task b = Conditioned(row.b, row.bPrograms);
        EXPECT_EQ(row.meet, ConditionsMeet(a, b)) << row.a << " " << testing::PrintToString(std::wstring(row.aPrograms))
                                                  << " / " << row.b << " "
                                                  << testing::PrintToString(std::wstring(row.bPrograms));
        EXPECT_EQ(row.meet, ConditionsMeet(b, a)) << "swapped";
    }
}

}  // namespace
