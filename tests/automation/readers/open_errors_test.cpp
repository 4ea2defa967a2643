// Every reason OpenWorkbookFile gives for a file it cannot open, with the exact message.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "automation/readers/workbook_reader.h"
#include "tests/automation/readers/crafted_package.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {

using tavrio::testing::ReadFile;
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

// A minimal compound file (512-byte sectors: header, one FAT sector, one directory sector)
// whose directory holds a root entry and one stream per name.
std::string CompoundFile(const std::vector<std::string>& stream_names) {
  std::string bytes(512 * 3, '\0');
  bytes.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
  PutU16(bytes, 0x18, 0x3E);
  PutU16(bytes, 0x1A, 3);
  PutU16(bytes, 0x1C, 0xFFFE);
  PutU16(bytes, 0x1E, 9);
  PutU16(bytes, 0x20, 6);
  PutU32(bytes, 0x2C, 1);  // one FAT sector
  PutU32(bytes, 0x30, 1);  // directory starts at sector 1
  PutU32(bytes, 0x38, 4096);
  PutU32(bytes, 0x3C, 0xFFFFFFFE);  // no mini FAT
  PutU32(bytes, 0x44, 0xFFFFFFFE);  // no DIFAT sectors
  for (int i = 0; i < 109; ++i) PutU32(bytes, 0x4C + 4 * i, i == 0 ? 0 : 0xFFFFFFFF);
  const std::size_t fat = 512, directory = 1024;
  for (int i = 0; i < 128; ++i) PutU32(bytes, fat + 4 * i, 0xFFFFFFFF);
  PutU32(bytes, fat, 0xFFFFFFFD);      // sector 0 holds the FAT
  PutU32(bytes, fat + 4, 0xFFFFFFFE);  // sector 1 (the directory) ends its chain
  std::vector<std::string> names = {"Root Entry"};
  names.insert(names.end(), stream_names.begin(), stream_names.end());
  for (std::size_t e = 0; e < names.size() && e < 4; ++e) {
    std::size_t at = directory + 128 * e;
    for (std::size_t i = 0; i < names[e].size(); ++i) PutU16(bytes, at + 2 * i, names[e][i]);
    PutU16(bytes, at + 0x40, static_cast<std::uint16_t>(2 * (names[e].size() + 1)));
    bytes[at + 0x42] = e == 0 ? 5 : 2;
  }
  return bytes;
}

std::string ValidPackageBytes(const TempFolder& dir) {
  std::string path = dir.File("valid-source.xlsx");
  WritePackage(
      path, WorkbookParts({{"Sheet1", SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")}}));
  return ReadFile(path);
}

struct OpenCase {
  std::string name;
  std::string file_name;
  std::function<void(const TempFolder&, const std::string&)> make;  // creates the file at path
  std::string reason;
};

std::string Deflated(const std::string& data) {
  z_stream stream{};
  deflateInit2(&stream, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, data.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// A valid package except that the workbook part is written raw as given.
void WriteWithRawWorkbook(const std::string& path, const std::string& deflated, std::uint32_t crc,
                          std::uint64_t size) {
  auto parts = WorkbookParts({{"Sheet1", SheetXml("")}});
  ZipWriter zip(path);
  for (const auto& [name, data] : parts) {
    if (name == "xl/workbook.xml") {
      zip.AddRaw(name, deflated, crc, size);
    } else {
      zip.Add(name, data);
    }
  }
  zip.Close();
}

std::uint32_t Crc(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

const std::vector<OpenCase>& OpenCases() {
  using Dir = const TempFolder&;
  using Path = const std::string&;
  static const std::vector<OpenCase> cases = {
      {"Missing", "missing.xlsx", [](Dir, Path) {}, "文件不存在"},
      {"InsideAMissingFolder", "no-folder/missing.xlsx", [](Dir, Path) {}, "文件不存在"},
      {"Folder", "folder.xlsx", [](Dir, Path p) { std::filesystem::create_directory(p); },
       "这是一个文件夹，不是文件"},
      {"Pipe", "pipe.xlsx", [](Dir, Path p) { mkfifo(p.c_str(), 0600); }, "不是普通文件"},
      {"Empty", "empty.xlsx", [](Dir, Path p) { WriteFile(p, ""); }, "文件是空的"},
      {"CommaSeparatedText", "text.xlsx", [](Dir, Path p) { WriteFile(p, "a,b\n1,2\n"); },
       "这是以逗号分隔的文本文件（CSV），请将扩展名改为 .csv 后再合并"},
      {"TruncatedZip", "truncated.xlsx",
       [](Dir d, Path p) {
         std::string bytes = ValidPackageBytes(d);
         WriteFile(p, bytes.substr(0, bytes.size() / 2));
       },
       "文件已损坏：无法读取压缩包目录"},
      {"ZipWithoutAWorkbook", "other.xlsx",
       [](Dir, Path p) {
         ZipWriter zip(p);
         zip.Add("readme.txt", "hello");
         zip.Close();
       },
       "不是工作簿文件"},
      {"OtherOfficeDocument", "letter.xlsx",
       [](Dir, Path p) {
         auto parts = WorkbookParts({{"Sheet1", SheetXml("")}});
         parts["xl/workbook.xml"] = "<document><body/></document>";
         WritePackage(p, parts);
       },
       "不是工作簿文件：部件“xl/workbook.xml”不是工作簿"},
      {"BinaryWorkbook", "binary.xlsb",
       [](Dir, Path p) {
         auto parts = WorkbookParts({{"Sheet1", SheetXml("")}});
         std::string& rels = parts["_rels/.rels"];
         rels.replace(rels.find("workbook.xml"), 12, "workbook.bin");
         WritePackage(p, parts);
       },
       "这是二进制工作簿（.xlsb），暂不支持此格式"},
      {"SheetPartMissing", "nosheet.xlsx",
       [](Dir, Path p) {
         auto parts = WorkbookParts({{"数据", SheetXml("")}});
         parts.erase("xl/worksheets/sheet1.xml");
         WritePackage(p, parts);
       },
       "文件已损坏：缺少工作表“数据”的部件“xl/worksheets/sheet1.xml”"},
      {"SheetWithoutRelationship", "norel.xlsx",
       [](Dir, Path p) {
         auto parts = WorkbookParts({{"数据", SheetXml("")}});
         std::string& wb = parts["xl/workbook.xml"];
         wb.replace(wb.find("rId1"), 4, "rId9");
         WritePackage(p, parts);
       },
       "文件已损坏：找不到工作表“数据”的部件"},
      {"WorkbookNotWellFormed", "badxml.xlsx",
       [](Dir, Path p) {
         auto parts = WorkbookParts({{"Sheet1", SheetXml("")}});
         parts["xl/workbook.xml"] = "<workbook><sheets><sheet name=\"a\" r:id=\"rId1\"></workbook>";
         WritePackage(p, parts);
       },
       "文件已损坏：部件“xl/workbook.xml”不是有效的 XML：开始标签与结束标签不匹配（位于第 "
       "49 字节）"},
      {"ChecksumMismatch", "crc.xlsx",
       [](Dir, Path p) {
         std::string xml = WorkbookParts({{"Sheet1", ""}})["xl/workbook.xml"];
         WriteWithRawWorkbook(p, Deflated(xml), Crc(xml) ^ 1, xml.size());
       },
       "文件已损坏：部件“xl/workbook.xml”的校验和不符"},
      {"SizeClaimedWrongly", "size.xlsx",
       [](Dir, Path p) {
         std::string xml = WorkbookParts({{"Sheet1", ""}})["xl/workbook.xml"];
         WriteWithRawWorkbook(p, Deflated(xml), Crc(xml), xml.size() - 1);
       },
       "文件已损坏：部件“xl/workbook.xml”的校验和不符"},
      {"CorruptDeflateData", "deflate.xlsx",
       [](Dir, Path p) {
         WriteWithRawWorkbook(p, std::string("\xFF\xFF\xFF\xFF garbage", 12), 0, 100);
       },
       "文件已损坏：部件“xl/workbook.xml”的压缩数据无效"},
      {"DeflateDataCutShort", "short.xlsx",
       [](Dir, Path p) {
         std::string xml = WorkbookParts({{"Sheet1", ""}})["xl/workbook.xml"];
         std::string deflated = Deflated(xml);
         WriteWithRawWorkbook(p, deflated.substr(0, deflated.size() / 2), Crc(xml), xml.size());
       },
       "文件已损坏：部件“xl/workbook.xml”的压缩数据被截断"},
      {"PasswordProtected", "secret.xlsx",
       [](Dir, Path p) {
         WriteFile(p, CompoundFile({"EncryptionInfo", "EncryptedPackage"}));
       },
       "文件受密码保护，请先取消密码再合并"},
      {"XlsWithAnEmptyWorkbookStream", "old.xlsx",
       [](Dir, Path p) { WriteFile(p, CompoundFile({"Workbook"})); },
       "文件已损坏：复合文档结构无效"},
      {"OtherCompoundFile", "word.xlsx",
       [](Dir, Path p) { WriteFile(p, CompoundFile({"WordDocument"})); }, "不是工作簿文件"},
      {"DamagedCompoundFile", "broken.xls",
       [](Dir, Path p) { WriteFile(p, CompoundFile({"Workbook"}).substr(0, 600)); },
       "文件已损坏：复合文档结构无效"},
  };
  return cases;
}

class OpenErrorTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenErrorTest, NamesTheFileAndSaysWhy) {
  const OpenCase& c = GetParam();
  TempFolder dir;
  std::string path = dir.File(c.file_name);
  c.make(dir, path);
  try {
    OpenWorkbookFile(path);
    FAIL() << "opened";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), 1004);
    EXPECT_EQ(error.description(), "无法打开文件“" + path + "”：" + c.reason + "。");
  }
}

INSTANTIATE_TEST_SUITE_P(Files, OpenErrorTest, ::testing::ValuesIn(OpenCases()),
                         [](const auto& info) { return info.param.name; });

// Restores a file's permissions however the test ends.
class PermissionGuard {
 public:
  PermissionGuard(std::string path, mode_t mode) : path_(std::move(path)) {
    chmod(path_.c_str(), mode);
  }
  ~PermissionGuard() { chmod(path_.c_str(), 0644); }

 private:
  std::string path_;
};

TEST(OpenErrorTest, UnreadableFile) {
  TempFolder dir;
  std::string path = dir.File("locked.xlsx");
  WriteFile(path, ValidPackageBytes(dir));
  PermissionGuard guard(path, 0);
  if (access(path.c_str(), R_OK) == 0) GTEST_SKIP() << "permissions do not bind this user";
  try {
    OpenWorkbookFile(path);
    FAIL() << "opened";
  } catch (const Error& error) {
    EXPECT_EQ(error.description(), "无法打开文件“" + path + "”：没有读取权限。");
  }
}

TEST(OpenErrorTest, TheContentDecidesNotTheExtension) {
  TempFolder dir;
  std::string path = dir.File("really-a-workbook.csv");
  WriteFile(path, ValidPackageBytes(dir));
  auto reader = OpenWorkbookFile(path);
  ASSERT_EQ(reader->Sheets().size(), 1u);
  EXPECT_EQ(reader->Sheets()[0].name, "Sheet1");
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
