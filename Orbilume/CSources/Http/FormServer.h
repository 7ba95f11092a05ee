#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Orbilume/CSources/Http/FormMonitor.h"
#include "Orbilume/CSources/Http/FormPassword.h"
#include "Orbilume/CSources/Http/FormPostHandlers.h"
#include "Orbilume/CSources/Http/HttpServer.h"

class CRecord;
class CRecordRef;
class CValueProvider;
class LAsyncTimer;
class LHandler;
class OscListener;

// One OSC-controlled parameter of the current document on the panel's form. Kinds: 0 integer
// (a choice when it has item labels), 1 number, 2 text, 3 file.
struct FormEntry {
    uint8_t kind = 1;
    std::string address;  // the form field's name
    std::string label;
    std::string value;
    std::string minimum;
    std::string maximum;
    std::vector<std::string> items;  // labels of an integer's values 0, 1, ...
};

struct FormScene {
    uint32_t index = 0;
    std::string name;
};

// What the panel asks of the application's documents; the document layer implements it. Main thread.
class FormDocumentProvider {
public:
    enum Open : int { kRefused = 0, kOpened = 1, kAlreadyOpen = 2 };
    virtual ~FormDocumentProvider() = default;
    virtual bool HasDocument() const = 0;
    // Opens the document file: kRefused makes the page request fail.
    virtual int OpenDocument(const std::string& path) = 0;
    // The current document's form entries (its mix's OSC-controlled inputs) and its scenes.
    virtual void FormEntries(std::vector<FormEntry>& out) const = 0;
    virtual void Scenes(std::vector<FormScene>& out) const = 0;
};

// The panel's settings (preference set 'fmsv').
struct FormServerSettings {
    uint16_t port = 51000;
    std::string root;  // empty: DefaultRoot()
    std::string pass;  // FormPassword::Store's value
    uint32_t monsz = 160;
    bool opensame = false;
    bool monimg = true;
    bool valnum = true;
    bool valsld = true;
    bool upld = true;
    bool uplddel = true;
    bool upldsel = true;
    bool gohome = true;

    // "Orbilume Server" in the user's documents folder.
    static std::string DefaultRoot();
    std::string Root() const { return root.empty() ? DefaultRoot() : root; }

    // From a parameter set: absent or unreadable keys keep their defaults, numbers are clamped
    // (port 1-65535, monsz 32-512).
    static FormServerSettings Read(CRecordRef set);
    // Every key into the set (the password entry is removed when there is none), after making
    // the root and its "Upload" folder; false when they could not be made (the keys are stored).
    [[nodiscard]] bool Write(CRecordRef set, LHandler* editor) const;
    // Makes the root and its "Upload" folder and opens the root with the system's file browser
    // (the settings' "show" button); false when the folders could not be made or nothing opened.
    [[nodiscard]] bool ShowRoot() const;
};

// The browser operation panel on an HttpServer: files of the root folder, pages that open the
// document beside them, a generated form of the current document's parameters, the lists
// "/.osceq" and "/.upload", the monitor image "/.monitor" and a Basic password per client address.
// Main thread.
class CFormServer : public HttpServer {
public:
    static constexpr uint32_t kFragmentCount = 22;
    static constexpr const char* kRealmHeader =
        "WWW-Authenticate: Basic realm=\"Orbilume Operation Panel\"\r\n";

    // Borrowed: listener, documents (may be null: no document) and the upload announcer.
    CFormServer(LAsyncLoop* loop, OscListener* listener, FormDocumentProvider* documents,
                const FormServerSettings& settings, const CValueProvider* uploads = nullptr);
    ~CFormServer() override;

    // The root stays the one given at construction; the rest applies at once.
    void SetSettings(const FormServerSettings& settings);
    const FormServerSettings& Settings() const { return fSettings; }
    // The 22 page fragments (by default the string list "FORMSVR" of the resources) and the folder
    // of "form_pre.txt" and "form_post.txt" (by default "form" in the bundle's SharedSupport).
    void SetFragments(std::vector<std::string> fragments) { fFragments = std::move(fragments); }
    void SetFormFolder(std::string folder) { fFormFolder = std::move(folder); }
    void SetVersion(std::string version) { fVersion = std::move(version); }
    // Borrowed (an engine's capture); null: the fixed picture, while there is no engine.
    void SetMonitorSource(FormMonitorSource* source) { fMonitor.SetSource(source ? source : &fFixed); }

    // The file a request path names inside the root, normalised; false when it climbs out.
    [[nodiscard]] static bool ResolvePath(const std::string& root, const std::string& path,
                                          std::string& file);
    static std::vector<std::string> LoadFragments();
    std::string FormPage() const;
    std::string NotFoundPage() const;
    std::string UploadList() const;
    std::string EntryList() const;
    const FormAccess& Access() const { return fAccess; }
    const FormMonitor& Monitor() const { return fMonitor; }

    LMessage Handle(const LMessage& msg) override;

protected:
    bool Route(const std::string& path, std::unique_ptr<HttpBodySource>* body, std::string& headers,
               HttpConnection& connection) override;
    bool CheckAccess(HttpConnection& connection) override;

private:
    bool RoutePage(const std::string& file, std::unique_ptr<HttpBodySource>* body, std::string& headers,
                   HttpConnection& connection);
    void OpenSameNamed(const std::string& document) const;
    const std::string& Fragment(uint32_t index) const;
    void AppendFields(std::string& out, const FormEntry& entry) const;

    LAsyncLoop* fLoop;
    FormDocumentProvider* fDocuments;
    FormServerSettings fSettings;
    std::string fRoot;
    std::vector<std::string> fFragments;
    std::string fFormFolder;
    std::string fVersion;
    FormAccess fAccess;
    FixedPictureMonitorSource fFixed;
    FormMonitor fMonitor;
    std::unique_ptr<LAsyncTimer> fMonitorTimer;
    OsceqPostHandler fOsceq;
    CmdPostHandler fCmd;
};
