// The combination lister: the screen frame, the prompt for n, the label table, the
// listing of every six-number combination of 1 to n, the summary and the final wait.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "screen/text.h"

namespace lister {

using screen::ColourValue;

constexpr ColourValue ScreenBackground = 0x000044;
constexpr ColourValue BannerForeground = 0xAAEEAA;
constexpr ColourValue White = 0xFFFFFF;
constexpr ColourValue Green = 0x00FF00;
constexpr ColourValue BarForeground = 0x0000AA;

constexpr std::string_view Banner =
    "**************************  VARIACIONES DE n ELEMENTOS TOMADOS DE 6 EN 6  *****"
    " COMBINACIONES 1.0 **";
constexpr std::string_view WebAddress = "https://www.combinaciones.example/es";
constexpr std::string_view VideoModeError = "Error setting video mode!";
constexpr std::string_view Prompt = " > NUMERO DE ELEMENTOS A COMBINAR EN GRUPOS DE 6 (7-49): ";

static_assert(Banner.size() == 100);
static_assert(WebAddress.size() == 36);
static_assert(Prompt.size() == 57);

// The grid of the listing: 27 rows of 6 entries, filled column by column.
constexpr int FirstGridRow = 6;
constexpr int LastGridRow = 32;
constexpr int FirstGridColumn = 2;
constexpr int GridPitch = 17;

// The two-character (or longer) label of each number 1 to n, each followed by a space so
// that the last label of an entry and its closing space are printed in one text. All
// labels live in one block of memory.
class LabelTable {
 public:
  using Allocate = void* (*)(std::size_t bytes);
  static void* allocate(std::size_t bytes);

  // Builds the labels for 1 to n (none for n below 1); false when the memory for them
  // cannot be had, and the table stays empty.
  bool build(std::int32_t n, Allocate allocate = &LabelTable::allocate);

  std::string_view label(std::int64_t i) const {
    const char* slot = slots_.get() + i * stride_;
    return {slot + 1, static_cast<unsigned char>(slot[0])};
  }
  std::string_view labelAndSpace(std::int64_t i) const {
    const char* slot = slots_.get() + i * stride_;
    return {slot + 1, static_cast<std::size_t>(static_cast<unsigned char>(slot[0])) + 1};
  }

 private:
  struct Free {
    void operator()(char* p) const;
  };
  std::unique_ptr<char[], Free> slots_;
  std::int64_t stride_ = 0;
};

struct Listing {
  std::int64_t count = 0;  // combinations written
  double startTime = 0.0;  // timerSeconds() just before the first entry
  bool completed = false;  // false when the space bar ended it
};

// Opens the display and draws the frame; with no display, writes the message line to
// standard output and returns false.
bool drawFrame();
// Prompts on row 4 and reads n, echoed in green; restores the web address after it.
std::int32_t askElementCount();
// Writes every combination of six of 1 to n into the grid, polling a key after each.
Listing listCombinations(std::int32_t n, const LabelTable& labels);
// Rows 34 to 36: the count, " > OK." and the elapsed time.
void showSummary(const Listing& listing, std::int32_t n);
// Row 34 when the labels for n do not fit in memory.
void showNoMemory(std::int32_t n);
// Polls until any key arrives, pausing a millisecond between polls.
void waitForAnyKey();

// The whole program from start to end; returns the exit status.
int runLister();

}  // namespace lister
