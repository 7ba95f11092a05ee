#pragma once

#include <cstdint>

class CStream;

// Output sink of the XML writers: bytes go straight to the stream's Put (errors stay in the
// stream, whose error state makes later writes do nothing).
class CXmlRecordWriter {
public:
    explicit CXmlRecordWriter(CStream& stream) : fStream(stream) {}
    virtual ~CXmlRecordWriter() = default;
    CXmlRecordWriter(const CXmlRecordWriter&) = delete;
    CXmlRecordWriter& operator=(const CXmlRecordWriter&) = delete;

    // The bytes of a NUL-terminated text (null writes nothing).
    virtual void Write(const unsigned char* text);
    virtual void WriteChar(unsigned char c);
    virtual void NewLine() { WriteChar('\n'); }

    void Write(const char* text) { Write(reinterpret_cast<const unsigned char*>(text)); }
    void Write(const unsigned char* bytes, uint32_t n);
    CStream& Stream() { return fStream; }

private:
    CStream& fStream;
};
