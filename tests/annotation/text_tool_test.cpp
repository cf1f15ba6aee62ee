// The text box grows to its text while the user types, whatever the text's
// length, with the width a whole measure would give.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "annotation/style_panel.h"
#include "annotation/text_tool.h"
#include "layout/controls.h"
#include "picture/raster_surface.h"

namespace tolvane {
namespace {

using platform::Ctl;

// Advances that depend on the neighbours, as in a real font: ASCII half an em,
// others an em, the combining acute accent nothing; "AV" and "VA" kerned by
// a quarter em. Counts the bytes it is asked to measure.
class KernedText : public picture::TextEngine {
 public:
  float width(std::string_view utf8, float points) const override {
    measuredBytes += utf8.size();
    float w = 0;
    char32_t last = 0;
    for (std::size_t i = 0; i < utf8.size();) {
      const auto b = static_cast<unsigned char>(utf8[i]);
      const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
      char32_t c = n == 1 ? b : b & (0x3F >> (n - 1));
      for (int k = 1; k < n && i + k < utf8.size(); ++k) c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
      i += static_cast<std::size_t>(n);
      w += c == 0x301 ? 0 : c < 0x80 ? points / 2 : points;
      if ((last == 'A' && c == 'V') || (last == 'V' && c == 'A')) w -= points / 4;
      last = c;
    }
    return w;
  }
  void draw(Image&, int, int, int, int, std::string_view, float, ColorRef) const override {}
  mutable std::size_t measuredBytes = 0;
};

struct Typing : ::testing::Test {
  KernedText engine;
  picture::RasterSurface dc{200, 100, &engine, nullptr};
  layout::Controls controls{nullptr};
  annotation::StylePanel style{controls};
  annotation::TextTool tool{controls, dc, style};
  std::string text;
  float widest = 25;  // the box never shrinks below its widest text

  void SetUp() override { tool.place(10, 10); }
  layout::Control& box() { return controls(Ctl::NoteField); }
  // The box reports a new text, as the view does after each edit.
  void edit(std::string now) {
    text = std::move(now);
    box().takeTextFromUser(text);
    tool.change();
    const std::size_t counted = engine.measuredBytes;  // the test's own measure does not count
    widest = std::max(widest, engine.width(text, dc.fontSize()));
    engine.measuredBytes = counted;
  }
  void type(std::string_view keys) {
    for (std::size_t i = 0; i < keys.size();) {
      const auto b = static_cast<unsigned char>(keys[i]);
      const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
      edit(text + std::string(keys.substr(i, n)));
      i += n;
    }
  }
};

TEST_F(Typing, TheBoxIsAsWideAsTheWidestTextAfterEveryKindOfEdit) {
  struct Step {
    const char* what;
    std::function<void(Typing&)> run;
  };
  const std::vector<Step> steps = {
      {"typing mixed text at the end", [](Typing& t) { t.type("Tolvane 中文 AVAVA e\u0301e\u0301 VA"); }},
      {"a kerned pair completed at the end", [](Typing& t) { t.type("A"); t.type("V"); }},
      {"a combining mark on the last letter", [](Typing& t) { t.type("a\u0301"); }},
      {"Backspace on the mark", [](Typing& t) { t.edit(t.text.substr(0, t.text.size() - 2)); }},
      {"a paste at the end", [](Typing& t) { t.edit(t.text + std::string(300, 'W') + "中文中文"); }},
      {"a character typed in the middle", [](Typing& t) { t.edit(t.text.insert(5, "中")); }},
      {"a piece cut from the middle", [](Typing& t) { t.edit(t.text.erase(3, 200)); }},
      {"typing again at the end after that", [](Typing& t) { t.type("VAVA mm"); }},
      {"everything replaced by a wider text", [](Typing& t) { t.edit(std::string(400, 'M') + "中"); }},
      {"everything deleted, then typed again", [](Typing& t) { t.edit(""); t.type("AV中"); }},
  };
  for (const auto& step : steps) {
    step.run(*this);
    EXPECT_NEAR(box().width(), widest, 1e-3) << step.what;
  }
}

TEST_F(Typing, AKeyAtTheEndMeasuresOnlyTheLastCharactersHoweverLongTheText) {
  for (int i = 0; i < 3000; ++i) type(i % 7 == 0 ? "中" : "AV");
  const std::size_t before = engine.measuredBytes;
  type("x");
  // The new character and the context before it, in the old and the new text.
  EXPECT_LE(engine.measuredBytes - before, 2u * (annotation::TextTool::kContext + 1) * 3);
  EXPECT_NEAR(box().width(), engine.width(text, dc.fontSize()), 1e-2);
}

TEST_F(Typing, ANextBoxInAnotherSizeIsMeasuredInThatSize) {
  type("VA wide text");
  tool.commit();
  style.sizeBoxChanged("20");  // the user types the new size
  tool.place(10, 40);
  text.clear();
  widest = 25;
  type("VA wide text, and more");
  EXPECT_NEAR(box().width(), engine.width(text, 20), 1e-3);
}

}  // namespace
}  // namespace tolvane
