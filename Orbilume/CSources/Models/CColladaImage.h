#pragma once

#include "Orbilume/CSources/Media/CImageFileReader.h"
#include "Orbilume/CSources/Models/CColladaElement.h"

class CColladaDoc;

// The object of an "image" element: a reader of the file its "init_from" names, relative to the
// document.
class CColladaImage : public CColladaElement {
public:
    static constexpr Kind kKind = kImage;
    Kind kind() const override { return kKind; }

    // The attached image, or a new one whose file opened; null otherwise (nothing stays attached).
    static CColladaImage* Build(CColladaDoc& doc, CXmlElement* element);

    CImageFileReader& reader() { return fReader; }

private:
    CImageFileReader fReader;
};
