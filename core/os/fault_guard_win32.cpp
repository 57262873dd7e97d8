// The fault guard for calls into plug-in code (see fault_guard_win32.h).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <setjmp.h>

#include <cstdint>

#include "core/os/fault_guard_win32.h"

namespace qdx::os {

namespace {

struct GuardFrame {
    jmp_buf recovery;
    DWORD thread = 0;
    volatile DWORD code = 0;
    uintptr_t recoveryStack = 0;
};

// One guard at a time: plug-in calls are made from one thread and never
// nest. The thread id keeps faults of other threads out.
GuardFrame* volatile g_active = nullptr;
PVOID g_handler = nullptr;

// Room left between the guarded call's frame and the stack the recovery
// function runs on, so that it overwrites nothing still in use.
constexpr uintptr_t kRecoveryGap = 1024;
constexpr DWORD kDirectionFlag = 0x400;
constexpr DWORD kTrapFlag = 0x100;

bool IsProcessorFault(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_BREAKPOINT:
        return true;
    default:
        return false;
    }
}

[[noreturn]] void Recover(GuardFrame* frame) { longjmp(frame->recovery, 1); }

LONG CALLBACK OnException(EXCEPTION_POINTERS* pointers) {
    GuardFrame* frame = g_active;
    if (!frame || frame->thread != ::GetCurrentThreadId()) return EXCEPTION_CONTINUE_SEARCH;
    const DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (!IsProcessorFault(code)) return EXCEPTION_CONTINUE_SEARCH;
    g_active = nullptr;
    frame->code = code;
    // Resume in Recover(frame) as if it had just been called: stack aligned
    // to 16 bytes less the return address slot.
    CONTEXT* context = pointers->ContextRecord;
    context->Rsp = frame->recoveryStack;
    context->Rip = reinterpret_cast<DWORD64>(&Recover);
    context->Rcx = reinterpret_cast<DWORD64>(frame);
    context->EFlags &= ~(kDirectionFlag | kTrapFlag);
    return EXCEPTION_CONTINUE_EXECUTION;
}

// Puts PAGE_GUARD back on the lowest usable page of this thread's stack,
// where the overflow took it away, so that the next overflow is raised again
// instead of running into the end of the stack. Pages below it that are not
// committed, or committed without access, stay as they are.
void RestoreStackGuard() {
    MEMORY_BASIC_INFORMATION info;
    if (!::VirtualQuery(&info, &info, sizeof info)) return;
    void* const base = info.AllocationBase;
    SYSTEM_INFO system;
    ::GetSystemInfo(&system);
    auto* at = static_cast<uint8_t*>(base);
    while (::VirtualQuery(at, &info, sizeof info) && info.AllocationBase == base) {
        if (info.State == MEM_COMMIT && info.Protect != PAGE_NOACCESS) {
            if (!(info.Protect & PAGE_GUARD)) {
                DWORD old = 0;
                ::VirtualProtect(info.BaseAddress, system.dwPageSize, PAGE_READWRITE | PAGE_GUARD, &old);
            }
            return;
        }
        at = static_cast<uint8_t*>(info.BaseAddress) + info.RegionSize;
    }
}

struct ControlWords {
    uint32_t mxcsr;
    uint16_t x87;
};

ControlWords SaveControlWords() {
    ControlWords words{};
    __asm__ __volatile__("stmxcsr %0" : "=m"(words.mxcsr));
    __asm__ __volatile__("fnstcw %0" : "=m"(words.x87));
    return words;
}

void RestoreControlWords(const ControlWords& words) {
    __asm__ __volatile__("fnclex");
    __asm__ __volatile__("fldcw %0" : : "m"(words.x87));
    __asm__ __volatile__("ldmxcsr %0" : : "m"(words.mxcsr));
}

// A frame of its own, so that the recovery stack can be placed below
// everything RunGuarded still needs.
__attribute__((noinline)) void EnterGuarded(GuardFrame& frame, void (*call)(void*), void* data) {
    volatile char marker = 0;
    const auto here = reinterpret_cast<uintptr_t>(&marker);
    frame.recoveryStack = ((here - kRecoveryGap) & ~uintptr_t(15)) - 8;
    g_active = &frame;
    call(data);
    g_active = nullptr;
}

}  // namespace

bool RunGuarded(void (*call)(void* data), void* data) {
    if (!g_handler) g_handler = ::AddVectoredExceptionHandler(1, OnException);
    if (!g_handler) return false;  // without the guard, plug-in code is not run at all
    GuardFrame frame;
    frame.thread = ::GetCurrentThreadId();
    const ControlWords saved = SaveControlWords();
    bool completed = false;
    // A null frame makes longjmp restore the registers without unwinding
    // through the frames of the faulting code.
    if (_setjmp(frame.recovery, nullptr) == 0) {
        EnterGuarded(frame, call, data);
        completed = true;
    } else {
        g_active = nullptr;
        if (frame.code == EXCEPTION_STACK_OVERFLOW) RestoreStackGuard();
    }
    RestoreControlWords(saved);
    return completed;
}

}  // namespace qdx::os
