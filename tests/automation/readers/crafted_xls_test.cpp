// Hand-made .xls files: compound files whose small workbook stream lives in the mini stream,
// with the records an encrypted or damaged workbook starts with.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "automation/base/error.h"
#include "automation/readers/workbook_reader.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/biff_builder.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {

using tavrio::testing::TempFolder;
using tavrio::testing::WriteFile;

namespace {

void PutU16(std::string& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}
void PutU32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string Record(std::uint16_t type, const std::string& data) {
  std::string record(4, '\0');
  PutU16(record, 0, type);
  PutU16(record, 2, static_cast<std::uint16_t>(data.size()));
  return record + data;
}

std::string Bof(std::uint16_t version) {
  std::string data(16, '\0');
  PutU16(data, 0, version);
  PutU16(data, 2, 0x0005);  // workbook globals
  return Record(0x0809, data);
}

// A 512-byte-sector compound file: FAT, directory, mini FAT, and one sector of mini stream
// holding `stream` (at most 512 bytes) under `name`.
std::string CompoundFileWithSmallStream(const std::string& name, const std::string& stream) {
  std::string bytes(512 * 5, '\0');
  bytes.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
  PutU16(bytes, 0x18, 0x3E);
  PutU16(bytes, 0x1A, 3);
  PutU16(bytes, 0x1C, 0xFFFE);
  PutU16(bytes, 0x1E, 9);
  PutU16(bytes, 0x20, 6);
  PutU32(bytes, 0x2C, 1);
  PutU32(bytes, 0x30, 1);     // directory at sector 1
  PutU32(bytes, 0x38, 4096);  // mini stream cutoff
  PutU32(bytes, 0x3C, 2);     // mini FAT at sector 2
  PutU32(bytes, 0x40, 1);
  PutU32(bytes, 0x44, 0xFFFFFFFE);  // no DIFAT sectors
  for (int i = 0; i < 109; ++i) PutU32(bytes, 0x4C + 4 * i, i == 0 ? 0 : 0xFFFFFFFF);
  const std::size_t fat = 512, directory = 1024, mini_fat = 1536, container = 2048;
  for (int i = 0; i < 128; ++i) PutU32(bytes, fat + 4 * i, 0xFFFFFFFF);
  PutU32(bytes, fat, 0xFFFFFFFD);
  for (int sector = 1; sector <= 3; ++sector) PutU32(bytes, fat + 4 * sector, 0xFFFFFFFE);
  const std::size_t mini_sectors = (stream.size() + 63) / 64;
  for (int i = 0; i < 128; ++i) PutU32(bytes, mini_fat + 4 * i, 0xFFFFFFFF);
  for (std::size_t i = 0; i < mini_sectors; ++i) {
    PutU32(bytes, mini_fat + 4 * i, i + 1 == mini_sectors ? 0xFFFFFFFE : i + 1);
  }
  bytes.replace(container, stream.size(), stream);
  const std::vector<std::string> names = {"Root Entry", name};
  for (std::size_t e = 0; e < names.size(); ++e) {
    std::size_t at = directory + 128 * e;
    for (std::size_t i = 0; i < names[e].size(); ++i) PutU16(bytes, at + 2 * i, names[e][i]);
    PutU16(bytes, at + 0x40, static_cast<std::uint16_t>(2 * (names[e].size() + 1)));
    bytes[at + 0x42] = e == 0 ? 5 : 2;
    PutU32(bytes, at + 0x44, 0xFFFFFFFF);
    PutU32(bytes, at + 0x48, 0xFFFFFFFF);
    PutU32(bytes, at + 0x4C, e == 0 ? 1 : 0xFFFFFFFF);
    PutU32(bytes, at + 0x74, e == 0 ? 3 : 0);
    PutU32(bytes, at + 0x78, static_cast<std::uint32_t>(e == 0 ? 512 : stream.size()));
  }
  return bytes;
}

struct CraftedCase {
  std::string name;
  std::string stream_name;
  std::string stream;
  std::string reason;
};

TEST(CraftedXlsTest, RefusedWithTheReason) {
  const std::string xor_obfuscation("\x00\x00\x12\x34\x56\x78", 6);
  const std::vector<CraftedCase> cases = {
      {"BIFF8 with a password", "Workbook",
       Bof(0x0600) + Record(0x002F, xor_obfuscation) + Record(0x000A, ""),
       "文件受密码保护，请先取消密码再合并"},
      {"BIFF5 with a password", "Book",
       Bof(0x0500) + Record(0x002F, xor_obfuscation) + Record(0x000A, ""),
       "文件受密码保护，请先取消密码再合并"},
      {"BIFF8 with an encryption of its own", "Workbook",
       Bof(0x0600) + Record(0x002F, std::string("\x02\x00", 2)) + Record(0x000A, ""),
       "文件的加密方式不受支持，请先取消密码再合并"},
      {"BIFF8 with a FILEPASS record cut short", "Workbook",
       Bof(0x0600) + Record(0x002F, std::string("\x01\x00\x01", 3)) + Record(0x000A, ""),
       "文件已损坏：加密信息无效"},
      // The default password opens it, but the record after FILEPASS runs past the stream.
      {"BIFF8 with the default password, cut short", "Workbook",
       Bof(0x0600) + Record(0x002F, std::string("\x00\x00\x59\xB3\x0A\x9A", 6)) +
           std::string("\x0A\x00\x20\x00", 4),
       "文件已损坏：工作簿数据无效"},
      {"no BOF record", "Workbook", Record(0x0042, "xx") + Record(0x000A, ""),
       "文件已损坏：工作簿数据无效"},
      {"record longer than the stream", "Workbook",
       Bof(0x0600) + std::string("\x42\x00\xFF\x00", 4), "文件已损坏：工作簿数据无效"},
  };
  TempFolder dir;
  for (const CraftedCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.File("crafted.xls");
    WriteFile(path, CompoundFileWithSmallStream(c.stream_name, c.stream));
    try {
      OpenWorkbookFile(path);
      ADD_FAILURE() << "opened";
    } catch (const Error& error) {
      EXPECT_EQ(error.description(), "无法打开文件“" + path + "”：" + c.reason + "。");
    }
  }
}

// Expects `bytes`, saved as an .xls file, to be refused as a damaged compound file.
void ExpectContainerDamaged(const std::string& bytes) {
  TempFolder dir;
  const std::string path = dir.File("damaged.xls");
  WriteFile(path, bytes);
  try {
    OpenWorkbookFile(path);
    ADD_FAILURE() << "opened";
  } catch (const Error& error) {
    EXPECT_EQ(error.description(), "无法打开文件“" + path + "”：文件已损坏：复合文档结构无效。");
  }
}

TEST(CraftedXlsTest, AMiniStreamChainThatLoopsIsDamage) {
  std::string stream = Bof(0x0600) + std::string(200, '\0');
  std::string bytes = CompoundFileWithSmallStream("Workbook", stream);
  PutU32(bytes, 1536 + 4, 0);              // the second mini sector points back at the first
  PutU32(bytes, 1024 + 128 + 0x78, 4000);  // so the chain never reaches the stream's size
  ExpectContainerDamaged(bytes);
}

// A mini sector size of 2^262 bytes shifted a word past its width; on x86 it came out as 64.
TEST(CraftedXlsTest, AMiniSectorSizeNoFileCanHoldIsDamage) {
  std::string bytes = CompoundFileWithSmallStream("Workbook", Bof(0x0600) + Record(0x000A, ""));
  for (std::uint16_t shift : {13, 70, 262}) {
    SCOPED_TRACE(shift);
    PutU16(bytes, 0x20, shift);
    ExpectContainerDamaged(bytes);
  }
}

// A directory entry's name claiming more than the 64 bytes a name may take once made a reader
// trusting it read far past the entry (a stack buffer underflow).
TEST(CraftedXlsTest, ADirectoryNameLongerThanAnEntryAllowsIsRefused) {
  struct NameLength {
    std::string name;
    std::size_t entry;
    std::uint16_t bytes;
  };
  const std::vector<NameLength> cases = {
      {"root entry", 0, 66},
      {"workbook stream", 1, 0xFFFF},
      {"unused entry", 2, 0x6666},
  };
  std::string stream = Bof(0x0600) + Record(0x000A, "");
  TempFolder dir;
  for (const NameLength& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = CompoundFileWithSmallStream("Workbook", stream);
    PutU16(bytes, 1024 + 128 * c.entry + 0x40, c.bytes);
    std::string path = dir.File("long-name.xls");
    WriteFile(path, bytes);
    try {
      OpenWorkbookFile(path);
      ADD_FAILURE() << "opened";
    } catch (const Error& error) {
      EXPECT_EQ(error.description(),
                "无法打开文件“" + path + "”：文件已损坏：复合文档目录中的名称过长。");
    }
  }
}

std::string U16s(std::initializer_list<std::uint16_t> values) {
  std::string bytes;
  for (std::uint16_t value : values) {
    bytes.push_back(static_cast<char>(value & 0xFF));
    bytes.push_back(static_cast<char>(value >> 8));
  }
  return bytes;
}

// A BIFF8 XF record naming font 0 and format `format`, otherwise plain.
std::string Xf(std::uint16_t format) {
  return Record(0x00E0, U16s({0, format}) + std::string(16, '\0'));
}

// Opens a workbook stream written into a compound file and reads its first sheet.
struct ReadBack {
  std::unique_ptr<WorkbookReader> reader;
  RecordingSink sink;
};
std::unique_ptr<ReadBack> ReadStream(const TempFolder& dir, const std::string& stream) {
  const std::string path = dir.File("crafted.xls");
  WriteFile(path, tavrio::testing::CompoundFileBytes({{"Workbook", stream}}));
  auto back = std::make_unique<ReadBack>();
  back->reader = OpenWorkbookFile(path);
  back->reader->ReadSheet(0, back->sink);
  return back;
}

TEST(CraftedXlsTest, FormatAndXfRecordsGiveEachXfItsFormat) {
  // "¥0" in 16-bit characters, "0.0" in 8-bit ones; XFs name a built-in id, then both.
  const std::string globals = Record(0x041E, U16s({0xA4, 2}) + '\x01' + U16s({0xA5, '0'})) +
                              Record(0x041E, U16s({0xA5, 3}) + '\x00' + "0.0") + Xf(9) + Xf(0xA4) +
                              Xf(0xA5);
  std::string cells;
  for (std::uint16_t xf = 0; xf < 3; ++xf) {
    cells += Record(0x0203, U16s({xf, 0, xf}) + tavrio::testing::F64(xf));
  }
  TempFolder dir;
  auto back = ReadStream(dir, tavrio::testing::BiffWorkbookStream(8, globals, {{"S", cells}}));
  const auto& styles = back->reader->Styles();
  EXPECT_EQ(styles.at(back->sink.At("A1").style).number_format, "0%");
  EXPECT_EQ(styles.at(back->sink.At("A2").style).number_format, "¥0");
  EXPECT_EQ(styles.at(back->sink.At("A3").style).number_format, "0.0");
}

TEST(CraftedXlsTest, EveryCellRecordNamesItsXf) {
  // XF n has format "n.0", so that a cell's format tells which XF it named.
  std::string globals = Record(0x00FC, tavrio::testing::U32(1) + tavrio::testing::U32(1) +
                                           tavrio::testing::Biff8String("s", 2));
  for (std::uint16_t xf = 0; xf < 25; ++xf) {
    const std::string code = std::to_string(xf) + ".0";
    globals += Record(0x041E, U16s({static_cast<std::uint16_t>(200 + xf)}) +
                                  tavrio::testing::Biff8String(code, 2));
    globals += Xf(static_cast<std::uint16_t>(200 + xf));
  }
  const std::string chart_number = Record(0x0203, U16s({9, 9, 99}) + std::string(8, '\0'));
  const std::string cells = Record(0x0203, U16s({0, 0, 17}) + std::string(8, '\0')) +
                            Record(0x00BD, U16s({1, 0, 18, 0, 0, 19, 0, 0, 20, 0, 0, 2})) +
                            Record(0x00BE, U16s({2, 1, 21, 22, 2})) +
                            Record(0x00FD, U16s({3, 0, 23, 0, 0})) +
                            Record(0x0201, U16s({3, 4, 24})) + tavrio::testing::BiffBof(8, 0x0020) +
                            chart_number + Record(0x000A, "");  // an embedded chart
  TempFolder dir;
  auto back = ReadStream(dir, tavrio::testing::BiffWorkbookStream(8, globals, {{"S", cells}}));
  const std::vector<std::pair<std::string, int>> expected = {{"A1", 17}, {"A2", 18}, {"B2", 19},
                                                             {"C2", 20}, {"B3", 21}, {"C3", 22},
                                                             {"A4", 23}, {"E4", 24}};
  for (const auto& [reference, xf] : expected) {
    SCOPED_TRACE(reference);
    EXPECT_EQ(back->reader->Styles().at(back->sink.At(reference).style).number_format,
              std::to_string(xf) + ".0");
  }
  EXPECT_EQ(back->sink.cells().size(), expected.size());
}

}  // namespace
// A workbook stream of 65,536 rows × 7 numbers: about 8 MiB, so that the FAT needs more sectors
// than the header's 109 slots list and the rest are found through DIFAT sectors.
std::string LargeNumbersStream() {
  std::string cells;
  for (std::uint32_t row = 0; row < 65536; ++row) {
    for (std::uint16_t col = 0; col < 7; ++col) {
      cells += tavrio::testing::biff::Number(static_cast<std::uint16_t>(row), col, 0,
                                             row * 10.0 + col);
    }
  }
  return tavrio::testing::BiffWorkbookStream(8, "", {{"S", cells}});
}

TEST(CraftedXlsTest, AFileWhoseFatIsListedInDifatSectorsReadsWhole) {
  const std::string bytes = tavrio::testing::CompoundFileBytes({{"Workbook", LargeNumbersStream()}});
  ASSERT_NE(bytes.substr(0x44, 4), tavrio::testing::U32(0xFFFFFFFE)) << "no DIFAT sector made";
  TempFolder dir;
  const std::string path = dir.File("large.xls");
  WriteFile(path, bytes);
  auto reader = OpenWorkbookFile(path);
  RecordingSink sink;
  reader->ReadSheet(0, sink);
  EXPECT_EQ(sink.cells().size(), 65536u * 7);
  EXPECT_EQ(sink.At("A1").number, 0);
  EXPECT_EQ(sink.At("G40000").number, 399996);
  EXPECT_EQ(sink.At("G65536").number, 655356);
}

TEST(CraftedXlsTest, ADifatChainThatLoopsIsDamage) {
  std::string bytes = tavrio::testing::CompoundFileBytes({{"Workbook", LargeNumbersStream()}});
  const std::uint32_t difat = static_cast<unsigned char>(bytes[0x44]) |
                              static_cast<unsigned char>(bytes[0x45]) << 8 |
                              static_cast<unsigned char>(bytes[0x46]) << 16;
  PutU32(bytes, (difat + 1) * 512 + 508, difat);  // its link to the next names itself
  ExpectContainerDamaged(bytes);
}

}  // namespace tavrio::automation::readers::testing
