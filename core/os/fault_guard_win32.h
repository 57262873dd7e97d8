#pragma once
// Runs a call so that a processor fault inside it (access violation, division
// by zero, stack overflow, illegal instruction, ...) makes the call return
// false instead of ending the process. Used for calls into plug-in code.
//
// How: a vectored exception handler, installed once, looks at faults raised
// on the thread of an active guard. It rewrites the faulting thread's context
// so that the thread resumes in a small recovery function on the still-sound
// upper part of the stack, and that function jumps back to the recovery point
// the guard set (a setjmp without unwinding: the faulting frames are simply
// abandoned). After a stack overflow the stack's guard page is put back, so a
// second overflow is caught the same way. The floating-point control words
// are restored after every guarded call, since plug-ins are known to change
// them.
//
// Vectored handlers see a fault first, before any handler of the plug-in's
// own; a plug-in that deliberately faults and catches the fault itself would
// therefore count as failed. Software exceptions (C++ and others) are left to
// whoever handles them.
namespace qdx::os {

bool RunGuarded(void (*call)(void* data), void* data);

template <class Callable>
bool RunGuarded(Callable& callable) {
    return RunGuarded([](void* data) { (*static_cast<Callable*>(data))(); }, &callable);
}

}  // namespace qdx::os
