// Fuzzes parseInteger on random lines against a plain reading of the rules for the typed
// count, written here on its own terms:
//  - leading spaces, tabs, carriage returns and line feeds are skipped;
//  - the item ends at the end of the line, a comma, a carriage return or line feed, a space
//    or tab once it holds a character, or when it holds 11 characters;
//  - a double quote as its first character opens a quoted stretch (not collected) in which
//    commas, spaces and tabs belong to the item, except the spaces and tabs right after the
//    opening quote; the next double quote closes it (not collected) and collecting goes on;
//    a double quote met outside a stretch after the item's first character is collected;
//  - the item reads as an optional sign and the digits up to the first other character,
//    0 when it has none; a number beyond 32 bits gives the nearest 32-bit value.
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "screen/values.h"

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}
bool isLineEnd(char c) {
  return c == '\r' || c == '\n';
}

std::string firstItem(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && (isBlank(line[i]) || isLineEnd(line[i]))) ++i;
  std::string item;
  if (i < line.size() && line[i] == '"') {
    ++i;
    while (i < line.size() && isBlank(line[i])) ++i;  // blanks right after the quote
    for (; i < line.size() && item.size() < 11; ++i) {
      if (line[i] == '"') {
        ++i;
        break;
      }
      if (isLineEnd(line[i])) return item;
      item += line[i];
    }
  }
  for (; i < line.size() && item.size() < 11; ++i) {
    const char c = line[i];
    if (c == ',' || isLineEnd(c) || (isBlank(c) && !item.empty())) break;
    item += c;
  }
  return item;
}

std::int32_t referenceValue(std::string_view line) {
  const std::string item = firstItem(line);
  std::size_t i = 0;
  bool negative = false;
  if (i < item.size() && (item[i] == '+' || item[i] == '-')) negative = item[i++] == '-';
  long long magnitude = 0;
  for (; i < item.size() && item[i] >= '0' && item[i] <= '9'; ++i)
    magnitude = magnitude * 10 + (item[i] - '0');
  const long long value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min())
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

// The worked examples of the rules: the reference must give them before it judges.
bool referenceAgreesWithExamples() {
  const struct {
    std::string_view line;
    std::int32_t value;
  } examples[] = {
      {"10", 10},
      {"   12   ", 12},
      {"0049", 49},
      {"+8", 8},
      {"-5", -5},
      {"7,9", 7},
      {"7 9", 7},
      {",5", 0},
      {"12abc", 12},
      {"3.9", 3},
      {"1e3", 1},
      {"&h10", 0},
      {"- 5", 0},
      {"abc", 0},
      {"", 0},
      {"000000000049", 4},
      {"\"15\"", 15},
      {"\" 1,5\"", 1},
      {"99999999999", 2147483647},
      {"-9999999999", -2147483647 - 1},
  };
  for (const auto& example : examples)
    if (referenceValue(example.line) != example.value) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool referenceOk = referenceAgreesWithExamples();
  FUZZ_CHECK(referenceOk, "the reference reading disagrees with the worked examples");
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const std::int64_t value = screen::parseInteger(line);
  FUZZ_CHECK(value >= std::numeric_limits<std::int32_t>::min() &&
                 value <= std::numeric_limits<std::int32_t>::max(),
             "%lld is outside 32 bits", static_cast<long long>(value));
  const std::int32_t expected = referenceValue(line);
  FUZZ_CHECK(value == expected, "parseInteger gave %lld, the rules %d for a line of %zu bytes",
             static_cast<long long>(value), expected, size);
  return 0;
}
