// TConnexion: MODBUS RTU master over one TComPort. Frames request PDUs with the slave
// identifier and CRC-16, collects the answer until the line falls silent, checks it, and
// offers the request kinds of the library's exports.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "ModbusFunctions.h"
#include "TypesKorvane.h"
#include "comrs.h"

// Status of one exchange; it is also the message index of its result code.
enum : std::uint8_t {
    kStatusOk = 0,
    kStatusNoPort = 1,
    kStatusFrame = 2,
    kStatusNoAnswer = 3,
    kStatusCrc = 4,
};

using TZoneSpan = std::span<std::uint8_t, kTailleZone>;

class TConnexion {
public:
    static constexpr int kWriteAttempts = 5;
    // Longest answer whose data fit the caller's 256-byte area: identifier, function code, byte
    // count, 255 data bytes and the CRC. An answer running past it (and past the echo) is refused.
    static constexpr std::size_t kMaxAnswer = 260;

    TConnexion();
    explicit TConnexion(std::unique_ptr<TSerialLine> line);

    // Line mode code: 1 odd parity and two stop bits, 2 no parity and one stop bit, any
    // other even parity and two stop bits.
    void SetLineMode(std::int32_t code);
    // Baud code 0..5 to rate rows 1..6; any other value to row 3 (9600 baud).
    void SetBaudCode(std::int32_t code);
    // Empty names are ignored; an open port is closed, renamed and reopened.
    void SetPortName(const std::string& name);
    // -1 does nothing; i names "\\.\COM<i+1>".
    void SetPortIndex(std::int32_t index);
    // n - 1 for a name "\\.\COM<n>" (0 when that is negative); -1 for any other name.
    std::int32_t GetPortIndex() const;
    void SetSlaveId(std::uint8_t id) { slaveId_ = id; }
    std::uint8_t SlaveId() const { return slaveId_; }

    std::uint8_t Connect();
    void Disconnect();
    bool IsOpen() const { return port_.Active(); }

    // One request/answer transaction on hex text PDUs; returns the status.
    std::uint8_t Exchange(const std::string& requestHex, std::string& answerHex);

    // Request kinds; each returns a result code and never throws.
    TResultCode ReadRegisters(std::uint8_t function, std::uint16_t address, std::uint16_t quantity, std::uint8_t& count,
                              TZoneSpan data);
    TResultCode WriteRegister(std::uint8_t function, std::uint16_t address, std::uint8_t high, std::uint8_t low);
    TResultCode ResetModule();
    // The first `length` bytes of data are the request PDU; on return data holds the answer PDU
    // (the rest zero) and length its size. Lengths of 256 or more are refused with -14.
    TResultCode RawExchange(TZoneSpan data, std::uint32_t& length);

    TComPort& Port() { return port_; }
    const TComPort& Port() const { return port_; }

private:
    // Collects the answer byte by byte until the line falls silent (status 0), or gives up on a
    // line that runs on (status 2); echoSize is the length of the echo ahead of the answer.
    std::uint8_t CollectAnswer(std::size_t echoSize, TByteString& answer);
    TResultCode ExchangeCode(const std::string& requestHex, std::string& answerHex);

    std::uint8_t slaveId_ = 1;
    TComPort port_;
};
