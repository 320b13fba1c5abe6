#include "screen/values.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace screen {

Text decimalText(std::int64_t value) {
  char digits[24];
  const int length = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(value));
  return Text(digits, static_cast<std::size_t>(length));
}

Text integerText(std::int64_t value) {
  return value < 0 ? decimalText(value) : ' ' + decimalText(value);
}

Text realText(double value) {
  if (!std::isfinite(value)) return std::isnan(value) ? " nan" : value < 0 ? "-inf" : " inf";
  if (value == 0) return " 0";  // negative zero too
  // Rounding to 15 significant digits first decides the exponent, so 9.999999999999999
  // becomes 10 and is written in plain notation.
  char scientific[32];
  std::snprintf(scientific, sizeof scientific, "%.14e", std::fabs(value));
  const Text digits = Text(1, scientific[0]) + Text(scientific + 2, 14);
  const int exponent = std::atoi(scientific + 17);
  Text text;
  if (exponent >= -1 && exponent <= 14) {
    if (exponent == -1) {
      text = "0." + digits;
    } else {
      text = digits.substr(0, static_cast<std::size_t>(exponent) + 1) + "." +
             digits.substr(static_cast<std::size_t>(exponent) + 1);
    }
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  } else {
    Text mantissa = digits.substr(0, 1) + "." + digits.substr(1);
    mantissa.erase(mantissa.find_last_not_of('0') + 1);
    if (mantissa.back() == '.') mantissa.pop_back();
    char power[16];
    std::snprintf(power, sizeof power, "e%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
    text = mantissa + power;
  }
  return (value < 0 ? "-" : " ") + text;
}

void printInteger(std::int64_t value, bool newLine) {
  printText(integerText(value), newLine);
}

void printReal(double value, bool newLine) {
  printText(realText(value), newLine);
}

std::int32_t parseInteger(std::string_view line) {
  constexpr std::size_t MaxItem = 11;
  std::size_t at = 0;
  while (at < line.size() &&
         (line[at] == ' ' || line[at] == '\t' || line[at] == '\r' || line[at] == '\n'))
    ++at;

  // Collect the first item of the comma-separated list.
  char item[MaxItem];
  std::size_t length = 0;
  bool started = false;     // a character of the item, or its opening quote, was met
  bool quoted = false;      // inside a quoted stretch
  bool justOpened = false;  // no character collected since the quote opened
  for (; at < line.size() && length < MaxItem; ++at) {
    const char c = line[at];
    if (c == '\r' || c == '\n') break;
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (!(justOpened && (c == ' ' || c == '\t'))) {
        item[length++] = c;
        justOpened = false;
      }
      continue;
    }
    if (c == '"' && !started) {
      quoted = justOpened = started = true;
      continue;
    }
    if (c == ',' || ((c == ' ' || c == '\t') && length > 0)) break;
    item[length++] = c;
    started = true;
  }

  // Convert it: an optional sign, then digits up to the first other character.
  std::size_t i = 0;
  bool negative = false;
  if (i < length && (item[i] == '+' || item[i] == '-')) negative = item[i++] == '-';
  std::int64_t magnitude = 0;  // at most 11 digits: far inside 64 bits
  for (; i < length && item[i] >= '0' && item[i] <= '9'; ++i)
    magnitude = magnitude * 10 + (item[i] - '0');
  const std::int64_t value = negative ? -magnitude : magnitude;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace screen
