#include "app/startup.h"

#include "app/about_text.h"
#include "app/resource_ids.h"
#include "app/status_job.h"
#include "format/container.h"
#include "platform/win32.h"

void run_startup(TailResult tail) {
    if (tail == TailResult::too_long) {
        report_error(kMsgNameTooLong);
        job_failed = true;
        return;
    }
    if (file_name[0] == '\0') {
        MessageBoxA(nullptr, kAboutText, kAboutCaption, MB_OK);
        return;
    }
    WPARAM job = names_compressed_file(file_name) ? IDM_EXPAND : IDM_COMPRESS;
    status_window = CreateDialogParamA(instance_handle, MAKEINTRESOURCEA(IDD_STATUS), nullptr,
                                       status_dialog_proc, 0);
    ShowWindow(status_window, SW_SHOW);
    SendMessageA(status_window, WM_COMMAND, job, 0);
    EndDialog(status_window, 0);
}
