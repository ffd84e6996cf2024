// The common controls, COM and OLE serve the lists, dialogs, shell icons and
// shell menus, which first open long after start: each starts at its first
// use instead of costing every start, and ends once the message loop has.
#pragma once

namespace tessaly {

// COM and OLE on this thread: the shell's icons, menus, links and dialogs
// need them, and so may ShellExecuteW, whose handlers can be COM objects.
void PrepareShellUse();
// The common controls (list views, trackbars, image lists), and the shell.
void PrepareListsAndDialogs();
// OLE, then COM, as far as they were started: only once the message loop
// has ended, when no shell dialog can still be running on this thread.
void EndShellUse();

}  // namespace tessaly
