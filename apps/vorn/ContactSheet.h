#pragma once

#include <string>
#include <vector>

#include "apps/vorn/LibraryAudit.h"

// One picture of a whole library: each preset's triad spectrogram (time across, frequency up on a
// log scale from 40 Hz to 20 kHz, 80 dB of range) with its name, in a grid.
bool writeContactSheet(const std::vector<LibraryAudit::Row>& rows, const std::string& path,
                       double rate);
