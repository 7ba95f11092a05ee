#pragma once

#include "Lib3/LSources/CoreData/CAppBase.h"

// The application object: root of the main-thread handler chain, owner of the main loop.
// With ORBILUME_TEST_LOG naming a file, it appends one line per request it receives (for tests).
class CMainApp : public CAppBase {
public:
    CMainApp();
    ~CMainApp() override;

    LMessage Handle(const LMessage& msg) override;

private:
    void Log(const char* what, const char* detail);

    int mLog = -1;
};
