#pragma once

#include <cstdint>
#include <memory>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Orbilume/CSources/Editors/CInParamPane.h"

class CDocModelHolder;
class CDropTargetHelper;
class CObSampleDC;
class COpenGLContext_Cca;
class COpenGLView;
class CSrcRendrFrm;
class CTextSlot;
class LMenu;
class LMenuItem;

// Asks the owner to draw the input's current image into the pane's preview.
L_MESSAGE_ID(CInParamPane_image_Update);
// Asks the owner to show the input's file in the file browser.
L_MESSAGE_ID(CInParamPane_image_Reveal);

// An image input ("INPRMIMAGE", its layout too): the source pop-up (menu "IMAGESRC"), a preview, a
// file drop target and the unit chain of the input's image unit (flag 0). The value is a stored path,
// ".colorfill", ".localtap", ".mixbuffer", ".videoinput" + device number, or empty. Main thread.
class CInParamImage : public CInParamPane {
public:
    enum class Source : uint32_t { kNone, kFile, kColor, kTap, kMixBuffer, kVideo };

    CInParamImage(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key, CDocModelHolder* model);
    ~CInParamImage() override;

    LString GetValueText() override;
    void SetValueText(const LString& text) override;
    LMessage Handle(const LMessage& msg) override;

    // The kind of a value and, for a video input, its device slot (0-3; others preselect 0).
    static Source Classify(const LString& value, uint32_t* device = nullptr);
    // What the pop-up shows for a value: the file's name, the source's title, the video input
    // counted from 1.
    LString SourceTitle(const LString& value) const;
    // The menu as a click shows it, the current source marked.
    LMenu* RebuildMenu();
    // Acts on a chosen item; false when not handled.
    bool Choose(const LMenuItem* item);
    // A dropped file becomes the value in stored-path form.
    void DropFile(const LFsSpec& file);

    CTextSlot* Slot() const { return fSlot; }
    CSrcRendrFrm* Chain() const { return fChain; }
    COpenGLView* Preview() const { return fPreview; }
    COpenGLContext_Cca* PreviewTarget() override;
    CSrcRendrFrm* ImageChain() const override { return fChain; }

    // The open panel for "CAppCmd_ImgFile" and the video input dialog: tests and the application
    // replace them (none: nothing is chosen).
    using ChooseFileFunction = bool (*)(const LFsSpec& start, LFsSpec& chosen);
    using ChooseVideoFunction = bool (*)(uint32_t preselected, uint32_t& chosen);
    static void SetChooseFileFunction(ChooseFileFunction f);
    static void SetChooseVideoFunction(ChooseVideoFunction f);

protected:
    // Adds "ctlhi": the assignment editor's height while it shows, else 0 (the chain goes below it).
    void DescriptionPrefer(LDrawContext& ctx, LLayoutDesc& desc) override;

private:
    void SetAndNotify(const LString& value);

    CDocModelHolder* fModel;
    LString fValue;
    CTextSlot* fSlot;
    CObSampleDC* fSample = nullptr;
    COpenGLView* fPreview = nullptr;
    CSrcRendrFrm* fChain;
    std::unique_ptr<CDropTargetHelper> fDrop;
    std::unique_ptr<LMenu> fMenu;
};
