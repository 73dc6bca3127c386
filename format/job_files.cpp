#include "format/job_files.h"

HFILE input_file = HFILE_ERROR;
HFILE output_file = HFILE_ERROR;
