#include "Common/Mac/CRecordDict.h"

#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/UNum.h"
#include "Lib3/LSources/String/UWord.h"
#include "Platform/Foundation/Bytes.h"

PrefsDictView PrefsDictView::OpenChild(const char* key) const {
    return PrefsDictView(mNode, IsValid() ? mNode->OpenSub(mHandle, key) : nullptr);
}

PrefsDictView PrefsDictView::CreateChild(const char* key) const {
    return PrefsDictView(mNode, IsValid() ? mNode->OpenSubWritable(mHandle, key) : nullptr);
}

void PrefsDictView::Close() const {
    if (IsValid()) mNode->CloseSub(mHandle);
}

void PrefsDictView::Remove(const char* key) const {
    if (IsValid()) mNode->Remove(mHandle, key);
}

void PrefsDictView::SetText(const char* key, const LString& text) const {
    if (IsValid()) mNode->SetString(mHandle, key, text);
}

bool PrefsDictView::GetText(const char* key, LString& text) const {
    return IsValid() && mNode->GetString(mHandle, key, text);
}

void PrefsDictView::SetBytes(const char* key, const void* bytes, uint32_t n) const {
    if (IsValid()) mNode->SetData(mHandle, key, bytes, n);
}

bool PrefsDictView::GetBytes(const char* key, std::vector<uint8_t>& bytes) const {
    uint32_t size = 0;
    if (!IsValid() || !mNode->GetData(mHandle, key, nullptr, size)) return false;
    bytes.resize(size);
    return size == 0 || mNode->GetData(mHandle, key, bytes.data(), size);
}

// Number lists are the C-locale texts of UWord and UNum, whatever locale the process runs in.
void PrefsDictView::SetIntList(const char* key, const int64_t* values, uint32_t n) const {
    LVariStr<64> text;
    UWord::IntList(values, n, text);
    SetText(key, LString(text.Text(), text.Length()));
}

bool PrefsDictView::GetIntList(const char* key, std::vector<int64_t>& values) const {
    LString text;
    if (!GetText(key, text)) return false;
    values.assign(static_cast<size_t>(UNum::ReadIntList(text.Text(), nullptr, 0)), 0);
    UNum::ReadIntList(text.Text(), values.data(), static_cast<int32_t>(values.size()));
    return true;
}

void PrefsDictView::SetFloatList(const char* key, const double* values, uint32_t n) const {
    LVariStr<64> text;
    UWord::DoubleList(values, n, text);
    SetText(key, LString(text.Text(), text.Length()));
}

bool PrefsDictView::GetFloatList(const char* key, std::vector<double>& values) const {
    LString text;
    if (!GetText(key, text)) return false;
    values.assign(static_cast<size_t>(UNum::ReadDoubleList(text.Text(), nullptr, 0)), 0);
    UNum::ReadDoubleList(text.Text(), values.data(), static_cast<int32_t>(values.size()));
    return true;
}

std::string PrefsDictView::IndexedKey(const char* prefix, uint32_t index) {
    return std::string(prefix) + std::to_string(index);
}

std::string CRecordDict::TagKey(uint32_t tag) {
    char text[5];
    plat::FourCCToText(tag, text);
    std::string key;
    for (int i = 0; i < 4; ++i) {
        const char c = text[i];
        if (key.empty() && c == ' ') continue;
        key.push_back(c);
    }
    return key;
}

namespace {

void Write(const PrefsDictView& dict, const CRecord* r, uint32_t depth);

void WriteArray(const PrefsDictView& dict, const CRecord* r, uint32_t n, const char* key) {
    const SFieldDesc& f = r->Field(n);
    const uint32_t count = r->ArrayCount(n);
    const void* data = r->ArrayData(n);
    switch (f.elementKind) {
        case kElemInt:
        case kElemUInt: {
            std::vector<int64_t> v(count);
            for (uint32_t i = 0; i < count; ++i)
                v[i] = f.elementKind == kElemInt ? int64_t(static_cast<const int32_t*>(data)[i])
                                                 : int64_t(static_cast<const uint32_t*>(data)[i]);
            dict.SetIntList(key, v.data(), count);
            break;
        }
        case kElemByte:
            dict.SetBytes(key, data, count);
            break;
        case kElemFloat: {
            std::vector<double> v(count);
            for (uint32_t i = 0; i < count; ++i) v[i] = static_cast<const float*>(data)[i];
            dict.SetFloatList(key, v.data(), count);
            break;
        }
        case kElemString: {
            // A fresh child, so no element of an earlier, longer list survives.
            dict.Remove(key);
            const PrefsDictView child = dict.CreateChild(key);
            for (uint32_t i = 0; i < count; ++i)
                child.SetText(PrefsDictView::IndexedKey("s", i).c_str(),
                              static_cast<const LString*>(data)[i]);
            child.Close();
            break;
        }
        default:
            break;
    }
}

void Write(const PrefsDictView& dict, const CRecord* r, uint32_t depth) {
    if (!r || depth > CRecordDict::kMaxDepth) return;
    for (uint32_t n = 0; n < r->FieldCount(); ++n) {
        const SFieldDesc& f = r->Field(n);
        if (f.tag == 0) continue;
        const std::string key = CRecordDict::TagKey(f.tag);
        switch (f.kind) {
            case kFieldInt: {
                const int64_t v = r->GetInt(n);
                dict.SetIntList(key.c_str(), &v, 1);
                break;
            }
            case kFieldUInt:
            case kFieldByte: {
                const int64_t v = f.kind == kFieldUInt ? int64_t(r->GetUInt(n)) : int64_t(r->GetByte(n));
                dict.SetIntList(key.c_str(), &v, 1);
                break;
            }
            case kFieldFloat: {
                dict.SetText(key.c_str(), UWord::FloatSuppress(r->GetFloat(n), f.decimals));
                break;
            }
            case kFieldString:
                dict.SetText(key.c_str(), r->GetString(n));
                break;
            case kFieldArray:
                WriteArray(dict, r, n, key.c_str());
                break;
            case kFieldRecord:
                dict.Remove(key.c_str());
                if (const CRecord* child = r->GetSubRecord(n)) {
                    const PrefsDictView sub = dict.CreateChild(key.c_str());
                    Write(sub, child, depth + 1);
                    sub.Close();
                }
                break;
            case kFieldRecordArray: {
                dict.Remove(key.c_str());
                const PrefsDictView list = dict.CreateChild(key.c_str());
                for (uint32_t i = 0; i < r->ArrayCount(n); ++i) {
                    const PrefsDictView element = list.CreateChild(PrefsDictView::IndexedKey("a", i).c_str());
                    Write(element, r->GetElement(n, i), depth + 1);
                    element.Close();
                }
                list.Close();
                break;
            }
            default:
                break;
        }
    }
}

void Read(const PrefsDictView& dict, CRecordRef ref, uint32_t depth);

void ReadArray(const PrefsDictView& dict, CRecordRef ref, uint32_t n, const char* key) {
    const SFieldDesc& f = ref->Field(n);
    switch (f.elementKind) {
        case kElemInt:
        case kElemUInt: {
            std::vector<int64_t> list;
            if (!dict.GetIntList(key, list)) return;
            std::vector<uint32_t> v(list.size());
            for (size_t i = 0; i < list.size(); ++i) v[i] = uint32_t(list[i]);
            ref.SetArray(nullptr, n, v.data(), uint32_t(v.size()));
            break;
        }
        case kElemByte: {
            std::vector<uint8_t> bytes;
            if (dict.GetBytes(key, bytes)) ref.SetArray(nullptr, n, bytes.data(), uint32_t(bytes.size()));
            break;
        }
        case kElemFloat: {
            std::vector<double> list;
            if (!dict.GetFloatList(key, list)) return;
            std::vector<float> v(list.begin(), list.end());
            ref.SetArray(nullptr, n, v.data(), uint32_t(v.size()));
            break;
        }
        case kElemString: {
            const PrefsDictView child = dict.OpenChild(key);
            std::vector<LString> texts;
            LString text;
            while (child.GetText(PrefsDictView::IndexedKey("s", uint32_t(texts.size())).c_str(), text))
                texts.push_back(text);
            child.Close();
            ref.SetArray(nullptr, n, texts.data(), uint32_t(texts.size()));
            break;
        }
        default:
            break;
    }
}

void ReadRecordArray(const PrefsDictView& dict, CRecordRef ref, uint32_t n, const char* key, uint32_t depth) {
    const SFieldDesc& f = ref->Field(n);
    const CRecordType* type = CRecordType::Find(f.SubDomain(), f.SubType());
    if (!type) return;
    const PrefsDictView list = dict.OpenChild(key);
    if (!list.IsValid()) return;
    for (uint32_t i = ref->ArrayCount(n); i-- > 0;) ref.DeleteElement(nullptr, n, i);
    for (uint32_t i = 0;; ++i) {
        const PrefsDictView element = list.OpenChild(PrefsDictView::IndexedKey("a", i).c_str());
        if (!element.IsValid()) break;
        CRecord* record = CRecord::New(type);
        if (record) {
            CRecord* var = record;
            Read(element, CRecordRef(&var), depth + 1);
            ref.InsertRecord(nullptr, n, CRecordRef::kAppend, record);
        }
        element.Close();
    }
    list.Close();
}

void Read(const PrefsDictView& dict, CRecordRef ref, uint32_t depth) {
    CRecord* r = ref.Get();
    if (!r || depth > CRecordDict::kMaxDepth) return;
    for (uint32_t n = 0; n < r->FieldCount(); ++n) {
        const SFieldDesc& f = r->Field(n);
        if (f.tag == 0) continue;
        const std::string key = CRecordDict::TagKey(f.tag);
        switch (f.kind) {
            case kFieldInt:
            case kFieldUInt:
            case kFieldByte: {
                std::vector<int64_t> list;
                if (dict.GetIntList(key.c_str(), list) && !list.empty())
                    ref.SetScalar(nullptr, n, uint64_t(list[0]));
                break;
            }
            case kFieldFloat: {
                LString text;
                if (dict.GetText(key.c_str(), text))
                    ref.SetFloat(nullptr, n, float(UNum::ToFloat(text.Text())));
                break;
            }
            case kFieldString: {
                LString text;
                if (dict.GetText(key.c_str(), text)) ref.SetString(nullptr, n, text);
                break;
            }
            case kFieldArray:
                ReadArray(dict, ref, n, key.c_str());
                break;
            case kFieldRecord: {
                const PrefsDictView child = dict.OpenChild(key.c_str());
                if (!child.IsValid()) break;
                if (!r->GetSubRecord(n))
                    ref.DeleteSubRecord(nullptr, n,
                                        CRecord::New(CRecordType::Find(f.SubDomain(), f.SubType())));
                if (r->GetSubRecord(n)) Read(child, CRecordRef(&r->Slot(n).record), depth + 1);
                child.Close();
                break;
            }
            case kFieldRecordArray:
                ReadRecordArray(dict, ref, n, key.c_str(), depth);
                break;
            default:
                break;
        }
    }
}

}  // namespace

void CRecordDict::ToDictionary(const PrefsDictView& dict, CRecordRef ref) {
    Write(dict, ref.Get(), 0);
}

void CRecordDict::FromDictionary(const PrefsDictView& dict, CRecordRef ref) {
    if (!ref) return;
    ref.Reset();
    Read(dict, ref, 0);
}
