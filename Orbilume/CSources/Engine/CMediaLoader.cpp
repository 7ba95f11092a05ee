#include "Orbilume/CSources/Engine/CMediaLoader.h"

#include <atomic>
#include <cctype>
#include <string>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Platform/Foundation/Check.h"

namespace {

std::atomic<CMediaLoader*> sCurrent{nullptr};

// The extension after the last "." of the leaf, lower-cased.
bool IsModelFile(const LFsSpec& spec) {
    const LString leaf = spec.name();
    const std::string name(leaf.CStr(), leaf.Length());
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == "dae";
}

}  // namespace

CMediaLoader::CMediaLoader()
    : fMainSignal(this, &CMediaLoader::ServiceMain), fWake(&fThread, this, &CMediaLoader::ServiceLoader) {
    PLAT_DCHECK_MAIN_THREAD();
    fPrevious = sCurrent.exchange(this);
    if (!fThread.Start(-1)) fThread.Stop();
}

CMediaLoader::~CMediaLoader() {
    PLAT_DCHECK_MAIN_THREAD();
    fThread.Stop();
    CMediaLoader* self = this;
    (void)sCurrent.compare_exchange_strong(self, fPrevious);
    // Nobody is called back: the requests left go with their references.
    fQueue.clear();
    fToLoader.clear();
    fDone.clear();
}

CMediaLoader* CMediaLoader::Get() {
    return sCurrent.load();
}

void CMediaLoader::PostLoad(void* context, CMediaLoadRequest::LoadedCallback callback, const LFsSpec& spec) {
    PLAT_DCHECK_MAIN_THREAD();
    {
        CPsxMutex::Locker lock(fLock);
        fQueue.push_back(std::make_unique<CMediaLoadRequest>(context, callback, spec));
    }
    fMainSignal.Signal();
}

void CMediaLoader::PostFit(void* context, CImageFitRequest::FittedCallback callback, plat::Image* image,
                           uint32_t width, uint32_t height) {
    HandToLoader(std::make_unique<CImageFitRequest>(context, callback, image, width, height));
}

void CMediaLoader::HandToLoader(std::unique_ptr<CMediaRequest> request) {
    {
        CPsxMutex::Locker lock(fLock);
        fToLoader.push_back(std::move(request));
    }
    fWake.FireAfter(0);
}

void CMediaLoader::Cancel(void* context, CMediaRequest::AnyCallback callback) {
    auto matches = [&](const CMediaRequest* r) {
        return r && r->Context() == context && (!callback || r->Callback() == callback);
    };
    CPsxMutex::Locker lock(fLock);
    for (auto& r : fQueue)
        if (matches(r.get())) r->ClearCallback();
    for (auto& r : fToLoader)
        if (matches(r.get())) r->ClearCallback();
    for (auto& r : fDone)
        if (matches(r.get())) r->ClearCallback();
    if (matches(fCurrent)) fCurrent->ClearCallback();
}

size_t CMediaLoader::QueuedCount() {
    CPsxMutex::Locker lock(fLock);
    return fQueue.size();
}

void CMediaLoader::StartNext() {
    PLAT_DCHECK_MAIN_THREAD();
    while (!fBusy) {
        std::unique_ptr<CMediaLoadRequest> request;
        CMediaLoadRequest::LoadedCallback callback = nullptr;
        {
            CPsxMutex::Locker lock(fLock);
            if (fQueue.empty()) return;
            request = std::move(fQueue.front());
            fQueue.pop_front();
            callback = reinterpret_cast<CMediaLoadRequest::LoadedCallback>(request->Callback());
        }
        if (!callback) continue;
        const LFsSpec name = request->Name();
        if (plat::Ref<CMediaImage> image = CMediaImage::Find(name)) {
            SMediaRef loaded;
            loaded.name = name;
            loaded.image = std::move(image);
            callback(request->Context(), loaded, kMediaImage);
            continue;
        }
        if (plat::Ref<CMediaModel> model = CMediaModel::Find(name)) {
            SMediaRef loaded;
            loaded.name = name;
            loaded.model = std::move(model);
            callback(request->Context(), loaded, kMediaModel);
            continue;
        }
        if (IsModelFile(name))
            request->SetModel(std::make_unique<CColladaDoc>(name));
        else
            request->SetMovie(plat::Adopt(new CAVMovie(name)));
        fBusy = true;
        HandToLoader(std::move(request));
    }
}

void CMediaLoader::LoadDone() {
    fBusy = false;
}

void CMediaLoader::ServiceLoader(void* info) {
    auto* self = static_cast<CMediaLoader*>(info);
    for (;;) {
        std::unique_ptr<CMediaRequest> request;
        bool run = false;
        {
            CPsxMutex::Locker lock(self->fLock);
            if (self->fToLoader.empty()) return;
            request = std::move(self->fToLoader.front());
            self->fToLoader.pop_front();
            self->fCurrent = request.get();
            run = request->Callback() != nullptr;
        }
        if (run) request->RunOnLoader();
        {
            CPsxMutex::Locker lock(self->fLock);
            self->fCurrent = nullptr;
            self->fDone.push_back(std::move(request));
        }
        self->fMainSignal.Signal();
    }
}

void CMediaLoader::ServiceMain(void* info) {
    auto* self = static_cast<CMediaLoader*>(info);
    self->StartNext();
    for (;;) {
        std::unique_ptr<CMediaRequest> request;
        CMediaRequest::AnyCallback callback = nullptr;
        {
            CPsxMutex::Locker lock(self->fLock);
            if (self->fDone.empty()) break;
            request = std::move(self->fDone.front());
            self->fDone.pop_front();
            callback = request->Callback();
        }
        const bool load = request->IsLoad();
        request->Complete(*self, callback);
        request.reset();
        if (load) self->StartNext();
    }
}
