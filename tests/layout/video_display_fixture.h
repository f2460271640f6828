#pragma once

#include <gtest/gtest.h>

#include <string>

#include "layout/k_video_display.h"
#include "render/k_3d_fonts.h"
#include "render/k_3d_system_font.h"
#include "render/k_color_table.h"
#include "tests/layout/layout_fixture.h"

// A font list holding only the bundled box font under the name "Box", so
// that every glyph edge is known: at a block height of 24 an "I" is a block
// of 8 × 24 with its face in columns 1 to 4 and rows 3 to 16, a capital
// other than I, H and W is 14 wide, a digit 12.
class VideoDisplayTest : public LayoutTest {
 protected:
  static constexpr uint32_t kWhite = 0xFFFFFF;
  static constexpr uint32_t kBlack = 0x000000;
  static constexpr uint32_t kBlue = 0x0000FF;
  static constexpr uint32_t kRed = 0xFF0000;
  static constexpr uint32_t kGreen = 0x00FF00;
  static constexpr uint32_t kYellow = 0xFFFF00;

  static void SetUpTestSuite() { ASSERT_TRUE(K3DFonts::AddFontFile(kFont)); }
  void SetUp() override {
    LayoutTest::SetUp();
    KColorTable::Reset();
    fonts_.Append(new K3DSystemFont(KString("Box"), kFont));
  }

  // Each command framed by DC2 and DC4.
  static std::u16string Commands(std::initializer_list<const char*> commands) {
    std::u16string out;
    for (const char* command : commands) {
      out += KVideoDisplay::kStart;
      out += KString(command).View();
      out += KVideoDisplay::kEnd;
    }
    return out;
  }

  static inline const std::string kFont =
      std::string(TELVANE_TEST_DATA) + "/fonts/telvane-test.ttf";
  K3DFonts fonts_;
};
