// Written documents are well-formed for xmllint, and its re-serialisations read back the same.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"
#include "tests/Lib3/LSources/CoreData/XmlDocumentTestTypes.h"
#include "tests/support/TempDir.h"

namespace {

using namespace xmldoc;

void Fill(CRecord*& root) {
    CRecordRef r(&root);
    r.SetString(nullptr, kKey, LString("key"));
    r.SetString(nullptr, kValue, LString("a \"quoted\" <value> & more"));
    r.SetString(nullptr, kTitle, LString("Title with\ttab, line\r\nend and enough text for a CDATA element"));
    CRecordRef sub(&root->Slot(kSub).record);
    sub.SetInt(nullptr, kIval, -7);
    sub.SetFloat(nullptr, kFval, 3.1415f);
    sub.SetString(nullptr, kName, LString("caf\xC3\xA9 \xE2\x82\xAC"));
    sub.SetString(nullptr, kNote, LString("<tags> & ]] > stay text\nin CDATA, over thirty-three bytes"));
    const uint8_t bytes[] = {0, 1, 0x7F, 0xFF};
    sub.SetArray(nullptr, kByts, bytes, 4);
    const float floats[] = {1.5f, -0.125f};
    sub.SetArray(nullptr, kFlts, floats, 2);
    const LString strs[] = {LString("one two"), LString(), LString("'x'"), LString("l1\nl2"), LString("\"")};
    sub.SetArray(nullptr, kStrs, strs, 5);
    r.DetachSubRecord(nullptr, kOpt, CRecord::New(&gItemType));
    CRecord* item = CRecord::New(&gItemType);
    CRecordRef(&item).SetUInt(nullptr, kUval, 12);
    r.InsertRecord(nullptr, kList, CRecordRef::kAppend, item);
    r.InsertRecord(nullptr, kAny, CRecordRef::kAppend, nullptr);
    r.SetInt(nullptr, kLate, 1);
}

TEST(XmlDocumentPeer, XmllintAcceptsAndReserialisesTheDocument) {
    testsupport::TempDir dir;
    CRecord* root = CRecord::New(&gRootType);
    Fill(root);
    std::string path = dir.File("doc.xml");
    ASSERT_TRUE(WriteXmlDocumentFile(path.c_str(), root));
    ASSERT_EQ(std::system(("xmllint --noout " + path).c_str()), 0);

    for (const char* option : {"--format", "--c14n"}) {
        std::string out = dir.File(std::string("out") + option + ".xml");
        ASSERT_EQ(std::system(("xmllint " + std::string(option) + " " + path + " > " + out).c_str()), 0);
        std::string reserialised = dir.Read(std::string("out") + option + ".xml");
        CRecord* back = CRecord::New(&gRootType);
        EXPECT_EQ(Read(reserialised, &back), 1) << option;
        EXPECT_EQ(Written(back), Written(root)) << option << "\n" << reserialised;
        CRecord::Delete(back);
    }
    CRecord::Delete(root);
}

TEST(XmlDocumentPeer, AllDefaultDocumentIsWellFormed) {
    testsupport::TempDir dir;
    CRecord* root = CRecord::New(&gRootType);
    std::string path = dir.File("empty.xml");
    ASSERT_TRUE(WriteXmlDocumentFile(path.c_str(), root));
    EXPECT_EQ(std::system(("xmllint --noout " + path).c_str()), 0);
    CRecord::Delete(root);
}

TEST(XmlDocumentPeer, TextXmlCannotCarryIsReplacedAndOldFilesStillLoad) {
    testsupport::TempDir dir;
    const std::string controls = "bell\x07 esc\x1B stray\xFF cut\xE2\x82";
    CRecord* root = CRecord::New(&gRootType);
    CRecordRef r(&root);
    r.SetString(nullptr, kKey, LString(controls.c_str()));
    r.SetString(nullptr, kTitle, LString((controls + "\nand a second line long enough for CDATA").c_str()));
    const LString strs[] = {LString("a\x01"
                                    "b"),
                            LString("c d\x02")};
    CRecordRef(&root->Slot(kSub).record).SetArray(nullptr, kStrs, strs, 2);
    std::string path = dir.File("controls.xml");
    ASSERT_TRUE(WriteXmlDocumentFile(path.c_str(), root));
    ASSERT_EQ(std::system(("xmllint --noout " + path).c_str()), 0) << dir.Read("controls.xml");

    // Read back, each unwritable character is U+FFFD; saving that again changes nothing.
    const std::string r3 = "\xEF\xBF\xBD";
    const std::string replaced = "bell" + r3 + " esc" + r3 + " stray" + r3 + " cut" + r3 + r3;
    CRecord* back = CRecord::New(&gRootType);
    ASSERT_EQ(Read(dir.Read("controls.xml"), &back), 1);
    EXPECT_STREQ(back->GetString(kKey).CStr(), replaced.c_str());
    EXPECT_STREQ(back->GetString(kTitle).CStr(),
                 (replaced + "\nand a second line long enough for CDATA").c_str());
    EXPECT_EQ(Written(back), dir.Read("controls.xml"));

    // Files written before kept control characters as references; they load as they were.
    CRecord* old = CRecord::New(&gRootType);
    ASSERT_EQ(Read("<XDOC_ROOT i=\"bell&#7; esc&#27;\"/>", &old), 1);
    EXPECT_STREQ(old->GetString(kKey).CStr(), "bell\x07 esc\x1B");
    CRecord::Delete(old);
    CRecord::Delete(back);
    CRecord::Delete(root);
}

}  // namespace
