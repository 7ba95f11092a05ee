#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The fields of a posted form body (URL-encoded or multipart/form-data), fed one byte at a time,
// free of sockets. A field's name and value are capped at kMaxField bytes (beyond, the field is
// dropped); file data of a multipart part is not capped but collects until the caller takes it
// (TakeData) when Feed answers kData.
class FormFieldReader {
public:
    enum Result : int { kNothing = 0, kField = 1, kData = 2 };
    static constexpr uint32_t kMaxField = 64 * 1024;
    static constexpr uint32_t kMaxBoundary = 70;

    virtual ~FormFieldReader() = default;
    virtual int Feed(uint8_t byte) = 0;
    // Takes a leading run of bytes that are all file data of the current part (as if each was fed
    // and answered kData); 0 when the next byte must go through Feed.
    virtual uint32_t FeedDataRun(const uint8_t* bytes, uint32_t length) {
        (void)bytes;
        (void)length;
        return 0;
    }
    // The body ended: kField when that completes a last field.
    virtual int Finish() = 0;

    // The field just completed (or the part being read): its name, its value or the part data
    // collected so far, and a multipart part's file name.
    const std::string& Name() const { return fName; }
    const std::string& Value() const { return fValue; }
    const std::string& FileName() const { return fFileName; }
    // Hands out the collected part data and empties it.
    void TakeData(std::string& out) {
        out.swap(fValue);
        fValue.clear();
    }

    // Whether the content type is "multipart/form-data" (without regard to case); then boundary is
    // its "boundary" parameter (quoted or not), else empty.
    static bool BoundaryOf(const std::string& contentType, std::string& boundary);
    // A multipart reader when the content type is multipart/form-data with a usable boundary (1 to
    // 70 bytes, no line end), null for a multipart type without one (no fields), else a URL-form
    // reader.
    static std::unique_ptr<FormFieldReader> ForContentType(const std::string& contentType);

protected:
    std::string fName;
    std::string fValue;
    std::string fFileName;
};
