#include "Orbilume/CSources/Engine/CMediaModel.h"

#include "Orbilume/CSources/Engine/TMediaRegistry.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"

using Registry = TMediaRegistry<CMediaModel>;

plat::Ref<CMediaModel> CMediaModel::Create(const LFsSpec& file, std::unique_ptr<CColladaDoc> document) {
    if (file.IsEmpty() || !document) return nullptr;
    auto* made = new CMediaModel(file, std::move(document));
    Registry::Get().Link(made);
    return plat::Adopt(made);
}

plat::Ref<CMediaModel> CMediaModel::Find(const LFsSpec& file) {
    return Registry::Get().Find(file);
}

int32_t CMediaModel::RegisteredCount() {
    return Registry::Get().Count();
}

CMediaModel::CMediaModel(const LFsSpec& file, std::unique_ptr<CColladaDoc> document)
    : fFile(file), fDocument(std::move(document)) {}

CMediaModel::~CMediaModel() = default;

void CMediaModel::Release() const {
    Registry::Get().Release(this);
}
