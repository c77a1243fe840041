// The Blowfish cipher: published vectors, modes, text forms and the failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>

#include "connector/implementation/BlowFish.h"

using QvMT4Connector::Implementation::BlowFish;
using Bytes = BlowFish::Bytes;

namespace {

Bytes Hex(const char* text) { return BlowFish::HexToByte(text); }

std::string Message(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(no error)";
}

struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};

void ExpectVector(const Vector& v) {
  BlowFish bf(Hex(v.key));
  EXPECT_EQ(BlowFish::ByteToHex(bf.Encrypt_ECB(Hex(v.plain))), BlowFish::ByteToHex(Hex(v.cipher)))
      << "key " << v.key << " plain " << v.plain;
  EXPECT_EQ(bf.Decrypt_ECB(Hex(v.cipher)), Hex(v.plain)) << "key " << v.key << " cipher " << v.cipher;
}

// Eric Young's test vectors: 8-byte keys, one block each.
TEST(BlowFishVectors, EightByteKeys) {
  const Vector vectors[] = {
      {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
      {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
      {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
      {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
      {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
      {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
      {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
      {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
      {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
      {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
      {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
      {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
      {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
      {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
      {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
      {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
      {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
      {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
      {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
      {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
      {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
      {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
      {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
      {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
      {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
      {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
      {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
      {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
      {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
      {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
      {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
      {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
      {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
      {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
  };
  for (const auto& v : vectors) ExpectVector(v);
}

// Eric Young's variable key length set: prefixes of one 24-byte key, plaintext FEDCBA9876543210.
TEST(BlowFishVectors, VariableKeyLength) {
  const Vector vectors[] = {
      {"F0", "FEDCBA9876543210", "F9AD597C49DB005E"},
      {"F0E1", "FEDCBA9876543210", "E91D21C1D961A6D6"},
      {"F0E1D2", "FEDCBA9876543210", "E9C2B70A1BC65CF3"},
      {"F0E1D2C3", "FEDCBA9876543210", "BE1E639408640F05"},
      {"F0E1D2C3B4", "FEDCBA9876543210", "B39E44481BDB1E6E"},
      {"F0E1D2C3B4A5", "FEDCBA9876543210", "9457AA83B1928C0D"},
      {"F0E1D2C3B4A596", "FEDCBA9876543210", "8BB77032F960629D"},
      {"F0E1D2C3B4A59687", "FEDCBA9876543210", "E87A244E2CC85E82"},
      {"F0E1D2C3B4A5968778", "FEDCBA9876543210", "15750E7A4F4EC577"},
      {"F0E1D2C3B4A596877869", "FEDCBA9876543210", "122BA70B3AB64AE0"},
      {"F0E1D2C3B4A5968778695A", "FEDCBA9876543210", "3A833C9AFFC537F6"},
      {"F0E1D2C3B4A5968778695A4B", "FEDCBA9876543210", "9409DA87A90F6BF2"},
      {"F0E1D2C3B4A5968778695A4B3C", "FEDCBA9876543210", "884F80625060B8B4"},
      {"F0E1D2C3B4A5968778695A4B3C2D", "FEDCBA9876543210", "1F85031C19E11968"},
      {"F0E1D2C3B4A5968778695A4B3C2D1E", "FEDCBA9876543210", "79D9373A714CA34F"},
      {"F0E1D2C3B4A5968778695A4B3C2D1E0F", "FEDCBA9876543210", "93142887EE3BE15C"},
      {"F0E1D2C3B4A5968778695A4B3C2D1E0F00", "FEDCBA9876543210", "03429E838CE2D14B"},
      {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011", "FEDCBA9876543210", "A4299E27469FF67B"},
      {"F0E1D2C3B4A5968778695A4B3C2D1E0F001122", "FEDCBA9876543210", "AFD5AED1C1BC96A8"},
      {"F0E1D2C3B4A5968778695A4B3C2D1E0F00112233", "FEDCBA9876543210", "10851C0E3858DA9F"},
      {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344", "FEDCBA9876543210", "E6F51ED79B9DB21F"},
      {"F0E1D2C3B4A5968778695A4B3C2D1E0F001122334455", "FEDCBA9876543210", "64A6E14AFD36B46F"},
      {"F0E1D2C3B4A5968778695A4B3C2D1E0F00112233445566", "FEDCBA9876543210", "80C7D7D45A5479AD"},
      {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677", "FEDCBA9876543210", "05044B62FA52D080"},
  };
  for (const auto& v : vectors) ExpectVector(v);
}

// Eric Young's CBC vector: 16-byte key, "7654321 Now is the time for " and its NUL, zero-padded.
TEST(BlowFishVectors, Cbc) {
  BlowFish bf(std::string_view("0123456789ABCDEFF0E1D2C3B4A59687"));
  bf.IV(Hex("FEDCBA9876543210"));
  const std::string text("7654321 Now is the time for ");
  Bytes pt(text.begin(), text.end());
  pt.push_back(0);
  const Bytes ct = bf.Encrypt_CBC(pt);
  EXPECT_EQ(BlowFish::ByteToHex(ct), "6b77b4d63006dee605b156e27403979358deb9e7154616d959f1652bd5ff92cc");
  pt.resize(32, 0);
  EXPECT_EQ(bf.Decrypt_CBC(ct), pt);
  EXPECT_EQ(bf.IV(), Hex("FEDCBA9876543210")) << "the stored IV does not advance";
}

TEST(BlowFishLayout, NonStandardIsByteReversedStandard) {
  const Bytes key = Hex("0123456789ABCDEF");
  const Bytes block = Hex("0011223344556677");
  BlowFish standard(key);
  BlowFish reversed(key);
  reversed.NonStandard(true);
  EXPECT_TRUE(reversed.NonStandard());
  const Bytes backwards(block.rbegin(), block.rend());
  Bytes expected = standard.Encrypt_ECB(backwards);
  std::reverse(expected.begin(), expected.end());
  EXPECT_EQ(reversed.Encrypt_ECB(block), expected);
  EXPECT_EQ(reversed.Decrypt_ECB(expected), block);
}

TEST(BlowFishModes, PadToWholeBlocks) {
  BlowFish bf(Hex("0123456789ABCDEF"));
  bf.IV(Hex("0102030405060708"));
  const struct {
    std::size_t in, out;
  } lengths[] = {{0, 0}, {1, 8}, {7, 8}, {8, 8}, {9, 16}, {16, 16}};
  for (const auto& l : lengths) {
    const Bytes data(l.in, 0x41);
    EXPECT_EQ(bf.Encrypt_ECB(data).size(), l.out) << l.in;
    EXPECT_EQ(bf.Decrypt_ECB(data).size(), l.out) << l.in;
    EXPECT_EQ(bf.Encrypt_CBC(data).size(), l.out) << l.in;
    EXPECT_EQ(bf.Crypt_CTR(data, 2).size(), l.out) << l.in;
  }
  // The padding is zeros: one byte encrypts like that byte followed by seven NULs.
  EXPECT_EQ(bf.Encrypt_ECB(Hex("41")), bf.Encrypt_ECB(Hex("4100000000000000")));
}

TEST(BlowFishModes, CbcChainsAndRepeatsFromTheSameIV) {
  BlowFish bf(Hex("0123456789ABCDEF"));
  bf.IV(Hex("0102030405060708"));
  const Bytes twoEqualBlocks = Hex("41424344454647484142434445464748");
  const Bytes ct = bf.Encrypt_CBC(twoEqualBlocks);
  EXPECT_NE(Bytes(ct.begin(), ct.begin() + 8), Bytes(ct.begin() + 8, ct.end()));
  EXPECT_EQ(bf.Encrypt_CBC(twoEqualBlocks), ct) << "a second call starts from the same IV";
  EXPECT_EQ(bf.Decrypt_CBC(ct), twoEqualBlocks);
}

// Block i meets the encipherment of IV XOR i (a 64-bit big-endian counter).
TEST(BlowFishModes, CtrAdvancesTheCounterEveryBlock) {
  BlowFish bf(Hex("0123456789ABCDEF"));
  const Bytes iv = Hex("F0E1D2C3B4A59687");
  bf.IV(iv);
  const Bytes pt(257 * 8, 0x5A);
  const Bytes ct = bf.Crypt_CTR(pt, 2);

  auto block = [](const Bytes& b, std::size_t i) { return Bytes(b.begin() + 8 * i, b.begin() + 8 * (i + 1)); };
  EXPECT_NE(block(ct, 0), block(ct, 1)) << "equal plaintext blocks give different ciphertext blocks";

  BlowFish ecb(Hex("0123456789ABCDEF"));
  auto keystream = [&](const char* counter) {
    Bytes in = Hex(counter);
    for (std::size_t k = 0; k < 8; ++k) in[k] ^= iv[k];
    return ecb.Encrypt_ECB(in);
  };
  auto xored = [](Bytes a, const Bytes& b) {
    for (std::size_t k = 0; k < a.size(); ++k) a[k] ^= b[k];
    return a;
  };
  EXPECT_EQ(block(ct, 0), xored(block(pt, 0), keystream("0000000000000000")));
  EXPECT_EQ(block(ct, 1), xored(block(pt, 1), keystream("0000000000000001")));
  EXPECT_EQ(block(ct, 256), xored(block(pt, 256), keystream("0000000000000100")));

  EXPECT_EQ(bf.Crypt_CTR(ct, 2), pt) << "decryption mirrors encryption";
  EXPECT_EQ(bf.Crypt_CTR(pt, 1), ct) << "numThreads changes nothing";
}

TEST(BlowFishModes, CbcAndCtrNeedAnIV) {
  BlowFish bf(Hex("0123456789ABCDEF"));
  EXPECT_FALSE(bf.IV().has_value());
  const Bytes data(8, 1);
  EXPECT_EQ(Message([&] { bf.Encrypt_CBC(data); }), "IV not set.");
  EXPECT_EQ(Message([&] { bf.Decrypt_CBC(data); }), "IV not set.");
  EXPECT_EQ(Message([&] { bf.Crypt_CTR(data, 2); }), "IV not set.");
}

TEST(BlowFishText, CbcCarriesTheIVInFront) {
  BlowFish bf(std::string_view("0123456789ABCDEF"));
  const std::string ct = bf.Encrypt_CBC(std::string_view("ninechars"));
  ASSERT_EQ(ct.size(), 16u + 32u);
  ASSERT_TRUE(bf.IV().has_value()) << "the encryption drew an IV";
  EXPECT_EQ(ct.substr(0, 16), BlowFish::ByteToHex(*bf.IV()));
  EXPECT_EQ(ct.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(bf.Encrypt_CBC(std::string_view("ninechars")), ct) << "the IV already set is reused";

  BlowFish other(std::string_view("0123456789ABCDEF"));
  EXPECT_EQ(other.Decrypt_CBC(std::string_view(ct)), "ninechars");
  EXPECT_EQ(other.IV(), bf.IV()) << "the decryption keeps the IV it read";
}

TEST(BlowFishText, CtrRoundTrip) {
  BlowFish bf(std::string_view("0123456789ABCDEF"));
  const std::string ct = bf.Encrypt_CTR(std::string_view("sixteen chars!!!"));
  ASSERT_EQ(ct.size(), 16u + 32u);
  EXPECT_NE(ct.substr(16, 16), ct.substr(32, 16));
  BlowFish other(std::string_view("0123456789ABCDEF"));
  EXPECT_EQ(other.Decrypt_CTR(std::string_view(ct)), "sixteen chars!!!");
}

TEST(BlowFishText, EcbDropsNulsAndNonAsciiBecomesQuestionMark) {
  BlowFish bf(std::string_view("0123456789ABCDEF"));
  const std::string withNul("ab\0cd", 5);
  EXPECT_EQ(bf.Decrypt_ECB(std::string_view(bf.Encrypt_ECB(std::string_view(withNul)))), "abcd");
  // One "?" per character of the ANSI code page: in UTF-8 (Linux) a two-byte and a four-byte
  // character each give one; in code page 1252 (Windows here) every one of those bytes is a character.
#ifdef _WIN32
  const char* expected = "??x????";
#else
  const char* expected = "?x?";
#endif
  EXPECT_EQ(bf.Decrypt_ECB(std::string_view(bf.Encrypt_ECB(std::string_view("\xC3\xA9x\xF0\x9F\x98\x80")))), expected);
  EXPECT_EQ(bf.Encrypt_ECB(std::string_view("")), "");
}

TEST(BlowFishText, DecryptionNeedsTheIVDigits) {
  BlowFish bf(std::string_view("0123456789ABCDEF"));
  EXPECT_THROW(bf.Decrypt_CBC(std::string_view("0123456789abcde")), std::out_of_range);
  EXPECT_THROW(bf.Decrypt_CTR(std::string_view("")), std::out_of_range);
  EXPECT_EQ(bf.Decrypt_CBC(std::string_view("0123456789abcdef")), "") << "an IV and no ciphertext";
}

TEST(BlowFishKey, LengthLimits) {
  EXPECT_NO_THROW(BlowFish(Bytes(56, 7)));
  EXPECT_EQ(Message([] { BlowFish(Bytes(57, 7)); }), "Key too long. 56 bytes required.");
  EXPECT_NO_THROW(BlowFish(std::string_view(std::string(113, 'a'))));  // the last digit has no partner
  EXPECT_EQ(Message([] { BlowFish(std::string_view(std::string(114, 'a'))); }), "Key too long. 56 bytes required.");
  // An empty key would leave the tables unkeyed: it is refused.
  EXPECT_EQ(Message([] { BlowFish(Bytes{}); }), "Key is empty. 1 to 56 bytes required.");
  EXPECT_EQ(Message([] { BlowFish(std::string_view("a")); }), "Key is empty. 1 to 56 bytes required.");
  EXPECT_NO_THROW(BlowFish(Bytes{1}));
  // The key string goes through the hexadecimal conversion, so the same bytes give the same cipher.
  EXPECT_EQ(BlowFish(std::string_view("0123456789abcdef")).Encrypt_ECB(Bytes(8, 0)),
            BlowFish(Hex("0123456789ABCDEF")).Encrypt_ECB(Bytes(8, 0)));
}

TEST(BlowFishIV, OnlyEightBytes) {
  BlowFish bf(Hex("0123456789ABCDEF"));
  EXPECT_EQ(Message([&] { bf.IV(Bytes(8, 3)); }), "(no error)");
  EXPECT_EQ(Message([&] { bf.IV(Bytes(7, 4)); }), "Invalid IV size.");
  EXPECT_EQ(Message([&] { bf.IV(Bytes(9, 4)); }), "Invalid IV size.");
  EXPECT_EQ(bf.IV(), Bytes(8, 3));

  BlowFish fresh(Hex("0123456789ABCDEF"));
  EXPECT_THROW(fresh.IV(Bytes{}), std::invalid_argument);
  EXPECT_FALSE(fresh.IV().has_value());
}

TEST(BlowFishIV, RandomIV) {
  BlowFish bf(Hex("0123456789ABCDEF"));
  const Bytes first = bf.SetRandomIV();
  ASSERT_EQ(first.size(), 8u);
  EXPECT_EQ(bf.IV(), first);
  EXPECT_NE(bf.SetRandomIV(), first);  // equal by chance once in 2^64
}

TEST(BlowFishHex, Conversions) {
  const struct {
    const char* text;
    const char* bytes;  // ByteToHex of the result
  } cases[] = {
      {"", ""},          {"0f", "0f"},      {"A0", "a0"}, {"g0", "00"},   {"zz", "53"},
      {"Zz", "53"},      {"!?", "00"},      {"abc", "ab"}, {"10ff", "10ff"}, {"1 ", "10"},
  };
  for (const auto& c : cases) EXPECT_EQ(BlowFish::ByteToHex(BlowFish::HexToByte(c.text)), c.bytes) << c.text;
  EXPECT_EQ(BlowFish::GetHex('9'), 9);
  EXPECT_EQ(BlowFish::GetHex('f'), 15);
  EXPECT_EQ(BlowFish::GetHex('G'), 16);
  EXPECT_EQ(BlowFish::GetHex('z'), 35);
  EXPECT_EQ(BlowFish::GetHex('-'), 0);
  EXPECT_EQ(BlowFish::ByteToHex(Bytes{0x00, 0xAB, 0x7F, 0xFF}), "00ab7fff");
}
}  // namespace
