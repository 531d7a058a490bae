// UTF-8 decoding into a caller's buffer of 16-bit units.
#pragma once

namespace dac {

// Decodes sourceBytes bytes from source + sourceOffset (a zero byte ends the
// input early) into dest + destOffset, writing at most destBytes bytes;
// characters beyond U+FFFF become surrogate pairs when both units fit. With
// addNull and room for a unit, a zero unit follows the text, replacing the
// last character when the text filled the room. Returns the bytes written.
// Malformed input raises EAssertionFailed: "Utf8ToWs: Incomplete multibyte
// char", "Utf8ToWs: Malformed trail byte or out of range char" (a stray
// continuation byte, a lead above 0xF4, a bad first trail byte of a three- or
// four-byte sequence) or "Utf8ToWs: Malformed trail byte".
int Utf8ToWs(void* dest, int dest_offset, int dest_bytes, const void* source, int source_offset, int source_bytes,
             bool add_null);

}  // namespace dac
