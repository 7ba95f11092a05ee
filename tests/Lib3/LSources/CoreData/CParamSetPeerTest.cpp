// Parameter sets and tables saved in a document read back the same, and xmllint finds nothing to
// say about the file.
#include <gtest/gtest.h>

#include <string>

#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"
#include "tests/Lib3/LSources/CoreData/ParamTestTypes.h"
#include "tests/Lib3/LSources/CoreData/RecordTestTypes.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"

namespace {

using namespace ptest;

TEST(ParamSetPeer, SetsAndTablesRoundTripThroughDocumentXml) {
    CRecord* root = CRecord::New(&gHolderType);
    ASSERT_TRUE(root);
    CRecordRef set(&root->Slot(kSets).record);
    CParamSet::SetString(set, nullptr, LString("title"), LString("A <b> & \"c\""));
    CParamSet::SetInt(set, nullptr, LString("count"), 3);
    CRecord* sub = CParamSet::GetOrCreateSubSet(set, nullptr, LString("window"));
    CParamSet::SetRect(sub, LString("frame"), CLRect{10, 20, 300, 400});
    CParamSet::SetString(CRecordRef(&sub), nullptr, LString("note"),
                         LString("several lines\nof text, long enough to be written as CDATA"));
    CRecordRef table(&root->Slot(kTable).record);
    table.SetUInt(nullptr, CParamTable::kCols, 2);
    CParamTable::AppendRow(table, nullptr);
    CParamTable::AppendRow(table, nullptr);
    CParamTable::SetCell(table, nullptr, 1, 1, LString("id"), LString("cell"));
    // The operation counters are internal (tag 0) and not saved.
    for (uint32_t n : {CParamTable::kBegin, CParamTable::kEnd, CParamTable::kOpIndex}) table->Slot(n).u32 = 0;

    testsupport::TempDir dir;
    const std::string path = dir.File("params.obm");
    ASSERT_TRUE(WriteXmlDocumentFile(path.c_str(), root));
    EXPECT_EQ(testsupport::CommandOutput("xmllint --noout " + path + " 2>&1; echo $?"), "0\n");

    std::string text = dir.Read("params.obm");
    CMemStream in(text.data(), uint32_t(text.size()));
    CRecord* back = CRecord::New(&gHolderType);
    EXPECT_EQ(ReadXmlDocument(in, CRecordRef(&back)), 1);
    EXPECT_EQ(rtest::Dump(back), rtest::Dump(root));
    CRecord::Delete(back);
    CRecord::Delete(root);
}

}  // namespace
