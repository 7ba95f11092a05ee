#pragma once

#include <memory>

#include "Lib3/LSources/CoreData/CAppBase.h"

class CMediaLoader;

// The application object: root of the main-thread handler chain, owner of the main loop.
// It owns the media loader that every document's engine loads clips on (made first, gone last).
// With ORBILUME_TEST_LOG naming a file, it appends one line per request it receives (for tests).
class CMainApp : public CAppBase {
public:
    CMainApp();
    ~CMainApp() override;

    LMessage Handle(const LMessage& msg) override;

private:
    void Log(const char* what, const char* detail);

    int mLog = -1;
    std::unique_ptr<CMediaLoader> mMediaLoader;
};
