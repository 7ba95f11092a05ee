#pragma once

#include <optional>

#include "Common/Internet/CBoundaryScanner.h"
#include "Common/Internet/CHeaderLineParser.h"
#include "Orbilume/CSources/Http/FormFieldReader.h"

// multipart/form-data: parts between boundary lines, each with a header block whose
// Content-Disposition gives the field's "name" and "filename". A part is a field when the
// boundary after it arrives and it has a name. A part's header block is capped at kMaxPartHead
// bytes; a part without a file name is capped at kMaxField.
class MultipartParser : public FormFieldReader {
public:
    static constexpr uint32_t kMaxPartHead = 16 * 1024;

    explicit MultipartParser(const std::string& boundary);
    int Feed(uint8_t byte) override;
    uint32_t FeedDataRun(const uint8_t* bytes, uint32_t length) override;
    int Finish() override { return kNothing; }
    // The closing boundary arrived.
    bool Ended() const { return fEnded; }

private:
    int DataByte(uint8_t byte);
    void OnPartHeader(const std::string& name, const std::string& value);
    void StartPart();

    CBoundaryScanner fScanner;
    std::optional<CHeaderLineParser> fHeaders;
    uint32_t fHeadBytes = 0;
    bool fPartEnded = false;
    bool fInData = false;
    bool fOverflow = false;
    bool fEnded = false;
};
