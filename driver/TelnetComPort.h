// The Telnet side of a line reached through a serial server with the com-port control option
// (RFC 2217): what goes out (data with 0xFF doubled, option negotiation, line settings, purge)
// and what comes in (data with the doubling undone, the server's negotiation answered, its
// acknowledgements noted). No sockets here: the caller moves the bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "TypesKorvane.h"
#include "comrs.h"

namespace telnet {

inline constexpr std::uint8_t kIac = 255;
inline constexpr std::uint8_t kDont = 254;
inline constexpr std::uint8_t kDo = 253;
inline constexpr std::uint8_t kWont = 252;
inline constexpr std::uint8_t kWill = 251;
inline constexpr std::uint8_t kSb = 250;
inline constexpr std::uint8_t kSe = 240;
inline constexpr std::uint8_t kBinary = 0;
inline constexpr std::uint8_t kSuppressGoAhead = 3;
inline constexpr std::uint8_t kComPort = 44;

// Com-port option commands, client to server; the server answers with the same plus 100.
inline constexpr std::uint8_t kSetBaudRate = 1;
inline constexpr std::uint8_t kSetDataSize = 2;
inline constexpr std::uint8_t kSetParity = 3;
inline constexpr std::uint8_t kSetStopSize = 4;
inline constexpr std::uint8_t kSetControl = 5;
inline constexpr std::uint8_t kPurgeData = 12;
inline constexpr std::uint8_t kServerOffset = 100;

}  // namespace telnet

class TTelnetComPort {
public:
    // Offers the com-port option and binary transfer both ways (no CR/NUL translation of data).
    TByteString Greeting();
    // Baud rate, 8 data bits, parity, stop size and no flow control, as subnegotiations.
    static TByteString LineSettings(const TLineSettings& settings);
    // Asks for the baud rate in force (value 0), which the server answers without changing it.
    static TByteString BaudQuery();
    // Discard both of the server's queues.
    static TByteString PurgeBoth();
    // Data with every 0xFF doubled, appended to out.
    static void AppendData(const std::uint8_t* octets, std::size_t n, TByteString& out);

    // Takes received bytes: data goes to `data`, the answers the negotiation asks for to
    // `replies`. A command split across calls is carried over.
    void Feed(const std::uint8_t* octets, std::size_t n, TByteString& data, TByteString& replies);

    // The server has agreed to the com-port option / has refused it.
    bool ComPortAccepted() const { return us_[telnet::kComPort].enabled; }
    bool ComPortRefused() const { return comPortRefused_; }
    // The baud rate of the server's latest acknowledgement of a baud-rate setting.
    std::optional<std::uint32_t> BaudAcknowledged() const { return baudAck_; }
    void ForgetBaudAcknowledgement() { baudAck_.reset(); }

private:
    struct TOption {
        bool enabled = false;
        bool asked = false;  // we asked for the change and await the answer
    };
    enum class TState : std::uint8_t { Data, Iac, Verb, Sub, SubIac };

    void Negotiate(std::uint8_t verb, std::uint8_t option, TByteString& replies);
    void EndSubnegotiation();

    TState state_ = TState::Data;
    std::uint8_t verb_ = 0;
    std::array<TOption, 256> us_{};   // options on our side (WILL / WONT)
    std::array<TOption, 256> him_{};  // options on the server's side (DO / DONT)
    static constexpr std::size_t kMaxSub = 32;
    std::array<std::uint8_t, kMaxSub> sub_{};
    std::size_t subSize_ = 0;
    bool comPortRefused_ = false;
    std::optional<std::uint32_t> baudAck_;
};
