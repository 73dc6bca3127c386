// The Windows program: the graphical entry.  It gathers the instance handle
// and the names from the command-line tail and hands them to the batch,
// which runs the shared jobs with their codec on a worker thread.
#include "app/batch_windows.h"
#include "app/command_line.h"
#include "app/status_job.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    file_name[0] = '\0';
    instance_handle = instance;
    LoadLibraryA("RICHED32.DLL");
    InitCommonControls();
    // The whole line, as UTF-8 under the manifest's code page.
    run_batch(names_from_tail(tail_of_command_line(GetCommandLineA())));
    return 0;
}
