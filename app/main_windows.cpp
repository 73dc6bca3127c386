// The Windows program: the graphical entry.  It only gathers what the shared
// start-up needs (instance handle, the names from the command-line tail) and
// hands over; the jobs, the dialogs and their texts live in the shared code.
#include "app/command_line.h"
#include "app/startup.h"
#include "app/status_job.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    file_name[0] = '\0';
    instance_handle = instance;
    LoadLibraryA("RICHED32.DLL");
    InitCommonControls();
    // The whole line, as UTF-8 under the manifest's code page.
    run_jobs(names_from_tail(tail_of_command_line(GetCommandLineA())));
    return 0;
}
