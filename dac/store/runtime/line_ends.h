// Line-end conversion of 8-bit and UTF-16 text between the bare line feed
// of stored text and the carriage return + line feed of the outside form.
// Destinations are bounded: dest_len characters at most, then the
// terminator, so dest holds dest_len + 1 characters. UTF-16 text may sit at
// any address.
#pragma once

namespace dac {

// Copies at most count characters, stopping early at a 0 character, and
// writes a carriage return before every line feed that does not follow one.
// Stops before a character (or a pair) that would pass dest_len. Returns the
// characters written; the terminator is always written.
int AddCRString(const void* source, void* dest, int dest_len, int count);
int AddCRUnicode(const void* source, void* dest, int dest_len, int count);
// The characters AddCR would write with room enough: the converted length.
int AddCRStringLength(const void* source, int count);
int AddCRUnicodeLength(const void* source, int count);

// Copies count characters, turning each carriage return + line feed pair
// into a line feed, and stops when dest_len characters are written.
// Terminates; returns the characters written.
int RemoveCRString(const void* source, void* dest, int dest_len, int count);
int RemoveCRUnicode(const void* source, void* dest, int dest_len, int count);

}  // namespace dac
