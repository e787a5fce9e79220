#pragma once
// Makes a built media address safe to hand to the desktop shell.

#include <string>
#include <string_view>

namespace kavo {

// Percent-encodes (upper-case hex) every code unit a URI may never hold: C0 controls, space, DEL,
// '"', '<', '>', '\', '^', '`', '{', '|', '}', and every non-ASCII character as the bytes of its
// UTF-8 form (a lone surrogate as U+FFFD). All else, '%' '/' '?' '#' ':' included, passes as it
// is, so an ordinary address comes out unchanged. The result is printable ASCII: no identifier can
// split into several arguments on the browser's command line.
std::string EncodeForShell(std::u16string_view address);

}  // namespace kavo
