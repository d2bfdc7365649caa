// The squeeze's height over time as a PNG: one step line per run of tessera-squeeze-bench (its
// printed output), the time on a logarithmic axis from 1 s to the end of the runs, and the best
// known height as a dashed line.
//
//   tessera-squeeze-curve OUT.png TITLE BEST_KNOWN LABEL=RUN_OUTPUT...
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "picture/picture_text.h"

namespace tessera {
namespace {

struct Run {
  std::string label;
  double start = 0.0;                           // the greedy start's height
  std::vector<std::pair<double, double>> best;  // (seconds, height) of each new best
  double end = 0.0;                             // seconds the run lasted
};

// Reads "greedy start: height H", "   T s  height H ..." and "moves M in T s: ...".
Run readRun(const std::string& label, const std::string& file) {
  std::ifstream in(file);
  if (!in) throw std::runtime_error(file + ": cannot be read");
  Run run;
  run.label = label;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    double t = 0.0, h = 0.0;
    unsigned long long moves = 0;
    if (std::sscanf(line.c_str(), "greedy start: height %lf", &h) == 1) {
      run.start = h;
    } else if (std::sscanf(line.c_str(), " %lf s height %lf", &t, &h) == 2) {
      if (!run.best.empty() && t < run.best.back().first)
        throw std::runtime_error(file + ":" + std::to_string(number) + ": time goes back");
      run.best.emplace_back(t, h);
    } else if (std::sscanf(line.c_str(), "moves %llu in %lf s", &moves, &t) == 2) {
      run.end = t;
    }
  }
  if (run.start <= 0.0) throw std::runtime_error(file + ": no greedy start");
  if (run.end <= 0.0) throw std::runtime_error(file + ": no end of the run");
  // The last best may be reported a moment after the end is rounded.
  if (!run.best.empty()) run.end = std::max(run.end, run.best.back().first);
  return run;
}

// The height a run holds at time t.
double heightAt(const Run& run, double t) {
  double h = run.start;
  for (const auto& [when, height] : run.best)
    if (when <= t) h = height;
  return h;
}

struct CairoDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};

constexpr int kWidth = 900, kHeight = 520;
constexpr double kLeft = 70, kRight = 880, kTop = 40, kBottom = 470;
constexpr double kText = 13;
const Rgb kInk{40, 40, 40}, kGrid{215, 215, 215};
const Rgb kColours[] = {{31, 119, 180}, {214, 39, 40}, {44, 160, 44}, {148, 103, 189}};

void colour(cairo_t* c, Rgb rgb) {
  cairo_set_source_rgb(c, rgb.r / 255.0, rgb.g / 255.0, rgb.b / 255.0);
}

void line(cairo_t* c, double x0, double y0, double x1, double y1) {
  cairo_move_to(c, x0, y0);
  cairo_line_to(c, x1, y1);
  cairo_stroke(c);
}

std::string fixed(double v, int digits) {
  std::ostringstream out;
  out.precision(digits);
  out << std::fixed << v;
  return out.str();
}

int run(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr,
                 "Usage: tessera-squeeze-curve OUT.png TITLE BEST_KNOWN LABEL=RUN_OUTPUT...\n");
    return 2;
  }
  const std::string out = argv[1];
  const std::string title = argv[2];
  const double bestKnown = std::atof(argv[3]);
  std::vector<Run> runs;
  for (int i = 4; i < argc; ++i) {
    const std::string arg = argv[i];
    const std::size_t eq = arg.find('=');
    if (eq == std::string::npos) throw std::runtime_error("give LABEL=RUN_OUTPUT: " + arg);
    runs.push_back(readRun(arg.substr(0, eq), arg.substr(eq + 1)));
  }

  // Time from 1 s (the first second is the start's fast fall) to the longest run's end.
  double end = 1.0, high = bestKnown, low = bestKnown > 0.0 ? bestKnown : INFINITY;
  for (const Run& r : runs) {
    end = std::max(end, r.end);
    high = std::max(high, heightAt(r, 1.0));
    low = std::min(low, heightAt(r, r.end));
  }
  const double pad = 0.05 * (high - low) + 1e-9;
  const double yLow = low - pad, yHigh = high + pad;
  auto x = [&](double t) {
    return kLeft + (kRight - kLeft) * std::log(std::max(t, 1.0)) / std::log(end);
  };
  auto y = [&](double h) { return kBottom - (kBottom - kTop) * (h - yLow) / (yHigh - yLow); };

  const std::unique_ptr<cairo_surface_t, CairoDeleter> surface(
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight));
  const std::unique_ptr<cairo_t, CairoDeleter> owner(cairo_create(surface.get()));
  cairo_t* c = owner.get();
  colour(c, {255, 255, 255});
  cairo_paint(c);
  cairo_set_line_width(c, 1.0);

  drawText(c, kLeft, 10, title, kInk, kText + 2);
  for (double t : {1.0, 2.0, 5.0, 10.0, 20.0, 50.0, 100.0, 200.0, 600.0, 1200.0}) {
    if (t > end * 1.001) break;
    colour(c, kGrid);
    line(c, x(t), kTop, x(t), kBottom);
    const std::string text = fixed(t, 0) + " s";
    drawText(c, x(t) - 0.5 * textWidth(text, kText), kBottom + 6, text, kInk, kText);
  }
  const double step = std::pow(10.0, std::floor(std::log10((yHigh - yLow) / 4.0)));
  const double stride = (yHigh - yLow) / step > 20  ? 5 * step
                        : (yHigh - yLow) / step > 8 ? 2 * step
                                                    : step;
  for (double h = std::ceil(yLow / stride) * stride; h <= yHigh; h += stride) {
    colour(c, kGrid);
    line(c, kLeft, y(h), kRight, y(h));
    const std::string text = fixed(h, stride < 1.0 ? 1 : 0);
    drawText(c, kLeft - 8 - textWidth(text, kText), y(h) - 8, text, kInk, kText);
  }
  colour(c, kInk);
  cairo_rectangle(c, kLeft, kTop, kRight - kLeft, kBottom - kTop);
  cairo_stroke(c);
  drawText(c, kLeft, kBottom + 26,
           "wall-clock time (logarithmic); height of the best feasible layout", kInk, kText);

  if (bestKnown > 0.0) {
    const double dash[] = {6.0, 4.0};
    cairo_set_dash(c, dash, 2, 0.0);
    colour(c, kInk);
    line(c, kLeft, y(bestKnown), kRight, y(bestKnown));
    cairo_set_dash(c, nullptr, 0, 0.0);
    const std::string text = "best known " + fixed(bestKnown, 2);
    drawText(c, kRight - 8 - textWidth(text, kText), y(bestKnown) + 4, text, kInk, kText);
  }

  cairo_set_line_width(c, 2.0);
  for (std::size_t k = 0; k < runs.size(); ++k) {
    const Run& r = runs[k];
    const Rgb rgb = kColours[k % std::size(kColours)];
    colour(c, rgb);
    cairo_move_to(c, x(1.0), y(heightAt(r, 1.0)));
    for (const auto& [t, h] : r.best) {
      if (t <= 1.0) continue;
      cairo_line_to(c, x(t), y(heightAt(r, std::nextafter(t, 0.0))));
      cairo_line_to(c, x(t), y(h));
    }
    cairo_line_to(c, x(r.end), y(heightAt(r, r.end)));
    cairo_stroke(c);
    const std::string text = r.label + ": " + fixed(heightAt(r, r.end), 2);
    const double ty = kTop + 10 + 20 * static_cast<double>(k);
    cairo_rectangle(c, kRight - 230, ty + 4, 16, 8);
    cairo_fill(c);
    drawText(c, kRight - 208, ty, text, kInk, kText);
  }

  cairo_surface_flush(surface.get());
  if (cairo_surface_write_to_png(surface.get(), out.c_str()) != CAIRO_STATUS_SUCCESS)
    throw std::runtime_error(out + ": cannot be written");
  return 0;
}

}  // namespace
}  // namespace tessera

int main(int argc, char** argv) {
  try {
    return tessera::run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tessera-squeeze-curve: %s\n", e.what());
    return 1;
  }
}
