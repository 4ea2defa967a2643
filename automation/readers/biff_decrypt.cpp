#include "automation/readers/biff_decrypt.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "automation/readers/biff_password_keys.h"
#include "automation/readers/biff_stream.h"
#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

// BOF of every version, FILEPASS, USREXCL, FILELOCK, INTERFACEHDR, RRDINFO, RRDHEAD.
constexpr std::uint16_t kClearRecords[] = {0x0009, 0x0209, 0x0409, 0x0809, 0x002F,
                                           0x0194, 0x0195, 0x00E1, 0x0196, 0x0138};
constexpr std::size_t kRc4BlockSize = 1024;
constexpr std::uint16_t kCryptoApiRc4 = 0x6801;
constexpr std::uint16_t kCryptoApiSha1 = 0x8004;

class XorDecryptor : public BiffDecryptor {
 public:
  explicit XorDecryptor(std::string_view password) : array_(XorArray(password)) {}

 protected:
  // The array's position counts from the end of the record's payload, not from its start.
  void Decrypt(std::uint64_t stream_offset, std::span<std::uint8_t> bytes,
               std::size_t record_size) override {
    std::size_t index = (stream_offset + record_size) % 16;
    for (std::uint8_t& b : bytes) {
      const std::uint8_t x = b ^ array_[index];
      b = static_cast<std::uint8_t>((x << 3) | (x >> 5));
      index = (index + 1) % 16;
    }
  }

 private:
  std::array<std::uint8_t, 16> array_;
};

// RC4 keyed anew for every 1024-byte block of the stream, the block's number in the key.
class Rc4Decryptor : public BiffDecryptor {
 public:
  using BlockKey = std::function<std::vector<std::uint8_t>(std::uint32_t block)>;
  explicit Rc4Decryptor(BlockKey key) : key_(std::move(key)) {}

 protected:
  void Decrypt(std::uint64_t stream_offset, std::span<std::uint8_t> bytes, std::size_t) override {
    Seek(stream_offset);
    for (std::uint8_t& b : bytes) {
      b ^= cipher_->Next();
      if (++within_ == kRc4BlockSize) Rekey(block_ + 1);
    }
  }

 private:
  void Rekey(std::uint64_t block) {
    cipher_.emplace(key_(static_cast<std::uint32_t>(block)));
    block_ = block;
    within_ = 0;
  }
  void Seek(std::uint64_t offset) {
    const std::uint64_t block = offset / kRc4BlockSize;
    const std::size_t within = offset % kRc4BlockSize;
    if (!cipher_ || block != block_ || within < within_) Rekey(block);
    cipher_->Skip(within - within_);
    within_ = within;
  }

  BlockKey key_;
  std::optional<Rc4> cipher_;
  std::uint64_t block_ = 0;
  std::size_t within_ = 0;
};

// Little-endian fields of the FILEPASS payload; a read past its end marks it damaged.
class FieldReader {
 public:
  explicit FieldReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool ok() const { return ok_; }
  // A field of at most 4 bytes.
  std::uint32_t Read(std::size_t size) {
    std::uint32_t value = 0;
    size = std::min<std::size_t>(size, 4);
    const auto bytes = Take(size);
    for (std::size_t i = 0; i < bytes.size(); ++i) value |= std::uint32_t{bytes[i]} << (8 * i);
    return value;
  }
  std::span<const std::uint8_t> Take(std::size_t size) {
    if (!ok_ || bytes_.size() - at_ < size) {
      ok_ = false;
      return {};
    }
    at_ += size;
    return bytes_.subspan(at_ - size, size);
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

BiffFilePass Outcome(BiffFilePassOutcome outcome) { return {outcome, nullptr}; }

BiffFilePass OpenXor(FieldReader& fields) {
  const auto key = static_cast<std::uint16_t>(fields.Read(2));
  const auto verifier = static_cast<std::uint16_t>(fields.Read(2));
  if (!fields.ok()) return Outcome(BiffFilePassOutcome::kDamaged);
  if (key != XorKey(kDefaultPassword) || verifier != XorPasswordVerifier(kDefaultPassword)) {
    return Outcome(BiffFilePassOutcome::kNeedsPassword);
  }
  return {BiffFilePassOutcome::kOpened, std::make_unique<XorDecryptor>(kDefaultPassword)};
}

// The verifier, decrypted with block 0's key, must hash to the verifier hash that follows it
// in the same cipher stream.
template <typename HashFunction>
bool VerifierMatches(std::span<const std::uint8_t> key, std::span<const std::uint8_t> verifier,
                     std::span<const std::uint8_t> verifier_hash, HashFunction hash) {
  Rc4 cipher(key);
  std::vector<std::uint8_t> clear_verifier(verifier.begin(), verifier.end());
  std::vector<std::uint8_t> clear_hash(verifier_hash.begin(), verifier_hash.end());
  cipher.Apply(clear_verifier);
  cipher.Apply(clear_hash);
  const auto computed = hash(clear_verifier);
  return std::equal(computed.begin(), computed.end(), clear_hash.begin(), clear_hash.end());
}

BiffFilePass OpenRc4Md5(FieldReader& fields) {
  const auto salt_bytes = fields.Take(16);
  const auto verifier = fields.Take(16);
  const auto verifier_hash = fields.Take(16);
  if (!fields.ok()) return Outcome(BiffFilePassOutcome::kDamaged);
  std::array<std::uint8_t, 16> salt{};
  std::copy(salt_bytes.begin(), salt_bytes.end(), salt.begin());
  const auto key0 = Rc4Md5Key(kDefaultPassword, salt, 0);
  if (!VerifierMatches(key0, verifier, verifier_hash,
                       [](std::span<const std::uint8_t> data) { return Md5(data); })) {
    return Outcome(BiffFilePassOutcome::kNeedsPassword);
  }
  return {BiffFilePassOutcome::kOpened, std::make_unique<Rc4Decryptor>([salt](std::uint32_t block) {
            const auto key = Rc4Md5Key(kDefaultPassword, salt, block);
            return std::vector<std::uint8_t>(key.begin(), key.end());
          })};
}

BiffFilePass OpenRc4CryptoApi(FieldReader& fields) {
  fields.Read(4);  // the header's flags, repeated inside it
  FieldReader header(fields.Take(fields.Read(4)));
  header.Take(8);  // flags, size of extra data
  const std::uint32_t algorithm = header.Read(4);
  const std::uint32_t hash_algorithm = header.Read(4);
  std::uint32_t key_bits = header.Read(4);
  const std::uint32_t salt_size = fields.Read(4);
  const auto salt_bytes = fields.Take(16);
  const auto verifier = fields.Take(16);
  const std::uint32_t hash_size = fields.Read(4);
  const auto verifier_hash = fields.Take(20);
  if (!fields.ok() || !header.ok() || salt_size != 16 || hash_size != 20) {
    return Outcome(BiffFilePassOutcome::kDamaged);
  }
  if (key_bits == 0) key_bits = 40;
  if ((algorithm != 0 && algorithm != kCryptoApiRc4) ||
      (hash_algorithm != 0 && hash_algorithm != kCryptoApiSha1) || key_bits < 40 ||
      key_bits > 128 || key_bits % 8 != 0) {
    return Outcome(BiffFilePassOutcome::kUnsupported);
  }
  std::vector<std::uint8_t> salt(salt_bytes.begin(), salt_bytes.end());
  const auto key0 = Rc4Sha1Key(kDefaultPassword, salt, 0, key_bits);
  if (!VerifierMatches(key0, verifier, verifier_hash,
                       [](std::span<const std::uint8_t> data) { return Sha1(data); })) {
    return Outcome(BiffFilePassOutcome::kNeedsPassword);
  }
  return {BiffFilePassOutcome::kOpened,
          std::make_unique<Rc4Decryptor>([salt, key_bits](std::uint32_t block) {
            return Rc4Sha1Key(kDefaultPassword, salt, block, key_bits);
          })};
}

}  // namespace

void BiffDecryptor::DecryptRecord(std::uint16_t record_type, std::uint64_t data_offset,
                                  std::span<std::uint8_t> payload) {
  for (std::uint16_t clear : kClearRecords) {
    if (record_type == clear) return;
  }
  const std::size_t skip =
      record_type == biff::kBoundSheet ? std::min<std::size_t>(4, payload.size()) : 0;
  Decrypt(data_offset + skip, payload.subspan(skip), payload.size());
}

BiffFilePass OpenBiffFilePass(std::span<const std::uint8_t> payload, int biff) {
  FieldReader fields(payload);
  if (biff != 8) {
    if (biff < 2 || biff > 7 || biff == 6) return Outcome(BiffFilePassOutcome::kUnsupported);
    return OpenXor(fields);
  }
  const std::uint32_t type = fields.Read(2);
  if (!fields.ok()) return Outcome(BiffFilePassOutcome::kDamaged);
  if (type == 0) return OpenXor(fields);
  if (type != 1) return Outcome(BiffFilePassOutcome::kUnsupported);
  const std::uint32_t major = fields.Read(2);
  const std::uint32_t minor = fields.Read(2);
  if (!fields.ok()) return Outcome(BiffFilePassOutcome::kDamaged);
  if (major == 1 && minor == 1) return OpenRc4Md5(fields);
  if (major >= 2 && major <= 4 && minor == 2) return OpenRc4CryptoApi(fields);
  return Outcome(BiffFilePassOutcome::kUnsupported);
}

std::string_view BiffFilePassReason(BiffFilePassOutcome outcome) {
  switch (outcome) {
    case BiffFilePassOutcome::kOpened:
      return {};
    case BiffFilePassOutcome::kNeedsPassword:
      return kPasswordProtected;
    case BiffFilePassOutcome::kUnsupported:
      return "文件的加密方式不受支持，请先取消密码再合并";
    case BiffFilePassOutcome::kDamaged:
      return "文件已损坏：加密信息无效";
  }
  return {};
}

}  // namespace tavrio::automation::readers
