#include "Common/Stream/CXmlRecordWriter.h"

#include <cstring>

#include "Common/Stream/CStream.h"

void CXmlRecordWriter::Write(const unsigned char* text) {
    if (text) Write(text, static_cast<uint32_t>(std::strlen(reinterpret_cast<const char*>(text))));
}

void CXmlRecordWriter::Write(const unsigned char* bytes, uint32_t n) {
    if (n) fStream.Put(bytes, n);
}

void CXmlRecordWriter::WriteChar(unsigned char c) {
    fStream.Put(&c, 1);
}
