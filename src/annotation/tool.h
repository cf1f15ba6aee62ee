// A drawing tool: it owns the state of one stroke on the region.
#pragma once

namespace tolvane::annotation {

class Tool {
 public:
  virtual ~Tool() = default;
  // A press strictly inside the region starts a stroke at (x, y).
  virtual void press(float x, float y) = 0;
  // The pointer moved to (x, y) while the stroke is on: the preview follows.
  virtual void move(float x, float y) = 0;
  // The release at (x, y). True when the stroke is done and belongs in the
  // history; false while it stays open (a text box waiting for its text).
  virtual bool release(float x, float y) = 0;
  // Draws the stroke as it stands on the window's canvas: into the preview
  // layer while dragged, into the picture on release.
  virtual void draw() const = 0;
};

}  // namespace tolvane::annotation
