#include "Orbilume/CSources/Http/FormServer.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Orbilume/CSources/Http/FormHtml.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileIO.h"
#include "Platform/Foundation/StandardFolders.h"
#include "Platform/Foundation/URLOpener.h"

#ifndef ORBILUME_PANEL_HOMEPAGE
#define ORBILUME_PANEL_HOMEPAGE ""
#endif

namespace {

constexpr const char* kNoCache = "Cache-Control: no-cache, no-store, must-revalidate\r\nPragma: no-cache\r\n";
constexpr const char* kHtmlType = "Content-Type: text/html; charset=utf-8\r\n";
constexpr const char* kTextType = "Content-Type: text/plain; charset=utf-8\r\n";
constexpr const char* kUploadFolder = "Upload";

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Extension(const std::string& file) {
    const size_t slash = file.rfind('/');
    const size_t dot = file.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    return file.substr(dot + 1);
}

std::string WithoutExtension(const std::string& file) {
    const std::string ext = Extension(file);
    return ext.empty() ? file : file.substr(0, file.size() - ext.size() - 1);
}

const char* ContentType(const std::string& ext) {
    static const struct {
        const char* ext;
        const char* type;
    } kTypes[] = {{"html", "text/html; charset=utf-8"},
                  {"htm", "text/html; charset=utf-8"},
                  {"css", "text/css"},
                  {"js", "text/javascript"},
                  {"png", "image/png"},
                  {"jpg", "image/jpeg"},
                  {"jpeg", "image/jpeg"},
                  {"svg", "image/svg+xml"},
                  {"txt", "text/plain; charset=utf-8"}};
    for (const auto& t : kTypes)
        if (ext == t.ext) return t.type;
    return nullptr;
}

// The names of the regular files (links followed) of a folder, sorted.
std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            if (IsRegularFile(folder + "/" + name)) names.push_back(name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void AppendFile(std::string& out, const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return;
    char piece[4096];
    size_t n;
    while ((n = std::fread(piece, 1, sizeof piece, f)) > 0) out.append(piece, n);
    std::fclose(f);
}

std::string FileURL(const std::string& path) {
    std::string url = "file://";
    formhtml::AppendPercentEncoded(url, path);
    return url;
}

}  // namespace

std::string FormServerSettings::DefaultRoot() {
    // The panel makes its root when it starts, so a home without its documents folder yet gets one.
    const std::string documents = plat::StandardFolderPath(plat::StandardFolder::kDocuments, true);
    return documents.empty() ? std::string() : documents + "/Orbilume Server";
}

namespace {

struct FlagKey {
    const char* key;
    bool FormServerSettings::*flag;
};
const FlagKey kFlags[] = {
    {"opensame", &FormServerSettings::opensame}, {"monimg", &FormServerSettings::monimg},
    {"valnum", &FormServerSettings::valnum},     {"valsld", &FormServerSettings::valsld},
    {"upld", &FormServerSettings::upld},         {"uplddel", &FormServerSettings::uplddel},
    {"upldsel", &FormServerSettings::upldsel},   {"gohome", &FormServerSettings::gohome},
};

}  // namespace

FormServerSettings FormServerSettings::Read(CRecordRef set) {
    FormServerSettings s;
    s.port = uint16_t(std::clamp<int32_t>(CParamSet::GetIntOr(set, LString("port"), s.port), 1, 65535));
    s.monsz =
        uint32_t(std::clamp<int32_t>(CParamSet::GetIntOr(set, LString("monsz"), int32_t(s.monsz)), 32, 512));
    LString text;
    if (CParamSet::Find(set, LString("root"), &text) >= 0) s.root = text.CStr();
    if (CParamSet::Find(set, LString("pass"), &text) >= 0) s.pass = text.CStr();
    for (const FlagKey& f : kFlags) s.*f.flag = CParamSet::GetIntOr(set, LString(f.key), s.*f.flag) != 0;
    return s;
}

bool FormServerSettings::Write(CRecordRef set, LHandler* editor) const {
    const std::string folder = Root();
    const bool made = !folder.empty() && plat::MakeFolders(folder + "/" + kUploadFolder, 0755);
    CParamSet::SetInt(set, editor, LString("port"), port);
    CParamSet::SetString(set, editor, LString("root"), LString(root.c_str()));
    // An empty value removes the entry: no password.
    CParamSet::SetString(set, editor, LString("pass"),
                         LString(FormPassword::IsSet(pass) ? pass.c_str() : ""));
    CParamSet::SetInt(set, editor, LString("monsz"), int32_t(monsz));
    for (const FlagKey& f : kFlags) CParamSet::SetInt(set, editor, LString(f.key), this->*f.flag ? 1 : 0);
    return made;
}

bool FormServerSettings::ShowRoot() const {
    const std::string folder = Root();
    if (folder.empty() || !plat::MakeFolders(folder + "/" + kUploadFolder, 0755)) return false;
    return plat::OpenURL(FileURL(folder));
}

CFormServer::CFormServer(LAsyncLoop* loop, OscListener* listener, FormDocumentProvider* documents,
                         const FormServerSettings& settings, const CValueProvider* uploads)
    : HttpServer(loop),
      fLoop(loop),
      fDocuments(documents),
      fSettings(settings),
      fRoot(settings.Root()),
      fMonitor(&fFixed, [this] { WakeConnections(); }),
      fMonitorTimer(new LAsyncTimer(this, loop)),
      fOsceq(fRoot, listener, uploads),
      fCmd(fRoot) {
    fAccess.SetStored(fSettings.pass);
    fFragments = LoadFragments();
    const std::string bundle = plat::MainBundlePath();
    if (!bundle.empty()) {
        fFormFolder = plat::BundleSharedSupportPath(bundle) + "/form";
        fVersion = plat::BundleInfoValue(bundle, plat::kBundleVersionKey);
    }
    AddPostHandler(&fOsceq);
    AddPostHandler(&fCmd);
}

CFormServer::~CFormServer() {
    fMonitorTimer->Stop();
    fMonitor.SetSource(nullptr);
}

std::vector<std::string> CFormServer::LoadFragments() {
    std::vector<std::string> out;
    const LStrListRsrcH list{SRsrcRequest("FORMSVR")};
    for (uint32_t i = 0; i < list.Count(); ++i) {
        const LString s = list.GetString(i);
        out.emplace_back(s.CStr(), s.Length());
    }
    return out;
}

void CFormServer::SetSettings(const FormServerSettings& settings) {
    fSettings = settings;
    fAccess.SetStored(fSettings.pass);
}

bool CFormServer::ResolvePath(const std::string& root, const std::string& path, std::string& file) {
    std::vector<std::string> parts;
    size_t at = 0;
    while (at <= path.size()) {
        size_t end = path.find('/', at);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(at, end - at);
        at = end + 1;
        if (part.empty() || part == ".") continue;
        if (part.find('\0') != std::string::npos) return false;
        if (part == "..") {
            if (parts.empty()) return false;  // climbs out of the root
            parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    file = root;
    for (const std::string& p : parts) file += "/" + p;
    return true;
}

LMessage CFormServer::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncTimer_Expire) && msg.sender == fMonitorTimer.get()) {
        if (const uint32_t left = fMonitor.Expire(fLoop->Now())) fMonitorTimer->Start(left);
        return LMessage();
    }
    return HttpServer::Handle(msg);
}

bool CFormServer::CheckAccess(HttpConnection& connection) {
    HttpRequest& r = connection.Request();
    const bool hasCredentials = !r.user.empty() || !r.password.empty();
    if (fAccess.Check(connection.PeerAddress(), hasCredentials, r.password, fLoop->Now())) return true;
    r.status = HttpRequest::kUnauthorized;
    r.extraHeaders += kRealmHeader;
    return false;
}

void CFormServer::OpenSameNamed(const std::string& document) const {
    const size_t slash = document.rfind('/');
    const std::string folder = document.substr(0, slash);
    if (folder == fRoot + "/" + kUploadFolder) return;
    const std::string stem = WithoutExtension(document.substr(slash + 1));
    for (const std::string& name : FilesIn(folder)) {
        const std::string ext = Extension(name);
        if (ext == "obm" || ext == "html" || ext == "htm" || WithoutExtension(name) != stem) continue;
        (void)plat::OpenURL(FileURL(folder + "/" + name));
    }
}

bool CFormServer::RoutePage(const std::string& file, std::unique_ptr<HttpBodySource>* body,
                            std::string& headers, HttpConnection& connection) {
    const std::string document = WithoutExtension(file) + ".obm";
    if (!IsRegularFile(document)) {
        if (IsRegularFile(file)) {
            if (!CheckAccess(connection)) return false;
            if (HttpFileBody* f = HttpFileBody::Open(file)) {
                body->reset(f);
                headers += kHtmlType;
                return true;
            }
        }
        if (!CheckAccess(connection)) return false;
        body->reset(new HttpMemoryBody(NotFoundPage()));
        headers += kHtmlType;
        headers += kNoCache;
        return true;
    }
    // Refused clients open nothing.
    if (!CheckAccess(connection)) return false;
    if (connection.Request().method == HttpRequest::kGet) {
        const int answer = fDocuments ? fDocuments->OpenDocument(document) : FormDocumentProvider::kRefused;
        if (answer == FormDocumentProvider::kRefused) return false;
        if (fSettings.opensame && answer == FormDocumentProvider::kOpened) OpenSameNamed(document);
    }
    if (HttpFileBody* f = HttpFileBody::Open(file)) {
        body->reset(f);
    } else {
        body->reset(new HttpMemoryBody(FormPage()));
        headers += kNoCache;
    }
    headers += kHtmlType;
    return true;
}

bool CFormServer::Route(const std::string& path, std::unique_ptr<HttpBodySource>* body, std::string& headers,
                        HttpConnection& connection) {
    std::string file;
    if (!fRoot.empty() && ResolvePath(fRoot, path, file)) {
        const std::string ext = Extension(file);
        if (ext == "html" || ext == "htm") return RoutePage(file, body, headers, connection);
        if (IsRegularFile(file)) {
            if (!CheckAccess(connection)) return false;
            if (HttpFileBody* f = HttpFileBody::Open(file)) {
                body->reset(f);
                if (const char* type = ContentType(ext))
                    headers += std::string("Content-Type: ") + type + "\r\n";
                return true;
            }
        }
    }
    if (!CheckAccess(connection)) return false;
    if (path == "/.osceq" || path == "/.upload") {
        body->reset(new HttpMemoryBody(path == "/.osceq" ? EntryList() : UploadList()));
        headers += kTextType;
        headers += kNoCache;
        return true;
    }
    if (path == "/.monitor") {
        headers += "Content-Type: image/png\r\n";
        headers += kNoCache;
        if (fDocuments && fDocuments->HasDocument()) {
            const uint32_t size = std::clamp<uint32_t>(fSettings.monsz, 32, 512);
            *body = fMonitor.Request(size, fLoop->Now());
            if (const uint32_t left = fMonitor.Expire(fLoop->Now())) fMonitorTimer->Start(left);
        }
        if (!*body) connection.Request().status = HttpRequest::kUnavailable;
        return true;
    }
    return false;
}

std::string CFormServer::EntryList() const {
    std::vector<FormEntry> entries;
    if (fDocuments && fDocuments->HasDocument()) fDocuments->FormEntries(entries);
    std::string out;
    for (const FormEntry& e : entries) {
        if (!out.empty()) out += '&';
        formhtml::AppendPercentEncoded(out, e.address);
        out += '=';
        formhtml::AppendPercentEncoded(out, e.value);
    }
    return out;
}

std::string CFormServer::UploadList() const {
    std::string out;
    for (const std::string& name : FilesIn(fRoot + "/" + kUploadFolder)) {
        if (!out.empty()) out += '&';
        formhtml::AppendPercentEncoded(out, name);
        out += '=';
        formhtml::AppendPercentEncoded(out, std::string(kUploadFolder) + "/" + name);
    }
    return out;
}

const std::string& CFormServer::Fragment(uint32_t index) const {
    static const std::string kEmpty;
    return index < fFragments.size() ? fFragments[index] : kEmpty;
}

void CFormServer::AppendFields(std::string& out, const FormEntry& e) const {
    using formhtml::AppendFilled;
    switch (e.kind) {
        case 3:
            if (fSettings.upld) AppendFilled(out, Fragment(13), {e.address, e.value});
            if (fSettings.upldsel) AppendFilled(out, Fragment(14), {e.address});
            break;
        case 2:
            AppendFilled(out, Fragment(12), {e.address, e.value});
            break;
        case 0:
            if (!e.items.empty()) {
                AppendFilled(out, Fragment(15), {e.address});
                for (size_t i = 0; i < e.items.size(); ++i)
                    AppendFilled(
                        out, Fragment(16),
                        {std::to_string(i), e.items[i], e.value == std::to_string(i) ? "selected" : ""});
                AppendFilled(out, Fragment(17), {});
                break;
            }
            [[fallthrough]];
        default:
            if (fSettings.valnum) AppendFilled(out, Fragment(18), {e.address, e.value});
            if (fSettings.valsld)
                AppendFilled(out, Fragment(19),
                             {e.address, e.value, e.minimum, e.maximum, e.kind == 0 ? "integer" : ""});
    }
}

std::string CFormServer::FormPage() const {
    using formhtml::AppendFilled;
    std::vector<FormEntry> entries;
    std::vector<FormScene> scenes;
    if (fDocuments && fDocuments->HasDocument()) {
        fDocuments->FormEntries(entries);
        fDocuments->Scenes(scenes);
    }
    std::string out;
    AppendFile(out, fFormFolder + "/form_pre.txt");
    AppendFilled(out, Fragment(0), {});
    out += "<tr>";
    if (!scenes.empty()) AppendFilled(out, Fragment(1), {});
    if (fSettings.monimg) AppendFilled(out, Fragment(2), {});
    out += "</tr>";
    if (!scenes.empty()) {
        AppendFilled(out, Fragment(5), {});
        for (const FormScene& s : scenes)
            if (!s.name.empty()) AppendFilled(out, Fragment(7), {std::to_string(s.index), s.name});
        AppendFilled(out, Fragment(6), {});
    }
    if (fSettings.monimg) AppendFilled(out, Fragment(3), {});
    AppendFilled(out, Fragment(4), {});
    AppendFilled(out, Fragment(8), {});
    std::vector<const FormEntry*> shown;
    for (const FormEntry& e : entries)
        if (e.kind != 3 || fSettings.upld || fSettings.upldsel) shown.push_back(&e);
    if (!shown.empty()) {
        AppendFilled(out, Fragment(9), {});
        for (const FormEntry* e : shown) {
            out += "<tr>";
            AppendFilled(out, Fragment(11), {e->label, e->address});
            out += "<td>";
            AppendFields(out, *e);
            out += "</td></tr>\r\n";
        }
        AppendFilled(out, Fragment(10), {});
        AppendFilled(out, Fragment(8), {});
    }
    if (fSettings.uplddel && fSettings.upld) AppendFilled(out, Fragment(20), {});
    if (fSettings.gohome) AppendFilled(out, Fragment(21), {});
    AppendFile(out, fFormFolder + "/form_post.txt");
    return out;
}

std::string CFormServer::NotFoundPage() const {
    std::string out =
        "<!DOCTYPE html>\r\n<html><head><meta charset=\"utf-8\">"
        "<meta http-equiv=\"Cache-Control\" content=\"no-cache\"><title>Orbilume</title></head>\r\n"
        "<body><h1>Not Found.</h1><p>Orbilume</p>\r\n<table><tr><td>Version</td><td>";
    formhtml::AppendEscaped(out, fVersion);
    out += "</td></tr><tr><td>Build Date</td><td>";
    formhtml::AppendEscaped(out, __DATE__);
    out += "</td></tr></table>\r\n";
    const std::string homepage = ORBILUME_PANEL_HOMEPAGE;
    if (!homepage.empty()) {
        out += "<p><a href=\"";
        formhtml::AppendEscaped(out, homepage);
        out += "\">Homepage</a></p>\r\n";
    }
    out += "</body></html>\r\n";
    return out;
}
