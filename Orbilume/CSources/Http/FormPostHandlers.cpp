#include "Orbilume/CSources/Http/FormPostHandlers.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "Lib3/LSources/CoreData/CValueProvider.h"
#include "Orbilume/CSources/Osc/OscArg.h"
#include "Orbilume/CSources/Osc/OscListener.h"
#include "Orbilume/CSources/Osc/OscPattern.h"
#include "Platform/Foundation/FileIO.h"

namespace {

constexpr uint32_t kMaxUploadName = 255;

std::string UploadFolder(const std::string& root) {
    return root + "/Upload";
}

}  // namespace

FormReceiver::~FormReceiver() {
    Discard();
}

void FormReceiver::Discard() {
    if (fd >= 0) close(fd);
    fd = -1;
    if (!tempPath.empty()) unlink(tempPath.c_str());
    tempPath.clear();
}

std::string FormPostHandler::SafeUploadName(const std::string& fileName) {
    const size_t slash = fileName.find_last_of("/\\");
    std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    if (name.empty() || name == "." || name == ".." || name.size() > kMaxUploadName) return {};
    for (char c : name)
        if (uint8_t(c) < 0x20 || c == 0x7F) return {};
    return name;
}

std::unique_ptr<HttpBodyReceiver> FormPostHandler::Begin(const std::string& contentType) {
    return std::make_unique<FormReceiver>(FormFieldReader::ForContentType(contentType));
}

void FormPostHandler::Feed(HttpBodyReceiver& receiver, const uint8_t* bytes, uint32_t length) {
    auto& form = static_cast<FormReceiver&>(receiver);
    FormFieldReader* reader = form.Reader();
    if (!reader) return;
    for (uint32_t i = 0; i < length;) {
        if (const uint32_t run = reader->FeedDataRun(bytes + i, length - i)) {
            i += run;
            Act(form, FormFieldReader::kData);
            continue;
        }
        const int result = reader->Feed(bytes[i++]);
        if (result != FormFieldReader::kNothing) Act(form, result);
    }
}

void FormPostHandler::Finish(HttpBodyReceiver& receiver, std::string& redirect) {
    (void)redirect;
    auto& form = static_cast<FormReceiver&>(receiver);
    if (FormFieldReader* reader = form.Reader()) {
        const int result = reader->Finish();
        if (result != FormFieldReader::kNothing) Act(form, result);
    }
    form.Discard();  // a part cut short by the end of the body
}

void FormPostHandler::Act(FormReceiver& receiver, int result) {
    FormFieldReader& reader = *receiver.Reader();
    if (result == FormFieldReader::kData) {
        OnData(receiver, reader);
        return;
    }
    OnField(receiver, reader);
    receiver.Discard();
    receiver.skipped = false;
}

OsceqPostHandler::OsceqPostHandler(std::string root, OscListener* listener, const CValueProvider* provider)
    : FormPostHandler("/.Osceq"), fRoot(std::move(root)), fListener(listener), fProvider(provider) {}

bool OsceqPostHandler::OpenUpload(FormReceiver& receiver, const std::string& name) {
    if (name.empty() || !plat::MakeFolders(UploadFolder(fRoot), 0755)) return false;
    std::string pattern = UploadFolder(fRoot) + "/.upload-XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    const int fd = mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) return false;
    (void)fchmod(fd, 0644);
    receiver.fd = fd;
    receiver.tempPath = path.data();
    return true;
}

bool OsceqPostHandler::WriteData(FormReceiver& receiver, FormFieldReader& reader) {
    reader.TakeData(fScratch);
    if (receiver.skipped) return false;
    if (!fScratch.empty() && !plat::WriteAllToFd(receiver.fd, fScratch.data(), fScratch.size())) {
        receiver.Discard();  // the disk is full, or the file cannot grow
        receiver.skipped = true;
        return false;
    }
    return true;
}

void OsceqPostHandler::OnData(FormReceiver& receiver, FormFieldReader& reader) {
    if (reader.FileName().empty()) return;  // a text field collects in the reader
    if (reader.Value().size() < kWritePiece) return;
    if (receiver.fd < 0 && !receiver.skipped && !OpenUpload(receiver, SafeUploadName(reader.FileName())))
        receiver.skipped = true;
    WriteData(receiver, reader);
}

void OsceqPostHandler::OnField(FormReceiver& receiver, FormFieldReader& reader) {
    if (reader.FileName().empty()) {
        Send(reader.Name(), reader.Value());
        return;
    }
    const std::string name = SafeUploadName(reader.FileName());
    if (receiver.fd < 0 && !receiver.skipped && !OpenUpload(receiver, name)) receiver.skipped = true;
    if (!WriteData(receiver, reader)) return;
    const std::string path = UploadFolder(fRoot) + "/" + name;
    const bool closed = close(receiver.fd) == 0;
    receiver.fd = -1;
    if (!closed || rename(receiver.tempPath.c_str(), path.c_str()) != 0) return;  // Discard removes it
    receiver.tempPath.clear();
    CValueProvider::SObject announced{LString(path.c_str())};
    if (fProvider && !fProvider->Hand(CValueProvider::kHandOther, &announced)) return;
    Send(reader.Name(), path);
}

void OsceqPostHandler::Send(const std::string& name, const std::string& value) {
    if (name.empty() || !fListener) return;
    OscPattern pattern;
    pattern.Compile(name.c_str());
    const OscArg arg = OscArg::Text(value.c_str());
    fListener->NotifyOsc(pattern, &arg, 1);
}

CmdPostHandler::CmdPostHandler(std::string root) : FormPostHandler("/.Cmd"), fRoot(std::move(root)) {}

void CmdPostHandler::OnData(FormReceiver& receiver, FormFieldReader& reader) {
    (void)receiver;
    if (!reader.FileName().empty()) {
        std::string drop;
        reader.TakeData(drop);
    }
}

void CmdPostHandler::OnField(FormReceiver& receiver, FormFieldReader& reader) {
    (void)receiver;
    if (reader.Name() == "cmd" && reader.Value() == "delupload") (void)DeleteUploads(fRoot);
}

bool CmdPostHandler::DeleteUploads(const std::string& root) {
    const std::string folder = UploadFolder(root);
    const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return false;
    DIR* dir = fdopendir(dirFd);
    if (!dir) {
        close(dirFd);
        return false;
    }
    std::vector<std::string> names;
    while (dirent* e = readdir(dir)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
    }
    // Folders refuse a plain unlink and are kept.
    for (const auto& n : names) unlinkat(dirFd, n.c_str(), 0);
    closedir(dir);
    return true;
}
