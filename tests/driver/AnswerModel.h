// Random answers for the hostile-answer tests, and the outcome a register read must give for
// each: the rules of RTU answer checking written out independently of the driver.
#pragma once

#include <random>

#include "TypesKorvane.h"
#include "UtilKorvane.h"

struct TReadOutcome {
    TResultCode code = kResOk;
    std::uint8_t count = 0;
    TDataArea data{};
};

// What a register read with function `fn` to slave `id` must report when `line` is everything
// that arrived (echo already removed).
inline TReadOutcome ExpectedRead(const TByteString& line, std::uint8_t id, std::uint8_t fn)
{
    TReadOutcome out;
    if (line.empty())
        out.code = kResNoAnswer;
    else if (line.size() > 260 || line[0] != id)  // 260: identifier, code, count, 255 data, CRC
        out.code = kResFrameError;
    else if (!CheckCrc(line))
        out.code = kResCrcError;
    if (out.code != kResOk)
        return out;
    const TByteString pdu(line.begin() + 1, line.end() - 2);
    auto at = [&](std::size_t i) -> std::uint8_t { return i < pdu.size() ? pdu[i] : 0; };
    if (!pdu.empty() && pdu[0] == (fn | 0x80)) {
        out.code = ExceptionToResultCode(at(1));
        return out;
    }
    out.count = at(1);
    for (std::size_t i = 0; i < out.count; ++i)
        out.data[i] = at(2 + i);
    return out;
}

// One answer of a randomly chosen kind: well formed, exception, garbage, truncated, foreign
// identifier, a corrupted byte, or longer than any RTU frame.
inline TByteString RandomAnswer(std::mt19937& rng, std::uint8_t id, std::uint8_t fn)
{
    auto byte = [&] { return static_cast<std::uint8_t>(rng() & 0xFF); };
    auto valid = [&](std::size_t dataBytes, std::uint8_t declared) {
        TByteString f{id, fn, declared};
        for (std::size_t i = 0; i < dataBytes; ++i)
            f.push_back(byte());
        return AppendCrc(f);
    };
    const unsigned kind = rng() % 8;
    switch (kind) {
    case 0: {
        const std::uint8_t n = static_cast<std::uint8_t>(rng() % 64);
        return valid(n, n);
    }
    case 1:  // byte count that disagrees with the data, up to the largest frame
        return valid(rng() % 252, byte());
    case 2: return AppendCrc({id, static_cast<std::uint8_t>(fn | 0x80), byte()});
    case 3: {
        TByteString g(rng() % 300);
        for (auto& b : g)
            b = byte();
        if (!g.empty() && rng() % 2)
            g[0] = id;
        return g;
    }
    case 4: {
        TByteString f = valid(rng() % 16, 8);
        f.resize(rng() % f.size());
        return f;
    }
    case 5: {
        TByteString f = valid(rng() % 16, 4);
        f[0] = static_cast<std::uint8_t>(id + 1 + rng() % 200);
        return f;
    }
    case 6: {
        TByteString f = valid(rng() % 16, 4);
        f[rng() % f.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
        return f;
    }
    default: {
        TByteString f = valid(253 + rng() % 100, 0xFF);
        return f;
    }
    }
}
