#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Common/OpenGL/COpenGLBuffer.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Orbilume/CSources/Models/CBitTrie.h"

class CColladaAnimation;
class CColladaCamera;
class CColladaElement;
class CColladaMaterial;
class CColladaMeshBuffer;
class CColladaNode;
class CColladaSurface;
class CColladaVisualScene;
class COpenGLContext_Cca;
class CXmlElement;
class CXmlRootHolder;
class LCharIn;

// A COLLADA document: its element tree, the id index over it and what the element objects share
// (surfaces, bounds, view). The media loader parses the file into the tree (ReadXml) and loads it on
// its thread; afterwards one render thread uses it. No lock of its own.
//
// The file is outside input: instance references copy subtrees, so the document keeps a budget of
// copied elements (and of their text bytes) and a bound on the tree's depth; references beyond them resolve
// to nothing.
class CColladaDoc {
public:
    static constexpr uint64_t kCopyBudget = 1000000;
    static constexpr uint64_t kCopyByteBudget = uint64_t{256} << 20;
    static constexpr uint32_t kMaxTreeDepth = 1024;
    // Files above this size are not opened.
    static constexpr uint64_t kMaxFileBytes = uint64_t{256} << 20;
    // Floats of vertex data all mesh buffers of a document may hold (1 GB).
    static constexpr uint64_t kMeshFloatBudget = uint64_t{256} << 20;

    // Keeps the file's location; builds nothing.
    explicit CColladaDoc(const LFsSpec& spec);
    // A new, empty material object; a derived document may supply its own class.
    virtual CColladaMaterial* NewMaterial();
    virtual ~CColladaDoc();
    CColladaDoc(const CColladaDoc&) = delete;
    CColladaDoc& operator=(const CColladaDoc&) = delete;

    // The media loader's step: reads the file (at most kMaxFileBytes; a UTF-8 byte-order mark is
    // skipped), parses it and loads it. True when the document is loaded.
    [[nodiscard]] bool LoadFile();
    // Builds the scene graph, uploads the vertex data on the common context, works out bounds and
    // the default camera. Loader thread; a second call after success does nothing.
    void Load();
    // Draws the loaded scene into the current framebuffer of the context at the media time. Nothing
    // before a successful load. Render thread.
    void Render(COpenGLContext_Cca& context, double seconds);
    // Applies every animation at the media time (Render does it first).
    void Animate(double seconds);

    // Parses XML text into the tree (replacing any tree); false when the text holds no element or
    // nests too deep (the tree read so far is then dropped).
    [[nodiscard]] bool ReadXml(LCharIn& in);
    // The document's root element ("COLLADA"), or null.
    CXmlElement* root() const;

    // Load steps the framework gives: unlinks "profile_CG" and "profile_GLES" children of effects,
    // and enters every element with a non-empty id, breadth first (a later one wins).
    void DropUnsupportedProfiles();
    void BuildIdIndex();

    // The element with exactly this id (no leading "#"), or null.
    CXmlElement* FindById(const LString& id) const;
    // Data reference: the element a URL's fragment names, used in place.
    CXmlElement* ResolveUrl(const LString& url) const;
    // Instance reference: the referrer's attribute names an element of the expected name, a deep copy
    // of which is appended as the referrer's last child and returned. Null when the URL does not
    // resolve, names another element, or the copy budget or depth bound would be exceeded.
    CXmlElement* ResolveInstance(CXmlElement* referrer, const char* attribute, const char* expected);
    uint64_t copyBudgetLeft() const { return fCopyBudget; }
    // A tighter budget for callers that load many documents at once.
    void SetCopyBudget(uint64_t elements, uint64_t bytes) {
        fCopyBudget = elements;
        fCopyBytes = bytes;
    }

    // The element whose sid is the text in the nearest scope: the subtrees of start's children other
    // than leftOut (breadth first, in order), then the same one level up, up to the root.
    CXmlElement* FindSidInScope(CXmlElement* start, CXmlElement* leftOut, const LString& sid) const;
    // The root's "scene", or null; and the first element below it (breadth first) with the id.
    CXmlElement* scene() const;
    CXmlElement* FindIdBelowScene(const LString& id) const;

    // A URL text resolved against the document's location, as a file spec; false when it names no
    // file.
    [[nodiscard]] bool ResolveFile(const LString& text, LFsSpec& out) const;

    void SetViewMatrix(const float* m);

    // The document's shared surfaces, in order of creation (borrowed: their elements own them).
    std::vector<CColladaSurface*>& surfaces() { return fSurfaces; }
    const LFsSpec& spec() const { return fSpec; }
    bool loaded() const { return fVisualScene != nullptr; }
    const float* bounds() const { return fBounds; }
    uint32_t upAxis() const { return fUpAxis; }
    float unitMeters() const { return fUnitMeters; }
    const float* viewMatrix() const { return fViewMatrix; }
    CColladaVisualScene* visualScene() const { return fVisualScene; }
    CColladaNode* cameraNode() const { return fCameraNode; }
    CColladaCamera* defaultCamera() const { return fDefaultCamera.get(); }
    bool hasLights() const { return fHasLights; }
    // The longest sampler duration of the animations, in seconds (0 without animations).
    float longestDuration() const { return fLongestDuration; }
    const std::vector<CColladaAnimation*>& animations() const { return fAnimations; }
    uint32_t vertexBuffer() const { return fBuffer.name(); }

    // Mesh buffers, sorted by geometry id. Keep takes a new buffer: an equal unskinned one of the same
    // geometry is returned in its place, else it is inserted after the last one with an id not greater.
    CColladaMeshBuffer* KeepMeshBuffer(std::unique_ptr<CColladaMeshBuffer> buffer);
    const std::vector<std::unique_ptr<CColladaMeshBuffer>>& meshBuffers() const { return fMeshBuffers; }
    uint64_t meshFloatsLeft() const { return fMeshFloatsLeft; }
    bool viewMatrixSet() const { return fViewMatrixSet; }

protected:
    // Puts the vertex stream into the buffer object on the common context; false when GL reports an
    // error (the buffer's name is then deleted).
    [[nodiscard]] virtual bool UploadVertexData(const std::vector<uint8_t>& stream);

    struct IdEntry : CBitTrieNode {
        IdEntry(const LString& key, CXmlElement* e) : CBitTrieNode(key), element(e) {}
        CXmlElement* element;
    };

    std::unique_ptr<CXmlRootHolder> fXml;
    LFsSpec fSpec;
    CColladaVisualScene* fVisualScene = nullptr;  // attached to its element
    CBitTrieNode fIdIndex;
    uint32_t fFlag = 1;  // kept from construction; nothing reads it
    uint32_t fReleaseFlag = 0;
    uint32_t fUpAxis = 0;  // 0 Y up, 1 Z up, 2 X up
    float fUnitMeters = 1.0f;
    COpenGLBuffer fBuffer;
    std::vector<CColladaSurface*> fSurfaces;
    std::vector<std::unique_ptr<CColladaMeshBuffer>> fMeshBuffers;
    uint64_t fMeshFloatsLeft = kMeshFloatBudget;
    float fBounds[6];
    bool fHasLights = false;
    CColladaNode* fCameraNode = nullptr;
    std::unique_ptr<CColladaCamera> fDefaultCamera;
    float fLongestDuration = 0;
    std::vector<CColladaAnimation*> fAnimations;  // attached to their elements
    uint32_t fFrameCounter = 0;
    float fViewMatrix[16];
    bool fViewMatrixSet = false;

private:
    void Upload();
    void BoundsAndCamera(const std::vector<CColladaNode*>& nodes, uint32_t depth);
    void SetUpLights(const std::vector<CColladaNode*>& nodes, struct CColladaDrawState& state,
                     uint32_t depth);
    uint64_t fCopyBudget = kCopyBudget;
    uint64_t fCopyBytes = kCopyByteBudget;
};
