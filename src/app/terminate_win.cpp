// How the exe ends on a C++ runtime error. Nothing here catches an exception,
// so every such error ends the process abnormally; these replacements make it
// a plain abort and keep the runtime's heavy parts out of the exe.
#include <cstdlib>

// The default terminate handler prints the type of an uncaught exception, for
// which it links a symbol demangler of some 45 KiB. Only running out of memory
// raises one here (operator new's std::bad_alloc), and a GUI process has
// nowhere to print.
namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

// The containers' error paths (sizes beyond max_size(), positions out of
// range). The library's own versions build exception objects with their
// message strings and pull in another string implementation, some 55 KiB of
// the x86 exe. The linker reports a duplicate here if the library ever needs
// one of its versions that is not replaced below: then add that one.
namespace std {

void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }

}  // namespace std
