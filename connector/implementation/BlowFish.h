#pragma once
// Blowfish (64-bit blocks, 16 rounds, keys of 1 to 56 bytes) with ECB, CBC and CTR modes, over
// byte arrays and over text in hexadecimal form. The library uses it to decode its built-in
// broker settings (Utils::dcd).
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace QvMT4Connector::Implementation {

class BlowFish {
 public:
  using Bytes = std::vector<std::uint8_t>;

  // The key is HexToByte(hexKey). Throws std::invalid_argument when that key is empty or longer
  // than 56 bytes.
  explicit BlowFish(std::string_view hexKey);
  // The key bytes as given. Throws std::invalid_argument when empty or longer than 56 bytes.
  explicit BlowFish(const Bytes& cipherKey);

  // The stored IV, or none before one was set.
  std::optional<Bytes> IV() const;
  // Exactly 8 bytes; any other length throws std::invalid_argument("Invalid IV size.") and keeps
  // the IV that was there.
  void IV(const Bytes& value);
  // Draws a new IV from the platform's cryptographic source, stores and returns it.
  Bytes SetRandomIV();

  // Block byte layout: false (default) is standard Blowfish; true reverses the 8 bytes of each
  // block around the block operation.
  bool NonStandard() const { return nonStandardMethod; }
  void NonStandard(bool value) { nonStandardMethod = value; }

  // Byte forms: the input is zero-padded to a multiple of 8 bytes; the result has that length.
  // CBC and CTR need an IV (std::logic_error "IV not set."); the IV itself never advances.
  Bytes Encrypt_ECB(const Bytes& pt);
  Bytes Decrypt_ECB(const Bytes& ct);
  Bytes Encrypt_CBC(const Bytes& pt);
  Bytes Decrypt_CBC(const Bytes& ct);
  // Enciphers and deciphers alike. Block i meets the encipherment of (IV XOR i as a 64-bit
  // big-endian counter). The blocks run one after the other on the calling thread whatever
  // numThreads says.
  Bytes Crypt_CTR(const Bytes& text, std::int32_t numThreads);

  // Text forms. Text becomes bytes one '?' per non-ASCII character; bytes above 127 become '?'.
  // The decryptions drop NUL characters wherever they stand. The CBC and CTR encryptions draw a
  // random IV when none is set and put the IV's 16 hex digits in front; their decryptions take
  // the IV from those 16 digits (std::out_of_range for a shorter text) and keep it.
  std::string Encrypt_ECB(std::string_view pt);
  std::string Decrypt_ECB(std::string_view ct);
  std::string Encrypt_CBC(std::string_view pt);
  std::string Decrypt_CBC(std::string_view ct);
  std::string Encrypt_CTR(std::string_view pt);
  std::string Decrypt_CTR(std::string_view ct);

  // Hexadecimal conversion. ByteToHex: two lowercase digits a byte. GetHex: 0-9, then a-z and
  // A-Z as 10 to 35, anything else 0. HexToByte: length/2 bytes, each (16*hi + lo) mod 256; a
  // last unpaired character is ignored; no text is rejected.
  static std::string ByteToHex(const Bytes& bytes);
  static Bytes HexToByte(std::string_view text);
  static int GetHex(char c);

 private:
  static constexpr int ROUNDS = 16;

  void SetupKey(const Bytes& cipherKey);
  void SetupP();
  void SetupS();
  Bytes Crypt_ECB(const Bytes& text, bool decrypt);
  Bytes Crypt_CBC(const Bytes& text, bool decrypt);
  const Bytes& RequireIV() const;
  static void XorBlock(std::uint8_t* block, const std::uint8_t* with);
  void BlockEncrypt(std::uint8_t* block);
  void BlockDecrypt(std::uint8_t* block);
  void SetBlock(const std::uint8_t* block);
  void GetBlock(std::uint8_t* block) const;
  void encipher();
  void decipher();
  std::uint32_t round(std::uint32_t a, std::uint32_t b, int n) const;
  static std::uint8_t wordByte0(std::uint32_t w) { return static_cast<std::uint8_t>(w >> 24); }
  static std::uint8_t wordByte1(std::uint32_t w) { return static_cast<std::uint8_t>(w >> 16); }
  static std::uint8_t wordByte2(std::uint32_t w) { return static_cast<std::uint8_t>(w >> 8); }
  static std::uint8_t wordByte3(std::uint32_t w) { return static_cast<std::uint8_t>(w); }

  std::array<std::uint32_t, 18> bf_P{};
  std::array<std::uint32_t, 256> bf_s0{}, bf_s1{}, bf_s2{}, bf_s3{};
  std::uint32_t xl_par = 0;
  std::uint32_t xr_par = 0;
  Bytes InitVector;
  bool IVSet = false;
  bool nonStandardMethod = false;
};

}  // namespace QvMT4Connector::Implementation
