#include "app/linux_layouts.h"

#include "app/resource_ids.h"
#include "platform/linux/text_dialogs.h"

static const TextDialogLayout kLayouts[] = {
    {IDD_EXPANSION_COMPLETED, IDC_EXPANSION_OK, 1, {IDC_ELAPSED_TIME}},
    {IDD_COMPRESSION_COMPLETED, IDC_COMPRESSION_OK, 4,
     {IDC_UNCOMPRESSED_SIZE, IDC_COMPRESSED_SIZE, IDC_PERCENT_REDUCED, IDC_ELAPSED_TIME}},
};

void register_linux_layouts() {
    register_text_dialog_layouts(kLayouts, sizeof kLayouts / sizeof kLayouts[0]);
}
