// Build tool: writes the built-in MIDI controller map (resource MIDICONTROLLERMAP) in the layout of
// MidiControllerMap::writeMap: "QVCM", uint32 1, then 128 little-endian int32 parameter ids.
// Usage: vorn_make_midi_controller_map MidiControllerMap.qvm

#include <cstdint>
#include <fstream>
#include <iostream>

namespace {

struct Assignment {
    int controller;
    int32_t parameterId;  // host parameter id (construction order of the synthesizer)
};

constexpr Assignment kFactoryMap[] = {
    {5, 30},     // Portamento
    {7, 625},    // Output Volume
    {20, 3},     // Osc 1 Scale
    {21, 4},     // Osc 1 Wave Form
    {22, 2},     // Osc 1 Detune
    {23, 6},     // Osc 1 Pulse Width
    {25, 93},    // XLFO 1 Balance
    {26, 39},    // Filter 2 Freq
    {27, 41},    // Filter 2 Peak
    {28, 11},    // Osc 2 Detune
    {29, 15},    // Osc 2 Pulse Width
    {71, 34},    // Filter 1 Peak
    {72, 538},   // EG Main Release
    {73, 535},   // EG Main Attack
    {74, 32},    // Filter 1 Freq
    {75, 536},   // EG Main Decay
    {76, 91},    // XLFO 1 Frequency
    {78, 12},    // Osc 2 Scale
    {79, 537},   // EG Main Sustain
    {87, 13},    // Osc 2 Wave Form
    {89, 95},    // XLFO 1 Glide
    {103, 630},  // Polyphony
};

constexpr int kControllers = 128;
constexpr int32_t kUnmapped = -1;
constexpr uint32_t kVersion = 1;

void put(std::ofstream& out, uint32_t v) {
    const char bytes[4] = {static_cast<char>(v), static_cast<char>(v >> 8),
                           static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
    out.write(bytes, 4);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: vorn_make_midi_controller_map output.qvm\n";
        return 1;
    }
    int32_t ids[kControllers];
    for (int32_t& id : ids) id = kUnmapped;
    for (const Assignment& a : kFactoryMap) ids[a.controller] = a.parameterId;

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write("QVCM", 4);
    put(out, kVersion);
    for (int32_t id : ids) put(out, static_cast<uint32_t>(id));
    if (!out) {
        std::cerr << "cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
