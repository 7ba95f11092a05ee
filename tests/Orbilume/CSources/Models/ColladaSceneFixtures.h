#pragma once

#include <string>
#include <vector>

// COLLADA text for the scene tests: sources, geometries, scenes. Everything here passes DAEValidator.
namespace colladascene {

inline std::string Floats(const std::vector<float>& v) {
    std::string s;
    for (float f : v) {
        char buf[32];
        snprintf(buf, sizeof buf, "%g", static_cast<double>(f));
        if (!s.empty()) s += ' ';
        s += buf;
    }
    return s;
}

// A float source with the named params (one character each, "XYZ", "ST").
inline std::string Source(const std::string& id, const std::vector<float>& v, const std::string& params) {
    std::string s =
        "<source id=\"" + id + "\"><float_array id=\"" + id + "-a\" count=\"" + std::to_string(v.size()) +
        "\">" + Floats(v) + "</float_array><technique_common><accessor source=\"#" + id + "-a\" count=\"" +
        std::to_string(v.size() / params.size()) + "\" stride=\"" + std::to_string(params.size()) + "\">";
    for (char c : params) s += std::string("<param name=\"") + c + "\" type=\"float\"/>";
    return s + "</accessor></technique_common></source>";
}

// Corner i of the unit cube: bit 0 x, bit 1 y, bit 2 z.
inline std::vector<float> CubePositions() {
    std::vector<float> p;
    for (int i = 0; i < 8; ++i)
        p.insert(p.end(), {i & 1 ? 0.5f : -0.5f, i & 2 ? 0.5f : -0.5f, i & 4 ? 0.5f : -0.5f});
    return p;
}

// The faces as counter-clockwise quads seen from outside, with their normals.
struct Face {
    int corners[4];
    float normal[3];
};
inline const Face* CubeFaces() {
    static const Face faces[6] = {
        {{4, 5, 7, 6}, {0, 0, 1}},  {{0, 2, 3, 1}, {0, 0, -1}}, {{1, 3, 7, 5}, {1, 0, 0}},
        {{0, 4, 6, 2}, {-1, 0, 0}}, {{2, 6, 7, 3}, {0, 1, 0}},  {{0, 1, 5, 4}, {0, -1, 0}},
    };
    return faces;
}

inline std::string CubeSources(const std::string& id) {
    std::vector<float> normals;
    for (int f = 0; f < 6; ++f)
        normals.insert(normals.end(), CubeFaces()[f].normal, CubeFaces()[f].normal + 3);
    return Source(id + "-pos", CubePositions(), "XYZ") + Source(id + "-nrm", normals, "XYZ") +
           "<vertices id=\"" + id + "-v\"><input semantic=\"POSITION\" source=\"#" + id +
           "-pos\"/></vertices>";
}

inline std::string Inputs(const std::string& id) {
    return "<input semantic=\"VERTEX\" source=\"#" + id +
           "-v\" offset=\"0\"/><input semantic=\"NORMAL\" source=\"#" + id + "-nrm\" offset=\"1\"/>";
}

// Twelve triangles with normals.
inline std::string CubeTriangles(const std::string& id) {
    std::string p;
    for (int f = 0; f < 6; ++f) {
        const int* c = CubeFaces()[f].corners;
        for (int k : {0, 1, 2, 0, 2, 3}) p += std::to_string(c[k]) + " " + std::to_string(f) + " ";
    }
    return "<geometry id=\"" + id + "\"><mesh>" + CubeSources(id) + "<triangles count=\"12\">" + Inputs(id) +
           "<p>" + p + "</p></triangles></mesh></geometry>";
}

// The given faces, each a strip of four vertices in its own <p>.
inline std::string CubeStrips(const std::string& id, int faces) {
    std::string s = "<geometry id=\"" + id + "\"><mesh>" + CubeSources(id) + "<tristrips count=\"" +
                    std::to_string(faces) + "\">" + Inputs(id);
    for (int f = 0; f < faces; ++f) {
        const int* c = CubeFaces()[f].corners;
        s += "<p>";
        for (int k : {0, 1, 3, 2}) s += std::to_string(c[k]) + " " + std::to_string(f) + " ";
        s += "</p>";
    }
    return s + "</tristrips></mesh></geometry>";
}

inline std::string Document(const std::string& libraries, const std::string& nodes) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">\n"
           "<asset><created>2026-01-01T00:00:00</created><modified>2026-01-01T00:00:00</modified></asset>\n" +
           libraries + "\n<library_visual_scenes><visual_scene id=\"scene\">" + nodes +
           "</visual_scene></library_visual_scenes>\n<scene><instance_visual_scene url=\"#scene\"/></scene>\n"
           "</COLLADA>\n";
}

inline std::string Geometries(const std::string& body) {
    return "<library_geometries>" + body + "</library_geometries>";
}

inline std::string GeometryNode(const std::string& id, const std::string& geometry,
                                const std::string& extra = "", const std::string& binding = "") {
    return "<node id=\"" + id + "\">" + extra + "<instance_geometry url=\"#" + geometry + "\">" + binding +
           "</instance_geometry></node>";
}

}  // namespace colladascene
