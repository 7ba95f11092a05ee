#include "Orbilume/CSources/Document/CAppPrefs.h"

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr uint32_t kYOBM = CAppPrefs::kDomain;
constexpr uint32_t kYUND = CParamSet::kDomain;
constexpr uint32_t kPRMS = CParamSet::kSet;
constexpr uint32_t kPRMT = CParamSet::kTable;

CAppPrefs* gAppPrefs = nullptr;

const SFieldDesc kDcpfFields[] = {
    SFieldDesc::String(Fcc("docf"), nullptr, kFieldSilent),
    SFieldDesc::Float(Fcc("dvps"), 0.5f, 3, kFieldSilent),
    SFieldDesc::Byte(Fcc("tmsc")),
    SFieldDesc::Byte(Fcc("lsop"), 0, kFieldSilent),
    SFieldDesc::Float(Fcc("sdps"), 1.0f, 3, kFieldSilent),
    SFieldDesc::Byte(Fcc("sqop"), 0, kFieldSilent),
    SFieldDesc::Array(Fcc("cswp"), kElemInt, 3, kFieldSilent),
    SFieldDesc::Array(Fcc("mnwp"), kElemInt, 3, kFieldSilent),
    SFieldDesc::Array(Fcc("sqwp"), kElemInt, 3, kFieldSilent),
    SFieldDesc::Byte(0, 0, kFieldSilent),
    SFieldDesc::Byte(0),
    SFieldDesc::Int(0),
    SFieldDesc::Int(0),
    SFieldDesc::Int(0),
};

constexpr uint8_t S = kFieldSilent;

const SFieldDesc kPrefFields[] = {
    SFieldDesc::UInt(Fcc("rsdv")),
    SFieldDesc::String(Fcc("dxsp"), nullptr, S),
    SFieldDesc::Byte(Fcc("dxus"), 0, S),
    SFieldDesc::Byte(Fcc("sius"), 0, S),
    SFieldDesc::Byte(Fcc("exct"), 0, S),
    SFieldDesc::String(Fcc("docf"), nullptr, S),
    SFieldDesc::String(Fcc("cmpf"), nullptr, S),
    SFieldDesc::String(Fcc("imgf"), nullptr, S),
    SFieldDesc::String(Fcc("fltf"), nullptr, S),
    SFieldDesc::String(Fcc("mvrf"), nullptr, S),
    SFieldDesc::Byte(Fcc("oavs"), 0, S),
    SFieldDesc::Byte(Fcc("scli"), 0, S),
    SFieldDesc::Byte(Fcc("sclp"), 0, S),
    SFieldDesc::Byte(Fcc("fddg")),
    SFieldDesc::Byte(Fcc("scbp"), 0, S),
    SFieldDesc::Byte(Fcc("mnmd"), 0, S),
    SFieldDesc::Byte(Fcc("osus"), 0, S),
    SFieldDesc::UInt(Fcc("ospt"), 51000, S),
    SFieldDesc::Byte(Fcc("osdx"), 0, S),
    SFieldDesc::UInt(Fcc("dxdz"), 0, S),
    SFieldDesc::Byte(Fcc("ql3d")),
    SFieldDesc::Byte(Fcc("slad"), 0, S),
    SFieldDesc::Byte(Fcc("anus"), 0, S),
    SFieldDesc::Byte(Fcc("anun"), 0, S),
    SFieldDesc::Byte(Fcc("mvra")),
    SFieldDesc::Byte(Fcc("mvtm")),
    SFieldDesc::Byte(Fcc("alvs")),
    SFieldDesc::Byte(Fcc("mvtr")),
    SFieldDesc::Byte(Fcc("ajur")),
    SFieldDesc::Byte(Fcc("vfsz")),
    SFieldDesc::Byte(Fcc("stfl")),
    SFieldDesc::Byte(Fcc("slyn")),
    SFieldDesc::Byte(Fcc("annt"), 0, S),
    SFieldDesc::Byte(Fcc("saus"), 0, S),
    SFieldDesc::UInt(Fcc("saun"), 1, S),
    SFieldDesc::Array(Fcc("oawp"), kElemUInt, 3, S),
    SFieldDesc::Array(Fcc("vdwp"), kElemUInt, 3, S),
    SFieldDesc::Array(Fcc("tewp"), kElemUInt, 3, S),
    SFieldDesc::Record(Fcc("vwpr"), kYUND, kPRMS),
    SFieldDesc::RecordArray(Fcc("docs"), kYOBM, CAppPrefs::kDCPF, S),
    SFieldDesc::Record(Fcc("mvrs"), kYUND, kPRMS, S),
    SFieldDesc::Record(Fcc("mkrg"), kYUND, kPRMT, S),
    SFieldDesc::Record(Fcc("stcr"), kYUND, kPRMS, S),
    SFieldDesc::Record(Fcc("mirg"), kYUND, kPRMS),
    SFieldDesc::Record(Fcc("sisp"), kYUND, kPRMS),
    SFieldDesc::Record(Fcc("oaun"), kYOBM, Fcc("UNIT")),
    SFieldDesc::Record(Fcc("snsl"), kYUND, kPRMS, S),
    SFieldDesc::Record(Fcc("fmsv"), kYUND, kPRMS, S),
    SFieldDesc::Record(Fcc("dmtx"), kYOBM, Fcc("DTLY")),
    SFieldDesc::Record(Fcc("vdvs"), kYUND, kPRMS),
    SFieldDesc::Record(Fcc("dimp"), kYUND, kPRMS),
    SFieldDesc::Record(Fcc("misc"), kYUND, kPRMS),
    SFieldDesc::Record(0, kYUND, kPRMT),
    SFieldDesc::Byte(0),
    SFieldDesc::Array(0, kElemString),
    SFieldDesc::Byte(0),
    SFieldDesc::Record(0, kYUND, kPRMS),
    SFieldDesc::Byte(0),
};
static_assert(sizeof kPrefFields / sizeof kPrefFields[0] == CAppPrefs::kPrefFieldCount);
static_assert(sizeof kDcpfFields / sizeof kDcpfFields[0] == 14);

CRecordType gDcpfType(kYOBM, CAppPrefs::kDCPF, kDcpfFields);
CRecordType gPrefType(kYOBM, CAppPrefs::kPREF, kPrefFields);

}  // namespace

const CRecordType& CAppPrefs::PrefType() {
    return gPrefType;
}

const CRecordType& CAppPrefs::DocType() {
    return gDcpfType;
}

CAppPrefs::CAppPrefs() : CRecordHolder(CRecord::New(&gPrefType)) {
    // 'oaun' is a show unit: its type must be linked in.
    PLAT_DCHECK(CDocModelTypes::Type(CDocModelTypes::kUNIT) != nullptr);
    // 'dmtx' is an LED layout: referencing its type keeps it linked in.
    [[maybe_unused]] const CRecordType* layout = CDimTypes::Dtly();
    PLAT_DCHECK(layout != nullptr);
    gAppPrefs = this;
}

CAppPrefs::~CAppPrefs() {
    if (gAppPrefs == this) gAppPrefs = nullptr;
}

CAppPrefs* CAppPrefs::Get() {
    return gAppPrefs;
}

CRecord* CAppPrefs::FindDocument(const LFsSpec& spec) const {
    PLAT_DCHECK_MAIN_THREAD();
    const CRecord* root = Root();
    if (!root || spec.name().IsEmpty()) return nullptr;
    for (uint32_t i = 0; i < root->ArrayCount(kPrefDocs); ++i) {
        CRecord* doc = root->GetElement(kPrefDocs, i);
        if (!doc || doc->GetBool(kDocOpenNow)) continue;
        CRecord* var = doc;
        if (CRecordRef(&var).GetFileSpecField(kDocPath) == spec) return doc;
    }
    return nullptr;
}

CRecord* CAppPrefs::AppendDocument() {
    PLAT_DCHECK_MAIN_THREAD();
    CRecord* doc = CRecord::New(&gDcpfType);
    if (!doc) return nullptr;
    CRecordRef root = RootRef();
    const uint32_t at = root ? root->ArrayCount(kPrefDocs) : 0;
    if (!root.InsertRecord(nullptr, kPrefDocs, at, doc)) return nullptr;
    return root->GetElement(kPrefDocs, at);
}

void CAppPrefs::MoveDocumentToEnd(CRecord* document) {
    PLAT_DCHECK_MAIN_THREAD();
    CRecordRef root = RootRef();
    if (!root || !document || document->Parent() != root.Get()) return;
    const uint32_t count = root->ArrayCount(kPrefDocs);
    const int32_t at = document->ArrayIndex();
    if (at < 0 || static_cast<uint32_t>(at) + 1 >= count) return;
    root.MoveRecord(nullptr, kPrefDocs, static_cast<uint32_t>(at), count);
}
