// The XML readers and the writer beside libxml2 over the same bytes, and the whole load as a process
// beside `xmllint --noout`. Every case times ours and the peer by turns in each iteration and reports
// their ratio (ours / peer time).
#include <benchmark/benchmark.h>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlwriter.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "Common/Container/CBytes.h"
#include "Common/Stream/CMemStream.h"
#include "Common/Stream/CXmlDom.h"
#include "Common/Stream/CXmlElement.h"
#include "Common/Stream/CXmlReader.h"
#include "Common/Stream/CXmlTokenizer.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"
#include "Lib3/LSources/CoreString/LCharIn.h"
#include "bench/XmlBenchDocument.h"

namespace {

struct Document {
    CRecord* root = nullptr;
    std::string xml;
    Document() {
        xmlInitParser();
        root = xmlbench::MakeRoot(xmlbench::kItems);
        xml = xmlbench::Written(root);
    }
};

const Document& TheDocument() {
    static const Document* d = new Document;
    return *d;
}

// The thread's processor time: on a shared, loaded machine wall time mostly measures the others.
double ThreadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

template <class F>
double Seconds(F&& f) {
    const double start = ThreadSeconds();
    f();
    return ThreadSeconds() - start;
}

// Runs ours and the peer by turns; reports MB/s of each and ours/peer time (below 1: ours faster).
template <class Ours, class Peer>
void ByTurns(benchmark::State& state, size_t bytes, Ours&& ours, Peer&& peer) {
    double oursTotal = 0, peerTotal = 0;
    for (auto _ : state) {
        double a = Seconds(ours);
        double b = Seconds(peer);
        oursTotal += a;
        peerTotal += b;
        state.SetIterationTime(a + b);
    }
    const double mb = static_cast<double>(bytes) * static_cast<double>(state.iterations()) / 1e6;
    state.counters["ours_MBps"] = mb / oursTotal;
    state.counters["peer_MBps"] = mb / peerTotal;
    state.counters["ratio"] = oursTotal / peerTotal;
}

// ---- the libxml2 SAX2 peer: the parse alone, events counted

struct SaxCounts {
    size_t elements = 0, attributes = 0, textBytes = 0;
};

void SaxStart(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**,
              int nAttributes, int, const xmlChar**) {
    auto* c = static_cast<SaxCounts*>(ctx);
    ++c->elements;
    c->attributes += static_cast<size_t>(nAttributes);
}

void SaxEnd(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}

void SaxText(void* ctx, const xmlChar*, int n) {
    static_cast<SaxCounts*>(ctx)->textBytes += static_cast<size_t>(n);
}

size_t LibxmlSax(const std::string& xml) {
    xmlSAXHandler h{};
    h.initialized = XML_SAX2_MAGIC;
    h.startElementNs = SaxStart;
    h.endElementNs = SaxEnd;
    h.characters = SaxText;
    h.cdataBlock = SaxText;
    SaxCounts counts;
    xmlSAXUserParseMemory(&h, &counts, xml.data(), static_cast<int>(xml.size()));
    return counts.elements + counts.attributes + counts.textBytes;
}

// ---- ours

int OursRecordRead(const std::string& xml) {
    CRecord* root = CRecord::New(&xmlbench::gRootType);
    // The reader does not write; the stream only wants a non-const pointer.
    CMemStream stream(const_cast<char*>(xml.data()), static_cast<uint32_t>(xml.size()));
    int result = ReadXmlDocument(stream, CRecordRef(&root));
    CRecord::Delete(root);
    return result;
}

uint32_t OursTreeRead(const std::string& xml) {
    LCStrCharIn in(reinterpret_cast<const unsigned char*>(xml.data()), static_cast<uint32_t>(xml.size()));
    CXmlTokenizer t(in);
    CXmlRootHolder holder;
    if (!CXmlReader::NextStartTag(t).IsEmpty()) {
        if (!holder.Root()->SetTagName(t.TagName())) return 0;
        CXmlDom::Build(holder, t);
    }
    return holder.Root()->ChildCount();
}

uint64_t OursTokens(const std::string& xml) {
    LCStrCharIn in(reinterpret_cast<const unsigned char*>(xml.data()), static_cast<uint32_t>(xml.size()));
    CXmlTokenizer t(in);
    uint64_t n = 0;
    for (int e; (e = t.Next()) != CXmlTokenizer::kEnd;) n += static_cast<uint64_t>(e) + t.PieceLength();
    return n;
}

void BM_XmlReadRecordDocument(benchmark::State& state) {
    const Document& d = TheDocument();
    {
        // What is read writes the same document again.
        CRecord* root = CRecord::New(&xmlbench::gRootType);
        CMemStream stream(const_cast<char*>(d.xml.data()), static_cast<uint32_t>(d.xml.size()));
        const bool same = ReadXmlDocument(stream, CRecordRef(&root)) == 1 && xmlbench::Written(root) == d.xml;
        CRecord::Delete(root);
        if (!same) return state.SkipWithError("the document did not read back as written");
    }
    ByTurns(
        state, d.xml.size(), [&] { benchmark::DoNotOptimize(OursRecordRead(d.xml)); },
        [&] { benchmark::DoNotOptimize(LibxmlSax(d.xml)); });
}
BENCHMARK(BM_XmlReadRecordDocument)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_XmlReadElementTree(benchmark::State& state) {
    const Document& d = TheDocument();
    ByTurns(
        state, d.xml.size(), [&] { benchmark::DoNotOptimize(OursTreeRead(d.xml)); },
        [&] { benchmark::DoNotOptimize(LibxmlSax(d.xml)); });
}
BENCHMARK(BM_XmlReadElementTree)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The tokenizer alone, for the profile of where the time goes.
void BM_XmlTokenize(benchmark::State& state) {
    const Document& d = TheDocument();
    ByTurns(
        state, d.xml.size(), [&] { benchmark::DoNotOptimize(OursTokens(d.xml)); },
        [&] { benchmark::DoNotOptimize(LibxmlSax(d.xml)); });
}
BENCHMARK(BM_XmlTokenize)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// ---- the writer beside xmlTextWriter writing the same elements, attributes and CDATA

struct Node {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string cdata;
    std::vector<Node> children;
};

void Collect(xmlNode* from, Node& to) {
    to.name = reinterpret_cast<const char*>(from->name);
    for (xmlAttr* a = from->properties; a; a = a->next) {
        xmlChar* v = xmlNodeListGetString(from->doc, a->children, 1);
        to.attributes.emplace_back(reinterpret_cast<const char*>(a->name), reinterpret_cast<const char*>(v));
        xmlFree(v);
    }
    for (xmlNode* c = from->children; c; c = c->next) {
        if (c->type == XML_CDATA_SECTION_NODE) {
            to.cdata += reinterpret_cast<const char*>(c->content);
        } else if (c->type == XML_ELEMENT_NODE) {
            to.children.emplace_back();
            Collect(c, to.children.back());
        }
    }
}

const Node& TheTree() {
    static const Node* tree = [] {
        const Document& d = TheDocument();
        xmlDoc* doc = xmlReadMemory(d.xml.data(), static_cast<int>(d.xml.size()), nullptr, nullptr, 0);
        auto* node = new Node;
        Collect(xmlDocGetRootElement(doc), *node);
        xmlFreeDoc(doc);
        return node;
    }();
    return *tree;
}

void WriteNode(xmlTextWriterPtr w, const Node& n) {
    xmlTextWriterStartElement(w, reinterpret_cast<const xmlChar*>(n.name.c_str()));
    for (const auto& [name, value] : n.attributes)
        xmlTextWriterWriteAttribute(w, reinterpret_cast<const xmlChar*>(name.c_str()),
                                    reinterpret_cast<const xmlChar*>(value.c_str()));
    if (!n.cdata.empty()) xmlTextWriterWriteCDATA(w, reinterpret_cast<const xmlChar*>(n.cdata.c_str()));
    for (const Node& c : n.children) WriteNode(w, c);
    xmlTextWriterEndElement(w);
}

size_t LibxmlWrite(const Node& tree) {
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlTextWriterPtr w = xmlNewTextWriterMemory(buffer, 0);
    xmlTextWriterStartDocument(w, nullptr, "UTF-8", nullptr);
    WriteNode(w, tree);
    xmlTextWriterEndDocument(w);
    xmlFreeTextWriter(w);
    size_t n = static_cast<size_t>(xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    return n;
}

size_t OursWrite(const CRecord* root) {
    CBytes bytes;
    {
        CMemStream stream(bytes);
        WriteXmlDocument(stream, root);
    }
    return bytes.Count();
}

void BM_XmlWriteRecordDocument(benchmark::State& state) {
    const Document& d = TheDocument();
    const Node& tree = TheTree();
    ByTurns(
        state, d.xml.size(), [&] { benchmark::DoNotOptimize(OursWrite(d.root)); },
        [&] { benchmark::DoNotOptimize(LibxmlWrite(tree)); });
}
BENCHMARK(BM_XmlWriteRecordDocument)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// ---- the whole process: orbilume-xml-load beside `xmllint --noout` on the same file

extern "C" char** environ;

// Runs argv to its end; the child's user + system seconds, or -1 when it did not exit 0.
double ChildSeconds(const std::vector<const char*>& argv) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    std::vector<char*> args;
    for (const char* a : argv) args.push_back(const_cast<char*>(a));
    args.push_back(nullptr);
    const int failed = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) return -1;
    int status = 0;
    rusage use{};
    if (wait4(pid, &status, 0, &use) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
    return seconds(use.ru_utime) + seconds(use.ru_stime);
}

void BM_XmlLoadWholeProcess(benchmark::State& state) {
    const Document& d = TheDocument();
    char path[] = "/tmp/orbilume-xml-load-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return state.SkipWithError("no temporary file");
    const bool written = write(fd, d.xml.data(), d.xml.size()) == static_cast<ssize_t>(d.xml.size());
    close(fd);
    const std::vector<const char*> ours{ORBILUME_XML_LOAD, path};
    const std::vector<const char*> peer{"/usr/bin/xmllint", "--noout", path};
    if (!written || access(peer[0], X_OK) != 0) {
        unlink(path);
        return state.SkipWithError("xmllint or the file is missing");
    }
    double oursTotal = 0, peerTotal = 0;
    for (auto _ : state) {
        const double a = ChildSeconds(ours);
        const double b = ChildSeconds(peer);
        if (a < 0 || b < 0) {
            state.SkipWithError("a load failed");
            break;
        }
        oursTotal += a;
        peerTotal += b;
        state.SetIterationTime(a + b);
    }
    unlink(path);
    if (peerTotal > 0) state.counters["ratio"] = oursTotal / peerTotal;
}
BENCHMARK(BM_XmlLoadWholeProcess)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
