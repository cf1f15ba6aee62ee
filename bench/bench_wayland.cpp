// The whole program on a headless sway and on Xvfb, both at 1920x1080 and
// measured the same way in the same run: exec to the veil painted (one pixel
// polled), and Ctrl+C to the image/png fully read by the clipboard's reader
// (wl-paste, xclip) for a 672x378 region. On the same sway, slurp (the usual
// region picker there): exec to its overlay shown, seen through grim the
// same way. Medians of RUNS runs.
//   tolvane_bench_wayland [RUNS]
// With --veil, exec to the veil on sway alone, for each program given, their
// runs taken in turn: exec to the veil's pixels seen by grim (polled every
// 2 ms), and exec to the hand-over (the capture stage loaded and the first
// stage's copies of the outputs unmapped, polled in /proc/PID/maps).
//   tolvane_bench_wayland --veil RUNS NAME=PROGRAM...
// With --memory, each program given at 3840x2160 on sway, runs taken in
// turn: peak memory once a region is dragged and after Ctrl+C (image/png
// read), the resident memory once settled while the clipboard is served,
// and Qt's screen-sized buffers.
//   tolvane_bench_wayland --memory RUNS NAME=PROGRAM...
// With --portal, the program by wlr-screencopy and through the Screenshot
// portal next to Flameshot on sway (sway_portal_bench.cpp).
//   tolvane_bench_wayland --portal [RUNS]
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../tests/e2e/wayland/sway.h"
#include "sway_portal_bench.h"
#include "wayland_stats.h"

namespace e2e = tolvane::e2e;
using tolvane::bench::Clock;
using tolvane::bench::median;
using tolvane::bench::msSince;
using tolvane::bench::range;
using tolvane::Argb;
using namespace std::chrono_literals;

namespace {

constexpr int kW = 1920, kH = 1080;
constexpr int kL = 100, kT = 100, kR = 772, kB = 478;  // 672 x 378

// Within one step in every channel: the X server's blending of the start-up
// veil rounds a little differently from ours.
bool near(tolvane::Argb a, tolvane::Argb b) {
  for (int shift : {0, 8, 16})
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 1) return false;
  return true;
}

struct Figures {
  std::vector<double> veil, copy;
  int exact = 0;
};

// One run: start, wait for the veil, drag, copy; the program is ended after.
struct Driver {
  std::function<void()> start;
  std::function<bool()> veiled;
  std::function<bool()> dragAndCopy;
  std::function<std::optional<std::string>()> png;
  std::function<void()> stop;
};

void measure(Driver& d, int runs, const tolvane::Image& region, Figures& f) {
  for (int i = 0; i < runs; ++i) {
    const auto t0 = Clock::now();
    d.start();
    if (!e2e::waitUntil(d.veiled, e2e::kPatience, std::chrono::milliseconds(2))) {
      std::fprintf(stderr, "run %d: no veil\n", i);
      d.stop();
      continue;
    }
    f.veil.push_back(msSince(t0));
    if (!d.dragAndCopy) {  // the overlay alone is timed
      d.stop();
      continue;
    }
    if (!d.dragAndCopy()) std::fprintf(stderr, "run %d: the drag or the key failed\n", i);
    // Timed from the key on: the drag is not.
    std::optional<std::string> png;
    const auto t2 = Clock::now();
    if (e2e::waitUntil([&] { return (png = d.png()).has_value(); }, e2e::kPatience, std::chrono::milliseconds(2))) {
      f.copy.push_back(msSince(t2));
      f.exact += e2e::decodePng(*png) == region;
    }
    d.stop();
  }
}

// The program, then slurp, on one headless sway.
bool measureSway(int runs, const tolvane::Image& picture, const std::map<std::string, std::string>& env,
                 Figures& program, Figures& slurp) {
  const tolvane::Image region = picture.copy({kL, kT, kR, kB}), veil = e2e::veiled(picture);
  e2e::Sway sway({picture});
  if (!sway.ok()) return false;
  auto wlEnv = sway.clientEnv(env.at("HOME"));
  wlEnv.insert(env.begin(), env.end());
  std::unique_ptr<e2e::Process> p;
  Driver d{[&] { p = std::make_unique<e2e::Process>(std::vector<std::string>{e2e::programPath()}, wlEnv); },
           [&] { return sway.pixel(kW / 2, kH / 2) == veil.pixel(kW / 2, kH / 2); },
           [&] {
             // The start-up surfaces that show the first veil keep only Esc
             // and a drag: Ctrl+C waits for the capture window's keyboard.
             e2e::waitUntil([&] { return sway.window("Tolvane").focused; }, e2e::kPatience, 2ms);
             return sway.drag(kL, kT, kR, kB) && sway.keys({"-M", "ctrl", "-k", "c", "-m", "ctrl"});
           },
           [&] { return sway.paste(); },
           [&] {
             sway.copyText("next");
             p->wait(e2e::kPatience);
             p.reset();
             // The pointer shows where the drag ended until sway hides it
             // (100 ms idle); a copy of the screen taken before then holds it.
             e2e::waitUntil([&] { return sway.grab() == picture; }, e2e::kPatience, 2ms);
           }};
  // slurp's overlay tints the whole output (white at 25 % by default).
  // slurp 1.4 crashes on the keyboard's modifiers once wtype has typed on
  // this seat (Ctrl+C in the program's runs): it goes first.
  Driver s{[&] { p = std::make_unique<e2e::Process>(std::vector<std::string>{"slurp"}, wlEnv); },
           [&] {
             const tolvane::Argb at = sway.pixel(kW / 2, kH / 2);
             return at != 0 && at != picture.pixel(kW / 2, kH / 2);
           },
           {},
           {},
           [&] {
             p->signal(SIGTERM);
             p->wait(e2e::kPatience);
             p.reset();
           }};
  measure(s, runs, region, slurp);
  measure(d, runs, region, program);
  return true;
}

int veilOnly(int runs, const std::vector<std::pair<std::string, std::string>>& programs,
             const std::map<std::string, std::string>& env) {
  const tolvane::Image picture = e2e::knownPicture(kW, kH);
  const Argb want = e2e::veiled(picture).pixel(kW / 2, kH / 2);
  e2e::Sway sway({picture});
  if (!sway.ok()) return std::fprintf(stderr, "headless sway did not start\n"), 1;
  auto wlEnv = sway.clientEnv(env.at("HOME"));
  wlEnv.insert(env.begin(), env.end());
  std::vector<std::vector<double>> veil(programs.size()), handOver(programs.size());
  for (int i = 0; i < runs; ++i)
    for (std::size_t k = 0; k < programs.size(); ++k) {
      const auto t0 = Clock::now();
      e2e::Process p({programs[k].second}, wlEnv);
      if (e2e::waitUntil([&] { return sway.pixel(kW / 2, kH / 2) == want; }, e2e::kPatience, 2ms))
        veil[k].push_back(msSince(t0));
      if (e2e::waitUntil(
              [&] {
                const std::string maps = e2e::procMappings(p.pid());
                return maps.find("tolvane-capture.so") != std::string::npos &&
                       maps.find("memfd:tolvane-screen") == std::string::npos;
              },
              e2e::kPatience, 1ms))
        handOver[k].push_back(msSince(t0));
      // Esc once the capture window holds the keyboard; the next run starts on the bare desktop.
      e2e::waitUntil([&] { return sway.window("Tolvane").focused; }, e2e::kPatience, 2ms);
      e2e::waitUntil([&] { return sway.keys({"-k", "Escape"}) && p.wait(200ms).has_value(); }, e2e::kPatience);
      e2e::waitUntil([&] { return sway.pixel(kW / 2, kH / 2) == picture.pixel(kW / 2, kH / 2); }, e2e::kPatience);
    }
  std::printf("| sway 1920x1080, %d runs | exec to veil seen | exec to hand-over |\n|---|---|---|\n", runs);
  for (std::size_t k = 0; k < programs.size(); ++k)
    std::printf("| %s | %s | %s |\n", programs[k].first.c_str(), range(veil[k]).c_str(), range(handOver[k]).c_str());
  return 0;
}

// A /proc/PID/status size in MiB; -1 when it cannot be read.
double statusMiB(pid_t pid, const std::string& field) {
  const std::optional<long long> kib = e2e::procStatus(pid, field);
  return kib ? *kib / 1024.0 : -1;
}

// The resident memory once it has settled: polled every 20 ms until it has
// not changed for half a second (at most 5 s), in MiB.
double settledResidentMiB(pid_t pid) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + 5s;
  double last = statusMiB(pid, "VmRSS");
  auto since = Clock::now();
  while (Clock::now() < end && Clock::now() - since < 500ms) {
    std::this_thread::sleep_for(20ms);
    if (const double now = statusMiB(pid, "VmRSS"); now != last) last = now, since = Clock::now();
  }
  return last;
}

int memoryOnly(int runs, const std::vector<std::pair<std::string, std::string>>& programs,
               const std::map<std::string, std::string>& env) {
  constexpr int w = 3840, h = 2160;
  constexpr int l = 1248, t = 702, r = 2592, b = 1458;  // 1344 x 756
  const tolvane::Image picture = e2e::knownPicture(w, h), region = picture.copy({l, t, r, b});
  const Argb want = e2e::veiled(picture).pixel(w / 2, 100);
  e2e::Sway sway({picture});
  if (!sway.ok()) return std::fprintf(stderr, "headless sway did not start\n"), 1;
  auto wlEnv = sway.clientEnv(env.at("HOME"));
  wlEnv.insert(env.begin(), env.end());
  struct MemoryFigures {
    std::vector<double> dragged, copied, resident, buffers;
    int exact = 0;
  };
  std::vector<MemoryFigures> f(programs.size());
  for (int i = 0; i < runs; ++i)
    for (std::size_t k = 0; k < programs.size(); ++k) {
      e2e::Process p({programs[k].second}, wlEnv);
      if (!e2e::waitUntil([&] { return sway.pixel(w / 2, 100) == want && sway.window("Tolvane").focused; },
                          e2e::kPatience, 2ms)) {
        std::fprintf(stderr, "%s run %d: no veil\n", programs[k].first.c_str(), i);
        continue;
      }
      sway.drag(l, t, r, b);
      const int mx = (l + r) / 2, my = (t + b) / 2;
      e2e::waitUntil([&] { return sway.pixel(mx, my) == picture.pixel(mx, my); }, e2e::kPatience, 2ms);
      f[k].dragged.push_back(statusMiB(p.pid(), "VmHWM"));
      f[k].buffers.push_back(e2e::waylandShmBuffers(p.pid(), std::uint64_t{w} * h * 4));
      sway.keys({"-M", "ctrl", "-k", "c", "-m", "ctrl"});
      std::optional<std::string> png;
      if (e2e::waitUntil([&] { return (png = sway.paste()).has_value(); }, e2e::kPatience, 2ms))
        f[k].exact += e2e::decodePng(*png) == region;
      f[k].copied.push_back(statusMiB(p.pid(), "VmHWM"));
      f[k].resident.push_back(settledResidentMiB(p.pid()));
      sway.copyText("next");
      p.wait(e2e::kPatience);
      e2e::waitUntil([&] { return sway.grab() == picture; }, e2e::kPatience, 2ms);
    }
  std::printf("| sway 3840x2160, %d runs, medians | peak, region dragged | peak with the copy | resident while serving "
              "| Qt's screen-sized buffers | copies exact |\n|---|---|---|---|---|---|\n",
              runs);
  for (std::size_t k = 0; k < programs.size(); ++k)
    std::printf("| %s | %.1f MiB | %.1f MiB | %.1f MiB | %.0f | %d/%zu |\n", programs[k].first.c_str(),
                median(f[k].dragged), median(f[k].copied), median(f[k].resident), median(f[k].buffers), f[k].exact,
                f[k].copied.size());
  return 0;
}

// --veil or --memory RUNS NAME=PROGRAM...
int programsMain(int argc, char** argv) {
  std::vector<std::pair<std::string, std::string>> programs;
  for (int i = 3; i < argc; ++i) {
    const std::string a = argv[i];
    const auto eq = a.find('=');
    programs.emplace_back(a.substr(0, eq), eq == std::string::npos ? a : a.substr(eq + 1));
  }
  const std::string home = e2e::scratchDir() + "/bench-home";
  mkdir(home.c_str(), 0700);
  const std::map<std::string, std::string> env{{"HOME", home}, {"XDG_RUNTIME_DIR", home}, {"LANG", "C.UTF-8"}};
  const int runs = std::max(1, std::atoi(argv[2]));
  return std::string(argv[1]) == "--memory" ? memoryOnly(runs, programs, env) : veilOnly(runs, programs, env);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && (std::string(argv[1]) == "--veil" || std::string(argv[1]) == "--memory"))
    return programsMain(argc, argv);
  if (argc > 1 && std::string(argv[1]) == "--portal")
    return tolvane::bench::portalBench(argc > 2 ? std::max(1, std::atoi(argv[2])) : 7);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  const tolvane::Image picture = e2e::knownPicture(kW, kH), region = picture.copy({kL, kT, kR, kB});
  const tolvane::Image veil = e2e::veiled(picture);
  const std::string home = e2e::scratchDir() + "/bench-home";
  mkdir(home.c_str(), 0700);
  std::map<std::string, std::string> env{{"HOME", home}, {"XDG_RUNTIME_DIR", home}, {"LANG", "C.UTF-8"}};

  Figures wl, x11, slurp;
  if (!measureSway(runs, picture, env, wl, slurp)) return std::fprintf(stderr, "headless sway did not start\n"), 1;
  {
    e2e::XServer x(kW, kH);
    if (!x.ok() || !x.setRoot(picture)) return std::fprintf(stderr, "Xvfb did not start\n"), 1;
    std::unique_ptr<e2e::Program> p;
    Driver d{[&] { p = std::make_unique<e2e::Program>(x, std::vector<std::string>{e2e::programPath()}, env); },
             [&] { return near(x.grab().pixel(kW / 2, kH / 2), veil.pixel(kW / 2, kH / 2)); },
             [&] {
               x.drag(kL, kT, kR, kB);
               x.key("ctrl+c");
               return true;
             },
             [&] { return x.clipboard("image/png", std::chrono::seconds(2)); },
             [&] {
               x.takeClipboard("next");
               p->wait(e2e::kPatience);
               p.reset();
             }};
    measure(d, runs, region, x11);
  }
  std::printf("| what, 1920x1080 (medians of %d) | Wayland (headless sway) | X11 (Xvfb) |\n|---|---|---|\n", runs);
  std::printf("| exec to veil painted | %.0f ms | %.0f ms |\n", median(wl.veil), median(x11.veil));
  std::printf("| slurp on the same sway: exec to overlay shown | %.0f ms (ours %.2fx) | |\n", median(slurp.veil),
              median(slurp.veil) > 0 ? median(wl.veil) / median(slurp.veil) : 0.0);
  std::printf("| Ctrl+C to image/png read, 672x378 | %.0f ms | %.0f ms |\n", median(wl.copy), median(x11.copy));
  std::printf("| clipboard pixels exact | %d/%zu | %d/%zu |\n", wl.exact, wl.copy.size(), x11.exact, x11.copy.size());
  return 0;
}
