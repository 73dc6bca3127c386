// File naming in both directions.
//
// Compressing: a name whose fourth character from the end is a full stop
// gives its last three characters to the header as the stored extension and
// loses those four characters; ".Q73" is then appended, always upper case.
// Expanding: the compressed name loses its last four characters and, when an
// extension was stored, gains a full stop and the stored bytes (up to a zero
// byte).  Names are built in buffers of kNameCapacity bytes; a name that
// would not fit is refused, never cut.
#pragma once

#include <cstdint>

constexpr int kNameCapacity = 1024;  // at most 1023 characters

// False when the compressed name would not fit.  extension receives the
// three stored characters when *stored is set; three characters that
// is_unsafe_extension refuses are never stored.
bool make_compressed_name(const char* name, char out[kNameCapacity], char extension[3],
                          bool* stored);

// extension is null when none was stored.  False when the name would not fit
// or is shorter than the four characters of the compressed extension.
bool make_restored_name(const char* name, const uint8_t* extension, char out[kNameCapacity]);

// A stored extension that could lead the restored name out of the folder
// (path separators, a drive colon) or holds control characters.
bool is_unsafe_extension(const uint8_t extension[3]);

// Equal but for the case of the letters A to Z.
bool same_name_ignoring_case(const char* a, const char* b);
