// Reads JPEG bytes back with libjpeg's own decoder, so tests check what a
// real viewer would see. Link the test against libjpeg.
#pragma once

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

// clang-format off
#include <jpeglib.h>  // after <cstdio>: it needs FILE and size_t
// clang-format on

#include "platform/rgb_image.h"

namespace plat::testing {

struct DecodedJpeg {
  bool ok = false;
  RgbImage image;
  std::vector<int> luma_quantizers;  // the first quantisation table
};

namespace jpeg_detail {

struct DecodeErrors {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

inline void DecodeFailed(j_common_ptr info) { std::longjmp(reinterpret_cast<DecodeErrors*>(info->err)->jump, 1); }

}  // namespace jpeg_detail

inline DecodedJpeg DecodeJpeg(const std::string& bytes) {
  DecodedJpeg result;
  jpeg_decompress_struct info;
  jpeg_detail::DecodeErrors errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = jpeg_detail::DecodeFailed;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    result.ok = false;
    return result;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  jpeg_read_header(&info, TRUE);
  if (info.quant_tbl_ptrs[0])
    for (int i = 0; i < DCTSIZE2; ++i) result.luma_quantizers.push_back(info.quant_tbl_ptrs[0]->quantval[i]);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  result.image.width = static_cast<int>(info.output_width);
  result.image.height = static_cast<int>(info.output_height);
  result.image.pixels.resize(static_cast<size_t>(info.output_width) * info.output_height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = result.image.pixels.data() + static_cast<size_t>(info.output_scanline) * info.output_width * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  result.ok = true;
  return result;
}

}  // namespace plat::testing
