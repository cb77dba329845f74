// The print engine: one table of formats and their exact texts, each run in every mode that must agree
// with it, plus truncation, UCS-2 characters, the helpers and the assertion reports.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Library/PrintLib.h"
#include "MdePkg/Library/BasePrintLib/PrintLibInternal.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

using zarn::test::debugRecord;

constexpr const char *EngineSource = "MdePkg/Library/BasePrintLib/PrintLibInternal";

// One format with its arguments bound; the format itself is passed in so that the same case can be
// run with an ASCII or a UCS-2 copy of it.
using Call = std::function<UINTN(CHAR8 *Buffer, UINTN BufferSize, UINTN Mode, const CHAR8 *Format)>;

struct Case {
  const char *format;
  std::string expected;
  Call call;
};

#define CASE(Expected, Format, ...)                                                 \
  Case {                                                                            \
    Format, Expected, [=](CHAR8 *B, UINTN N, UINTN M, const CHAR8 *F) -> UINTN {    \
      return FormatWithMode(B, N, M, F __VA_OPT__(, ) __VA_ARGS__);                 \
    }                                                                               \
  }

// GUID bytes: Data1 0x12345678, Data2 0x9ABC, Data3 0xDEF0, then 01 23 45 67 89 AB CD EF.
const UINT8 GuidBytes[] = {0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xF0, 0xDE,
                           0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
// The same GUID one byte past an aligned address.
const UINT8 OddGuid[] = {0xFF, 0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xF0, 0xDE,
                         0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
const EFI_GUID SmallGuid = {0x1, 0x2, 0x3, {0x4, 0x5, 0x6, 0x7, 0x8, 0x9, 0xA, 0xB}};
const EFI_TIME March7 = {2019, 3, 7, 9, 5, 0, 0, 0, 0, 0, 0};
// Exactly three characters and no terminator: a precision of 3 must not read further.
const CHAR8 Unterminated[3] = {'x', 'y', 'z'};

const CHAR8 *const NullAscii = nullptr;
const char16_t *const NullWide = nullptr;
const EFI_GUID *const NullGuid = nullptr;
const EFI_TIME *const NullTime = nullptr;

const std::vector<Case> &Cases() {
  static const std::vector<Case> cases = {
      // Decimal with every flag, width and precision.
      CASE("-5", "%d", -5),
      CASE("-0005", "%05d", -5),
      CASE("   42|", "%5d|", 42),
      CASE("42   |", "%-5d|", 42),
      CASE("12345", "%3d", 12345),
      CASE("0", "%d", 0),
      CASE("[]", "[%.0d]", 0),
      CASE("[   ]", "[%3.0d]", 0),
      CASE("005", "%.3d", 5),
      CASE("-005", "%.3d", -5),
      CASE("   05", "%05.2d", 5),
      CASE("5    |", "%-05d|", 5),
      CASE("+5", "%+d", 5),
      CASE(" 5", "% d", 5),
      CASE("+5", "%+ d", 5),
      CASE("-5", "% d", -5),
      CASE("+0005", "%+05d", 5),
      CASE("+", "%+.0d", 0),
      CASE("-2147483648", "%d", INT32_MIN),
      CASE("-9223372036854775808", "%ld", INT64_MIN),
      CASE("-1", "%Ld", static_cast<INT64>(-1)),
      CASE("4294967296", "%ld", static_cast<INT64>(0x100000000)),
      // Unsigned: 32 bits without 'l', never a '+'.
      CASE("4294967295", "%u", -1),
      CASE("18446744073709551615", "%lu", static_cast<UINT64>(-1)),
      CASE("10000000000000000001", "%lu", static_cast<UINT64>(10000000000000000001ull)),
      CASE("1000000000", "%lu", static_cast<UINT64>(1000000000)),
      CASE("5", "%+u", 5),
      CASE(" 5", "% u", 5),
      // Hexadecimal: always upper case; %X fills with zeros up to a width.
      CASE("FFFFFFFF", "%x", -1),
      CASE("100000000", "%lx", static_cast<UINT64>(0x100000000)),
      CASE("FFFFFFFFFFFFFFFF", "%lx", static_cast<INT64>(-1)),
      CASE("FEDCBA9876543210", "%LX", static_cast<UINT64>(0xFEDCBA9876543210)),
      CASE("0000001F", "%8X", 0x1F),
      CASE("      1F", "%8x", 0x1F),
      CASE("0000001F", "%08x", 0x1F),
      CASE("1F      |", "%-8X|", 0x1F),
      CASE("   001F", "%7.4X", 0x1F),
      CASE("+1F", "%+x", 0x1F),
      CASE("0", "%X", 0),
      // %p: the pointer's full width, no sign, zero fill once a width is given.
      CASE("1000", "%p", reinterpret_cast<VOID *>(0x1000)),
      CASE("00001000", "%8p", reinterpret_cast<VOID *>(0x1000)),
      CASE("1000", "%+ lp", reinterpret_cast<VOID *>(0x1000)),
      CASE("0", "%p", static_cast<VOID *>(nullptr)),
      // Thousands grouping: decimal only; it drops zero fill and precision.
      CASE("1,234,567", "%,d", 1234567),
      CASE("-1,234", "%,d", -1234),
      CASE("0", "%,d", 0),
      CASE("123", "%,d", 123),
      CASE("1,000", "%,d", 1000),
      CASE("123,456", "%,u", 123456),
      CASE("+1,234,567", "%+,d", 1234567),
      CASE("   1,234", "%,08d", 1234),
      CASE("1,234", "%,.6d", 1234),
      CASE("1,234,567,890,123", "%,ld", static_cast<INT64>(1234567890123)),
      CASE("12345", "%,x", 0x12345),
      // '*' takes an int for the width or the precision; a later width replaces an earlier one.
      CASE("   42", "%*d", 5, 42),
      CASE("42   |", "%-*d|", 5, 42),
      CASE("005", "%.*d", 3, 5),
      CASE("   005", "%*.*d", 6, 3, 5),
      CASE("42", "%*d", -3, 42),
      CASE("   42", "%3*d", 5, 42),
      CASE(" %42", "%2%%d", 42),
      // ASCII strings.
      CASE("abc", "%a", "abc"),
      CASE("", "%a", ""),
      CASE("<null string>", "%a", NullAscii),
      CASE("abc", "%.3a", "abcdef"),
      CASE("", "%.0a", "abcdef"),
      CASE("   ab", "%.5a", "ab"),
      CASE("    ab", "%6a", "ab"),
      CASE("ab    |", "%-6a|", "ab"),
      CASE("xyz", "%.3a", Unterminated),
      CASE("x\ny", "%a", "x\ny"),
      // UCS-2 strings.
      CASE("wide", "%s", u"wide"),
      CASE("wide", "%S", u"wide"),
      CASE("wi", "%.2s", u"wide"),
      CASE("  wide", "%6s", u"wide"),
      CASE("<null string>", "%s", NullWide),
      CASE("<null string>", "%S", NullWide),
      // Characters.
      CASE("A", "%c", 'A'),
      CASE("  A", "%3c", 'A'),
      CASE("A  |", "%-3c|", 'A'),
      // GUIDs, at any alignment.
      CASE("12345678-9ABC-DEF0-0123-456789ABCDEF", "%g", GuidBytes),
      CASE("12345678-9ABC-DEF0-0123-456789ABCDEF", "%g", OddGuid + 1),
      CASE("00000001-0002-0003-0405-060708090A0B", "%g", &SmallGuid),
      CASE("<null guid>", "%g", NullGuid),
      CASE("12345678", "%.8g", GuidBytes),
      CASE("12345678-9ABC-DEF0-0123-456789ABCDEF    |", "%-40g|", GuidBytes),
      // Times.
      CASE("03/07/2019  09:05", "%t", &March7),
      CASE("<null time>", "%t", NullTime),
      // Status names, and the hexadecimal fallback outside the table.
      CASE("Success", "%r", 0u),
      CASE("Warning Unknown Glyph", "%r", 1u),
      CASE("Warning Stale Data", "%r", 5u),
      CASE("00000006", "%r", 6u),
      CASE("80000000", "%r", 0x80000000u),
      CASE("Load Error", "%r", 0x80000001u),
      CASE("Not Found", "%r", 0x8000000Eu),
      CASE("Media changed", "%r", 0x8000000Du),
      CASE("Reserved (29)", "%r", 0x8000001Du),
      CASE("Compromised Data", "%r", 0x80000021u),
      CASE("80000022", "%r", 0x80000022u),
      CASE("FFFFFFFF", "%r", 0xFFFFFFFFu),
      CASE("Unsupported |", "%-12r|", 0x80000003u),
      CASE("    00012345", "%12r", 0x12345u),
      // '%' and unknown conversion characters print themselves; a format may end inside an item.
      CASE("%", "%%"),
      CASE("    %", "%5%"),
      CASE("i", "%i", 5),
      CASE("100", "100%"),
      CASE("ab     ", "ab%5"),
      CASE("ab", "ab%-.3l"),
      // Line ends become CR LF; a lone CR stays.
      CASE("a\r\nb", "a\nb"),
      CASE("a\r\nb", "a\r\nb"),
      CASE("a\r\nb", "a\n\rb"),
      CASE("a\rb", "a\rb"),
      CASE("a\r\n\r\nb", "a\n\nb"),
      CASE("a\r\n\rb", "a\n\r\rb"),
      CASE("a\r", "a\r"),
      CASE("\r\n", "%\n"),
      CASE("\r\nb", "%\r\nb"),
      // A typical report line.
      CASE("ASSERT [Quilkeep] MdePkg/Library/PeiHobLib/HobLib(42): HobList != ((void *) 0)\r\n",
           "ASSERT [%a] %a(%d): %a\n", "Quilkeep", "MdePkg/Library/PeiHobLib/HobLib", 42,
           "HobList != ((void *) 0)"),
  };
  return cases;
}

// A UCS-2 copy of an ASCII text, placed one byte past an aligned address: nothing may assume alignment.
struct Ucs2Text {
  std::vector<UINT8> bytes;
  explicit Ucs2Text(const std::string &text) {
    bytes.push_back(0xEE);
    for (unsigned char c : text) {
      bytes.push_back(c);
      bytes.push_back(0);
    }
    bytes.push_back(0);
    bytes.push_back(0);
  }
  const CHAR8 *data() const { return reinterpret_cast<const CHAR8 *>(bytes.data() + 1); }
};

std::u16string Widen(const std::string &text) {
  std::u16string out;
  for (unsigned char c : text) out.push_back(c);
  return out;
}

// The UCS-2 characters before the first zero character at Bytes.
std::u16string ReadUcs2(const UINT8 *Bytes) {
  std::u16string out;
  for (; Bytes[0] != 0 || Bytes[1] != 0; Bytes += 2) out.push_back(static_cast<char16_t>(Bytes[0] | Bytes[1] << 8));
  return out;
}

class PrintLib : public ::testing::Test {
 protected:
  void SetUp() override { debugRecord().clear(); }
};

TEST_F(PrintLib, EveryCaseGivesItsTextInEveryMode) {
  for (const Case &c : Cases()) {
    SCOPED_TRACE(std::string("format: ") + c.format);
    const UINTN length = c.expected.size();

    CHAR8 ascii[256];
    std::memset(ascii, 0xAA, sizeof ascii);
    EXPECT_EQ(c.call(ascii, sizeof ascii, 0, c.format), length);
    EXPECT_EQ(std::string(ascii), c.expected);

    EXPECT_EQ(c.call(nullptr, 0, FMT_COUNT_ONLY, c.format), length);
    EXPECT_EQ(c.call(nullptr, 0, FMT_COUNT_ONLY | FMT_OUTPUT_UCS2, c.format), length);

    UINT8 wide[2 * 256 + 1];
    std::memset(wide, 0xAA, sizeof wide);
    EXPECT_EQ(c.call(reinterpret_cast<CHAR8 *>(wide + 1), 256, FMT_OUTPUT_UCS2, c.format), length);
    EXPECT_EQ(ReadUcs2(wide + 1), Widen(c.expected));

    const Ucs2Text ucs2Format(c.format);
    std::memset(ascii, 0xAA, sizeof ascii);
    EXPECT_EQ(c.call(ascii, sizeof ascii, FMT_FORMAT_UCS2, ucs2Format.data()), length);
    EXPECT_EQ(std::string(ascii), c.expected);

    std::memset(wide, 0xAA, sizeof wide);
    EXPECT_EQ(c.call(reinterpret_cast<CHAR8 *>(wide + 1), 256, FMT_FORMAT_UCS2 | FMT_OUTPUT_UCS2, ucs2Format.data()),
              length);
    EXPECT_EQ(ReadUcs2(wide + 1), Widen(c.expected));
  }
  EXPECT_TRUE(debugRecord().asserts.empty());
}

TEST_F(PrintLib, OutputIsCutAtTheBufferSizeAndTerminated) {
  struct Cut {
    UINTN size;
    Case c;
  };
  const Cut cuts[] = {
      {4, CASE("abc", "abcdef")},
      {1, CASE("", "abcdef")},
      {6, CASE("12abc", "%dabcdef", 12)},
      {3, CASE("ab", "%a", "abcdef")},
      {3, CASE("ab", "%s", u"abcdef")},
      {3, CASE("  ", "%5d", 42)},
      {6, CASE("1,234", "%,d", 1234567)},
      {4, CASE("-00", "%05d", -5)},
      {3, CASE("a\r", "a\nb")},
      {5, CASE("ab  ", "%-8a|", "ab")},
      {5, CASE("Not ", "%r", 0x8000000Eu)},
      {8, CASE("1234567", "%g", GuidBytes)},
  };
  for (const Cut &cut : cuts) {
    SCOPED_TRACE(cut.c.format);
    const UINTN length = cut.c.expected.size();

    CHAR8 ascii[64];
    std::memset(ascii, 0xAA, sizeof ascii);
    EXPECT_EQ(cut.c.call(ascii, cut.size, 0, cut.c.format), length);
    EXPECT_EQ(std::string(ascii), cut.c.expected);
    for (size_t b = cut.size; b < sizeof ascii; b++) ASSERT_EQ(static_cast<UINT8>(ascii[b]), 0xAA) << "byte " << b;

    UINT8 wide[128];
    std::memset(wide, 0xAA, sizeof wide);
    EXPECT_EQ(cut.c.call(reinterpret_cast<CHAR8 *>(wide), cut.size, FMT_OUTPUT_UCS2, cut.c.format), length);
    EXPECT_EQ(ReadUcs2(wide), Widen(cut.c.expected));
    for (size_t b = 2 * cut.size; b < sizeof wide; b++) ASSERT_EQ(wide[b], 0xAA) << "byte " << b;
  }
}

TEST_F(PrintLib, ZeroSizeWritesNothingAndCountOnlyIgnoresTheBuffer) {
  CHAR8 buffer[8];
  std::memset(buffer, 0xAA, sizeof buffer);
  EXPECT_EQ(AsciiFormat(buffer, 0, "abc"), 0u);
  EXPECT_EQ(FormatWithMode(buffer, 1, FMT_COUNT_ONLY, "abcdef"), 6u);
  EXPECT_EQ(FormatWithMode(buffer, 8, FMT_COUNT_ONLY, "%5d%a", 42, "0123456789"), 15u);
  for (CHAR8 b : buffer) EXPECT_EQ(static_cast<UINT8>(b), 0xAA);
  EXPECT_TRUE(debugRecord().asserts.empty());
}

TEST_F(PrintLib, CharactersAboveFFKeepTheirLowByteInAsciiOutput) {
  CHAR8 ascii[16];
  EXPECT_EQ(FormatWithMode(ascii, sizeof ascii, 0, "%c%s|", 0x1141, u"\u0142\u00E9"), 4u);
  EXPECT_EQ(std::string(ascii, 4), std::string("\x41\x42\xE9|"));

  UINT8 wide[32];
  EXPECT_EQ(FormatWithMode(reinterpret_cast<CHAR8 *>(wide), 16, FMT_OUTPUT_UCS2, "%c%s|", 0x1141, u"\u0142\u00E9"),
            4u);
  EXPECT_EQ(ReadUcs2(wide), std::u16string(u"\u1141\u0142\u00E9|"));

  // A UCS-2 format character above 0xFF: its low byte in ASCII output, whole in UCS-2 output.
  const UINT8 format[] = {0x3A, 0x26, '%', 0, 'd', 0, 0, 0};  // U+263A, then %d
  EXPECT_EQ(FormatWithMode(ascii, sizeof ascii, FMT_FORMAT_UCS2, reinterpret_cast<const CHAR8 *>(format), 7), 2u);
  EXPECT_EQ(std::string(ascii), ":7");
  EXPECT_EQ(FormatWithMode(reinterpret_cast<CHAR8 *>(wide), 16, FMT_FORMAT_UCS2 | FMT_OUTPUT_UCS2,
                           reinterpret_cast<const CHAR8 *>(format), 7),
            2u);
  EXPECT_EQ(ReadUcs2(wide), std::u16string(u"\u263A7"));
}

TEST_F(PrintLib, AsciiVFormatAndAsciiFormatUseModeZero) {
  CHAR8 buffer[32];
  EXPECT_EQ(AsciiFormat(buffer, sizeof buffer, "%a=%X\n", "v", 0xBEEF), 8u);
  EXPECT_EQ(std::string(buffer), "v=BEEF\r\n");
}

TEST_F(PrintLib, ValueToDigitsStoresDigitsLeastSignificantFirst) {
  CHAR8 buffer[FMT_VALUE_BUFFER_SIZE];
  std::memset(buffer, 0xAA, sizeof buffer);
  CHAR8 *last = ValueToDigits(buffer, 0, 10);
  EXPECT_EQ(last, buffer + 1);
  EXPECT_EQ(std::string(buffer, 2), std::string("\0" "0", 2));

  last = ValueToDigits(buffer, 0xFFFFFFFFFFFFFFFFull, 10);
  EXPECT_EQ(last - buffer, 20);
  EXPECT_EQ(std::string(buffer, 21), std::string("\0" "51615590737044764481", 21));

  last = ValueToDigits(buffer, 0xFEDCBA9876543210ull, 16);
  EXPECT_EQ(last - buffer, 16);
  EXPECT_EQ(std::string(buffer, 17), std::string("\0" "0123456789ABCDEF", 17));
}

TEST_F(PrintLib, FillCharactersStopsAtTheEnd) {
  CHAR8 buffer[8];
  std::memset(buffer, 0xAA, sizeof buffer);
  EXPECT_EQ(FillCharacters(buffer, buffer + 3, 5, 'x', 1), buffer + 3);
  EXPECT_EQ(std::string(buffer, 4), "xxx\xAA");
  EXPECT_EQ(FillCharacters(buffer, buffer + 8, -2, 'y', 1), buffer);
  EXPECT_EQ(FillCharacters(buffer, buffer + 8, 0, 'y', 1), buffer);
  EXPECT_EQ(FillCharacters(buffer, buffer + 4, 3, 0x263A, 2), buffer + 4);
  EXPECT_EQ(std::string(buffer, 5), "\x3A\x26\x3A\x26\xAA");
}

TEST_F(PrintLib, NullBufferAndNullFormatAreReportedAndWriteNothing) {
  CHAR8 buffer[8];
  std::memset(buffer, 0xAA, sizeof buffer);

  EXPECT_EQ(AsciiFormat(nullptr, 8, "abc"), 0u);
  EXPECT_EQ(AsciiFormat(buffer, 8, nullptr), 0u);
  EXPECT_EQ(FormatWithMode(nullptr, 0, FMT_COUNT_ONLY, nullptr), 0u);
  // Without a size and outside count-only neither pointer is checked.
  EXPECT_EQ(AsciiFormat(nullptr, 0, "abc"), 0u);
  EXPECT_EQ(AsciiFormat(buffer, 0, nullptr), 0u);
  EXPECT_EQ(FormatWithMode(buffer, 0, FMT_FORMAT_UCS2, nullptr), 0u);
  for (CHAR8 b : buffer) EXPECT_EQ(static_cast<UINT8>(b), 0xAA);

  const auto &asserts = debugRecord().asserts;
  ASSERT_EQ(asserts.size(), 3u);
  EXPECT_EQ(asserts[0].expression, "(Buffer != ((void *) 0))");
  EXPECT_EQ(asserts[1].expression, "(Format != ((void *) 0))");
  EXPECT_EQ(asserts[2].expression, "(Format != ((void *) 0))");
  for (const auto &a : asserts) {
    EXPECT_EQ(a.sourcePath, EngineSource);
    EXPECT_GT(a.line, 0u);
  }
}

TEST_F(PrintLib, Ucs2OutputSizeIsBoundedByTheUnicodeMaximum) {
  // 1000000 characters pass; one more is reported and nothing is touched.
  EXPECT_EQ(FormatWithMode(nullptr, 1000000, FMT_COUNT_ONLY | FMT_OUTPUT_UCS2, "ab"), 2u);
  EXPECT_TRUE(debugRecord().asserts.empty());

  UINT8 wide[8];
  std::memset(wide, 0xAA, sizeof wide);
  EXPECT_EQ(FormatWithMode(reinterpret_cast<CHAR8 *>(wide), 1000001, FMT_OUTPUT_UCS2, "ab"), 0u);
  EXPECT_EQ(FormatWithMode(nullptr, 1000001, FMT_COUNT_ONLY | FMT_OUTPUT_UCS2, "ab"), 0u);
  for (UINT8 b : wide) EXPECT_EQ(b, 0xAA);

  const auto &asserts = debugRecord().asserts;
  ASSERT_EQ(asserts.size(), 2u);
  for (const auto &a : asserts) {
    EXPECT_EQ(a.sourcePath, EngineSource);
    EXPECT_EQ(a.expression, "(BufferSize <= (_gPcd_FixedAtBuild_PcdMaximumUnicodeStringLength))");
  }
}

TEST_F(PrintLib, Ucs2FormatLengthIsBoundedByTheUnicodeMaximum) {
  std::vector<UINT8> format(2 * 1000001 + 2, 0);
  for (size_t i = 0; i < 1000001; i++) format[2 * i] = 'a';
  const CHAR8 *text = reinterpret_cast<const CHAR8 *>(format.data());

  CHAR8 buffer[4];
  EXPECT_EQ(FormatWithMode(buffer, sizeof buffer, FMT_FORMAT_UCS2, text), 0u);
  const auto &asserts = debugRecord().asserts;
  ASSERT_EQ(asserts.size(), 1u);
  EXPECT_EQ(asserts[0].sourcePath, EngineSource);
  EXPECT_EQ(asserts[0].expression,
            "(StrnLenS ((CHAR16 *)Format, (_gPcd_FixedAtBuild_PcdMaximumUnicodeStringLength) + 1) <= "
            "(_gPcd_FixedAtBuild_PcdMaximumUnicodeStringLength))");

  debugRecord().clear();
  format[2 * 1000000] = 0;  // now exactly 1000000 characters
  EXPECT_EQ(FormatWithMode(nullptr, 0, FMT_COUNT_ONLY | FMT_FORMAT_UCS2, text), 1000000u);
  EXPECT_TRUE(debugRecord().asserts.empty());
}

TEST_F(PrintLib, AsciiLimitOfZeroChecksNothing) {
  // The ASCII maximum is 0 as built: any size and any format length pass.
  const std::string longFormat(3000000, 'a');
  EXPECT_EQ(FormatWithMode(nullptr, ~static_cast<UINTN>(0), FMT_COUNT_ONLY, longFormat.c_str()), 3000000u);
  CHAR8 buffer[4];
  EXPECT_EQ(AsciiFormat(buffer, ~static_cast<UINTN>(0), "%a", "xy"), 2u);
  EXPECT_EQ(std::string(buffer), "xy");
  EXPECT_TRUE(debugRecord().asserts.empty());
}

TEST_F(PrintLib, BoundedStringLengths) {
  const UINT8 wideBytes[] = {0xEE, 'a', 0, 0x00, 0x01, 'c', 0, 0, 0};  // "a", U+0100, "c" at an odd address
  const CHAR16 *wide = reinterpret_cast<const CHAR16 *>(wideBytes + 1);
  struct Row {
    UINTN got, want;
  } rows[] = {
      {AsciiStrnLenS(nullptr, 5), 0}, {AsciiStrnLenS("abc", 0), 0}, {AsciiStrnLenS("abc", 2), 2},
      {AsciiStrnLenS("abc", 3), 3},   {AsciiStrnLenS("abc", 9), 3}, {StrnLenS(nullptr, 5), 0},
      {StrnLenS(wide, 0), 0},         {StrnLenS(wide, 2), 2},       {StrnLenS(wide, 9), 3},
  };
  for (size_t i = 0; i < std::size(rows); i++) EXPECT_EQ(rows[i].got, rows[i].want) << "row " << i;
}

}  // namespace
