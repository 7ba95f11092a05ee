#pragma once

#include <cstdint>

class CStream;

// Output sink of the XML writers: bytes are gathered and go to the stream's Put in large blocks;
// Flush, and the destructor, hand over the rest. Errors stay in the stream, whose error state makes
// later writes do nothing.
class CXmlRecordWriter {
public:
    explicit CXmlRecordWriter(CStream& stream) : fStream(stream) {}
    virtual ~CXmlRecordWriter();
    CXmlRecordWriter(const CXmlRecordWriter&) = delete;
    CXmlRecordWriter& operator=(const CXmlRecordWriter&) = delete;

    // The bytes of a NUL-terminated text (null writes nothing).
    virtual void Write(const unsigned char* text);
    virtual void WriteChar(unsigned char c);
    virtual void NewLine() { WriteChar('\n'); }

    void Write(const char* text) { Write(reinterpret_cast<const unsigned char*>(text)); }
    void Write(const unsigned char* bytes, uint32_t n);
    // Hands the gathered bytes to the stream.
    void Flush();
    // The stream, with every byte written so far handed to it.
    CStream& Stream() {
        Flush();
        return fStream;
    }

private:
    static constexpr uint32_t kBlock = 16384;

    CStream& fStream;
    uint32_t fLength = 0;
    unsigned char fBuffer[kBlock];
};
