// Feeds arbitrary bodies (the first line is a multipart boundary) to both form readers and to the
// "/.Osceq" handler storing uploads in a scratch root; every stored name must be one safe path
// component inside Upload, no temporary file may stay, and text fields stay within their cap.
#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "Orbilume/CSources/Http/FormFieldReader.h"
#include "Orbilume/CSources/Http/FormPostHandlers.h"
#include "Orbilume/CSources/Http/UrlFormParser.h"
#include "Orbilume/CSources/Osc/OscArg.h"
#include "Orbilume/CSources/Osc/OscListener.h"

namespace {

// Keeps the values sent: for stored files, their paths.
class RecordingListener : public OscListener {
public:
    void NotifyOsc(OscPattern&, const OscArg* args, uint32_t count) override {
        if (count != 1 || args[0].tag != 's') std::abort();
        values.insert(args[0].value.s);
    }
    std::set<std::string> values;
};

const std::string& Root() {
    static std::string root = [] {
        const char* tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/formfuzz-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) std::abort();
        return std::string(buf.data());
    }();
    return root;
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    return names;
}

// Only "Upload" in the root, only safe regular files in it that were announced (no temporary file
// stays); then empties it.
void CheckAndClear(const std::set<std::string>& announced) {
    const std::string root = Root();
    for (const auto& n : Entries(root))
        if (n != "Upload") std::abort();
    const std::string upload = root + "/Upload";
    for (const auto& n : Entries(upload)) {
        struct stat st;
        const std::string path = upload + "/" + n;
        if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) std::abort();
        if (FormPostHandler::SafeUploadName(n) != n || !announced.count(path)) std::abort();
        unlink(path.c_str());
    }
}

// The fields and file data the reader yields, fed byte by byte or (runs) through FeedDataRun too.
std::string Trace(FormFieldReader& reader, const uint8_t* data, size_t size, bool runs) {
    std::string trace, scratch;
    for (size_t i = 0; i <= size;) {
        int r;
        if (i == size) {
            r = reader.Finish();
            ++i;
        } else if (const uint32_t n = runs ? reader.FeedDataRun(data + i, uint32_t(size - i)) : 0) {
            if (reader.FileName().empty()) std::abort();
            i += n;
            r = FormFieldReader::kData;
        } else {
            r = reader.Feed(data[i++]);
        }
        if (r < 0 || r > 2) std::abort();
        if (r == FormFieldReader::kField && reader.FileName().empty() &&
            (reader.Value().size() > FormFieldReader::kMaxField ||
             reader.Name().size() > FormFieldReader::kMaxField))
            std::abort();
        if (r == FormFieldReader::kData && !reader.FileName().empty()) {
            reader.TakeData(scratch);
            trace += scratch;
        } else if (r == FormFieldReader::kField) {
            trace += "|" + reader.Name() + "@" + reader.FileName() + "=";
            reader.TakeData(scratch);
            trace += scratch + "|";
        }
    }
    return trace;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 17) return 0;
    size_t split = 0;
    while (split < size && split < 80 && data[split] != '\n') ++split;
    const std::string boundary(reinterpret_cast<const char*>(data), split);
    const size_t from = split + (split < size);
    const uint8_t* body = data + from;
    const size_t length = size - from;

    UrlFormParser url;
    (void)Trace(url, body, length, true);
    const std::string type = "multipart/form-data; boundary=\"" + boundary + "\"";
    auto bytewise = FormFieldReader::ForContentType(type);
    auto runs = FormFieldReader::ForContentType(type);
    // Taking runs of file data yields exactly what byte-by-byte feeding yields.
    if (bytewise && Trace(*bytewise, body, length, false) != Trace(*runs, body, length, true)) std::abort();

    RecordingListener listener;
    OsceqPostHandler handler(Root(), &listener, nullptr);
    for (const std::string& t : {type, std::string("application/x-www-form-urlencoded")}) {
        auto receiver = handler.Begin(t);
        // Pieces of varying size, as a connection hands them out.
        for (size_t at = 0, piece = 1; at < length; at += piece, piece = piece * 3 % 1021 + 1)
            handler.Feed(*receiver, body + at, uint32_t(std::min(piece, length - at)));
        std::string redirect;
        handler.Finish(*receiver, redirect);
        receiver.reset();
        CheckAndClear(listener.values);
    }
    return 0;
}
