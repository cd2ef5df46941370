#pragma once

#include <CLI/CLI.hpp>

// The check of a number option, stricter than CLI::Range: all of the text must be one finite
// number (a whole one where `whole`), and the message says what is wrong with it.
CLI::Validator numberIn(double lowest, double highest, bool whole);
