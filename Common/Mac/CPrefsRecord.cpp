#include "Common/Mac/CPrefsRecord.h"

#include "Common/Mac/CRecordDict.h"
#include "Common/Mac/PrefsStore.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"

CPrefsRecord::CPrefsRecord(CRecordHolder* holder, const LString& key) : mHolder(holder), mKey(key) {
    if (!mHolder || !mHolder->Root()) return;
    PrefsStore store(LString(), PrefsStore::kReadOnly);
    const PrefsDictView root(&store, store.Root());
    const PrefsDictView dict = root.OpenChild(mKey.CStr());
    if (dict.IsValid()) CRecordDict::FromDictionary(dict, mHolder->RootRef());
}

CPrefsRecord::~CPrefsRecord() {
    Save();
}

void CPrefsRecord::Save() {
    if (!mHolder || !mHolder->Root()) return;
    PrefsStore store(LString(), PrefsStore::kWritable);
    const PrefsDictView root(&store, store.Root());
    const PrefsDictView dict = root.CreateChild(mKey.CStr());
    CRecordDict::ToDictionary(dict, mHolder->RootRef());
}
