// The record store's compression hooks. They have zlib's signatures (result
// 0 on success) and stay empty until the MySQL provider's start-up installs
// zlib's compress and uncompress.
#pragma once

#include <atomic>

namespace dac {

// On entry *dest_length is the room at dest; on return the bytes produced.
using CompressFunc = int (*)(unsigned char* dest, unsigned long* dest_length, const unsigned char* source,
                             unsigned long source_length);

// Set by the start-up, before other threads run. They are atomic because
// any thread may compress (the connection pool's validation thread among
// them): a change while threads run is seen whole, by calls that start
// after it.
extern std::atomic<CompressFunc> CompressProc;
extern std::atomic<CompressFunc> UncompressProc;

// Exception "Compressor function is not linked" when CompressProc is empty,
// else "Uncompressor function is not linked" when UncompressProc is.
void CheckZLib();
// Assert that the hook is set (texts as above), call it with the same
// arguments, and raise Exception when it reports an error, so that a failed
// compression is never taken at its produced length.
void DoCompress(void* dest, unsigned long* dest_length, const void* source, unsigned long source_length);
void DoUncompress(void* dest, unsigned long* dest_length, const void* source, unsigned long source_length);

}  // namespace dac
