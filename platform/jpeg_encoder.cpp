#include "platform/jpeg_encoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace plat {
namespace {

// The library reports errors by calling error_exit, which by default ends
// the process; this one jumps back to the caller with the message instead.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, errors->message);
  std::longjmp(errors->jump, 1);
}

// Warnings do not stop compression and are not worth a line on stderr.
void OnMessage(j_common_ptr) {}

// Collects the compressed bytes in a malloc'd buffer that doubles as it fills.
// Running out of memory is reported through the library's error path.
struct MemoryDestination {
  jpeg_destination_mgr base;
  unsigned char* data;
  size_t capacity;
  size_t used;
};

struct FreeBuffer {
  void operator()(unsigned char* p) const { std::free(p); }
};

constexpr size_t kFirstBufferSize = 64 * 1024;

void InitDestination(j_compress_ptr info) {
  auto* dest = reinterpret_cast<MemoryDestination*>(info->dest);
  dest->data = static_cast<unsigned char*>(std::malloc(kFirstBufferSize));
  if (!dest->data) ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
  dest->capacity = kFirstBufferSize;
  dest->used = 0;
  dest->base.next_output_byte = dest->data;
  dest->base.free_in_buffer = dest->capacity;
}

// Called when the buffer is full.
boolean GrowDestination(j_compress_ptr info) {
  auto* dest = reinterpret_cast<MemoryDestination*>(info->dest);
  const size_t capacity = dest->capacity * 2;
  auto* grown = static_cast<unsigned char*>(std::realloc(dest->data, capacity));
  if (!grown) ERREXIT1(info, JERR_OUT_OF_MEMORY, 1);
  dest->data = grown;
  dest->base.next_output_byte = grown + dest->capacity;
  dest->base.free_in_buffer = capacity - dest->capacity;
  dest->capacity = capacity;
  return TRUE;
}

void TermDestination(j_compress_ptr info) {
  auto* dest = reinterpret_cast<MemoryDestination*>(info->dest);
  dest->used = dest->capacity - dest->base.free_in_buffer;
}

// Plain C-style frame: nothing with a destructor lives across setjmp, so the
// jump back from the library skips no cleanup. Returns false with `message`
// set on failure. `dest->data` is the caller's to free either way.
bool Compress(const RgbImage& image, int quality, MemoryDestination* dest, char* message) {
  jpeg_compress_struct info;
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnError;
  errors.base.output_message = OnMessage;
  if (setjmp(errors.jump)) {
    std::memcpy(message, errors.message, sizeof errors.message);
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  dest->base.init_destination = InitDestination;
  dest->base.empty_output_buffer = GrowDestination;
  dest->base.term_destination = TermDestination;
  info.dest = &dest->base;
  info.image_width = static_cast<JDIMENSION>(image.width);
  info.image_height = static_cast<JDIMENSION>(image.height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  const size_t row_bytes = static_cast<size_t>(image.width) * 3;
  while (info.next_scanline < info.image_height) {
    // The library does not write through the row pointer.
    JSAMPROW row = const_cast<JSAMPROW>(image.pixels.data() + info.next_scanline * row_bytes);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

}  // namespace

std::string EncodeJpeg(const RgbImage& image, int quality) {
  // JPEG cannot describe a side above 65500 pixels.
  constexpr int kMaxSide = 65500;
  if (image.width < 1 || image.height < 1 || image.width > kMaxSide || image.height > kMaxSide)
    throw JpegError("cannot compress a picture of " + std::to_string(image.width) + " x " +
                    std::to_string(image.height) + " pixels");
  if (image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3)
    throw JpegError("picture data does not match its size");
  if (quality < 1 || quality > 100) throw JpegError("JPEG quality " + std::to_string(quality) + " out of range");

  MemoryDestination dest{};
  char message[JMSG_LENGTH_MAX] = {};
  const bool ok = Compress(image, quality, &dest, message);
  const std::unique_ptr<unsigned char, FreeBuffer> owner(dest.data);
  if (!ok) throw JpegError(std::string("JPEG compression failed: ") + message);
  return std::string(reinterpret_cast<const char*>(dest.data), dest.used);
}

}  // namespace plat
