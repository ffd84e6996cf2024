#include "common/environment.h"

#include "common/dyn_calls.h"
#include "common/unique_handles.h"

namespace tessaly {

bool AnnouncesEnvironment(LPARAM lParam) {
    return lParam && CompareStringOrdinal(reinterpret_cast<const wchar_t*>(lParam), -1, L"Environment", -1, TRUE) ==
                         CSTR_EQUAL;
}

bool RenewEnvironment() {
    const DynCalls& calls = BindDynCalls(SystemLibrary::Userenv);
    HANDLE token = nullptr;
    if (!calls.createEnvironmentBlock || !calls.destroyEnvironmentBlock ||
        !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_IMPERSONATE, &token)) {
        return false;
    }
    unique_handle owned(token);
    void* block = nullptr;
    const bool made = calls.createEnvironmentBlock(&block, token, FALSE) != FALSE;
    unique_environment_block ownedBlock(made ? block : nullptr);
    return made && SetEnvironmentStringsW(static_cast<wchar_t*>(block)) != FALSE;
}

}  // namespace tessaly
