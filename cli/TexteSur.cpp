#include "TexteSur.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr std::string_view kRemplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the valid UTF-8 sequence at the start of s, or 0.
std::size_t LongueurSequence(std::string_view s)
{
    const auto octet = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
    const std::uint8_t b0 = octet(0);
    if (b0 < 0x80)
        return 1;
    std::size_t n = 0;
    std::uint32_t point = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
        point = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        point = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        point = b0 & 0x07;
    } else {
        return 0;
    }
    if (s.size() < n)
        return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((octet(i) & 0xC0) != 0x80)
            return 0;
        point = point << 6 | (octet(i) & 0x3F);
    }
    // No overlong forms, no surrogates, nothing beyond U+10FFFF.
    if ((n == 3 && point < 0x800) || (n == 4 && (point < 0x10000 || point > 0x10FFFF))
        || (point >= 0xD800 && point <= 0xDFFF))
        return 0;
    return n;
}

}  // namespace

std::string Latin1VersUtf8(std::string_view texte)
{
    std::string utf8;
    for (const char c : texte) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (b >> 6));
            utf8 += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return utf8;
}

std::string Utf8Valide(std::string_view texte)
{
    std::string sortie;
    while (!texte.empty()) {
        const std::size_t n = LongueurSequence(texte);
        if (n == 0) {
            sortie += kRemplacement;
            texte.remove_prefix(1);
        } else {
            sortie += texte.substr(0, n);
            texte.remove_prefix(n);
        }
    }
    return sortie;
}

std::string EchappeHtml(std::string_view texte)
{
    std::string sortie;
    for (const char c : texte) {
        const auto b = static_cast<std::uint8_t>(c);
        switch (c) {
        case '&': sortie += "&amp;"; break;
        case '<': sortie += "&lt;"; break;
        case '>': sortie += "&gt;"; break;
        case '"': sortie += "&quot;"; break;
        case '\'': sortie += "&#39;"; break;
        default:
            if ((b < 0x20 && c != '\t' && c != '\n' && c != '\r') || b == 0x7F)
                sortie += kRemplacement;
            else
                sortie += c;
        }
    }
    return sortie;
}

std::string TexteAffichable(std::string_view texte)
{
    std::string sortie;
    for (std::size_t i = 0; i < texte.size(); ++i) {
        const auto b = static_cast<std::uint8_t>(texte[i]);
        const auto suivant = i + 1 < texte.size() ? static_cast<std::uint8_t>(texte[i + 1]) : 0;
        char code[12];
        if (b < 0x20 || b == 0x7F) {
            std::snprintf(code, sizeof code, "\\x%02X", b);
            sortie += code;
        } else if (b == 0xC2 && suivant >= 0x80 && suivant <= 0x9F) {
            // C1 controls (U+0080..U+009F, CSI among them) act on some terminals too.
            std::snprintf(code, sizeof code, "\\u%04X", suivant);
            sortie += code;
            ++i;
        } else {
            sortie += texte[i];
        }
    }
    return sortie;
}
