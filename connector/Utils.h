#pragma once
// Helpers shared across the library: value renderings (signal texts and log lines use the same
// ones), Base64, and the broker-name and setting helpers.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace QvMT4Connector {

struct Utils {
  // Renderings, culture-neutral and independent of the process locale.
  static std::string FormatInt(std::int64_t value);
  // The 15-digit general form: 0.1, 1E-05, 1E+15, NaN, Infinity; never "-0".
  static std::string FormatDouble(double value);
  static const char* FormatBool(bool value);  // "True" / "False"

  // Base64 of RFC 4648 (standard alphabet, "=" padding, no line breaks).
  static std::string Base64Encode(std::string_view bytes);
  // Throws std::invalid_argument for text that is not valid base64.
  static std::vector<std::uint8_t> Base64Decode(std::string_view text);

  // The e-mail with every "." replaced by "!", for use inside broker names.
  static std::string convert_email_to_key(std::string_view email);
  // Bytes as text: each byte above 127 becomes '?'.
  static std::string AsciiText(const std::vector<std::uint8_t>& bytes);

  // Decodes one built-in enciphered setting (base64 of Blowfish-CBC with the key bfk and the IV
  // bfIV) into its plain text; drops the trailing NULs of the padding only. Throws on text that
  // is not base64.
  static std::string dcd(std::string_view base64String);
  // The stored form of a plain setting: the inverse of dcd (the encipher tool, the tests).
  // Throws std::invalid_argument for text that is not ASCII.
  static std::string StoredForm(std::string_view plain);
};

}  // namespace QvMT4Connector
