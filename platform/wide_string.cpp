#include "platform/wide_string.h"

#include <cstdio>
#include <cstring>

#include "platform/codepage.h"

namespace platform {

size_t WideLength(const WCHAR* s) {
    size_t n = 0;
    if (s)
        while (s[n]) ++n;
    return n;
}

void WideCopy(WCHAR* dst, size_t capacity, const WCHAR* src) {
    if (!dst || capacity == 0) return;
    size_t i = 0;
    if (src)
        for (; i + 1 < capacity && src[i]; ++i) dst[i] = src[i];
    dst[i] = 0;
}

std::u16string WideFromUtf8(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        size_t len;
        if (c < 0x80) { cp = c; len = 1; }
        else if ((c >> 5) == 6) { cp = c & 0x1F; len = 2; }
        else if ((c >> 4) == 14) { cp = c & 0x0F; len = 3; }
        else if ((c >> 3) == 30) { cp = c & 0x07; len = 4; }
        else { out.push_back(0xFFFD); ++i; continue; }
        if (i + len > s.size()) { out.push_back(0xFFFD); break; }
        bool ok = true;
        for (size_t k = 1; k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc >> 6) != 2) { ok = false; break; }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) { out.push_back(0xFFFD); ++i; continue; }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
    }
    return out;
}

std::string Utf8FromWide(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;  // lone surrogate
        }
        if (cp < 0x80) out.push_back(char(cp));
        else if (cp < 0x800) { out.push_back(char(0xC0 | (cp >> 6))); out.push_back(char(0x80 | (cp & 0x3F))); }
        else if (cp < 0x10000) {
            out.push_back(char(0xE0 | (cp >> 12)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (cp >> 18)));
            out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::string Utf8FromWide(const WCHAR* s) {
    return s ? Utf8FromWide(std::u16string_view(s, WideLength(s))) : std::string();
}

int WideCompareNoCase(const WCHAR* a, const WCHAR* b) {
    for (;; ++a, ++b) {
        WCHAR ca = CharUpper(*a), cb = CharUpper(*b);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (!ca) return 0;
    }
}

int FormatWide(WCHAR* dst, size_t capacity, const WCHAR* format, const long long* args, size_t argCount) {
    if (!dst || capacity == 0) return 0;
    std::u16string out;
    size_t argIndex = 0;
    for (const WCHAR* p = format; p && *p; ++p) {
        if (*p != u'%') { out.push_back(*p); continue; }
        const WCHAR* start = p++;
        if (*p == u'%') { out.push_back(u'%'); continue; }
        std::string spec = "%";
        while (*p && std::strchr("-+ #0", char(*p)) && *p < 0x80) spec.push_back(char(*p++));
        while (*p >= u'0' && *p <= u'9') spec.push_back(char(*p++));
        if (*p == u'.') { spec.push_back('.'); ++p; while (*p >= u'0' && *p <= u'9') spec.push_back(char(*p++)); }
        while (*p == u'l' || *p == u'h' || *p == u'I') ++p;  // length modifiers: arguments are 32-bit
        WCHAR conv = *p;
        if (conv && std::strchr("diuxXc", char(conv)) && conv < 0x80) {
            long long v = argIndex < argCount ? args[argIndex++] : 0;
            char buf[64];
            if (conv == u'c') {
                out.push_back(WCHAR(v));
                continue;
            }
            spec += (conv == u'd' || conv == u'i') ? "lld" : (conv == u'u' ? "llu" : (conv == u'x' ? "llx" : "llX"));
            long long arg = (conv == u'd' || conv == u'i') ? (long long)int32_t(v) : (long long)uint32_t(v);
            std::snprintf(buf, sizeof buf, spec.c_str(), arg);
            for (const char* c = buf; *c; ++c) out.push_back(WCHAR(*c));
        } else {
            // Unknown directive: keep it as written.
            for (const WCHAR* q = start; q <= p && *q; ++q) out.push_back(*q);
            if (!*p) break;
        }
    }
    size_t n = out.size() < capacity - 1 ? out.size() : capacity - 1;
    for (size_t i = 0; i < n; ++i) dst[i] = out[i];
    dst[n] = 0;
    return int(n);
}

}  // namespace platform
