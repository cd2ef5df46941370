#pragma once

#include <string>
#include <vector>

class GenericParameterOwner;

// Port symbols of the parameters, in id order: the name in lower case with every run of other
// characters as one "_", "p" before a leading digit; a symbol met before gets "_" and the id.
// They also name the parameters' patch properties, so hosts and presets keep them for good.
std::vector<std::string> parameterSymbols(GenericParameterOwner& owner);
