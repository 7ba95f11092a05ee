#pragma once

#include <string>
#include <vector>

#include "Orbilume/CSources/Http/FormServer.h"

class CMainApp;
class CObDoc;

// The browser panel's view of the application's documents: the front document, opening a show as
// the only document, and the form entries of the front show's inputs whose control is "osc" (from
// the mix's layers down through their filters, image inputs and animators), labelled, ranged and
// kinded by the engine's parameters. Main thread.
class DocFormProvider : public FormDocumentProvider {
public:
    explicit DocFormProvider(CMainApp* app) : fApp(app) {}

    bool HasDocument() const override;
    int OpenDocument(const std::string& path) override;
    void FormEntries(std::vector<FormEntry>& out) const override;
    void Scenes(std::vector<FormScene>& out) const override;

    // The entries of one document.
    static void DocumentEntries(CObDoc& doc, std::vector<FormEntry>& out);

private:
    CObDoc* Front() const;

    CMainApp* fApp;
};
