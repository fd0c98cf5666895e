// Standard MIDI file encoding.
#include "midi.h"

#include <algorithm>
#include <cmath>

namespace midi {

namespace {

void putVarLen(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t buf[5];
    int n = 0;
    buf[n++] = v & 0x7f;
    while (v >>= 7) buf[n++] = 0x80 | (v & 0x7f);
    while (n) out.push_back(buf[--n]);
}

void putBe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back((v >> (8 * i)) & 255);
}

} // namespace

void Track::program(uint32_t tick, int program) {
    events_.push_back({tick, 1, {static_cast<uint8_t>(0xC0 | channel_), static_cast<uint8_t>(program)}});
}

void Track::controller(uint32_t tick, int number, int value) {
    events_.push_back(
        {tick,
         1,
         {static_cast<uint8_t>(0xB0 | channel_), static_cast<uint8_t>(number), static_cast<uint8_t>(value)}});
}

void Track::note(uint32_t tick, uint32_t length, int key, int velocity) {
    if (key < 0 || key > 127 || length == 0) return;
    velocity = std::clamp(velocity, 1, 127);
    events_.push_back(
        {tick,
         3,
         {static_cast<uint8_t>(0x90 | channel_), static_cast<uint8_t>(key), static_cast<uint8_t>(velocity)}});
    events_.push_back(
        {tick + length, 2, {static_cast<uint8_t>(0x80 | channel_), static_cast<uint8_t>(key), 64}});
}

void Track::tempo(uint32_t tick, double bpm) {
    const uint32_t us = static_cast<uint32_t>(std::lround(60000000.0 / bpm));
    events_.push_back({tick,
                       0,
                       {0xFF, 0x51, 3, static_cast<uint8_t>(us >> 16), static_cast<uint8_t>(us >> 8),
                        static_cast<uint8_t>(us)}});
}

void Track::timeSignature(uint32_t tick, int numerator, int denominator) {
    int power = 0;
    while ((1 << power) < denominator) ++power;
    events_.push_back(
        {tick, 0, {0xFF, 0x58, 4, static_cast<uint8_t>(numerator), static_cast<uint8_t>(power), 24, 8}});
}

std::vector<uint8_t> Track::encode(uint32_t endTick) const {
    std::vector<Event> events = events_;
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    std::vector<uint8_t> body;
    putVarLen(body, 0);
    body.insert(body.end(), {0xFF, 0x03});
    putVarLen(body, static_cast<uint32_t>(name_.size()));
    body.insert(body.end(), name_.begin(), name_.end());
    uint32_t now = 0;
    for (const Event& e : events) {
        const uint32_t tick = std::min(e.tick, endTick);
        putVarLen(body, tick - now);
        now = tick;
        body.insert(body.end(), e.bytes.begin(), e.bytes.end());
    }
    putVarLen(body, endTick - now);
    body.insert(body.end(), {0xFF, 0x2F, 0x00});
    std::vector<uint8_t> out = {'M', 'T', 'r', 'k'};
    putBe(out, static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> encodeFile(const std::vector<Track>& tracks, uint32_t endTick) {
    std::vector<uint8_t> out = {'M', 'T', 'h', 'd'};
    putBe(out, 6, 4);
    putBe(out, 1, 2);
    putBe(out, static_cast<uint32_t>(tracks.size()), 2);
    putBe(out, kTicksPerQuarter, 2);
    for (const Track& t : tracks) {
        const std::vector<uint8_t> bytes = t.encode(endTick);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

} // namespace midi
