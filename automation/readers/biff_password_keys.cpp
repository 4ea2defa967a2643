#include "automation/readers/biff_password_keys.h"

#include <openssl/evp.h>

#include <utility>

namespace tavrio::automation::readers {
namespace {

constexpr std::uint16_t kInitialCode[15] = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C,
                                            0x0E10, 0xF1CE, 0x313E, 0x1872, 0xE139,
                                            0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};

// Seven entries per character position, each row a CRC-CCITT shift sequence from its first.
constexpr std::uint16_t kXorMatrix[105] = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7,
    0x9DCF, 0x2BBF, 0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4,
    0x1BA8, 0x3750, 0x6EA0, 0xDD40, 0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45,
    0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A, 0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC,
    0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0, 0xB861, 0x60E3, 0xC1C6, 0x93AD,
    0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10, 0xAA51, 0x4483,
    0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373,
    0x06E6, 0x0DCC, 0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};

constexpr std::uint8_t kPadArray[15] = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80,
                                        0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};

std::uint8_t XorRor(std::uint8_t a, std::uint8_t b) {
  const std::uint8_t x = a ^ b;
  return static_cast<std::uint8_t>((x >> 1) | (x << 7));
}

std::vector<std::uint8_t> Utf16Le(std::string_view ascii) {
  std::vector<std::uint8_t> bytes;
  for (char c : ascii) {
    bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(0);
  }
  return bytes;
}

void AppendLe32(std::uint32_t value, std::vector<std::uint8_t>& out) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

template <std::size_t N>
std::array<std::uint8_t, N> Digest(const EVP_MD* md, std::span<const std::uint8_t> data) {
  std::array<std::uint8_t, N> out{};
  unsigned int size = 0;
  EVP_Digest(data.data(), data.size(), out.data(), &size, md, nullptr);
  return out;
}

}  // namespace

std::uint16_t XorPasswordVerifier(std::string_view password) {
  std::uint16_t verifier = 0;
  auto step = [&verifier](std::uint8_t byte) {
    const std::uint16_t carry = (verifier & 0x4000) != 0 ? 1 : 0;
    verifier = static_cast<std::uint16_t>((((verifier << 1) & 0x7FFF) | carry) ^ byte);
  };
  for (auto c = password.rbegin(); c != password.rend(); ++c) step(static_cast<std::uint8_t>(*c));
  step(static_cast<std::uint8_t>(password.size()));
  return verifier ^ 0xCE4B;
}

std::uint16_t XorKey(std::string_view password) {
  std::uint16_t key = kInitialCode[password.size() - 1];
  int element = 0x68;
  for (auto c = password.rbegin(); c != password.rend(); ++c) {
    std::uint8_t bits = static_cast<std::uint8_t>(*c);
    for (int i = 0; i < 7; ++i, --element, bits = static_cast<std::uint8_t>(bits << 1)) {
      if ((bits & 0x40) != 0) key ^= kXorMatrix[element];
    }
  }
  return key;
}

std::array<std::uint8_t, 16> XorArray(std::string_view password) {
  const std::uint16_t key = XorKey(password);
  const auto high = static_cast<std::uint8_t>(key >> 8);
  const auto low = static_cast<std::uint8_t>(key & 0xFF);
  auto at = [&](std::size_t i) { return static_cast<std::uint8_t>(password[i]); };
  std::array<std::uint8_t, 16> array{};
  std::size_t index = password.size();
  if (index % 2 == 1) {
    array[index] = XorRor(kPadArray[0], high);
    --index;
    array[index] = XorRor(at(password.size() - 1), low);
  }
  while (index > 0) {
    --index;
    array[index] = XorRor(at(index), high);
    --index;
    array[index] = XorRor(at(index), low);
  }
  std::size_t out = 15;
  for (std::size_t pad = 15 - password.size(); pad > 0;) {
    array[out--] = XorRor(kPadArray[pad--], high);
    array[out--] = XorRor(kPadArray[pad--], low);
  }
  return array;
}

std::array<std::uint8_t, 16> Rc4Md5Key(std::string_view password,
                                       std::span<const std::uint8_t, 16> salt,
                                       std::uint32_t block) {
  const auto h0 = Md5(Utf16Le(password));
  std::vector<std::uint8_t> buffer;
  for (int i = 0; i < 16; ++i) {
    buffer.insert(buffer.end(), h0.begin(), h0.begin() + 5);
    buffer.insert(buffer.end(), salt.begin(), salt.end());
  }
  const auto h1 = Md5(buffer);
  std::vector<std::uint8_t> final_input(h1.begin(), h1.begin() + 5);
  AppendLe32(block, final_input);
  return Md5(final_input);
}

std::vector<std::uint8_t> Rc4Sha1Key(std::string_view password, std::span<const std::uint8_t> salt,
                                     std::uint32_t block, std::uint32_t key_bits) {
  std::vector<std::uint8_t> input(salt.begin(), salt.end());
  const auto utf16 = Utf16Le(password);
  input.insert(input.end(), utf16.begin(), utf16.end());
  const auto h0 = Sha1(input);
  std::vector<std::uint8_t> final_input(h0.begin(), h0.end());
  AppendLe32(block, final_input);
  const auto h_final = Sha1(final_input);
  std::vector<std::uint8_t> key(h_final.begin(), h_final.begin() + key_bits / 8);
  if (key_bits == 40) key.resize(16, 0);
  return key;
}

std::array<std::uint8_t, 16> Md5(std::span<const std::uint8_t> data) {
  return Digest<16>(EVP_md5(), data);
}

std::array<std::uint8_t, 20> Sha1(std::span<const std::uint8_t> data) {
  return Digest<20>(EVP_sha1(), data);
}

Rc4::Rc4(std::span<const std::uint8_t> key) {
  for (int i = 0; i < 256; ++i) state_[i] = static_cast<std::uint8_t>(i);
  std::uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = static_cast<std::uint8_t>(j + state_[i] + key[i % key.size()]);
    std::swap(state_[i], state_[j]);
  }
}

std::uint8_t Rc4::Next() {
  ++i_;
  j_ = static_cast<std::uint8_t>(j_ + state_[i_]);
  std::swap(state_[i_], state_[j_]);
  return state_[static_cast<std::uint8_t>(state_[i_] + state_[j_])];
}

void Rc4::Skip(std::size_t count) {
  for (std::size_t n = 0; n < count; ++n) Next();
}

void Rc4::Apply(std::span<std::uint8_t> bytes) {
  for (std::uint8_t& b : bytes) b ^= Next();
}

}  // namespace tavrio::automation::readers
