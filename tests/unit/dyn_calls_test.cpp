#include <gtest/gtest.h>

#include <string>

#include "common/dyn_calls.h"

namespace {

// Each member of DynCalls against the function its library gives under the
// member's own name: the names are one list bound in the order of the
// members, so a name out of place would give a member another's function.
struct BoundCase {
    SystemLibrary library;
    const wchar_t* module;
    void* (*member)(const DynCalls&);
    const char* name;  // or an ordinal
};

#define TESSALY_BOUND(library, module, member, name) \
    {SystemLibrary::library, module, [](const DynCalls& c) { return reinterpret_cast<void*>(c.member); }, name}

const BoundCase kBoundCases[] = {
    TESSALY_BOUND(Kernel32, L"kernel32.dll", setDefaultDllDirectories, "SetDefaultDllDirectories"),
    TESSALY_BOUND(Kernel32, L"kernel32.dll", getApplicationUserModelId, "GetApplicationUserModelId"),
    TESSALY_BOUND(User32, L"user32.dll", setLayeredWindowAttributes, "SetLayeredWindowAttributes"),
    TESSALY_BOUND(User32, L"user32.dll", getDpiForWindow, "GetDpiForWindow"),
    TESSALY_BOUND(User32, L"user32.dll", getSystemMetricsForDpi, "GetSystemMetricsForDpi"),
    TESSALY_BOUND(User32, L"user32.dll", systemParametersInfoForDpi, "SystemParametersInfoForDpi"),
    TESSALY_BOUND(User32, L"user32.dll", setDialogDpiChangeBehavior, "SetDialogDpiChangeBehavior"),
    TESSALY_BOUND(User32, L"user32.dll", getCurrentInputMessageSource, "GetCurrentInputMessageSource"),
    TESSALY_BOUND(Advapi32, L"advapi32.dll", regRenameKey, "RegRenameKey"),
    TESSALY_BOUND(Shell32, L"shell32.dll", simpleIdListFromPath, MAKEINTRESOURCEA(162)),
    TESSALY_BOUND(Shell32, L"shell32.dll", pickIconDlg, MAKEINTRESOURCEA(62)),
    TESSALY_BOUND(Comdlg32, L"comdlg32.dll", getOpenFileName, "GetOpenFileNameW"),
    TESSALY_BOUND(Comdlg32, L"comdlg32.dll", getSaveFileName, "GetSaveFileNameW"),
    TESSALY_BOUND(Comdlg32, L"comdlg32.dll", chooseFont, "ChooseFontW"),
    TESSALY_BOUND(Winmm, L"winmm.dll", playSound, "PlaySoundW"),
    TESSALY_BOUND(Comctl32, L"comctl32.dll", initCommonControlsEx, "InitCommonControlsEx"),
    TESSALY_BOUND(Comctl32, L"comctl32.dll", imageListCreate, "ImageList_Create"),
    TESSALY_BOUND(Comctl32, L"comctl32.dll", imageListDestroy, "ImageList_Destroy"),
    TESSALY_BOUND(Comctl32, L"comctl32.dll", imageListReplaceIcon, "ImageList_ReplaceIcon"),
    TESSALY_BOUND(Comctl32, L"comctl32.dll", imageListRemove, "ImageList_Remove"),
    TESSALY_BOUND(Comctl32, L"comctl32.dll", imageListGetIconSize, "ImageList_GetIconSize"),
    TESSALY_BOUND(Comctl32, L"comctl32.dll", imageListGetIcon, "ImageList_GetIcon"),
    TESSALY_BOUND(Oleacc, L"oleacc.dll", lresultFromObject, "LresultFromObject"),
    TESSALY_BOUND(Shcore, L"shcore.dll", getDpiForMonitor, "GetDpiForMonitor"),
    TESSALY_BOUND(Userenv, L"userenv.dll", createEnvironmentBlock, "CreateEnvironmentBlock"),
    TESSALY_BOUND(Userenv, L"userenv.dll", destroyEnvironmentBlock, "DestroyEnvironmentBlock"),
    TESSALY_BOUND(Dwmapi, L"dwmapi.dll", dwmGetWindowAttribute, "DwmGetWindowAttribute"),
    TESSALY_BOUND(Ole32, L"ole32.dll", coCreateInstance, "CoCreateInstance"),
    TESSALY_BOUND(Ole32, L"ole32.dll", coTaskMemAlloc, "CoTaskMemAlloc"),
    TESSALY_BOUND(Ole32, L"ole32.dll", coTaskMemFree, "CoTaskMemFree"),
    TESSALY_BOUND(Ole32, L"ole32.dll", iidFromString, "IIDFromString"),
    TESSALY_BOUND(Ole32, L"ole32.dll", oleDuplicateData, "OleDuplicateData"),
    TESSALY_BOUND(Ole32, L"ole32.dll", oleInitialize, "OleInitialize"),
    TESSALY_BOUND(Ole32, L"ole32.dll", oleUninitialize, "OleUninitialize"),
    TESSALY_BOUND(Ole32, L"ole32.dll", propVariantClear, "PropVariantClear"),
    TESSALY_BOUND(Ole32, L"ole32.dll", registerDragDrop, "RegisterDragDrop"),
    TESSALY_BOUND(Ole32, L"ole32.dll", releaseStgMedium, "ReleaseStgMedium"),
    TESSALY_BOUND(Ole32, L"ole32.dll", revokeDragDrop, "RevokeDragDrop"),
    TESSALY_BOUND(Oleaut32, L"oleaut32.dll", sysAllocString, "SysAllocString"),
    TESSALY_BOUND(Oleaut32, L"oleaut32.dll", sysFreeString, "SysFreeString"),
};

#undef TESSALY_BOUND

static_assert(sizeof(kBoundCases) / sizeof(kBoundCases[0]) * sizeof(void*) == sizeof(DynCalls),
              "a case for every member");

TEST(DynCalls, EveryMemberIsTheFunctionOfItsName) {
    for (const BoundCase& c : kBoundCases) {
        const DynCalls& calls = BindDynCalls(c.library);
        HMODULE module = LoadSystemLibrary(c.module);
        ASSERT_NE(nullptr, module) << "library " << static_cast<int>(c.library);
        void* expected = reinterpret_cast<void*>(GetProcAddress(module, c.name));
        const bool byOrdinal = IS_INTRESOURCE(c.name);
        SCOPED_TRACE(byOrdinal ? "ordinal " + std::to_string(reinterpret_cast<UINT_PTR>(c.name)) : c.name);
        EXPECT_EQ(expected, c.member(calls));
    }
}

}  // namespace
