#include "lister/lister.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <new>

#include "screen/display.h"
#include "screen/keyboard.h"
#include "screen/values.h"

namespace lister {

using namespace screen;

namespace {

// A row of 100 spaces whose background falls from 0x00FD88 to 0x003788.
void drawGradientBar() {
  for (int i = 1; i <= GridColumns; ++i) {
    setColours(BarForeground, (255 - 2 * i) << 8 | 0x88);
    printText(" ", false);
  }
}

}  // namespace

void* LabelTable::allocate(std::size_t bytes) {
  return ::operator new(bytes, std::nothrow);
}

void LabelTable::Free::operator()(char* p) const {
  ::operator delete(p);
}

bool LabelTable::build(std::int32_t n, Allocate allocateBytes) {
  slots_.reset();
  stride_ = 0;
  if (n < 1) return true;
  // A slot: the label's length, its characters, a space. Slot 0 is never used. Labels
  // have at least two characters ("01" to "09"), even when n itself has one digit.
  const auto longest = std::max<std::int64_t>(2, static_cast<std::int64_t>(decimalText(n).size()));
  stride_ = longest + 2;
  const auto bytes = static_cast<std::size_t>((std::int64_t{n} + 1) * stride_);
  slots_.reset(static_cast<char*>(allocateBytes(bytes)));
  if (!slots_) {
    stride_ = 0;
    return false;
  }
  for (std::int64_t i = 1; i <= n; ++i) {
    const Text text = i < 10 ? "0" + decimalText(i) : decimalText(i);
    char* slot = slots_.get() + i * stride_;
    slot[0] = static_cast<char>(text.size());
    text.copy(slot + 1, text.size());
    slot[1 + text.size()] = ' ';
  }
  return true;
}

bool drawFrame() {
  openScreen(ScreenWidth, ScreenHeight, ScreenDepth, PageCount, true);
  if (!screenReady()) {
    printText(VideoModeError, true);
    return false;
  }
  setColours(BannerForeground, ScreenBackground);
  clearScreen();
  locate(2, 1);
  printText(Banner, true);
  locate(3, 1);
  drawGradientBar();
  setColours(White, ScreenBackground);
  locate(4, 63);
  printText(WebAddress, true);
  locate(5, 1);
  drawGradientBar();
  locate(33, 1);
  drawGradientBar();
  return true;
}

std::int32_t askElementCount() {
  locate(4, 0);
  setColours(White, ScreenBackground);
  printText(Prompt, false);
  setColours(Green, KeepColour);
  const std::int32_t n = parseInteger(readLine("", false, true));
  setColours(White, ScreenBackground);
  locate(4, 63);
  printText(WebAddress, true);
  return n;
}

Listing listCombinations(std::int32_t n, const LabelTable& labels) {
  Listing listing;
  int row = FirstGridRow;
  int column = FirstGridColumn;
  setColours(Green, ScreenBackground);
  listing.startTime = timerSeconds();
  // 64-bit indices: with n at the top of the 32-bit range, f + 1 must not overflow.
  const std::int64_t last = n;
  for (std::int64_t a = 1; a <= last; ++a) {
    for (std::int64_t b = a + 1; b <= last; ++b) {
      for (std::int64_t c = b + 1; c <= last; ++c) {
        for (std::int64_t d = c + 1; d <= last; ++d) {
          for (std::int64_t e = d + 1; e <= last; ++e) {
            for (std::int64_t f = e + 1; f <= last; ++f) {
              locate(row, column);
              setColours(White, KeepColour);
              printText(labels.label(a), false);
              setColours(Green, KeepColour);
              printText(labels.label(b), false);
              setColours(White, KeepColour);
              printText(labels.label(c), false);
              setColours(Green, KeepColour);
              printText(labels.label(d), false);
              setColours(White, KeepColour);
              printText(labels.label(e), false);
              setColours(Green, KeepColour);
              printText(labels.labelAndSpace(f), true);
              if (row >= LastGridRow) {
                row = FirstGridRow;
                column = column >= 75 ? FirstGridColumn : column + GridPitch;
              } else {
                ++row;
              }
              ++listing.count;
              if (pollKey() == " ") return listing;
            }
          }
        }
      }
    }
  }
  listing.completed = true;
  return listing;
}

void showSummary(const Listing& listing, std::int32_t n) {
  locate(34, 0);
  setColours(White, KeepColour);
  printText(" >", false);
  printInteger(listing.count, false);
  printText(" COMBINACIONES POSIBLES DE", false);
  printInteger(n, false);
  printText(" ELEMENTOS TOMADOS DE 6 EN 6    ", true);
  printText(" > OK.", true);
  printText(" > TIEMPO INVERTIDO:", false);
  printReal(timerSeconds() - listing.startTime, false);
  printText(" segundos.", true);
}

void showNoMemory(std::int32_t n) {
  locate(34, 0);
  setColours(White, KeepColour);
  printText(" > NO HAY MEMORIA SUFICIENTE PARA", false);
  printInteger(n, false);
  printText(" ELEMENTOS.", true);
}

void waitForAnyKey() {
  // Between polls the program sleeps until the display thread queues a key, so an idle
  // wait keeps off the processor and a key ends it at once.
  while (pollKey().empty()) waitForKey(std::chrono::milliseconds(10));
}

int runLister() {
  if (!drawFrame()) return 0;
  const std::int32_t n = askElementCount();
  LabelTable labels;
  if (!labels.build(n)) {
    showNoMemory(n);
    waitForAnyKey();
    return 0;
  }
  const Listing listing = listCombinations(n, labels);
  if (!listing.completed) return 0;
  showSummary(listing, n);
  waitForAnyKey();
  return 0;
}

}  // namespace lister
