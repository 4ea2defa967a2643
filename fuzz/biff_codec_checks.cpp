// Checks of the two standalone .xls codecs: the formula token decoder and the default-password
// decryption. Besides surviving any bytes, a decoded formula must be text the rest of the
// program takes as a formula, and a decryptor must not depend on the order of its records.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "automation/readers/biff_decrypt.h"
#include "automation/readers/biff_formula.h"
#include "automation/readers/text_encoding.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/input_checks.h"

namespace tavrio::fuzz {
namespace {

using automation::readers::BiffFilePassOutcome;
using automation::readers::BiffFormulaContext;
using automation::readers::BiffSharedTokens;
using automation::readers::BiffSheetSpan;

constexpr int kVersions[] = {2, 3, 4, 5, 7, 8};

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Lookups that answer for a few indexes with names that need quoting or hold quotes, and a
// shared formula made of the input's own extra data.
BiffFormulaContext FuzzContext(int biff, std::uint8_t where, std::span<const std::uint8_t> rgcb) {
  BiffFormulaContext context;
  context.biff = biff;
  context.row = where * 257u;
  context.column = where;
  context.externsheet_sheets = [](std::uint16_t ixti) -> std::optional<BiffSheetSpan> {
    if (ixti == 0) return BiffSheetSpan{"Sheet1", ""};
    if (ixti == 1) return BiffSheetSpan{"It's 1", "A1"};
    return std::nullopt;
  };
  context.sheet_name = [](std::uint16_t index) -> std::optional<std::string> {
    if (index < 2) return index == 0 ? "数据" : "R1C1";
    return std::nullopt;
  };
  context.defined_name = [](std::uint32_t index) -> std::optional<std::string> {
    if (index == 1) return "税率";
    if (index == 2) return "_xlfn.IFERROR";
    return std::nullopt;
  };
  context.external_name = [](std::uint16_t, std::uint32_t index) -> std::optional<std::string> {
    if (index == 1) return "EDATE";
    return std::nullopt;
  };
  context.shared_formula = [rgcb](std::uint32_t row, std::uint16_t) {
    return row == 0 ? std::optional<BiffSharedTokens>(BiffSharedTokens{rgcb, {}}) : std::nullopt;
  };
  return context;
}

}  // namespace

std::string CheckBiffFormula(std::string_view input) {
  if (input.size() < 3) return {};
  const int biff = kVersions[static_cast<unsigned char>(input[0]) % 6];
  const std::uint8_t where = static_cast<std::uint8_t>(input[1]);
  const std::string_view tokens = input.substr(3);
  const std::size_t split =
      std::min<std::size_t>(static_cast<unsigned char>(input[2]) * 4u, tokens.size());
  const auto rgce = Bytes(tokens.substr(0, split));
  const auto rgcb = Bytes(tokens.substr(split));
  const BiffFormulaContext context = FuzzContext(biff, where, rgcb);
  const std::optional<std::string> text =
      automation::readers::DecodeBiffFormula(rgce, rgcb, context);
  if (text != automation::readers::DecodeBiffFormula(rgce, rgcb, context)) {
    return "two readings of the same tokens differ";
  }
  return text ? CheckFormulaText(*text) : std::string();
}

namespace {

struct FuzzRecord {
  std::uint16_t type;
  std::uint64_t offset;
  std::vector<std::uint8_t> payload;
};

// Records laid out as in a stream: each a 4-byte header, then its payload.
std::vector<FuzzRecord> SplitRecords(std::string_view bytes, std::uint64_t start) {
  std::vector<FuzzRecord> records;
  std::size_t at = 0;
  while (at + 4 <= bytes.size()) {
    const auto b = Bytes(bytes);
    const std::uint16_t type = static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
    const std::size_t size = std::min<std::size_t>(b[at + 2] | (b[at + 3] << 8), b.size() - at - 4);
    records.push_back({type, start + at + 4, {b.begin() + at + 4, b.begin() + at + 4 + size}});
    at += 4 + size;
  }
  return records;
}

}  // namespace

std::string CheckBiffDecrypt(std::string_view input) {
  if (input.size() < 3) return {};
  const int biff = kVersions[static_cast<unsigned char>(input[0]) % 6];
  const std::size_t length = std::min<std::size_t>(
      static_cast<unsigned char>(input[1]) | (input[2] & 0x01) << 8, input.size() - 3);
  const std::string_view filepass = input.substr(3, length);
  auto first = automation::readers::OpenBiffFilePass(Bytes(filepass), biff);
  const bool opened = first.outcome == BiffFilePassOutcome::kOpened;
  if (opened != (first.decryptor != nullptr)) return "a decryptor without kOpened, or none with it";
  if (automation::readers::BiffFilePassReason(first.outcome).empty() != opened) {
    return "an outcome without its reason";
  }
  if (!opened) return {};
  // The records after FILEPASS, decrypted in stream order and, by a second decryptor, backwards.
  std::vector<FuzzRecord> forward = SplitRecords(input.substr(3 + length), 3 + length);
  std::vector<FuzzRecord> backward = forward;
  auto second = automation::readers::OpenBiffFilePass(Bytes(filepass), biff);
  for (FuzzRecord& r : forward) first.decryptor->DecryptRecord(r.type, r.offset, r.payload);
  for (auto r = backward.rbegin(); r != backward.rend(); ++r) {
    second.decryptor->DecryptRecord(r->type, r->offset, r->payload);
  }
  for (std::size_t i = 0; i < forward.size(); ++i) {
    if (forward[i].payload != backward[i].payload) return "decryption depends on record order";
  }
  return {};
}

}  // namespace tavrio::fuzz
