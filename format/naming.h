// File naming in both directions.
//
// Compressing: a name whose fourth character from the end is a full stop
// gives its last three characters to the header as the stored extension and
// loses those four characters; ".Q73" is then appended, always upper case.
// A name ending in ".q73" (any case) stores nothing and keeps its whole
// name: notes.q73 becomes notes.q73.Q73.
// Expanding: the compressed name loses its last four characters and, when an
// extension was stored, gains a full stop and the stored bytes (up to a zero
// byte).  Names are built in buffers of kNameCapacity bytes; a name that
// would not fit is refused, never cut.
#pragma once

#include <cstddef>
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

// The length of the folder part of `name`: up to and including its last
// '/' or '\\', or the colon of a drive ("C:notes.txt"); 0 for a name in
// the current folder.  A backslash is no separator on Linux, but a name cut
// there still lies in the same folder.
size_t folder_length(const char* name);

// Room for the temporary name of an output whose final name fits
// kNameCapacity.
constexpr int kTemporaryNameCapacity = kNameCapacity + 32;

// The name under which an output is written until its job has succeeded:
// in the folder of `final_name` (at most kNameCapacity - 1 characters), a
// hidden name that no user would choose, ".q73-PPPPPPPP-AA.tmp" with the
// process id and the attempt in hexadecimal, so that programs running at
// once never choose the same name.
void make_temporary_name(const char* final_name, uint32_t process_id, uint8_t attempt,
                         char out[kTemporaryNameCapacity]);

// Equal but for the case of the letters A to Z.
bool same_name_ignoring_case(const char* a, const char* b);
