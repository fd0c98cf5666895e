// A minimal standard MIDI file writer (format 1): a conductor track with tempo
// and metre, then one track per instrument.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace midi {

constexpr int kTicksPerQuarter = 480;

class Track {
  public:
    Track(std::string name, int channel) : name_(std::move(name)), channel_(channel) {}
    int channel() const { return channel_; }
    void program(uint32_t tick, int program);
    void controller(uint32_t tick, int number, int value);
    // A note from tick for length ticks.
    void note(uint32_t tick, uint32_t length, int key, int velocity);
    void tempo(uint32_t tick, double bpm);
    void timeSignature(uint32_t tick, int numerator, int denominator);
    // The track's bytes, ending with end-of-track at endTick.
    std::vector<uint8_t> encode(uint32_t endTick) const;

  private:
    struct Event {
        uint32_t tick;
        int order; // at one tick: meta 0, controls 1, note-offs 2, note-ons 3
        std::vector<uint8_t> bytes;
    };
    std::string name_;
    int channel_;
    std::vector<Event> events_;
};

// The whole file: header plus tracks, all ending at endTick.
std::vector<uint8_t> encodeFile(const std::vector<Track>& tracks, uint32_t endTick);

} // namespace midi
