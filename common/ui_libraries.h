// The common controls, COM and OLE serve the lists, dialogs, shell icons and
// shell menus, which first open long after start: each starts at its first
// use instead of costing every start, and ends once the message loop has.
#pragma once

namespace tessaly {

// COM and OLE on this thread: the shell's icons, menus, links and dialogs
// need them, and so may ShellExecuteW, whose handlers can be COM objects.
// `keep`: for running tasks, which may come at any press: COM then stays
// until the message loop ends, so a press never pays for starting it again,
// and a shell handler still finishing never sees it end under it.
void PrepareShellUse(bool keep = false);
// The common controls (list views, trackbars, image lists). Without the
// shell: under Wine ole32 and combase import each other, so once COM has
// started they stay mapped for good, and a launcher needs COM only for the
// shell's menu of a row or a document's picture.
void PrepareListsAndDialogs();
// OLE, then COM, as far as they were started: only where no shell dialog,
// menu or call can still be running on this thread.
void EndShellUse();
// True while the common controls, or COM not kept for runs, are started.
bool ShellOrListsStarted();
// EndShellUse unless COM is kept for runs, then the libraries of COM (as far
// as it ended) and the common controls go: a tray program at rest maps none
// of them. Only once no window, image list or
// object of theirs is left, where EndShellUse may run.
void EndListsAndDialogs();

}  // namespace tessaly
