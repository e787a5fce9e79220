#include "shell_address.h"

namespace kavo {
namespace {

constexpr std::string_view kNeverInUri = " \"<>\\^`{|}";

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendEscaped(std::string& out, unsigned byte) {
    constexpr char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[(byte >> 4) & 0xF];
    out += kHex[byte & 0xF];
}

void AppendUtf8Escaped(std::string& out, char32_t c) {
    if (c < 0x800) {
        AppendEscaped(out, 0xC0 | (c >> 6));
    } else if (c < 0x10000) {
        AppendEscaped(out, 0xE0 | (c >> 12));
        AppendEscaped(out, 0x80 | ((c >> 6) & 0x3F));
    } else {
        AppendEscaped(out, 0xF0 | (c >> 18));
        AppendEscaped(out, 0x80 | ((c >> 12) & 0x3F));
        AppendEscaped(out, 0x80 | ((c >> 6) & 0x3F));
    }
    AppendEscaped(out, 0x80 | (c & 0x3F));
}

}  // namespace

std::string EncodeForShell(std::u16string_view address) {
    std::string out;
    out.reserve(address.size());
    for (std::size_t i = 0; i < address.size(); ++i) {
        char32_t c = address[i];
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F ||
                kNeverInUri.find(static_cast<char>(c)) != kNeverInUri.npos) {
                AppendEscaped(out, static_cast<unsigned>(c));
            } else {
                out += static_cast<char>(c);
            }
            continue;
        }
        if (IsHighSurrogate(c) && i + 1 < address.size() && IsLowSurrogate(address[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (address[++i] - 0xDC00);
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            c = 0xFFFD;
        }
        AppendUtf8Escaped(out, c);
    }
    return out;
}

}  // namespace kavo
