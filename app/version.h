/* The program's name and version: the version line of the command-line
   program, the version information of q73.exe and the installer all take
   them from this file, and the version itself from the library's header.
   Plain defines only: the resource compiler and the build script read it
   too. */
#ifndef Q73_VERSION_H
#define Q73_VERSION_H

#include "q73.h"

#define Q73_VERSION Q73_VERSION_STRING

#define Q73_PRODUCT_NAME "Q73"
#define Q73_DESCRIPTION "Q73 file compressor"
#define Q73_PUBLISHER "The Q73 developers"
#define Q73_COPYRIGHT "Copyright (C) 2026 The Q73 developers"

#endif
