// tolvane_soundgen OUTDIR: synthesises the game's six sound effects and writes
// them as RIFF WAVE files wave101.wav .. wave106.wav:
//   101 contact tick, 102 and 106 the two halves of the level-up fanfare,
//   103 the ship's explosion, 104 the bomb, 105 the laser warning.
// The sizes are fixed: the game's sound slots expect exactly these files.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr double kTau = 6.283185307179586;

struct Noise {
    uint32_t state = 0x1234567u;
    double next() { // -1..1
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return (state / 4294967295.0) * 2 - 1;
    }
};

// One-pole low-pass filter.
struct LowPass {
    double y = 0;
    double step(double x, double cutoff, double rate) {
        const double a = 1 - std::exp(-kTau * cutoff / rate);
        y += a * (x - y);
        return y;
    }
};

double envelope(double t, double attack, double decay) {
    if (t < attack) return t / attack;
    return std::exp(-(t - attack) / decay);
}

void normalise(std::vector<double>& s, double peak) {
    double m = 0;
    for (double v : s) m = std::max(m, std::abs(v));
    if (m > 0)
        for (double& v : s) v *= peak / m;
    // Short fades at both ends so nothing clicks.
    const size_t fade = std::min<size_t>(s.size() / 32, 64);
    for (size_t i = 0; i < fade; ++i) {
        s[i] *= double(i) / fade;
        s[s.size() - 1 - i] *= double(i) / fade;
    }
}

void put(std::vector<uint8_t>& v, uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i) v.push_back((x >> (8 * i)) & 255);
}

void writeWave(const std::string& path, const std::vector<double>& samples, int rate, int bits) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * (bits / 8));
    std::vector<uint8_t> v;
    v.insert(v.end(), {'R', 'I', 'F', 'F'});
    put(v, 36 + dataBytes, 4);
    v.insert(v.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(v, 16, 4);
    put(v, 1, 2); // PCM
    put(v, 1, 2); // mono
    put(v, rate, 4);
    put(v, rate * bits / 8, 4);
    put(v, bits / 8, 2);
    put(v, bits, 2);
    v.insert(v.end(), {'d', 'a', 't', 'a'});
    put(v, dataBytes, 4);
    for (double s : samples) {
        s = std::clamp(s, -1.0, 1.0);
        if (bits == 8)
            v.push_back(static_cast<uint8_t>(std::lround(128 + s * 127)));
        else
            put(v, static_cast<uint16_t>(static_cast<int16_t>(std::lround(s * 32767))), 2);
    }
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(v.data()), static_cast<std::streamsize>(v.size()));
}

// 101: a bright, very short tick for every contact (33 ms).
std::vector<double> contactTick(int n, int rate) {
    std::vector<double> s(n);
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        const double f = 3200 - 14000 * t;
        const double tone = std::sin(kTau * f * t) + 0.35 * std::sin(kTau * 2 * f * t);
        s[i] = tone * envelope(t, 0.001, 0.008);
    }
    return s;
}

// Bell partial for the level-up chimes.
double bell(double t, double f) {
    const double mod = std::sin(kTau * f * 3.5 * t) * 1.6 * std::exp(-t * 6);
    return std::sin(kTau * f * t + mod) * std::exp(-t * 3.2);
}

// 102: a rising arpeggio of bells, the level-up fanfare (2 s).
std::vector<double> levelUpChimes(int n, int rate) {
    std::vector<double> s(n, 0.0);
    const double notes[] = {523.25, 659.26, 783.99, 1046.5, 1318.5, 1568.0, 2093.0};
    for (int k = 0; k < 7; ++k) {
        const double start = k * 0.075;
        for (int i = static_cast<int>(start * rate); i < n; ++i) {
            const double t = i / double(rate) - start;
            s[i] += bell(t, notes[k]) * (k == 6 ? 1.3 : 1.0) * envelope(t, 0.002, 10);
        }
    }
    // A held major chord underneath that swells and fades.
    for (int i = 0; i < n; ++i) {
        const double t = i / double(rate);
        const double chord =
            std::sin(kTau * 523.25 * t) + std::sin(kTau * 659.26 * t) + std::sin(kTau * 783.99 * t);
        s[i] += 0.18 * chord * std::sin(std::min(1.0, t / 1.9) * M_PI) * (1 + 0.2 * std::sin(kTau * 6 * t));
    }
    return s;
}

// 103: the ship breaking apart: a cracking noise burst over a falling thump (0.6 s).
std::vector<double> shipExplosion(int n, int rate) {
    std::vector<double> s(n);
    Noise noise;
    LowPass lp;
    double phase = 0;
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        const double cutoff = 6000 * std::exp(-t * 5) + 300;
        const double crackle = lp.step(noise.next(), cutoff, rate) * envelope(t, 0.002, 0.18);
        phase += kTau * (180 * std::exp(-t * 4) + 40) / rate;
        const double thump = std::sin(phase) * envelope(t, 0.004, 0.12);
        s[i] = 1.6 * crackle + 0.8 * thump;
    }
    return s;
}

// 104: the bomb: a deep boom with a rolling rumble and a downward sweep (1.5 s).
std::vector<double> bombBlast(int n, int rate) {
    std::vector<double> s(n);
    Noise noise;
    LowPass lp1, lp2;
    double phase = 0;
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        const double rumble =
            lp2.step(lp1.step(noise.next(), 900 * std::exp(-t * 2) + 120, rate), 1500, rate);
        phase += kTau * (220 * std::exp(-t * 3) + 35) / rate;
        const double boom = std::sin(phase) * envelope(t, 0.005, 0.35);
        const double roll = 1 + 0.35 * std::sin(kTau * 7 * t);
        s[i] = 2.6 * rumble * envelope(t, 0.01, 0.5) * roll + 0.9 * boom;
    }
    return s;
}

// 105: the laser warning: a pulsing two-tone alarm over a rising charge (1 s).
std::vector<double> laserWarning(int n, int rate) {
    std::vector<double> s(n);
    double ph1 = 0, ph2 = 0;
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        const int beat = static_cast<int>(t / 0.125);
        const double f = (beat % 2 == 0) ? 990 : 740;
        ph1 += kTau * f / rate;
        const double square = std::tanh(2 * std::sin(ph1));
        const double gate =
            std::min(1.0, std::fmod(t, 0.125) / 0.004) * (std::fmod(t, 0.125) < 0.1 ? 1 : 0.15);
        ph2 += kTau * (200 + 900 * t) / rate;
        const double charge = std::sin(ph2 + 0.6 * std::sin(ph2 * 2.01));
        s[i] = 0.6 * square * gate + 0.35 * charge * t;
    }
    return s;
}

// 106: a sparkling upward sweep that follows the chimes (0.72 s, 16 bits).
std::vector<double> levelUpSparkle(int n, int rate) {
    std::vector<double> s(n);
    double ph = 0;
    Noise noise;
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        const double f = 400 * std::pow(2.0, t * 5); // five octaves a second
        ph += kTau * f / rate;
        const double sweep = std::sin(ph + 1.2 * std::sin(ph * 1.5)) * envelope(t, 0.01, 0.3);
        const double glitter = (noise.next() > 0.985 ? noise.next() : 0.0) * std::exp(-t * 2);
        const double shine =
            std::sin(kTau * 2093 * t) * std::sin(kTau * 11 * t) * 0.3 * envelope(t, 0.15, 0.2);
        s[i] = sweep + 1.5 * glitter + shine;
    }
    return s;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    // drive > 0 saturates the sound before normalising, so the blasts sound
    // loud without clipping; peak balances the effects against each other.
    struct Effect {
        int id, bytes, rate, bits;
        std::vector<double> (*make)(int, int);
        double drive, peak;
    };
    const Effect effects[] = {
        {101, 780, 22050, 8, contactTick, 0, 0.85},      {102, 44144, 22050, 8, levelUpChimes, 0, 0.9},
        {103, 13276, 22050, 8, shipExplosion, 2.0, 0.9}, {104, 33120, 22050, 8, bombBlast, 2.5, 0.95},
        {105, 22096, 22050, 8, laserWarning, 0, 0.7},    {106, 63484, 44100, 16, levelUpSparkle, 0, 0.85},
    };
    for (const Effect& e : effects) {
        const int samples = (e.bytes - 44) / (e.bits / 8);
        std::vector<double> s = e.make(samples, e.rate);
        if (e.drive > 0) {
            normalise(s, 1.0);
            for (double& v : s) v = std::tanh(e.drive * v);
        }
        normalise(s, e.peak);
        writeWave(dir + "/wave" + std::to_string(e.id) + ".wav", s, e.rate, e.bits);
    }
    return 0;
}
