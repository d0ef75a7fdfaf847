#include "bench/scale/layout.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace scale {
namespace {

// Layers in the order in which their commands are written.
enum Layer { COL, CPS, CPT, CHT, CHO, CMB, CCM, CHM, COF, LAYERS };
constexpr std::array<const char*, LAYERS> LAYER_NAMES = {"COL", "CPS", "CPT", "CHT", "CHO",
                                                         "CMB", "CCM", "CHM", "COF"};

// One box of a device in micrometres, corners relative to the device origin.
// `jitter` marks holes, which move by up to 2 um per device.
struct DeviceBox {
    Layer layer;
    int xmin, ymin, xmax, ymax;
    bool jitter;
};

// The device: a 200 x 160 um frame, the plate between x 30 and 170.
const std::vector<DeviceBox> DEVICE = {
    // Anchored frame and hinge posts.
    {COL, 0, 0, 200, 10, false},
    {COL, 0, 150, 200, 160, false},
    {COL, 0, 10, 10, 150, false},
    {COL, 190, 10, 200, 150, false},
    {COL, 40, 20, 50, 30, false},
    {COL, 150, 20, 160, 30, false},
    // Pins on the posts.
    {CPS, 36, 26, 54, 34, false},
    {CPS, 146, 26, 164, 34, false},
    // Mirror plate: four tiles and two arms over the pins.
    {CPT, 30, 60, 100, 95, false},
    {CPT, 100, 60, 170, 95, false},
    {CPT, 30, 95, 100, 130, false},
    {CPT, 100, 95, 170, 130, false},
    {CPT, 41, 31, 49, 60, false},
    {CPT, 151, 31, 159, 60, false},
    // Etch holes in the plate.
    {CHT, 38, 68, 42, 72, true},
    {CHT, 38, 118, 42, 122, true},
    {CHT, 146, 68, 150, 72, true},
    {CHT, 146, 118, 150, 122, true},
    // Reflector on the plate.
    {CMB, 60, 75, 140, 115, false},
    {CCM, 65, 80, 135, 110, false},
    // Flap under the plate's right edge, its hinge mark and release hole.
    {CPS, 160, 70, 185, 120, false},
    {CMB, 162, 75, 168, 115, false},
    {CHO, 175, 90, 180, 100, true},
    // Metal pad on the frame with a hole in the metal, landing pad, latch.
    {CCM, 20, 140, 60, 150, false},
    {CHM, 35, 143, 45, 147, true},
    {COF, 70, 140, 80, 146, false},
    {CPS, 175, 40, 185, 55, false},
};

constexpr int PITCH_X = 220;  // um between device origins
constexpr int PITCH_Y = 180;

// A small linear congruential generator: the same jitter on every machine.
struct Jitter {
    std::uint64_t state = 0x2545F4914F6CDD1DULL;
    int next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state >> 33) % 5) - 2;  // -2 .. 2
    }
};

void append_box(std::string& out, long long xmin, long long ymin, long long xmax, long long ymax) {
    // CIF distances in hundredths of a micrometre: length, width, centre.
    char line[96];
    const long long length = (xmax - xmin) * 100;
    const long long width = (ymax - ymin) * 100;
    const long long cx = (xmin + xmax) * 50;
    const long long cy = (ymin + ymax) * 50;
    std::snprintf(line, sizeof line, "B %lld %lld %lld %lld;\n", length, width, cx, cy);
    out += line;
}

}  // namespace

int boxes_per_device() { return static_cast<int>(DEVICE.size()); }

std::string make_layout(std::int64_t boxes) {
    if (boxes < 0) boxes = 0;
    const std::int64_t per_device = boxes_per_device();
    const std::int64_t devices = (boxes + per_device - 1) / per_device;
    std::int64_t per_row = static_cast<std::int64_t>(std::ceil(std::sqrt(static_cast<double>(devices))));
    if (per_row < 1) per_row = 1;

    std::array<std::string, LAYERS> text;
    Jitter jitter;
    std::int64_t written = 0;
    for (std::int64_t d = 0; d < devices; ++d) {
        const long long ox = (d % per_row) * PITCH_X;
        const long long oy = (d / per_row) * PITCH_Y;
        for (const DeviceBox& b : DEVICE) {
            if (written == boxes) break;
            const int dx = b.jitter ? jitter.next() : 0;
            const int dy = b.jitter ? jitter.next() : 0;
            append_box(text[b.layer], ox + b.xmin + dx, oy + b.ymin + dy, ox + b.xmax + dx, oy + b.ymax + dy);
            ++written;
        }
    }

    std::string cif = "(generated layout: " + std::to_string(boxes) + " boxes in " + std::to_string(devices) +
                      " hinged mirror devices);\n";
    for (int l = 0; l < LAYERS; ++l) {
        if (text[l].empty()) continue;
        cif += "L ";
        cif += LAYER_NAMES[l];
        cif += ";\n";
        cif += text[l];
    }
    cif += "E\n";
    return cif;
}

}  // namespace scale
