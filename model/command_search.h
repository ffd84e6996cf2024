// Where a task's command is found, and the shell and sound calls that open it
// and play its sound.
#pragma once

#include <windows.h>
#include <shlwapi.h>

// The shell and sound calls a run makes (the task editor's sound test too),
// replaceable so a test can see the verb and arguments (Wine runs "runas"
// without elevation) and hear nothing.
struct RunShell {
    HINSTANCE(WINAPI* execute)(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                               LPCWSTR directory, INT show);
    BOOL(WINAPI* playSound)(LPCWSTR sound, HMODULE module, DWORD flags);
    // Hands the right to come to the front on to whichever process shows
    // the window: the one started may pass it to another (a running
    // instance, a host), and only the process the hotkey reached holds it.
    BOOL(WINAPI* allowSetForeground)(DWORD process);
};
extern RunShell g_runShell;

// ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH", used when PATHEXT is unset.
extern const wchar_t kDefaultExtensions[];

// A command that names no file but a link the shell opens as written: one
// that begins with a URI scheme (https:, mailto:, ms-settings:; a letter,
// then letters, digits, + - or ., two characters at least, so C:\x stays a
// path), or a shell location (shell:Downloads, shell:AppsFolder\<app id>,
// ::{CLSID}).
enum CommandLink { kNotALink, kSchemeLink, kShellLocation };
CommandLink LinkKind(const wchar_t* command);
// Room for any scheme the registry can name.
constexpr size_t kSchemeLength = 256;
// The scheme of a link (its key in the classes root); false for none.
bool LinkScheme(const wchar_t* command, wchar_t (&scheme)[kSchemeLength]);
// The shell's answer for a scheme (its command, its program), as
// AssocQueryStringW gives it.
HRESULT AskScheme(const wchar_t* scheme, ASSOCSTR what, wchar_t* answer, DWORD* length);

// Finds a command's file: a bare name in the program's folder, the system
// folder, the Windows folder and the absolute folders of PATH, in that order
// and never in the current folder; a command with a folder part where it
// says. A name with an extension is looked for as it is; one without is
// tried with each extension of PATHEXT in turn, each across every folder
// before the next. 1 with the full path in `resolved` (MAX_PATH units), or 0.
// A drive letter whose root does not exist fails at once. Variables
// (%SystemRoot%) are expanded first: a command too long once expanded fails.
// A link is not looked for: it is its own answer, found when Windows has
// something to open it with (a handler of its scheme, a shell location the
// shell can parse).
int ResolveCommand(const wchar_t* command, wchar_t* resolved);

// The system's search along a list of folders; a test counts the searches a
// listing makes through it.
extern DWORD(WINAPI* g_searchPath)(LPCWSTR folders, LPCWSTR name, LPCWSTR extension, DWORD size,
                                   LPWSTR found, LPWSTR* filePart);

// While one lives, a command resolved again gets the answer it got before,
// at this listing or an earlier one, for as long as what the answer rested on
// holds: PATH and PATHEXT as they were, and the entries of the folders
// searched (a file that comes or goes changes its folder's last-write time),
// checked once as the outermost one begins. The windows that list tasks
// resolve every task at each opening, for its icon and for its row, and the
// search is the slow part of either. Running a task always searches afresh.
// Nested ones leave the outer one in charge.
class CommandResolutionMemo {
public:
    CommandResolutionMemo();
    ~CommandResolutionMemo();
    CommandResolutionMemo(const CommandResolutionMemo&) = delete;
    CommandResolutionMemo& operator=(const CommandResolutionMemo&) = delete;

private:
    bool m_active = false;
};

// A listing that spans many messages, for work done a step at a time while
// the program is idle: the memos made while it is held belong to it, so what
// one step found is kept for the next, and each folder is looked at once for
// all of them. Between two steps no memo lives, so a task run meanwhile still
// searches afresh. Not held while a memo lives.
void HoldCommandListing();
void ReleaseCommandListing();

// Drops every kept answer, at the program's end.
void ForgetCommandSearches();

// Puts the system's own search by name into safe mode for the whole process;
// ResolveCommand does not depend on it.
void PrepareCommandSearch();
