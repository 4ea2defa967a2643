// Decryption of .xls workbooks under the default password: known answers from an independent
// implementation, files LibreOffice encrypted, and an obfuscated file LibreOffice reads back.

#include "automation/readers/biff_decrypt.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "automation/readers/biff_formula.h"
#include "automation/readers/biff_password_keys.h"
#include "automation/readers/read_fault.h"
#include "tests/automation/readers/biff_fixtures.h"
#include "tests/automation/readers/biff_test_workbook.h"
#include "tests/support/independent_readers.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {
namespace {

constexpr std::uint16_t kFilePass = 0x002F;
constexpr std::uint16_t kLabel = 0x0204;

std::vector<std::uint8_t> Hex(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    bytes.push_back(
        static_cast<std::uint8_t>(std::stoul(std::string(text.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

// Known answers printed by make_rc4_vectors.py, which computes them with Debian's
// python3-msoffcrypto-tool: a FILEPASS payload under the default password (salt 00..0f), and
// the key stream at stream positions 0, 1008 and 2040, around the 1024-byte block boundaries.
struct Rc4Vector {
  const char* scheme;
  const char* filepass;
  const char* key_stream[3];
};
constexpr std::size_t kSliceStarts[3] = {0, 1008, 2040};

const Rc4Vector kRc4Vectors[] = {
    {"rc4-md5",
     "010001000100000102030405060708090a0b0c0d0e0f75893a71a012720e88b0c355190404ef7952c14f1ebd3e"
     "ec4903dea40b7cc250",
     {"65982862b407641990a9d94e05191af062a6ef6b06ab84c5b65ceedfbac0df46",
      "e502581c1adf6f6e24e63846427a7712047d426dd8b55448bc973cc49f1400be",
      "94ce5928a9760f9baa29c4ab6fc2a0f4249f2b19aebb5b6b6a9fcde32be15584"}},
    {"rc4-cryptoapi-128",
     "010004000200040000007e00000004000000000000000168000004800000800000000100000000000000000000"
     "004d006900630072006f0073006f0066007400200045006e00680061006e006300650064002000430072007900"
     "700074006f0067007200610070006800690063002000500072006f00760069006400650072002000760031002e"
     "003000000010000000000102030405060708090a0b0c0d0e0fd450d6e1a56ca0ad1f5f1dbdb383757514000000"
     "02d09feac72b2b48ed3d4117812c077ce90f780e",
     {"c441c4f2b179b6ba074607a6af9e6b6ac8c412ef2f5e97f021d9bc3bad5e0c81",
      "b0347417d6a4015eb4ac6edb0d3d42ea6b6bdf7ab764b7494e82144a26a9ab26",
      "3c0a2f9b74c3410651b33f5270c83f34887ef986cd17733218185a238a9e4c17"}},
    {"rc4-cryptoapi-40",
     "010004000200040000007e00000004000000000000000168000004800000280000000100000000000000000000"
     "004d006900630072006f0073006f0066007400200045006e00680061006e006300650064002000430072007900"
     "700074006f0067007200610070006800690063002000500072006f00760069006400650072002000760031002e"
     "003000000010000000000102030405060708090a0b0c0d0e0fbc0606fb68c921f8ef09aa4b1091facb14000000"
     "a39158377977ad737cd5412d4628c95f94f2794e",
     {"ac1714e87cdc37eff710b0500c8ce4d46985d532910211cbb031bc016a5ac2a2",
      "10f2a48dfaa3d33f14361ac9b2e43eef31280077d72046e17f0b347082b90fdc",
      "fec5bfc979422093692eca7e0b7462f448918b49f19d22a42ea91c1a9913ecbc"}},
};

TEST(BiffDecryptTest, Rc4KeyStreamsMatchAnIndependentImplementation) {
  for (const Rc4Vector& vector : kRc4Vectors) {
    SCOPED_TRACE(vector.scheme);
    BiffFilePass opened = OpenBiffFilePass(Hex(vector.filepass), 8);
    ASSERT_EQ(opened.outcome, BiffFilePassOutcome::kOpened);
    // Zero bytes decrypt to the key stream. Backwards, so that each slice must key anew.
    for (int slice = 2; slice >= 0; --slice) {
      SCOPED_TRACE(slice);
      std::vector<std::uint8_t> payload(32, 0);
      opened.decryptor->DecryptRecord(kLabel, kSliceStarts[slice], payload);
      EXPECT_EQ(payload, Hex(vector.key_stream[slice]));
    }
    // Forwards in pieces, as records come: the cipher moves on within its block.
    std::vector<std::uint8_t> first(10, 0), second(22, 0);
    opened.decryptor->DecryptRecord(kLabel, 1008, first);
    opened.decryptor->DecryptRecord(kLabel, 1018, second);
    first.insert(first.end(), second.begin(), second.end());
    EXPECT_EQ(first, Hex(vector.key_stream[1]));
  }
}

// The default password's XOR key, verifier and array, which LibreOffice accepted: it read the
// workbook xor.xls of the fixtures, obfuscated with them, as it reads the plain one (see
// XorObfuscatedWorkbookReadsAsLibreOfficeReadsIt).
TEST(BiffDecryptTest, XorKeysOfTheDefaultPassword) {
  EXPECT_EQ(XorKey(kDefaultPassword), 0xB359);
  EXPECT_EQ(XorPasswordVerifier(kDefaultPassword), 0x9A0A);
  const auto array = XorArray(kDefaultPassword);
  EXPECT_EQ(std::vector<std::uint8_t>(array.begin(), array.end()),
            Hex("876b9ae21ee305621e699660986e9404"));
}

struct FilePassCase {
  const char* what;
  int biff;
  std::string payload;
  BiffFilePassOutcome outcome;
};

void PrintTo(const FilePassCase& c, std::ostream* os) { *os << c.what; }

class BiffFilePassTest : public ::testing::TestWithParam<FilePassCase> {};

TEST_P(BiffFilePassTest, TellsTheOutcome) {
  const FilePassCase& c = GetParam();
  const BiffFilePass opened = OpenBiffFilePass(Hex(c.payload), c.biff);
  EXPECT_EQ(opened.outcome, c.outcome);
  EXPECT_EQ(opened.decryptor != nullptr, c.outcome == BiffFilePassOutcome::kOpened);
}

std::string Replace(std::string text, std::size_t at, const std::string& with) {
  return text.replace(at, with.size(), with);
}

const std::string kRc4Md5 = kRc4Vectors[0].filepass;
const std::string kCryptoApi = kRc4Vectors[1].filepass;

INSTANTIATE_TEST_SUITE_P(
    Schemes, BiffFilePassTest,
    ::testing::Values(
        FilePassCase{"BIFF8 XOR, default password", 8, "000059b30a9a",
                     BiffFilePassOutcome::kOpened},
        FilePassCase{"BIFF5 XOR, default password", 5, "59b30a9a", BiffFilePassOutcome::kOpened},
        FilePassCase{"BIFF2 XOR, default password", 2, "59b30a9a", BiffFilePassOutcome::kOpened},
        FilePassCase{"XOR, another verifier", 5, "59b30b9a", BiffFilePassOutcome::kNeedsPassword},
        FilePassCase{"XOR, another key", 8, "000058b30a9a", BiffFilePassOutcome::kNeedsPassword},
        FilePassCase{"XOR cut short", 5, "59b30a", BiffFilePassOutcome::kDamaged},
        FilePassCase{"RC4, another verifier hash", 8, Replace(kRc4Md5, kRc4Md5.size() - 2, "51"),
                     BiffFilePassOutcome::kNeedsPassword},
        FilePassCase{"RC4 cut short", 8, kRc4Md5.substr(0, kRc4Md5.size() - 2),
                     BiffFilePassOutcome::kDamaged},
        FilePassCase{"CryptoAPI, another verifier", 8, Replace(kCryptoApi, 330, "ff"),
                     BiffFilePassOutcome::kNeedsPassword},
        FilePassCase{"CryptoAPI with AES", 8, Replace(kCryptoApi, 44, "0e66"),
                     BiffFilePassOutcome::kUnsupported},
        FilePassCase{"CryptoAPI with MD5 keys", 8, Replace(kCryptoApi, 52, "0380"),
                     BiffFilePassOutcome::kUnsupported},
        FilePassCase{"CryptoAPI with a 56-bit key", 8, Replace(kCryptoApi, 60, "38"),
                     BiffFilePassOutcome::kNeedsPassword},
        FilePassCase{"CryptoAPI with a 132-bit key", 8, Replace(kCryptoApi, 60, "84"),
                     BiffFilePassOutcome::kUnsupported},
        FilePassCase{"CryptoAPI, header longer than the record", 8, Replace(kCryptoApi, 20, "ff"),
                     BiffFilePassOutcome::kDamaged},
        FilePassCase{"CryptoAPI, salt of 8 bytes", 8, Replace(kCryptoApi, 280, "08"),
                     BiffFilePassOutcome::kDamaged},
        FilePassCase{"CryptoAPI cut short", 8, kCryptoApi.substr(0, kCryptoApi.size() - 2),
                     BiffFilePassOutcome::kDamaged},
        FilePassCase{"RC4 version 5.2", 8, "010005000200", BiffFilePassOutcome::kUnsupported},
        FilePassCase{"an unknown scheme", 8, "0200", BiffFilePassOutcome::kUnsupported},
        FilePassCase{"empty", 8, "", BiffFilePassOutcome::kDamaged},
        FilePassCase{"an unknown BIFF version", 6, "59b30a9a", BiffFilePassOutcome::kUnsupported}));

TEST(BiffDecryptTest, ReasonsTheUserCanActOn) {
  EXPECT_EQ(BiffFilePassReason(BiffFilePassOutcome::kOpened), "");
  EXPECT_EQ(BiffFilePassReason(BiffFilePassOutcome::kNeedsPassword),
            "文件受密码保护，请先取消密码再合并");
  EXPECT_EQ(BiffFilePassReason(BiffFilePassOutcome::kUnsupported),
            "文件的加密方式不受支持，请先取消密码再合并");
  EXPECT_EQ(BiffFilePassReason(BiffFilePassOutcome::kDamaged), "文件已损坏：加密信息无效");
}

TEST(BiffDecryptTest, RecordsLeftInTheClear) {
  BiffFilePass opened = OpenBiffFilePass(Hex(kRc4Md5), 8);
  ASSERT_TRUE(opened.decryptor);
  for (std::uint16_t type :
       {0x0809, 0x0009, 0x0209, 0x0409, 0x002F, 0x0194, 0x0195, 0x00E1, 0x0196, 0x0138}) {
    SCOPED_TRACE(type);
    std::vector<std::uint8_t> payload(8, 0x11);
    opened.decryptor->DecryptRecord(type, 0, payload);
    EXPECT_EQ(payload, std::vector<std::uint8_t>(8, 0x11));
  }
  // BOUNDSHEET keeps its sheet's stream position; the rest is the key stream at its place.
  std::vector<std::uint8_t> sheet(12, 0);
  opened.decryptor->DecryptRecord(0x0085, 0, sheet);
  const auto key_stream = Hex(kRc4Vectors[0].key_stream[0]);
  EXPECT_EQ(sheet, (std::vector<std::uint8_t>{0, 0, 0, 0, key_stream[4], key_stream[5],
                                              key_stream[6], key_stream[7], key_stream[8],
                                              key_stream[9], key_stream[10], key_stream[11]}));
  std::vector<std::uint8_t> short_sheet(2, 0x11);
  opened.decryptor->DecryptRecord(0x0085, 0, short_sheet);
  EXPECT_EQ(short_sheet, std::vector<std::uint8_t>(2, 0x11));
}

// The stream with every record after FILEPASS decrypted; the outcome of its FILEPASS.
BiffFilePassOutcome DecryptStream(std::vector<std::uint8_t>& stream) {
  std::unique_ptr<BiffDecryptor> decryptor;
  BiffFilePassOutcome outcome = BiffFilePassOutcome::kDamaged;
  for (const BiffTestRecord& record : BiffTestRecords(stream)) {
    std::span<std::uint8_t> payload(stream.data() + record.data_offset, record.data.size());
    if (decryptor) {
      decryptor->DecryptRecord(record.type, record.data_offset, payload);
    } else if (record.type == kFilePass) {
      BiffFilePass opened = OpenBiffFilePass(record.data, 8);
      outcome = opened.outcome;
      decryptor = std::move(opened.decryptor);
      if (!decryptor) break;
    }
  }
  return outcome;
}

// sheet!cell -> decoded formula, for every formula of the workbook.
std::map<std::string, std::optional<std::string>> DecodedFormulas(
    std::vector<std::uint8_t> stream) {
  BiffTestWorkbook workbook(std::move(stream));
  std::map<std::string, std::optional<std::string>> formulas;
  for (std::size_t sheet = 0; sheet < workbook.sheet_names().size(); ++sheet) {
    for (const BiffTestFormula& f : workbook.Formulas(sheet)) {
      formulas[workbook.sheet_names()[sheet] + "!" + std::to_string(f.row) + "," +
               std::to_string(f.column)] =
          DecodeBiffFormula(f.rgce, f.rgcb, workbook.Context(sheet, f.row, f.column));
    }
  }
  return formulas;
}

TEST(BiffDecryptFilesTest, LibreOfficeDefaultPasswordWorkbookReadsAsThePlainOne) {
  const std::string& dir = BiffFixtureDir();
  TAVRIO_SKIP_WITHOUT(!dir.empty(), kBiffFixtureReaders);
  std::vector<std::uint8_t> stream = ReadWorkbookStream(dir + "/default-password.xls");
  ASSERT_EQ(DecryptStream(stream), BiffFilePassOutcome::kOpened);
  const auto plain = DecodedFormulas(ReadWorkbookStream(dir + "/formulas.xls"));
  ASSERT_GT(plain.size(), 250u);
  EXPECT_EQ(DecodedFormulas(stream), plain);
}

TEST(BiffDecryptFilesTest, AnotherPasswordNeedsTheUser) {
  const std::string& dir = BiffFixtureDir();
  TAVRIO_SKIP_WITHOUT(!dir.empty(), kBiffFixtureReaders);
  std::vector<std::uint8_t> stream = ReadWorkbookStream(dir + "/other-password.xls");
  EXPECT_EQ(DecryptStream(stream), BiffFilePassOutcome::kNeedsPassword);
}

TEST(BiffDecryptFilesTest, XorObfuscatedWorkbookReadsAsLibreOfficeReadsIt) {
  const std::string& dir = BiffFixtureDir();
  TAVRIO_SKIP_WITHOUT(!dir.empty(), kBiffFixtureReaders);
  // LibreOffice opened the obfuscated workbook as the plain one: the obfuscation is right.
  const std::string csv = tavrio::testing::ReadFile(dir + "/csv/formulas.csv");
  ASSERT_FALSE(csv.empty());
  EXPECT_EQ(tavrio::testing::ReadFile(dir + "/csv/xor.csv"), csv);
  std::vector<std::uint8_t> stream = ReadWorkbookStream(dir + "/xor.xls");
  ASSERT_EQ(DecryptStream(stream), BiffFilePassOutcome::kOpened);
  const std::string clear = tavrio::testing::ReadFile(dir + "/xor.xls.clear");
  EXPECT_EQ(std::string(stream.begin(), stream.end()), clear);
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
