#include "TelnetComPort.h"

using namespace telnet;

namespace {

// Options each side may have on: binary transfer, no go-ahead, and on our side the com-port
// option. Everything else (the server's echo, line mode, terminal types...) is refused.
bool WantedOnOurSide(std::uint8_t option)
{
    return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

bool WantedOnServerSide(std::uint8_t option)
{
    return option == kBinary || option == kSuppressGoAhead;
}

void Command(TByteString& out, std::uint8_t verb, std::uint8_t option)
{
    out.push_back(kIac);
    out.push_back(verb);
    out.push_back(option);
}

void Subnegotiation(TByteString& out, std::uint8_t command, const TByteString& value)
{
    out.push_back(kIac);
    out.push_back(kSb);
    out.push_back(kComPort);
    out.push_back(command);
    TTelnetComPort::AppendData(value.data(), value.size(), out);
    out.push_back(kIac);
    out.push_back(kSe);
}

}  // namespace

TByteString TTelnetComPort::Greeting()
{
    TByteString out;
    for (const std::uint8_t option : {kComPort, kBinary, kSuppressGoAhead}) {
        us_[option].asked = true;
        Command(out, kWill, option);
    }
    for (const std::uint8_t option : {kBinary, kSuppressGoAhead}) {
        him_[option].asked = true;
        Command(out, kDo, option);
    }
    return out;
}

TByteString TTelnetComPort::LineSettings(const TLineSettings& settings)
{
    const std::uint32_t baud = settings.baud;
    TByteString out;
    Subnegotiation(out, kSetBaudRate,
                   {static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
                    static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)});
    Subnegotiation(out, kSetDataSize, {8});
    // 1 none, 2 odd, 3 even; 1 or 2 stop bits; control 1: no flow control.
    const std::uint8_t parity = settings.parity == 1 ? 2 : settings.parity == 2 ? 3 : 1;
    Subnegotiation(out, kSetParity, {parity});
    Subnegotiation(out, kSetStopSize, {static_cast<std::uint8_t>(settings.stopBits == 1 ? 2 : 1)});
    Subnegotiation(out, kSetControl, {1});
    return out;
}

TByteString TTelnetComPort::BaudQuery()
{
    TByteString out;
    Subnegotiation(out, kSetBaudRate, {0, 0, 0, 0});
    return out;
}

TByteString TTelnetComPort::PurgeBoth()
{
    TByteString out;
    Subnegotiation(out, kPurgeData, {3});
    return out;
}

void TTelnetComPort::AppendData(const std::uint8_t* octets, std::size_t n, TByteString& out)
{
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(octets[i]);
        if (octets[i] == kIac)
            out.push_back(kIac);
    }
}

void TTelnetComPort::Feed(const std::uint8_t* octets, std::size_t n, TByteString& data, TByteString& replies)
{
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t c = octets[i];
        switch (state_) {
        case TState::Data:
            if (c == kIac)
                state_ = TState::Iac;
            else
                data.push_back(c);
            break;
        case TState::Iac:
            if (c == kIac) {
                data.push_back(kIac);
                state_ = TState::Data;
            } else if (c >= kWill) {  // WILL, WONT, DO, DONT
                verb_ = c;
                state_ = TState::Verb;
            } else if (c == kSb) {
                subSize_ = 0;
                state_ = TState::Sub;
            } else {
                state_ = TState::Data;  // NOP, data mark, go ahead, ...: nothing to do
            }
            break;
        case TState::Verb:
            Negotiate(verb_, c, replies);
            state_ = TState::Data;
            break;
        case TState::Sub:
            if (c == kIac) {
                state_ = TState::SubIac;
            } else if (subSize_ < kMaxSub) {
                sub_[subSize_++] = c;
            }
            break;
        case TState::SubIac:
            if (c == kIac) {
                if (subSize_ < kMaxSub)
                    sub_[subSize_++] = c;
                state_ = TState::Sub;
            } else {
                // IAC SE ends the subnegotiation; any other command ends a malformed one.
                EndSubnegotiation();
                state_ = TState::Data;
            }
            break;
        }
    }
}

void TTelnetComPort::Negotiate(std::uint8_t verb, std::uint8_t option, TByteString& replies)
{
    // Only a change of state is answered, and never an answer to our own question, so that two
    // sides that disagree cannot keep answering each other (RFC 854, 1143).
    const bool ours = verb == kDo || verb == kDont;
    TOption& o = ours ? us_[option] : him_[option];
    const bool wanted = ours ? WantedOnOurSide(option) : WantedOnServerSide(option);
    const bool on = verb == kDo || verb == kWill;
    const bool asked = o.asked;
    o.asked = false;
    if (on) {
        if (!wanted) {
            Command(replies, ours ? kWont : kDont, option);
            return;
        }
        if (!o.enabled && !asked)
            Command(replies, ours ? kWill : kDo, option);
        o.enabled = true;
    } else {
        if (ours && option == kComPort)
            comPortRefused_ = true;
        if (o.enabled && !asked)
            Command(replies, ours ? kWont : kDont, option);
        o.enabled = false;
    }
}

void TTelnetComPort::EndSubnegotiation()
{
    if (subSize_ < 2 || sub_[0] != kComPort)
        return;
    if (sub_[1] == kServerOffset + kSetBaudRate && subSize_ >= 6)
        baudAck_ = static_cast<std::uint32_t>(sub_[2]) << 24 | static_cast<std::uint32_t>(sub_[3]) << 16
                   | static_cast<std::uint32_t>(sub_[4]) << 8 | sub_[5];
}
