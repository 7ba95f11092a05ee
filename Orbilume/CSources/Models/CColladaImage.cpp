#include "Orbilume/CSources/Models/CColladaImage.h"

#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/UColladaXml.h"

CColladaImage* CColladaImage::Build(CColladaDoc& doc, CXmlElement* element) {
    if (!UColladaXml::NameIs(element, "image")) return nullptr;
    if (element->Attached()) return AttachedAs<CColladaImage>(element);
    auto* image = new CColladaImage;
    element->Attach(image);
    LFsSpec spec;
    CXmlElement* from = element->FindChild("init_from");
    if (from && doc.ResolveFile(UColladaXml::FirstToken(from), spec) && image->fReader.Open(spec))
        return image;
    element->Attach(nullptr);
    return nullptr;
}
