#include "connector/implementation/BlowFish.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "connector/Utils.h"
#include "connector/implementation/BlowFishTables.h"
#include "platform/Platform.h"

namespace QvMT4Connector::Implementation {
namespace {
constexpr std::size_t kBlock = 8;
constexpr std::size_t kMaxKeyBytes = 56;

BlowFish::Bytes AsciiBytes(std::string_view text) {
  const std::string ascii = Platform::AnsiToAscii(text);
  return BlowFish::Bytes(ascii.begin(), ascii.end());
}

std::string TextWithoutNul(const BlowFish::Bytes& bytes) {
  std::string text = Utils::AsciiText(bytes);
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  return text;
}

// Zero-filled copy whose length is the input's rounded up to whole blocks.
BlowFish::Bytes Padded(const BlowFish::Bytes& in) {
  BlowFish::Bytes out((in.size() + kBlock - 1) / kBlock * kBlock, 0);
  std::copy(in.begin(), in.end(), out.begin());
  return out;
}

std::uint32_t LoadBigEndian(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}
std::uint32_t LoadLittleEndian(const std::uint8_t* p) {
  return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | std::uint32_t{p[0]};
}
void StoreBigEndian(std::uint32_t w, std::uint8_t* p) {
  for (int i = 3; i >= 0; --i, w >>= 8) p[i] = static_cast<std::uint8_t>(w);
}
void StoreLittleEndian(std::uint32_t w, std::uint8_t* p) {
  for (int i = 0; i < 4; ++i, w >>= 8) p[i] = static_cast<std::uint8_t>(w);
}

// The 16 hex digits of the IV in front of a ciphertext text, split off.
std::pair<std::string_view, std::string_view> SplitIV(std::string_view ct) {
  constexpr std::size_t kIVDigits = 2 * kBlock;
  if (ct.size() < kIVDigits) {
    throw std::out_of_range("Ciphertext text too short: it must begin with the 16 hexadecimal digits of the IV.");
  }
  return {ct.substr(0, kIVDigits), ct.substr(kIVDigits)};
}
}  // namespace

BlowFish::BlowFish(std::string_view hexKey) { SetupKey(HexToByte(hexKey)); }

BlowFish::BlowFish(const Bytes& cipherKey) { SetupKey(cipherKey); }

std::optional<BlowFish::Bytes> BlowFish::IV() const {
  if (!IVSet) return std::nullopt;
  return InitVector;
}

void BlowFish::IV(const Bytes& value) {
  if (value.size() != kBlock) throw std::invalid_argument("Invalid IV size.");
  InitVector = value;
  IVSet = true;
}

BlowFish::Bytes BlowFish::SetRandomIV() {
  Bytes iv(kBlock);
  Platform::CryptoRandom(iv.data(), iv.size());
  IV(iv);
  return iv;
}

BlowFish::Bytes BlowFish::Encrypt_ECB(const Bytes& pt) { return Crypt_ECB(pt, false); }
BlowFish::Bytes BlowFish::Decrypt_ECB(const Bytes& ct) { return Crypt_ECB(ct, true); }
BlowFish::Bytes BlowFish::Encrypt_CBC(const Bytes& pt) { return Crypt_CBC(pt, false); }
BlowFish::Bytes BlowFish::Decrypt_CBC(const Bytes& ct) { return Crypt_CBC(ct, true); }

BlowFish::Bytes BlowFish::Crypt_CTR(const Bytes& text, std::int32_t /*numThreads*/) {
  const Bytes& iv = RequireIV();
  Bytes out = Padded(text);
  // The counter advances once per block, so equal plaintext blocks never share a keystream block.
  std::uint64_t counter = 0;
  for (std::size_t at = 0; at < out.size(); at += kBlock, ++counter) {
    std::uint8_t keystream[kBlock];
    StoreBigEndian(static_cast<std::uint32_t>(counter >> 32), keystream);
    StoreBigEndian(static_cast<std::uint32_t>(counter), keystream + 4);
    XorBlock(keystream, iv.data());
    BlockEncrypt(keystream);
    XorBlock(&out[at], keystream);
  }
  return out;
}

std::string BlowFish::Encrypt_ECB(std::string_view pt) { return ByteToHex(Encrypt_ECB(AsciiBytes(pt))); }

std::string BlowFish::Decrypt_ECB(std::string_view ct) { return TextWithoutNul(Decrypt_ECB(HexToByte(ct))); }

std::string BlowFish::Encrypt_CBC(std::string_view pt) {
  if (!IVSet) SetRandomIV();
  return ByteToHex(InitVector) + ByteToHex(Encrypt_CBC(AsciiBytes(pt)));
}

std::string BlowFish::Decrypt_CBC(std::string_view ct) {
  const auto [iv, body] = SplitIV(ct);
  IV(HexToByte(iv));
  return TextWithoutNul(Decrypt_CBC(HexToByte(body)));
}

std::string BlowFish::Encrypt_CTR(std::string_view pt) {
  if (!IVSet) SetRandomIV();
  return ByteToHex(InitVector) + ByteToHex(Crypt_CTR(AsciiBytes(pt), 2));
}

std::string BlowFish::Decrypt_CTR(std::string_view ct) {
  const auto [iv, body] = SplitIV(ct);
  IV(HexToByte(iv));
  return TextWithoutNul(Crypt_CTR(HexToByte(body), 2));
}

std::string BlowFish::ByteToHex(const Bytes& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const std::uint8_t b : bytes) {
    hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 0x0F]);
  }
  return hex;
}

BlowFish::Bytes BlowFish::HexToByte(std::string_view text) {
  Bytes bytes(text.size() / 2);
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    bytes[k] = static_cast<std::uint8_t>(16 * GetHex(text[2 * k]) + GetHex(text[2 * k + 1]));
  }
  return bytes;
}

int BlowFish::GetHex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 0;
}

void BlowFish::SetupKey(const Bytes& cipherKey) {
  SetupP();
  SetupS();
  if (cipherKey.size() > kMaxKeyBytes) throw std::invalid_argument("Key too long. 56 bytes required.");
  if (cipherKey.empty()) throw std::invalid_argument("Key is empty. 1 to 56 bytes required.");

  const std::size_t n = cipherKey.size();
  std::size_t j = 0;
  for (auto& p : bf_P) {
    const std::uint8_t word[4] = {cipherKey[j % n], cipherKey[(j + 1) % n], cipherKey[(j + 2) % n],
                                  cipherKey[(j + 3) % n]};
    p ^= LoadBigEndian(word);
    j = (j + 4) % n;
  }

  xl_par = 0;
  xr_par = 0;
  for (std::size_t i = 0; i < bf_P.size(); i += 2) {
    encipher();
    bf_P[i] = xl_par;
    bf_P[i + 1] = xr_par;
  }
  for (auto* box : {&bf_s0, &bf_s1, &bf_s2, &bf_s3}) {
    for (std::size_t i = 0; i < box->size(); i += 2) {
      encipher();
      (*box)[i] = xl_par;
      (*box)[i + 1] = xr_par;
    }
  }
}

void BlowFish::SetupP() { std::copy(std::begin(BlowFishTables::P), std::end(BlowFishTables::P), bf_P.begin()); }

void BlowFish::SetupS() {
  std::array<std::uint32_t, 256>* boxes[] = {&bf_s0, &bf_s1, &bf_s2, &bf_s3};
  for (std::size_t b = 0; b < 4; ++b) {
    std::copy(std::begin(BlowFishTables::S[b]), std::end(BlowFishTables::S[b]), boxes[b]->begin());
  }
}

BlowFish::Bytes BlowFish::Crypt_ECB(const Bytes& text, bool decrypt) {
  Bytes out = Padded(text);
  for (std::size_t at = 0; at < out.size(); at += kBlock) {
    if (decrypt) {
      BlockDecrypt(&out[at]);
    } else {
      BlockEncrypt(&out[at]);
    }
  }
  return out;
}

BlowFish::Bytes BlowFish::Crypt_CBC(const Bytes& text, bool decrypt) {
  Bytes chain = RequireIV();  // a copy: the stored IV never advances
  Bytes out = Padded(text);
  for (std::size_t at = 0; at < out.size(); at += kBlock) {
    std::uint8_t* block = &out[at];
    if (decrypt) {
      const Bytes kept(block, block + kBlock);
      BlockDecrypt(block);
      XorBlock(block, chain.data());
      chain = kept;
    } else {
      XorBlock(block, chain.data());
      BlockEncrypt(block);
      chain.assign(block, block + kBlock);
    }
  }
  return out;
}

const BlowFish::Bytes& BlowFish::RequireIV() const {
  if (!IVSet) throw std::logic_error("IV not set.");
  return InitVector;
}

void BlowFish::XorBlock(std::uint8_t* block, const std::uint8_t* with) {
  for (std::size_t i = 0; i < kBlock; ++i) block[i] ^= with[i];
}

void BlowFish::BlockEncrypt(std::uint8_t* block) {
  SetBlock(block);
  encipher();
  GetBlock(block);
}

void BlowFish::BlockDecrypt(std::uint8_t* block) {
  SetBlock(block);
  decipher();
  GetBlock(block);
}

void BlowFish::SetBlock(const std::uint8_t* block) {
  if (nonStandardMethod) {
    xr_par = LoadLittleEndian(block);
    xl_par = LoadLittleEndian(block + 4);
  } else {
    xl_par = LoadBigEndian(block);
    xr_par = LoadBigEndian(block + 4);
  }
}

void BlowFish::GetBlock(std::uint8_t* block) const {
  if (nonStandardMethod) {
    StoreLittleEndian(xr_par, block);
    StoreLittleEndian(xl_par, block + 4);
  } else {
    StoreBigEndian(xl_par, block);
    StoreBigEndian(xr_par, block + 4);
  }
}

void BlowFish::encipher() {
  std::uint32_t left = xl_par ^ bf_P[0];
  std::uint32_t right = xr_par;
  for (int i = 0; i < ROUNDS; i += 2) {
    right = round(right, left, i + 1);
    left = round(left, right, i + 2);
  }
  right ^= bf_P[ROUNDS + 1];
  xl_par = right;
  xr_par = left;
}

void BlowFish::decipher() {
  std::uint32_t left = xl_par ^ bf_P[ROUNDS + 1];
  std::uint32_t right = xr_par;
  for (int i = ROUNDS; i > 0; i -= 2) {
    right = round(right, left, i);
    left = round(left, right, i - 1);
  }
  right ^= bf_P[0];
  xl_par = right;
  xr_par = left;
}

std::uint32_t BlowFish::round(std::uint32_t a, std::uint32_t b, int n) const {
  const std::uint32_t f = ((bf_s0[wordByte0(b)] + bf_s1[wordByte1(b)]) ^ bf_s2[wordByte2(b)]) + bf_s3[wordByte3(b)];
  return a ^ f ^ bf_P[static_cast<std::size_t>(n)];
}

}  // namespace QvMT4Connector::Implementation
