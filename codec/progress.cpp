#include "codec/progress.h"

ProgressHook progress_hook = nullptr;
