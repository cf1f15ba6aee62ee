// In-process benchmarks: the drag step at 4K against the full repaint, and
// the cost of history steps. Run through bench/run.sh.
#include <benchmark/benchmark.h>

#include <vector>

#include "annotation/history.h"
#include "annotation/shapes.h"
#include "annotation/snapshot_codec.h"
#include "picture/raster_surface.h"
#include "ppm.h"

namespace tolvane::bench {
namespace {

constexpr int kW = 3840, kH = 2160;
constexpr Argb kVeil = 0x80222222u;

const Image& frozen4k() {
  static const Image img = samplePicture(kW, kH);
  return img;
}

// Collects what would be painted; painting composes exactly those areas.
struct PaintCounter : picture::Presenter {
  std::vector<IRect> pending;
  void invalidate(const IRect& r) override { pending.push_back(r); }
  void flush() override {}
};

// One drag step as the window does it, plus composing what the screen must show.
void dragStep(picture::RasterSurface& s, PaintCounter& paint, const Image& memdc, int step, int stride) {
  const int l = 400 + (step % 40) * stride, t = 300 + (step % 30) * stride / 2;
  s.bitBlt(0, 0, kW, kH, memdc, 0, 0);
  s.fillArgb(kVeil, 0, 0, kW, kH);
  s.bitBlt(l, t, 800, 600, memdc, l, t);
  s.refresh();
  for (const IRect& r : paint.pending) benchmark::DoNotOptimize(s.compose(r));
  paint.pending.clear();
}

void BM_DragStep(benchmark::State& state) {
  const bool lazy = state.range(0) != 0;
  const int stride = static_cast<int>(state.range(1));  // pixels the pointer moves per step
  PaintCounter paint;
  picture::RasterSurface s(kW, kH, nullptr, &paint);
  s.setLazyRepaint(lazy);
  const Image& memdc = frozen4k();
  int step = 0;
  dragStep(s, paint, memdc, step++, stride);
  for (auto _ : state) dragStep(s, paint, memdc, step++, stride);
  state.SetLabel(lazy ? "damage-tracked" : "full repaint");
}
// A moving 800x600 selection at 4K, 4 and 40 pixels per step.
BENCHMARK(BM_DragStep)->Args({0, 4})->Args({1, 4})->Args({0, 40})->Args({1, 40})->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SnapshotWrite(benchmark::State& state) {
  annotation::SnapshotCodec bag;
  annotation::Bytes out;
  for (auto _ : state) bag.encode(out, frozen4k());
  state.counters["bytes"] = static_cast<double>(out.size());
  state.counters["of_raw_frame"] = static_cast<double>(out.size()) / (kW * kH * 4.0);
}
BENCHMARK(BM_SnapshotWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SnapshotRead(benchmark::State& state) {
  annotation::SnapshotCodec bag;
  annotation::Bytes out;
  bag.encode(out, frozen4k());
  for (auto _ : state) benchmark::DoNotOptimize(bag.decode(out));
}
BENCHMARK(BM_SnapshotRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// 20 annotations on the veiled 4K picture, then undo and redo through them.
struct Annotated {
  picture::RasterSurface s{kW, kH, nullptr, nullptr};
  annotation::History h;
  Annotated() {
    s.bitBlt(0, 0, kW, kH, frozen4k(), 0, 0);
    s.setPicture(s.image());
    h.firstEntry(s.picture());
    s.fillArgb(kVeil, 0, 0, kW, kH);
    s.bitBlt(500, 400, 2000, 1200, frozen4k(), 500, 400);
    for (int i = 0; i < 20; ++i) annotate(i);
  }
  void annotate(int i) {
    const float x = 600.0f + 80.0f * i, y = 500.0f + 40.0f * i;
    annotation::drawRectangle(s, x, y, x + 300, y + 200, 0x000000FF);
    annotation::drawArrow(s, x, y + 250, x + 200, y + 400, 10, 0x00FF0000);
    h.push(s, {500, 400, 2500, 1600});
  }
};

void BM_HistoryPush(benchmark::State& state) {
  Annotated a;
  int i = 0;
  for (auto _ : state) {
    a.annotate(i++ % 20);
    state.PauseTiming();
    a.h.undo(a.s);  // keep the history from growing without bound
    state.ResumeTiming();
  }
  state.counters["bytes_per_step"] = static_cast<double>(a.h.bytesKept()) / a.h.top();
  state.counters["step_of_raw_frame"] = static_cast<double>(a.h.bytesKept()) / a.h.top() / (kW * kH * 4.0);
}
BENCHMARK(BM_HistoryPush)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HistoryUndoRedo(benchmark::State& state) {
  Annotated a;
  bool back = true;
  for (auto _ : state) {
    if (back)
      a.h.undo(a.s);
    else
      a.h.redo(a.s);
    benchmark::DoNotOptimize(a.s.getPixel(700, 600));  // the canvas is really refilled
    back = !back;
  }
}
BENCHMARK(BM_HistoryUndoRedo)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tolvane::bench

BENCHMARK_MAIN();
