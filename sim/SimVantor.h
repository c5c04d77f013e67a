// In-process simulator of Vantor sensors sharing one MODBUS RTU line on a pseudo-terminal.
//
// Usage:
//     vantor::sim::SimBus bus;                       // creates the pseudo-terminal, starts serving
//     vantor::sim::SimSensor& s = bus.AddSensor(1);  // a sensor answering at address 1
//     open(bus.DevicePath().c_str(), ...)            // the master side talks to it
//     s.SetFaults({.silent = true});                 // inject a fault
//     bus.Stop();                                    // or let the destructor stop it
//
// The bus keeps the master end of the pseudo-terminal and one descriptor of the slave end of its
// own (never read), so masters may open and close the device as often as they like. A background
// thread waits in poll() (no busy polling): received bytes are collected until the line has been
// silent for 3.5 character times at the line speed the master set on the device (at least
// 1.75 ms), then the frame is handed to the sensor at its address. Frames with a bad CRC or for
// an address without a sensor are ignored silently; broadcasts (address 0) are executed by every
// sensor and answered by none; nothing is sent unsolicited (except by the babbling fault).
//
// Every public member function of SimBus and SimSensor is thread-safe. Sensor references stay
// valid for the life of the bus.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vantor::sim {

using Bytes = std::vector<std::uint8_t>;

// Faults a sensor can be told to show. All off by default.
struct SensorFaults {
    bool silent = false;              // receives and counts requests, never answers
    bool wrongCrc = false;            // answers with a falsified CRC
    bool wrongAddress = false;        // answers under another address (address + 1), with a valid CRC
    int exceptionCode = 0;            // 1..255: answers every request with this exception code
    int delayMs = 0;                  // answers this many milliseconds late
    bool echo = false;                // the line echoes each request addressed to it (as an RS-485
                                      // adapter that hears itself), before any answer
    bool babble = false;              // the line never falls silent: stray bytes every millisecond
    int cutBytes = 0;                 // answers lose this many bytes at their end
    double corruptProbability = 0.0;  // each answer byte is garbled with this probability
    bool ignoreWrites = false;        // acknowledges register writes (0x06, 0x42) without storing
                                      // them, as a sensor whose memory no longer takes a value
    int exceptionRegister = -1;       // with exceptionCode: only the requests whose first
                                      // register is this one get the exception (-1: every request)
};

// Line modes a master may set: no parity with one stop bit, even or odd parity with two.
enum class LineMode : int { None = 0, Even, Odd };

// The line settings a frame was sent with, as the master set them on the device. A
// pseudo-terminal carries no parity bits, but it keeps the odd-parity flag and the stop bits the
// master asked for, from which the line mode is told.
struct LineSettings {
    int baud = 0;
    LineMode mode = LineMode::None;
    bool operator==(const LineSettings&) const = default;
};

// Monitoring channels (input registers 5..11) in register order.
enum class Monit : int { Isupply = 0, Vcell, Vref, Vin, Vdd, Vss, Vout, Count };

class SimBus;

// One simulated sensor. Obtained from SimBus::AddSensor; owned by the bus.
class SimSensor {
public:
    SimSensor(const SimSensor&) = delete;
    SimSensor& operator=(const SimSensor&) = delete;
    ~SimSensor();

    // Identity.
    std::uint8_t Address() const;                              // current MODBUS address (low byte of holding 6)
    void SetAddress(std::uint8_t address);                     // 1..127
    std::uint8_t BaudIndex() const;                            // high byte of holding 6 (0..2)
    void SetBaudIndex(std::uint8_t index);                     // 0 9600, 1 19200, 2 38400
    LineMode Mode() const;                                     // the line mode it talks in
    void SetMode(LineMode mode);                               // default LineMode::None
    std::string Serial() const;                                // 8 characters, holding 8..11
    void SetSerial(const std::string& serial);                 // padded with spaces / cut to 8 characters
    void SetFirmware(std::uint8_t major, std::uint8_t minor);  // input 12
    std::pair<std::uint8_t, std::uint8_t> Firmware() const;

    // Raw register access (16-bit words). Reading input registers gives the living values of this
    // instant; setting an input register pins it until ClearInputOverrides().
    std::uint16_t Holding(int reg) const;  // 0..11
    void SetHolding(int reg, std::uint16_t value);
    std::uint16_t Input(int reg);  // 0..12
    void SetInput(int reg, std::uint16_t value);
    void ClearInputOverrides();
    std::uint16_t System(int reg) const;  // 64..69
    void SetSystem(int reg, std::uint16_t value);

    // Cut-off frequency (Hz) of the low-pass filter, derived from coefficient B.
    double CutoffHz() const;

    // Pins the raw value of a monitoring channel (out of its range sets its status bit);
    // std::nullopt lets it live again.
    void ForceMonitor(Monit channel, std::optional<std::uint16_t> raw);
    // Pins the temperature (outside -20..70 °C sets the temperature status bit).
    void ForceTemperature(std::optional<float> celsius);
    // Nominal raw value of a channel and its allowed range (for tests and the display).
    static std::uint16_t NominalRaw(Monit channel);
    static std::pair<std::uint16_t, std::uint16_t> RawRange(Monit channel);

    // Faults.
    void SetFaults(const SensorFaults& faults);
    SensorFaults Faults() const;

    // Reboot time after a reset (0x46) and how long the self test shows in the status word.
    void SetRebootTime(std::chrono::milliseconds t);
    void SetSelfTestTime(std::chrono::milliseconds t);
    bool Rebooting() const;
    bool SelfTestRunning() const;

    // Counters: valid requests (right CRC) addressed to this sensor or broadcast, by function
    // code, counted even when the sensor is silent or rebooting.
    int RequestCount(std::uint8_t functionCode) const;
    int RequestCount() const;   // all function codes
    int AnswerCount() const;    // answers put on the line
    int ResetCount() const;     // resets executed
    int SelfTestCount() const;  // self tests executed
    void ClearCounters();

private:
    friend class SimBus;
    struct State;
    explicit SimSensor(std::shared_ptr<State> state);
    std::shared_ptr<State> state_;
};

struct BusOptions {
    // Line speed used for the silence that ends a frame; 0 follows the speed the master set on
    // the device (19200 when it set none).
    int lineBaud = 0;
    // Seed of the noise generators (reproducible signals).
    std::uint32_t seed = 1;
    // A sensor hears only the frames sent at its own baud rate (9600, 19200 or 38400 for the
    // index in holding register 6), judged by the line speed the master set on the device;
    // off, every sensor hears every frame whatever the speed.
    bool strictBaud = false;
    // A sensor hears only the frames sent in its own line mode (SimSensor::SetMode), judged by
    // the stop bits and odd-parity flag the master set on the device.
    bool strictLineMode = false;
};

class SimBus {
public:
    explicit SimBus(BusOptions options = {});  // throws std::runtime_error on failure
    ~SimBus();                                 // stops the thread
    SimBus(const SimBus&) = delete;
    SimBus& operator=(const SimBus&) = delete;

    // Path of the slave device the master opens, e.g. "/dev/pts/7".
    const std::string& DevicePath() const;

    // Adds a sensor at the address (1..127), with the default settings; the first sensor of a bus
    // has the serial number "AB123456", the next ones "AB123457", "AB123458", ...
    SimSensor& AddSensor(std::uint8_t address);
    // The sensor now at this address, or nullptr.
    SimSensor* SensorAt(std::uint8_t address);

    // Every frame the line carried from the master, as delimited by silence, in order.
    std::vector<Bytes> ReceivedFrames() const;
    // The line settings of each of those frames, in the same order.
    std::vector<LineSettings> ReceivedLineSettings() const;
    std::size_t FrameCount() const;
    // Blocks until at least n frames have been received and handled (an undelayed answer is then
    // on the line), or the time-out passed.
    bool WaitForFrames(std::size_t n, std::chrono::milliseconds timeout) const;
    void ClearLog();

    // Called (on the bus thread) after a sensor's baud index changed: address, new index.
    void OnBaudChange(std::function<void(std::uint8_t, std::uint8_t)> callback);

    // Stops and joins the serving thread; idempotent.
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vantor::sim
