#pragma once

#include <memory>
#include <string>

#include "Orbilume/CSources/Http/FormFieldReader.h"
#include "Orbilume/CSources/Http/HttpPostHandler.h"

class CValueProvider;
class OscListener;

// The receiver of a form post: the field reader chosen by the content type (none for a multipart
// type without a usable boundary), and the upload being stored.
class FormReceiver : public HttpBodyReceiver {
public:
    explicit FormReceiver(std::unique_ptr<FormFieldReader> reader) : fReader(std::move(reader)) {}
    ~FormReceiver() override;

    FormFieldReader* Reader() const { return fReader.get(); }

    // The upload of the current part: a temporary file in the upload folder, renamed when the part
    // ends. Skipped parts (unsafe name, failed write) store nothing and send nothing.
    std::string tempPath;
    int fd = -1;
    bool skipped = false;
    // Removes an unfinished upload.
    void Discard();

private:
    std::unique_ptr<FormFieldReader> fReader;
};

// Base of the two form handlers: a FormReceiver per post, fields handed to OnField, part data to
// OnData; answered "204 No Content.".
class FormPostHandler : public HttpPostHandler {
public:
    using HttpPostHandler::HttpPostHandler;
    std::unique_ptr<HttpBodyReceiver> Begin(const std::string& contentType) override;
    void Feed(HttpBodyReceiver& receiver, const uint8_t* bytes, uint32_t length) override;
    void Finish(HttpBodyReceiver& receiver, std::string& redirect) override;

    // The last path component of an uploaded file's name, or "" when it is unsafe: empty, "." or
    // "..", with a control byte, or over 255 bytes.
    static std::string SafeUploadName(const std::string& fileName);

protected:
    virtual void OnData(FormReceiver& receiver, FormFieldReader& reader) = 0;
    virtual void OnField(FormReceiver& receiver, FormFieldReader& reader) = 0;

private:
    void Act(FormReceiver& receiver, int result);
};

// "/.Osceq": every posted field becomes an OSC message (one 's' argument) to the listener; file
// parts are stored under <root>/Upload first and the message carries the stored file's path,
// once the document provider (operation 2) agrees to announce it.
class OsceqPostHandler : public FormPostHandler {
public:
    static constexpr uint32_t kWritePiece = 16384;

    // Borrowed: listener and provider (null: every upload is announced).
    OsceqPostHandler(std::string root, OscListener* listener, const CValueProvider* provider);

protected:
    void OnData(FormReceiver& receiver, FormFieldReader& reader) override;
    void OnField(FormReceiver& receiver, FormFieldReader& reader) override;

private:
    bool OpenUpload(FormReceiver& receiver, const std::string& name);
    bool WriteData(FormReceiver& receiver, FormFieldReader& reader);
    void Send(const std::string& name, const std::string& value);

    std::string fRoot;
    OscListener* fListener;
    const CValueProvider* fProvider;
    std::string fScratch;
};

// "/.Cmd": the field cmd=delupload deletes every file in <root>/Upload (folders are kept).
class CmdPostHandler : public FormPostHandler {
public:
    explicit CmdPostHandler(std::string root);

    // Deletes the files of the upload folder; false when it could not be read.
    static bool DeleteUploads(const std::string& root);

protected:
    void OnData(FormReceiver& receiver, FormFieldReader& reader) override;
    void OnField(FormReceiver& receiver, FormFieldReader& reader) override;

private:
    std::string fRoot;
};
