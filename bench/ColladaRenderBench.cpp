// A skinned tube (20,000 triangles, 64 joints, 4 influences a vertex) drawn by the COLLADA document
// into a 1280 x 720 framebuffer object with its joints moved every frame, beside a bare loop that
// skins the same vertices with the same matrices and draws them with client arrays (software GL).
// Compare the two times: the document should stay within 1.3 x of the bare loop.
// Then the same tube with its joints turned by the file's own animation (one rotation channel a
// joint, keys at 60 a second), shown through the model view at 1280 x 720: render into its
// offscreen target and copy out the picture, plain and multisampled, by turns with the document's own
// render of the same picture ("ratio": the median over the pairs of view / render, by wall time;
// "ratio_cpu" the same by processor time). The plain view should stay within 1.3 x of the render and
// above 60 frames a second.
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Engine/CMediaModel.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaNode.h"
#include "Orbilume/CSources/Models/CModelView.h"
#include "Platform/Video/GLTextureCache.h"
#include "Orbilume/CSources/Models/UMat4.h"

namespace {

constexpr int kRings = 101, kSegments = 100, kJoints = 64, kWidth = 1280, kHeight = 720;
constexpr float kLength = 8, kRadius = 0.5f;

struct Influences {
    int joint[4];
    float weight[4];
};

// The four joints nearest to the height, weighted by closeness.
Influences InfluencesAt(float z) {
    float at = z / kLength * kJoints - 0.5f;
    int j0 = static_cast<int>(std::floor(at)) - 1;
    Influences inf{};
    float total = 0;
    for (int k = 0; k < 4; ++k) {
        int j = std::min(std::max(j0 + k, 0), kJoints - 1);
        inf.joint[k] = j;
        inf.weight[k] = 1.0f / (1.0f + std::fabs(at - static_cast<float>(j0 + k)));
        total += inf.weight[k];
    }
    for (float& w : inf.weight) w /= total;
    return inf;
}

struct Tube {
    std::vector<float> positions, normals;  // per ring vertex
    std::vector<int> triangles;             // vertex indices
};

Tube MakeTube() {
    Tube t;
    for (int r = 0; r < kRings; ++r)
        for (int s = 0; s < kSegments; ++s) {
            float a = 2 * static_cast<float>(M_PI) * s / kSegments;
            t.positions.insert(t.positions.end(),
                               {kRadius * std::cos(a), kRadius * std::sin(a), kLength * r / (kRings - 1)});
            t.normals.insert(t.normals.end(), {std::cos(a), std::sin(a), 0});
        }
    for (int r = 0; r + 1 < kRings; ++r)
        for (int s = 0; s < kSegments; ++s) {
            int a = r * kSegments + s, b = r * kSegments + (s + 1) % kSegments;
            int c = a + kSegments, d = b + kSegments;
            t.triangles.insert(t.triangles.end(), {a, b, d, a, d, c});
        }
    return t;
}

std::string Numbers(const std::vector<float>& v) {
    std::string s;
    char buf[32];
    for (float f : v) {
        snprintf(buf, sizeof buf, "%g ", static_cast<double>(f));
        s += buf;
    }
    return s;
}

float Angle(int64_t frame, int j) {
    return 20.0f * std::sin(0.05f * static_cast<float>(frame) + 0.1f * static_cast<float>(j));
}

// One rotation channel a joint: two seconds of the same swing as Angle, keys at 60 a second.
std::string TubeAnimations() {
    constexpr int kKeys = 121;
    std::vector<float> times;
    for (int k = 0; k < kKeys; ++k) times.push_back(static_cast<float>(k) / 60);
    std::string out = "<library_animations>";
    for (int j = 0; j < kJoints; ++j) {
        std::string id = "a" + std::to_string(j);
        std::vector<float> angles;
        for (int k = 0; k < kKeys; ++k) angles.push_back(Angle(k, j));
        out += "<animation id=\"" + id + "\"><source id=\"" + id + "-t\"><float_array id=\"" + id + "-ta\" count=\"" +
               std::to_string(kKeys) + "\">" + Numbers(times) + "</float_array><technique_common><accessor source=\"#" +
               id + "-ta\" count=\"" + std::to_string(kKeys) +
               "\"><param name=\"TIME\" type=\"float\"/></accessor></technique_common></source><source id=\"" + id +
               "-o\"><float_array id=\"" + id + "-oa\" count=\"" + std::to_string(kKeys) + "\">" + Numbers(angles) +
               "</float_array><technique_common><accessor source=\"#" + id + "-oa\" count=\"" + std::to_string(kKeys) +
               "\"><param name=\"ANGLE\" type=\"float\"/></accessor></technique_common></source><sampler id=\"" + id +
               "-s\"><input semantic=\"INPUT\" source=\"#" + id + "-t\"/><input semantic=\"OUTPUT\" source=\"#" + id +
               "-o\"/></sampler><channel source=\"#" + id + "-s\" target=\"j" + std::to_string(j) +
               "/r.ANGLE\"/></animation>";
    }
    return out + "</library_animations>";
}

std::string TubeDocument(const Tube& t, bool animated = false) {
    size_t n = t.positions.size() / 3;
    std::string p, v, vcount, weights, joints, ibm;
    for (size_t i = 0; i < t.triangles.size(); ++i) p += std::to_string(t.triangles[i]) + " ";
    std::vector<float> w;
    for (size_t i = 0; i < n; ++i) {
        Influences inf = InfluencesAt(t.positions[3 * i + 2]);
        vcount += "4 ";
        for (int k = 0; k < 4; ++k) {
            v += std::to_string(inf.joint[k]) + " " + std::to_string(w.size()) + " ";
            w.push_back(inf.weight[k]);
        }
    }
    for (int j = 0; j < kJoints; ++j) {
        joints += "j" + std::to_string(j) + " ";
        float z = kLength * j / kJoints;
        ibm += "1 0 0 0 0 1 0 0 0 0 1 " + std::to_string(-z) + " 0 0 0 1 ";
    }
    std::string nodes;
    for (int j = 0; j < kJoints; ++j)
        nodes += "<node id=\"j" + std::to_string(j) + "\" sid=\"j" + std::to_string(j) +
                 "\"><translate>0 0 " + std::to_string(j ? kLength / kJoints : 0.0f) +
                 "</translate><rotate sid=\"r\">1 0 0 0</rotate>";
    for (int j = 0; j < kJoints; ++j) nodes += "</node>";
    return "<?xml version=\"1.0\"?><COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" "
           "version=\"1.4.1\">"
           "<library_geometries><geometry id=\"tube\"><mesh>"
           "<source id=\"pos\"><float_array id=\"pos-a\" count=\"" +
           std::to_string(3 * n) + "\">" + Numbers(t.positions) +
           "</float_array><technique_common><accessor source=\"#pos-a\" count=\"" + std::to_string(n) +
           "\" stride=\"3\"><param name=\"X\" type=\"float\"/><param name=\"Y\" type=\"float\"/><param "
           "name=\"Z\" "
           "type=\"float\"/></accessor></technique_common></source>"
           "<source id=\"nrm\"><float_array id=\"nrm-a\" count=\"" +
           std::to_string(3 * n) + "\">" + Numbers(t.normals) +
           "</float_array><technique_common><accessor source=\"#nrm-a\" count=\"" + std::to_string(n) +
           "\" stride=\"3\"><param name=\"X\" type=\"float\"/><param name=\"Y\" type=\"float\"/><param "
           "name=\"Z\" "
           "type=\"float\"/></accessor></technique_common></source>"
           "<vertices id=\"v\"><input semantic=\"POSITION\" source=\"#pos\"/><input semantic=\"NORMAL\" "
           "source=\"#nrm\"/></vertices>"
           "<triangles count=\"" +
           std::to_string(t.triangles.size() / 3) +
           "\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/><p>" + p +
           "</p></triangles></mesh></geometry>"
           "</library_geometries><library_controllers><controller id=\"ctl\"><skin source=\"#tube\">"
           "<source id=\"jn\"><Name_array id=\"jn-a\" count=\"" +
           std::to_string(kJoints) + "\">" + joints +
           "</Name_array><technique_common><accessor source=\"#jn-a\" count=\"" + std::to_string(kJoints) +
           "\"><param name=\"JOINT\" type=\"name\"/></accessor></technique_common></source>"
           "<source id=\"ibm\"><float_array id=\"ibm-a\" count=\"" +
           std::to_string(16 * kJoints) + "\">" + ibm +
           "</float_array><technique_common><accessor source=\"#ibm-a\" count=\"" + std::to_string(kJoints) +
           "\" stride=\"16\"><param name=\"M\" type=\"float4x4\"/></accessor></technique_common></source>"
           "<source id=\"w\"><float_array id=\"w-a\" count=\"" +
           std::to_string(w.size()) + "\">" + Numbers(w) +
           "</float_array><technique_common><accessor source=\"#w-a\" count=\"" + std::to_string(w.size()) +
           "\"><param name=\"W\" type=\"float\"/></accessor></technique_common></source>"
           "<joints><input semantic=\"JOINT\" source=\"#jn\"/><input semantic=\"INV_BIND_MATRIX\" "
           "source=\"#ibm\"/></joints>"
           "<vertex_weights count=\"" +
           std::to_string(n) +
           "\"><input semantic=\"JOINT\" source=\"#jn\" offset=\"0\"/><input semantic=\"WEIGHT\" "
           "source=\"#w\" "
           "offset=\"1\"/><vcount>" +
           vcount + "</vcount><v>" + v +
           "</v></vertex_weights></skin></controller>"
           "</library_controllers>" +
           (animated ? TubeAnimations() : std::string()) +
           "<library_visual_scenes><visual_scene id=\"s\"><node id=\"root\">" +
           nodes +
           "</node><node id=\"skin\"><instance_controller "
           "url=\"#ctl\"><skeleton>#root</skeleton></instance_controller>"
           "</node></visual_scene></library_visual_scenes><scene><instance_visual_scene "
           "url=\"#s\"/></scene></COLLADA>";
}

// A colour and depth framebuffer object of the bench's size, bound while it lives.
struct Target {
    GLuint fbo = 0, rb[2] = {0, 0};
    Target() {
        glGenFramebuffers(1, &fbo);
        glGenRenderbuffers(2, rb);
        glBindRenderbuffer(GL_RENDERBUFFER, rb[0]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kWidth, kHeight);
        glBindRenderbuffer(GL_RENDERBUFFER, rb[1]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, kWidth, kHeight);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb[0]);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, rb[1]);
        glViewport(0, 0, kWidth, kHeight);
    }
    ~Target() {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &fbo);
        glDeleteRenderbuffers(2, rb);
    }
};

COpenGLContext_Cca& Common() {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("EGL_PLATFORM", "surfaceless", 0);
    return *COpenGLCommonCtx::Use();
}

void BM_ColladaSkinnedTube(benchmark::State& state) {
    COpenGLContext_Cca& common = Common();
    Tube tube = MakeTube();
    char path[] = "/tmp/orbilume-tube-XXXXXX.dae";
    int fd = mkstemps(path, 4);
    if (fd < 0) {
        state.SkipWithError("no temporary file");
        return;
    }
    std::string xml = TubeDocument(tube);
    bool written = write(fd, xml.data(), xml.size()) == static_cast<ssize_t>(xml.size());
    close(fd);
    CColladaDoc doc(CMacFileU::LFsSpecFromPath(path));
    bool loaded = written && doc.LoadFile();
    unlink(path);
    if (!loaded) {
        state.SkipWithError("the tube did not load");
        return;
    }
    std::vector<CColladaTransform*> rotations;
    CXmlElement* e = doc.FindIdBelowScene("j0");
    for (CColladaNode* n = CColladaElement::AttachedAs<CColladaNode>(e); n;
         n = n->children().empty() ? nullptr : n->children()[0])
        rotations.push_back(n->transforms()[1]);
    COpenGLScope_Cca scope(common);
    Target target;
    int64_t frame = 0;
    for (auto _ : state) {
        for (size_t j = 0; j < rotations.size(); ++j)
            rotations[j]->values()[3] = Angle(frame, static_cast<int>(j));
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        doc.Render(common, static_cast<double>(frame) / 60);
        glFinish();
        ++frame;
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ColladaSkinnedTube)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same skinning and drawing written out by hand.
void BM_BareSkinnedTube(benchmark::State& state) {
    COpenGLContext_Cca& common = Common();
    Tube tube = MakeTube();
    size_t n = tube.positions.size() / 3;
    std::vector<Influences> influences(n);
    for (size_t i = 0; i < n; ++i) influences[i] = InfluencesAt(tube.positions[3 * i + 2]);
    // Per source vertex and influence: weight x inverse bind x position.
    std::vector<float> vectors(n * 16);
    for (size_t i = 0; i < n; ++i)
        for (int k = 0; k < 4; ++k) {
            float w = influences[i].weight[k];
            float z = kLength * influences[i].joint[k] / kJoints;
            float* v = &vectors[16 * i + 4 * k];
            v[0] = w * tube.positions[3 * i];
            v[1] = w * tube.positions[3 * i + 1];
            v[2] = w * (tube.positions[3 * i + 2] - z);
            v[3] = w;
        }
    size_t emitted = tube.triangles.size();
    std::vector<float> positions(3 * emitted), normals(3 * emitted);
    for (size_t k = 0; k < emitted; ++k)
        for (int c = 0; c < 3; ++c) normals[3 * k + c] = tube.normals[3 * tube.triangles[k] + c];
    std::vector<float> world(16 * kJoints);
    COpenGLScope_Cca scope(common);
    Target target;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glFrustum(-0.3, 0.3, -0.17, 0.17, 1, 40);
    glTranslatef(0, 0, -20);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    int64_t frame = 0;
    for (auto _ : state) {
        float m[16];
        UMat4::Identity(m);
        for (int j = 0; j < kJoints; ++j) {
            UMat4::Translate(m, 0, 0, j ? kLength / kJoints : 0.0f);
            UMat4::Rotate(m, Angle(frame, j), 1, 0, 0);
            std::copy(m, m + 16, &world[16 * j]);
        }
        for (size_t k = 0; k < emitted; ++k) {
            size_t i = static_cast<size_t>(tube.triangles[k]);
            float sum[3] = {0, 0, 0};
            for (int q = 0; q < 4; ++q) {
                auto r = UMat4::Transform4(&vectors[16 * i + 4 * q], &world[16 * influences[i].joint[q]]);
                for (int c = 0; c < 3; ++c) sum[c] += r[c];
            }
            std::copy(sum, sum + 3, &positions[3 * k]);
        }
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glVertexPointer(3, GL_FLOAT, 0, positions.data());
        glNormalPointer(GL_FLOAT, 0, normals.data());
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(emitted));
        glFinish();
        ++frame;
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BareSkinnedTube)->Unit(benchmark::kMillisecond)->UseRealTime();

// The processor time of the whole process: the software rasteriser draws on threads of its own.
double ProcessSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double Median(std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// The animated tube through the model view: draw, resolve and copy out each frame.
void ModelViewTube(benchmark::State& state, bool multisample) {
    COpenGLContext_Cca& common = Common();
    COpenGLContext_Cca::SetShared(&common);
    Tube tube = MakeTube();
    char path[] = "/tmp/orbilume-tube-XXXXXX.dae";
    int fd = mkstemps(path, 4);
    if (fd < 0) {
        state.SkipWithError("no temporary file");
        return;
    }
    std::string xml = TubeDocument(tube, true);
    bool written = write(fd, xml.data(), xml.size()) == static_cast<ssize_t>(xml.size());
    close(fd);
    LFsSpec spec = CMacFileU::LFsSpecFromPath(path);
    auto doc = std::make_unique<CColladaDoc>(spec);
    bool loaded = written && doc->LoadFile();
    unlink(path);
    if (!loaded || doc->longestDuration() <= 0) {
        state.SkipWithError("the animated tube did not load");
        return;
    }
    CColladaDoc* document = doc.get();
    plat::Ref<CMediaModel> model = CMediaModel::Create(spec, std::move(doc));
    {
        CModelView view;
        view.SetSize(kWidth, kHeight);
        view.SetMultisample(multisample);
        view.SetModel(model.get());
        view.SetPlaying(true);
        view.SetPosition(0, 0, -5);
        bool warm = false;
        (void)view.Render(warm);  // makes the target and its contexts
        // The peer, by turns with the view in the same run: the document's own render of the same
        // picture (the view's camera stays set) into a framebuffer object of the common context.
        COpenGLScope_Cca scope(common);
        Target target;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        // Each pair's own ratio, so that a burst of load on the machine falls on one pair rather
        // than on one side; the median of the pairs is reported, by wall time and by the process's
        // processor time (the rasteriser's threads included).
        std::vector<double> wallRatios, cpuRatios;
        double renderTotal = 0;
        int64_t frame = 0;
        for (auto _ : state) {
            const double cpuStart = ProcessSeconds();
            auto start = std::chrono::steady_clock::now();
            bool changed = false;
            plat::Ref<plat::GLTexture> picture = view.Render(changed);
            if (!picture || !changed) {
                state.SkipWithError("the view drew nothing");
                break;
            }
            picture = nullptr;
            auto middle = std::chrono::steady_clock::now();
            const double cpuMiddle = ProcessSeconds();
            {
                COpenGLScope_Cca again(common);
                glBindFramebuffer(GL_FRAMEBUFFER, target.fbo);
                glViewport(0, 0, kWidth, kHeight);
                glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
                document->Render(common, static_cast<double>(frame++) / 60);
                glFinish();
                glBindFramebuffer(GL_FRAMEBUFFER, 0);
            }
            auto end = std::chrono::steady_clock::now();
            const double cpuEnd = ProcessSeconds();
            const double v = std::chrono::duration<double>(middle - start).count();
            const double r = std::chrono::duration<double>(end - middle).count();
            renderTotal += r;
            if (r > 0) wallRatios.push_back(v / r);
            if (cpuEnd > cpuMiddle) cpuRatios.push_back((cpuMiddle - cpuStart) / (cpuEnd - cpuMiddle));
            state.SetIterationTime(v);
        }
        if (!wallRatios.empty()) {
            state.counters["render_ms"] = 1e3 * renderTotal / static_cast<double>(state.iterations());
            state.counters["ratio"] = Median(wallRatios);
        }
        if (!cpuRatios.empty()) state.counters["ratio_cpu"] = Median(cpuRatios);
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ModelViewTube(benchmark::State& state) {
    ModelViewTube(state, false);
}
BENCHMARK(BM_ModelViewTube)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_ModelViewTubeMultisampled(benchmark::State& state) {
    ModelViewTube(state, true);
}
BENCHMARK(BM_ModelViewTubeMultisampled)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
