// Names of serial lines reached through an Ethernet serial server, beside the device names:
//   tcp://HOST:PORT       raw bytes over TCP; the server owns the line settings
//   rfc2217://HOST:PORT   Telnet with the com-port control option (RFC 2217): the driver sets
//                         baud rate, data size, parity and stop size on the server's line
// Either may end in "?latency=MS" (0 to 10000), the network round trip to allow for instead of
// the one measured at open. HOST is a host name, an IPv4 address or an IPv6 address in brackets;
// PORT is 1 to 65535. The scheme is not case-sensitive; nothing else may follow.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class TGatewayKind : std::uint8_t { Raw, Rfc2217 };

struct TGatewayName {
    TGatewayKind kind = TGatewayKind::Raw;
    std::string host;  // without the brackets of an IPv6 address
    std::uint16_t port = 0;
    int latencyMs = -1;  // -1: measured at open
};

namespace gateway_name_detail {

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

// Decimal digits only, at most `digits` of them, within 0..max.
inline std::optional<int> Number(std::string_view text, std::size_t digits, int max)
{
    if (text.empty() || text.size() > digits)
        return std::nullopt;
    int n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n <= max ? std::optional<int>(n) : std::nullopt;
}

inline bool HostCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
           || c == '_';
}

inline bool Ipv6Character(char c)
{
    return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || (c >= '0' && c <= '9') || c == ':' || c == '.';
}

}  // namespace gateway_name_detail

// Whether the name is meant as a serial server's name (it begins with one of the two schemes),
// whether or not the rest of it is right.
inline bool IsGatewayName(std::string_view name)
{
    using gateway_name_detail::StartsWithNoCase;
    return StartsWithNoCase(name, "tcp://") || StartsWithNoCase(name, "rfc2217://");
}

// The parts of a serial server's name; nothing when the name is not one or is malformed.
inline std::optional<TGatewayName> ParseGatewayName(std::string_view name)
{
    using namespace gateway_name_detail;
    TGatewayName g;
    if (StartsWithNoCase(name, "tcp://")) {
        g.kind = TGatewayKind::Raw;
        name.remove_prefix(6);
    } else if (StartsWithNoCase(name, "rfc2217://")) {
        g.kind = TGatewayKind::Rfc2217;
        name.remove_prefix(10);
    } else {
        return std::nullopt;
    }
    if (const auto query = name.find('?'); query != std::string_view::npos) {
        const std::string_view option = name.substr(query + 1);
        if (option.substr(0, 8) != "latency=")
            return std::nullopt;
        const auto ms = Number(option.substr(8), 5, 10000);
        if (!ms)
            return std::nullopt;
        g.latencyMs = *ms;
        name = name.substr(0, query);
    }
    std::string_view host;
    std::string_view rest;
    if (!name.empty() && name.front() == '[') {
        const auto close = name.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = name.substr(1, close - 1);
        rest = name.substr(close + 1);
        for (const char c : host)
            if (!Ipv6Character(c))
                return std::nullopt;
    } else {
        const auto colon = name.find(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        host = name.substr(0, colon);
        rest = name.substr(colon);
        for (const char c : host)
            if (!HostCharacter(c))
                return std::nullopt;
    }
    if (host.empty() || host.size() > 253 || rest.empty() || rest.front() != ':')
        return std::nullopt;
    const auto port = Number(rest.substr(1), 5, 65535);
    if (!port || *port == 0)
        return std::nullopt;
    g.host = std::string(host);
    g.port = static_cast<std::uint16_t>(*port);
    return g;
}
