// Turns the score language into MIDI tracks.
#include "score.h"

#include <cctype>
#include <map>
#include <sstream>
#include <stdexcept>

namespace score {

namespace {

constexpr uint32_t kSixteenth = midi::kTicksPerQuarter / 4;
constexpr uint32_t kBar = kSixteenth * 16;

int pitchClass(const std::string& s, size_t& i) {
    static const std::map<char, int> base = {{'C', 0}, {'D', 2}, {'E', 4}, {'F', 5},
                                             {'G', 7}, {'A', 9}, {'B', 11}};
    auto it = base.find(static_cast<char>(std::toupper(s.at(i))));
    if (it == base.end()) throw std::runtime_error("bad note name: " + s);
    int pc = it->second;
    ++i;
    if (i < s.size() && s[i] == '#')
        pc += 1, ++i;
    else if (i < s.size() && s[i] == 'b')
        pc -= 1, ++i;
    return pc;
}

// "C#5" -> MIDI key (C4 = 60).
int noteKey(const std::string& s) {
    size_t i = 0;
    const int pc = pitchClass(s, i);
    const int octave = std::stoi(s.substr(i));
    return 12 * (octave + 1) + pc;
}

struct Note {
    uint32_t start, length;
    int key; // -1 rest
};

std::vector<std::string> tokens(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    std::string t;
    while (in >> t) out.push_back(t);
    return out;
}

// Expands "(" ... ")xN" groups.
std::vector<std::string> expand(const std::vector<std::string>& toks, size_t& i, bool nested) {
    std::vector<std::string> out;
    while (i < toks.size()) {
        const std::string& t = toks[i++];
        if (t == "(") {
            std::vector<std::string> group = expand(toks, i, true);
            const std::string& close = toks.at(i - 1);
            const int times = close.size() > 2 ? std::stoi(close.substr(2)) : 1;
            for (int k = 0; k < times; ++k) out.insert(out.end(), group.begin(), group.end());
        } else if (t.rfind(")", 0) == 0) {
            if (!nested) throw std::runtime_error("unbalanced ) in melody");
            return out;
        } else {
            out.push_back(t);
        }
    }
    if (nested) throw std::runtime_error("unclosed ( in melody");
    return out;
}

std::vector<Note> parseMelody(const std::string& text, uint32_t start) {
    std::vector<std::string> toks = tokens(text);
    size_t i = 0;
    toks = expand(toks, i, false);
    std::vector<Note> notes;
    uint32_t len = 4, at = start;
    for (const std::string& t : toks) {
        const size_t colon = t.find(':');
        const std::string name = t.substr(0, colon);
        if (colon != std::string::npos) len = static_cast<uint32_t>(std::stoi(t.substr(colon + 1)));
        notes.push_back({at, len * kSixteenth, name == "r" ? -1 : noteKey(name)});
        at += len * kSixteenth;
    }
    return notes;
}

struct Chord {
    uint32_t start, length;
    int root;               // pitch class
    std::vector<int> tones; // intervals above the root
};

std::vector<Chord> parseChords(const std::string& text, uint32_t start) {
    std::vector<Chord> chords;
    uint32_t at = start;
    for (const std::string& t : tokens(text)) {
        const size_t colon = t.find(':');
        std::string sym = t.substr(0, colon);
        const uint32_t len =
            colon == std::string::npos ? 16 : static_cast<uint32_t>(std::stoi(t.substr(colon + 1)));
        size_t i = 0;
        const int root = (pitchClass(sym, i) + 12) % 12;
        const std::string q = sym.substr(i);
        std::vector<int> tones;
        // clang-format off
        if (q.empty()) tones = {0, 4, 7};
        else if (q == "m") tones = {0, 3, 7};
        else if (q == "7") tones = {0, 4, 7, 10};
        else if (q == "m7") tones = {0, 3, 7, 10};
        else if (q == "maj7") tones = {0, 4, 7, 11};
        else if (q == "dim") tones = {0, 3, 6, 9};
        else if (q == "sus4") tones = {0, 5, 7};
        else if (q == "5") tones = {0, 7};
        else throw std::runtime_error("bad chord: " + t);
        // clang-format on
        chords.push_back({at, len * kSixteenth, root, tones});
        at += len * kSixteenth;
    }
    return chords;
}

// Bass roots lie between E2 and D#3.
int bassRoot(int pc) { return 36 + pc + (pc < 4 ? 12 : 0); }

// Chord tones around middle C for the accompaniment, closest voicing to F4.
std::vector<int> voicing(const Chord& c, int count) {
    std::vector<int> keys;
    int base = 60 + c.root;
    if (base > 66) base -= 12;
    for (int k = 0; static_cast<int>(keys.size()) < count; ++k) {
        const int tone = c.tones[k % c.tones.size()] + 12 * static_cast<int>(k / c.tones.size());
        keys.push_back(base + tone);
    }
    return keys;
}

struct Parts {
    midi::Track lead{"Lead", 0}, comp{"Accompaniment", 1}, pad{"Pad", 2}, bass{"Bass", 3},
        doubling{"Doubling", 4}, drums{"Drums", 9};
};

void playBass(midi::Track& t, const Chord& c, const std::string& style) {
    const int r = bassRoot(c.root), fifth = r + 7, oct = r + 12;
    const uint32_t s = kSixteenth;
    auto n = [&](uint32_t at16, uint32_t len16, int key, int vel) {
        if (at16 * s < c.length)
            t.note(c.start + at16 * s, std::min(len16 * s, c.length - at16 * s) - 10, key, vel);
    };
    const uint32_t steps = c.length / s;
    if (style == "drive") {
        for (uint32_t k = 0; k < steps; k += 2) n(k, 2, (k / 2) % 2 ? oct : r, k % 4 == 0 ? 104 : 92);
    } else if (style == "pump") {
        for (uint32_t k = 0; k < steps; k += 2) n(k, 2, r, k % 8 == 0 ? 108 : 94);
    } else if (style == "gallop") {
        for (uint32_t k = 0; k < steps; k += 4) {
            n(k, 2, r, 108);
            n(k + 2, 1, r, 88);
            n(k + 3, 1, (k / 4) % 2 ? fifth : r, 92);
        }
    } else if (style == "sync") {
        const int pattern[][3] = {{0, 3, 0}, {3, 3, 0}, {6, 2, 12}, {8, 2, 0}, {10, 2, 7}, {12, 4, 10}};
        for (auto& p : pattern) n(p[0], p[1], r + p[2], p[0] == 0 ? 108 : 94);
        if (steps > 16)
            for (auto& p : pattern) n(16 + p[0], p[1], r + p[2], 94);
    } else if (style == "walk") {
        const int tones[] = {0, 7, 12, 7};
        for (uint32_t k = 0; k < steps; k += 4) n(k, 4, r + tones[(k / 4) % 4], 98);
    } else if (style == "long") {
        n(0, steps, r, 100);
    }
}

void playComp(midi::Track& t, const Chord& c, const std::string& style) {
    const uint32_t s = kSixteenth, steps = c.length / s;
    const std::vector<int> v = voicing(c, 4);
    if (style == "up16") {
        for (uint32_t k = 0; k < steps; ++k) t.note(c.start + k * s, s - 10, v[k % 4], k % 4 == 0 ? 84 : 66);
    } else if (style == "updown8") {
        const int order[] = {0, 1, 2, 3, 2, 1};
        for (uint32_t k = 0; k < steps; k += 2)
            t.note(c.start + k * s, 2 * s - 10, v[order[(k / 2) % 6]], 72);
    } else if (style == "stab") {
        for (uint32_t k = 2; k < steps; k += 4)
            for (int i = 0; i < 3; ++i) t.note(c.start + k * s, s + 20, v[i], 76);
    } else if (style == "power") {
        const uint32_t hits[] = {0, 3, 6, 10, 12};
        for (uint32_t k = 0; k < steps; k += 16)
            for (uint32_t h : hits)
                if (k + h < steps)
                    for (int i = 0; i < 3; ++i)
                        t.note(c.start + (k + h) * s, 2 * s - 20, v[i], h == 0 ? 92 : 80);
    }
}

void playPad(midi::Track& t, const Chord& c) {
    for (int key : voicing(c, 3)) t.note(c.start, c.length - 20, key - 12, 64);
}

enum Drum {
    Kick = 36,
    Snare = 38,
    ClosedHat = 42,
    OpenHat = 46,
    Crash = 49,
    Ride = 51,
    TomLo = 45,
    TomMid = 47,
    TomHi = 50,
    Clap = 39
};

void playDrumBar(midi::Track& t, uint32_t at, const std::string& style, bool fill, bool crash) {
    struct Line {
        int key;
        const char* steps;
        int velocity;
    };
    static const std::map<std::string, std::vector<Line>> patterns = {
        {"rock",
         {{Kick, "x.......x.x.....", 110},
          {Snare, "....x.......x...", 104},
          {ClosedHat, "x.x.x.x.x.x.x.x.", 72}}},
        {"drive",
         {{Kick, "x...x...x...x...", 112},
          {Snare, "....x.......x...", 104},
          {ClosedHat, "x.x.x.x.x.x.x.x.", 66},
          {OpenHat, "..x...x...x...x.", 70}}},
        {"half",
         {{Kick, "x.........x.....", 108},
          {Snare, "........x.......", 100},
          {ClosedHat, "x.x.x.x.x.x.x.x.", 64}}},
        {"boss",
         {{Kick, "x.x...x.x.x...x.", 114},
          {Snare, "....x..x....x...", 106},
          {ClosedHat, "xxxxxxxxxxxxxxxx", 60}}},
        {"blast",
         {{Kick, "x.x.x.x.x.x.x.x.", 112}, {Snare, "..x...x...x...x.", 100}, {Ride, "x.x.x.x.x.x.x.x.", 74}}},
        {"break",
         {{Kick, "x......x..x.....", 110},
          {Snare, "....x.......x..x", 102},
          {ClosedHat, "x.x.x.x.x.x.x.x.", 70}}},
        {"intro", {{Kick, "x...x...x...x...", 96}, {ClosedHat, "..x...x...x...x.", 64}}},
        {"roll", {{Snare, "xxxxxxxxxxxxxxxx", 70}}},
        {"none", {}},
    };
    auto it = patterns.find(style);
    if (it == patterns.end()) throw std::runtime_error("no drum style " + style);
    const uint32_t s = kSixteenth;
    for (const Line& line : it->second)
        for (int k = 0; k < 16; ++k) {
            if (line.steps[k] != 'x') continue;
            if (fill && k >= 8 && line.key != Kick) continue;
            int vel = line.velocity + (k % 4 == 0 ? 8 : 0);
            if (style == "roll") vel = 50 + k * 4;
            t.note(at + k * s, s - 10, line.key, vel);
        }
    if (fill) {
        const int toms[8] = {Snare, Snare, TomHi, TomHi, TomMid, TomMid, TomLo, TomLo};
        for (int k = 8; k < 16; ++k) t.note(at + k * s, s - 10, toms[k - 8], 84 + (k - 8) * 4);
    }
    if (crash) t.note(at, 4 * s, Crash, 110);
}

} // namespace

std::vector<uint8_t> render(const Song& song, double* lengthSeconds) {
    Parts p;
    midi::Track conductor(song.name, 0);
    conductor.tempo(0, song.bpm);
    conductor.timeSignature(0, 4, 4);
    const Instruments& in = song.instruments;
    struct Setup {
        midi::Track* track;
        int program, volume, pan, reverb, chorus;
    };
    const Setup setups[] = {{&p.lead, in.lead, in.leadVolume, 64, 40, 20},
                            {&p.comp, in.comp, in.compVolume, 44, 50, 30},
                            {&p.pad, in.pad, in.padVolume, 84, 80, 40},
                            {&p.bass, in.bass, in.bassVolume, 64, 20, 0},
                            {&p.doubling, in.doubling, in.doublingVolume, 74, 60, 30},
                            {&p.drums, 0, in.drumVolume, 64, 40, 0}};
    for (const Setup& s : setups) {
        s.track->controller(0, 121, 0); // reset controllers, so every loop starts alike
        s.track->program(0, s.program);
        s.track->controller(0, 7, s.volume);
        s.track->controller(0, 10, s.pan);
        s.track->controller(0, 91, s.reverb);
        s.track->controller(0, 93, s.chorus);
    }

    uint32_t at = 0;
    for (const Section& sec : song.sections) {
        for (int rep = 0; rep < sec.repeat; ++rep) {
            const std::vector<Chord> chords = parseChords(sec.chords, at);
            uint32_t end = at;
            for (const Chord& c : chords) {
                playBass(p.bass, c, sec.bass);
                playComp(p.comp, c, sec.comp);
                if (sec.pad) playPad(p.pad, c);
                end = c.start + c.length;
            }
            if ((end - at) % kBar != 0)
                throw std::runtime_error(song.name + ": chords do not fill whole bars");
            if (!sec.melody.empty()) {
                const std::vector<Note> notes = parseMelody(sec.melody, at);
                if (notes.back().start + notes.back().length != end)
                    throw std::runtime_error(song.name + ": melody and chords differ in length");
                for (const Note& n : notes) {
                    const bool onBeat = (n.start % (4 * kSixteenth)) == 0;
                    if (n.key < 0) continue;
                    p.lead.note(n.start, n.length - 12, n.key, onBeat ? 108 : 96);
                    if (sec.doubled) p.doubling.note(n.start, n.length - 12, n.key - 12, onBeat ? 96 : 86);
                }
            }
            for (uint32_t bar = at; bar < end; bar += kBar)
                playDrumBar(p.drums, bar, sec.drums, sec.fill && bar + kBar == end,
                            sec.crash && bar == at && rep == 0);
            at = end;
        }
    }
    if (lengthSeconds) *lengthSeconds = at / double(midi::kTicksPerQuarter) * 60.0 / song.bpm;
    return midi::encodeFile({conductor, p.lead, p.comp, p.pad, p.bass, p.doubling, p.drums}, at);
}

} // namespace score
