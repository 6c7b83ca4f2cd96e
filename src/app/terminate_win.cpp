// The C++ runtime's default terminate handler prints the type of an uncaught
// exception, for which it links a symbol demangler of some 45 KiB. An
// uncaught exception here (only running out of memory raises one) ends the
// process abnormally either way, and a GUI process has nowhere to print, so
// a plain abort serves and keeps the exe small.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
