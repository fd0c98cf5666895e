// The sprite sheets: which surface holds which picture, the size of each picture, and
// where every cell lies on it. The game draws from these cells, the art generator
// paints into them and the resources test checks them, all from this one table.
#pragma once

namespace tolvane::sheet {

// Surface 0 is the back buffer; the eight pictures become surfaces 1 to 8.
enum Surface : int {
    kBackBuffer = 0,
    kShipSheet = 1,   // twenty ships side by side
    kObjectSheet = 2, // enemies, bosses and bullets
    kHudSheet = 3,    // the head-up display and the effects
    kResults = 4,     // the results screen's background
    kStage1Card = 5,  // the title cards of the three stages
    kStage2Card = 6,
    kFinalCard = 7,
    kStreakColumn = 8, // a white column, cut into the star streaks
};
constexpr int kPictures = 8;

struct Size {
    int width, height;
};
// The size of the picture of each surface (index = surface; 0 is the back buffer).
constexpr Size kSurfaceSize[kPictures + 1] = {{640, 480}, {640, 32},  {640, 480}, {384, 145}, {640, 480},
                                              {320, 240}, {320, 240}, {320, 240}, {1, 480}};

// A rectangle of a sheet. Cells that come in series (digits, animation frames) are
// the first of a row of equal cells; `next(n)` is the n-th cell to its right.
struct Cell {
    int surface, x, y, width, height;

    constexpr Cell next(int n) const { return {surface, x + n * width, y, width, height}; }
    constexpr Cell below(int n) const { return {surface, x, y + n * height, width, height}; }
};

// ---- The ship sheet ----
constexpr Cell kShip{kShipSheet, 0, 0, 32, 32}; // ship n at next(n)
constexpr int kShipPictures = 20;

// ---- The object sheet ----
constexpr Cell kRoundBullet{kObjectSheet, 0, 0, 12, 12}; // four frames
constexpr int kRoundBulletFrames = 4;
constexpr Cell kSmallEnemy{kObjectSheet, 0, 12, 48, 48}; // kinds 1 and 6
constexpr Cell kTwinGunEnemy{kObjectSheet, 48, 0, 160, 96};
constexpr Cell kTwinShotEnemy{kObjectSheet, 208, 0, 48, 64};
constexpr Cell kSecondBoss{kObjectSheet, 256, 0, 240, 96};
// A bullet for every whole heading: heading a at next(a % 40).below(a / 40).
constexpr Cell kHeadingBullet{kObjectSheet, 0, 96, 16, 16};
constexpr int kHeadingColumns = 40;
constexpr Cell kRingEnemy{kObjectSheet, 0, 240, 80, 160};
constexpr Cell kFirstBoss{kObjectSheet, 80, 240, 160, 240};
constexpr Cell kLaserEnemy{kObjectSheet, 240, 240, 80, 160};
constexpr Cell kLaserSegment{kObjectSheet, 240, 400, 32, 32};
constexpr Cell kLargeShot{kObjectSheet, 240, 432, 32, 32};
constexpr Cell kGunship{kObjectSheet, 272, 400, 160, 80};
constexpr Cell kLastBoss{kObjectSheet, 0, 400, 80, 80};

constexpr Cell headingBullet(int heading) {
    return kHeadingBullet.next(heading % kHeadingColumns).below(heading / kHeadingColumns);
}

// ---- The head-up display and effects sheet ----
constexpr Cell kGaugeBar{kHudSheet, 0, 1, 64, 16}; // drawn as wide as the gauge is full
constexpr Cell kLevelLabel{kHudSheet, 64, 0, 16, 16};
constexpr Cell kDigit{kHudSheet, 80, 0, 16, 16}; // digit d at next(d)
constexpr Cell kContactLabel{kHudSheet, 240, 0, 32, 16};
// 36 arrows, one per 10 degrees: heading 60 r + 10 c at next(c).below(r).
constexpr Cell kArrow{kHudSheet, 272, 0, 16, 16};
constexpr Cell kMarkerDisc{kHudSheet, 368, 0, 16, 16};
constexpr Cell kSphere{kHudSheet, 0, 17, 80, 80};
constexpr Cell kSpeedRing{kHudSheet, 80, 16, 48, 48}; // three frames
constexpr int kSpeedRingFrames = 3;
constexpr Cell kSpark{kHudSheet, 80, 64, 16, 16}; // eight frames
constexpr int kSparkFrames = 8;
constexpr Cell kMaxLabel{kHudSheet, 224, 16, 24, 16};
constexpr Cell kAllLabel{kHudSheet, 248, 16, 24, 16};
constexpr Cell kBonusLabel{kHudSheet, 224, 32, 40, 16};
constexpr Cell kBombLabel{kHudSheet, 224, 48, 8, 16};
constexpr Cell kBombMark{kHudSheet, 232, 48, 8, 16};
constexpr Cell kScoreLabel{kHudSheet, 224, 64, 40, 16};
constexpr Cell kTimeLabel{kHudSheet, 224, 80, 40, 16};
constexpr Cell kWreck{kHudSheet, 0, 97, 48, 48}; // eight frames of the wreck's explosion
constexpr int kWreckFrames = 8;

// ---- The full pictures ----
constexpr Cell kResultsScreen{kResults, 0, 0, 640, 480};
constexpr Cell kStageCard{kStage1Card, 0, 0, 320, 240}; // the surface is the banner's picture
constexpr Cell kStreaks{kStreakColumn, 0, 0, 1, 480};

} // namespace tolvane::sheet
