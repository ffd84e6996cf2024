// Running a task: resolve its command, play its sound, show its name, and open
// the command through the shell.
#pragma once

struct Task;

// Called first by every run, when set: a test holds a run there, as a search
// over an unreachable network folder or a consent prompt would.
extern void (*g_runTaskStarting)();

// Handles WM_RUNTASK. A task that has left the list meanwhile is ignored.
void RunTask(Task* task);
