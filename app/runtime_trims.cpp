// Pieces of libstdc++ that this program pays for and never uses, replaced with what it needs. A
// static library member is linked only for a symbol nothing else defines, so these definitions
// keep two large members out of kavo.exe:
// - the default terminate handler, which prints the exception's type to a console this program
//   does not have and for that links a C++ name demangler (some 70 KB);
// - the helpers that throw the standard library's errors, which build logic_error and
//   out_of_range with messages and so link whole string and stream instantiations (some 50 KB).
// Every failure in a command ends it through catch (...), which needs no message; running out of
// memory is the one way a string here can fail.
//
// What it costs: std::string's at() and substr() past the end, and reserve() or any growth past
// max_size(), now throw bad_alloc instead of out_of_range or length_error. And the error helpers
// share one library member (functexcept.o): code that needs one more of them (std::stoi's
// __throw_invalid_argument, say) pulls that member in, and the link fails with "multiple
// definition" of the ones below. Then define that helper here too, or drop these four. The
// link_map test fails when either member comes back.

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
