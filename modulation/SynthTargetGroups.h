#pragma once

class ModulationMatrix;

// The synthesizer's target groups: bounds in engine units, per-source factors of the delay
// times, and the time targets that read the alternate set of per-voice sources.
void assignSynthTargetGroups(ModulationMatrix& matrix);
