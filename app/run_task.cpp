#include "app/run_task.h"

#include "model/task.h"

void RunTask(Task* task) {
    if (!g_taskList.Contains(task)) {
        return;
    }
}

void PrepareCommandSearch() {}
