#include "platform/jpeg_encoder.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "platform/cairo_canvas.h"

namespace plat {
namespace {

struct Decoded {
  bool ok = false;
  RgbImage image;
  std::vector<int> luma_quantizers;  // the first quantisation table
};

struct DecodeErrors {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void DecodeFailed(j_common_ptr info) { std::longjmp(reinterpret_cast<DecodeErrors*>(info->err)->jump, 1); }

// Reads the bytes back with the library's own decoder.
Decoded Decode(const std::string& bytes) {
  Decoded result;
  jpeg_decompress_struct info;
  DecodeErrors errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = DecodeFailed;
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

void ExpectNear(Color got, Color want, int tolerance) {
  EXPECT_NEAR(got.red, want.red, tolerance);
  EXPECT_NEAR(got.green, want.green, tolerance);
  EXPECT_NEAR(got.blue, want.blue, tolerance);
}

TEST(JpegEncoderTest, GraphSizedPictureDecodesToItsSizeAndColours) {
  CairoCanvas canvas(250, 155);
  canvas.GradientFillHorizontal(Rect{0, 0, 125, 155}, Color{220, 220, 240}, Color{220, 220, 240});
  canvas.SetBrushColor(Color{200, 100, 100});
  canvas.SetPenColor(Color{200, 100, 100});
  canvas.Rectangle(Rect{125, 0, 250, 80});

  const std::string jpeg = EncodeJpeg(canvas.ToRgbImage());
  ASSERT_GE(jpeg.size(), 4u);
  EXPECT_EQ(static_cast<unsigned char>(jpeg[0]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(jpeg[1]), 0xD8);
  EXPECT_EQ(static_cast<unsigned char>(jpeg[jpeg.size() - 2]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(jpeg[jpeg.size() - 1]), 0xD9);

  const Decoded decoded = Decode(jpeg);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.image.width, 250);
  EXPECT_EQ(decoded.image.height, 155);
  ExpectNear(decoded.image.At(60, 77), Color{220, 220, 240}, 4);
  ExpectNear(decoded.image.At(190, 40), Color{200, 100, 100}, 4);
  ExpectNear(decoded.image.At(190, 120), Color{255, 255, 255}, 4);
  // Quality 100 quantises nothing away.
  ASSERT_EQ(decoded.luma_quantizers.size(), 64u);
  for (int q : decoded.luma_quantizers) EXPECT_EQ(q, 1);
}

TEST(JpegEncoderTest, LowerQualityIsSmaller) {
  RgbImage noise{64, 48, {}};
  uint32_t state = 12345;
  for (int i = 0; i < 64 * 48 * 3; ++i) {
    state = state * 1103515245u + 12345u;
    noise.pixels.push_back(static_cast<uint8_t>(state >> 24));
  }
  const std::string best = EncodeJpeg(noise, 100);
  const std::string rough = EncodeJpeg(noise, 20);
  EXPECT_LT(rough.size(), best.size());
  EXPECT_TRUE(Decode(rough).ok);
  // Big enough to outgrow the first output buffer.
  RgbImage large{1200, 900, std::vector<uint8_t>(1200 * 900 * 3)};
  for (size_t i = 0; i < large.pixels.size(); ++i) large.pixels[i] = static_cast<uint8_t>((i * 7919) >> 3);
  const Decoded decoded = Decode(EncodeJpeg(large));
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.image.width, 1200);
}

TEST(JpegEncoderTest, RefusesPicturesItCannotDescribe) {
  EXPECT_THROW(EncodeJpeg(RgbImage{}), JpegError);
  EXPECT_THROW(EncodeJpeg(RgbImage{2, 2, std::vector<uint8_t>(11)}), JpegError);
  EXPECT_THROW(EncodeJpeg(RgbImage{70000, 1, std::vector<uint8_t>(70000 * 3)}), JpegError);
  EXPECT_THROW(EncodeJpeg(RgbImage{1, 1, {0, 0, 0}}, 0), JpegError);
  EXPECT_THROW(EncodeJpeg(RgbImage{1, 1, {0, 0, 0}}, 101), JpegError);
  EXPECT_TRUE(Decode(EncodeJpeg(RgbImage{1, 1, {9, 9, 9}})).ok);
}

}  // namespace
}  // namespace plat
