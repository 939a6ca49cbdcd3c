// The dialog template's units as the Linux view turns them into pixels.
#include <gtest/gtest.h>

#include "ui/dialog_template.h"

namespace {

// Dialog units become pixels as MapDialogRect makes them for 6 x 13 base
// units: each value rounded on its own, halves away from zero.
TEST(DialogTemplate, DialogUnitsBecomePixelsAsWindowsRoundsThem) {
  const struct {
    vf::platform::DialogRect units;
    vf::platform::PixelRect pixels;
  } cases[] = {
      {{125, 144, 50, 14}, {188, 234, 75, 23}},  // OK: 187.5 and 22.75 round up
      {{90, 43, 120, 12}, {135, 70, 180, 20}},   // row 1: 69.875 and 19.5
      {{7, 7, 218, 92}, {11, 11, 327, 150}},     // 10.5 and 11.375
      {{0, 0, 232, 165}, {0, 0, 348, 268}},      // the dialog: 268.125
  };
  for (const auto& c : cases) {
    const vf::platform::PixelRect pixels = vf::platform::ToPixels(c.units);
    EXPECT_EQ(pixels.x, c.pixels.x);
    EXPECT_EQ(pixels.y, c.pixels.y);
    EXPECT_EQ(pixels.width, c.pixels.width);
    EXPECT_EQ(pixels.height, c.pixels.height);
  }
}

}  // namespace
