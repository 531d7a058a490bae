// The statistics graphs: small pictures of 250 x 155 pixels beside the
// figures, sent to the pages as JPEG images.
//
// The score graph plots four monthly scores (oldest first) on a 0-100 scale
// with the grade names at their upper bounds, the month names under the time
// axis and a smoothed trend line. The percentile graph shows eleven bars (the
// share of tests, in tenths, at 0, 10 ... 100 percent) and colours the area
// under their curve from red to green.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/canvas.h"
#include "platform/date_time.h"
#include "server/quiz/grade_table.h"

namespace server {

inline constexpr int kGraphWidth = 250;
inline constexpr int kGraphHeight = 155;
inline constexpr int kGraphJpegQuality = 100;

// The months are those of the four ending with the statistics date's month.
void DrawScoreGraphic(plat::Canvas& canvas, const std::array<int32_t, 4>& values, const TGradeTable& grades,
                      plat::DateTime stats_date);
void DrawPercentileGraphic(plat::Canvas& canvas, const std::array<int32_t, 11>& values);

// Writes text turned counter-clockwise by the angle about the top-left
// corner of its cell; the canvas keeps its font.
void AngleTextOut(plat::Canvas& canvas, int angle_degrees, int x, int y, std::string_view text);

// The drawings on a fresh bitmap, as JPEG bytes. Throw plat::JpegError or
// std::runtime_error when the picture cannot be made.
std::string ScoreGraphJpeg(const std::array<int32_t, 4>& values, const TGradeTable& grades, plat::DateTime stats_date);
std::string PercentileGraphJpeg(const std::array<int32_t, 11>& values);

}  // namespace server
