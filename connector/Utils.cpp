#include "connector/Utils.h"

#include "connector/Globals.h"
#include "connector/implementation/BlowFish.h"
#include "platform/Platform.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace QvMT4Connector {

std::string Utils::FormatInt(std::int64_t value) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

std::string Utils::FormatDouble(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  if (value == 0) return "0";

  // 15 significant digits, correctly rounded, as d.dddddddddddddde±X; to_chars ignores the locale.
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
  const std::string_view s(buf, static_cast<std::size_t>(r.ptr - buf));
  const auto e = s.find('e');
  std::string digits(1, s[0]);
  digits.append(s.substr(2, e - 2));
  int exponent = 0;
  const char* expBegin = s.data() + e + 1;
  if (*expBegin == '+') ++expBegin;
  std::from_chars(expBegin, s.data() + s.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out;
  if (value < 0) out.push_back('-');
  const int count = static_cast<int>(digits.size());
  if (exponent >= -4 && exponent <= 14) {
    if (exponent >= 0) {
      const int integerDigits = exponent + 1;
      if (count <= integerDigits) {
        out += digits;
        out.append(static_cast<std::size_t>(integerDigits - count), '0');
      } else {
        out.append(digits, 0, static_cast<std::size_t>(integerDigits));
        out.push_back('.');
        out.append(digits, static_cast<std::size_t>(integerDigits), std::string::npos);
      }
    } else {
      out += "0.";
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out += digits;
    }
  } else {
    out.push_back(digits[0]);
    if (count > 1) {
      out.push_back('.');
      out.append(digits, 1, std::string::npos);
    }
    out.push_back('E');
    out.push_back(exponent < 0 ? '-' : '+');
    const int magnitude = std::abs(exponent);
    if (magnitude < 10) out.push_back('0');
    out += FormatInt(magnitude);
  }
  return out;
}

const char* Utils::FormatBool(bool value) { return value ? "True" : "False"; }

namespace {
constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}
}  // namespace

std::string Utils::Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const auto n = (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16) |
                   (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8) |
                   static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 2]));
    out.push_back(kBase64Alphabet[(n >> 18) & 63]);
    out.push_back(kBase64Alphabet[(n >> 12) & 63]);
    out.push_back(kBase64Alphabet[(n >> 6) & 63]);
    out.push_back(kBase64Alphabet[n & 63]);
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    std::uint32_t n = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (rest == 2) n |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    out.push_back(kBase64Alphabet[(n >> 18) & 63]);
    out.push_back(kBase64Alphabet[(n >> 12) & 63]);
    out.push_back(rest == 2 ? kBase64Alphabet[(n >> 6) & 63] : '=');
    out.push_back('=');
  }
  return out;
}

std::vector<std::uint8_t> Utils::Base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) throw std::invalid_argument("Invalid base64 text: length is not a multiple of 4.");
  std::vector<std::uint8_t> out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    int v[4];
    int pad = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = text[i + static_cast<std::size_t>(k)];
      if (c == '=' && last && k >= 2) {
        v[k] = 0;
        ++pad;
        continue;
      }
      v[k] = pad > 0 ? -1 : Base64Value(c);
      if (v[k] < 0) throw std::invalid_argument("Invalid base64 text: unexpected character.");
    }
    const auto n = (static_cast<std::uint32_t>(v[0]) << 18) | (static_cast<std::uint32_t>(v[1]) << 12) |
                   (static_cast<std::uint32_t>(v[2]) << 6) | static_cast<std::uint32_t>(v[3]);
    out.push_back(static_cast<std::uint8_t>(n >> 16));
    if (pad < 2) out.push_back(static_cast<std::uint8_t>(n >> 8));
    if (pad < 1) out.push_back(static_cast<std::uint8_t>(n));
  }
  return out;
}

std::string Utils::convert_email_to_key(std::string_view email) {
  std::string key(email);
  for (char& c : key) {
    if (c == '.') c = '!';
  }
  return key;
}

std::string Utils::AsciiText(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const std::uint8_t b : bytes) text.push_back(b < 128 ? static_cast<char>(b) : '?');
  return text;
}

namespace {
// A fresh cipher for one setting: nothing is shared between calls, so dcd may run on any thread.
Implementation::BlowFish SettingCipher() {
  Implementation::BlowFish cipher{std::string_view(Globals::bfk)};
  cipher.IV(Implementation::BlowFish::Bytes(Globals::bfIV, Globals::bfIV + sizeof Globals::bfIV - 1));
  return cipher;
}
}  // namespace

std::string Utils::dcd(std::string_view base64String) {
  const auto bytes = Base64Decode(base64String);
  std::string text = AsciiText(SettingCipher().Decrypt_CBC(bytes));
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

std::string Utils::StoredForm(std::string_view plain) {
  // dcd gives ASCII only, so anything else could not come back as it was.
  const std::string ascii = Platform::AnsiToAscii(plain);
  if (ascii != plain) throw std::invalid_argument("A stored setting must be ASCII text.");
  const auto ct = SettingCipher().Encrypt_CBC(Implementation::BlowFish::Bytes(ascii.begin(), ascii.end()));
  return Base64Encode(std::string_view(reinterpret_cast<const char*>(ct.data()), ct.size()));
}

}  // namespace QvMT4Connector
