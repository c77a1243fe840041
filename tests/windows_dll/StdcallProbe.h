#pragma once
// Calls a function through a hand-built argument area and tells how many bytes of it the callee
// removed from the stack: a stdcall function removes all of them, a cdecl one none.
#include <cstdint>
#include <cstring>
#include <vector>

namespace QvMT4Connector::WindowsTests {

// The argument area of one call, built from left to right as the caller's pushes leave it.
class Arguments {
 public:
  Arguments& Int(std::int32_t v) { return put(&v, sizeof v); }
  Arguments& Double(double v) { return put(&v, sizeof v); }
  Arguments& Text(const char* v) { return put(&v, sizeof v); }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  Arguments& put(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    bytes_.insert(bytes_.end(), b, b + n);
    return *this;
  }
  std::vector<std::uint8_t> bytes_;
};

struct ProbeResult {
  std::uint32_t removedBytes;  // how far the stack pointer moved back during the return
  std::uint32_t eax;           // the function's 32-bit result (integer or pointer)
};

// fn is any function address; the call happens with a 16-byte aligned argument area.
ProbeResult CallAndMeasure(const void* fn, const Arguments& args);

}  // namespace QvMT4Connector::WindowsTests
