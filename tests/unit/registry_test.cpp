#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/registry.h"

namespace {

constexpr wchar_t kScratch[] = L"Software\\Norv\\TessalyRegistryTest";

class RegistryTest : public testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        key = registry::CreateKey(HKEY_CURRENT_USER, kScratch);
        ASSERT_TRUE(key);
    }
    void TearDown() override {
        key.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    }
    void Put(DWORD type, const std::vector<BYTE>& data) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.get(), L"v", 0, type, data.data(),
                                                static_cast<DWORD>(data.size())));
    }
    tessaly::unique_hkey key;
};

std::vector<BYTE> Bytes(const std::wstring& text, bool terminated = true) {
    const BYTE* p = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(p, p + (text.size() + (terminated ? 1 : 0)) * 2);
}

std::vector<BYTE> Dword(DWORD value) {
    const BYTE* p = reinterpret_cast<const BYTE*>(&value);
    return std::vector<BYTE>(p, p + 4);
}

TEST_F(RegistryTest, DwordReadsOnlyFourByteDwords) {
    const struct {
        const char* what;
        bool present;
        DWORD type;
        std::vector<BYTE> data;
        bool read;
        DWORD value;
    } cases[] = {
        {"dword", true, REG_DWORD, Dword(42), true, 42},
        {"missing", false, REG_DWORD, {}, false, 7},
        {"string", true, REG_SZ, Bytes(L"42"), false, 7},
        {"binary of four bytes", true, REG_BINARY, Dword(42), false, 7},
        {"qword", true, REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, false, 7},
        {"dword too long", true, REG_DWORD, {1, 0, 0, 0, 0}, false, 7},
        {"dword too short", true, REG_DWORD, {1, 0}, false, 7},
        {"empty dword", true, REG_DWORD, {}, false, 7},
    };
    for (const auto& c : cases) {
        RegDeleteValueW(key.get(), L"v");
        if (c.present) {
            Put(c.type, c.data);
        }
        DWORD value = 7;
        EXPECT_EQ(c.read, registry::ReadDword(key.get(), L"v", value)) << c.what;
        EXPECT_EQ(c.value, value) << c.what;
    }
}

TEST_F(RegistryTest, StringsAreAlwaysTerminatedOrLeftAlone) {
    const std::wstring full(259, L'x');
    const struct {
        const char* what;
        DWORD type;
        std::vector<BYTE> data;
        bool read;
        std::wstring value;
    } cases[] = {
        {"text", REG_SZ, Bytes(L"notepad"), true, L"notepad"},
        {"empty", REG_SZ, Bytes(L""), true, L""},
        {"259 characters", REG_SZ, Bytes(full), true, full},
        {"expandable, kept as written", REG_EXPAND_SZ, Bytes(L"%TEMP%"), true, L"%TEMP%"},
        {"short without terminator", REG_SZ, Bytes(L"calc", false), true, L"calc"},
        {"260 characters without terminator", REG_SZ, Bytes(std::wstring(260, L'y'), false), false,
         L"keep"},
        {"260 characters", REG_SZ, Bytes(std::wstring(260, L'y')), false, L"keep"},
        {"oversized", REG_SZ, Bytes(std::wstring(1000, L'y')), false, L"keep"},
        {"dword", REG_DWORD, Dword(5), false, L"keep"},
        {"binary text", REG_BINARY, Bytes(L"abc"), false, L"keep"},
        {"multi-string", REG_MULTI_SZ, Bytes(std::wstring(L"a\0b\0", 4)), false, L"keep"},
        {"odd byte count", REG_SZ, {'a', 0, 'b'}, true, L"a"},
        {"zero bytes", REG_SZ, {}, true, L""},
    };
    for (const auto& c : cases) {
        Put(c.type, c.data);
        wchar_t field[260];
        lstrcpyW(field, L"keep");
        EXPECT_EQ(c.read, registry::ReadString(key.get(), L"v", field)) << c.what;
        EXPECT_EQ(c.value, std::wstring(field)) << c.what;
        EXPECT_LT(wcsnlen(field, 260), 260u) << c.what;
    }
}

TEST_F(RegistryTest, MissingStringKeepsTheField) {
    wchar_t field[260];
    lstrcpyW(field, L"keep");
    EXPECT_FALSE(registry::ReadString(key.get(), L"absent", field));
    EXPECT_STREQ(L"keep", field);
}

TEST_F(RegistryTest, BinaryReadsOnlyTheExactSize) {
    const struct {
        const char* what;
        DWORD type;
        size_t size;
        bool read;
    } cases[] = {
        {"exact", REG_BINARY, 92, true},
        {"short", REG_BINARY, 60, false},
        {"oversized", REG_BINARY, 200, false},
        {"wrong type", REG_SZ, 92, false},
    };
    for (const auto& c : cases) {
        Put(c.type, std::vector<BYTE>(c.size, 0xAB));
        std::vector<BYTE> buffer(92, 0x11);
        EXPECT_EQ(c.read, registry::ReadBinary(key.get(), L"v", buffer.data(), 92)) << c.what;
        EXPECT_EQ(c.read ? 0xAB : 0x11, buffer[91]) << c.what;
    }
}

TEST_F(RegistryTest, WritesUseTheirTypesAndSizes) {
    ASSERT_TRUE(registry::WriteString(key.get(), L"empty", L""));
    ASSERT_TRUE(registry::WriteString(key.get(), L"text", L"calc"));
    ASSERT_TRUE(registry::WriteDword(key.get(), L"number", 0xFFFFFFFF));
    const struct {
        const wchar_t* name;
        DWORD type;
        DWORD size;
    } cases[] = {
        {L"empty", REG_SZ, 2},
        {L"text", REG_SZ, 10},
        {L"number", REG_DWORD, 4},
    };
    for (const auto& c : cases) {
        DWORD type = 0, size = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key.get(), c.name, nullptr, &type, nullptr, &size));
        EXPECT_EQ(c.type, type);
        EXPECT_EQ(c.size, size);
    }
}

TEST_F(RegistryTest, OpenKeyDoesNotCreate) {
    EXPECT_FALSE(registry::OpenKey(key.get(), L"absent"));
    EXPECT_TRUE(registry::CreateKey(key.get(), L"made"));
    EXPECT_TRUE(registry::OpenKey(key.get(), L"made"));
}

}  // namespace
