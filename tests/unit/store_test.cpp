#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/tray_icon.h"
#include "common/file_stamp.h"
#include "model/display_settings.h"
#include "model/hotkey.h"
#include "model/portable.h"
#include "model/registry.h"
#include "model/settings_file.h"
#include "model/store.h"
#include "resources/resource.h"
#include "tests/unit/test_support.h"

namespace {

using test::WriteDword;
using test::WriteRaw;
using test::WriteString;

// Counts the store's writes and refuses every one from `g_refused` on, as when
// the process is ended there, or with `g_onlyOne` that one alone, as a full hive.
size_t g_written, g_refused, g_lastRename;
bool g_onlyOne;
RegistryWrites g_systemWrites;
FileWrites g_realFileWrites;

template <auto call, typename... Args>
LSTATUS WINAPI CountedWrite(Args... args) {
    const size_t write = g_written++;
    return (g_onlyOne ? write != g_refused : write < g_refused) ? (g_systemWrites.*call)(args...)
                                                                : ERROR_ACCESS_DENIED;
}

LSTATUS WINAPI CountedRename(HKEY parent, LPCWSTR name, LPCWSTR newName) {
    g_lastRename = g_written;
    return CountedWrite<&RegistryWrites::renameKey>(parent, name, newName);
}

void RefuseWrites(size_t refused, bool onlyOne) {
    g_written = 0;
    g_refused = refused;
    g_onlyOne = onlyOne;
    g_lastRename = SIZE_MAX;
    g_registryWrites = {CountedWrite<&RegistryWrites::createKey>, CountedWrite<&RegistryWrites::setValue>,
                        CountedWrite<&RegistryWrites::copyTree>,  CountedRename,
                        CountedWrite<&RegistryWrites::deleteKey>, CountedWrite<&RegistryWrites::deleteTree>};
}

// Every stored field of the settings and of each task, as one text.
std::wstring StoredState() {
    const DisplaySettings& s = g_displaySettings;
    std::wstring state(reinterpret_cast<const wchar_t*>(&s.Font), sizeof(s.Font) / sizeof(wchar_t));
    for (int v : {s.Location, int(s.FontColor), s.Alpha, s.Time, s.Fade, g_trayIcon.m_bShown}) {
        state += L" " + std::to_wstring(v);
    }
    for (const auto& t : g_taskList) {
        for (int v : {int(t->fsModifiers), int(t->vk), t->Show, t->RunAs, t->IconIndex, t->ShowLauncher,
                      t->Activate, t->Toggle, t->Condition, int(t->NextModifiers), int(t->NextVk)}) {
            state += L" " + std::to_wstring(v);
        }
        for (const wchar_t* text : {t->File, t->Parameter, t->WorkingFolder, t->Name, t->Sound, t->IconPath,
                                    t->Programs}) {
            state += L"|" + std::wstring(text);
        }
    }
    return state;
}

// Where the store was set aside, once; empty when it was not.
std::wstring SetAsidePlace(bool& saved) {
    wchar_t place[kSetAsidePlaceLength];
    return TakeSetAsidePlace(place, saved) ? place : L"";
}

// A task whose every field says which it is.
std::unique_ptr<Task> LetterTask(wchar_t letter) {
    auto task = test::MakeTask(MOD_CONTROL | MOD_ALT, letter, std::wstring(1, letter).c_str());
    int field = 0;
    for (wchar_t* text : {task->File, task->Parameter, task->WorkingFolder, task->Sound, task->IconPath}) {
        wsprintfW(text, L"%c%d", letter, field++);
    }
    task->Show = letter % 3 + 1;
    task->RunAs = task->ShowLauncher = letter % 2;
    task->Activate = 1 - letter % 2;
    task->Toggle = letter % 3 == 0;
    task->Condition = letter % 3;
    wsprintfW(task->Programs, L"%c.exe; %c!App", letter, letter);
    task->NextModifiers = letter % 2 ? MOD_SHIFT : 0;
    task->NextVk = letter % 2 ? L'N' : kNoKey;
    task->IconIndex = letter;
    return task;
}

// The start-up state the store is loaded over: defaults seeded, both default
// tasks registered, the tray icon added.
class StoreTest : public testing::Test {
protected:
    void SetUp() override {
        g_systemWrites = g_registryWrites;
        test::DeleteStore();
        g_trayIcon.Create(owner.window(), TRAY_ICON_ID, WM_TRAYNOTIFY, nullptr, L"Tessaly", 1);
        SeedDisplaySettings();
        CreateDefaultTask('N', L"notepad", L"メモ帳");
        CreateDefaultTask('C', L"calc", L"電卓");
    }
    void TearDown() override {
        g_registryWrites = g_systemWrites;
        g_registryReads = {RegOpenKeyExW, RegQueryValueExW};
        g_taskList.Clear();
        g_trayIcon.Destroy();
        test::DeleteStore();
        for (const wchar_t* setAside : {L"Software\\Norv\\Tessaly.bad", L"Software\\Norv\\Tessaly.bad2"}) {
            RegDeleteTreeW(HKEY_CURRENT_USER, setAside);
        }
        // No store: the next test starts without a load's memory of this one.
        LoadStore();
        bool saved = false;
        SetAsidePlace(saved);
    }

    HKEY TaskKey(int index) {
        return test::CreateStoreKey((L"Tasks\\Task" + std::to_wstring(index)).c_str());
    }
    void StoreTask(int index, UINT modifiers, UINT vk, const std::wstring& name) {
        HKEY key = TaskKey(index);
        WriteDword(key, L"fsModifiers", modifiers);
        WriteDword(key, L"vk", vk);
        WriteString(key, L"Name", name);
        WriteString(key, L"File", name + L".exe");
        RegCloseKey(key);
    }
    void StoreCount(DWORD count) {
        HKEY key = test::CreateStoreKey(L"Tasks");
        WriteDword(key, L"Count", count);
        RegCloseKey(key);
    }
    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        for (const auto& task : g_taskList) {
            names.push_back(task->Name);
        }
        return names;
    }

    test::HotKeyOwner owner;
    test::FakeTrayShell tray;
};

// A portable copy in a folder of its own: the settings file beside a
// program there makes the store that file.
class FileStoreTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        g_realFileWrites = g_fileWrites;
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"tessaly-portable-test";
        CreateDirectoryW(folder.c_str(), nullptr);
        file = folder + L"\\Tessaly.ini";
        WriteText("");
        SetProgramFolder(folder.c_str());
    }
    void TearDown() override {
        g_fileWrites = g_realFileWrites;
        SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(file.c_str());
        DeleteFileW((file + L".new").c_str());
        DeleteFileW((file + L".bad").c_str());
        DeleteFileW((file + L".bad2").c_str());
        RemoveDirectoryW(folder.c_str());
        SetProgramFolder(nullptr);
        StoreTest::TearDown();
    }
    void WriteText(const std::string& utf8, const std::wstring& path = L"") {
        HANDLE handle = CreateFileW((path.empty() ? file : path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                    nullptr);
        DWORD written = 0;
        WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
        CloseHandle(handle);
    }
    static bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    std::wstring folder, file;
};

// The registry store as the settings file holding the same values, each
// number in decimal, bytes in hexadecimal, each text in quotes; the key goes.
void MoveRegistryStoreToFile(const std::wstring& file) {
    std::wstring text(1, wchar_t(0xFEFF));
    std::function<void(const std::wstring&, const std::wstring&)> addSection = [&](const std::wstring& subkey,
                                                                                     const std::wstring& name) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, (std::wstring(harness::kStorePath) + L"\\" + subkey).c_str(), 0,
                          KEY_READ, &key) != ERROR_SUCCESS) {
            return;
        }
        text += L"[" + name + L"]\r\n";
        wchar_t value[64];
        BYTE data[4096];
        for (DWORD i = 0, length = 64, type = 0, size = sizeof(data);
             RegEnumValueW(key, i, value, &length, nullptr, &type, data, &size) == ERROR_SUCCESS;
             ++i, length = 64, size = sizeof(data)) {
            text += value + std::wstring(L"=");
            if (type == REG_DWORD) {
                text += std::to_wstring(*reinterpret_cast<const int*>(data));
            } else if (type == REG_SZ) {
                text += L"\"" + std::wstring(reinterpret_cast<const wchar_t*>(data)) + L"\"";
            } else {
                for (DWORD b = 0; b < size; ++b) {
                    text += L"0123456789ABCDEF"[data[b] >> 4];
                    text += L"0123456789ABCDEF"[data[b] & 15];
                }
            }
            text += L"\r\n";
        }
        for (DWORD i = 0, length = 64; RegEnumKeyExW(key, i, value, &length, nullptr, nullptr, nullptr, nullptr) ==
                                       ERROR_SUCCESS;
             ++i, length = 64) {
            addSection(subkey + L"\\" + value, value);
        }
        RegCloseKey(key);
    };
    // Only "Tasks" has parts below it, each a section of the file's top.
    addSection(L"Setting", L"Setting");
    addSection(L"Tasks", L"Tasks");
    test::DeleteStore();
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(handle, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(handle);
}

// The store's tables of loads and round trips, run against the registry
// and against the settings file: a table writes its store in the registry,
// which the file backend's Load() rewrites as the same values in the file.
class EitherStoreTest : public FileStoreTest, public testing::WithParamInterface<bool> {
protected:
    bool InFile() const { return GetParam(); }
    void SetUp() override { InFile() ? FileStoreTest::SetUp() : StoreTest::SetUp(); }
    void TearDown() override { InFile() ? FileStoreTest::TearDown() : StoreTest::TearDown(); }
    int Load() {
        if (InFile() && harness::KeyExists(harness::kStorePath)) {
            MoveRegistryStoreToFile(file);
        }
        const int loaded = LoadStore();
        EXPECT_TRUE(!InFile() || !harness::KeyExists(harness::kStorePath));
        return loaded;
    }
};
INSTANTIATE_TEST_SUITE_P(Backends, EitherStoreTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "File" : "Registry"; });

TEST_P(EitherStoreTest, NoStoreKeepsTheDefaults) {
    EXPECT_EQ(0, Load());
    EXPECT_EQ((std::vector<std::wstring>{L"メモ帳", L"電卓"}), Names());
    EXPECT_NE(0, g_taskList.At(0)->Atom);
    EXPECT_EQ(TopRight, g_displaySettings.Location);
    EXPECT_EQ(1500, g_displaySettings.Time);
}

TEST_F(StoreTest, DefaultFontIsSeventyTwoPointsForTheScreen) {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(-MulDiv(72, dpi, 72), g_displaySettings.Font.lfHeight);
    EXPECT_EQ(RGB(0, 255, 0), g_displaySettings.FontColor);
    EXPECT_EQ(192, g_displaySettings.Alpha);
    EXPECT_EQ(1, g_displaySettings.Fade);
}

TEST_P(EitherStoreTest, CountDecidesWhetherStoredTasksReplaceTheDefaults) {
    const struct {
        const char* what;
        bool tasksKey;
        bool writeCount;
        DWORD count;
        std::vector<std::wstring> names;
        std::vector<std::wstring> fileNames;  // empty: the same as names
    } cases[] = {
        {"empty program key", false, false, 0, {L"メモ帳", L"電卓"}},
        // A file holds only its own sections: every task section loads, in
        // order, whatever its count says; a key's stale ones past it do not.
        {"no Count", true, false, 0, {L"メモ帳", L"電卓"}, {L"a", L"b", L"c"}},
        {"Count 0", true, true, 0, {L"メモ帳", L"電卓"}, {L"a", L"b", L"c"}},
        {"Count 1 of 3 stored", true, true, 1, {L"a"}, {L"a", L"b", L"c"}},
        {"Count 3", true, true, 3, {L"a", L"b", L"c"}},
        {"Count past the stored keys", true, true, 5, {L"a", L"b", L"c"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // An empty file is a first start, where an empty key is a store.
        if (InFile() && !c.tasksKey) {
            continue;
        }
        TearDown();
        SetUp();
        RegCloseKey(test::CreateStoreKey());
        if (c.tasksKey) {
            StoreTask(0, MOD_CONTROL | MOD_ALT, 'A', L"a");
            StoreTask(1, MOD_CONTROL | MOD_ALT, 'B', L"b");
            StoreTask(2, MOD_CONTROL | MOD_ALT, 'C', L"c");
        }
        if (c.writeCount) {
            StoreCount(c.count);
        }
        EXPECT_NE(0, Load());
        EXPECT_EQ(InFile() && !c.fileNames.empty() ? c.fileNames : c.names, Names());
        for (const auto& task : g_taskList) {
            EXPECT_NE(0, task->Atom) << testing::PrintToString(std::wstring(task->Name));
        }
    }
}

TEST_P(EitherStoreTest, StoredTaskTakesTheDefaultsCombination) {
    StoreTask(0, MOD_WIN, 'N', L"mine");
    StoreCount(1);
    ASSERT_NE(0, Load());
    ASSERT_EQ(1u, g_taskList.Count());
    EXPECT_NE(0, g_taskList.At(0)->Atom);
    EXPECT_EQ(0, GlobalFindAtomW(L"Tessaly00080043"));
}

TEST_P(EitherStoreTest, MissingTaskKeyIsLeftOutKeepingOrder) {
    StoreTask(0, 0, kNoKey, L"zero");
    StoreTask(2, 0, kNoKey, L"two");
    StoreTask(3, 0, kNoKey, L"three");
    StoreCount(4);
    ASSERT_NE(0, Load());
    EXPECT_EQ((std::vector<std::wstring>{L"zero", L"two", L"three"}), Names());
}

TEST_P(EitherStoreTest, HugeCountIsCapped) {
    StoreTask(0, 0, kNoKey, L"only");
    StoreCount(0xFFFFFFFF);
    ASSERT_NE(0, Load());
    EXPECT_EQ((std::vector<std::wstring>{L"only"}), Names());
}

TEST_P(EitherStoreTest, MissingValuesTakeTheirDefaults) {
    RegCloseKey(TaskKey(0));
    StoreCount(1);
    ASSERT_NE(0, Load());
    ASSERT_EQ(1u, g_taskList.Count());
    const Task& task = *g_taskList.At(0);
    EXPECT_EQ(0u, task.fsModifiers);
    EXPECT_EQ(0u, task.vk);  // key 0, not "no key"
    EXPECT_EQ(1, task.Show);
    EXPECT_EQ(0, task.RunAs);
    EXPECT_EQ(0, task.IconIndex);
    EXPECT_EQ(1, task.ShowLauncher);
    // A store of an earlier version: programs are started, never switched to.
    EXPECT_EQ(0, task.Activate);
    // Nor do they toggle, nor heed the program in front, nor wait for a second key.
    EXPECT_EQ(0, task.Toggle);
    EXPECT_EQ(0, task.Condition);
    EXPECT_STREQ(L"", task.Programs);
    EXPECT_EQ(kNoKey, task.NextVk);
    EXPECT_STREQ(L"", task.File);
    EXPECT_STREQ(L"", task.WorkingFolder);
}

TEST_F(StoreTest, DamagedValuesKeepTheirFieldsDefaultAndTerminated) {
    HKEY setting = test::CreateStoreKey(L"Setting");
    WriteRaw(setting, L"Location", REG_SZ, L"7", 4);
    WriteRaw(setting, L"Alpha", REG_BINARY, "\x10\0\0\0\0\0\0", 8);
    WriteRaw(setting, L"Time", REG_DWORD, "\x10\0\0\0\0\0", 6);
    LOGFONTW font = g_displaySettings.Font;
    for (auto& c : font.lfFaceName) {
        c = L'F';
    }
    WriteRaw(setting, L"Font", REG_BINARY, &font, sizeof(font));
    WriteDword(setting, L"Fade", 0);
    RegCloseKey(setting);

    HKEY task = TaskKey(0);
    std::wstring unterminated(260, L'u');
    WriteRaw(task, L"File", REG_SZ, unterminated.c_str(), 520);
    std::wstring oversized(600, L'o');
    WriteRaw(task, L"Parameter", REG_SZ, oversized.c_str(), static_cast<DWORD>(oversized.size() * 2));
    WriteRaw(task, L"Name", REG_DWORD, "\1\0\0\0", 4);
    WriteString(task, L"Task", L"%TEMP%");
    WriteRaw(task, L"Show", REG_SZ, L"3", 4);
    WriteRaw(task, L"vk", REG_BINARY, "\x4b\0\0\0", 4);
    WriteRaw(task, L"IconIndex", REG_DWORD, "\5\0\0\0\0\0\0\0", 8);
    RegCloseKey(task);
    StoreCount(1);

    const LOGFONTW seeded = g_displaySettings.Font;
    ASSERT_NE(0, LoadStore());
    EXPECT_EQ(TopRight, g_displaySettings.Location);
    EXPECT_EQ(192, g_displaySettings.Alpha);
    EXPECT_EQ(1500, g_displaySettings.Time);
    EXPECT_EQ(0, memcmp(&seeded, &g_displaySettings.Font, sizeof(LOGFONTW)));
    EXPECT_EQ(0, g_displaySettings.Fade);  // the one good value is taken

    ASSERT_EQ(1u, g_taskList.Count());
    const Task& loaded = *g_taskList.At(0);
    EXPECT_STREQ(L"", loaded.File);
    EXPECT_STREQ(L"", loaded.Parameter);
    EXPECT_STREQ(L"", loaded.Name);
    EXPECT_STREQ(L"%TEMP%", loaded.WorkingFolder);
    EXPECT_EQ(1, loaded.Show);
    EXPECT_EQ(0u, loaded.vk);
    EXPECT_EQ(0, loaded.IconIndex);
}

TEST_P(EitherStoreTest, DisplayValuesOutOfBoundsLoadAsTheirDefault) {
    const DisplaySettings seeded = g_displaySettings;
    using D = DisplaySettings;
    using F = LOGFONTW;
    const struct {
        int D::*field;  // none: the font's member below
        LONG F::*fontField;
        LONG stored;
        bool kept;  // false: the default stays
    } cases[] = {
        {&D::Alpha, nullptr, 0, true},    {&D::Alpha, nullptr, 255, true},  {&D::Alpha, nullptr, 256, false},
        {&D::Alpha, nullptr, -1, false},  {&D::Time, nullptr, 60000, true}, {&D::Time, nullptr, 60001, false},
        {&D::Time, nullptr, -1, false},   {&D::Location, nullptr, 7, true}, {&D::Location, nullptr, 8, false},
        {&D::Location, nullptr, -1, false}, {nullptr, &F::lfHeight, -500, true},
        {nullptr, &F::lfHeight, -501, false}, {nullptr, &F::lfHeight, LONG(0x80000000), false},
        {nullptr, &F::lfWidth, 500, true},    {nullptr, &F::lfWidth, 501, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        g_displaySettings = seeded;
        HKEY setting = test::CreateStoreKey(L"Setting");
        LOGFONTW font = seeded.Font;
        if (c.field) {
            const wchar_t* name = c.field == &D::Alpha ? L"Alpha" : c.field == &D::Time ? L"Time" : L"Location";
            WriteDword(setting, name, static_cast<DWORD>(c.stored));
        } else {
            font.*c.fontField = c.stored;
            WriteRaw(setting, L"Font", REG_BINARY, &font, sizeof(font));
        }
        RegCloseKey(setting);
        ASSERT_NE(0, Load());
        test::DeleteStore();
        if (c.field) {
            EXPECT_EQ(c.kept ? c.stored : seeded.*c.field, g_displaySettings.*c.field);
        } else {
            EXPECT_EQ(0, memcmp(c.kept ? &font : &seeded.Font, &g_displaySettings.Font, sizeof(LOGFONTW)));
        }
    }
}

TEST_P(EitherStoreTest, StoredShowIconZeroRemovesTheIcon) {
    HKEY setting = test::CreateStoreKey(L"Setting");
    WriteDword(setting, L"ShowIcon", 0);
    RegCloseKey(setting);
    ASSERT_NE(0, Load());
    EXPECT_EQ(0, g_trayIcon.m_bShown);
    EXPECT_EQ(1u, tray.Count(NIM_DELETE));
}

TEST_P(EitherStoreTest, MissingShowIconKeepsTheIcon) {
    RegCloseKey(test::CreateStoreKey(L"Setting"));
    ASSERT_NE(0, Load());
    EXPECT_EQ(1, g_trayIcon.m_bShown);
    EXPECT_EQ(0u, tray.Count(NIM_DELETE));
}

TEST_F(StoreTest, SaveWritesEveryValueWithItsTypeAndSize) {
    lstrcpyW(g_taskList.At(1)->File, std::wstring(259, L'f').c_str());
    SaveStore();
    std::vector<harness::ValueShape> shapes = harness::SettingShapes();
    for (const harness::ValueShape& shape : harness::TaskShapes(L"Tasks\\Task0", {{L"File", 16}, {L"Name", 8}})) {
        shapes.push_back(shape);
    }
    shapes.push_back({L"Tasks\\Task1", L"File", REG_SZ, 520});
    harness::ExpectStoreShapes(shapes);
    DWORD count = 0, size = 4;
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\Norv\\Tessaly\\Tasks", L"Count", RRF_RT_DWORD,
                 nullptr, &count, &size);
    EXPECT_EQ(2u, count);
}

TEST_P(EitherStoreTest, SaveThenLoadGivesTheSameTasksAndSettings) {
    Task* task = g_taskList.At(0);
    task->fsModifiers = MOD_CONTROL | MOD_SHIFT;
    task->vk = VK_F9;
    lstrcpyW(task->Parameter, L"/x %USERPROFILE%");
    lstrcpyW(task->WorkingFolder, L"%TEMP%");
    task->Show = SW_SHOWMAXIMIZED;
    task->RunAs = 1;
    lstrcpyW(task->Sound, L"C:\\ding.wav");
    lstrcpyW(task->IconPath, L"C:\\icons.dll");
    task->IconIndex = 4;
    task->ShowLauncher = 0;
    task->Activate = 1;
    task->Toggle = 1;
    g_displaySettings.Location = Center;
    g_displaySettings.Alpha = 255;
    lstrcpyW(g_displaySettings.Font.lfFaceName, L"IPAGothic");
    const Task saved = *task;
    SaveStore();

    g_taskList.Clear();
    SeedDisplaySettings();
    ASSERT_NE(0, Load());
    ASSERT_EQ(2u, g_taskList.Count());
    const Task& loaded = *g_taskList.At(0);
    EXPECT_EQ(saved.fsModifiers, loaded.fsModifiers);
    EXPECT_EQ(saved.vk, loaded.vk);
    EXPECT_STREQ(saved.File, loaded.File);
    EXPECT_STREQ(saved.Parameter, loaded.Parameter);
    EXPECT_STREQ(saved.WorkingFolder, loaded.WorkingFolder);
    EXPECT_EQ(saved.Show, loaded.Show);
    EXPECT_EQ(saved.RunAs, loaded.RunAs);
    EXPECT_STREQ(saved.Name, loaded.Name);
    EXPECT_STREQ(saved.Sound, loaded.Sound);
    EXPECT_STREQ(saved.IconPath, loaded.IconPath);
    EXPECT_EQ(saved.IconIndex, loaded.IconIndex);
    EXPECT_EQ(saved.ShowLauncher, loaded.ShowLauncher);
    EXPECT_EQ(1, loaded.Activate);
    EXPECT_EQ(1, loaded.Toggle);
    EXPECT_NE(0, loaded.Atom);
    EXPECT_EQ(Center, g_displaySettings.Location);
    EXPECT_EQ(255, g_displaySettings.Alpha);
    EXPECT_STREQ(L"IPAGothic", g_displaySettings.Font.lfFaceName);
}

TEST_F(StoreTest, TakenHotKeyLoadsWithoutAtomAndSavesItsKeysBack) {
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_TRUE(RegisterHotKey(other, 9, MOD_CONTROL | MOD_ALT, 'T'));
    StoreTask(0, MOD_CONTROL | MOD_ALT, 'T', L"taken");
    StoreCount(1);
    ASSERT_NE(0, LoadStore());
    ASSERT_EQ(1u, g_taskList.Count());
    EXPECT_EQ(0, g_taskList.At(0)->Atom);
    SaveStore();
    DWORD vk = 0, size = 4;
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\Norv\\Tessaly\\Tasks\\Task0", L"vk", RRF_RT_DWORD,
                 nullptr, &vk, &size);
    EXPECT_EQ(static_cast<DWORD>('T'), vk);
    UnregisterHotKey(other, 9);
    DestroyWindow(other);
}

TEST_F(StoreTest, SaveStoppedAtAnyWriteLoadsTheOldOrTheNewStoreWhole) {
    const struct {
        const char* what;
        void (*edit)();
    } edits[] = {
        {"add", [] { g_taskList.Append(LetterTask('E')); }},
        {"delete B", [] { g_taskList.Remove(g_taskList.At(1)); }},
        {"reorder", [] { g_taskList.SwapWithNext(g_taskList.At(0)); g_taskList.SwapWithNext(g_taskList.At(2)); }},
        {"change C and the alpha", [] {
             g_taskList.Remove(g_taskList.At(2));
             g_taskList.InsertAt(2, LetterTask('X'))->fsModifiers = MOD_SHIFT;
             g_displaySettings.Alpha = 77;
         }},
    };
    // Tasks A to D, and beside the settings a value a later version reads.
    auto storeOld = [](bool inMemoryOnly = false) {
        g_taskList.Clear();
        for (wchar_t letter : std::wstring(L"ABCD")) {
            g_taskList.Append(LetterTask(letter));
        }
        SeedDisplaySettings();
        g_displaySettings.Location = BottomLeft;
        if (!inMemoryOnly) {
            g_registryWrites = g_systemWrites;
            test::DeleteStore();
            SaveStore();
            HKEY setting = test::CreateStoreKey(L"Setting");
            WriteDword(setting, L"Language", 0x411);
            RegCloseKey(setting);
        }
    };
    storeOld(true);
    const std::wstring oldState = StoredState();
    for (const auto& e : edits) {
        storeOld();
        e.edit();
        const std::wstring newState = StoredState();
        RefuseWrites(SIZE_MAX, false);
        SaveStore();
        const size_t count = g_written, lastRename = g_lastRename;
        for (bool onlyOne : {false, true}) {
            for (size_t n = 0; n <= count - onlyOne; ++n) {
                SCOPED_TRACE(std::string(e.what) + (onlyOne ? ", only write " : ", writes from ") +
                             std::to_string(n) + " of " + std::to_string(count) + " refused");
                storeOld();
                e.edit();
                RefuseWrites(n, onlyOne);
                SetLastError(ERROR_SUCCESS);
                if (!SaveStore()) {
                    // The refused write's reason, for the message.
                    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
                }
                g_registryWrites = g_systemWrites;
                g_taskList.Clear();
                SeedDisplaySettings();
                // Read first at start-up, from the store the load then finds.
                EXPECT_EQ(0x411u, StoredLanguage());
                ASSERT_NE(0, LoadStore());
                const std::wstring loaded = StoredState();
                // A full hive leaves the old store, unless it refuses only a
                // write after the last rename: the new store is in place then,
                // and the old one is being cleared away.
                if (n == count || (onlyOne && n > lastRename)) {
                    EXPECT_EQ(newState, loaded);
                } else if (onlyOne) {
                    EXPECT_EQ(oldState, loaded);
                } else {
                    EXPECT_TRUE(loaded == oldState || loaded == newState) << testing::PrintToString(loaded);
                }
                DWORD language = 0, size = sizeof(language);
                RegGetValueW(HKEY_CURRENT_USER, L"Software\\Norv\\Tessaly\\Setting", L"Language", RRF_RT_DWORD,
                             nullptr, &language, &size);
                EXPECT_EQ(0x411u, language);
            }
        }
    }
}

// Counts the file save's writes as the registry's are counted, refusing them
// as a full or write-protected medium would.
template <auto call, typename... Args>
auto WINAPI CountedFileWrite(Args... args) -> decltype((g_realFileWrites.*call)(args...)) {
    const size_t write = g_written++;
    if (g_onlyOne ? write == g_refused : write >= g_refused) {
        SetLastError(ERROR_DISK_FULL);
        return {};
    }
    return (g_realFileWrites.*call)(args...);
}

void RefuseFileWrites(size_t refused, bool onlyOne) {
    RefuseWrites(refused, onlyOne);
    g_registryWrites = g_systemWrites;
    g_fileWrites = {CountedFileWrite<&FileWrites::createFile>, CountedFileWrite<&FileWrites::writeFile>,
                    CountedFileWrite<&FileWrites::flushFileBuffers>, CountedFileWrite<&FileWrites::moveFileEx>,
                    CountedFileWrite<&FileWrites::deleteFile>};
}

TEST_F(FileStoreTest, AnEmptyFileIsAFirstStartAndNothingGoesToTheRegistry) {
    EXPECT_EQ(0, LoadStore());
    EXPECT_EQ((std::vector<std::wstring>{L"メモ帳", L"電卓"}), Names());
    EXPECT_TRUE(SaveStore());
    EXPECT_FALSE(harness::KeyExists(harness::kStorePath));
    EXPECT_STREQ(file.c_str(), StoreLocation());
    EXPECT_FALSE(Exists(file + L".new"));
    g_taskList.Clear();
    ASSERT_NE(0, LoadStore());
    EXPECT_EQ((std::vector<std::wstring>{L"メモ帳", L"電卓"}), Names());
}

// What a person may write in Notepad (UTF-8, any case, blanks, quotes,
// comments), and what a damaged file holds: the registry's checks apply.
TEST_F(FileStoreTest, ReadsWhatAPersonWritesWithTheStoresChecks) {
    WriteText("\xEF\xBB\xBF; mine\r\nstray=1\r\n[setting]\r\n Location = 7 \r\nAlpha=300\r\nTime=0x64\r\n"
              "Fade=1x\r\nFont=0102\r\nLanguage=0x0409 ; English\r\nDarkSystemParts=0\r\n[TASKS]\n"
              "Count=3   ; my three tasks\n[Task2]\nName=  \" 二 \"  \n"
              "File=" + std::string(300, 'f') + "\nvk=-1\n[Task0]\nname=零\nfsModifiers=2\nvk=75\nShow=\n"
              "Parameter=^name ^^ ^r\n[Task3]\nName=past the count\n[Task03]\nName=not a task's name\n");
    EXPECT_EQ(0x0409u, StoredLanguage());
    EXPECT_EQ(0u, StoredSetting(L"DarkSystemParts", 1));
    EXPECT_EQ(7u, StoredSetting(L"Unwritten", 7));
    const LOGFONTW seeded = g_displaySettings.Font;
    ASSERT_NE(0, LoadStore());
    EXPECT_EQ(Center, g_displaySettings.Location);
    EXPECT_EQ(192, g_displaySettings.Alpha);  // out of range: kept
    EXPECT_EQ(100, g_displaySettings.Time);
    EXPECT_EQ(1, g_displaySettings.Fade);     // not a number: kept
    EXPECT_EQ(0, memcmp(&seeded, &g_displaySettings.Font, sizeof(LOGFONTW)));
    ASSERT_EQ((std::vector<std::wstring>{L"零", L" 二 ", L"past the count"}), Names());
    const Task& zero = *g_taskList.At(0);
    // Written before texts were escaped, or by a person: every "^" as it stands.
    EXPECT_STREQ(L"^name ^^ ^r", zero.Parameter);
    EXPECT_EQ(UINT(MOD_CONTROL), zero.fsModifiers);
    EXPECT_EQ(75u, zero.vk);
    EXPECT_EQ(1, zero.Show);
    EXPECT_NE(0, zero.Atom);
    const Task& two = *g_taskList.At(1);
    EXPECT_EQ(kNoKey, two.vk);
    EXPECT_EQ(std::wstring(259, L'f'), two.File);  // cut to its field
}

// Every text round-trips, spaces and quotes at its ends and other scripts
// included; values this version does not know stay in the file.
TEST_F(FileStoreTest, SaveThenLoadGivesEveryTextAndKeepsUnknownSettings) {
    WriteText("[Setting]\r\nLanguage=1041\r\nLater=\" x \"\r\nCaret=a^nb\r\nAlpha=5\r\n");
    const wchar_t* texts[] = {L" 前後に空白 ", L"\"引用\"", L"\"", L"a=b;c", L"Ελληνικά 한국어 😀", L"%TEMP%\\x",
                             L"一行目\r\n二行目\n\r", L"^n ^^ ^r ^", L"\n"};
    g_taskList.Clear();
    for (const wchar_t* text : texts) {
        auto task = LetterTask('A');
        lstrcpyW(task->Name, text);
        lstrcpyW(task->Parameter, text);
        task->IconIndex = -3;
        g_taskList.Append(std::move(task));
    }
    g_displaySettings.Alpha = 255;
    const std::wstring saved = StoredState();
    ASSERT_TRUE(SaveStore());
    g_taskList.Clear();
    SeedDisplaySettings();
    ASSERT_NE(0, LoadStore());
    EXPECT_EQ(saved, StoredState());
    EXPECT_EQ(1041u, StoredLanguage());
    SettingsFile written;
    ASSERT_TRUE(written.Read(file.c_str()));
    wchar_t later[16] = {};
    EXPECT_TRUE(written.ReadText(written.FindSection(L"Setting"), L"Later", later, 16));
    EXPECT_STREQ(L" x ", later);
    EXPECT_TRUE(written.ReadText(written.FindSection(L"Setting"), L"Caret", later, 16));
    EXPECT_STREQ(L"a^nb", later);
}

TEST_F(FileStoreTest, SaveStoppedAtAnyWriteLoadsTheOldOrTheNewFileWhole) {
    auto storeOld = [this] {
        g_fileWrites = g_realFileWrites;
        WriteText("[Setting]\r\nLanguage=1041\r\n");
        g_taskList.Clear();
        for (wchar_t letter : std::wstring(L"ABCD")) {
            g_taskList.Append(LetterTask(letter));
        }
        SeedDisplaySettings();
        ASSERT_TRUE(SaveStore());
    };
    auto edit = [] {
        g_taskList.Remove(g_taskList.At(1));
        g_taskList.Append(LetterTask('E'));
        g_displaySettings.Alpha = 77;
    };
    storeOld();
    const std::wstring oldState = StoredState();
    edit();
    const std::wstring newState = StoredState();
    RefuseFileWrites(SIZE_MAX, false);
    ASSERT_TRUE(SaveStore());
    const size_t count = g_written;
    EXPECT_EQ(5u, count);  // create, mark, text, flush, move
    for (bool onlyOne : {false, true}) {
        for (size_t n = 0; n <= count - onlyOne; ++n) {
            SCOPED_TRACE(std::string(onlyOne ? "only write " : "writes from ") + std::to_string(n) + " refused");
            storeOld();
            edit();
            RefuseFileWrites(n, onlyOne);
            SetLastError(ERROR_SUCCESS);
            const bool saved = SaveStore();
            EXPECT_EQ(n == count, saved);
            if (!saved) {
                EXPECT_EQ(DWORD(ERROR_DISK_FULL), GetLastError());
            }
            g_fileWrites = g_realFileWrites;
            g_taskList.Clear();
            SeedDisplaySettings();
            ASSERT_NE(0, LoadStore());
            EXPECT_EQ(n == count ? newState : oldState, StoredState());
            EXPECT_EQ(1041u, StoredLanguage());
            // Cleared away, unless the clearing itself was refused.
            EXPECT_EQ(!onlyOne && n > 0 && n < count, Exists(file + L".new"));
            DeleteFileW((file + L".new").c_str());
        }
    }
}

TEST_F(FileStoreTest, ReadOnlyFileIsLeftAsItWas) {
    WriteText("[Tasks]\r\nCount=0\r\n");
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(SaveStore());
    SettingsFile left;
    ASSERT_TRUE(left.Read(file.c_str()));
    EXPECT_LT(left.FindSection(L"Setting"), 0);
}

TEST_F(FileStoreTest, ExportThenImportGivesTheTasksAndSettingsWithTheirHotkeys) {
    // Read only at start-up, so taken from the store, not from memory.
    WriteText("[Setting]\r\nLanguage=1041\r\nDarkSystemParts=0\r\n");
    g_displaySettings.Location = BottomLeft;
    const std::wstring exported = folder + L"\\Tessaly-settings.ini";
    ASSERT_TRUE(ExportStore(exported.c_str()));
    WriteText("[Setting]\r\nLanguage=1033\r\n");
    const std::wstring state = StoredState();
    g_taskList.Clear();
    g_taskList.Append(LetterTask('Q'));
    g_displaySettings.Location = Center;

    // Every task numbered in reverse order, with a count of -1: the most a
    // load takes, each section found without a search through the others.
    std::string reversed = "[Tasks]\r\nCount=-1\r\n";
    for (size_t i = kMaxStoredTasks; i-- > 0;) {
        reversed += "[Task" + std::to_string(i) + "]\r\nName=t" + std::to_string(i) + "\r\nvk=-1\r\nShow=1\r\n";
    }
    const struct {
        std::string text;  // empty: the export
        bool read;
        size_t tasks;
    } cases[] = {
        {"", true, 2},
        {"[Tasks]\r\nCount=3\r\n[Task1]\r\nName=one\r\n", true, 1},
        {"[Tasks]\r\nCount=0\r\n", true, 0},
        {"[Setting]\r\nAlpha=16\r\n", false, 0},
        {"[Tasks]\r\nCount=many\r\n", false, 0},
        {"\xFF\xFF not text", false, 0},
        {"[Tasks]\r\nCount=2 ; two of three\r\n[Task0]\r\n[Task1]\r\n[Task2]\r\n", true, 3},
        {"[Tasks]\r\nCount=two\r\n[Task1]\r\nName=one\r\n[Task0]\r\nName=zero\r\n", true, 2},
        {"[Task2]\r\nName=two\r\n[Task0]\r\nName=zero\r\n", true, 2},
        {reversed, true, kMaxStoredTasks},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 80));
        const std::wstring path = c.text.empty() ? exported : folder + L"\\other.ini";
        if (!c.text.empty()) {
            WriteText(c.text, path);
        }
        g_settingsLineSteps = 0;
        StoreImport import;
        const bool read = import.Read(path.c_str());
        EXPECT_EQ(c.read, read);
        if (c.read && read) {
            EXPECT_EQ(c.tasks, import.TaskCount());
            import.Apply();
            EXPECT_EQ(c.tasks, g_taskList.Count());
            if (c.tasks == 2 && c.text.find("Name") != std::string::npos) {
                EXPECT_STREQ(L"zero", g_taskList.At(0)->Name);
            }
        }
        // Each line is stepped over for the few values asked of its section.
        const size_t lines = static_cast<size_t>(std::count(c.text.begin(), c.text.end(), '\n')) + 1;
        EXPECT_TRUE(c.text.empty() || g_settingsLineSteps < 64 * lines) << g_settingsLineSteps << " steps";
        DeleteFileW((folder + L"\\other.ini").c_str());
    }
    StoreImport import;
    ASSERT_TRUE(import.Read(exported.c_str()));
    import.Apply();
    EXPECT_EQ(state, StoredState());
    EXPECT_EQ(BottomLeft, g_displaySettings.Location);
    for (const auto& task : g_taskList) {
        EXPECT_NE(0, task->Atom);
    }
    // The language and the system parts' look come with it at the next save.
    EXPECT_EQ(1033u, StoredLanguage());
    ASSERT_TRUE(SaveStore());
    EXPECT_EQ(1041u, StoredLanguage());
    EXPECT_EQ(0u, StoredSetting(L"DarkSystemParts", 1));
    DeleteFileW(exported.c_str());
}

// Only a missing or empty file is a first start: a file in another encoding
// is read, and one that still cannot be read is set aside, never saved over.
TEST_F(FileStoreTest, AFileThatCannotBeReadIsReadAnotherWayOrSetAside) {
    std::string ansi = "[Tasks]\r\nCount=1\r\n[Task0]\r\nName=Caf\xE9\r\n";
    wchar_t cafe[8] = {};
    MultiByteToWideChar(CP_ACP, 0, "Caf\xE9", 4, cafe, 8);
    std::string bigEndian = "\xFE\xFF";
    for (wchar_t c : std::wstring(L"[Tasks]\r\nCount=1\r\n[Task0]\r\nName=Café 一\r\n")) {
        bigEndian += static_cast<char>(c >> 8);
        bigEndian += static_cast<char>(c & 0xFF);
    }
    const std::string garbage = "\x01\x02 not settings\r\n";
    const struct {
        const char* what;
        std::string text;
        std::wstring name;            // empty: the defaults stay
        const wchar_t* setAsideTo;    // null: the file stays
        bool firstStart;
        bool earlierSetAside;
        bool locked;
    } cases[] = {
        {"ANSI", ansi, cafe, nullptr, false},
        {"UTF-16 big-endian", bigEndian, L"Café 一", nullptr, false},
        {"no section", garbage, L"", L".bad", true},
        {"no section, one set aside before", garbage, L"", L".bad2", true, true},
        {"only blanks and comments: empty", " \r\n; nothing yet\r\n", L"", nullptr, true},
        {"open in another program", ansi, L"", nullptr, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        WriteText(c.text);
        if (c.earlierSetAside) {
            WriteText("earlier", file + L".bad");
        }
        HANDLE lock = c.locked ? CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                               : INVALID_HANDLE_VALUE;
        const bool firstStart = LoadStore() == 0;
        EXPECT_EQ(c.firstStart, firstStart);
        const std::vector<std::wstring> names =
            c.name.empty() ? std::vector<std::wstring>{L"メモ帳", L"電卓"} : std::vector<std::wstring>{c.name};
        EXPECT_EQ(names, Names());
        bool saved = true;
        EXPECT_EQ(c.setAsideTo ? file + c.setAsideTo : L"", SetAsidePlace(saved));
        if (c.setAsideTo) {
            EXPECT_FALSE(saved);
            // Empty in its place: still a portable copy, should it end now.
            WIN32_FILE_ATTRIBUTE_DATA data = {};
            EXPECT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data));
            EXPECT_EQ(0u, data.nFileSizeLow);
            SetProgramFolder(folder.c_str());  // as the next start finds it
            EXPECT_NE(nullptr, PortableStoreFile());
            // Said once.
            EXPECT_EQ(L"", SetAsidePlace(saved));
        }
        // Closing the settings unchanged writes over nothing.
        EXPECT_TRUE(SaveStore());
        if (lock != INVALID_HANDLE_VALUE) {
            CloseHandle(lock);
        }
        const std::wstring kept = c.setAsideTo ? file + c.setAsideTo : file;
        if (c.setAsideTo || c.locked) {
            std::string bytes(c.text.size() + 1, '\0');
            HANDLE handle = CreateFileW(kept.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            DWORD read = 0;
            ReadFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
            CloseHandle(handle);
            EXPECT_EQ(c.text, bytes.substr(0, read));
        }
        if (c.earlierSetAside) {
            HANDLE handle = CreateFileW((file + L".bad").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            char bytes[16] = {};
            DWORD read = 0;
            ReadFile(handle, bytes, sizeof(bytes), &read, nullptr);
            CloseHandle(handle);
            EXPECT_EQ(std::string("earlier"), std::string(bytes, read));
        }
    }
}

// A store that could not be read is written over only once the user has
// changed the settings, and then set aside first, which the user is told.
TEST_F(StoreTest, AStoreThatFailedToLoadIsSetAsideOnlyWhenTheSettingsChange) {
    static bool refuseProgramKey;
    const struct {
        const char* what;
        bool refused;
        bool earlierSetAside;
    } cases[] = {{"program key refused", true, false}, {"tasks without their count", false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        StoreTask(0, MOD_CONTROL | MOD_ALT, 'A', L"a");
        StoreTask(1, MOD_CONTROL | MOD_ALT, 'B', L"b");
        if (c.refused) {
            StoreCount(2);
        }
        HKEY earlier = nullptr;
        if (c.earlierSetAside) {
            RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Norv\\Tessaly.bad", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &earlier, nullptr);
            RegCloseKey(earlier);
        }
        // Start-up took its language; the store the save makes goes on with it.
        HKEY setting = test::CreateStoreKey(L"Setting");
        WriteDword(setting, L"Language", 1033);
        RegCloseKey(setting);
        refuseProgramKey = c.refused;
        g_registryReads.openKey = [](HKEY parent, LPCWSTR name, DWORD options, REGSAM access, PHKEY key) -> LSTATUS {
            if (refuseProgramKey && lstrcmpiW(name, L"Tessaly") == 0) {
                return ERROR_ACCESS_DENIED;
            }
            return RegOpenKeyExW(parent, name, options, access, key);
        };
        LoadStore();
        EXPECT_EQ((std::vector<std::wstring>{L"メモ帳", L"電卓"}), Names());
        bool saved = false;
        EXPECT_EQ(L"", SetAsidePlace(saved));
        EXPECT_TRUE(SaveStore());
        EXPECT_EQ(L"", SetAsidePlace(saved));
        EXPECT_TRUE(harness::KeyExists(L"Software\\Norv\\Tessaly\\Tasks\\Task1"));
        DWORD location = 0;
        EXPECT_FALSE(harness::ReadDword(L"Software\\Norv\\Tessaly\\Setting", L"Location", location));

        g_taskList.Append(LetterTask('Z'));
        EXPECT_TRUE(SaveStore());
        const std::wstring setAside = c.earlierSetAside ? L"Tessaly.bad2" : L"Tessaly.bad";
        EXPECT_EQ(L"HKEY_CURRENT_USER\\Software\\Norv\\" + setAside, SetAsidePlace(saved));
        EXPECT_TRUE(saved);
        EXPECT_EQ(L"", SetAsidePlace(saved));
        g_registryReads = {RegOpenKeyExW, RegQueryValueExW};
        wchar_t kept[8] = {};
        DWORD size = sizeof(kept);
        RegGetValueW(HKEY_CURRENT_USER, (L"Software\\Norv\\" + setAside + L"\\Tasks\\Task1").c_str(), L"Name",
                     RRF_RT_REG_SZ, nullptr, kept, &size);
        EXPECT_STREQ(L"b", kept);
        DWORD language = 0;
        EXPECT_EQ(!c.refused, harness::ReadDword(L"Software\\Norv\\Tessaly\\Setting", L"Language", language));
        EXPECT_EQ(c.refused ? 0u : 1033u, language);
        g_taskList.Clear();
        ASSERT_NE(0, LoadStore());
        EXPECT_EQ((std::vector<std::wstring>{L"メモ帳", L"電卓", L"Z"}), Names());
    }
}

UINT g_driveTypeAnswer;
UINT WINAPI AnsweredDriveType(LPCWSTR) { return g_driveTypeAnswer; }

// In a portable copy a path without a drive is the program's folder's, and
// a picked file that moves with the folder is kept relative to it.

TEST_F(FileStoreTest, PathsWithoutADriveAreTakenFromTheProgramsFolder) {
    const std::wstring drive = folder.substr(0, 2);
    const struct {
        const wchar_t* path;
        std::wstring anchored;
    } cases[] = {
        {L"Apps\\x.exe", folder + L"\\Apps\\x.exe"},
        {L".\\Apps\\x.exe", folder + L"\\Apps\\x.exe"},
        {L"..\\x.exe", folder.substr(0, folder.rfind(L'\\')) + L"\\x.exe"},
        {L"\\Apps\\x.exe", drive + L"\\Apps\\x.exe"},
        {L"C:\\Apps\\x.exe", L"C:\\Apps\\x.exe"},
        {L"\\\\server\\share\\x.exe", L"\\\\server\\share\\x.exe"},
        {L"%SystemRoot%\\x.exe", L"%SystemRoot%\\x.exe"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        wchar_t anchored[MAX_PATH];
        const wchar_t* result = AnchorPath(c.path, anchored);
        ASSERT_NE(nullptr, result) << testing::PrintToString(std::wstring(c.path));
        EXPECT_EQ(c.anchored, result) << testing::PrintToString(std::wstring(c.path));
    }
    // What a picker chose: relative only when it moves with the folder.
    std::wstring up;  // from the folder to the root of its drive
    for (size_t slash = folder.find(L'\\'); slash != std::wstring::npos; slash = folder.find(L'\\', slash + 1)) {
        up += L"..\\";
    }
    std::wstring upper = folder;
    CharUpperW(upper.data());
    const std::wstring other = drive[0] == L'Q' ? L"R:" : L"Q:";
    const struct {
        std::wstring picked;
        UINT driveType;
        std::wstring kept;
    } picks[] = {
        {folder + L"\\Apps\\x.exe", DRIVE_FIXED, L".\\Apps\\x.exe"},
        {upper + L"\\Apps\\x.exe", DRIVE_FIXED, L".\\Apps\\x.exe"},
        {drive + L"\\Program Files\\x.exe", DRIVE_FIXED, drive + L"\\Program Files\\x.exe"},
        {folder + L"-other\\x.exe", DRIVE_FIXED, folder + L"-other\\x.exe"},
        {drive + L"\\Program Files\\x.exe", DRIVE_REMOVABLE, up + L"Program Files\\x.exe"},
        {folder + L"\\Apps\\x.exe", DRIVE_REMOVABLE, L".\\Apps\\x.exe"},
        {other + L"\\x.exe", DRIVE_REMOVABLE, other + L"\\x.exe"},
        {L"\\\\server\\share\\x.exe", DRIVE_REMOVABLE, L"\\\\server\\share\\x.exe"},
    };
    tessaly::g_driveType = AnsweredDriveType;
    for (const auto& p : picks) {
        SCOPED_TRACE(testing::PrintToString(p.picked) + (p.driveType == DRIVE_REMOVABLE ? " on a stick" : ""));
        g_driveTypeAnswer = p.driveType;
        wchar_t picked[MAX_PATH];
        lstrcpyW(picked, p.picked.c_str());
        MakeProgramRelative(picked);
        EXPECT_EQ(p.kept, picked);
        wchar_t anchored[MAX_PATH];
        EXPECT_EQ(0, lstrcmpiW(p.picked.c_str(), AnchorPath(picked, anchored)));
    }
    tessaly::g_driveType = GetDriveTypeW;

    // An installed copy takes every path as written.
    SetProgramFolder(nullptr);
    wchar_t anchored[MAX_PATH];
    EXPECT_STREQ(L"Apps\\x.exe", AnchorPath(L"Apps\\x.exe", anchored));
}

}  // namespace
