#pragma once

#include <string>

class PropertyTreeObject;

// The text of a parameter's initial value: "ini" divided by "scale", with "prec" decimals plus one
// for each power of ten the scale reaches; trailing zeros dropped.
std::string ScaledValueText(const PropertyTreeObject& object);
