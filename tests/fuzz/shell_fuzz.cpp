// The shell encoder's output is printable ASCII with nothing a URI may not hold, and decoding it
// gives back the UTF-8 of the input (a lone surrogate as U+FFFD).

#include <cstdlib>
#include <string_view>

#include "fuzz_input.h"
#include "shell_address.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// A straightforward UTF-16 to UTF-8 conversion, written apart from the encoder.
std::string Utf8Of(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // lower case is not what the encoder writes
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = UnitsOf(data, size);
    const std::string encoded = kavo::EncodeForShell(text);
    constexpr std::string_view forbidden = " \"<>\\^`{|}";
    for (char c : encoded) Check(c > 0x20 && c < 0x7F && forbidden.find(c) == forbidden.npos);

    // '%' passes unescaped, so decoding is exact only for text without it; the encoder works
    // character by character, so checking the rest of the text loses nothing.
    std::u16string plain;
    for (char16_t c : text) {
        if (c != u'%') plain += c;
    }
    const std::string escaped = kavo::EncodeForShell(plain);
    std::string decoded;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '%') {
            decoded += escaped[i];
            continue;
        }
        Check(i + 2 < escaped.size() && HexValue(escaped[i + 1]) >= 0 &&
              HexValue(escaped[i + 2]) >= 0);
        decoded += static_cast<char>(HexValue(escaped[i + 1]) * 16 + HexValue(escaped[i + 2]));
        i += 2;
    }
    Check(decoded == Utf8Of(plain));
    return 0;
}
