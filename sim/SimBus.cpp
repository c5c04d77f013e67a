// The simulated line: receives requests on the pseudo-terminal, delimits them by silence, hands
// them to the sensors and puts their answers on the line.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "SimFaults.h"
#include "SimPty.h"
#include "SimSensorState.h"
#include "UtilKorvane.h"

namespace vantor::sim {

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kMaxFrame = 512;  // longer bursts are garbage anyway
constexpr auto kBabblePeriod = 1ms;
constexpr auto kMinSilence = std::chrono::microseconds(1750);
// How long the master side is left alone after its line hung up or failed.
constexpr auto kMasterMutedAfterFault = std::chrono::milliseconds(10);

// 3.5 character times of 11 bits, at least 1.75 ms.
Clock::duration Silence(int baud)
{
    if (baud <= 0)
        baud = 19200;
    const auto t = std::chrono::microseconds(3500LL * 11 * 1000 / baud);
    return std::max<Clock::duration>(t, kMinSilence);
}

}  // namespace

struct SimBus::Impl {
    struct Pending {
        Clock::time_point due;
        // cppcheck-suppress unusedStructMember ; read through pending.front() when it is due
        Bytes bytes;
    };

    BusOptions options;
    Pty pty;
    int wake[2] = {-1, -1};
    std::thread thread;
    std::atomic<bool> stopping{false};

    mutable std::mutex mutex;  // sensors, log, callback; taken before any sensor's own mutex
    mutable std::condition_variable frameSeen;
    std::vector<std::unique_ptr<SimSensor>> sensors;
    std::vector<Bytes> log;
    std::vector<LineSettings> logSettings;
    std::size_t frames = 0;
    std::function<void(std::uint8_t, std::uint8_t)> onBaud;

    // Serving thread only.
    Bytes rx;
    Clock::time_point lastRx{};
    Clock::duration silence = Silence(19200);
    std::vector<Pending> pending;
    Clock::time_point nextBabble{};
    Clock::time_point masterMutedUntil{};
    std::mt19937 rng;

    void Serve();
    Clock::time_point NextWake(bool babbling, bool masterMuted) const;
    int WaitForLine(pollfd (&fds)[2], Clock::time_point wakeAt, Clock::time_point now);
    void TakeEvents(const pollfd (&fds)[2], Clock::time_point now);
    void Receive(Clock::time_point now);
    void SendDue(Clock::time_point now);
    void HandleFrame(const Bytes& frame, const LineSettings& line, Clock::time_point now);
    bool Hears(const SimSensor::State& st, const LineSettings& line) const;
    Bytes AnswerLocked(SimSensor::State& st, const Bytes& pdu, Clock::time_point now,
                       std::vector<std::pair<std::uint8_t, std::uint8_t>>& baudChanges);
    void Send(const Bytes& bytes);
    void Record(Bytes frame, const LineSettings& line);
    bool AnyBabbling();
};

SimBus::SimBus(BusOptions options) : impl_(std::make_unique<Impl>())
{
    impl_->options = options;
    impl_->rng.seed(options.seed ^ 0x5EED);
    impl_->pty = OpenPty();
    if (pipe2(impl_->wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        const int e = errno;
        ClosePty(impl_->pty);
        throw std::system_error(e, std::generic_category(), "pipe2");
    }
    impl_->thread = std::thread([impl = impl_.get()] { impl->Serve(); });
}

SimBus::~SimBus()
{
    Stop();
    ClosePty(impl_->pty);
    close(impl_->wake[0]);
    close(impl_->wake[1]);
}

void SimBus::Stop()
{
    if (!impl_->thread.joinable())
        return;
    impl_->stopping = true;
    const char b = 1;
    [[maybe_unused]] const auto n = write(impl_->wake[1], &b, 1);
    impl_->thread.join();
}

const std::string& SimBus::DevicePath() const
{
    return impl_->pty.path;
}

SimSensor& SimBus::AddSensor(std::uint8_t address)
{
    const std::lock_guard<std::mutex> lock(impl_->mutex);
    const auto n = static_cast<std::uint32_t>(impl_->sensors.size());
    auto state =
        std::make_shared<SimSensor::State>(address, "AB" + std::to_string(123456 + n), impl_->options.seed + n);
    state->wakeBus = [fd = impl_->wake[1]] {
        const char b = 1;
        [[maybe_unused]] const auto written = write(fd, &b, 1);
    };
    impl_->sensors.push_back(std::unique_ptr<SimSensor>(new SimSensor(std::move(state))));
    return *impl_->sensors.back();
}

SimSensor* SimBus::SensorAt(std::uint8_t address)
{
    const std::lock_guard<std::mutex> lock(impl_->mutex);
    for (auto& s : impl_->sensors)
        if (s->Address() == address)
            return s.get();
    return nullptr;
}

std::vector<Bytes> SimBus::ReceivedFrames() const
{
    const std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->log;
}

std::vector<LineSettings> SimBus::ReceivedLineSettings() const
{
    const std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->logSettings;
}

std::size_t SimBus::FrameCount() const
{
    const std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->frames;
}

bool SimBus::WaitForFrames(std::size_t n, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(impl_->mutex);
    return impl_->frameSeen.wait_for(lock, timeout, [&] { return impl_->frames >= n; });
}

void SimBus::ClearLog()
{
    const std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->log.clear();
    impl_->logSettings.clear();
    impl_->frames = 0;
}

void SimBus::OnBaudChange(std::function<void(std::uint8_t, std::uint8_t)> callback)
{
    const std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->onBaud = std::move(callback);
}

// ---- serving thread ----

bool SimBus::Impl::AnyBabbling()
{
    const std::lock_guard<std::mutex> lock(mutex);
    return std::any_of(sensors.begin(), sensors.end(), [](const auto& s) { return s->Faults().babble; });
}

void SimBus::Impl::Serve()
{
    while (!stopping) {
        Clock::time_point now = Clock::now();
        const bool babbling = AnyBabbling();
        if (babbling && nextBabble == Clock::time_point{})
            nextBabble = now;
        if (!babbling)
            nextBabble = {};

        const bool masterMuted = now < masterMutedUntil;
        pollfd fds[2] = {{wake[0], POLLIN, 0}, {masterMuted ? -1 : pty.master, POLLIN, 0}};
        const int r = WaitForLine(fds, NextWake(babbling, masterMuted), now);
        if (r < 0 && errno != EINTR)
            break;
        if (stopping)
            break;
        now = Clock::now();
        if (r > 0)
            TakeEvents(fds, now);

        Bytes frame;
        LineSettings line;
        if (!rx.empty() && now - lastRx >= silence) {
            frame.swap(rx);
            line = LineSettingsOf(pty);
            HandleFrame(frame, line, now);
        }

        now = Clock::now();
        SendDue(now);
        // A frame counts as handled once its undelayed answer is on the line.
        if (!frame.empty())
            Record(std::move(frame), line);
        if (babbling && now >= nextBabble) {
            Send({static_cast<std::uint8_t>(rng())});
            nextBabble = std::max(nextBabble + kBabblePeriod, now);
        }
    }
}

// When the serving thread must wake up: the end of a frame, the next answer due, the next stray
// byte, the end of the master's muting; max() for none of them.
Clock::time_point SimBus::Impl::NextWake(bool babbling, bool masterMuted) const
{
    Clock::time_point wakeAt = Clock::time_point::max();
    if (!rx.empty())
        wakeAt = lastRx + silence;
    for (const auto& p : pending)
        wakeAt = std::min(wakeAt, p.due);
    if (babbling)
        wakeAt = std::min(wakeAt, nextBabble);
    if (masterMuted)
        wakeAt = std::min(wakeAt, masterMutedUntil);
    return wakeAt;
}

// Waits for the wake-up pipe or the line until wakeAt: ppoll()'s result, errno as it left it.
int SimBus::Impl::WaitForLine(pollfd (&fds)[2], Clock::time_point wakeAt, Clock::time_point now)
{
    timespec ts{};
    timespec* tsp = nullptr;
    if (wakeAt != Clock::time_point::max()) {
        const auto left = std::max<Clock::duration>(wakeAt - now, Clock::duration::zero());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        ts.tv_sec = static_cast<time_t>(ns / 1000000000);
        ts.tv_nsec = static_cast<long>(ns % 1000000000);
        tsp = &ts;
    }
    return ppoll(fds, 2, tsp, nullptr);
}

// What ppoll() saw: wake-ups drained, bytes of the line received, a line that hung up muted.
void SimBus::Impl::TakeEvents(const pollfd (&fds)[2], Clock::time_point now)
{
    if (fds[0].revents & POLLIN) {
        char drained[64];
        while (read(wake[0], drained, sizeof drained) > 0) {
        }
    }
    if (fds[1].revents & POLLIN)
        Receive(now);
    else if (fds[1].revents & (POLLHUP | POLLERR))
        masterMutedUntil = now + kMasterMutedAfterFault;  // no client: do not spin on the hang-up
}

// Puts on the line, in the order they are due, the answers whose time has come.
void SimBus::Impl::SendDue(Clock::time_point now)
{
    std::stable_sort(pending.begin(), pending.end(), [](const Pending& a, const Pending& b) { return a.due < b.due; });
    while (!pending.empty() && pending.front().due <= now) {
        Send(pending.front().bytes);
        pending.erase(pending.begin());
    }
}

void SimBus::Impl::Receive(Clock::time_point now)
{
    std::uint8_t buf[1024];
    for (;;) {
        const ssize_t n = read(pty.master, buf, sizeof buf);
        if (n > 0) {
            if (rx.size() < kMaxFrame)
                rx.insert(rx.end(), buf,
                          buf + std::min<std::size_t>(static_cast<std::size_t>(n), kMaxFrame - rx.size()));
            lastRx = now;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            masterMutedUntil = now + kMasterMutedAfterFault;
        break;
    }
    silence = Silence(options.lineBaud > 0 ? options.lineBaud : LineSpeed(pty));
}

void SimBus::Impl::Send(const Bytes& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(pty.master, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;  // nobody reads the line and its buffer is full: the bytes are lost
    }
}

void SimBus::Impl::HandleFrame(const Bytes& frame, const LineSettings& line, Clock::time_point now)
{
    std::vector<SimSensor::State*> states;
    std::function<void(std::uint8_t, std::uint8_t)> baudCallback;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        for (const auto& s : sensors)
            states.push_back(s->state_.get());
        baudCallback = onBaud;
    }

    const std::uint8_t address = frame[0];
    // The adapter echo repeats every frame sent to a sensor that shows it, valid or not.
    bool echo = false;
    for (auto* st : states) {
        const std::lock_guard<std::mutex> lock(st->mutex);
        if (st->faults.echo && (address == 0 || address == st->address))
            echo = true;
    }
    if (echo)
        pending.push_back({now, frame});
    if (frame.size() < 4 || !CheckCrc(frame))
        return;

    const Bytes pdu(frame.begin() + 1, frame.end() - 2);
    std::vector<std::pair<std::uint8_t, std::uint8_t>> baudChanges;
    for (auto* st : states) {
        const std::lock_guard<std::mutex> lock(st->mutex);
        if (address != 0 && address != st->address)
            continue;
        if (!Hears(*st, line))
            continue;  // at another speed the frame is noise to this sensor
        ++st->requests[pdu[0]];
        if (st->RebootingLocked(now))
            continue;
        const Bytes answer = AnswerLocked(*st, pdu, now, baudChanges);
        if (address == 0 || st->faults.silent || answer.empty())
            continue;
        ++st->answers;
        pending.push_back({now + std::chrono::milliseconds(std::max(st->faults.delayMs, 0)),
                           FrameAnswer(address, answer, st->faults, rng)});
    }
    if (baudCallback)
        for (const auto& [a, b] : baudChanges)
            baudCallback(a, b);
}

// Whether the sensor hears a frame sent with these line settings (the sensor's mutex held).
bool SimBus::Impl::Hears(const SimSensor::State& st, const LineSettings& line) const
{
    static constexpr int kBauds[] = {9600, 19200, 38400};
    const bool baud = !options.strictBaud || (st.baudIndex < 3 && kBauds[st.baudIndex] == line.baud);
    return baud && (!options.strictLineMode || st.mode == line.mode);
}

// The sensor's answer PDU to a request PDU, its exception faults applied; a change of its baud
// rate is added to baudChanges (the sensor's mutex held).
Bytes SimBus::Impl::AnswerLocked(SimSensor::State& st, const Bytes& pdu, Clock::time_point now,
                                 std::vector<std::pair<std::uint8_t, std::uint8_t>>& baudChanges)
{
    const std::uint8_t fc = pdu[0];
    const bool excepte =
        st.faults.exceptionRegister < 0 || (pdu.size() >= 3 && (pdu[1] << 8 | pdu[2]) == st.faults.exceptionRegister);
    if (st.faults.exceptionCode > 0 && excepte)
        return {static_cast<std::uint8_t>(fc | 0x80), static_cast<std::uint8_t>(st.faults.exceptionCode)};
    if (st.faults.ignoreWrites && (fc == 0x06 || fc == 0x42))
        return pdu;  // the usual echo, and nothing stored
    const std::uint8_t baudBefore = st.baudIndex;
    Bytes answer = st.ExecuteLocked(pdu, now);
    if (st.baudIndex != baudBefore)
        baudChanges.emplace_back(st.address, st.baudIndex);
    return answer;
}

void SimBus::Impl::Record(Bytes frame, const LineSettings& line)
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        log.push_back(std::move(frame));
        logSettings.push_back(line);
        ++frames;
    }
    frameSeen.notify_all();
}

}  // namespace vantor::sim
