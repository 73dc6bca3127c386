// Names as the Windows file calls take them.  The program receives its
// names as UTF-8 (its manifest makes that the active code page), and the
// ANSI calls would still stop at MAX_PATH characters; the wide calls with an
// extended-length name do not.
#pragma once

#include <string>

// The UTF-16 form of the UTF-8 `name`, ready for the W file calls: a name
// whose full path reaches MAX_PATH becomes that full path with the "\\?\"
// prefix (or "\\?\UNC\" for a share), which the system takes without the
// MAX_PATH limit even where long paths are not enabled.  False for a name
// that is not valid UTF-8 or cannot be made a full path.
bool wide_file_name(const char* name, std::wstring* wide);
