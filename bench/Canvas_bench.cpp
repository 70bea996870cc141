// The scope's picture on the canvas: two traces of 1023 segments, the grid
// and the background fill on a 377 x 329 back buffer (target 0.5 ms per
// picture on one core), and the copy of the back buffer to a window's
// surface (measured against an image of the backing store's format, since
// the benchmarks run without a window).
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <vector>

#include "platform/graphics/Graphics.h"

namespace {

constexpr int kWidth = 377, kHeight = 329, kPoints = 1024;

// Two traces as the scope maps them: x across the plot, y a noisy sine
// spanning most of the height.
std::vector<TPoint> Trace(double phase, double freq) {
  std::vector<TPoint> pts(kPoints);
  uint32_t seed = 12345u + static_cast<uint32_t>(phase * 100);
  for (int i = 0; i < kPoints; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const double noise = static_cast<double>(seed >> 8) / (1u << 24) - 0.5;
    const double v = std::sin(phase + freq * i * 2 * M_PI / kPoints) * 0.8 + noise * 0.2;
    pts[static_cast<size_t>(i)] = {i * (kWidth - 1) / (kPoints - 1),
                                   static_cast<int>(kHeight / 2 - v * kHeight / 2)};
  }
  return pts;
}

// One picture: background fill, framed plot with a 10 x 8 grid, two traces.
void DrawPicture(TCanvas* c, const std::vector<TPoint>& a, const std::vector<TPoint>& b) {
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(clBlack);
  c->Pen()->SetStyle(psSolid);
  c->FillRect(Rect(0, 0, kWidth, kHeight));
  c->Brush()->SetStyle(bsClear);
  c->Pen()->SetColor(clGreen);
  c->Rectangle(0, 0, kWidth, kHeight - 1);
  for (int k = 1; k < 10; ++k) {
    const int x = k * kWidth / 10;
    c->Pen()->SetColor(k == 5 ? clWhite : clGreen);
    c->MoveTo(x, 0);
    c->LineTo(x, kHeight - 2);
  }
  for (int k = 1; k < 8; ++k) {
    const int y = k * (kHeight - 1) / 8;
    c->Pen()->SetColor(k == 4 ? clWhite : clGreen);
    c->MoveTo(0, y);
    c->LineTo(kWidth - 1, y);
  }
  c->Brush()->SetStyle(bsSolid);
  c->Pen()->SetColor(clRed);
  c->Polyline(a);
  c->Pen()->SetColor(clLime);
  c->Polyline(b);
}

void BM_ScopePicture(benchmark::State& state) {
  TBitmap* buffer = Create<TBitmap>();
  buffer->SetSize(kWidth, kHeight);
  const std::vector<TPoint> a = Trace(0.0, 3.0), b = Trace(1.0, 7.0);
  for (auto _ : state) {
    DrawPicture(buffer->Canvas(), a, b);
    benchmark::DoNotOptimize(buffer->Image().constBits());
  }
  buffer->Free();
}
BENCHMARK(BM_ScopePicture)->Unit(benchmark::kMicrosecond);

// The parts alone, to see where the time goes.
void BM_ScopePictureFillOnly(benchmark::State& state) {
  TBitmap* buffer = Create<TBitmap>();
  buffer->SetSize(kWidth, kHeight);
  buffer->Canvas()->Brush()->SetColor(clBlack);
  for (auto _ : state) {
    buffer->Canvas()->FillRect(Rect(0, 0, kWidth, kHeight));
    benchmark::DoNotOptimize(buffer->Image().constBits());
  }
  buffer->Free();
}
BENCHMARK(BM_ScopePictureFillOnly)->Unit(benchmark::kMicrosecond);

void BM_ScopePictureTracesOnly(benchmark::State& state) {
  TBitmap* buffer = Create<TBitmap>();
  buffer->SetSize(kWidth, kHeight);
  const std::vector<TPoint> a = Trace(0.0, 3.0), b = Trace(1.0, 7.0);
  for (auto _ : state) {
    buffer->Canvas()->Polyline(a);
    buffer->Canvas()->Polyline(b);
    benchmark::DoNotOptimize(buffer->Image().constBits());
  }
  buffer->Free();
}
BENCHMARK(BM_ScopePictureTracesOnly)->Unit(benchmark::kMicrosecond);

// The paint event's copy: the back buffer drawn onto a surface of the
// backing store's format, as the window's paint event does.
void BM_BackBufferCopy(benchmark::State& state) {
  TBitmap* buffer = Create<TBitmap>();
  buffer->SetSize(kWidth, kHeight);
  DrawPicture(buffer->Canvas(), Trace(0.0, 3.0), Trace(1.0, 7.0));
  QImage surface(kWidth + 32, kHeight + 48, QImage::Format_ARGB32_Premultiplied);
  surface.fill(0);
  for (auto _ : state) {
    QPainter p(&surface);
    p.drawImage(16, 40, buffer->Image());
    p.end();
    benchmark::DoNotOptimize(surface.constBits());
  }
  buffer->Free();
}
BENCHMARK(BM_BackBufferCopy)->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {

// A highlighted trace of a very wide channel (the pen is the channel's
// width + 2): the cost of a geometric pen much wider than the canvas.
void BM_WideTrace(benchmark::State& state) {
  TBitmap* buffer = Create<TBitmap>();
  buffer->SetSize(kWidth, kHeight);
  const std::vector<TPoint> a = Trace(0.0, 3.0);
  buffer->Canvas()->Pen()->SetWidth(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    buffer->Canvas()->Polyline(a);
    benchmark::DoNotOptimize(buffer->Image().constBits());
  }
  buffer->Free();
}
BENCHMARK(BM_WideTrace)->Arg(3)->Arg(16)->Arg(17)->Arg(2002)->Unit(benchmark::kMillisecond);

}  // namespace
