#include "input/record/record_parser.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "input/record/number_scan.h"
#include "input/record/readings.h"
#include "passes/engine/block_parser.h"

namespace pctlfit {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(ScanDouble, FormsTheCLibraryReads) {
  struct Case {
    std::string text;
    bool ok;
    double value;
    size_t consumed;
  };
  const Case cases[] = {
      {"1.5", true, 1.5, 3},      {"  -2", true, -2.0, 4},
      {"+3.25", true, 3.25, 5},  // from_chars takes no '+'
      {"1e3", true, 1000.0, 3},   {"2.5E-1", true, 0.25, 6},
      {".5", true, 0.5, 2},       {"7.", true, 7.0, 2},
      {"0x1p3", true, 8.0, 5},                               // hexadecimal, as strtod reads it
      {"1e999", true, kInf, 5},                              // out of range: infinity
      {"-1e999", true, -kInf, 6}, {"1e-400", true, 0.0, 6},  // underflow: zero
      {"inf", true, kInf, 3},     {"-Infinity", true, -kInf, 9},
      {"1.0-2.0", true, 1.0, 3},  // the next number starts at '-'
      {"abc", false, 0, 0},       {"", false, 0, 0},
      {"   ", false, 0, 0},       {"-", false, 0, 0},
      {"+", false, 0, 0},         {"+" + std::string(100, '1'), true, 1.1111111111111111e99, 101},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    double value = -1;
    const char* end = scan_double(c.text.data(), c.text.data() + c.text.size(), value);
    ASSERT_EQ(end != nullptr, c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(static_cast<size_t>(end - c.text.data()), c.consumed);
  }
  double value = 0;
  const std::string nan = "nan";
  ASSERT_NE(scan_double(nan.data(), nan.data() + 3, value), nullptr);
  EXPECT_TRUE(std::isnan(value));
}

TEST(ScanDouble, NeverReadsPastTheLine) {
  const std::string text = "12345";
  double value = 0;
  EXPECT_EQ(scan_double(text.data(), text.data() + 2, value), text.data() + 2);
  EXPECT_EQ(value, 12.0);
  const std::string plus = "+12345";
  EXPECT_EQ(scan_double(plus.data(), plus.data() + 3, value), plus.data() + 3);
  EXPECT_EQ(value, 12.0);
}

TEST(ScanInteger, SignsDigitsAndSaturation) {
  struct Case {
    std::string text;
    bool ok;
    long long value;
  };
  const Case cases[] = {
      {"12", true, 12},
      {" +7", true, 7},
      {"-1", true, -1},
      {"99999999999", true, 99999999999LL},
      {"999999999999999999999999", true, std::numeric_limits<long long>::max()},
      {"x", false, 0},
      {"-", false, 0},
      {"", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    long long value = 0;
    const char* end = scan_integer(c.text.data(), c.text.data() + c.text.size(), value);
    ASSERT_EQ(end != nullptr, c.ok);
    if (c.ok) {
      EXPECT_EQ(value, c.value);
    }
  }
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(ParseRecord, Lines) {
  struct Case {
    std::string line;
    RecordStatus status;
    long long month;
    std::vector<double> values;  // the values read
    int empty_fields = 0;
  };
  const Case cases[] = {
      {"2001 3 1 0 1.5 -9999 2.0", RecordStatus::record, 3, {1.5, -9999, 2.0}},
      {"2001\t3\t1\t0\t1\t2\t3\textra 17", RecordStatus::record, 3, {1, 2, 3}},
      {"2001 0 1 0 1 2 3", RecordStatus::record, 0, {1, 2, 3}},
      {"2001 1 1 0 +1 2e1 3.", RecordStatus::record, 1, {1, 20, 3}},
      {"2001 1 1 0 1.0-2.0 3", RecordStatus::record, 1, {1, -2, 3}},
      {"", RecordStatus::blank, 0, {}},
      {" \t \r", RecordStatus::blank, 0, {}},
      {"YYYY MM DD H", RecordStatus::not_a_record, 0, {}},
      {"2001 1 1", RecordStatus::not_a_record, 0, {}},
      {"2001 13 1 0 1 2 3", RecordStatus::month_out_of_range, 13, {}},
      {"2001 -1 1 0 1 2 3", RecordStatus::month_out_of_range, -1, {}},
      {"2001 99999999999 1 0 1 2 3", RecordStatus::month_out_of_range, 99999999999LL, {}},
      // A field that is not a number is missing (NaN); the others are read.
      {"2001 2 1 0 1 x 3", RecordStatus::bad_value, 2, {1, kNaN, 3}},
      {"2001 2 1 0 1.2.3 4.7O1 1,0", RecordStatus::bad_value, 2, {kNaN, kNaN, kNaN}},
      {"2001 2 1 0 1 2", RecordStatus::short_record, 2, {1, 2}},
      {"2001 2 1 0 1 2 \r", RecordStatus::short_record, 2, {1, 2}},
      {"2001 2 1 0", RecordStatus::short_record, 2, {}},
      // An empty field between tabs is a missing value in its place, only where tabs part them.
      {"2001\t3\t1\t0\t12.234\t\t9.780", RecordStatus::record, 3, {12.234, -9999, 9.78}, 1},
      {"2001\t3\t1\t0\t\t1\t2", RecordStatus::record, 3, {-9999, 1, 2}, 1},
      {"2001 3 1 0 1.5\t \t2", RecordStatus::record, 3, {1.5, -9999, 2}, 1},
      {"2001\t3\t1\t0\t\t\t5\r", RecordStatus::record, 3, {-9999, -9999, 5}, 2},
      {"2001\t3\t1\t0\tx\t\t5", RecordStatus::bad_value, 3, {kNaN, -9999, 5}, 1},
      {"2001\t3\t1\t0\t1\t\t2\t7\t8", RecordStatus::record, 3, {1, -9999, 2}, 1},
      {"2001\t3\t1\t0\t1\t2\t3\t", RecordStatus::record, 3, {1, 2, 3}},
      {"2001\t3\t1\t0\t1\t\t", RecordStatus::short_record, 3, {1}},
      {"2001 3 1 0 1  2", RecordStatus::short_record, 3, {1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    double values[3] = {-7, -7, -7};
    const RecordParse parse = parse_record(c.line, 3, values);
    EXPECT_EQ(parse.status, c.status);
    if (c.status == RecordStatus::blank || c.status == RecordStatus::not_a_record) continue;
    EXPECT_EQ(parse.month, c.month);
    if (c.status == RecordStatus::month_out_of_range) continue;
    ASSERT_EQ(parse.values_read, static_cast<int>(c.values.size()));
    EXPECT_EQ(parse.empty_fields, c.empty_fields);
    for (size_t i = 0; i < c.values.size(); ++i) {
      EXPECT_EQ(std::bit_cast<uint64_t>(values[i]), std::bit_cast<uint64_t>(c.values[i]));
    }
  }
}

// The date layout's dates: a day or a time that does not exist is noted (the record is pooled by
// its month), and a time zone offset after the time is skipped instead of read as a value.
TEST(ParseRecord, DatesChecked) {
  struct Case {
    std::string line;
    DateProblem problem;
    std::string date;  // the date's text in the line, where there is a problem
    std::vector<double> values;
  };
  const Case cases[] = {
      {"2001-01-31\t1\t2", DateProblem::none, "", {1, 2}},
      {"2000-02-29\t1\t2", DateProblem::none, "", {1, 2}},  // a leap year
      {"2001-01-01T24:00\t1\t2", DateProblem::none, "", {1, 2}},
      {"2001-02-30\t1\t2", DateProblem::no_such_day, "2001-02-30", {1, 2}},
      {"1900-02-29 12:00\t1\t2", DateProblem::no_such_day, "1900-02-29 12:00", {1, 2}},
      {"2001-04-00\t1\t2", DateProblem::no_such_day, "2001-04-00", {1, 2}},
      {"2001-01-01 25:99\t1\t2", DateProblem::no_such_time, "2001-01-01 25:99", {1, 2}},
      {"2001-01-01T12:60:00\t1\t2", DateProblem::no_such_time, "2001-01-01T12:60:00", {1, 2}},
      {"2001-01-01 00:00 +0100\t1\t2", DateProblem::offset, "2001-01-01 00:00 +0100", {1, 2}},
      {"2001-01-01T00:00 -05:30 1 2", DateProblem::offset, "2001-01-01T00:00 -05:30", {1, 2}},
      {"2001-01-01 00:00 UTC 1 2", DateProblem::offset, "2001-01-01 00:00 UTC", {1, 2}},
      {"2001-01-01 00:00 +1 2", DateProblem::none, "", {1, 2}},  // a signed value, not an offset
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    double values[2] = {-7, -7};
    const RecordParse parse = parse_record(c.line, 2, values, 0, FileLayout::date);
    EXPECT_EQ(parse.status, RecordStatus::record);
    EXPECT_EQ(parse.date_problem, c.problem);
    if (c.problem != DateProblem::none) {
      EXPECT_EQ(c.line.substr(parse.date_begin, parse.date_length), c.date);
    }
    EXPECT_EQ(values[0], c.values[0]);
    EXPECT_EQ(values[1], c.values[1]);
  }
}

// Every number form, long and short, must read to the very bit that strtod gives.
TEST(ScanDouble, AgreesWithStrtodBitForBit) {
  std::mt19937_64 random(11);
  const char* const pieces[] = {"0", "1", "5", "9", ".", "-", "e", "E", "+", "00", "123456789"};
  for (int round = 0; round < 200000; ++round) {
    std::string text;
    if (round % 2 == 0) {  // plain decimals of every length and scale
      char buffer[64];
      const int decimals = static_cast<int>(random() % 18);
      const double magnitude =
          std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 64));
      std::snprintf(buffer, sizeof buffer, "%s%.*f", random() % 2 ? "-" : "", decimals, magnitude);
      text = buffer;
    } else {
      for (int i = 0, n = static_cast<int>(random() % 8) + 1; i < n; ++i) {
        text += pieces[random() % std::size(pieces)];
      }
    }
    char* strtod_end = nullptr;
    const double expected = std::strtod(text.c_str(), &strtod_end);
    double value = 0;
    const char* end = scan_double(text.data(), text.data() + text.size(), value);
    SCOPED_TRACE(text);
    if (strtod_end == text.c_str()) {
      ASSERT_EQ(end, nullptr);
      continue;
    }
    ASSERT_NE(end, nullptr);
    ASSERT_EQ(end - text.data(), strtod_end - text.c_str());
    ASSERT_EQ(std::bit_cast<uint64_t>(value), std::bit_cast<uint64_t>(expected));
  }
}

}  // namespace
}  // namespace pctlfit

namespace pctlfit {
namespace {

// What a parse says, all of it, to compare two readings of one line.
std::string described(const RecordParse& p, const double* values) {
  std::string text = std::to_string(int(p.status)) + " m" + std::to_string(p.month) + " r" +
                     std::to_string(p.values_read) + " x" + std::to_string(p.extra_values) + " e" +
                     std::to_string(p.values_end) + " b" + std::to_string(p.bad_values) + "@" +
                     std::to_string(p.bad_column) + ":" + std::to_string(p.bad_field_begin) + "+" +
                     std::to_string(p.bad_field_length);
  for (int c = 0; c < p.values_read; ++c) {
    text += " " + std::to_string(std::bit_cast<uint64_t>(values[c]));
  }
  return text;
}

// A vector reading, alone and with digits after the line that it may load but must not parse,
// against the byte-by-byte reading.
void expect_same_reading(ValueReading reading, const std::string& line, int columns) {
  std::vector<double> portable(size_t(columns) + 1), wide(size_t(columns) + 1);
  const std::string expected =
      described(parse_record_with(ValueReading::byte_by_byte, line, columns, portable.data()),
                portable.data());
  const std::string in_block = line + "\n1950 1 1 0 " + std::string(120, '7');
  const RecordParse alone = parse_record_with(reading, line, columns, wide.data());
  ASSERT_EQ(described(alone, wide.data()), expected) << " \"" << line << "\"";
  const RecordParse loaded =
      parse_record_with(reading, std::string_view(in_block).substr(0, line.size()), columns,
                        wide.data(), in_block.size() - line.size());
  ASSERT_EQ(described(loaded, wide.data()), expected) << " \"" << line << "\" in a block";
}

// Each vector reading, run where this build and processor have it and shown as skipped where
// not: a broken kernel never passes unseen.
class VectorReading : public testing::TestWithParam<ValueReading> {
 protected:
  void SetUp() override {
    if (!value_reading_available(GetParam())) {
      GTEST_SKIP() << "this build or processor lacks the " << reading_of(GetParam()).name
                   << " reading";
    }
  }
};

INSTANTIATE_TEST_SUITE_P(Readings, VectorReading,
                         testing::Values(ValueReading::wide16, ValueReading::wide64),
                         [](const testing::TestParamInfo<ValueReading>& param) {
                           return std::string(reading_of(param.param).name);
                         });

// Plain decimals of every shape the wide reading converts, and around its edges.
std::string random_plain(std::mt19937& random) {
  const int length = 1 + int(random() % 9);  // 9: one byte too long for the eight-digit word
  std::string text;
  for (int i = 0; i < length; ++i) text += char('0' + random() % 10);
  if (random() % 4 != 0) text.insert(random() % (text.size() + 1), ".");
  if (random() % 5 == 0) text.insert(0, "-");
  return text;
}

// Each form among plain neighbours, at every offset of the 64-byte window and so across the
// 16-byte loads inside it, after 0 to 12 neighbours (the eight-field steps), and at the line's
// end. The forms: the wide reading's edges (eight bytes after the sign; 15, 16, 17 digits for
// the exact path's) and every form it must leave to the exact path.
TEST_P(VectorReading, ReadsEveryFormAsByteByByte) {
  const char* const forms[] = {"0",
                               "7",
                               "12.5",
                               "-3.25",
                               "12345678",
                               "-12345678",
                               "1234567.",
                               ".1234567",
                               "-.1234567",
                               "123456789",
                               "1234567.89",
                               "123456789012345",
                               "1234567890123456",
                               "12345678901234567",
                               "0.000000012",
                               "-0",
                               ".5",
                               "5.",
                               "-.5",
                               "-",
                               ".",
                               "-.",
                               "--5",
                               "5-",
                               "12.5.3",
                               "1..2",
                               "1e5",
                               "1.5E-3",
                               "-2e+300",
                               "+4",
                               "0x1A",
                               "inf",
                               "-nan",
                               "4.7O1",
                               "1,0",
                               "-9999",
                               "-9999.000",
                               "12.345-9999.000",
                               "1.0+2.0",
                               "007",
                               "\x01"};
  const char* const separators[] = {" ", "\t", "  \t ", "\r", "\v\f"};
  std::mt19937 random(23);
  for (const char* form : forms) {
    for (int offset = 0; offset < 64; ++offset) {
      const int before = offset % 13;
      std::string line = "2001 7 1 0" + std::string(size_t(offset), ' ');
      for (int c = 0; c < before; ++c) line += separators[c % 2] + random_plain(random);
      line += separators[size_t(offset) % std::size(separators)] + std::string(form);
      const int after = offset % 5;
      for (int c = 0; c < after; ++c) line += "\t" + random_plain(random);
      if (offset % 3 == 0) line += "\r";
      const int columns = before + 1 + after - 1 + offset % 3;  // short, exact, one to spare
      expect_same_reading(GetParam(), line, columns);
    }
  }
}

// Long records of plain decimals (and now and then another form), so that every shape meets
// every position of the eight-field steps, with fields short and extra.
TEST_P(VectorReading, ReadsLongRecordsAsByteByByte) {
  const char* const others[] = {"1e5", "nan", "-", "12.5.3", "123456789.5", "-9999"};
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    const int columns = 1 + int(random() % 200);
    std::string line = "1950 " + std::to_string(round % 13) + " 1 0";
    const int fields = columns + int(random() % 5) - 2;
    for (int c = 0; c < fields; ++c) {
      line += random() % 3 == 0 ? " " : "\t";
      line += random() % 50 == 0 ? others[random() % std::size(others)] : random_plain(random);
    }
    expect_same_reading(GetParam(), line, columns);
  }
}

// A block's lines, each read as it would be alone: the wide reading may load the bytes after a
// line (the next lines), never those after the block. The block lies in memory of its exact
// size, so that AddressSanitizer sees any load past it; the last line has no newline.
TEST(ParseBlock, ReadsEachLineAsAlone) {
  constexpr int kColumns = 23;
  std::mt19937 random(11);
  for (int round = 0; round < 40; ++round) {
    std::vector<std::string> lines;
    std::string text;
    for (int l = 0; l < 1 + round % 9; ++l) {
      std::string line = "1999 " + std::to_string(1 + l % 12) + " 1 0";
      for (int c = 0; c < kColumns - 2 + int(random() % 4); ++c) {
        line += (random() % 3 == 0 ? " " : "\t") + random_plain(random);
      }
      lines.push_back(line);
      text += line + (l + 1 < 1 + round % 9 ? "\n" : "");
    }
    const std::unique_ptr<char[]> exact(new char[text.size()]);
    std::memcpy(exact.get(), text.data(), text.size());
    ParsedBlock parsed;
    parse_block({exact.get(), text.size()}, kColumns, {DistributionMode::NV, 0.0}, parsed);
    ASSERT_EQ(parsed.months.size(), lines.size());
    for (size_t l = 0; l < lines.size(); ++l) {
      std::vector<double> alone(kColumns);
      const RecordParse parse =
          parse_record_with(ValueReading::byte_by_byte, lines[l], kColumns, alone.data());
      for (int c = 0; c < parse.values_read; ++c) {
        const double expected =
            alone[size_t(c)] > -9999.0 ? alone[size_t(c)] : std::bit_cast<double>(kMissingBits);
        ASSERT_EQ(std::bit_cast<uint64_t>(parsed.values[l * kColumns + size_t(c)]),
                  std::bit_cast<uint64_t>(expected))
            << lines[l] << " column " << c;
      }
    }
  }
}

// Values not above -9999 are missing, NaN included, at every place in a row (two at a time
// and the one left over).
TEST(ParseBlock, MarksMissingValues) {
  const struct {
    const char* text;
    bool missing;
  } cases[] = {{"-9999", true}, {"-9999.0001", true}, {"-10000", true},     {"nan", true},
               {"-nan", true},  {"-inf", true},       {"-9998.999", false}, {"inf", false},
               {"-0", false},   {"1e5", false}};
  for (const auto& c : cases) {
    for (int place = 0; place < 5; ++place) {
      std::string line = "2001 5 1 0";
      for (int column = 0; column < 5; ++column) {
        line += column == place ? " " + std::string(c.text) : " 1.5";
      }
      ParsedBlock parsed;
      parse_block(line, 5, {DistributionMode::NV, 0.0}, parsed);
      ASSERT_EQ(parsed.months.size(), 1u) << line;
      const bool marked = std::bit_cast<uint64_t>(parsed.values[size_t(place)]) == kMissingBits;
      EXPECT_EQ(marked, c.missing) << line;
      EXPECT_EQ(parsed.values[size_t(place == 0)], 1.5) << line;
    }
  }
}

}  // namespace
}  // namespace pctlfit
