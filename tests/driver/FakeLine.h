// In-memory serial line: records what the port does with it and answers written frames
// through a scripted responder. Silence is reported at once, so thousands of transactions
// run in a moment.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TypesKorvane.h"
#include "comrs.h"

struct TFakeLineState {
    bool openSucceeds = true;
    bool open = false;
    int opens = 0;
    int closes = 0;
    int purges = 0;
    std::size_t reads = 0;
    std::vector<std::string> openedNames;
    std::vector<TLineSettings> openedSettings;
    std::vector<TByteString> writes;
    std::vector<int> writeTimeouts;
    TReadTimeouts lastReadLimits;
    std::vector<int> pauses;
    std::deque<std::uint8_t> incoming;
    // Called with each frame written; may queue an answer in `incoming`.
    std::function<void(const TByteString&, TFakeLineState&)> responder;
    // A line that never falls silent: every read yields this byte.
    bool babble = false;
    std::uint8_t babbleByte = 0x55;

    void Answer(const TByteString& octets) { incoming.insert(incoming.end(), octets.begin(), octets.end()); }
};

class TFakeLine final : public TSerialLine {
public:
    explicit TFakeLine(std::shared_ptr<TFakeLineState> state) : s_(std::move(state)) {}

    bool Open(const std::string& name, const TLineSettings& settings) override
    {
        ++s_->opens;
        s_->openedNames.push_back(name);
        s_->openedSettings.push_back(settings);
        s_->open = s_->openSucceeds;
        return s_->open;
    }
    void Close() override
    {
        if (s_->open)
            ++s_->closes;
        s_->open = false;
    }
    bool IsOpen() const override { return s_->open; }
    void Purge() override
    {
        ++s_->purges;
        s_->incoming.clear();
    }
    std::size_t Write(const std::uint8_t* octets, std::size_t n, int timeoutMs) override
    {
        const TByteString frame(octets, octets + n);
        s_->writes.push_back(frame);
        s_->writeTimeouts.push_back(timeoutMs);
        if (s_->responder)
            s_->responder(frame, *s_);
        return n;
    }
    std::size_t Read(std::uint8_t* octets, std::size_t n, const TReadTimeouts& limits) override
    {
        ++s_->reads;
        s_->lastReadLimits = limits;
        std::size_t got = 0;
        for (; got < n; ++got) {
            if (s_->babble) {
                octets[got] = s_->babbleByte;
            } else if (!s_->incoming.empty()) {
                octets[got] = s_->incoming.front();
                s_->incoming.pop_front();
            } else {
                break;
            }
        }
        return got;
    }
    void Pause(int ms) override { s_->pauses.push_back(ms); }

private:
    std::shared_ptr<TFakeLineState> s_;
};

// A fresh fake line and the state the test inspects.
inline std::pair<std::unique_ptr<TSerialLine>, std::shared_ptr<TFakeLineState>> MakeFakeLine()
{
    auto state = std::make_shared<TFakeLineState>();
    return {std::make_unique<TFakeLine>(state), state};
}
