// The one owner of the capture's region. The selection frame only shows it:
// every change of the region is written to the frame from here, and the
// handles, labels, toolbar and capture read the region, never the frame.
// Whether the frame shows is the Chrome's to say.
#pragma once

#include <functional>
#include <vector>

#include "layout/controls.h"
#include "platform/system.h"
#include "selection/selection.h"

namespace tolvane::selection {

class Region {
 public:
  Region(layout::Controls& controls, const platform::Screen& screen) : c_(controls), screen_(screen) {}

  // The region's geometry. While a band is drawn it is the band; after a
  // cancel it keeps its place at zero size.
  const Selection& shape() const { return shape_; }
  // Whether a region was made (a band's release, or selectRegion) and not
  // cancelled since: only then can it be moved, resized or captured.
  bool made() const { return made_; }

  // Takes the new geometry and shows it in the frame. A negative size is
  // refused and nothing changes; returns whether it was taken.
  bool reshape(const Selection& s);
  void make() { made_ = true; }
  // Back to selecting: no region, the frame shrunk to its corner.
  void drop();

  float screenWidth() const { return static_cast<float>(screen_.width()); }
  float screenHeight() const { return static_cast<float>(screen_.height()); }

  // Called after every accepted reshape (the handles follow the region this way).
  void onReshape(std::function<void(const Selection&)> f) { listeners_.push_back(std::move(f)); }

 private:
  layout::Control& frame() { return c_(platform::Ctl::SelectionFrame); }
  layout::Controls& c_;
  const platform::Screen& screen_;
  Selection shape_;
  bool made_ = false;
  std::vector<std::function<void(const Selection&)>> listeners_;
};

}  // namespace tolvane::selection
