#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"
#include "tests/Lib3/LSources/CoreData/XmlDocumentTestTypes.h"
#include "tests/support/TempDir.h"

namespace {

using namespace xmldoc;

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// A root record owned by the test.
struct Root {
    Root() : record(CRecord::New(&gRootType)) {}
    ~Root() { CRecord::Delete(record); }
    CRecordRef Ref() { return CRecordRef(&record); }
    CRecord* record;
};

TEST(XmlDocument, AllDefaultRootIsOneEmptyElement) {
    Root root;
    EXPECT_EQ(Written(root.record), std::string(kDeclaration) + "<XDOC_ROOT/>\n");
    EXPECT_EQ(Written(nullptr), std::string(kDeclaration) + "<YUND_UDNL/>\n");
}

TEST(XmlDocument, OnlyChangedValuesAreWritten) {
    Root root;
    root.Ref().SetString(nullptr, kTitle, LString("t"));
    CRecordRef sub(&root.record->Slot(kSub).record);
    sub.SetInt(nullptr, kIval, 6);
    sub.SetFloat(nullptr, kFval, 0.5f);  // the default
    EXPECT_EQ(Written(root.record), std::string(kDeclaration) +
                                        "<XDOC_ROOT titl=\"t\">\n"
                                        "<XDOC_ROOT_subr>\n"
                                        "<XDOC_ITEM ival=\"6\"/>\n"
                                        "</XDOC_ROOT_subr>\n"
                                        "</XDOC_ROOT>\n");
}

TEST(XmlDocument, TagsWithTrailingBlanksAreWrittenBareAndReadBack) {
    Root root;
    root.Ref().SetString(nullptr, kKey, LString("k"));
    root.Ref().SetString(nullptr, kValue, LString("x"));
    root.Ref().SetString(nullptr, kTitle, LString("after"));
    std::string xml = Written(root.record);
    EXPECT_NE(xml.find("<XDOC_ROOT i=\"k\" v=\"x\" titl=\"after\"/>"), std::string::npos) << xml;
    Root back;
    ASSERT_EQ(Read(xml, &back.record), 1);
    EXPECT_EQ(back.record->GetString(kKey), LString("k"));
    EXPECT_EQ(back.record->GetString(kValue), LString("x"));
    EXPECT_EQ(back.record->GetString(kTitle), LString("after"));  // not swallowed
}

TEST(XmlDocument, LongTextChoosesAttributeOrCData) {
    std::string line31(31, 'a'), line32(32, 'b');
    struct Case {
        std::string value;
        std::string written;  // between <XDOC_ROOT and the end of the document
    } cases[] = {
        {line31 + "\n", " titl=\"" + line31 + "&#10;\"/>\n"},
        {line32 + "\n", ">\n<XDOC_ROOT_titl><![CDATA[" + line32 + "\n]]></XDOC_ROOT_titl>\n</XDOC_ROOT>\n"},
        {"a\r\nb\rc", " titl=\"a&#10;b&#10;c\"/>\n"},
        {line32 + "\r\n", ">\n<XDOC_ROOT_titl><![CDATA[" + line32 + "\n]]></XDOC_ROOT_titl>\n</XDOC_ROOT>\n"},
        {std::string(30, 'c') + "\n]]>\n" + std::string(5, 'd'),
         " titl=\"" + std::string(30, 'c') + "&#10;]]>&#10;ddddd\"/>\n"},
        {std::string(40, 'e'), " titl=\"" + std::string(40, 'e') + "\"/>\n"},
    };
    for (const Case& c : cases) {
        Root root;
        root.Ref().SetString(nullptr, kTitle, LString(c.value.c_str()));
        std::string xml = Written(root.record);
        EXPECT_EQ(xml, std::string(kDeclaration) + "<XDOC_ROOT" + c.written);
        Root back;
        ASSERT_EQ(Read(xml, &back.record), 1);
        std::string normalized = c.value;
        for (size_t i; (i = normalized.find("\r\n")) != std::string::npos;) normalized.erase(i, 1);
        for (char& ch : normalized)
            if (ch == '\r') ch = '\n';
        EXPECT_EQ(std::string(back.record->GetString(kTitle).CStr()), normalized);
    }
}

// A CR LF is written as one line feed: the length that chooses CDATA is the length written, so that
// what is read back is written the same way again.
TEST(XmlDocument, LongTextIsMeasuredAsWritten) {
    const std::string line30(30, 'a'), line31(31, 'b');
    const struct {
        std::string value;
        bool cdata;
    } cases[] = {
        {line31 + "\r\n", false},    // 32 written
        {line30 + "\r\r\n", false},  // 32 written
        {line31 + "\r\r\n", true},   // 33 written
        {line31 + "\n\r", false},    // LF CR is one line end
    };
    for (const auto& c : cases) {
        Root root;
        root.Ref().SetString(nullptr, kTitle, LString(c.value.c_str()));
        const std::string xml = Written(root.record);
        EXPECT_EQ(xml.find("<![CDATA[") != std::string::npos, c.cdata) << xml;
        Root back;
        ASSERT_EQ(Read(xml, &back.record), 1);
        EXPECT_EQ(Written(back.record), xml);
    }
}

void FillItem(CRecordRef r) {
    r.SetInt(nullptr, kIval, INT_MIN);
    r.SetUInt(nullptr, kUval, 4000000000u);
    r.SetByte(nullptr, kBval, 200);
    r.SetFloat(nullptr, kFval, -1.25f);
    r.SetString(nullptr, kName, LString("caf\xC3\xA9 \"<&>' \t tab"));
    r.SetString(nullptr, kNote, LString("line one\r\nline two\rline three\n and then some more"));
    const int32_t ints[] = {-1, 0, INT_MAX, INT_MIN};
    r.SetArray(nullptr, kInts, ints, 4);
    const uint32_t uins[] = {0, UINT_MAX};
    r.SetArray(nullptr, kUins, uins, 2);
    const uint8_t byts[] = {0x0A, 0xFF, 0x00};
    r.SetArray(nullptr, kByts, byts, 3);
    const float flts[] = {0.25f, -3.5f, 100.0f};
    r.SetArray(nullptr, kFlts, flts, 3);
    const LString strs[] = {LString("a b"),       LString(),       LString("x"),
                            LString("'quoted"),   LString("\"dq"), LString("multi\nline"),
                            LString("tab\there"), LString("''")};
    r.SetArray(nullptr, kStrs, strs, 8);
}

// A tree with every field kind holding non-default values.
void FillRoot(Root& root) {
    CRecordRef r = root.Ref();
    r.SetString(nullptr, kKey, LString("key"));
    r.SetString(nullptr, kValue, LString("value with blanks"));
    r.SetString(nullptr, kTitle, LString("Show"));
    FillItem(CRecordRef(&root.record->Slot(kSub).record));
    r.DetachSubRecord(nullptr, kOpt, CRecord::New(&gItemType));  // optional, all defaults
    r.InsertRecord(nullptr, kList, CRecordRef::kAppend, CRecord::New(&gItemType));
    CRecord* filled = CRecord::New(&gItemType);
    FillItem(CRecordRef(&filled));
    r.InsertRecord(nullptr, kList, CRecordRef::kAppend, filled);
    r.InsertRecord(nullptr, kAny, CRecordRef::kAppend, CRecord::New(&gItemType));
    r.InsertRecord(nullptr, kAny, CRecordRef::kAppend, nullptr);
    CRecord* other = CRecord::New(&gOtherType);
    CRecordRef(&other).SetInt(nullptr, 0, 3);
    r.InsertRecord(nullptr, kAny, CRecordRef::kAppend, other);
    r.SetInt(nullptr, kLate, 9);
}

TEST(XmlDocument, EveryFieldKindRoundTrips) {
    Root root;
    FillRoot(root);
    std::string xml = Written(root.record);
    Root back;
    back.Ref().SetString(nullptr, kTitle, LString("replaced"));
    ASSERT_EQ(Read(xml, &back.record), 1);
    EXPECT_EQ(Written(back.record), xml);

    const CRecord* sub = back.record->GetSubRecord(kSub);
    EXPECT_EQ(sub->GetInt(kIval), INT_MIN);
    EXPECT_EQ(sub->GetUInt(kUval), 4000000000u);
    EXPECT_EQ(sub->GetByte(kBval), 200);
    EXPECT_EQ(sub->GetFloat(kFval), -1.25f);
    EXPECT_EQ(sub->GetString(kName), LString("caf\xC3\xA9 \"<&>' \t tab"));
    EXPECT_EQ(sub->GetString(kNote), LString("line one\nline two\nline three\n and then some more"));
    ASSERT_EQ(sub->ArrayCount(kStrs), 8u);
    const CStrArray& strs = *sub->GetStrArray(kStrs);
    EXPECT_EQ(strs[1], LString());
    EXPECT_EQ(strs[3], LString("'quoted"));
    EXPECT_EQ(strs[4], LString("\"dq"));
    EXPECT_EQ(strs[5], LString("multi\nline"));
    EXPECT_EQ(strs[7], LString("''"));
    EXPECT_EQ(sub->ArrayCount(kByts), 3u);
    EXPECT_EQ(sub->GetInt(kHidden), 77);
    ASSERT_NE(back.record->GetSubRecord(kOpt), nullptr);
    EXPECT_EQ(back.record->ArrayCount(kList), 2u);
    ASSERT_EQ(back.record->ArrayCount(kAny), 3u);
    EXPECT_EQ(back.record->GetElement(kAny, 1), nullptr);
    EXPECT_TRUE(back.record->GetElement(kAny, 2)->IsOfType(Fcc("XDOC"), Fcc("OTHR")));
    EXPECT_EQ(back.record->GetInt(kLate), 9);
}

TEST(XmlDocument, ArrayTexts) {
    Root root;
    CRecordRef sub(&root.record->Slot(kSub).record);
    const uint8_t bytes[] = {0x0A, 0xFF};
    sub.SetArray(nullptr, kByts, bytes, 2);
    const LString strs[] = {LString("a b"), LString(), LString("x"), LString("'q"), LString("say \"hi\"")};
    sub.SetArray(nullptr, kStrs, strs, 5);
    std::string xml = Written(root.record);
    EXPECT_NE(xml.find(" byts=\"0aff\""), std::string::npos) << xml;
    EXPECT_NE(
        xml.find(" strs=\"&quot;a b&quot; '' x &quot;'q&quot; &quot;say &quot;&quot;hi&quot;&quot;&quot;\""),
        std::string::npos)
        << xml;

    Root back;
    ASSERT_EQ(Read("<XDOC_ROOT><XDOC_ROOT_subr><XDOC_ITEM byts=\"0AfF7\" ints=\"1 x "
                   "-2\"/></XDOC_ROOT_subr></XDOC_ROOT>",
                   &back.record),
              1);
    const CRecord* item = back.record->GetSubRecord(kSub);
    ASSERT_EQ(item->ArrayCount(kByts), 2u);
    EXPECT_EQ(static_cast<const uint8_t*>(item->ArrayData(kByts))[0], 0x0A);
    EXPECT_EQ(static_cast<const uint8_t*>(item->ArrayData(kByts))[1], 0xFF);
    ASSERT_EQ(item->ArrayCount(kInts), 3u);
    EXPECT_EQ(static_cast<const int32_t*>(item->ArrayData(kInts))[1], 0);
    EXPECT_EQ(static_cast<const int32_t*>(item->ArrayData(kInts))[2], -2);
}

// Every number word is read as strtol / strtoul / strtod read it in the C locale, whatever its form.
TEST(XmlDocument, NumbersReadAsTheCLibraryReadsThem) {
    const char* words[] = {"0",
                           "-0",
                           "+7",
                           "12abc",
                           "0x1A",
                           "0X1p3",
                           "1e3",
                           "1.5e-3",
                           ".5",
                           "-.25",
                           "1.",
                           "1e",
                           "1e+",
                           "-",
                           "--3",
                           "inf",
                           "-INF",
                           "nan",
                           "infinity",
                           "1e-50",
                           "1e50",
                           "3.4e38",
                           "3.5e38",
                           "4e-46",
                           "1e-45",
                           "123456789",
                           "2147483648",
                           "-2147483649",
                           "4294967296",
                           "99999999999999999",
                           "999999999999999999",
                           "9999999999999999999",
                           "-9223372036854775809",
                           "18446744073709551616",
                           "0.1",
                           "16777217",
                           "0.30000001192092896",
                           "1.0000000596046448",
                           "abc"};
    for (const char* word : words) {
        const std::string xml = std::string("<XDOC_ROOT><XDOC_ROOT_subr><XDOC_ITEM ival=\"") + word +
                                "\" uval=\"" + word + "\" fval=\"" + word + "\" ints=\"" + word +
                                " 1\" uins=\"" + word + " 1\" flts=\"" + word +
                                " 1\"/></XDOC_ROOT_subr></XDOC_ROOT>";
        Root back;
        ASSERT_EQ(Read(xml, &back.record), 1) << word;
        const CRecord* item = back.record->GetSubRecord(kSub);
        const auto i = static_cast<int32_t>(std::strtol(word, nullptr, 10));
        const auto u = static_cast<uint32_t>(std::strtoul(word, nullptr, 10));
        const auto f = static_cast<float>(std::strtod(word, nullptr));
        EXPECT_EQ(item->GetInt(kIval), i) << word;
        EXPECT_EQ(item->GetUInt(kUval), u) << word;
        EXPECT_EQ(std::memcmp(&f, &item->Slot(kFval).f32, sizeof f), 0) << word;  // NaNs alike
        ASSERT_EQ(item->ArrayCount(kInts), 2u) << word;
        EXPECT_EQ(static_cast<const int32_t*>(item->ArrayData(kInts))[0], i) << word;
        EXPECT_EQ(static_cast<const uint32_t*>(item->ArrayData(kUins))[0], u) << word;
        EXPECT_EQ(std::memcmp(&f, item->ArrayData(kFlts), sizeof f), 0) << word;
    }
}

// Arrays longer than the blocks the reader gathers come back whole and in order.
TEST(XmlDocument, LongArraysReadWhole) {
    for (uint32_t count : {15u, 16u, 17u, 255u, 256u, 257u, 1000u}) {
        Root root;
        CRecordRef sub(&root.record->Slot(kSub).record);
        std::vector<int32_t> ints(count);
        std::vector<LString> strs(count);
        for (uint32_t i = 0; i < count; ++i) {
            ints[i] = static_cast<int32_t>(i * 7) - 100;
            strs[i] = LString(("s" + std::to_string(i % 40)).c_str());
        }
        sub.SetArray(nullptr, kInts, ints.data(), count);
        sub.SetArray(nullptr, kStrs, strs.data(), count);
        const std::string xml = Written(root.record);
        Root back;
        ASSERT_EQ(Read(xml, &back.record), 1);
        const CRecord* item = back.record->GetSubRecord(kSub);
        ASSERT_EQ(item->ArrayCount(kInts), count);
        ASSERT_EQ(item->ArrayCount(kStrs), count);
        for (uint32_t i = 0; i < count; ++i) {
            EXPECT_EQ(static_cast<const int32_t*>(item->ArrayData(kInts))[i], ints[i]);
            EXPECT_TRUE(static_cast<const LString*>(item->ArrayData(kStrs))[i] == strs[i]);
        }
        EXPECT_EQ(Written(back.record), xml);
    }
}

TEST(XmlDocument, OptionalSubRecordsAndNullElements) {
    Root root;
    root.Ref().DetachSubRecord(nullptr, kOpt, CRecord::New(&gItemType));
    root.Ref().InsertRecord(nullptr, kAny, CRecordRef::kAppend, nullptr);
    std::string xml = Written(root.record);
    EXPECT_EQ(xml, std::string(kDeclaration) +
                       "<XDOC_ROOT>\n<XDOC_ROOT_optl>\n<XDOC_ITEM/>\n</XDOC_ROOT_optl>\n"
                       "<XDOC_ROOT_anys>\n<YUND_UDNL/>\n</XDOC_ROOT_anys>\n</XDOC_ROOT>\n");
    // A null element reads back as one only where the field takes any type and optional elements.
    Root back;
    ASSERT_EQ(
        Read("<XDOC_ROOT><XDOC_ROOT_anys><YUND_UDNL/></XDOC_ROOT_anys>"
             "<XDOC_ROOT_list><YUND_UDNL/><XDOC_OTHR/><XDOC_ITEM ival=\"1\"/></XDOC_ROOT_list></XDOC_ROOT>",
             &back.record),
        1);
    EXPECT_EQ(back.record->ArrayCount(kAny), 1u);
    EXPECT_EQ(back.record->GetElement(kAny, 0), nullptr);
    ASSERT_EQ(back.record->ArrayCount(kList), 1u);
    EXPECT_EQ(back.record->GetElement(kList, 0)->GetInt(kIval), 1);
    EXPECT_EQ(back.record->GetSubRecord(kOpt), nullptr);
}

TEST(XmlDocument, FindsTheRootElement) {
    struct Case {
        const char* xml;
        int result;
        const char* title;
    } cases[] = {
        {"<XDOC_OTHR levl=\"1\"><XDOC_OTHR_next><XDOC_ROOT titl=\"inner\"/></XDOC_OTHR_next></XDOC_OTHR>"
         "<XDOC_ROOT titl=\"found\"/>",
         1, "found"},
        {"<doc><XDOC_ROOT titl=\"x\"/></doc>", 0, ""},
        {"<A_B_C/><XDOC_ROOT titl=\"x\"/>", 0, ""},
        {"", 0, ""},
        {"\xEF\xBB\xBF<XDOC_ROOT titl=\"bom\"/>", 1, "bom"},
        {"<XDOC_ROOT zzzz=\"1\" "
         "titl=\"t\"><XDOC_OTHR_next><x/></XDOC_OTHR_next><XDOC_ROOT_zzzz>q</XDOC_ROOT_zzzz>"
         "<XDOC_ROOT_titl>u<ignored>no</ignored>v</XDOC_ROOT_titl></XDOC_ROOT>",
         1, "uv"},
        {"<XDOC_ROOT titl=\"cut\"><XDOC_ROOT_list><XDOC_ITEM ival=\"3\"", 1, "cut"},
    };
    for (const Case& c : cases) {
        Root root;
        root.Ref().SetString(nullptr, kTitle, LString("old"));
        EXPECT_EQ(Read(c.xml, &root.record), c.result) << c.xml;
        if (c.result) {
            EXPECT_STREQ(root.record->GetString(kTitle).CStr(), c.title) << c.xml;
        }
    }
}

std::string Nested(int depth, bool closed) {
    std::string xml;
    for (int i = 0; i < depth; ++i) xml += "<XDOC_NEST levl=\"" + std::to_string(i) + "\"><XDOC_NEST_next>";
    for (int i = 0; closed && i < depth; ++i) xml += "</XDOC_NEST_next></XDOC_NEST>";
    return xml;
}

TEST(XmlDocument, DeepNestingFailsTheLoadCleanly) {
    CRecord* nest = CRecord::New(&gNestType);
    CRecordRef(&nest).SetInt(nullptr, 0, 42);
    EXPECT_EQ(Read(Nested(100000, false), &nest), 0);
    EXPECT_EQ(nest->GetInt(0), 0);  // reset, nothing half-read
    EXPECT_EQ(nest->GetSubRecord(1), nullptr);

    EXPECT_EQ(Read(Nested(kXmlMaxRecordDepth, true), &nest), 1);
    uint32_t levels = 0;
    for (const CRecord* r = nest; r; r = r->GetSubRecord(1)) ++levels;
    EXPECT_EQ(levels, kXmlMaxRecordDepth);
    EXPECT_EQ(Read(Nested(kXmlMaxRecordDepth + 1, true), &nest), 0);
    CRecord::Delete(nest);
}

// A holder that reads every element of a field that takes any type as an item.
class ItemHolder : public CRecordHolder {
public:
    explicit ItemHolder(CRecord* root) : CRecordHolder(root) {}
    const CRecordType* ResolveType(uint32_t domain, uint32_t type, const CRecord* parent,
                                   uint32_t field) override {
        if (parent && field == kAny) return &gItemType;
        return CRecordHolder::ResolveType(domain, type, parent, field);
    }
};

TEST(XmlDocument, LoadingIntoAHolderIsObservedAndResolvedThroughIt) {
    ItemHolder holder(CRecord::New(&gRootType));
    int changes = 0;
    holder.AddObserver(&changes, [](void* context, const SRecordEvent* e) {
        if (e->kind == SRecordEvent::kValueChanged && e->editor == nullptr) ++*static_cast<int*>(context);
    });
    ASSERT_EQ(Read("<XDOC_ROOT titl=\"t\" late=\"2\"><XDOC_ROOT_anys><XDOC_OTHR levl=\"1\"/></XDOC_ROOT_anys>"
                   "</XDOC_ROOT>",
                   holder.RootRef().Address()),
              1);
    EXPECT_GE(changes, 2);
    ASSERT_EQ(holder.Root()->ArrayCount(kAny), 1u);
    EXPECT_TRUE(holder.Root()->GetElement(kAny, 0)->IsOfType(Fcc("XDOC"), Fcc("ITEM")));
}

TEST(XmlDocument, SavingReplacesTheFileOrLeavesItAlone) {
    testsupport::TempDir dir;
    std::string path = dir.File("show.obm");
    dir.Write("show.obm", "previous show");
    chmod(path.c_str(), 0640);
    Root root;
    root.Ref().SetString(nullptr, kTitle, LString("new"));

    // A write that fails part-way (the file size limit) leaves the old file as it was.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool saved10 = WriteXmlDocumentFile(path.c_str(), root.record);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(saved10);
    EXPECT_EQ(dir.Read("show.obm"), "previous show");
    EXPECT_FALSE(WriteXmlDocumentFile(dir.File("missing/show.obm").c_str(), root.record));

    ASSERT_TRUE(WriteXmlDocumentFile(path.c_str(), root.record));
    EXPECT_EQ(dir.Read("show.obm"), Written(root.record));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // A new document is private to the user.
    const std::string fresh = dir.File("fresh.obm");
    ASSERT_TRUE(WriteXmlDocumentFile(fresh.c_str(), root.record));
    ASSERT_EQ(stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    std::remove(fresh.c_str());
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) files += e.is_regular_file();
    EXPECT_EQ(files, 1);  // no temporary left behind
}

}  // namespace
