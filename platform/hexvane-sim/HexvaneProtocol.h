// The wire format between the HMI runtime (hexvane-sim) and its clients (PTSERV32.dll and the
// command line). One request or answer per line, tokens separated by one blank:
//   request       <seq> <VERB> <args...>
//   answer        = <seq> <results...>
//   more rows     * <fields...>            (after the answer of LIST)
//   notification  ! <client> <handle> <index>
//   state         $ <handle> <value time> <status> <value> <message time> :<message>
// Texts travel as ':' followed by the percent-encoded UTF-8 (so an empty text is ":"), numbers
// as C-locale decimal text, times as Y.M.D.h.m.s or "-" for "now".
// Verbs: FIND :name -> handle (65535 = unknown)
//        GETV h -> 1 time status value | 0          GETM h -> 1 time status :text | 0
//        SETV h time mask bits value client -> 1|0  SETM h time mask bits :text client -> 1|0
//        ADV h client index -> advise id (0 = refused)   UNADV h id -> 1|0
//        SETN :name value -> 1|0    MSGN :name :text -> 1|0
//        GETN :name -> 1 row | 0    LIST -> count, then count rows
//        (row = :name :class time status value :message)
//        PING -> 1 (a sign of life; the library asks it, as number 0, of a quiet connection)
//        SNAP -> first a line "* <state fields> :name :key" for each tag in handle order (key =
//                the upper-case name the runtime matches), then the answer: the count. From then
//                on each change of a tag sends its state line to the connection, before the
//                answer to the write that caused it and before the notifications of it.
// Plain C++ so that the tag-manager library can use it without Qt.
#pragma once
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace HexvaneWire {

// Longest line a peer accepts; a longer one ends the connection.
constexpr std::size_t MaxLine = 1 << 20;
// Longest text (a message or a tag name, in UTF-8 bytes) the runtime keeps and the library sends:
// percent-encoded, even twice on one line, it stays well inside MaxLine.
constexpr std::size_t MaxText = 64 * 1024;

inline std::vector<std::string_view> Split(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start <= line.size()) {
        const std::size_t end = line.find(' ', start);
        if (end == std::string_view::npos) {
            out.push_back(line.substr(start));
            break;
        }
        out.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

inline std::string EncodeText(std::string_view utf8) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out = ":";
    for (unsigned char c : utf8) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
            c == '-')
            out += static_cast<char>(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

inline std::optional<std::string> DecodeText(std::string_view token) {
    if (token.empty() || token[0] != ':') return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 1; i < token.size(); ++i) {
        if (token[i] != '%') {
            out += token[i];
            continue;
        }
        if (i + 2 >= token.size()) return std::nullopt;
        const int hi = digit(token[i + 1]), lo = digit(token[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

// The text as valid UTF-8: each ill-formed part (a byte that starts no sequence, or the longest
// start of a sequence that could still have been whole) becomes U+FFFD.
inline std::string ValidUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t len = 0;
        unsigned char lo = 0x80, hi = 0xBF;  // the second byte's range
        if (c < 0x80)
            len = 1;
        else if (c >= 0xC2 && c <= 0xDF)
            len = 2;
        else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0) lo = 0xA0;  // no overlong form
            if (c == 0xED) hi = 0x9F;  // no surrogate
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;  // nothing beyond U+10FFFF
        }
        std::size_t n = 1;
        while (n < len && i + n < s.size()) {
            const unsigned char b = static_cast<unsigned char>(s[i + n]);
            if (b < (n == 1 ? lo : 0x80) || b > (n == 1 ? hi : 0xBF)) break;
            ++n;
        }
        if (len != 0 && n == len)
            out.append(s.substr(i, len));
        else
            out += "\xEF\xBF\xBD";
        i += n;
    }
    return out;
}

inline std::string FormatNumber(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// A value as the command line shows it, the way the saver writes a number: up to 15 significant
// digits, "." as decimal point, no trailing zeros, an exponent ("1E+20") only beyond ordinary
// magnitudes.
inline std::string DisplayNumber(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    if (value == 0.0) return "0";
    char buf[64];
    char* end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15).ptr;
    if (char* e = std::find(buf, end, 'e'); e != end) {
        const double a = std::fabs(value);
        if (a >= 1e-6 && a < 1e15) {
            end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 15).ptr;
            while (end[-1] == '0') --end;
            if (end[-1] == '.') --end;
        } else {
            *e = 'E';
        }
    }
    return std::string(buf, end);
}

inline std::optional<double> ParseNumber(std::string_view token) {
    double v = 0;
    const auto r = std::from_chars(token.data(), token.data() + token.size(), v);
    if (r.ec != std::errc() || r.ptr != token.data() + token.size()) return std::nullopt;
    return v;
}

inline std::optional<uint64_t> ParseWhole(std::string_view token) {
    uint64_t v = 0;
    const auto r = std::from_chars(token.data(), token.data() + token.size(), v);
    if (token.empty() || r.ec != std::errc() || r.ptr != token.data() + token.size()) return std::nullopt;
    return v;
}

inline std::optional<int64_t> ParseSigned(std::string_view token) {
    int64_t v = 0;
    const auto r = std::from_chars(token.data(), token.data() + token.size(), v);
    if (token.empty() || r.ec != std::errc() || r.ptr != token.data() + token.size()) return std::nullopt;
    return v;
}

// Calendar fields of a time token, seconds resolution.
struct WireTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

inline std::string FormatTime(const WireTime& t) {
    return std::to_string(t.year) + '.' + std::to_string(t.month) + '.' + std::to_string(t.day) + '.' +
           std::to_string(t.hour) + '.' + std::to_string(t.minute) + '.' + std::to_string(t.second);
}

// Nothing for "-" (now) and for a malformed token; `now` tells which.
inline std::optional<WireTime> ParseTime(std::string_view token, bool* now = nullptr) {
    if (now) *now = token == "-";
    if (token == "-") return std::nullopt;
    int f[6];
    std::size_t start = 0;
    for (int i = 0; i < 6; ++i) {
        const std::size_t end = i < 5 ? token.find('.', start) : token.size();
        if (end == std::string_view::npos) return std::nullopt;
        const auto v = ParseSigned(token.substr(start, end - start));
        if (!v || *v < 0 || *v > 99999) return std::nullopt;
        f[i] = static_cast<int>(*v);
        start = end + 1;
    }
    return WireTime{f[0], f[1], f[2], f[3], f[4], f[5]};
}

}  // namespace HexvaneWire
