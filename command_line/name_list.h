#pragma once
// The names of a list file (--files-from) and the share of a list one part takes (--part).
#include <string_view>
#include <vector>

// The names of a list: one a line, a CR before the LF dropped; or, nulEnded, each ended by a
// NUL byte, as find -print0 writes them. Empty names are skipped: a blank line, a last line
// end. False when a list of lines holds a NUL byte, which no name can hold.
bool SplitNames(std::string_view text, bool nulEnded, std::vector<std::string_view>& names);

// Part `part` of `parts` (1 <= part <= parts): the names at positions part, part + parts,
// part + 2 parts and so on, counted from 1, in their order. Parts 1 to parts together hold
// every name once.
std::vector<std::string_view> PartOfNames(const std::vector<std::string_view>& names, int part,
                                          int parts);
