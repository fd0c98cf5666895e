// The game's five songs: two stage themes, the boss theme, the last boss's
// theme and the jingle of the results screen. Each looping song ends on a
// dominant chord that leads back into its first bar.
#include "songs.h"

// The scores are laid out by bar and section, as a musician reads them.
// clang-format off

namespace score {

namespace {

Song stage1() {
    // "Amber Frontier": bright A minor, driving.
    Song s{"stage1", 150, {80, 81, 48, 38}, {}};
    const std::string aTheme =
        "E5:4 A5:4 B5:2 C6:2 B5:2 A5:2  C6:6 A5:2 F5:4 A5:4  B5:4 G5:2 D5:2 G5:4 B5:2 D6:2  C6:8 B5:4 A5:4 "
        "E5:4 A5:4 B5:2 C6:2 D6:2 E6:2  F6:6 E6:2 C6:4 A5:4 ";
    const std::string bTheme =
        "A5:2 C6:2 F6:4 E6:4 C6:4  D6:6 B5:2 G5:8  G5:2 B5:2 E6:4 D6:4 B5:4  C6:6 A5:2 E5:8 "
        "F5:2 A5:2 D6:4 C6:2 A5:2 F5:4  G5:4 B5:4 D6:4 F6:4  E6:8 G6:4 E6:4 ";
    s.sections = {
        {"Am Am F G", "", "drive", "up16", "intro", true, true, true},
        {"Am F G Am Am F G E", aTheme + "D6:4 B5:2 G5:2 D6:4 C6:2 B5:2  B5:8 G#5:4 E5:4", "drive", "up16", "rock", true,
         true},
        {"Am F G Am Am F G Am", aTheme + "D6:4 B5:4 G5:4 B5:4  A5:12 r:4", "drive", "updown8", "drive", true, true},
        {"F G Em Am Dm G C E", bTheme + "G#5:4 B5:4 E6:4 D6:4", "pump", "stab", "rock", true, true},
        {"F G Em Am Dm G C E", bTheme + "E6:12 r:4", "drive", "up16", "drive", true, true, true, 1, true},
        {"Dm Am Bb C Dm Am Bb E",
         "A5:8 F5:4 D5:4  E5:12 C5:4  D5:8 F5:4 Bb5:4  G5:12 E5:4  A5:8 D6:4 C6:4  E6:8 C6:4 A5:4  "
         "Bb5:4 D6:4 F6:4 D6:4  E6:8 D6:4 B5:4",
         "walk", "updown8", "half", true, true},
        {"F G Am E",
         "C6:4 A5:4 F5:4 A5:4  B5:4 G5:4 D5:4 G5:4  A5:4 E5:4 C5:4 E5:4  B4:4 E5:4 G#5:4 B5:4", "gallop", "up16",
         "drive", true, true, true, 1, true},
    };
    return s;
}

Song stage2() {
    // "The Iron Current": D minor, heavier and syncopated.
    Song s{"stage2", 132, {81, 4, 50, 33}, {}};
    s.instruments.compVolume = 78;
    s.sections = {
        {"Dm Dm Bb A", "", "sync", "stab", "break", true, true, true},
        {"Dm Bb Gm A Dm Bb C A",
         "D5:3 F5:3 A5:2 G5:4 F5:4  F5:6 D5:2 Bb4:8  G5:3 Bb5:3 D6:2 C6:4 Bb5:4  A5:8 C#6:4 E6:4 "
         "F6:3 E6:3 D6:2 A5:8  Bb5:3 A5:3 G5:2 F5:4 D5:4  E5:3 G5:3 C6:2 Bb5:4 G5:4  A5:12 r:4",
         "sync", "stab", "break", true, true},
        {"Gm Dm Gm A Bb F Gm A",
         "D6:4 Bb5:4 G5:4 Bb5:4  A5:8 F5:4 D5:4  G5:2 A5:2 Bb5:4 C6:4 D6:4  E6:8 C#6:4 A5:4 "
         "F6:6 D6:2 Bb5:8  C6:6 A5:2 F5:8  Bb5:4 A5:4 G5:4 F5:4  E5:4 A5:4 C#6:4 E6:4",
         "drive", "updown8", "rock", true, true, true, 1, true},
        {"Dm Bb Gm A Dm Bb C A",
         "D5:3 F5:3 A5:2 G5:4 F5:4  F5:6 D5:2 Bb4:8  G5:3 Bb5:3 D6:2 C6:4 Bb5:4  A5:8 C#6:4 E6:4 "
         "F6:3 E6:3 D6:2 A5:8  Bb5:3 A5:3 G5:2 F5:4 D5:4  E5:3 G5:3 C6:2 Bb5:4 G5:4  A5:12 r:4",
         "sync", "up16", "drive", true, true, true, 1, true},
        {"Bb C Dm Dm Bb C A A",
         "D5:12 F5:4  E5:12 G5:4  F5:8 A5:8  D6:16  D6:4 C6:4 Bb5:4 A5:4  G5:4 A5:4 Bb5:4 C6:4  C#6:8 E6:8  A5:8 r:8",
         "walk", "updown8", "half", true, true},
        {"Bb C A7 A7", "", "sync", "stab", "break", true, true},
    };
    return s;
}

Song boss() {
    // The bosses' theme: E minor, fast and relentless.
    Song s{"boss", 160, {30, 29, 48, 34}, {}};
    s.instruments.doubling = 48;
    s.instruments.leadVolume = 92;
    s.instruments.compVolume = 64;
    const std::string aTheme =
        "E5:2 E5:2 G5:2 E5:2 B5:4 A5:2 G5:2  C6:6 B5:2 G5:4 E5:4  F#5:2 F#5:2 A5:2 F#5:2 D6:4 C6:2 A5:2 "
        "B5:8 D#6:4 F#6:4  G6:4 F#6:2 E6:2 B5:4 G5:4  E6:4 D6:2 C6:2 G5:4 E5:4  F#5:2 A5:2 D6:2 F#6:2 E6:4 D6:4 "
        "D#6:8 B5:8";
    s.sections = {
        {"Em Em C B", "", "gallop", "power", "boss", false, true, true},
        {"Em C D B Em C D B", aTheme, "gallop", "power", "boss", true, true, true, 2},
        {"Am Em Am B C D Em B",
         "A5:4 C6:4 E6:4 C6:4  B5:8 G5:4 E5:4  A5:2 B5:2 C6:4 D6:4 E6:4  F#6:8 D#6:8 "
         "E6:4 G6:4 E6:2 D6:2 C6:4  D6:4 F#6:4 D6:2 C6:2 A5:4  B5:4 E6:4 G6:4 B6:4  A6:4 F#6:4 D#6:4 B5:4",
         "drive", "up16", "blast", true, true, true, 1, true},
        {"Em Em F F Em Em C B",
         "E5:16  G5:8 F#5:8  F5:8 A5:8  C6:16  B5:8 G5:8  E6:16  E6:8 G6:8  F#6:8 D#6:8", "long", "updown8", "half",
         true, true},
        {"Em C D B Em C D B", aTheme, "gallop", "power", "boss", true, true, true, 1, true},
        {"Em C D B",
         "E5:2 G5:2 B5:2 E6:2 G6:4 E6:4  C6:2 E6:2 G6:2 C7:2 B6:4 G6:4  D6:2 F#6:2 A6:2 D7:2 C7:4 A6:4 "
         "B6:4 A6:4 F#6:4 D#6:4",
         "gallop", "power", "blast", true, true},
    };
    return s;
}

Song lastBoss() {
    // The last boss: C harmonic minor, the fastest and darkest song.
    Song s{"lastboss", 172, {81, 19, 52, 38}, {}};
    s.instruments.doubling = 48;
    s.instruments.compVolume = 66;
    const std::string aTheme =
        "C6:3 Eb6:3 G6:2 F6:4 Eb6:4  Eb6:3 C6:3 Ab5:2 C6:8  F5:2 Ab5:2 C6:2 F6:2 Eb6:4 C6:4  B5:8 D6:4 G6:4 "
        "G6:3 F6:3 Eb6:2 D6:4 C6:4  Ab5:4 C6:4 Eb6:4 Ab6:4  G6:4 F6:4 D6:4 Bb5:4  B5:4 D6:4 F6:4 G6:4";
    s.sections = {
        {"Cm Cm Ab G7", "", "pump", "up16", "intro", true, true, true},
        {"Cm Ab Fm G Cm Ab Bb G7", aTheme, "gallop", "up16", "boss", true, true},
        {"Fm Cm Db G Fm Cm Ab G",
         "Ab6:8 G6:4 F6:4  G6:8 Eb6:4 C6:4  F6:8 Db6:4 Ab5:4  B5:8 D6:8  C6:4 F6:4 Ab6:4 F6:4 "
         "Eb6:4 G6:4 C7:4 G6:4  Ab6:4 G6:4 F6:4 Eb6:4  D6:8 B5:8",
         "drive", "power", "blast", true, true, true, 1, true},
        {"Eb Bb Cm Ab Fm G Cm G",
         "G5:4 Bb5:4 Eb6:8  D6:4 F6:4 Bb5:8  Eb6:4 G6:4 C6:8  C6:4 Eb6:4 Ab5:8  F6:6 Eb6:2 C6:8  D6:6 F6:2 B5:8 "
         "C6:2 D6:2 Eb6:2 F6:2 G6:8  B6:8 G6:8",
         "walk", "updown8", "rock", true, true, true, 1, true},
        {"Cm Ab Fm G Cm Ab Bb G7", aTheme, "gallop", "power", "boss", true, true, true, 1, true},
        {"Cm Cm Ab Ab Fm Fm G G",
         "( C6:1 D6:1 Eb6:1 G6:1 )x4 ( G6:1 Eb6:1 D6:1 C6:1 )x4 ( Ab5:1 C6:1 Eb6:1 Ab6:1 )x4 "
         "( Ab6:1 Eb6:1 C6:1 Ab5:1 )x4 ( F5:1 Ab5:1 C6:1 F6:1 )x4 ( F6:1 C6:1 Ab5:1 F5:1 )x4 "
         "( G5:1 B5:1 D6:1 G6:1 )x4 B6:4 G6:4 D6:4 B5:4",
         "gallop", "stab", "blast", true, true},
        {"Fm Db G G7", "C6:4 Ab5:4 F5:4 Ab5:4  Db6:4 Ab5:4 F5:4 Ab5:4  D6:4 B5:4 G5:4 B5:4  F6:4 D6:4 B5:4 G5:4",
         "pump", "up16", "drive", true, true},
    };
    return s;
}

Song clear() {
    // The results jingle: a short fanfare in C major that ends on a held chord.
    Song s{"CLEAR", 140, {61, 56, 48, 33}, {}};
    s.instruments.compVolume = 84;
    s.instruments.doubling = 57;
    s.sections = {
        {"G:16", "r:16", "none", "none", "roll", false, false, false},
        {"C F G:8 G7:8", "G5:2 C6:2 E6:2 G6:2 E6:2 G6:2 C7:4  A6:4 F6:2 A6:2 C7:8  B6:2 A6:2 G6:2 F6:2 D6:4 B5:4",
         "walk", "stab", "rock", true, false, true, 1, true},
        {"C:16", "C7:12 r:4", "long", "none", "none", true, false, true},
    };
    return s;
}

} // namespace

std::vector<Song> gameSongs() { return {stage1(), stage2(), boss(), lastBoss(), clear()}; }

} // namespace score
// clang-format on
