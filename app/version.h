/* The program's name and version, kept here alone: the version line of the
   command-line program, the version information of q73.exe and the
   installer all take them from this file.  Plain defines only: the resource
   compiler and the build script read it too. */
#ifndef Q73_VERSION_H
#define Q73_VERSION_H

#define Q73_VERSION_MAJOR 1
#define Q73_VERSION_MINOR 0
/* Must read Q73_VERSION_MAJOR.Q73_VERSION_MINOR (the build checks it). */
#define Q73_VERSION "1.0"

#define Q73_PRODUCT_NAME "Q73"
#define Q73_DESCRIPTION "Q73 file compressor"
#define Q73_PUBLISHER "The Q73 developers"
#define Q73_COPYRIGHT "Copyright (C) 2026 The Q73 developers"

#endif
