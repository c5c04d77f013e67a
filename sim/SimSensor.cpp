// Thread-safe public face of a simulated sensor.
#include <algorithm>
#include <type_traits>

#include "SimSensorState.h"

namespace vantor::sim {

namespace {
std::size_t Index(Monit channel)
{
    return static_cast<std::size_t>(channel);
}

// A field of a sensor's state, read or written under its mutex.
template <typename State, typename T>
T Get(const State& state, T State::*field)
{
    const std::lock_guard<std::mutex> lock(state.mutex);
    return state.*field;
}

template <typename State, typename T>
void Put(State& state, T State::*field, const std::type_identity_t<T>& value)
{
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.*field = value;
}
}  // namespace

SimSensor::SimSensor(std::shared_ptr<State> state) : state_(std::move(state)) {}
SimSensor::~SimSensor() = default;

#define LOCK const std::lock_guard<std::mutex> lock(state_->mutex)

std::uint8_t SimSensor::Address() const
{
    return Get(*state_, &State::address);
}
void SimSensor::SetAddress(std::uint8_t address)
{
    Put(*state_, &State::address, address);
}
std::uint8_t SimSensor::BaudIndex() const
{
    return Get(*state_, &State::baudIndex);
}
void SimSensor::SetBaudIndex(std::uint8_t index)
{
    Put(*state_, &State::baudIndex, index);
}
LineMode SimSensor::Mode() const
{
    return Get(*state_, &State::mode);
}
void SimSensor::SetMode(LineMode mode)
{
    Put(*state_, &State::mode, mode);
}
std::string SimSensor::Serial() const
{
    LOCK;
    return {state_->serial.begin(), state_->serial.end()};
}
void SimSensor::SetSerial(const std::string& serial)
{
    LOCK;
    state_->SetSerialLocked(serial);
}

void SimSensor::SetFirmware(std::uint8_t major, std::uint8_t minor)
{
    LOCK;
    state_->fwMajor = major;
    state_->fwMinor = minor;
}

std::pair<std::uint8_t, std::uint8_t> SimSensor::Firmware() const
{
    LOCK;
    return {state_->fwMajor, state_->fwMinor};
}

std::uint16_t SimSensor::Holding(int reg) const
{
    LOCK;
    return state_->HoldingLocked(reg).value_or(0);
}

void SimSensor::SetHolding(int reg, std::uint16_t value)
{
    LOCK;
    State& s = *state_;
    switch (reg) {
    case 2: s.system[2] = value; break;
    case 3: s.system[3] = value; break;
    case 6:
        s.baudIndex = static_cast<std::uint8_t>(value >> 8);
        s.address = static_cast<std::uint8_t>(value & 0xFF);
        break;
    case 7: s.fifoWord = value; break;
    case 8:
    case 9:
    case 10:
    case 11: {
        const auto i = static_cast<std::size_t>(reg - 8) * 2;
        s.serial[i] = static_cast<char>(value >> 8);
        s.serial[i + 1] = static_cast<char>(value & 0xFF);
        break;
    }
    default: break;
    }
}

std::uint16_t SimSensor::Input(int reg)
{
    LOCK;
    if (reg < 0 || reg >= kInputCount)
        return 0;
    return state_->InputsLocked(Clock::now())[static_cast<std::size_t>(reg)];
}

void SimSensor::SetInput(int reg, std::uint16_t value)
{
    LOCK;
    if (reg >= 0 && reg < kInputCount)
        state_->inputOverride[static_cast<std::size_t>(reg)] = value;
}

void SimSensor::ClearInputOverrides()
{
    LOCK;
    state_->inputOverride.fill(std::nullopt);
}

std::uint16_t SimSensor::System(int reg) const
{
    LOCK;
    if (reg < kSystemFirst || reg > kSystemLast)
        return 0;
    return state_->system[static_cast<std::size_t>(reg - kSystemFirst)];
}

void SimSensor::SetSystem(int reg, std::uint16_t value)
{
    LOCK;
    if (reg >= kSystemFirst && reg <= kSystemLast)
        state_->system[static_cast<std::size_t>(reg - kSystemFirst)] = value;
}

double SimSensor::CutoffHz() const
{
    LOCK;
    return state_->CutoffHzLocked();
}

void SimSensor::ForceMonitor(Monit channel, std::optional<std::uint16_t> raw)
{
    LOCK;
    if (Index(channel) < state_->monitorOverride.size())
        state_->monitorOverride[Index(channel)] = raw;
}

void SimSensor::ForceTemperature(std::optional<float> celsius)
{
    Put(*state_, &State::temperatureOverride, celsius);
}

std::uint16_t SimSensor::NominalRaw(Monit channel)
{
    return LivingSignals::Nominal(static_cast<int>(channel));
}

std::pair<std::uint16_t, std::uint16_t> SimSensor::RawRange(Monit channel)
{
    return {LivingSignals::Low(static_cast<int>(channel)), LivingSignals::High(static_cast<int>(channel))};
}

void SimSensor::SetFaults(const SensorFaults& faults)
{
    std::function<void()> wake;
    {
        LOCK;
        state_->faults = faults;
        wake = state_->wakeBus;
    }
    if (wake)
        wake();
}
SensorFaults SimSensor::Faults() const
{
    return Get(*state_, &State::faults);
}
void SimSensor::SetRebootTime(std::chrono::milliseconds t)
{
    Put(*state_, &State::rebootTime, t);
}
void SimSensor::SetSelfTestTime(std::chrono::milliseconds t)
{
    Put(*state_, &State::selfTestTime, t);
}
bool SimSensor::Rebooting() const
{
    LOCK;
    return state_->RebootingLocked(Clock::now());
}
bool SimSensor::SelfTestRunning() const
{
    LOCK;
    return Clock::now() < state_->selfTestUntil;
}

int SimSensor::RequestCount(std::uint8_t functionCode) const
{
    LOCK;
    const auto it = state_->requests.find(functionCode);
    return it == state_->requests.end() ? 0 : it->second;
}

int SimSensor::RequestCount() const
{
    LOCK;
    int n = 0;
    for (const auto& [fc, count] : state_->requests)
        n += count;
    return n;
}

int SimSensor::AnswerCount() const
{
    return Get(*state_, &State::answers);
}
int SimSensor::ResetCount() const
{
    return Get(*state_, &State::resets);
}
int SimSensor::SelfTestCount() const
{
    return Get(*state_, &State::selfTests);
}

void SimSensor::ClearCounters()
{
    LOCK;
    state_->requests.clear();
    state_->answers = state_->resets = state_->selfTests = 0;
}

#undef LOCK

}  // namespace vantor::sim
