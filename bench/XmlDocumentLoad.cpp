// Loads a record document as a program would at start-up, for timing the whole process beside
// `xmllint --noout` on the same file:
//   orbilume-xml-load --write FILE   writes the benchmark document to FILE
//   orbilume-xml-load FILE           reads FILE into a record; exit status 0 when it was read
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"
#include "bench/XmlBenchDocument.h"

namespace {

bool ReadFile(const char* path, std::string& out) {
    int fd = open(path, O_RDONLY);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    if (ok) out.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (ok && done < out.size()) {
        ssize_t n = read(fd, out.data() + done, out.size() - done);
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    close(fd);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write") == 0) {
        CRecord* root = xmlbench::MakeRoot(xmlbench::kItems);
        bool ok = WriteXmlDocumentFile(argv[2], root);
        CRecord::Delete(root);
        return ok ? 0 : 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s --write FILE | FILE\n", argv[0]);
        return 2;
    }
    std::string xml;
    if (!ReadFile(argv[1], xml)) return 1;
    CRecord* root = CRecord::New(&xmlbench::gRootType);
    CMemStream stream(xml.data(), static_cast<uint32_t>(xml.size()));
    int result = ReadXmlDocument(stream, CRecordRef(&root));
    CRecord::Delete(root);
    return result == 1 ? 0 : 1;
}
