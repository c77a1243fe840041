// qv-encipher: prints the stored form of a plain broker setting, the text that a deployment puts
// into the CMake cache options QV_MT4_*_STORED. With --show, decodes the settings built into this
// build instead.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "connector/Globals.h"
#include "connector/Utils.h"

using QvMT4Connector::Globals;
using QvMT4Connector::Utils;

namespace {
int Usage() {
  std::fputs(
      "usage: qv-encipher TEXT    print the stored form of TEXT\n"
      "       qv-encipher --show  print the broker settings built into this build\n",
      stderr);
  return 2;
}

void Show(const char* name, const char* stored) {
  std::printf("%s=%s\n", name, Utils::dcd(stored).c_str());
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Usage();
  try {
    if (std::strcmp(argv[1], "--show") == 0) {
      Show("MT4User", Globals::MT4User);
      Show("MT4UserPassword", Globals::MT4UserPassword);
      Show("MT4SignalsVirtualHost", Globals::MT4SignalsVirtualHost);
      Show("MT4ResponsesVirtualHost", Globals::MT4ResponsesVirtualHost);
      Show("MT4SignalsExchange", Globals::MT4SignalsExchange);
      Show("MT4ReponsesExchange", Globals::MT4ReponsesExchange);
      return 0;
    }
    if (argv[1][0] == '-' && argv[1][1] == '-') return Usage();
    if (argv[1][0] == '\0') {
      std::fputs("qv-encipher: a broker setting cannot be empty\n", stderr);
      return 1;
    }
    std::printf("%s\n", Utils::StoredForm(argv[1]).c_str());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qv-encipher: %s\n", e.what());
    return 1;
  }
}
