// The screen through Qt, where there is no X connection of our own (the
// offscreen platform of the tests).
#pragma once

#include "platform/system.h"

namespace tolvane::platform::qt {

class QtScreen : public Screen {
 public:
  int width() const override;
  int height() const override;
  ScreenRead grab() override;
};

}  // namespace tolvane::platform::qt
