// terminal_host: plays the MetaTrader 4 terminal with an Expert Advisor. It loads the library by
// path, resolves the exports by their plain names and runs one trading session through them,
// printing each call and its result.
//
// Exit codes: 0 the session ran; 1 with --strict, the session ran but something failed
// (QvInit not "ok", an order not "OK", fewer replies than --expect, QvDeInit not "OK");
// 2 bad options or a library that cannot be loaded.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <locale>
#include <sstream>
#include <string>
#include <thread>

#include "ExportTable.h"

namespace {
using QvMT4Connector::Tools::ExportTable;

struct Options {
  std::string library = QV_DEFAULT_LIBRARY;
  std::string host = "127.0.0.1";
  std::string email = "demo.trader@example.com";
  std::string password = "demo-password";
  std::string systemId = "demo-system";
  double pollSeconds = 5;
  int expect = 1;
  bool strict = false;
};

void usage(std::ostream& out) {
  out << "usage: terminal_host [options]\n"
         "  --library PATH      the library to load (default: " QV_DEFAULT_LIBRARY ")\n"
         "  --host NAME         broker host given to QvInit (default: 127.0.0.1)\n"
         "  --email TEXT        service login e-mail\n"
         "  --password TEXT     service password (printed as ***)\n"
         "  --systemid TEXT     trading system id\n"
         "  --poll-seconds N    how long to poll for replies (default: 5)\n"
         "  --expect N          stop polling once N replies wait (default: 1)\n"
         "  --strict            exit 1 unless the whole session succeeded\n";
}

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--strict") {
      o.strict = true;
      continue;
    }
    if (arg == "--help") return false;
    if (i + 1 >= argc) {
      std::cerr << "terminal_host: " << arg << " needs a value\n";
      return false;
    }
    const std::string value = argv[++i];
    try {
      if (arg == "--library") o.library = value;
      else if (arg == "--host") o.host = value;
      else if (arg == "--email") o.email = value;
      else if (arg == "--password") o.password = value;
      else if (arg == "--systemid") o.systemId = value;
      else if (arg == "--poll-seconds") o.pollSeconds = std::stod(value);
      else if (arg == "--expect") o.expect = std::stoi(value);
      else {
        std::cerr << "terminal_host: unknown option " << arg << "\n";
        return false;
      }
    } catch (const std::exception&) {
      std::cerr << "terminal_host: bad value for " << arg << ": " << value << "\n";
      return false;
    }
  }
  return true;
}

// Prints one call the way an MQL4 programmer would write it.
class Line {
 public:
  explicit Line(const char* name) { out_.imbue(std::locale::classic()); out_ << name << "("; }
  template <class T>
  Line& operator<<(const T& value) {
    separate();
    out_ << value;
    return *this;
  }
  Line& operator<<(const char* text) {
    separate();
    if (text == nullptr) {
      out_ << "NULL";
    } else {
      out_ << '"' << text << '"';
    }
    return *this;
  }
  Line& operator<<(const std::string& text) { return *this << text.c_str(); }
  std::string str() const { return out_.str() + ")"; }

 private:
  void separate() {
    if (!first_) out_ << ", ";
    first_ = false;
  }
  std::ostringstream out_;
  bool first_ = true;
};

void show(const Line& call) { std::cout << call.str() << std::endl; }
void show(const Line& call, const std::string& result) {
  std::cout << call.str() << " -> \"" << result << "\"" << std::endl;
}
void show(const Line& call, std::int32_t result) { std::cout << call.str() << " -> " << result << std::endl; }

int runSession(const ExportTable& qv, const Options& o) {
  const char* email = o.email.c_str();
  const char* password = o.password.c_str();
  const char* system = o.systemId.c_str();
  const char* masked = "***";
  const char* version = "terminal_host 1.0";
  bool ok = true;

  qv.QvLog(2, 0, "terminal_host", "session starts");
  show(Line("QvLog") << 2 << 0 << "terminal_host" << "session starts");

  const std::string init = ExportTable::Take(qv.QvInit(o.host.c_str(), email, password, system, 1.0, version));
  show(Line("QvInit") << o.host << email << masked << system << 1.0 << version, init);
  ok = ok && init == "ok";

  qv.ParamsRequest(email, password, system, 1.0, 0, 0, 0, o.pollSeconds, 0, 0, 0, 1, version);
  show(Line("ParamsRequest") << email << masked << system << 1.0 << 0 << 0 << 0 << o.pollSeconds << 0 << 0 << 0
                             << 1 << version);

  auto order = [&](const Line& call, char* result) {
    const std::string text = ExportTable::Take(result);
    show(call, text);
    ok = ok && text == "OK";
  };
  order(Line("QvOrderOpen") << email << masked << system << 1001 << "EURUSD" << 0 << 0.1 << 1.08512 << 1.08012
                            << 1.09512 << "2024.03.01 10:15:00" << "host open",
        qv.QvOrderOpen(email, password, system, 1001, "EURUSD", 0, 0.1, 1.08512, 1.08012, 1.09512,
                       "2024.03.01 10:15:00", "host open"));
  order(Line("QvOrderModify") << email << masked << system << 1001 << 0 << 1.08512 << 1.08012 << 1.09512 << 1.08512
                              << 1.08212 << 1.09812 << "host modify",
        qv.QvOrderModify(email, password, system, 1001, 0, 1.08512, 1.08012, 1.09512, 1.08512, 1.08212, 1.09812,
                         "host modify"));
  order(Line("QvOrderClose") << email << masked << system << 1001 << "EURUSD" << 0 << 0.1 << 1.0901 << "host close",
        qv.QvOrderClose(email, password, system, 1001, "EURUSD", 0, 0.1, 1.0901, "host close"));
  order(Line("QvOrderCancel") << email << masked << system << 1002 << "host cancel",
        qv.QvOrderCancel(email, password, system, 1002, "host cancel"));

  qv.QvCancelAllPendingSignals(email, password);
  show(Line("QvCancelAllPendingSignals") << email << masked);

  // Poll as the Expert Advisor's timer would, until the replies are in or the time is up.
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(o.pollSeconds));
  std::int32_t waiting = 0;
  std::int32_t shown = INT32_MIN;
  for (;;) {
    waiting = qv.QvReadResponses();
    if (waiting != shown) show(Line("QvReadResponses"), waiting);
    shown = waiting;
    if (waiting >= o.expect && waiting > 0) break;
    if (Clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  ok = ok && waiting >= o.expect;
  for (std::int32_t i = 0; i < waiting; ++i) show(Line("QvNextResponse"), ExportTable::Take(qv.QvNextResponse()));

  const std::string deinit = ExportTable::Take(qv.QvDeInit());
  show(Line("QvDeInit"), deinit);
  ok = ok && deinit == "OK";

  if (!ok) std::cout << "terminal_host: the session did not fully succeed" << std::endl;
  return ok || !o.strict ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    usage(std::cerr);
    return 2;
  }
  try {
    const ExportTable qv(options.library);
    std::cout << "terminal_host: loaded " << options.library << std::endl;
    return runSession(qv, options);
  } catch (const std::exception& e) {
    std::cerr << "terminal_host: " << e.what() << std::endl;
    return 2;
  }
}
