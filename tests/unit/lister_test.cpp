// The lister on the headless screen: the frame, the prompt, the labels, the listing grid,
// the summary and the final wait, read back from the page as a person sees them.
#include "lister/lister.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "screen/display.h"
#include "screen/headless_platform.h"
#include "screen/keyboard.h"
#include "screen/text.h"
#include "support/cell_reader.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define UNDER_SANITIZER 1
#endif
#endif

namespace {

using support::CellGrid;

constexpr std::uint16_t Background = 0x0008;  // 0x000044 as stored
constexpr std::uint16_t White = 0xFFFF;
constexpr std::uint16_t Green = 0x07E0;
constexpr std::uint16_t BannerColour = 0xAF75;  // 0xAAEEAA as stored
constexpr int EntriesPerPage = 162;

const std::string Blank100(100, ' ');

void pushKey(screen::KeyCode code) {
  screen::lockDisplay();
  screen::pushKey(code);
  screen::unlockDisplay();
}

void pushText(const std::string& typed) {
  for (const char c : typed) pushKey(static_cast<unsigned char>(c));
}

CellGrid page() {
  return CellGrid::fromPage(screen::shownPage());
}

// The grid place of entry k (0-based) of the listing: column by column, 27 rows a column.
struct Place {
  int row;
  int column;
};
Place placeOf(std::int64_t k) {
  const int slot = static_cast<int>(k % EntriesPerPage);
  return {6 + slot % 27, 2 + 17 * (slot / 27)};
}

// What the grid shows after listing the first `limit` combinations of six of 1 to n (all
// of them by default): for each of the 162 places, the text of the latest entry written
// there ("" when none was), worked out by stepping a six-index odometer rather than by
// nested loops.
struct ExpectedListing {
  std::int64_t count = 0;
  std::array<std::string, EntriesPerPage> places{};
};
ExpectedListing expectedListing(int n, std::int64_t limit = INT64_MAX) {
  ExpectedListing expected;
  if (n < 6) return expected;
  using Pick = std::array<int, 6>;
  std::array<Pick, EntriesPerPage> latest{};  // formatted at the end: n = 49 has 14 million
  Pick pick{1, 2, 3, 4, 5, 6};
  while (expected.count < limit) {
    latest[static_cast<std::size_t>(expected.count % EntriesPerPage)] = pick;
    ++expected.count;
    int i = 5;
    while (i >= 0 && pick[static_cast<std::size_t>(i)] == n - 5 + i) --i;
    if (i < 0) break;
    ++pick[static_cast<std::size_t>(i)];
    for (int j = i + 1; j < 6; ++j)
      pick[static_cast<std::size_t>(j)] = pick[static_cast<std::size_t>(j - 1)] + 1;
  }
  for (std::size_t k = 0; k < EntriesPerPage && static_cast<std::int64_t>(k) < expected.count;
       ++k) {
    for (const int v : latest[k]) expected.places[k] += (v < 10 ? "0" : "") + std::to_string(v);
    expected.places[k] += " ";
  }
  return expected;
}

// Every place of the grid shows its expected entry, or background where none was written;
// labels alternate white and green, all on 0x000044.
void expectGrid(const CellGrid& grid, const ExpectedListing& expected) {
  for (int k = 0; k < EntriesPerPage; ++k) {
    const Place at = placeOf(k);
    const std::string& entry = expected.places[static_cast<std::size_t>(k)];
    const std::string shown = entry.empty() ? std::string(13, ' ') : entry;
    ASSERT_EQ(grid.text(at.row, at.column, 13), shown) << "row " << at.row << " col " << at.column;
    if (entry.empty()) continue;
    for (int label = 0; label < 6; ++label)
      for (int c = 0; c < 2; ++c) {
        const support::Cell& cell = grid.at(at.row, at.column + 2 * label + c);
        EXPECT_EQ(cell.foreground, label % 2 == 0 ? White : Green)
            << "row " << at.row << " col " << at.column + 2 * label + c;
        EXPECT_EQ(cell.background, Background);
      }
  }
  // The cells between entries and column 1 are never written.
  for (int row = 6; row <= 32; ++row) {
    EXPECT_EQ(grid.at(row, 1).background, Background);
    for (int column = 15; column <= 100; column += 17)
      EXPECT_EQ(grid.text(row, column, column == 100 ? 1 : 4),
                std::string(column == 100 ? 1 : 4, ' '));
  }
}

// A headless display with a probe of the test's own; the lister opens it in drawFrame.
class ListerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    probe_ = std::make_shared<screen::HeadlessPlatform::Probe>();
    screen::usePlatform(
        [probe = probe_] { return std::make_unique<screen::HeadlessPlatform>(probe); });
    screen::clearKeys();
  }
  void TearDown() override {
    screen::closeScreen();
    screen::usePlatform(nullptr);
  }

  void frame() { ASSERT_TRUE(lister::drawFrame()); }

  // Frame, then n typed at the prompt.
  std::int32_t prompted(const std::string& typed) {
    frame();
    pushText(typed);
    pushKey(13);
    return lister::askElementCount();
  }

  lister::Listing list(std::int32_t n) {
    lister::LabelTable labels;
    EXPECT_TRUE(labels.build(n));
    return lister::listCombinations(n, labels);
  }

  std::shared_ptr<screen::HeadlessPlatform::Probe> probe_;
};

// ---- Frame --------------------------------------------------------------------------

TEST_F(ListerTest, FrameShowsBannerBarsAndWebAddress) {
  frame();
  const CellGrid grid = page();

  EXPECT_EQ(grid.rowText(2), lister::Banner);
  EXPECT_EQ(grid.text(2, 1, 79),
            "**************************  VARIACIONES DE n ELEMENTOS TOMADOS DE 6 EN 6  *****");
  EXPECT_EQ(grid.text(2, 99, 2), "**");
  for (int column = 1; column <= 100; ++column) {
    if (grid.at(2, column).character != ' ') {
      EXPECT_EQ(grid.at(2, column).foreground, BannerColour) << column;
    }
    EXPECT_EQ(grid.at(2, column).background, Background) << column;
  }

  for (const int row : {3, 5, 33}) {
    EXPECT_EQ(grid.rowText(row), Blank100) << row;
    EXPECT_EQ(grid.at(row, 1).background, 0x07F1);
    EXPECT_EQ(grid.at(row, 50).background, 0x04D1);  // 0x009B88
    EXPECT_EQ(grid.at(row, 100).background, 0x01B1);
    // Green 255 - 2i keeps its top six bits, blue 0x88 its top five.
    for (int i = 1; i <= 100; ++i)
      EXPECT_EQ(grid.at(row, i).background, ((255 - 2 * i) >> 2) << 5 | (0x88 >> 3))
          << "row " << row << " cell " << i;
  }

  EXPECT_EQ(grid.text(4, 63, 36), lister::WebAddress);
  for (int column = 63; column <= 98; ++column)
    if (grid.at(4, column).character != ' ') {
      EXPECT_EQ(grid.at(4, column).foreground, White);
    }
  EXPECT_EQ(grid.text(4, 1, 62), std::string(62, ' '));
  EXPECT_EQ(grid.text(4, 99, 2), "  ");

  for (const int row : {1, 4, 6, 20, 32, 34, 37}) {
    if (row != 4) {
      EXPECT_EQ(grid.rowText(row), Blank100) << row;
    }
    for (int column = 1; column <= 100; ++column)
      EXPECT_EQ(grid.at(row, column).background, Background) << row << "," << column;
  }
  EXPECT_EQ(screen::cursorPosition().row, 34);
  EXPECT_EQ(screen::cursorPosition().column, 1);
}

TEST_F(ListerTest, NoDisplayWritesTheMessageLineOnly) {
  probe_->failStart = true;
  testing::internal::CaptureStdout();
  const int status = lister::runLister();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error setting video mode!\r\n");
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(screen::screenReady());
}

// ---- Element count ------------------------------------------------------------------

TEST_F(ListerTest, PromptEchoesTheCountInGreen) {
  EXPECT_EQ(prompted("7"), 7);
  const CellGrid grid = page();
  EXPECT_EQ(grid.text(4, 1, 58), std::string(lister::Prompt) + "7");
  EXPECT_EQ(grid.at(4, 2).foreground, White);
  EXPECT_EQ(grid.at(4, 58).foreground, Green);
  EXPECT_EQ(grid.at(4, 58).background, Background);
  EXPECT_EQ(grid.text(4, 59, 4), "    ");
  EXPECT_EQ(grid.text(4, 63, 36), lister::WebAddress);
  EXPECT_EQ(screen::cursorPosition().row, 5);
  EXPECT_EQ(screen::cursorPosition().column, 1);
}

TEST_F(ListerTest, WebAddressIsRestoredAfterALongCount) {
  struct Case {
    std::string typed;
    std::int32_t n;
    std::string shownFrom58;  // columns 58 to 62
  };
  const Case cases[] = {
      {"0000000049", 49, "00000"},
      {"12345678", 12345678, "12345"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(prompted(c.typed), c.n) << c.typed;
    const CellGrid grid = page();
    EXPECT_EQ(grid.text(4, 58, 5), c.shownFrom58);
    EXPECT_EQ(grid.text(4, 63, 36), lister::WebAddress) << c.typed;
    for (int column = 63; column <= 98; ++column)
      if (grid.at(4, column).character != ' ') {
        EXPECT_EQ(grid.at(4, column).foreground, White);
      }
    screen::closeScreen();
  }
}

// ---- Labels -------------------------------------------------------------------------

TEST(LabelTable, LabelsAreTwoDigitsOrMore) {
  lister::LabelTable labels;
  ASSERT_TRUE(labels.build(123));
  struct Case {
    std::int64_t i;
    std::string label;
  };
  const Case cases[] = {{1, "01"},  {9, "09"},    {10, "10"},  {49, "49"},
                        {99, "99"}, {100, "100"}, {123, "123"}};
  for (const Case& c : cases) {
    EXPECT_EQ(labels.label(c.i), c.label);
    EXPECT_EQ(labels.labelAndSpace(c.i), c.label + " ");
  }
}

TEST(LabelTable, NoLabelsBelowOne) {
  lister::LabelTable labels;
  EXPECT_TRUE(labels.build(0));
  EXPECT_TRUE(labels.build(-3));
}

TEST(LabelTable, FailedAllocationLeavesNoTable) {
  lister::LabelTable labels;
  EXPECT_FALSE(labels.build(49, [](std::size_t) -> void* { return nullptr; }));
  // The table is usable again once memory can be had.
  ASSERT_TRUE(labels.build(7));
  EXPECT_EQ(labels.label(7), "07");
}

// ---- Listing ------------------------------------------------------------------------

struct ListingCase {
  std::int32_t n;
  std::int64_t count;
};

class SmallListing : public ListerTest, public ::testing::WithParamInterface<ListingCase> {};

TEST_P(SmallListing, GridHoldsTheLatestPage) {
  const ListingCase& c = GetParam();
  frame();
  const lister::Listing listing = list(c.n);
  EXPECT_EQ(listing.count, c.count);
  EXPECT_TRUE(listing.completed);
  const ExpectedListing expected = expectedListing(c.n);
  ASSERT_EQ(expected.count, c.count) << "the test's own enumeration disagrees";
  expectGrid(page(), expected);
}

INSTANTIATE_TEST_SUITE_P(N, SmallListing,
                         ::testing::Values(ListingCase{6, 1}, ListingCase{7, 7},
                                           ListingCase{10, 210}, ListingCase{12, 924},
                                           ListingCase{5, 0}, ListingCase{0, 0},
                                           ListingCase{-3, 0}),
                         [](const auto& info) {
                           const int n = info.param.n;
                           return n < 0 ? "Minus" + std::to_string(-n) : std::to_string(n);
                         });

TEST_F(ListerTest, SevenGivesTheSevenEntriesInOrder) {
  frame();
  list(7);
  const CellGrid grid = page();
  const char* entries[] = {"010203040506 ", "010203040507 ", "010203040607 ", "010203050607 ",
                           "010204050607 ", "010304050607 ", "020304050607 "};
  for (int k = 0; k < 7; ++k) EXPECT_EQ(grid.text(6 + k, 2, 13), entries[k]);
  EXPECT_EQ(grid.text(13, 2, 13), std::string(13, ' '));
}

TEST_F(ListerTest, TenOverwritesTheFirstPlacesOfTheGrid) {
  frame();
  list(10);
  const CellGrid grid = page();
  // Entries 163 to 210 lie over rows 6-32 of column 2 and rows 6-26 of column 19.
  EXPECT_EQ(grid.text(6, 2, 13), "020405060709 ");    // entry 163
  EXPECT_EQ(grid.text(32, 2, 13), "030405070809 ");   // entry 189
  EXPECT_EQ(grid.text(26, 19, 13), "050607080910 ");  // entry 210, the last
  EXPECT_EQ(grid.text(27, 19, 13), "010204060809 ");  // entry 49, from the first page
}

TEST_F(ListerTest, FortyNineRunsToTheEnd) {
#ifdef UNDER_SANITIZER
  GTEST_SKIP() << "the full listing of 13,983,816 entries is too slow under a sanitizer";
#endif
  frame();
  const auto start = std::chrono::steady_clock::now();
  const lister::Listing listing = list(49);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  RecordProperty("listing_seconds", std::to_string(seconds));
  EXPECT_TRUE(listing.completed);
  EXPECT_EQ(listing.count, 13983816);
  const CellGrid grid = page();
  EXPECT_EQ(grid.text(8, 87, 13), "444546474849 ");
  EXPECT_EQ(grid.text(7, 87, 13), "434546474849 ");
  expectGrid(grid, expectedListing(49));
}

TEST_F(ListerTest, SpaceQueuedBeforeTheListingStopsItAfterOneEntry) {
  frame();
  pushText(" ");
  const lister::Listing listing = list(10);
  EXPECT_FALSE(listing.completed);
  EXPECT_EQ(listing.count, 1);
  const CellGrid grid = page();
  EXPECT_EQ(grid.text(6, 2, 13), "010203040506 ");
  EXPECT_EQ(grid.text(7, 2, 13), std::string(13, ' '));
}

TEST_F(ListerTest, SpacePressedDuringTheListingStopsIt) {
  frame();
  std::thread presser([probe = probe_] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    probe->post({screen::WindowEventKind::Key, ' '});
  });
  const lister::Listing listing = list(49);
  presser.join();
  EXPECT_FALSE(listing.completed);
  ASSERT_GT(listing.count, 1);
  ASSERT_LT(listing.count, 13983816);
  // The grid shows exactly the entries the count says were written.
  expectGrid(page(), expectedListing(49, listing.count));
  EXPECT_FALSE(screen::keyWaiting());
}

TEST_F(ListerTest, OtherKeysDuringTheListingAreTakenAndIgnored) {
  frame();
  const screen::KeyCode keys[] = {'a', 13, screen::KeyClose, screen::KeyLeft, 0x20 + 0x100};
  for (const screen::KeyCode key : keys) pushKey(key);
  const lister::Listing listing = list(7);
  EXPECT_TRUE(listing.completed);
  EXPECT_EQ(listing.count, 7);
  EXPECT_FALSE(screen::keyWaiting()) << "one key is taken per entry";
  expectGrid(page(), expectedListing(7));
}

// ---- Summary ------------------------------------------------------------------------

void expectWhiteText(const CellGrid& grid, int row) {
  for (int column = 1; column <= 100; ++column) {
    EXPECT_EQ(grid.at(row, column).background, Background) << row << "," << column;
    if (grid.at(row, column).character != ' ') {
      EXPECT_EQ(grid.at(row, column).foreground, White) << row << "," << column;
    }
  }
}

std::string padded(const std::string& text) {
  return text + std::string(100 - text.size(), ' ');
}

TEST_F(ListerTest, SummaryAfterTypedCounts) {
  struct Case {
    std::string typed;
    std::string row34;
  };
  const Case cases[] = {
      {"7", " > 7 COMBINACIONES POSIBLES DE 7 ELEMENTOS TOMADOS DE 6 EN 6    "},
      {"5", " > 0 COMBINACIONES POSIBLES DE 5 ELEMENTOS TOMADOS DE 6 EN 6    "},
      {"-3", " > 0 COMBINACIONES POSIBLES DE-3 ELEMENTOS TOMADOS DE 6 EN 6    "},
      {"007", " > 7 COMBINACIONES POSIBLES DE 7 ELEMENTOS TOMADOS DE 6 EN 6    "},
      {"12", " > 924 COMBINACIONES POSIBLES DE 12 ELEMENTOS TOMADOS DE 6 EN 6    "},
  };
  const std::regex timeLine(R"( > TIEMPO INVERTIDO: \d+(\.\d+)?(e[-+]\d{3})? segundos\.)");
  for (const Case& c : cases) {
    const std::int32_t n = prompted(c.typed);
    lister::showSummary(list(n), n);
    const CellGrid grid = page();
    EXPECT_EQ(grid.rowText(34), padded(c.row34)) << c.typed;
    EXPECT_EQ(grid.rowText(35), padded(" > OK."));
    std::string row36 = grid.rowText(36);
    row36.erase(row36.find_last_not_of(' ') + 1);
    EXPECT_TRUE(std::regex_match(row36, timeLine)) << row36;
    for (const int row : {34, 35, 36}) expectWhiteText(grid, row);
    EXPECT_EQ(grid.rowText(37), Blank100);
    EXPECT_EQ(screen::cursorPosition().row, 37);
    EXPECT_EQ(screen::cursorPosition().column, 1);
    screen::closeScreen();
  }
}

TEST_F(ListerTest, SummaryShowsTheTimeSinceTheStart) {
  ASSERT_EQ(prompted("7"), 7);
  lister::Listing listing;
  listing.count = 7;
  listing.completed = true;
  listing.startTime = screen::timerSeconds() - 2.5;
  lister::showSummary(listing, 7);
  const std::string row36 = page().rowText(36);
  const std::string head = " > TIEMPO INVERTIDO: ";
  ASSERT_EQ(row36.substr(0, head.size()), head);
  const std::size_t end = row36.find(" segundos.");
  ASSERT_NE(end, std::string::npos);
  const double shown = std::stod(row36.substr(head.size(), end - head.size()));
  EXPECT_GE(shown, 2.5);
  EXPECT_LT(shown, 3.5);
}

TEST_F(ListerTest, SummaryCountsBeyond32Bits) {
  struct Case {
    std::int64_t count;  // C(n, 6)
    std::int32_t n;
    std::string row34;
  };
  const Case cases[] = {
      {2264243157, 111,
       " > 2264243157 COMBINACIONES POSIBLES DE 111 ELEMENTOS TOMADOS DE 6 EN 6    "},
      {4249404082, 123,
       " > 4249404082 COMBINACIONES POSIBLES DE 123 ELEMENTOS TOMADOS DE 6 EN 6    "},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(prompted(std::to_string(c.n)), c.n);
    lister::Listing listing;
    listing.count = c.count;
    listing.completed = true;
    listing.startTime = screen::timerSeconds();
    lister::showSummary(listing, c.n);
    EXPECT_EQ(page().rowText(34), padded(c.row34));
    screen::closeScreen();
  }
}

TEST_F(ListerTest, NoMemoryMessage) {
  ASSERT_EQ(prompted("49"), 49);
  lister::LabelTable labels;
  ASSERT_FALSE(labels.build(49, [](std::size_t) -> void* { return nullptr; }));
  lister::showNoMemory(49);
  const CellGrid grid = page();
  EXPECT_EQ(grid.rowText(34), padded(" > NO HAY MEMORIA SUFICIENTE PARA 49 ELEMENTOS."));
  expectWhiteText(grid, 34);
  EXPECT_EQ(grid.rowText(35), Blank100);
}

// ---- Final wait and the whole run ---------------------------------------------------

TEST_F(ListerTest, WaitEndsOnAnyKeyIncludingTheCloseRequest) {
  frame();
  struct Case {
    screen::WindowEvent event;
  };
  const Case cases[] = {{{screen::WindowEventKind::Key, 'x'}},
                        {{screen::WindowEventKind::Key, screen::extendedKey(0x3B)}},
                        {{screen::WindowEventKind::CloseRequest, 0}}};
  for (const Case& c : cases) {
    std::thread presser([probe = probe_, event = c.event] {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      probe->post(event);
    });
    const auto start = std::chrono::steady_clock::now();
    lister::waitForAnyKey();
    const auto waited = std::chrono::steady_clock::now() - start;
    presser.join();
    EXPECT_GE(waited, std::chrono::milliseconds(90)) << "returned before the key came";
    EXPECT_FALSE(screen::keyWaiting()) << "the key is taken";
  }
  EXPECT_TRUE(probe_->formOpen);
}

TEST_F(ListerTest, WholeRunWithSevenEndsOnAKeyLeftFromTheListing) {
  // "7" and Enter for the prompt, seven keys the listing takes one by one, and one more
  // that is still waiting when the listing ends and so ends the final wait.
  pushText("7\r");
  pushText(std::string(8, 'x'));
  EXPECT_EQ(lister::runLister(), 0);
  EXPECT_FALSE(screen::keyWaiting());
  const CellGrid grid = page();
  EXPECT_EQ(grid.text(4, 58, 1), "7");
  expectGrid(grid, expectedListing(7));
  EXPECT_EQ(grid.rowText(34),
            padded(" > 7 COMBINACIONES POSIBLES DE 7 ELEMENTOS TOMADOS DE 6 EN 6    "));
  EXPECT_EQ(grid.rowText(35), padded(" > OK."));
}

TEST_F(ListerTest, WholeRunEndsWithoutSummaryOnTheSpaceBar) {
  // The space ends the run after the first entry; the keys after it would see a listing
  // that ignored it through to its end and the final wait.
  pushText("7\r " + std::string(12, 'x'));
  EXPECT_EQ(lister::runLister(), 0);
  const CellGrid grid = page();
  EXPECT_EQ(grid.text(6, 2, 13), "010203040506 ");
  EXPECT_EQ(grid.text(7, 2, 13), std::string(13, ' '));
  for (const int row : {34, 35, 36}) EXPECT_EQ(grid.rowText(row), Blank100) << row;
  int left = 0;
  while (screen::pollKey() == "x") ++left;
  EXPECT_EQ(left, 12) << "the listing takes one key per entry";
}

}  // namespace
