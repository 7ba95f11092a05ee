#include "Common/Stream/CXmlRecordWriter.h"

#include <cstring>

#include "Common/Stream/CStream.h"

CXmlRecordWriter::~CXmlRecordWriter() {
    Flush();
}

void CXmlRecordWriter::Flush() {
    if (fLength) fStream.Put(fBuffer, fLength);
    fLength = 0;
}

void CXmlRecordWriter::Write(const unsigned char* text) {
    if (text) Write(text, static_cast<uint32_t>(std::strlen(reinterpret_cast<const char*>(text))));
}

void CXmlRecordWriter::Write(const unsigned char* bytes, uint32_t n) {
    if (n == 0) return;
    if (n > kBlock - fLength) {
        Flush();
        if (n >= kBlock) {
            fStream.Put(bytes, n);
            return;
        }
    }
    std::memcpy(fBuffer + fLength, bytes, n);
    fLength += n;
}

void CXmlRecordWriter::WriteChar(unsigned char c) {
    if (fLength == kBlock) Flush();
    fBuffer[fLength++] = c;
}
