#include "annotation/history.h"

#include <algorithm>
#include <vector>

#include "picture/raster_surface.h"
#include "selection/backdrop.h"

namespace tolvane::annotation {

namespace {

// One row of what the window shows with nothing drawn: the veiled frozen
// screen, undimmed inside the hole.
void predictRow(Argb* out, const Image& base, const IRect& hole, int y, int x0, int x1) {
  const Argb* b = base.constScanLine(y);
  picture::raster::veilRow(out, b + x0, x1 - x0, selection::kVeil);
  if (y >= hole.top && y < hole.bottom) {
    const int l = std::max(hole.left, x0), r = std::min(hole.right, x1);
    if (l < r) std::copy(b + l, b + r, out + (l - x0));
  }
}

}  // namespace

SnapshotCodec& History::bag() const {
  if (!codec_) codec_.emplace();
  return *codec_;
}

void History::firstEntry(const Image& background) {
  index_ = 1;
  top_ = 1;
  base_ = background;  // shares the frozen screen's pixels
  entries_.assign(2, Entry{});
}

void History::push(const picture::Surface& surface, const IRect& hole) {
  ++index_;
  top_ = index_;
  entries_.resize(static_cast<std::size_t>(index_) + 1);
  Entry& e = entries_[index_];
  e = Entry{};
  const Image now = surface.image();
  e.hole = hole;
  if (now.width() != base_.width() || now.height() != base_.height()) {
    // Nothing to take the difference against: keep the whole picture.
    e.whole = true;
    bag().encode(e.bytes, now);
    return;
  }
  // Find the rectangle where the picture differs from the prediction...
  const int w = now.width();
  std::vector<Argb> row(static_cast<std::size_t>(w));
  IRect diff{w, now.height(), 0, 0};
  for (int y = 0; y < now.height(); ++y) {
    predictRow(row.data(), base_, hole, y, 0, w);
    const Argb* c = now.constScanLine(y);
    int first = 0;
    while (first < w && c[first] == row[first]) ++first;
    if (first == w) continue;
    int last = w - 1;
    while (c[last] == row[last]) --last;
    diff = {std::min(diff.left, first), std::min(diff.top, y), std::max(diff.right, last + 1), y + 1};
  }
  if (diff.empty()) diff = {};
  e.patch = diff;
  // ...and keep the difference there.
  Image patch(diff.width(), diff.height());
  for (int y = diff.top; y < diff.bottom; ++y) {
    predictRow(row.data(), base_, hole, y, diff.left, diff.right);
    const Argb* c = now.constScanLine(y) + diff.left;
    Argb* out = patch.scanLine(y - diff.top);
    for (int x = 0; x < diff.width(); ++x) out[x] = 0xFF000000u | ((c[x] ^ row[x]) & 0x00FFFFFFu);
  }
  bag().encode(e.bytes, patch);
}

picture::LayeredPicture History::layers(int i) const {
  if (i <= 1) return {base_, {}, {}, {}, {}};
  const Entry& e = entries_.at(static_cast<std::size_t>(i));
  Image patch = bag().decode(e.bytes);
  if (e.whole) return {patch, {}, {}, {}, {}};
  // Undo the difference inside the patch; the rest is the prediction itself.
  std::vector<Argb> row(static_cast<std::size_t>(std::max(e.patch.width(), 0)));
  for (int y = e.patch.top; y < e.patch.bottom; ++y) {
    predictRow(row.data(), base_, e.hole, y, e.patch.left, e.patch.right);
    Argb* o = patch.scanLine(y - e.patch.top);
    for (int x = 0; x < e.patch.width(); ++x) o[x] = 0xFF000000u | ((o[x] ^ row[x]) & 0x00FFFFFFu);
  }
  return {base_, selection::kVeil, e.hole, {e.patch.left, e.patch.top, e.patch.right, e.patch.bottom}, patch};
}

Image History::picture(int i) const {
  const picture::LayeredPicture p = layers(i);
  Image out(p.base.width(), p.base.height());
  picture::raster::flatten(p, out.rect(), out);
  return out;
}

bool History::undo(picture::Surface& surface) {
  --index_;
  if (index_ < 1) return false;
  surface.setLayeredPicture(layers(index_));
  return true;
}

void History::redo(picture::Surface& surface) {
  ++index_;
  if (index_ > top_) {
    index_ = top_;
    return;
  }
  surface.setLayeredPicture(layers(index_));
}

void History::cutBack() {
  index_ = 1;
  top_ = 1;
  entries_.resize(2);
}

std::size_t History::bytesKept() const {
  std::size_t n = 0;
  for (const auto& s : entries_) n += s.bytes.size();
  return n;
}

}  // namespace tolvane::annotation
