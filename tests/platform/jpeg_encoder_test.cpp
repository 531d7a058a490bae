#include "platform/jpeg_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/cairo_canvas.h"
#include "tests/support/jpeg_decoder.h"

namespace plat {
namespace {

using Decoded = testing::DecodedJpeg;

Decoded Decode(const std::string& bytes) { return testing::DecodeJpeg(bytes); }

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
