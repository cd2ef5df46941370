#pragma once

#include <string>
#include <vector>

class GenericParameterOwner;

// Port symbols of the parameters, in id order: the name in lower case with every run of other
// characters as one "_", "p" before a leading digit; a symbol met before gets "_" and the id.
// Hosts and presets keep them for good.
std::vector<std::string> parameterSymbols(GenericParameterOwner& owner);

// Parameter ids in port order. What musicians automate comes first, because a stock Ardour
// automates only the first 512 ports: the voice and output settings, then every section in id
// order; behind them the slot levels and switches, the step values and glides, and last the slot
// sources and targets and the step shapes. Hosts keep automation by port index: frozen.
std::vector<int> parameterPortOrder(const std::vector<std::string>& symbols);
