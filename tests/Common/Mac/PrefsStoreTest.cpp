#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Common/Mac/CPrefsRecord.h"
#include "Common/Mac/CRecordDict.h"
#include "Common/Mac/PrefsStore.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CStrArray.h"
#include "tests/Common/Mac/PrefsTestSupport.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

using PrefsStoreTest = PrefsFixture;

// Makes values in the registry and keeps no pointer to them on the caller's stack.
__attribute__((noinline)) bool MakeValues() {
    plat::PrefNode* dict = plat::Preferences::AppDictionary("exit.test", "settings", true);
    plat::DictSetString(dict, "name", std::string(100, 'x'));
    plat::DictSetDictionary(dict, "nested");
    return plat::Preferences::Synchronize("exit.test") &&
           plat::Preferences::AppDictionary("exit.test", "settings", false) == dict;
}

// A process that ends without Reset frees the values it read or made: the sanitizer build's leak
// check at exit fails the child otherwise.
TEST_F(PrefsStoreTest, ValuesAreFreedAtExit) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) std::exit(MakeValues() ? 0 : 3);  // runs the static destructors and the leak check
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(PrefsStoreTest, ReadOnlyStoreWithoutValueAnswersAbsent) {
    PrefsStore store(LString("nothing.here"), PrefsStore::kReadOnly);
    EXPECT_EQ(store.Root(), nullptr);
    PrefsSection section(&store, "any");
    LString text("kept");
    EXPECT_FALSE(section.GetString("k", text));
    EXPECT_STREQ(text.CStr(), "kept");
    uint32_t size = 99;
    EXPECT_FALSE(section.GetData("k", nullptr, size));
    EXPECT_EQ(size, 0u);
    section.SetString("k", LString("ignored"));
}

TEST_F(PrefsStoreTest, TwoWritableStoresKeepBothEdits) {
    {
        PrefsStore first(LString("two.stores"), PrefsStore::kWritable);
        PrefsStore second(LString("two.stores"), PrefsStore::kWritable);
        PrefsSection a(&first, "alpha");
        PrefsSection b(&second, "beta");
        a.SetString("who", LString("first"));
        b.SetString("who", LString("second"));
    }  // second closes last; it must not undo the first's edit
    plat::Preferences::Reset();
    PrefsStore store(LString("two.stores"), PrefsStore::kReadOnly);
    LString a, b;
    EXPECT_TRUE(PrefsSection(&store, "alpha").GetString("who", a));
    EXPECT_TRUE(PrefsSection(&store, "beta").GetString("who", b));
    EXPECT_STREQ(a.CStr(), "first");
    EXPECT_STREQ(b.CStr(), "second");
}

// A section whose key is removed or replaced through another node (here a second store of the same
// value) must not keep using the freed dictionary.
TEST_F(PrefsStoreTest, SectionOutlivesItsKeyBeingRemoved) {
    PrefsStore first(LString("section.gone"), PrefsStore::kWritable);
    PrefsStore other(LString("section.gone"), PrefsStore::kWritable);
    PrefsSection outer(&first, "outer");
    PrefsSection inner(&outer, "inner");
    inner.SetString("k", LString("v"));
    outer.SetString("x", LString("y"));

    other.Remove(other.Root(), "outer");
    LString text("kept");
    EXPECT_FALSE(outer.GetString("x", text));
    EXPECT_FALSE(inner.GetString("k", text));
    EXPECT_STREQ(text.CStr(), "kept");
    uint32_t size = 7;
    EXPECT_FALSE(inner.GetData("k", nullptr, size));
    EXPECT_EQ(size, 0u);

    other.SetString(other.Root(), "outer", LString("now a string"));
    EXPECT_FALSE(outer.GetString("x", text));
    // A write makes the section again under its key.
    outer.SetString("x", LString("z"));
    EXPECT_FALSE(inner.GetString("k", text));
    inner.SetString("k", LString("again"));
    PrefsSection otherOuter(&other, "outer");
    EXPECT_TRUE(PrefsSection(&otherOuter, "inner").GetString("k", text));
    EXPECT_STREQ(text.CStr(), "again");
    EXPECT_TRUE(otherOuter.GetString("x", text));
    EXPECT_STREQ(text.CStr(), "z");
}

TEST_F(PrefsStoreTest, ValuesSurviveReopeningAndTypesAreChecked) {
    const uint8_t bytes[] = {1, 2, 3, 4, 5};
    {
        PrefsStore store(LString("values"), PrefsStore::kWritable);
        PrefsSection s(&store, "sect");
        s.SetString("text", LString("héllo"));
        s.SetData("data", bytes, 5);
        s.SetString("gone", LString("x"));
        s.Remove("gone");
        // A string replaced by a dictionary when opened for writing.
        PrefsNode::Handle sub = store.OpenSubWritable(store.Root(), "plain");
        EXPECT_NE(sub, nullptr);
        store.SetString(store.Root(), "later", LString("s"));
        EXPECT_NE(store.OpenSubWritable(store.Root(), "later"), nullptr);
    }
    plat::Preferences::Reset();
    PrefsStore store(LString("values"), PrefsStore::kReadOnly);
    PrefsSection s(&store, "sect");
    LString text;
    EXPECT_TRUE(s.GetString("text", text));
    EXPECT_STREQ(text.CStr(), "héllo");
    EXPECT_FALSE(s.GetString("data", text));  // data is not a string
    EXPECT_FALSE(s.GetString("gone", text));
    uint8_t small[3] = {};
    uint32_t size = sizeof small;
    EXPECT_TRUE(s.GetData("data", small, size));
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(small[2], 3);
    size = 0;
    EXPECT_TRUE(s.GetData("data", nullptr, size));
    EXPECT_EQ(size, 5u);
    EXPECT_NE(store.OpenSub(store.Root(), "later"), nullptr);
    EXPECT_EQ(store.OpenSubWritable(store.Root(), "sect"), nullptr);  // read-only
}

TEST_F(PrefsStoreTest, UnchangedWritableStoreStillWrites) {
    { PrefsStore store(LString("untouched"), PrefsStore::kWritable); }
    EXPECT_NE(ReadFile(FileOf("untouched")).find("<key>prefs</key>"), std::string::npos);
}

TEST_F(PrefsStoreTest, FilesArePrivateToTheUser) {
    { PrefsStore store(LString("private"), PrefsStore::kWritable); }
    struct stat st {};
    ASSERT_EQ(stat(FileOf("private").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(stat((dir.Path() + "/orbilume").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
}

TEST_F(PrefsStoreTest, FailedWriteKeepsThePreviousFile) {
    {
        PrefsStore store(LString("atomic"), PrefsStore::kWritable);
        PrefsSection(&store, "s").SetString("k", LString("old"));
    }
    const std::string before = ReadFile(FileOf("atomic"));
    ASSERT_FALSE(before.empty());

    // Writes beyond a small file size limit fail (the signal is ignored, so write reports EFBIG).
    struct sigaction ignore {};
    struct sigaction saved {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &saved);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tight = old;
    tight.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &tight);
    bool written = true;
    {
        PrefsStore store(LString("atomic"), PrefsStore::kWritable);
        PrefsSection(&store, "s").SetString("k", LString(std::string(4096, 'n').c_str()));
        written = store.Synchronize();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &saved, nullptr);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadFile(FileOf("atomic")), before);
}

TEST_F(PrefsStoreTest, BadApplicationIdsNameNoFile) {
    for (const char* id : {"..", "a/b", "."}) {
        EXPECT_TRUE(plat::Preferences::FilePath(id).empty()) << id;
        PrefsStore store(LString(id), PrefsStore::kWritable);
        EXPECT_EQ(store.Root(), nullptr);
    }
}

// ---- dictionary form of records

enum Field : uint32_t {
    kI,
    kU,
    kB,
    kF,
    kS,
    kInts,
    kBytes,
    kFloats,
    kTexts,
    kSub,
    kOpt,
    kList,
    kAny,
    kHidden
};
const SFieldDesc kItemTable[] = {
    SFieldDesc::String(Fcc("name"), "item"),
    SFieldDesc::Int(Fcc("numb"), 4),
};
const CRecordType gItem(Fcc("DICT"), Fcc("ITEM"), kItemTable);
const SFieldDesc kRootTable[] = {
    SFieldDesc::Int(Fcc("   i"), -1),
    SFieldDesc::UInt(Fcc("uint"), 7),
    SFieldDesc::Byte(Fcc("byte"), 1),
    SFieldDesc::Float(Fcc("flot"), 0.5f, 2),
    SFieldDesc::String(Fcc("text"), "def"),
    SFieldDesc::Array(Fcc("ints"), kElemInt),
    SFieldDesc::Array(Fcc("byts"), kElemByte),
    SFieldDesc::Array(Fcc("flts"), kElemFloat),
    SFieldDesc::Array(Fcc("strs"), kElemString),
    SFieldDesc::Record(Fcc("subr"), Fcc("DICT"), Fcc("ITEM")),
    SFieldDesc::Record(Fcc("optl"), Fcc("DICT"), Fcc("ITEM"), kFieldOptional),
    SFieldDesc::RecordArray(Fcc("list"), Fcc("DICT"), Fcc("ITEM")),
    SFieldDesc::RecordArray(Fcc("anys"), Fcc("DICT"), Fcc("ITEM"), kFieldAnyType),
    SFieldDesc::Int(0, 5),
};
const CRecordType gRoot(Fcc("DICT"), Fcc("ROOT"), kRootTable);

CRecord* Item(const char* name, int32_t n) {
    CRecord* r = CRecord::New(&gItem);
    r->StringSlot(0) = LString(name);
    r->Slot(1).i32 = n;
    return r;
}

std::string Text(const CRecord* r) {
    std::ostringstream os;
    os << r->GetInt(kI) << ' ' << r->GetUInt(kU) << ' ' << int(r->GetByte(kB)) << ' ' << r->GetFloat(kF)
       << ' ' << r->GetString(kS).CStr() << " ints";
    for (uint32_t i = 0; i < r->ArrayCount(kInts); ++i)
        os << ' ' << static_cast<const int32_t*>(r->ArrayData(kInts))[i];
    os << " bytes";
    for (uint32_t i = 0; i < r->ArrayCount(kBytes); ++i)
        os << ' ' << int(static_cast<const uint8_t*>(r->ArrayData(kBytes))[i]);
    os << " floats";
    for (uint32_t i = 0; i < r->ArrayCount(kFloats); ++i)
        os << ' ' << static_cast<const float*>(r->ArrayData(kFloats))[i];
    os << " texts";
    for (uint32_t i = 0; i < r->ArrayCount(kTexts); ++i)
        os << " '" << (*r->GetStrArray(kTexts))[i].CStr() << "'";
    auto item = [&os](const CRecord* x) {
        if (!x) return void(os << " -");
        os << " (" << x->GetString(0).CStr() << ' ' << x->GetInt(1) << ')';
    };
    os << " sub";
    item(r->GetSubRecord(kSub));
    os << " opt";
    item(r->GetSubRecord(kOpt));
    os << " list";
    for (uint32_t i = 0; i < r->ArrayCount(kList); ++i) item(r->GetElement(kList, i));
    os << " hidden " << r->GetInt(kHidden);
    return os.str();
}

CRecord* FullRoot() {
    CRecord* r = CRecord::New(&gRoot);
    r->Slot(kI).i32 = -40000;
    r->Slot(kU).u32 = 0xFFFFFFFE;
    r->Slot(kB).u8 = 200;
    r->Slot(kF).f32 = 2.25f;
    r->StringSlot(kS) = LString("text with\nline");
    const int32_t ints[] = {-3, 0, 2147483647};
    EXPECT_TRUE(r->SetArrayRaw(kInts, ints, 3));
    const uint8_t bytes[] = {0, 1, 255};
    EXPECT_TRUE(r->SetArrayRaw(kBytes, bytes, 3));
    const float floats[] = {0.125f, -1e6f};
    EXPECT_TRUE(r->SetArrayRaw(kFloats, floats, 2));
    const LString texts[] = {LString("one"), LString(""), LString("three")};
    EXPECT_TRUE(r->SetArrayRaw(kTexts, texts, 3));
    r->GetSubRecord(kSub)->StringSlot(0) = LString("child");
    r->SetSubRecord(kOpt, Item("optional", 9));
    EXPECT_TRUE(r->InsertElementRaw(kList, -1, Item("a", 1)));
    EXPECT_TRUE(r->InsertElementRaw(kList, -1, Item("b", 2)));
    r->Slot(kHidden).i32 = 99;  // tag 0: never stored
    return r;
}

void Save(const char* id, const char* key, CRecord* record) {
    PrefsStore store(LString(id), PrefsStore::kWritable);
    const PrefsDictView root(&store, store.Root());
    CRecordDict::ToDictionary(root.CreateChild(key), CRecordRef(&record));
}

std::string Load(const char* id, const char* key) {
    CRecord* r = CRecord::New(&gRoot);
    {
        PrefsStore store(LString(id), PrefsStore::kReadOnly);
        const PrefsDictView root(&store, store.Root());
        CRecordDict::FromDictionary(root.OpenChild(key), CRecordRef(&r));
    }
    std::string text = Text(r);
    CRecord::Delete(r);
    return text;
}

TEST_F(PrefsStoreTest, RecordsRoundTripThroughThePreferencesFile) {
    CRecord* r = FullRoot();
    Save("dict.form", "record", r);
    plat::Preferences::Reset();
    r->Slot(kHidden).i32 = 5;
    EXPECT_EQ(Load("dict.form", "record"), Text(r));
    CRecord::Delete(r);
    EXPECT_NE(ReadFile(FileOf("dict.form")).find("<key>i</key>"), std::string::npos);  // leading blanks cut
}

TEST_F(PrefsStoreTest, NumbersAreStoredInTheCLocaleWhateverTheProcessLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    CRecord* r = FullRoot();
    Save("german", "record", r);
    plat::Preferences::Reset();
    const std::string loaded = Load("german", "record");
    std::setlocale(LC_ALL, previous.c_str());
    r->Slot(kHidden).i32 = 5;
    EXPECT_EQ(loaded, Text(r));
    const std::string file = ReadFile(FileOf("german"));
    EXPECT_NE(file.find("<string>2.25</string>"), std::string::npos) << file;
    EXPECT_NE(file.find("<string>0.125 -1e+06 </string>"), std::string::npos) << file;
    CRecord::Delete(r);

    // Integer lists drop fractions, as the preferences have always been read.
    {
        PrefsStore store(LString("fractions"), PrefsStore::kWritable);
        const PrefsDictView root(&store, store.Root());
        root.SetText("ints", LString("1 2.5 3"));
        std::vector<int64_t> ints;
        ASSERT_TRUE(root.GetIntList("ints", ints));
        EXPECT_EQ(ints, (std::vector<int64_t>{1, 2, 3}));
        EXPECT_FALSE(root.GetIntList("missing", ints));
    }
}

TEST_F(PrefsStoreTest, IntegerListsKeepSixtyFourBitsThroughTheFile) {
    const std::vector<int64_t> wide = {5000000000, -5000000000, INT64_MAX, INT64_MIN, 4294967295};
    {
        PrefsStore store(LString("wide"), PrefsStore::kWritable);
        const PrefsDictView root(&store, store.Root());
        root.SetIntList("wide", wide.data(), uint32_t(wide.size()));
        // Texts too wide for the 32-bit fields they are read into.
        const PrefsDictView rec = root.CreateChild("rec");
        rec.SetText("i", LString("4294967297 "));
        rec.SetText("uint", LString("-1 "));
        rec.SetText("ints", LString("4294967295 -2147483649 8589934592 "));
    }
    plat::Preferences::Reset();
    PrefsStore store(LString("wide"), PrefsStore::kReadOnly);
    const PrefsDictView root(&store, store.Root());
    std::vector<int64_t> back;
    ASSERT_TRUE(root.GetIntList("wide", back));
    EXPECT_EQ(back, wide);

    // 32-bit fields keep the low 32 bits of what is stored.
    CRecord* r = CRecord::New(&gRoot);
    CRecordDict::FromDictionary(root.OpenChild("rec"), CRecordRef(&r));
    EXPECT_EQ(r->GetInt(kI), 1);
    EXPECT_EQ(r->GetUInt(kU), 0xFFFFFFFFu);
    ASSERT_EQ(r->ArrayCount(kInts), 3u);
    const int32_t* ints = static_cast<const int32_t*>(r->ArrayData(kInts));
    EXPECT_EQ(ints[0], -1);
    EXPECT_EQ(ints[1], INT32_MAX);
    EXPECT_EQ(ints[2], 0);
    CRecord::Delete(r);
}

TEST_F(PrefsStoreTest, ShorterListsLeaveNoStaleElements) {
    CRecord* r = FullRoot();
    Save("stale", "record", r);
    r->RemoveElementRaw(kList, 1);
    const LString one[] = {LString("only")};
    EXPECT_TRUE(r->SetArrayRaw(kTexts, one, 1));
    CRecord::Delete(r->SetSubRecord(kOpt, nullptr));
    Save("stale", "record", r);
    plat::Preferences::Reset();
    r->Slot(kHidden).i32 = 5;
    EXPECT_EQ(Load("stale", "record"), Text(r));
    CRecord::Delete(r);
}

TEST_F(PrefsStoreTest, DictionaryReadingEdges) {
    {
        PrefsStore store(LString("edges"), PrefsStore::kWritable);
        const PrefsDictView root(&store, store.Root());
        const PrefsDictView rec = root.CreateChild("rec");
        rec.SetText("ints", LString(""));  // an empty list empties the array
        const PrefsDictView list = rec.CreateChild("list");
        for (const char* k : {"a0", "a1", "a3"}) list.CreateChild(k).SetText("name", LString(k));
        const PrefsDictView any = rec.CreateChild("anys");
        any.CreateChild("a0").SetText("name", LString("declared type"));
    }
    CRecord* r = CRecord::New(&gRoot);
    const int32_t seed[] = {1, 2};
    EXPECT_TRUE(r->SetArrayRaw(kInts, seed, 2));
    {
        PrefsStore store(LString("edges"), PrefsStore::kReadOnly);
        const PrefsDictView root(&store, store.Root());
        CRecordDict::FromDictionary(root.OpenChild("rec"), CRecordRef(&r));
    }
    EXPECT_EQ(r->ArrayCount(kInts), 0u);
    ASSERT_EQ(r->ArrayCount(kList), 2u);
    EXPECT_STREQ(r->GetElement(kList, 1)->GetString(0).CStr(), "a1");
    ASSERT_EQ(r->ArrayCount(kAny), 1u);
    EXPECT_TRUE(r->GetElement(kAny, 0)->IsOfType(Fcc("DICT"), Fcc("ITEM")));
    EXPECT_EQ(r->GetInt(kI), -1);  // missing: default
    EXPECT_STREQ(r->GetString(kS).CStr(), "def");
    CRecord::Delete(r);
}

TEST_F(PrefsStoreTest, BoundRecordLoadsAndSaves) {
    plat::Preferences::SetCurrentApplicationId("bound.app");
    {
        CRecordHolder holder(FullRoot());
        CPrefsRecord bound(&holder, LString("window"));  // nothing stored yet: the record stays
        EXPECT_EQ(holder.Root()->GetInt(kI), -40000);
        holder.RootRef().SetInt(nullptr, kI, 12);
    }
    plat::Preferences::Reset();
    CRecordHolder holder(CRecord::New(&gRoot));
    CPrefsRecord bound(&holder, LString("window"));
    EXPECT_EQ(holder.Root()->GetInt(kI), 12);
    EXPECT_STREQ(holder.Root()->GetString(kS).CStr(), "text with\nline");
    plat::Preferences::SetCurrentApplicationId("orbilume");
}

// Text a property list cannot hold (a NUL, bytes that are not UTF-8) is stored so that the whole
// value still saves.
TEST_F(PrefsStoreTest, AnyTextSaves) {
    plat::PrefNode* root = plat::Preferences::AppDictionary("private.app", "prefs", true);
    ASSERT_NE(root, nullptr);
    plat::DictSetString(root, "cut", std::string("before\0after", 12));
    plat::DictSetString(root, "latin1", "caf\xE9");
    plat::DictSetString(root, "key\xFF", "v");
    ASSERT_TRUE(plat::Preferences::Synchronize("private.app"));

    plat::Preferences::Reset();
    root = plat::Preferences::AppDictionary("private.app", "prefs", false);
    ASSERT_NE(root, nullptr);
    std::string text;
    EXPECT_TRUE(plat::GetString(plat::DictGet(root, "cut"), text));
    EXPECT_EQ(text, "before");
    EXPECT_TRUE(plat::GetString(plat::DictGet(root, "latin1"), text));
    EXPECT_EQ(text, "caf\xEF\xBF\xBD");
    EXPECT_TRUE(plat::GetString(plat::DictGet(root, "key\xFF"), text));
    EXPECT_EQ(text, "v");
}

}  // namespace
