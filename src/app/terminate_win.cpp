// How the exe ends on a failure it cannot go on from: out of memory, a C++
// runtime error, terminate, or any other part of the runtime giving up.
// Nothing here catches an exception. Every such path ends the process at once
// with exit code 3, what a C runtime's abort() conventionally reports, and
// without the modal "Runtime Error" box that the system C runtime's abort()
// shows in a GUI program, so that an unattended run never waits for a click.
// The log keeps the lines written until then: each goes to the file as it is
// logged.
#include <windows.h>

#include <cstdlib>

namespace {

constexpr UINT kAbnormalExitCode = 3;

[[noreturn]] void EndAbnormally() {
  // TerminateProcess, not ExitProcess: no exit handler or DLL detach code
  // runs on a process state that has just failed.
  TerminateProcess(GetCurrentProcess(), kAbnormalExitCode);
  ExitProcess(kAbnormalExitCode);  // not reached: the call above ends this thread too
}

}  // namespace

// abort() itself. The unwinder, the exception personality, the start-up
// code's relocation check, the terminate machinery and the portable core all
// call it when they give up; the linker takes this definition before the
// system C runtime's, which is then not imported at all.
extern "C" void abort() { EndAbnormally(); }

// What the start-up code calls when it cannot set the run up (no memory for
// the arguments or the environment, say). The system C runtime's version
// shows a "Runtime Error" box in a GUI program and waits for a click.
extern "C" void _amsg_exit(int) { EndAbnormally(); }

// The default terminate handler prints the type of an uncaught exception, for
// which it links a symbol demangler of some 45 KiB. Only running out of memory
// raises one here (operator new's std::bad_alloc), and a GUI process has
// nowhere to print.
namespace __gnu_cxx {

void __verbose_terminate_handler() { EndAbnormally(); }

}  // namespace __gnu_cxx

// The containers' error paths (sizes beyond max_size(), positions out of
// range). The library's own versions build exception objects with their
// message strings and pull in another string implementation, some 55 KiB of
// the x86 exe. The linker reports a duplicate here if the library ever needs
// one of its versions that is not replaced below: then add that one.
namespace std {

void __throw_bad_alloc() { EndAbnormally(); }
void __throw_bad_array_new_length() { EndAbnormally(); }
void __throw_length_error(const char*) { EndAbnormally(); }
void __throw_logic_error(const char*) { EndAbnormally(); }
void __throw_out_of_range_fmt(const char*, ...) { EndAbnormally(); }

}  // namespace std
