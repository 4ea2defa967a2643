#pragma once

// The keys the .xls encryption schemes derive from a password, as the Office document
// cryptography documentation ([MS-OFFCRYPTO]) defines them, and the RC4 cipher they feed.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tavrio::automation::readers {

// The password Excel encrypts with when the author gave none to open the workbook.
inline constexpr std::string_view kDefaultPassword = "VelvetSweatshop";

// XOR obfuscation ("method 1"). The password is taken one byte per character (ASCII here);
// it must hold 1 to 15 characters.
std::uint16_t XorPasswordVerifier(std::string_view password);
std::uint16_t XorKey(std::string_view password);
std::array<std::uint8_t, 16> XorArray(std::string_view password);

// RC4 with MD5 ("RC4 encryption", BIFF8 FILEPASS version 1.1): the 16-byte key of `block`.
std::array<std::uint8_t, 16> Rc4Md5Key(std::string_view password,
                                       std::span<const std::uint8_t, 16> salt, std::uint32_t block);

// RC4 CryptoAPI with SHA-1: the key of `block`, `key_bits` long (40 to 128). A 40-bit key is
// padded with zeros to 128 bits, as Excel does.
std::vector<std::uint8_t> Rc4Sha1Key(std::string_view password, std::span<const std::uint8_t> salt,
                                     std::uint32_t block, std::uint32_t key_bits);

// MD5 and SHA-1 digests (OpenSSL's).
std::array<std::uint8_t, 16> Md5(std::span<const std::uint8_t> data);
std::array<std::uint8_t, 20> Sha1(std::span<const std::uint8_t> data);

// RC4, written out here: OpenSSL 3 keeps it in its legacy provider, a module that must be
// found and loaded at run time and that distributions may leave out, and its direct RC4 calls
// are deprecated. The cipher is a few lines and its test vectors are public.
class Rc4 {
 public:
  explicit Rc4(std::span<const std::uint8_t> key);
  std::uint8_t Next();
  void Skip(std::size_t count);
  void Apply(std::span<std::uint8_t> bytes);

 private:
  std::array<std::uint8_t, 256> state_{};
  std::uint8_t i_ = 0;
  std::uint8_t j_ = 0;
};

}  // namespace tavrio::automation::readers
