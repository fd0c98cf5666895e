// The object table: creating objects with the presets of their kind, the side effects
// of the marker kinds and bosses (music, gauge penalty, the end-of-game accounting),
// and the aiming routine every aimed attack uses.
#include <cmath>
#include <cstring>
#include <string>

#include "common/appdir.h"
#include "media/stools.h"
#include "presentation/presentation.h"
#include "records/records.h"
#include "session/arith.h"
#include "world/presets.h"
#include "world/world.h"

namespace tolvane {
namespace {

// Starts a song of the data folder (beside the programs, or installed) from its beginning.
void playSong(const std::string& file) {
    std::string path = (common::dataDirectory() / file).string();
    MTReadFile(path.c_str());
    MTPlay();
}

// A song replaces the one playing.
void changeMusic(const char* file) {
    MTStop();
    playSong(file);
}

void placeMarker(World& w, int s) {
    w.objX[s] = -10.0f;
    w.objY[s] = -10.0f;
}

// The end of the game: every other object goes, the final bonuses are added, the
// results music starts and, in live play, the records are written (not for a game taken
// over from a playback: its practice is written by the take-over itself).
void endGame(World& w) {
    for (w.loopIndex = 0; w.loopIndex < kObjectSlots; w.loopIndex = wrap16(w.loopIndex + 1)) {
        if (w.objKind[w.loopIndex] != kGameEnd) w.objKind[w.loopIndex] = kFree;
    }
    if (w.maxChain < w.chain) w.maxChain = w.chain;
    w.totalContacts = add32(w.totalContacts, w.chain);
    w.timeBonus = round32(w.timeLeft / 60.0 * 100000.0);
    w.finalBonus =
        add32(add32(w.timeBonus, w.totalContacts), static_cast<std::int64_t>(w.level) * w.maxChain);
    w.score = add32(w.score, w.finalBonus);
    changeMusic(kResultsSong);
    w.gameEnded = 1;
    if (w.replayMode == 0 && w.takenOver == 0) {
        saveReplay(w, "New");
        rankHiscore(w);
    }
}

void startStage(World& w, int s, f32 x) {
    w.objParamC[s] = round16(x);
    placeMarker(w, s);
    MTStop();
    // Stage n shows the title card of surface n + 4 and plays "stage<n>.mid"; the final
    // stage has no song of its own (its last boss brings one).
    int picture = w.objParamC[s];
    if (picture != sheet::kFinalCard) playSong("stage" + std::to_string(picture - 4) + ".mid");
    w.chainBase = w.chain;
}

} // namespace

void spawnObject(World& w, i16 kind, f32 x, f32 y, f32 vx, f32 vy, i16& heading) {
    if (w.timeUpDone) return;
    // The lowest free slot (memchr scans the kind column many bytes at a time).
    const void* free = std::memchr(w.objKind, kFree, kObjectSlots);
    if (!free) return; // table full: the spawn is dropped
    const int s = static_cast<int>(static_cast<const u8*>(free) - w.objKind);

    w.objKind[s] = wrap8(kind);
    w.objFrameX[s] = 0;
    w.objFrameY[s] = 0;
    w.objX[s] = x;
    w.objY[s] = y;
    w.objVx[s] = vx;
    w.objVy[s] = vy;
    w.objPhase[s] = 0;
    w.objTimer[s] = 0;
    w.objParamA[s] = 0;
    w.objParamB[s] = 0;
    w.objParamC[s] = 0;
    w.objContactWait[s] = 0;

    const KindPreset& p = kKindPresets[kind >= 0 && kind <= 17 ? kind : 0];
    w.objCellX[s] = static_cast<f32>(p.cell.x);
    w.objCellY[s] = static_cast<f32>(p.cell.y);
    w.objWidth[s] = static_cast<f32>(p.cell.width);
    w.objHeight[s] = static_cast<f32>(p.cell.height);
    w.objHitLeft[s] = p.left;
    w.objHitRight[s] = p.right;
    w.objHitTop[s] = p.top;
    w.objHitBottom[s] = p.bottom;

    switch (kind) {
    case kHeadingBullet:
        // The sheet holds one picture per degree, 40 to a row.
        if (heading < 0) heading = wrap16(heading + 360);
        w.objFrameX[s] = static_cast<f32>((heading % sheet::kHeadingColumns) * sheet::kHeadingBullet.width);
        w.objFrameY[s] = static_cast<f32>(intPart((heading % 360) / double(sheet::kHeadingColumns)) *
                                          sheet::kHeadingBullet.height);
        break;
    case kSwoopEnemy:
        w.objTimer[s] = 280;
        w.objParamA[s] = 80;
        w.objParamC[s] = x > 320 ? 1 : 0;
        break;
    case kGameEnd:
        placeMarker(w, s);
        endGame(w);
        break;
    case kStageBanner: startStage(w, s, x); break;
    case kSpeedMarker:
        w.objParamC[s] = round16(x);
        placeMarker(w, s);
        break;
    case kFirstBoss:
    case kSecondBoss:
        changeMusic(kBossSong);
        w.gaugePenalty = 16;
        break;
    case kLaserEnemy: w.objTimer[s] = 90; break;
    case kGunship:
        w.objTimer[s] = 90;
        w.objParamA[s] = x >= 320 ? -1 : 1;
        break;
    case kLastBoss:
        changeMusic(kLastBossSong);
        w.gaugePenalty = 19;
        break;
    default: break;
    }
}

void aimAtPlayer(World& w, f32 x, f32 y) {
    const double sx = w.shipX, sy = w.shipY;
    const double dx = sx - x, dy = sy - y;
    std::int64_t a;
    if (std::fabs(dy) >= 32) {
        double r = std::atan(dx / (sy + 2 - y)) * 180 / 3.14;
        if (sy < y) r = r - 180;
        a = roundToInt(r);
        if (a < 0) a += 360;
        a = 360 - a;
    } else if (dx == 0) {
        a = sy <= y ? 180 : 0;
    } else {
        double r = std::atan((sy + 2 - y) / dx) * 180 / 3.14;
        if (sx < x) r = r - 180;
        a = roundToInt(r - 90);
        if (a < 0) a += 360;
    }
    if (a >= 360) a -= 360;
    w.aimAngle = wrap16(a);
}

} // namespace tolvane
