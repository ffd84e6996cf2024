// Running a task: resolve its command, play its sound, show its name, and open
// the command through the shell.
#pragma once

#include <windows.h>

struct Task;

// Handles WM_RUNTASK. A task that has left the list meanwhile is ignored.
void RunTask(Task* task);

// Puts the process's file search into safe mode, so that a program planted in
// the current directory cannot shadow a system one of the same name.
void PrepareCommandSearch();
