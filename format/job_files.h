// The two files of a job.  The container opens and creates them and leaves
// them positioned; the codec reads input_file and writes output_file from
// there on; the job closes them.
#pragma once

#include "platform/win32.h"

extern HFILE input_file;
extern HFILE output_file;
