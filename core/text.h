// Small text helpers shared by every layer, so that each rule exists once: ASCII case,
// hexadecimal words, and how names and paths are shown to people.
//
// core/ keeps one short header per topic (error.h, little_endian.h, netstrings.h, text.h),
// so that an include line says which topic a file uses; each is short enough to read whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace cmp {

// The C runtime's tolower in its default locale: only A to Z fold; every other byte,
// those from 0x80 up included, stays as it is whatever the current locale says.
constexpr char FoldAsciiCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `text` begins with `prefix`, A to Z compared without regard to case.
constexpr bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (FoldAsciiCase(text[i]) != FoldAsciiCase(prefix[i])) {
            return false;
        }
    }
    return true;
}

// "0x" and the value in upper-case hexadecimal digits, without leading zeros: "0x101".
inline std::string HexWord(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

// -- Text for people
// Names and paths come from model files and users; printed raw, an escape sequence in
// one can retitle or recolour the terminal, and a line break in one breaks the layout.
// Every program shows them through TerminalText (or TerminalLines, NameInMessage): one
// rule for standard output, standard error, dialogs and pictures alike.

namespace terminal_text_detail {

// The length of the valid UTF-8 sequence of two or more bytes at `text[at]` that does
// not encode a C1 control character (U+0080 to U+009F, which terminals may obey as
// commands), or 0. Overlong forms, surrogates and code points past U+10FFFF are invalid.
inline std::size_t PrintableSequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        low = lead == 0xC2 ? 0xA0 : 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - at < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

inline std::string Escape(std::string_view text, bool keepLineBreaks, bool keepBytesPastAscii) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if ((byte >= 0x20 && byte != 0x7F && (byte < 0x80 || keepBytesPastAscii)) ||
            (keepLineBreaks && byte == '\n')) {
            shown += text[at++];
            continue;
        }
        if (const std::size_t length = PrintableSequenceLength(text, at); length != 0) {
            shown.append(text.substr(at, length));
            at += length;
            continue;
        }
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(byte));
        shown += escape;
        ++at;
    }
    return shown;
}

}  // namespace terminal_text_detail

// `text` safe to print: printable ASCII and valid UTF-8 as they are; control characters
// (line breaks too), DEL, C1 controls and bytes that are not valid UTF-8 as \xNN.
inline std::string TerminalText(std::string_view text) {
    return terminal_text_detail::Escape(text, false, false);
}

// The same for a text of several lines, a message: its line breaks stay.
inline std::string TerminalLines(std::string_view text) {
    return terminal_text_detail::Escape(text, true, false);
}

// A name or path put into a message that the exporter shows or returns: on one line, as
// TerminalText shows it. On Windows, whose programs hand paths over in the system's code
// page rather than in UTF-8, bytes past ASCII are the user's letters and stay as they are;
// only control characters are escaped there.
inline std::string NameInMessage(std::string_view text) {
#ifdef _WIN32
    return terminal_text_detail::Escape(text, false, true);
#else
    return TerminalText(text);
#endif
}

}  // namespace cmp
