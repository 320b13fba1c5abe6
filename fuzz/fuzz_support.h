// What the fuzz targets share: reading values off the input, a model of the grid's cells
// rendered into pixels the way the page must look, and a check that stops the run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "screen/display.h"
#include "screen/glyphs.h"
#include "screen/platform.h"
#include "screen/text.h"

namespace fuzz {

// A failed property: print it and abort, so that libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition, ...)                                                \
  do {                                                                            \
    if (!(condition)) {                                                           \
      std::fprintf(stderr, "%s:%d: %s failed: ", __FILE__, __LINE__, #condition); \
      std::fprintf(stderr, __VA_ARGS__);                                          \
      std::fprintf(stderr, "\n");                                                 \
      std::abort();                                                               \
    }                                                                             \
  } while (false)

// Takes bytes off the front of the input; past its end every value reads as 0.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  std::size_t left() const { return empty() ? 0 : size_ - at_; }
  std::uint8_t byte() { return empty() ? 0 : data_[at_++]; }
  std::int32_t int32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t{byte()} << (8 * i);
    return static_cast<std::int32_t>(v);
  }
  std::int32_t colour24() {  // a colour 0xRRGGBB, never "keep"
    return static_cast<std::int32_t>(byte() | byte() << 8 | byte() << 16);
  }
  const char* take(std::size_t count) {
    const char* start = reinterpret_cast<const char*>(data_ + at_);
    at_ += count;
    return start;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// One cell as the page must show it: a glyph painted in two stored colours.
struct ModelCell {
  std::uint8_t glyph = ' ';
  std::uint16_t foreground = 0;
  std::uint16_t background = 0;
};

// Paints a cell into a 5-6-5 page from the glyph table, pixel by pixel.
inline void renderCell(std::uint16_t* page, int row, int column, const ModelCell& cell) {
  const std::uint16_t diff = cell.foreground ^ cell.background;
  std::uint16_t* line =
      page + row * screen::CellHeight * screen::ScreenWidth + column * screen::CellWidth;
  for (int y = 0; y < screen::CellHeight; ++y, line += screen::ScreenWidth) {
    const unsigned bits = screen::Glyphs[cell.glyph][y];
    for (int x = 0; x < screen::CellWidth; ++x)
      line[x] = cell.background ^ static_cast<std::uint16_t>(diff & -((bits >> (7 - x)) & 1u));
  }
}

// The first line that differs between two pages in lines first..last, or -1.
inline int firstDifferentLine(const std::uint16_t* a, const std::uint16_t* b, int first, int last) {
  for (int y = first; y <= last; ++y)
    if (std::memcmp(a + y * screen::ScreenWidth, b + y * screen::ScreenWidth,
                    sizeof(std::uint16_t) * screen::ScreenWidth) != 0)
      return y;
  return -1;
}

// A window system that shows nothing: with no surface the display thread copies no line,
// so its passes cost nothing and never hold the drawing operations up for long.
class NullPlatform : public screen::Platform {
 public:
  bool start(const std::string&) override { return true; }
  bool openForm(screen::DisplayForm) override { return true; }
  void closeForm() override {}
  void stop() override {}
  screen::Surface surface() override { return {}; }
  void present(int, int) override {}
  int pollEvents(screen::WindowEvent*, int) override { return 0; }
  void beep() override {}
};

// Opens the display once for the whole fuzzing run. The checks read the work page.
inline void openHeadlessScreen() {
  static const bool opened = [] {
    screen::usePlatform([] { return std::make_unique<NullPlatform>(); });
    screen::openScreen();
    return screen::screenReady();
  }();
  if (!opened) {
    std::fprintf(stderr, "the display did not open\n");
    std::abort();
  }
}

// Copies the work page, under the display lock, into a page-sized buffer.
inline void copyWorkPage(std::vector<std::uint16_t>& copy) {
  copy.resize(screen::ScreenWidth * screen::ScreenHeight);
  screen::lockDisplay();
  std::memcpy(copy.data(), screen::workPage(), sizeof(std::uint16_t) * copy.size());
  screen::unlockDisplay();
}

}  // namespace fuzz
