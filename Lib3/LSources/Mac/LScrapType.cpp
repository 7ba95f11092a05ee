#include "Lib3/LSources/Mac/LScrapType.h"

#include "Lib3/LSources/String/CStrU.h"

std::string LScrapType::PasteboardType() const {
    if (!name.IsEmpty()) return std::string(name.CStr(), name.Length());
    const LString text = CStrU::LStringFromFcc(code);
    return std::string(text.CStr(), text.Length());
}
