#include "writer_test_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace tavrio::automation::testing {

std::vector<std::string> DumpXlsx(const std::string& path) {
  const auto python = PythonWithOpenpyxl();
  if (!python) {
    ADD_FAILURE() << "no Python with openpyxl";
    return {};
  }
  const auto output = RunCommand(*python + " " + TAVRIO_DUMP_XLSX + " '" + path + "'");
  if (!output) {
    ADD_FAILURE() << "openpyxl could not read " << path;
    return {};
  }
  std::vector<std::string> lines;
  std::istringstream stream(*output);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

void ExpectSameLines(const std::vector<std::string>& actual,
                     const std::vector<std::string>& expected) {
  const auto shown = [](const std::string& line) {
    return line.size() > 200 ? line.substr(0, 200) + "...(" + std::to_string(line.size()) + ")"
                             : line;
  };
  EXPECT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < std::min(actual.size(), expected.size()); ++i) {
    EXPECT_TRUE(actual[i] == expected[i]) << "line " << i << "\n  actual:   " << shown(actual[i])
                                          << "\n  expected: " << shown(expected[i]);
  }
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char c : bytes) {
    hex.push_back(kDigits[c >> 4]);
    hex.push_back(kDigits[c & 15]);
  }
  return hex;
}

std::string PythonFloatHex(double value) {
  if (value == 0) return std::signbit(value) ? "-0x0.0p+0" : "0x0.0p+0";
  char text[64];
  std::snprintf(text, sizeof text, "%a", value);
  std::string hex = text;
  // C prints 0x1p+0 where Python prints 0x1.0000000000000p+0.
  const std::size_t p = hex.find('p');
  const std::size_t dot = hex.find('.');
  const std::size_t digits = dot == std::string::npos ? 0 : p - dot - 1;
  std::string mantissa = dot == std::string::npos ? hex.substr(0, p) + "." : hex.substr(0, p);
  mantissa.append(13 - digits, '0');
  return mantissa + hex.substr(p);
}

}  // namespace tavrio::automation::testing
