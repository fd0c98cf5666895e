// The heart of every frame: each live object is tested against the ship's barrier
// (a contact scores, lengthens the chain and fills the level gauge) and its core box
// (a miss costs five seconds and ends the chain), drawn, and then runs its behaviour.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "media/dtools.h"
#include "media/stools.h"
#include "presentation/presentation.h"
#include "session/arith.h"
#include "world/world.h"

namespace tolvane {
namespace {

void levelUp(World& w) {
    w.level = wrap16(w.level + 1);
    w.gauge = wrap16(w.gauge - 640);
    STPlay(kLevelUpSound);
    STPlay(kLevelUpSound2);
    w.levelPopupTimer = 60;
    w.levelPopupValue = w.level;
    if (w.level % 8 != 0) {
        if (w.burstTimer < 120) w.burstTimer = 120;
        w.score = add32(w.score, 1000);
        w.timeLeft = add32(w.timeLeft, 60);
    } else {
        // An extend: the next ship picture, a bomb, five seconds and 10000 points per 8 levels.
        w.shipCellX = wrap16(w.shipCellX + 32);
        if (w.shipCellX > 639) w.shipCellX = 0;
        w.burstTimer = 180;
        w.score = round32(static_cast<double>(w.score) + 10000.0 * (w.level / 8));
        w.timeLeft = add32(w.timeLeft, 300);
        w.bombStock = wrap16(w.bombStock + 1);
    }
    w.burstRadius = 0;
    w.burstToggle = 0;
}

void contact(World& w, int i) {
    STPlay(kContactSound);
    w.objContactWait[i] = 20;
    w.gauge = wrap16(w.gauge + 20 - w.gaugePenalty);
    w.chain = add32(w.chain, 1);

    // A spark 16 pixels from the ship toward the object, jittered by up to a pixel.
    aimAtPlayer(w, w.objX[i], w.objY[i]);
    double r = radians(w.aimAngle + 180);
    double u1 = randomDraw(w.rng);
    double u2 = randomDraw(w.rng);
    double x = w.shipX - 16 * std::sin(r) + 2 * u1 - 1;
    double y = w.shipY + 16 * std::cos(r) + 2 * u2 - 1;
    spawnSpark(w, static_cast<f32>(x), static_cast<f32>(y));

    w.chainPopupValue = w.chain;
    w.score = add32(w.score, static_cast<std::int64_t>(w.chain) - w.chainBase);
    w.chainPopupX = wrap16(w.shipX + 16);
    w.chainPopupY = w.shipY;
    w.chainPopupTimer = 60;
    if (w.gauge > 640) levelUp(w);
}

void miss(World& w) {
    w.wreckX = w.shipX;
    w.wreckY = w.shipY;
    w.wreckTimer = 80;
    w.shipX = 320;
    w.shipY = 540;
    w.entryTimer = 80;
    w.blinkTimer = 160;
    STPlay(kMissSound);
    w.timeLeft = add32(w.timeLeft, -300);
    if (w.timeLeft < 0) w.timeLeft = 0;
    if (w.maxChain < w.chain) w.maxChain = w.chain;
    w.totalContacts = add32(w.totalContacts, w.chain);
    w.chain = 0;
    w.chainBase = 0;
}

void behave(World& w, int i) {
    switch (w.objKind[i]) {
    case kFanEnemy: behaveFanEnemy(w, i); break;
    case kRoundBullet:
    case kHeadingBullet:
    case kLargeShot: behaveStraight(w, i); break;
    case kTwinGunEnemy: behaveTwinGunEnemy(w, i); break;
    case kRingEnemy: behaveRingEnemy(w, i); break;
    case kSwoopEnemy: behaveSwoopEnemy(w, i); break;
    case kTwinShotEnemy: behaveTwinShotEnemy(w, i); break;
    case kGameEnd: behaveGameEnd(w, i); break;
    case kStageBanner: behaveStageBanner(w, i); break;
    case kSpeedMarker: behaveSpeedMarker(w, i); break;
    case kFirstBoss: behaveFirstBoss(w, i); break;
    case kLaserEnemy: behaveLaserEnemy(w, i); break;
    case kLaserSegment: behaveLaserSegment(w, i); break;
    case kGunship: behaveGunship(w, i); break;
    case kSecondBoss: behaveSecondBoss(w, i); break;
    case kLastBoss: behaveLastBoss(w, i); break;
    default: break;
    }
}

// The first slot from `from` on that holds an object, or the end of the table. Free
// slots are passed over 64 at a time where the processor compares 16 bytes at once,
// eight at a time elsewhere.
int nextLiveSlot(const World& w, int from) {
    if (from >= kObjectSlots) return from;
    int i = from;
#if defined(__x86_64__)
    const __m128i zero = _mm_setzero_si128();
    auto load = [&](int at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(w.objKind + at)); };
    for (; i + 64 <= kObjectSlots; i += 64) {
        const __m128i any =
            _mm_or_si128(_mm_or_si128(load(i), load(i + 16)), _mm_or_si128(load(i + 32), load(i + 48)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, zero)) == 0xFFFF) continue;
        break;
    }
    for (; i + 16 <= kObjectSlots; i += 16) {
        const unsigned live =
            ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(load(i), zero))) & 0xFFFFu;
        if (live != 0) return i + std::countr_zero(live);
    }
#else
    for (; i + 8 <= kObjectSlots; i += 8) {
        std::uint64_t kinds;
        std::memcpy(&kinds, w.objKind + i, sizeof kinds);
        if (kinds == 0) continue;
        return i + (std::endian::native == std::endian::little ? std::countr_zero(kinds)
                                                               : std::countl_zero(kinds)) /
                       8;
    }
#endif
    for (; i < kObjectSlots; ++i) {
        if (w.objKind[i] != kFree) return i;
    }
    return kObjectSlots;
}

// The barrier test of one object. The object side is worked out in double, left to
// right, exactly as written: x + left - m, x + right + m, and the same with y. Both
// axes are compared at once, so that the test costs one branch, not four.
inline bool barrierTouches(const World& w, int i, int h, int m) {
#if defined(__x86_64__)
    const __m128d pos = _mm_cvtps_pd(_mm_setr_ps(w.objX[i], w.objY[i], 0, 0));
    const __m128d low = _mm_cvtepi32_pd(_mm_setr_epi32(w.objHitLeft[i], w.objHitTop[i], 0, 0));
    const __m128d high = _mm_cvtepi32_pd(_mm_setr_epi32(w.objHitRight[i], w.objHitBottom[i], 0, 0));
    const __m128d margin = _mm_set1_pd(m);
    const __m128d shipHigh = _mm_cvtepi32_pd(_mm_setr_epi32(wrap16(w.shipX + h), wrap16(w.shipY + h), 0, 0));
    const __m128d shipLow = _mm_cvtepi32_pd(_mm_setr_epi32(wrap16(w.shipX - h), wrap16(w.shipY - h), 0, 0));
    const __m128d inLow = _mm_cmpge_pd(shipHigh, _mm_sub_pd(_mm_add_pd(pos, low), margin));
    const __m128d inHigh = _mm_cmple_pd(shipLow, _mm_add_pd(_mm_add_pd(pos, high), margin));
    return _mm_movemask_pd(_mm_and_pd(inLow, inHigh)) == 3;
#else
    const double x = w.objX[i], y = w.objY[i];
    return wrap16(w.shipX + h) >= x + w.objHitLeft[i] - m &&
           wrap16(w.shipX - h) <= x + w.objHitRight[i] + m && wrap16(w.shipY + h) >= y + w.objHitTop[i] - m &&
           wrap16(w.shipY - h) <= y + w.objHitBottom[i] + m;
#endif
}

// The object's picture, centred on its position, from the object sheet. Headless
// nothing of it is worked out.
void drawObject(const World& w, int i) {
    if (!media::drawing()) return;
    DTBitBlt(sheet::kBackBuffer,
             static_cast<std::int32_t>(roundToInt(double(w.objX[i]) - double(w.objWidth[i]) / 2)),
             static_cast<std::int32_t>(roundToInt(double(w.objY[i]) - double(w.objHeight[i]) / 2)),
             static_cast<std::int32_t>(roundToInt(w.objWidth[i])),
             static_cast<std::int32_t>(roundToInt(w.objHeight[i])), sheet::kObjectSheet,
             static_cast<std::int32_t>(roundToInt(double(w.objCellX[i]) + double(w.objFrameX[i]))),
             static_cast<std::int32_t>(roundToInt(double(w.objCellY[i]) + double(w.objFrameY[i]))), 0);
}

} // namespace

void updateWorld(World& w) {
    // Slot by slot; a behaviour may free its own slot or fill any free one, so the next
    // live slot is looked for only once the behaviour has run.
    for (w.loopIndex = wrap16(nextLiveSlot(w, 0)); w.loopIndex < kObjectSlots;
         w.loopIndex = wrap16(nextLiveSlot(w, w.loopIndex + 1))) {
        const int i = w.loopIndex;

        // The barrier: a square of half-size 24 (36 with the speed boost), and during a
        // bomb every hit box counts as larger by the bomb's timer. Ship side in 16 bits.
        // Nothing touches the ship while it blinks.
        const int h = (w.shakeBoost + 2) * 12;
        const int m = w.bombTimer;
        const double x = w.objX[i], y = w.objY[i];
        const bool touching = w.blinkTimer == 0 && barrierTouches(w, i, h, m);

        if (w.objContactWait[i] > 0) --w.objContactWait[i];
        if (touching) {
            if (w.objContactWait[i] == 0) contact(w, i);
            // The core box at the ship's centre, safe while a bomb or a level-up burst runs.
            bool hit = wrap16(w.shipX + 3) >= x + w.objHitLeft[i] &&
                       wrap16(w.shipX - 2) <= x + w.objHitRight[i] &&
                       wrap16(w.shipY + 3) >= y + w.objHitTop[i] &&
                       wrap16(w.shipY - 2) <= y + w.objHitBottom[i] && w.bombTimer == 0 && w.burstTimer == 0;
            if (hit) miss(w);
        }

        drawObject(w, i);
        behave(w, i);
    }
}

void spawnSpark(World& w, f32 x, f32 y) {
    for (int s = 0; s < kSparkSlots; ++s) {
        if (w.sparkActive[s] != 0) continue;
        w.sparkActive[s] = 1;
        w.sparkX[s] = round16(x);
        w.sparkY[s] = round16(y);
        w.sparkVx[s] = static_cast<f32>((double(x) - w.shipX) / 2);
        w.sparkVy[s] = static_cast<f32>((double(y) - w.shipY) / 2);
        w.sparkAge[s] = 0;
        return;
    }
}

} // namespace tolvane
