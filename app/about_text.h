// The about box, shown when the program is started without a file name.
#pragma once

constexpr const char* kAboutCaption = "Q73 compression codec";

// Lines joined by single line feeds, none after the last line.
constexpr const char* kAboutText =
    "The Q73 data compression codec\n"
    "A high speed lossless data compression\n"
    "algorithm.  Written and maintained by the\n"
    "Q73 developers, 2026.\n"
    "\n"
    "Drop non compressed files over the\n"
    "Q73 icon to compress.\n"
    "\n"
    "Drop a compressed file over the Q73\n"
    "icon to decompress.\n"
    "\n"
    "This program is a demo and should\n"
    "not be used with files other than \n"
    "expendable test files.\n"
    "\n";
