// Pieces of libstdc++ that this program pays for and never uses, replaced with what it needs. A
// static library member is linked only for a symbol nothing else defines, so these definitions
// keep two large members out of kavo.exe:
// - the default terminate handler, which prints the exception's type to a console this program
//   does not have and for that links a C++ name demangler (some 70 KB);
// - the helpers that throw the standard library's errors, which build logic_error and
//   out_of_range with messages and so link whole string and stream instantiations (some 50 KB).
// Every failure in a command ends it through catch (...), which needs no message; running out of
// memory is the one way a string here can fail.

#include <cstdlib>
#include <exception>
#include <new>
#include <string>

#if defined(__GLIBCXX__)
// NOLINTBEGIN(bugprone-reserved-identifier, cert-dcl58-cpp)
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_out_of_range_fmt(const char*, ...) { throw bad_alloc(); }
}  // namespace std
// NOLINTEND(bugprone-reserved-identifier, cert-dcl58-cpp)
#endif
