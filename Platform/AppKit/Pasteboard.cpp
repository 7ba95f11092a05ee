#include "Platform/AppKit/Pasteboard.h"

#include <utility>

#include "Platform/Foundation/Bytes.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/FileRef.h"

namespace plat {

namespace {

struct TypeCode {
    const char* type;
    uint32_t code;
};

// Known types and their codes.
constexpr TypeCode kTypeCodes[] = {
    {Pasteboard::kTypeString, 0x75746638},     // 'utf8'
    {"public.utf16-plain-text", 0x75747874},   // 'utxt'
    {Pasteboard::kTypeFileURL, 0x6675726C},    // 'furl'
    {Pasteboard::kTypeURL, 0x75726C20},        // 'url '
    {Pasteboard::kTypeFileNames, 0x68667320},  // 'hfs '
    {"public.png", 0x504E4766},                // 'PNGf'
    {"public.tiff", 0x54494646},               // 'TIFF'
    {"public.rtf", 0x52544620},                // 'RTF '
};
}  // namespace

Pasteboard::Entry Pasteboard::MakeEntry(std::string_view type) {
    Entry e;
    e.type = std::string(type);
    return e;
}

Pasteboard::Pasteboard(std::string name) : fName(std::move(name)) {}

Pasteboard::~Pasteboard() {
    TellOwnerGone();
}

Pasteboard* Pasteboard::General() {
    static Pasteboard* const board = new Pasteboard("general");
    return board;
}

Pasteboard* Pasteboard::Drag() {
    static Pasteboard* const board = new Pasteboard("drag");
    return board;
}

Pasteboard* Pasteboard::Selection() {
    static Pasteboard* const board = new Pasteboard("selection");
    return board;
}

Ref<Pasteboard> Pasteboard::CreateUnique() {
    static uint64_t serial = 0;
    return Adopt(new Pasteboard("unique-" + std::to_string(++serial)));
}

void Pasteboard::TellOwnerGone() {
    if (PasteboardOwner* owner = std::exchange(fOwner, nullptr)) owner->PasteboardChangedOwner(this);
}

void Pasteboard::Changed() {
    if (fHook) fHook(this, fHookContext);
}

int64_t Pasteboard::DeclareTypes(const std::vector<std::string>& types, PasteboardOwner* owner) {
    PLAT_DCHECK_MAIN_THREAD();
    PasteboardOwner* former = std::exchange(fOwner, owner);
    fEntries.clear();
    ++fChangeCount;
    for (const std::string& type : types)
        if (!type.empty() && !Find(type)) fEntries.push_back(MakeEntry(type));
    if (former && former != owner) former->PasteboardChangedOwner(this);
    Changed();
    return fChangeCount;
}

int64_t Pasteboard::ClearContents() {
    PLAT_DCHECK_MAIN_THREAD();
    fEntries.clear();
    ++fChangeCount;
    TellOwnerGone();
    Changed();
    return fChangeCount;
}

int64_t Pasteboard::AddTypes(const std::vector<std::string>& types, PasteboardOwner* owner) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fOwner) fOwner = owner;
    for (const std::string& type : types)
        if (!type.empty() && !Find(type)) fEntries.push_back(MakeEntry(type));
    Changed();
    return fChangeCount;
}

void Pasteboard::ForgetOwner(PasteboardOwner* owner) {
    if (owner && fOwner == owner) fOwner = nullptr;
}

Pasteboard::Entry* Pasteboard::Find(std::string_view type) {
    for (Entry& e : fEntries)
        if (e.type == type) return &e;
    return nullptr;
}

const Pasteboard::Entry* Pasteboard::Find(std::string_view type) const {
    for (const Entry& e : fEntries)
        if (e.type == type) return &e;
    return nullptr;
}

Pasteboard::Entry* Pasteboard::Slot(std::string_view type) {
    if (type.empty()) return nullptr;
    if (Entry* e = Find(type)) return e;
    fEntries.push_back(MakeEntry(type));
    return &fEntries.back();
}

bool Pasteboard::SetData(std::string_view type, const void* bytes, size_t size) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!bytes && size) return false;
    Entry* e = Slot(type);
    if (!e) return false;
    const auto* p = static_cast<const uint8_t*>(bytes);
    e->form = Entry::Form::kBytes;
    e->bytes.assign(p, p + size);
    e->elements.clear();
    Changed();
    return true;
}

bool Pasteboard::SetData(std::string_view type, std::vector<uint8_t>&& bytes) {
    PLAT_DCHECK_MAIN_THREAD();
    Entry* e = Slot(type);
    if (!e) return false;
    e->form = Entry::Form::kBytes;
    e->bytes = std::move(bytes);
    e->elements.clear();
    Changed();
    return true;
}

bool Pasteboard::SetString(std::string_view type, std::string_view text) {
    return SetData(type, text.data(), text.size());
}

bool Pasteboard::SetArray(std::string_view type, std::vector<PasteboardElement> elements) {
    PLAT_DCHECK_MAIN_THREAD();
    Entry* e = Slot(type);
    if (!e) return false;
    e->form = Entry::Form::kArray;
    e->bytes.clear();
    e->elements = std::move(elements);
    Changed();
    return true;
}

bool Pasteboard::SetDataArray(std::string_view type, const std::vector<std::vector<uint8_t>>& items) {
    std::vector<PasteboardElement> elements;
    elements.reserve(items.size());
    for (const auto& item : items) elements.push_back({PasteboardElement::Kind::kData, item});
    return SetArray(type, std::move(elements));
}

bool Pasteboard::SetFileURLs(const std::vector<std::string>& paths) {
    std::vector<PasteboardElement> urls, names;
    for (const std::string& path : paths) {
        const URL url = URL::FileURLWithPath(path);
        if (url.IsEmpty()) return false;
        const std::string& text = url.String();
        urls.push_back({PasteboardElement::Kind::kString, {text.begin(), text.end()}});
        names.push_back({PasteboardElement::Kind::kString, {path.begin(), path.end()}});
    }
    return SetArray(kTypeFileURL, std::move(urls)) && SetArray(kTypeFileNames, std::move(names));
}

std::vector<std::string> Pasteboard::Types() const {
    std::vector<std::string> types;
    types.reserve(fEntries.size());
    for (const Entry& e : fEntries) types.push_back(e.type);
    return types;
}

bool Pasteboard::HasType(std::string_view type) const {
    return Find(type) != nullptr;
}

std::string Pasteboard::AvailableType(const std::vector<std::string>& candidates) const {
    for (const std::string& c : candidates)
        if (Find(c)) return c;
    return std::string();
}

Pasteboard::Entry* Pasteboard::Resolve(std::string_view type) {
    Entry* e = Find(type);
    if (!e || e->form != Entry::Form::kPromised) return e;
    // Asked once at a time: a provider that reads its own promise gets nothing.
    if (!fOwner || fProviding) return e;
    const std::string name(type);
    PasteboardOwner* owner = fOwner;
    ++fProviding;
    owner->ProvideData(this, name);
    --fProviding;
    return Find(name);  // the provider may have added types
}

bool Pasteboard::DataForType(std::string_view type, std::vector<uint8_t>* out) {
    PLAT_DCHECK_MAIN_THREAD();
    const Entry* e = Resolve(type);
    if (!e || e->form != Entry::Form::kBytes) return false;
    if (out) *out = e->bytes;
    return true;
}

bool Pasteboard::StringForType(std::string_view type, std::string* out) {
    PLAT_DCHECK_MAIN_THREAD();
    const Entry* e = Resolve(type);
    if (!e || e->form != Entry::Form::kBytes) return false;
    if (out) out->assign(reinterpret_cast<const char*>(e->bytes.data()), e->bytes.size());
    return true;
}

bool Pasteboard::ArrayForType(std::string_view type, std::vector<PasteboardElement>* out) {
    PLAT_DCHECK_MAIN_THREAD();
    const Entry* e = Resolve(type);
    if (!e || e->form != Entry::Form::kArray) return false;
    if (out) *out = e->elements;
    return true;
}

bool Pasteboard::FileURLs(std::vector<std::string>* urls) {
    std::vector<std::string> found;
    std::vector<PasteboardElement> elements;
    std::string one;
    if (ArrayForType(kTypeFileURL, &elements)) {
        for (const PasteboardElement& el : elements) found.emplace_back(el.bytes.begin(), el.bytes.end());
    } else if (StringForType(kTypeFileURL, &one)) {
        found.push_back(one);
    } else if (ArrayForType(kTypeFileNames, &elements)) {
        for (const PasteboardElement& el : elements) {
            if (el.kind != PasteboardElement::Kind::kString) continue;
            const URL url = URL::FileURLWithPath(std::string(el.bytes.begin(), el.bytes.end()));
            if (!url.IsEmpty()) found.push_back(url.String());
        }
    } else {
        return false;
    }
    if (urls) *urls = std::move(found);
    return true;
}

bool Pasteboard::FileNames(std::vector<std::string>* paths) {
    std::vector<std::string> found;
    std::vector<PasteboardElement> elements;
    if (ArrayForType(kTypeFileNames, &elements)) {
        for (const PasteboardElement& el : elements)
            if (el.kind == PasteboardElement::Kind::kString)
                found.emplace_back(el.bytes.begin(), el.bytes.end());
    } else {
        std::vector<std::string> urls;
        if (!FileURLs(&urls)) return false;
        for (const std::string& u : urls) {
            std::string path = URL(u).Path();
            if (!path.empty()) found.push_back(std::move(path));
        }
    }
    if (paths) *paths = std::move(found);
    return true;
}

uint32_t Pasteboard::CodeForType(std::string_view type) {
    for (const TypeCode& tc : kTypeCodes)
        if (type == tc.type) return tc.code;
    if (type.empty() || type.size() > 4) return 0;
    // A code's text: blanks that led the code were dropped, so shorter text is right-aligned.
    uint8_t b[4] = {' ', ' ', ' ', ' '};
    const size_t pad = 4 - type.size();
    for (size_t i = 0; i < type.size(); ++i) {
        if (type[i] == 0) return 0;
        b[pad + i] = static_cast<uint8_t>(type[i]);
    }
    return LoadBE32(b);
}

std::string Pasteboard::TypeForCode(uint32_t code) {
    for (const TypeCode& tc : kTypeCodes)
        if (tc.code == code) return tc.type;
    char text[5];
    FourCCToText(code, text);
    std::string out;
    for (int i = 0; i < 4; ++i) {
        if (text[i] == 0) break;
        if (text[i] == ' ' && out.empty()) continue;
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace plat
