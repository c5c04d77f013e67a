#include "ComNames.h"

#include <algorithm>

namespace {

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool HasPrefix(std::string_view name, const TComForm& form)
{
    if (name.size() < form.prefix.size())
        return false;
    for (std::size_t i = 0; i < form.prefix.size(); ++i) {
        const bool same = form.anyCase ? Lower(name[i]) == Lower(form.prefix[i]) : name[i] == form.prefix[i];
        if (!same)
            return false;
    }
    return true;
}

}  // namespace

std::optional<std::int64_t> ComNumber(std::string_view name, const TComForm& form)
{
    if (!HasPrefix(name, form))
        return std::nullopt;
    std::string_view digits = name.substr(form.prefix.size());
    bool negative = false;
    if (form.signs) {
        if (digits.size() > 1 && digits.front() == '+')
            digits.remove_prefix(1);
        if (!digits.empty() && digits.front() == '-') {
            negative = true;
            digits.remove_prefix(1);
        }
    }
    if (digits.empty())
        return std::nullopt;
    // A number past the range's larger end stops the parse before it can overflow.
    const std::int64_t largest = std::max(form.max, -form.min);
    std::int64_t n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const int digit = c - '0';
        if (n > (largest - digit) / 10)
            return std::nullopt;
        n = n * 10 + digit;
    }
    if (negative)
        n = -n;
    if (n < form.min || n > form.max)
        return std::nullopt;
    return n;
}
