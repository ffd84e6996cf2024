// What comes from outside the program, by the thousand: damaged stores, stores
// read back after a save, and the words of a second start. Every loop is
// seeded, so a failure names the case that reproduces it.

#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <iterator>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "app/tray_icon.h"
#include "model/command_search.h"
#include "model/display_settings.h"
#include "model/registry.h"
#include "model/store.h"
#include "resources/resource.h"
#include "tests/unit/test_support.h"
#include "tools/ombrel/ombrel_words.h"
#include "windows/task_rows.h"

namespace {

struct FakeValue {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
};
// The store served from memory: every key's values, by its path under
// HKEY_CURRENT_USER; and the paths of the keys opened since, by handle.
std::map<std::wstring, std::vector<FakeValue>> g_keys;
std::vector<std::wstring> g_opened;
// The store closes its keys with RegCloseKey itself. A value with the high bit
// set lies among the predefined keys: never one of the process's real handles,
// and under Wine closed without a trip to the server.
constexpr LONG_PTR kFirstFakeKey = static_cast<LONG>(0x80100000);

size_t OpenedIndex(HKEY key) {
    return static_cast<size_t>(reinterpret_cast<LONG_PTR>(key) - kFirstFakeKey);
}

LSTATUS WINAPI FakeOpenKey(HKEY parent, LPCWSTR name, DWORD, REGSAM, PHKEY key) {
    const size_t index = OpenedIndex(parent);
    const std::wstring path = parent == HKEY_CURRENT_USER ? name
                              : index < g_opened.size()   ? g_opened[index] + L"\\" + name
                                                          : L"";
    if (g_keys.count(path) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    *key = reinterpret_cast<HKEY>(kFirstFakeKey + static_cast<LONG_PTR>(g_opened.size()));
    g_opened.push_back(path);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI FakeQueryValue(HKEY key, LPCWSTR name, LPDWORD, LPDWORD type, LPBYTE data,
                              LPDWORD size) {
    const size_t index = OpenedIndex(key);
    if (index >= g_opened.size()) {
        return ERROR_INVALID_HANDLE;
    }
    for (const FakeValue& value : g_keys[g_opened[index]]) {
        if (value.name != name) {
            continue;
        }
        // As the system answers a buffer too small: the size needed, and no value in it.
        const DWORD capacity = *size;
        *type = value.type;
        *size = static_cast<DWORD>(value.data.size());
        memset(data, 0xA5, capacity);
        if (*size > capacity) {
            return ERROR_MORE_DATA;
        }
        std::copy(value.data.begin(), value.data.end(), data);
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

using harness::StoreField;
using harness::kSettingFields;
using harness::kTaskFields;
constexpr DWORD kTypes[] = {REG_NONE,   REG_SZ,       REG_EXPAND_SZ,
                            REG_BINARY, REG_DWORD,    REG_DWORD_BIG_ENDIAN,
                            REG_LINK,   REG_MULTI_SZ, REG_QWORD};
constexpr DWORD kEdges[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};

// A task's field by its place in kTaskFields: a 32-bit number or a text.
void* FieldOf(Task& task, size_t field) {
    void* fields[] = {&task.fsModifiers,  &task.vk,      task.File,       task.Parameter,
                      task.WorkingFolder, &task.Show,    &task.RunAs,     task.Name,
                      task.Sound,         task.IconPath, &task.IconIndex, &task.ShowLauncher,
                      &task.Activate,     &task.Toggle,   &task.Condition, task.Programs,
                      &task.NextModifiers, &task.NextVk};
    return fields[field];
}
std::wstring FieldText(Task& task, size_t field) {
    if (kTaskFields[field].type == REG_SZ) {
        return static_cast<const wchar_t*>(FieldOf(task, field));
    }
    DWORD number = 0;
    memcpy(&number, FieldOf(task, field), 4);
    return std::to_wstring(number);
}

class Damage {
public:
    explicit Damage(unsigned seed) : m_random(seed) {}
    DWORD Below(DWORD bound) { return m_random() % bound; }
    DWORD Edge() { return Below(2) ? kEdges[Below(6)] : m_random(); }
    // Letters, path characters, quotes, surrogate halves, and anything.
    wchar_t Unit() {
        static const wchar_t kUnits[] = {L'a', L'Z', L'.',   L'\\',  L':',   L'%',
                                         L' ', L'"', 0xD83D, 0xDE00, 0xFFFF, 0x3042};
        return Below(4) ? kUnits[Below(12)] : static_cast<wchar_t>(m_random());
    }
    static FakeValue Dword(const wchar_t* name, DWORD value) {
        const BYTE* bytes = reinterpret_cast<const BYTE*>(&value);
        return {name, REG_DWORD, std::vector<BYTE>(bytes, bytes + 4)};
    }
    // Mostly of its own type; empty, odd, exact, a unit short or over, a few
    // kilobytes past; a terminator at the end, inside or nowhere.
    FakeValue Value(const StoreField& field) {
        DWORD type = Below(3) ? field.type : kTypes[Below(9)];
        type = type == REG_SZ && Below(2) ? REG_EXPAND_SZ : type;
        const DWORD sizes[] = {
            0,          1 + Below(8),   field.size - 2, field.size - 1,
            field.size, field.size + 1, field.size + 2, field.size + Below(4096)};
        DWORD size = Below(2)               ? sizes[Below(8)]
                     : field.type == REG_SZ ? Below(field.size)
                                            : field.size;
        std::vector<BYTE> data(size);
        for (size_t i = 0; i < size; i += 2) {
            wchar_t unit = Unit();
            memcpy(&data[i], &unit, size - i < 2 ? 1 : 2);
        }
        if (size >= 2 && Below(3)) {
            memset(&data[Below(2) ? (size - 2) & ~1u : Below(size / 2) * 2], 0, 2);
        }
        if (size == sizeof(LOGFONTW) && Below(2)) {
            LOGFONTW font = {};
            font.lfHeight = static_cast<LONG>(Below(2) ? Edge() : Below(1003) - 501);
            font.lfWidth = static_cast<LONG>(Below(4) ? 0 : Edge());
            for (wchar_t& c : font.lfFaceName) {
                c = Below(8) ? Unit() : L'\0';
            }
            memcpy(data.data(), &font, size);
        }
        if (size == 4 && Below(2)) {
            DWORD edge = Edge();
            memcpy(data.data(), &edge, 4);
        }
        return {field.name, type, std::move(data)};
    }
    std::vector<FakeValue> Values(const StoreField* fields, size_t count) {
        std::vector<FakeValue> values;
        for (size_t i = 0; i < count; ++i) {
            // Mostly "no key": each registered hotkey is a round trip to the server.
            if (wcscmp(fields[i].name, L"vk") == 0 && Below(32)) {
                values.push_back(Dword(L"vk", kNoKey));
            } else if (Below(8)) {
                values.push_back(Value(fields[i]));
            }
        }
        return values;
    }

private:
    std::mt19937 m_random;
};

class RobustnessTest : public testing::Test {
protected:
    void SetUp() override {
        g_trayIcon.Create(owner.window(), TRAY_ICON_ID, WM_TRAYNOTIFY, nullptr, L"Tessaly", 1);
        SeedDisplaySettings();
        seeded = g_displaySettings;
    }
    void TearDown() override {
        g_registryReads = {RegOpenKeyExW, RegQueryValueExW};
        g_taskList.Clear();
        g_trayIcon.Destroy();
        g_displaySettings = seeded;
        test::DeleteStore();
    }
    test::HotKeyOwner owner;
    test::FakeTrayShell tray;
    DisplaySettings seeded;
};

bool Terminated(const wchar_t* text, size_t length) { return wmemchr(text, L'\0', length); }

TEST_F(RobustnessTest, DamagedStoresLoadIntoTerminatedUsableTasks) {
    g_registryReads = {FakeOpenKey, FakeQueryValue};
    for (unsigned seed = 0; seed < 10000; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        g_taskList.Clear();
        g_displaySettings = seeded;
        Damage damage(seed);
        // Mostly a few tasks; now and then an edge value, or a Count at or next to the cap.
        DWORD count = damage.Below(100) ? damage.Below(12)
                      : damage.Below(2) ? damage.Edge()
                                        : kMaxStoredTasks - 1 + damage.Below(3);
        const std::wstring program = L"Software\\Norv\\Tessaly", tasks = program + L"\\Tasks";
        g_keys = {
            {L"Software", {}}, {L"Software\\Norv", {}}, {tasks, {damage.Dword(L"Count", count)}}};
        if (damage.Below(32) == 0) {
            const FakeValue& damaged = g_keys[tasks][0] = damage.Value({L"Count", REG_DWORD, 4});
            count = 0;
            if (damaged.type == REG_DWORD && damaged.data.size() == 4) {
                memcpy(&count, damaged.data.data(), 4);
            }
        }
        // Holes in the numbering; past a large Count, the last task loaded and the first not.
        std::vector<DWORD> indices{0, 1, 2, 3, 4, 5, 6, 7};
        if (count > indices.size()) {
            indices.insert(indices.end(), {kMaxStoredTasks - 1, kMaxStoredTasks});
        }
        size_t expected = 0;
        for (DWORD index : indices) {
            if (damage.Below(4)) {
                g_keys[tasks + L"\\Task" + std::to_wstring(index)] = damage.Values(kTaskFields, 12);
                expected += index < count && index < kMaxStoredTasks;
            }
        }
        if (damage.Below(16)) {
            g_keys[program + L"\\Setting"] = damage.Values(kSettingFields, 7);
        }
        if (damage.Below(16) == 0) {
            g_keys.erase(tasks);
            expected = 0;
        }
        const bool programStored = damage.Below(32) != 0;
        if (programStored) {
            g_keys[program];
        }
        g_opened.clear();

        ASSERT_EQ(programStored ? 1 : 0, LoadStore());
        ASSERT_EQ(programStored ? expected : 0, g_taskList.Count());
        for (const auto& task : g_taskList) {
            for (size_t field = 0; field < 12; ++field) {
                auto text = static_cast<const wchar_t*>(FieldOf(*task, field));
                ASSERT_TRUE(kTaskFields[field].type != REG_SZ || Terminated(text, kTextFieldLength))
                    << kTaskFields[field].name;
            }
            wchar_t row[kRowTextLength];
            for (bool showCommand : {false, true}) {
                FormatTaskRowText(*task, showCommand, row);
                ASSERT_TRUE(Terminated(row, kRowTextLength));
            }
            // A search walks the file system, milliseconds under Wine: a sample.
            wchar_t resolved[MAX_PATH];
            if (seed % 100 == 0 && ResolveCommand(task->File, resolved)) {
                ASSERT_TRUE(Terminated(resolved, MAX_PATH));
            }
        }
        // Within the bounds the load keeps them in.
        const DisplaySettings& settings = g_displaySettings;
        ASSERT_TRUE(settings.Location >= Hidden && settings.Location <= Center);
        ASSERT_TRUE(settings.Alpha >= 0 && settings.Alpha <= 255);
        ASSERT_TRUE(settings.Time >= 0 && settings.Time <= 60000);
        ASSERT_TRUE(settings.Font.lfHeight >= -500 && settings.Font.lfHeight <= 500);
        ASSERT_TRUE(settings.Font.lfWidth >= -500 && settings.Font.lfWidth <= 500);
        ASSERT_TRUE(Terminated(settings.Font.lfFaceName, LF_FACESIZE));
    }
}

TEST_F(RobustnessTest, EveryStoredFieldRoundTripsExactly) {
    const std::wstring pair = L"\xD83D\xDE00";
    std::wstring pairs;
    while (pairs.size() < 258) {
        pairs += pair;
    }
    const std::wstring texts[] = {std::wstring(259, L'x'),
                                  L"",
                                  std::wstring(257, L'y') + pair,
                                  std::wstring(256, L'w') + pair + L"w",
                                  pairs + L"z",
                                  L"%TEMP%\\メモ帳 " + pair + L"\xD840\xDC0B \"a\""};
    // Per Location: an alpha and a time the settings dialog offers, a font height.
    const int dialog[][3] = {{0, 0, -11},      {16, 100, -16},   {128, 1500, -96},
                             {192, 5000, -13}, {240, 2300, -37}, {255, 4900, -120},
                             {32, 200, -8},    {224, 3000, -64}};
    for (int round = Hidden; round <= Center; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        test::DeleteStore();
        g_taskList.Clear();
        // Each field takes every edge value and every text once a round.
        std::vector<std::vector<std::wstring>> saved(6);
        for (size_t j = 0; j < saved.size(); ++j) {
            auto task = std::make_unique<Task>();
            for (size_t field = 0; field < 12; ++field) {
                const DWORD edge = kEdges[(round + j + field) % 6];
                if (kTaskFields[field].type == REG_DWORD) {
                    memcpy(FieldOf(*task, field), &edge, 4);
                } else {
                    lstrcpyW(static_cast<wchar_t*>(FieldOf(*task, field)),
                             texts[(round + j + field) % 6].c_str());
                }
                saved[j].push_back(FieldText(*task, field));
            }
            g_taskList.Append(std::move(task));
        }
        DisplaySettings settings = seeded;
        settings.Location = round;
        settings.Alpha = dialog[round][0];
        settings.Time = dialog[round][1];
        settings.Font.lfHeight = dialog[round][2];
        settings.Font.lfItalic = round % 2;
        lstrcpynW(settings.Font.lfFaceName, texts[round % 6].c_str(), LF_FACESIZE);
        settings.Fade = static_cast<int>(kEdges[round % 6]);
        settings.FontColor = kEdges[(round + 1) % 6];
        g_displaySettings = settings;
        g_trayIcon.Show(round % 2);
        SaveStore();

        g_taskList.Clear();
        g_displaySettings = seeded;
        g_trayIcon.Show(round % 2 == 0);
        ASSERT_NE(0, LoadStore());
        ASSERT_EQ(saved.size(), g_taskList.Count());
        for (size_t j = 0; j < saved.size(); ++j) {
            for (size_t field = 0; field < 12; ++field) {
                EXPECT_EQ(saved[j][field], FieldText(*g_taskList.At(j), field))
                    << "task " << j << " " << kTaskFields[field].name;
            }
        }
        EXPECT_EQ(settings.Location, g_displaySettings.Location);
        EXPECT_EQ(settings.Alpha, g_displaySettings.Alpha);
        EXPECT_EQ(settings.Time, g_displaySettings.Time);
        EXPECT_EQ(0, memcmp(&settings.Font, &g_displaySettings.Font, sizeof(LOGFONTW)));
        EXPECT_EQ(settings.Fade, g_displaySettings.Fade);
        EXPECT_EQ(settings.FontColor, g_displaySettings.FontColor);
        EXPECT_EQ(round % 2, g_trayIcon.m_bShown != 0);
    }
}

// The rule for the words, written out again: the last word whose first four
// characters, ASCII letters folded, open "launcher", "menu" or "pause" wins.
UINT ExpectedCommand(int argc, const wchar_t* const* argv) {
    UINT command = IDM_SETTINGS;
    for (int i = 1; i < argc; ++i) {
        std::wstring head = std::wstring(argv[i]).substr(0, 4);
        for (wchar_t& c : head) {
            c = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
        }
        command = head == L"laun"   ? IDM_SHOW_LAUNCHER
                  : head == L"menu" ? IDM_SHOW_MENU
                  : head == L"paus" ? IDM_PAUSE
                                    : command;
    }
    return command;
}

TEST(SecondStartWords, RandomCommandLinesGiveTheLastRecognisedWordsCommand) {
    // Quotes, blanks, letters that fold only under other rules (Kelvin sign,
    // dotted and dotless i, long s, full-width m), surrogates, a non-character.
    const wchar_t odd[] = {L'"',   L'\\',  L' ',   L'\t',  0x212A, 0x0130, 0x0131,
                           0x017F, 0xFF4D, 0xD83D, 0xDE00, 0xFFFF, L'a',   L'N'};
    const wchar_t* stems[] = {L"launcher", L"menu", L"LAUN", L"Menus", L"lau",
                              L"men",      L"exit", L"",     L"pause", L"pau"};
    for (unsigned seed = 0; seed < 5000; ++seed) {
        Damage damage(seed);
        std::wstring line = L"Tessaly.exe";
        for (DWORD n = damage.Below(6); n > 0; --n) {
            std::wstring word = stems[damage.Below(std::size(stems))];
            for (wchar_t& c : word) {
                c = damage.Below(2) ? c ^ 0x20 : c;  // the stems are letters only
            }
            if (!word.empty() && damage.Below(4) == 0) {
                word[damage.Below(static_cast<DWORD>(word.size()))] = odd[damage.Below(14)];
            }
            for (DWORD more = damage.Below(20) ? damage.Below(4) : damage.Below(5000); more;
                 --more) {
                word += damage.Below(2) ? odd[damage.Below(14)]
                                        : static_cast<wchar_t>(1 + damage.Below(0xFFFF));
            }
            line += damage.Below(3) ? L" " + word : L" \"" + word + L"\"";
        }
        // Split as a started program's command line is.
        int argc = 0;
        wchar_t** argv = CommandLineToArgvW(line.c_str(), &argc);
        ASSERT_NE(nullptr, argv) << "seed " << seed;
        EXPECT_EQ(ExpectedCommand(argc, argv), CommandFromWords(argc, argv)) << "seed " << seed;
        LocalFree(argv);
    }
}

TEST(OmbrelWords, RandomWordsAskForTheCommandOfTheirFirstThreeLetters) {
    // What each word asks of a window that offers everything, and which
    // style takes the command away.
    const struct {
        const wchar_t* word;
        WPARAM command;
        DWORD refusedBy;
    } words[] = {
        {L"min", SC_MINIMIZE, 0}, {L"max", SC_MAXIMIZE, 0}, {L"mov", SC_MOVE, WS_MAXIMIZE},
        {L"siz", SC_SIZE, WS_MINIMIZE}, {L"clo", SC_CLOSE, 0},
    };
    const wchar_t odd[] = {0x0131, 0x0130, 0x212A, 0xFF4D, L'\0', L'"', 0xD83D, L'I', L'x'};
    for (unsigned seed = 0; seed < 5000; ++seed) {
        Damage damage(seed);
        const auto& pick = words[damage.Below(5)];
        std::wstring word = pick.word;
        for (wchar_t& c : word) {
            c = damage.Below(2) ? c ^ 0x20 : c;
        }
        const bool spoiled = damage.Below(4) == 0;
        if (spoiled) {
            word[damage.Below(3)] = odd[damage.Below(9)];
        }
        for (DWORD more = damage.Below(8); more; --more) {
            word += static_cast<wchar_t>(1 + damage.Below(0xFFFF));
        }
        const DWORD everything = WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU | WS_VISIBLE;
        // A spoiled word is still the same word when only its case changed.
        const bool same = lstrlenW(word.c_str()) >= 3 && (word[0] | 0x20) == pick.word[0] &&
                          (word[1] | 0x20) == pick.word[1] && (word[2] | 0x20) == pick.word[2] &&
                          word[0] < 0x80 && word[1] < 0x80 && word[2] < 0x80;
        EXPECT_EQ(same ? pick.command : 0, ombrel::CommandFor(word.c_str(), everything)) << "seed " << seed;
        if (same && pick.refusedBy) {
            EXPECT_EQ(0u, ombrel::CommandFor(word.c_str(), everything | pick.refusedBy)) << "seed " << seed;
        }
    }
}

}  // namespace
