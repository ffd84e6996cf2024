// The shipped binaries import only DLLs the system always takes from its own
// folder (the known DLLs), comctl32.dll (bound by the manifest) and our own
// two: any other name would be loaded from beside Tessaly.exe first.
#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

// Lower-case DLL names of the import and delay-import tables, read from the file.
std::vector<std::string> ImportedDlls(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    const std::vector<char> image((std::istreambuf_iterator<char>(file)), {});
    auto at = [&](size_t offset, size_t size) {
        return offset + size <= image.size() ? image.data() + offset : nullptr;
    };
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0, sizeof(IMAGE_DOS_HEADER)));
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(dos ? at(dos->e_lfanew, sizeof(IMAGE_NT_HEADERS64)) : nullptr);
    if (!nt || nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        ADD_FAILURE() << "not a 64-bit PE image";
        return {};
    }
    const WORD count = nt->FileHeader.NumberOfSections;
    auto sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
        at(dos->e_lfanew + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) + nt->FileHeader.SizeOfOptionalHeader,
           count * sizeof(IMAGE_SECTION_HEADER)));
    auto atRva = [&](DWORD rva, size_t size) -> const char* {
        for (WORD i = 0; sections && i < count; ++i) {
            if (rva >= sections[i].VirtualAddress && rva - sections[i].VirtualAddress < sections[i].SizeOfRawData) {
                return at(sections[i].PointerToRawData + rva - sections[i].VirtualAddress, size);
            }
        }
        return nullptr;
    };
    std::vector<std::string> names;
    // Records of both tables hold the DLL name's address as their fourth DWORD.
    const auto& directory = nt->OptionalHeader.DataDirectory;
    for (auto [rva, size] : {std::pair<DWORD, DWORD>{directory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress, 20},
                             {directory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress, 32}}) {
        for (auto record = reinterpret_cast<const DWORD*>(atRva(rva, size)); rva && record && record[3];
             record = reinterpret_cast<const DWORD*>(atRva(rva += size, size))) {
            std::string name;
            for (DWORD c = record[3]; atRva(c, 1) && *atRva(c, 1); ++c) {
                name += static_cast<char>(std::tolower(static_cast<unsigned char>(*atRva(c, 1))));
            }
            names.push_back(name);
        }
    }
    return names;
}

TEST(Imports, ShippedBinariesImportOnlyKnownSystemDllsAndOurOwn) {
    const std::set<std::string> allowed = {
        "kernel32.dll", "user32.dll",   "gdi32.dll",    "advapi32.dll", "shell32.dll",
        "shlwapi.dll",  "ole32.dll",    "oleaut32.dll", "comdlg32.dll", "msvcrt.dll",
        "imm32.dll",    "comctl32.dll", "quillet.dll",  "pirnel.dll"};
    for (const wchar_t* binary : {L"Tessaly.exe", L"quillet.dll", L"pirnel.dll", L"Ombrel.exe"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(binary)));
        const auto names = ImportedDlls(e2e::BinDir() + L"\\" + binary);
        EXPECT_FALSE(names.empty());
        for (const auto& name : names) {
            EXPECT_TRUE(allowed.count(name)) << name << " is not a known DLL of the system";
        }
    }
}

}  // namespace
