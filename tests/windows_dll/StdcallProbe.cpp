#include "StdcallProbe.h"

// qv_probe_call(fn, args, size, &eax) -> bytes the callee removed; cdecl, i386 only.
// The argument bytes are copied below the aligned stack pointer, the function is called, and the
// stack pointer after the return is compared with the one at the call (kept in callee-saved ebx).
extern "C" std::uint32_t qv_probe_call(const void* fn, const void* args, std::uint32_t size, std::uint32_t* eax);

asm(R"(
    .text
    .globl _qv_probe_call
_qv_probe_call:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 16(%ebp), %ecx
    movl %esp, %eax
    subl %ecx, %eax
    andl $-16, %eax
    movl %eax, %esp
    movl %esp, %edi
    movl 12(%ebp), %esi
    cld
    rep movsb
    movl %esp, %ebx
    call *8(%ebp)
    movl 20(%ebp), %ecx
    movl %eax, (%ecx)
    movl %esp, %eax
    subl %ebx, %eax
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

namespace QvMT4Connector::WindowsTests {

ProbeResult CallAndMeasure(const void* fn, const Arguments& args) {
  ProbeResult r{};
  r.removedBytes = qv_probe_call(fn, args.Bytes().data(), static_cast<std::uint32_t>(args.Bytes().size()), &r.eax);
  return r;
}

}  // namespace QvMT4Connector::WindowsTests
