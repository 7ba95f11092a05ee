#include "Orbilume/CSources/Timecode/ScaledValueText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "Common/String/PropertyTree.h"

std::string ScaledValueText(const PropertyTreeObject& object) {
    LString ini = object.GetMemberValue("ini");
    if (ini.IsEmpty()) return object.FindMember("ini") ? std::string() : std::string("0");
    LString scale = object.GetMemberValue("scale");
    std::string iniText(ini.CStr(), ini.Length());
    if (scale.IsEmpty()) return iniText;

    double s = std::strtod(scale.CStr(), nullptr);
    // A zero or unreadable scale would divide by zero: show the value as it stands.
    if (!std::isfinite(s) || s == 0.0) return iniText;
    long precision = std::strtol(object.GetMemberValue("prec").CStr(), nullptr, 10);
    if (precision < 0) precision = 0;
    if (s > 1.0)
        for (double p = 1.0; p < s && precision < 20; p *= 10.0) ++precision;
    if (precision > 15) precision = 15;

    double value = std::strtod(iniText.c_str(), nullptr) / s;
    if (!std::isfinite(value)) return iniText;
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%.*f", int(precision), value);
    std::string out(buffer);
    if (out.find('.') != std::string::npos) {
        while (!out.empty() && out.back() == '0') out.pop_back();
        if (!out.empty() && out.back() == '.') out.pop_back();
    }
    if (out == "-0") out = "0";
    return out;
}
