// A small score language for the game's songs. A song is a list of sections;
// each section gives its chords (one a bar unless a length is given), a lead
// melody in note names and the styles in which the bass, the accompaniment and
// the drums play those chords. Sections are played one after the other and the
// song ends exactly at the end of its last bar, so a player looping the file
// comes back in time.
//
// Melody tokens: NOTE[:LEN] or r[:LEN] for a rest; NOTE is a letter, an
// optional # or b and an octave (C4 is middle C); LEN counts sixteenths and
// carries over to the next token when left out. "(" ... ")xN" repeats a group.
// Chord tokens: ROOT[QUALITY][:LEN], QUALITY one of m, 7, m7, maj7, dim, sus4, 5.
#pragma once
#include "midi.h"

#include <string>
#include <vector>

namespace score {

struct Section {
    std::string chords;
    std::string melody;         // empty: the lead rests
    std::string bass = "drive"; // drive, pump, gallop, sync, walk, long, none
    std::string comp = "up16";  // up16, updown8, stab, power, none
    std::string drums = "rock"; // rock, drive, half, boss, blast, break, intro, roll, none
    bool pad = true;
    bool fill = false; // drum fill in the last bar
    bool crash = true; // crash cymbal on the first beat
    int repeat = 1;
    bool doubled = false; // a second instrument doubles the lead an octave lower
};

struct Instruments {
    int lead = 80, comp = 81, pad = 48, bass = 38; // General MIDI programs (0-based)
    int leadVolume = 100, compVolume = 70, padVolume = 62, bassVolume = 100, drumVolume = 100;
    int doubling = 61, doublingVolume = 72;
};

struct Song {
    std::string name;
    double bpm;
    Instruments instruments;
    std::vector<Section> sections;
};

// Renders the song into MIDI file bytes; lengthSeconds receives its duration.
std::vector<uint8_t> render(const Song& song, double* lengthSeconds = nullptr);

} // namespace score
