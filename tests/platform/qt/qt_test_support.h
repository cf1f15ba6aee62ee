// Helpers shared by the Qt platform's tests.
#pragma once

#include <QImage>

#include <string>
#include <vector>

#include "picture/image.h"
#include "platform/events.h"

namespace tolvane::qttest {

// Writes every event it gets as one line, e.g. "down Window 1 10,20".
class RecordingSink : public platform::EventSink {
 public:
  void mouseDown(platform::CtlRef t, const platform::Mouse& m) override;
  void mouseMove(platform::CtlRef t, const platform::Mouse& m) override;
  void mouseUp(platform::CtlRef t, const platform::Mouse& m) override;
  void dblClick(platform::CtlRef t) override;
  void click(platform::CtlRef t) override;
  void textChanged(platform::CtlRef t, const std::string& utf8) override;
  // Logged as "key Ctrl+Shift+z Window": the key, then the control with the focus.
  bool keyDown(platform::CtlRef focus, const platform::Key& key) override;
  bool useKeys = false;  // what keyDown answers
  // The log without moves.
  std::vector<std::string> withoutMoves() const;
  std::vector<std::string> log;
};

std::string ctlName(platform::CtlRef t);
std::string keyName(const platform::Key& k);

// A picture with a different colour at nearly every pixel.
Image pattern(int w, int h);

// The picture as a QImage in Format_RGB32 (a deep copy).
QImage toQImage(const Image& img);

// Pixels that differ between two pictures of one size; -1 when the sizes differ.
long differingPixels(const QImage& a, const QImage& b);

}  // namespace tolvane::qttest
