#pragma once

#include <vector>

class EditorSection;
class VornInterface;

// Every sound section of the editor, in the order of VornInterface::Section, added to it.
std::vector<EditorSection*> makeSections(VornInterface& editor);
