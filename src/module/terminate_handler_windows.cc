// The handler std::terminate calls by default, replaced in the Windows DLL.
//
// The C++ run-time's own handler names the uncaught exception's type on standard
// error: for that it links in a symbol demangler and a printf, some 75 KB, a third
// of the DLL. A host is a windowed program with no standard error to write to, and
// both handlers end the process the same way, so the DLL gives up only a message
// nobody would see. Defining the handler here keeps the run-time's own out of the
// link. std::terminate is reached only if an exception escapes a noexcept function
// or a destructor; the exports catch everything else.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
