#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "Common/Container/CBytes.h"
#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/CRecordType.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"

namespace {

using T = CDimTypes;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Written(const CRecord* root) {
    CBytes bytes;
    {
        CMemStream stream(bytes);
        WriteXmlDocument(stream, root);
    }
    return std::string(reinterpret_cast<const char*>(bytes.Data()), bytes.Count());
}

struct Root {
    explicit Root(const CRecordType* type) : record(CRecord::New(type)) {}
    ~Root() { CRecord::Delete(record); }
    CRecordRef Ref() { return CRecordRef(&record); }
    CRecord* record;
};

const std::string kLayout = std::string(LED_FIXTURES) + "/layout.obdim";

// The record store leaves out a sub-record that holds only defaults; it is created with its
// parent again when read.
TEST(DimTypes, DefaultDocumentWritesOnlyItsElement) {
    Root dims(T::Dims());
    ASSERT_NE(dims.record, nullptr);
    ASSERT_NE(dims.record->GetSubRecord(T::kDimsUniverses), nullptr);
    const std::string text = Written(dims.record);
    EXPECT_EQ(text, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<YOBM_DIMS/>\n");
    Root back(T::Dims());
    std::string copy = text;
    CMemStream in(copy.data(), static_cast<uint32_t>(copy.size()));
    ASSERT_EQ(ReadXmlDocument(in, back.Ref()), 1);
    EXPECT_NE(back.record->GetSubRecord(T::kDimsUniverses), nullptr);
    EXPECT_NE(back.record->GetSubRecord(T::kDimsUniverses)->Type(), nullptr);
}

TEST(DimTypes, LayoutFixtureReadsAndWritesBackByteIdentical) {
    const std::string text = ReadText(kLayout);
    ASSERT_FALSE(text.empty());
    Root dims(T::Dims());
    std::string copy = text;
    CMemStream in(copy.data(), static_cast<uint32_t>(copy.size()));
    ASSERT_EQ(ReadXmlDocument(in, dims.Ref()), 1);
    CRecord* r = dims.record;
    EXPECT_EQ(r->GetUInt(T::kDimsDivision), 48u);
    ASSERT_EQ(r->ArrayCount(T::kDimsDevices), 5u);
    ASSERT_EQ(r->ArrayCount(T::kDimsDefinitions), 5u);
    EXPECT_EQ(r->GetElement(T::kDimsDevices, 3)->GetUInt(T::kDidvFirstSlot), 28u);
    EXPECT_EQ(r->GetElement(T::kDimsDevices, 1)->GetFloat(T::kDidvRotation), 90.0f);

    // Run-time fields changed in memory are never written.
    CRecord* device = r->GetElement(T::kDimsDevices, 0);
    device->Slot(T::kDidvPortFault).u8 = 1;
    device->Slot(T::kDidvSelected).u8 = 1;
    device->Slot(T::kDidvSnapshot).f32 = 3;
    r->GetElement(T::kDimsDefinitions, 0)->Slot(T::kDidfUser).u8 = 1;
    r->Slot(T::kDimsCanvasWidth).u32 = 640;
    r->Slot(T::kDimsViewMode).u8 = 1;
    EXPECT_EQ(Written(r), text);
}

TEST(DimTypes, DefaultsAndDecimals) {
    Root def(T::Didf());
    EXPECT_EQ(def.record->GetUInt(T::kDidfColumns), 1u);
    EXPECT_EQ(def.record->GetUInt(T::kDidfRows), 1u);
    EXPECT_EQ(def.record->GetByte(T::kDidfComposition), 1);
    Root device(T::Didv());
    EXPECT_EQ(device.record->GetUInt(T::kDidvFirstSlot), 1u);
    EXPECT_NE(device.record->GetSubRecord(T::kDidvParams), nullptr);
    ASSERT_TRUE(device.Ref().SetFloat(nullptr, T::kDidvPosX, 0.12345f));
    ASSERT_TRUE(device.Ref().SetFloat(nullptr, T::kDidvRotation, 12.345f));
    const std::string written = Written(device.record);
    EXPECT_NE(written.find("posx=\"0.123\""), std::string::npos) << written;
    EXPECT_NE(written.find("rota=\"12.3\""), std::string::npos) << written;
    Root dims(T::Dims());
    EXPECT_EQ(dims.record->GetUInt(T::kDimsDivision), 32u);
    EXPECT_EQ(dims.record->GetUInt(T::kDimsCanvasWidth), 1u);
    Root layout(T::Dtly());
    EXPECT_EQ(layout.record->GetUInt(T::kDtlyUniverses), 1u);
    EXPECT_NE(layout.record->GetSubRecord(T::kDtlyTiming), nullptr);
    EXPECT_NE(layout.record->GetSubRecord(T::kDtlyTable), nullptr);
}

// Sets unsh, unsv, lysh, lysv and dtch one by one through the holder, as an editor would, and
// reads the universes the hook kept.
TEST(DimTypes, LayoutHookKeepsUniversesNeeded) {
    struct Row {
        uint32_t unsh, unsv, lysh, lysv, dtch, universes;
    };
    const Row rows[] = {
        {4, 4, 10, 10, 1, 13},  // 16 dots x 4 = 64 slots: 8 units per universe, 100 units
        {4, 4, 10, 10, 0, 10},  // x 3 = 48 slots: 10 per universe
        {0, 0, 10, 52, 0, 4},   // no dots counts one: 170 per universe, 520 units
        {0, 0, 10, 17, 1, 2},   // one dot of 4 slots: 128 per universe, 170 units
        {20, 10, 3, 2, 0, 6},   // 600 slots: one universe per unit
        {1, 1, 0, 5, 0, 0},     // no units
        {16, 10, 1, 1, 1, 1},   // 640 slots, one unit
    };
    for (const Row& row : rows) {
        auto holder = std::make_unique<CRecordHolder>(CRecord::New(T::Dtly()));
        CRecordRef layout = holder->RootRef();
        const uint32_t values[] = {row.unsh, row.unsv, row.lysh, row.lysv};
        for (uint32_t f = 0; f < 4; ++f) ASSERT_TRUE(layout.SetUInt(nullptr, f, values[f]));
        // A change of dtch alone recomputes too (its slots per dot count).
        ASSERT_TRUE(layout.SetUInt(nullptr, T::kDtlySlotsSelector, row.dtch));
        EXPECT_EQ(layout->GetUInt(T::kDtlyUniverses), row.universes)
            << row.unsh << "x" << row.unsv << " " << row.lysh << "x" << row.lysv << " dtch " << row.dtch;
        EXPECT_EQ(layout->GetUInt(T::kDtlyUniverses), T::LayoutUniverses(layout.Get()));
    }
}

TEST(DimTypes, SlotsSelectorChangeRecomputesUniverses) {
    auto holder = std::make_unique<CRecordHolder>(CRecord::New(T::Dtly()));
    CRecordRef layout = holder->RootRef();
    ASSERT_TRUE(layout.SetUInt(nullptr, T::kDtlyUnitColumns, 4));
    ASSERT_TRUE(layout.SetUInt(nullptr, T::kDtlyUnitRows, 4));
    ASSERT_TRUE(layout.SetUInt(nullptr, T::kDtlyColumns, 10));
    ASSERT_TRUE(layout.SetUInt(nullptr, T::kDtlyRows, 10));
    EXPECT_EQ(layout->GetUInt(T::kDtlyUniverses), 10u);
    ASSERT_TRUE(layout.SetUInt(nullptr, T::kDtlySlotsSelector, 1));
    EXPECT_EQ(layout->GetUInt(T::kDtlyUniverses), 13u);
    ASSERT_TRUE(layout.SetUInt(nullptr, T::kDtlySlotsSelector, 2));
    EXPECT_EQ(layout->GetUInt(T::kDtlyUniverses), 10u);
}

TEST(DimTypesPeer, WrittenDocumentAndFixturePassXmllint) {
    EXPECT_EQ(testsupport::CommandOutput("xmllint --noout " + kLayout + " 2>&1; echo $?"), "0\n");
    Root dims(T::Dims());
    std::string text = ReadText(kLayout);
    CMemStream in(text.data(), static_cast<uint32_t>(text.size()));
    ASSERT_EQ(ReadXmlDocument(in, dims.Ref()), 1);
    testsupport::TempDir dir;
    const std::string path = dir.File("out.obdim");
    ASSERT_TRUE(WriteXmlDocumentFile(path.c_str(), dims.record));
    EXPECT_EQ(testsupport::CommandOutput("xmllint --noout " + path + " 2>&1; echo $?"), "0\n");
}

}  // namespace
