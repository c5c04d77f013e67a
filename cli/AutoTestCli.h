// The self test as the report and the selftest command run it.
#pragma once

#include <chrono>
#include <cstdint>

struct TAutoTest {
    bool reussi = false;
    bool vu = false;                     // the self-test bits were seen set at least once
    std::chrono::milliseconds duree{0};  // from the start until the bits cleared, or the time-out
    std::uint16_t etat = 0;              // the last status word read
};

// Sends the self-test function code (a failure of the exchange or an exception answer throws),
// then reads the status word until bits 4-7 of its high byte are clear (pass) or the time-out
// has passed (fail). A status read that fails is retried until the time-out.
TAutoTest LanceAutoTest(std::chrono::milliseconds delai);

inline constexpr std::chrono::milliseconds kDelaiAutoTest{5000};
