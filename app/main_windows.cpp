// The Windows program: the graphical entry.  It only gathers what the shared
// start-up needs (instance handle, the names from the command-line tail) and
// hands over; the jobs, the dialogs and their texts live in the shared code.
#include "app/command_line.h"
#include "app/startup.h"
#include "app/status_job.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_tail, int) {
    file_name[0] = '\0';
    instance_handle = instance;
    LoadLibraryA("RICHED32.DLL");
    InitCommonControls();
    run_jobs(names_from_tail(command_tail));
    return 0;
}
