#include "Orbilume/CSources/Schedule/CSchCtl.h"

#include <cmath>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CScrapReader.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/Mac/CDragScrap.h"
#include "Lib3/LSources/Mac/UDate.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Document/USchedule.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

const CSchCtl::EditorFactory* gEditorFactory = nullptr;

constexpr char kSettingsKey[] = "schctl";
constexpr char kEditorSetKey[] = "sched";
constexpr char kOpenKey[] = "usesch";
constexpr char kStringsName[] = "OBSCHCTL";
constexpr uint32_t kSequenceScrap = Fcc("SEQC");

// The editor when no window factory is installed: it only keeps the runner in its running state.
class CWindowlessEditor : public LHandler {
public:
    using LHandler::LHandler;
};

CRecord* SettingsOf(CRecordRef misc) {
    return misc ? CParamSet::GetOrCreateSubSet(misc, nullptr, LString(kSettingsKey)) : nullptr;
}

CRecord* EditorSettingsOf(CRecord* settings) {
    return settings ? CParamSet::GetOrCreateSubSet(CRecordRef(&settings), nullptr, LString(kEditorSetKey))
                    : nullptr;
}

// The sequence id an entry's command names; false without a sequence command.
bool CommandId(const CRecord* entry, uint32_t& id) {
    const CRecord* command = entry ? entry->GetSubRecord(T::kScevCommand) : nullptr;
    if (!command || !command->IsOfType(T::kDomain, T::kSCEX)) return false;
    id = command->GetUInt(T::kScexSeqId);
    return true;
}

// A copied sequence on the drop: the bytes of its 'SEQC' item.
bool SequenceScrap(CDragScrap* drag, const uint8_t** bytes, uint32_t* size) {
    return drag && drag->GetData(LScrapType{LString(), kSequenceScrap}, 0, bytes, size);
}

}  // namespace

void CSchCtl::SetEditorFactory(const EditorFactory* factory) {
    gEditorFactory = factory;
}

CSchCtl::CSchCtl(LHandler* upper, CDocModelHolder* model, CRecordRef misc)
    : LHandler(upper),
      fModel(model),
      fSettings(SettingsOf(misc)),
      fLink(this, &CSchCtl::Request, model->Schedule(), EditorSettingsOf(fSettings)),
      fMatcher(model->Schedule()),
      fTimer(this) {
    PLAT_DCHECK_MAIN_THREAD();
    const LStrListRsrcH strings{SRsrcRequest(kStringsName)};
    fLink.SetHeaderText(strings.GetString(0));
    if (fSettings && CParamSet::GetIntOr(CRecordRef(&fSettings), LString(kOpenKey), 0) != 0) OpenEditor();
    (void)fModel->AddObserver(this, &CSchCtl::ObserveModel);
}

CSchCtl::~CSchCtl() {
    (void)fModel->RemoveObserver(this, &CSchCtl::ObserveModel);
    if (fSettings) CParamSet::PutIntAt(CRecordRef(&fSettings), LString(kOpenKey), fEditor ? 1 : 0);
    fTimer.Stop();
    LHandler* editor = fEditor;
    fEditor = nullptr;
    delete editor;
}

LMessage CSchCtl::Handle(const LMessage& msg) {
    if (msg.Is(LTimer_Expire) && msg.sender == &fTimer) {
        Tick();
        return LMessage();
    }
    if (msg.Is(LFrame_Close) && fEditor && msg.sender == fEditor) {
        CloseEditor();
        return LMessage();
    }
    if (msg.Is(LHandler_Destructing) && fEditor && msg.sender == fEditor) {
        fEditor = nullptr;  // went by itself
        fTimer.Stop();
        return LMessage();
    }
    return LHandler::Handle(msg);
}

void CSchCtl::OpenEditor() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fEditor) fEditor = gEditorFactory ? gEditorFactory->make(this, &fLink) : new CWindowlessEditor(this);
    if (!fEditor) return;
    if (gEditorFactory && gEditorFactory->show) gEditorFactory->show(fEditor);
    if (!fTimer.IsRunning()) fTimer.StartRepeat(kTickMs);
}

void CSchCtl::CloseEditor() {
    PLAT_DCHECK_MAIN_THREAD();
    fTimer.Stop();
    LHandler* editor = fEditor;
    fEditor = nullptr;
    if (editor) LHandler::DeleteAfterDispatch(editor);
}

SchDateTime CSchCtl::LocalNow() {
    const SGregorianDate g = UDate::GregorianOf(UDate::ToLocal(UDate::Now()));
    SchDateTime dt;
    dt.year = static_cast<uint16_t>(g.year < 0 ? 0 : (g.year > 0xFFFF ? 0xFFFF : g.year));
    dt.month = static_cast<uint8_t>(g.month);
    dt.day = static_cast<uint8_t>(g.day);
    dt.weekday = static_cast<uint8_t>(g.dayOfWeek % 7);
    dt.hour = static_cast<uint8_t>(g.hour);
    dt.minute = static_cast<uint8_t>(g.minute);
    const double second = std::floor(g.second);
    dt.second = static_cast<uint8_t>(second < 0 ? 0 : (second > 59 ? 59 : second));
    return dt;
}

void CSchCtl::Tick() {
    const int32_t n = fMatcher.IndexOf(LocalNow());
    if (n == fLast) return;
    fLast = n;
    if (n >= 0) Fire(static_cast<uint32_t>(n));
    fLink.Notify(CSchLink::kMatchChanged);
}

CRecordRef CSchCtl::Entry(int32_t n) const {
    CRecord* schedule = fModel->Schedule().Get();
    if (!schedule || n < 0 || static_cast<uint32_t>(n) >= schedule->ArrayCount(T::kSchdEntries))
        return CRecordRef();
    return CRecordRef(&(*schedule->GetRecordArray(T::kSchdEntries))[static_cast<uint32_t>(n)]);
}

int32_t CSchCtl::SequenceOf(uint32_t n) const {
    const CRecordRef entry = Entry(static_cast<int32_t>(n));
    const CRecord* scns = fModel->Scenes().Get();
    if (!entry || !scns) return -1;
    uint32_t id = 0;
    if (CommandId(entry.Get(), id)) return UDocModel::FindSequenceById(scns, id);
    // Shows stored without commands fire the sequence at the entry's own index.
    return n < scns->ArrayCount(T::kScnsSequences) ? static_cast<int32_t>(n) : -1;
}

void CSchCtl::Fire(uint32_t n) {
    PLAT_DCHECK_MAIN_THREAD();
    const CRecordRef scns = fModel->Scenes();
    if (!scns || scns->GetInt(T::kScnsEdited) < 0) return;
    const int32_t sequence = SequenceOf(n);
    if (sequence < 0) return;
    UDocScenes::SetEditedSequence(scns, sequence);
    // Go to scene 0, then clear the request without a broadcast so that the next one is seen.
    (void)scns.SetInt(nullptr, T::kScnsGoTo, 0);
    scns->Slot(T::kScnsGoTo).i32 = -1;
}

void CSchCtl::Request(void* context, SSchRequest& request) {
    static_cast<CSchCtl*>(context)->Answer(request);
}

void CSchCtl::Answer(SSchRequest& request) {
    PLAT_DCHECK_MAIN_THREAD();
    switch (request.operation) {
        case CSchLink::kFire:
            if (Entry(request.index)) Fire(static_cast<uint32_t>(request.index));
            break;
        case CSchLink::kLastMatch:
            request.index = fLast;
            break;
        case CSchLink::kCommandName: {
            const CRecordRef entry = Entry(request.index);
            uint32_t id = 0;
            if (!entry || !CommandId(entry.Get(), id)) break;
            const CRecord* scns = fModel->Scenes().Get();
            const int32_t s = scns ? UDocModel::FindSequenceById(scns, id) : -1;
            const CRecord* sequence =
                s >= 0 ? scns->GetElement(T::kScnsSequences, static_cast<uint32_t>(s)) : nullptr;
            request.text = sequence ? sequence->GetString(T::kSqncName) : LString("?");
            break;
        }
        case CSchLink::kCanDrop:
            request.index = SequenceScrap(request.drag, nullptr, nullptr) ? 1 : 0;
            break;
        case CSchLink::kDrop:
            Drop(request);
            break;
        case CSchLink::kAddEntry: {
            CRecordRef schedule = fModel->Schedule();
            if (!schedule || request.index < 0) break;
            (void)schedule.InsertRecord(request.editor, T::kSchdEntries, static_cast<uint32_t>(request.index),
                                        USchedule::NewEntry());
            break;
        }
        case CSchLink::kMatchAt:
            request.index = request.dateTime ? fMatcher.IndexOf(*request.dateTime) : -1;
            break;
        default:
            break;
    }
}

void CSchCtl::Drop(SSchRequest& request) {
    const CRecordRef entry = Entry(request.index);
    if (!entry) return;
    if (!request.drag) {
        entry.DeleteSubRecord(request.editor, T::kScevCommand);
        request.index = 1;
        return;
    }
    request.index = 0;
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    if (!SequenceScrap(request.drag, &bytes, &size)) return;
    CScrapReader reader(bytes, size);
    CRecord* first = reader.ReadRecord(fModel);
    if (first && first->IsOfType(T::kDomain, T::kSQNC)) {
        CRecord* command = CRecord::New(T::Type(T::kSCEX));
        if (command) {
            command->Slot(T::kScexSeqId).u32 = first->GetUInt(T::kSqncId);
            entry.DeleteSubRecord(request.editor, T::kScevCommand, command);
            request.index = 1;
        }
    }
    CRecord::Delete(first);
}

void CSchCtl::ObserveModel(void* context, const SRecordEvent* event) {
    auto* self = static_cast<CSchCtl*>(context);
    const CRecord* record = event->record.Get();
    if (!record || event->kind > SRecordEvent::kMoved) return;
    const bool sequenceList = record->IsOfType(T::kDomain, T::kSCNS) && event->field == T::kScnsSequences;
    const bool sequenceName = record->IsOfType(T::kDomain, T::kSQNC) && event->field == T::kSqncName &&
                              record->FieldInParent() == T::kScnsSequences;
    if (sequenceList || sequenceName) self->fLink.Notify(CSchLink::kSequencesChanged);
}
