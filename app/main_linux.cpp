// The command-line program: `q73 FILE`.  The file name is the last
// argument; none, or an empty one, shows the about text.  Dialogs become
// terminal text (see platform/linux/windows.cpp).  Exit status 0 after a
// finished job or the about text, 1 after any reported failure.
#include <malloc.h>

#include <cstring>

#include "app/linux_layouts.h"
#include "app/startup.h"
#include "app/status_job.h"

int main(int argc, char** argv) {
    // The expander allocates the stream records of every block and frees
    // them after it, a few hundred KB each time; the heap would hand that
    // memory back to the system at each free and take it in again, page by
    // page, for the next block.
    mallopt(M_TRIM_THRESHOLD, 16 << 20);
    register_linux_layouts();
    file_name[0] = '\0';
    TailResult tail = TailResult::ok;
    if (argc > 1) {
        const char* name = argv[argc - 1];
        if (std::strlen(name) > sizeof file_name - 1) {
            tail = TailResult::too_long;
        } else {
            std::strcpy(file_name, name);
        }
    }
    run_startup(tail);
    return job_failed ? 1 : 0;
}
