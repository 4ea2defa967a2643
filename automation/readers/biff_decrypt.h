#pragma once

// Reading .xls workbooks encrypted with the default password. Excel encrypts a workbook whose
// author protected its structure without giving an open password under "VelvetSweatshop", and
// opens such a file without asking; so does this program. Every other password stays refused.
//
// The FILEPASS record names the scheme: XOR obfuscation (BIFF2-BIFF8), RC4 with an MD5 key
// (BIFF8, what LibreOffice writes) or RC4 through CryptoAPI with a SHA-1 key (BIFF8, what Excel
// 2002 and later write). Each record after FILEPASS is decrypted on its own, by its position in
// the workbook stream; record headers are never encrypted.

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace tavrio::automation::readers {

class BiffDecryptor {
 public:
  virtual ~BiffDecryptor() = default;

  // Decrypts one record's payload in place: `record_type` from its (clear) header,
  // `data_offset` the position of the payload's first byte in the workbook stream (past the
  // 4-byte header). Records that are never encrypted (BOF, FILEPASS, USREXCL, FILELOCK,
  // INTERFACEHDR, RRDINFO, RRDHEAD) are left as they are, and so are the first four bytes of
  // BOUNDSHEET (the sheet's stream position). Records may come in any order, but each in one
  // call: XOR obfuscation depends on the record's length. Fastest in stream order: RC4 then
  // only moves forward within its 1024-byte block.
  void DecryptRecord(std::uint16_t record_type, std::uint64_t data_offset,
                     std::span<std::uint8_t> payload);

 protected:
  // Decrypts `bytes`, which start at `stream_offset` and belong to a record of `record_size`
  // bytes of payload.
  virtual void Decrypt(std::uint64_t stream_offset, std::span<std::uint8_t> bytes,
                       std::size_t record_size) = 0;
};

enum class BiffFilePassOutcome {
  kOpened,         // the default password opens it: `decryptor` is set
  kNeedsPassword,  // another password: the user must remove it
  kUnsupported,    // a scheme or parameters this program does not read
  kDamaged,        // the FILEPASS record is cut short or contradicts itself
};

struct BiffFilePass {
  BiffFilePassOutcome outcome = BiffFilePassOutcome::kDamaged;
  std::unique_ptr<BiffDecryptor> decryptor;
};

// The decryptor for the FILEPASS record's `payload` in a workbook of BIFF version `biff`
// (2, 3, 4, 5, 7 or 8; before BIFF8 only XOR obfuscation exists), when the default password
// passes the record's check.
BiffFilePass OpenBiffFilePass(std::span<const std::uint8_t> payload, int biff);

// Why a workbook with that outcome cannot be read, for ReadFault; empty for kOpened. Another
// password gives kPasswordProtected (read_fault.h), as every format's password does.
std::string_view BiffFilePassReason(BiffFilePassOutcome outcome);

}  // namespace tavrio::automation::readers
