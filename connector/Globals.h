#pragma once
// Constants of the library: status texts, result codes, log levels and the built-in broker settings.
#include <cstdint>

namespace QvMT4Connector {

struct Globals {
  // Status texts of the connection pairs and results.
  static constexpr const char OK[] = "OK";
  static constexpr const char Error[] = "Error";
  static constexpr const char SENDER_CONNECTED[] = "Quorvex signals sender connected.";
  static constexpr const char SENDER_ERROR[] = "Quorvex signals sender NOT CONNECTED.";
  static constexpr const char RECEIVER_CONNECTED[] = "Quorvex responses receiver connected.";
  static constexpr const char RECEIVER_ERROR[] = "Quorvex responses receiver NOT CONNECTED.";

  // Results of QvReadResponses.
  static constexpr std::int32_t NO_RESPONSE = -300;
  static constexpr std::int32_t RESPONSE_ERROR = -301;

  // Level numbers of the Expert Advisor's log call.
  static constexpr std::int32_t LOG_DEBUG = 1;
  static constexpr std::int32_t LOG_INFO = 2;
  static constexpr std::int32_t LOG_WARN = 3;
  static constexpr std::int32_t LOG_ERROR = 4;
  static constexpr std::int32_t LOG_FATAL = 5;

  // Library version reported in the "Params" signal.
  static constexpr const char RaRU4DAVVersion[] = "1.0";

  // Broker.
  static constexpr std::int32_t QvAmqpPort = 5672;
  static constexpr const char MT4ReponsesQueueNamePrefix[] = "mt4_client";

  // Built-in broker settings, enciphered (base64 of Blowfish-CBC); decode with Utils::dcd.
  // The stored forms are chosen at build time (CMake cache), see Globals.cpp.
  static const char* const MT4User;
  static const char* const MT4UserPassword;
  static const char* const MT4SignalsVirtualHost;
  static const char* const MT4ResponsesVirtualHost;
  static const char* const MT4SignalsExchange;
  static const char* const MT4ReponsesExchange;

  // Key and IV strings of the setting cipher.
  static constexpr const char bfk[] = "Rf2Tq9Lm+Xb4Kw7Pz#Nd3Hs8Vg$Jc6Yt1Qe&Mu5Oa0Wp%Gi2Zr7Bn(Xy";
  static constexpr const char bfIV[] = "Gm3#Tz8q";
};

}  // namespace QvMT4Connector
