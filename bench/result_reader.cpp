// Reads the elapsed time off q73.exe's result dialog and presses its OK
// button, so that a script can time the Windows program's own jobs under
// Wine (bench/run_codec_bench.sh).
//
//   result_reader CAPTION     prints the dialog's "Elapsed Time: ..." line
//
// Exit status 1 when no dialog of that caption appears within a minute.

#include <windows.h>

#include <cstdio>

#include "app/resource_ids.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: result_reader CAPTION\n");
        return 2;
    }
    HWND dialog = nullptr;
    for (int k = 0; k < 6000 && dialog == nullptr; ++k) {
        dialog = FindWindowA("#32770", argv[1]);
        if (dialog == nullptr) Sleep(10);
    }
    if (dialog == nullptr) {
        std::fprintf(stderr, "ERROR: no dialog captioned %s\n", argv[1]);
        return 1;
    }
    // The dialog can be found before its texts are set.
    char line[256] = {};
    for (int k = 0; k < 500 && line[0] == 0; ++k) {
        GetDlgItemTextA(dialog, IDC_ELAPSED_TIME, line, sizeof line);
        if (line[0] == 0) Sleep(10);
    }
    std::printf("%s\n", line);
    // The expansion dialog has no IDC_COMPRESSION_OK.
    HWND ok = GetDlgItem(dialog, IDC_COMPRESSION_OK);
    if (ok == nullptr) ok = GetDlgItem(dialog, IDC_EXPANSION_OK);
    if (ok != nullptr) SendMessageA(ok, BM_CLICK, 0, 0);
    return 0;
}
