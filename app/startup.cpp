#include "app/startup.h"

#include <cstring>

#include "app/about_text.h"
#include "app/command_line.h"
#include "app/resource_ids.h"
#include "app/status_job.h"
#include "format/container.h"
#include "platform/win32.h"

JobChoice job_choice = JobChoice::by_name;

bool run_one_job() {
    job_failed = false;
    bool expand = job_choice == JobChoice::expand ||
                  (job_choice == JobChoice::by_name && names_compressed_file(file_name));
    WPARAM job = expand ? IDM_EXPAND : IDM_COMPRESS;
    status_window = CreateDialogParamA(instance_handle, MAKEINTRESOURCEA(IDD_STATUS), nullptr,
                                       status_dialog_proc, 0);
    ShowWindow(status_window, SW_SHOW);
    SendMessageA(status_window, WM_COMMAND, job, 0);
    EndDialog(status_window, 0);
    status_window = nullptr;
    return !job_failed;
}

int run_jobs(const std::vector<std::string>& names) {
    if (names.empty()) {
        MessageBoxA(nullptr, kAboutText, kAboutCaption, MB_OK);
        return 0;
    }
    int failures = 0;
    for (const std::string& name : names) {
        // With several files, a message names the one it is about.
        error_subject = names.size() > 1 ? name.c_str() : nullptr;
        if (name.size() > sizeof file_name - 1) {
            report_error(kMsgNameTooLong);
            ++failures;
            continue;
        }
        std::memcpy(file_name, name.c_str(), name.size() + 1);
        if (!run_one_job()) ++failures;
    }
    error_subject = nullptr;
    file_name[0] = '\0';
    return failures;
}
