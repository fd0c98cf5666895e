// The trace lines of tolvane-replay (and of the web build's runner).
#include "session/trace.h"

#include <cstdio>

namespace tolvane {
namespace {

// The file name of a song path, whichever separator the path uses.
std::string songName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void printFloat(std::string& out, float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    out += buf;
}

void field(std::string& out, const char* name, long long v) {
    out += ", \"";
    out += name;
    out += "\": ";
    out += std::to_string(v);
}

void fieldF(std::string& out, const char* name, float v) {
    out += ", \"";
    out += name;
    out += "\": ";
    printFloat(out, v);
}

} // namespace

std::string jsonText(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string traceLine(const World& w, long frame, bool objects, const std::vector<media::SoundCall>* sounds) {
    int live = 0, stars = 0, sparks = 0;
    for (int i = 0; i < kObjectSlots; ++i) live += w.objKind[i] != 0;
    for (int i = 0; i < kStarSlots; ++i) stars += w.starActive[i] != 0;
    for (int i = 0; i < kSparkSlots; ++i) sparks += w.sparkActive[i] != 0;
    std::string out = "{\"frame\": " + std::to_string(frame);
    field(out, "score", w.score);
    field(out, "chain", w.chain);
    field(out, "chainBase", w.chainBase);
    field(out, "maxChain", w.maxChain);
    field(out, "totalContacts", w.totalContacts);
    field(out, "gauge", w.gauge);
    field(out, "level", w.level);
    field(out, "gaugePenalty", w.gaugePenalty);
    field(out, "timeLeft", w.timeLeft);
    field(out, "shipX", w.shipX);
    field(out, "shipY", w.shipY);
    field(out, "shipCellX", w.shipCellX);
    field(out, "entryTimer", w.entryTimer);
    field(out, "blinkTimer", w.blinkTimer);
    field(out, "bombStock", w.bombStock);
    field(out, "bombTimer", w.bombTimer);
    field(out, "bombBonus", w.bombBonus);
    field(out, "burstTimer", w.burstTimer);
    field(out, "shakeBoost", w.shakeBoost);
    fieldF(out, "starSpeed", w.starSpeed);
    field(out, "gameEnded", w.gameEnded);
    field(out, "timeUpDone", w.timeUpDone);
    field(out, "timeBonus", w.timeBonus);
    field(out, "finalBonus", w.finalBonus);
    field(out, "scriptCursor", w.scriptCursor);
    field(out, "aimAngle", w.aimAngle);
    field(out, "liveObjects", live);
    field(out, "liveStars", stars);
    field(out, "liveSparks", sparks);
    if (objects) {
        out += ", \"objects\": [";
        bool first = true;
        for (int i = 0; i < kObjectSlots; ++i) {
            if (w.objKind[i] == 0) continue;
            out += first ? "[" : ", [";
            first = false;
            out += std::to_string(i) + ", " + std::to_string(w.objKind[i]) + ", ";
            printFloat(out, w.objX[i]);
            out += ", ";
            printFloat(out, w.objY[i]);
            out += ", " + std::to_string(w.objPhase[i]) + ", " + std::to_string(w.objTimer[i]) + ", " +
                   std::to_string(w.objParamA[i]) + ", " + std::to_string(w.objParamB[i]) + ", " +
                   std::to_string(w.objParamC[i]) + "]";
        }
        out += "]";
    }
    if (sounds) {
        out += ", \"sounds\": [";
        bool first = true;
        for (const media::SoundCall& c : *sounds) {
            if (c.name == "STReadBytes") continue; // start-up, not a frame's
            out += first ? "[\"" : ", [\"";
            first = false;
            out += c.name + "\"";
            if (c.name == "STPlay") out += ", " + std::to_string(c.slot);
            if (c.name == "MTReadFile") out += ", " + jsonText(songName(c.path));
            out += "]";
        }
        out += "]";
    }
    out += "}";
    return out;
}

} // namespace tolvane
