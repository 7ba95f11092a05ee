#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "Lib3/LSources/CoreData/CRecordType.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Platform/Composer/Composition.h"
#include "tests/Orbilume/CSources/Document/ShowTestSupport.h"

using namespace showtest;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(DocModelSchema, TypesAndFieldTables) {
    struct Case {
        uint32_t domain;
        uint32_t type;
        uint32_t fields;
    } cases[] = {
        {T::kDomain, T::kCTRL, 4},          {T::kDomain, T::kINPT, 6},
        {T::kDomain, T::kUNIT, 7},          {T::kDomain, T::kLAYR, 2},
        {T::kDomain, T::kMIXS, 2},          {T::kDomain, T::kPRMT, 3},
        {T::kDomain, T::kSCNE, 5},          {T::kDomain, T::kSQNC, 3},
        {T::kDomain, T::kSCEX, 1},          {T::kDomain, T::kSCNS, 18},
        {T::kDomain, T::kOBMX, 6},          {T::kScheduleDomain, T::kSCEP, 3},
        {T::kScheduleDomain, T::kSCEV, 10}, {T::kScheduleDomain, T::kSCHD, 1},
    };
    for (const Case& c : cases) {
        const CRecordType* t = CRecordType::Find(c.domain, c.type);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t, T::Type(c.type));
        EXPECT_EQ(t->FieldCount(), c.fields);
    }
    // The show's PRMT is not the framework's parameter table of the same code.
    EXPECT_NE(T::Type(T::kPRMT), &CParamSet::TableType());

    CDocModelHolder h;
    const CRecord* scns = h.Scenes().Get();
    for (uint32_t n : {8u, 9u, 10u, 16u}) EXPECT_EQ(scns->GetInt(n), -1) << n;
    EXPECT_EQ(scns->GetFloat(14), -1.0f);
    EXPECT_EQ(scns->GetFloat(15), -1.0f);
    EXPECT_EQ(scns->GetByte(T::kScnsTimeLine), 1);
    for (uint32_t n = 8; n < 18; ++n) EXPECT_EQ(scns->Field(n).tag, 0u) << n;
    EXPECT_EQ(h.BlendControl()->GetByte(T::kCtrlMidiCc), 7);
    CRecord* scene = UDocScenes::NewScene();
    EXPECT_EQ(scene->GetFloat(T::kScneFade), 1.0f);
    EXPECT_EQ(scene->Field(T::kScneFade).decimals, 1);
    EXPECT_EQ(scene->Field(T::kScneTime).decimals, 3);
    CRecord::Delete(scene);
    // Every sub-record of the root exists from the start.
    for (uint32_t n = 0; n < 6; ++n) EXPECT_NE(h.Root()->GetSubRecord(n), nullptr) << n;
}

TEST(DocModelSchema, NewLayerHasItsTwoInputsOnceEvenAfterReset) {
    CRecord* layer = CRecord::New(T::Type(T::kLAYR));
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(InputKeys(layer->GetSubRecord(T::kLayrUnit)), "_oblayer_MixFunc=;_oblayer_Blend=1;");
    EXPECT_EQ(UDocModel::GetLayerMixFunc(layer), 0);
    EXPECT_EQ(UDocModel::GetLayerBlend(layer), 1.0);
    CRecordRef(&layer).Reset();
    EXPECT_EQ(InputKeys(layer->GetSubRecord(T::kLayrUnit)), "_oblayer_MixFunc=;_oblayer_Blend=1;");
    CRecord::Delete(layer);
}

class ShowFile : public ::testing::Test {
protected:
    void SetUp() override { T::SetSequenceIdCounter(0); }
    UndoDocument doc;
    LHandler editor{&doc};
};

// The checked-in show reads and writes back to the same bytes: it holds no run-time field and no
// attribute at its default, as the writer makes them.
TEST_F(ShowFile, FixtureRoundTripsByteForByte) {
    const std::string xml = ReadFile(FixtureDir() + "/show.obm");
    ASSERT_FALSE(xml.empty());
    CDocModelHolder h;
    ASSERT_TRUE(ReadXml(h, xml));
    EXPECT_EQ(WriteXml(h), xml);
    EXPECT_NE(xml.find("\n<YOBM_OBMX"), std::string::npos);
    EXPECT_EQ(h.Mix()->ArrayCount(T::kMixsLayers), 2u);
    // A layer read from the file holds exactly the inputs it lists.
    EXPECT_EQ(InputKeys(LayerUnit(h, 0)), "_oblayer_MixFunc=add;_oblayer_Blend=0.75;");
}

TEST_F(ShowFile, FixtureNamesCompositionsThatLoadAndHaveThosePorts) {
    const std::string xml = ReadFile(FixtureDir() + "/show.obm");
    CDocModelHolder h;
    h.SetDocumentPath(CMacFileU::LFsSpecFromPath(LString((FixtureDir() + "/show.obm").c_str())));
    ASSERT_TRUE(ReadXml(h, xml));
    int units = 0;
    for (uint32_t l = 0; l < h.Mix()->ArrayCount(T::kMixsLayers); ++l) {
        UDocModel::ForEachUnit(LayerUnit(h, l), [&](CRecord* unit) {
            ++units;
            const LFsSpec spec = h.ResolveStoredPath(unit->GetString(T::kUnitSpec));
            const LString path = CMacFileU::PathFromLFsSpec(spec);
            std::string error;
            plat::Ref<plat::Composition> c =
                plat::Composition::CreateFromFile(path.CStr(), plat::NodeClassRegistry::Shared(), &error);
            EXPECT_TRUE(c) << unit->GetString(T::kUnitSpec).CStr() << ": " << error;
            if (!c) return true;
            for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitInputs); ++i) {
                const std::string key = unit->GetElement(T::kUnitInputs, i)->GetString(T::kInptKey).CStr();
                if (key.rfind("_oblayer_", 0) == 0 || key.rfind("_obunit_", 0) == 0) continue;
                EXPECT_TRUE(c->PortAttributes(key)) << key << " in " << path.CStr();
            }
            return true;
        });
    }
    EXPECT_EQ(units, 5);
}

// A show made through the model operations survives writing and reading record for record.
TEST_F(ShowFile, BuiltShowReadsBackEqual) {
    CDocModelHolder built;
    BuildShow(built, &editor, FixtureDir());
    const std::string xml = WriteXml(built);
    CDocModelHolder back;
    ASSERT_TRUE(ReadXml(back, xml));
    EXPECT_EQ(Flat(back.Root()), Flat(built.Root()));
    EXPECT_EQ(WriteXml(back), xml);
    // It is the show of the fixture.
    EXPECT_EQ(xml, ReadFile(FixtureDir() + "/show.obm"));
}

TEST_F(ShowFile, LoadingStartsRunTimeFieldsAtTheirDefaults) {
    CDocModelHolder h;
    BuildShow(h, &editor, FixtureDir());
    const std::string xml = WriteXml(h);
    CRecordRef scns = h.Scenes();
    UDocScenes::SetSequenceEditing(scns, true);
    UDocScenes::SelectScene(scns, 1, 0.5f, 2.0f);
    ASSERT_TRUE(ReadXml(h, xml));
    EXPECT_EQ(scns->GetInt(T::kScnsEdited), -1);
    EXPECT_EQ(scns->GetInt(T::kScnsRecall), -1);
    EXPECT_EQ(scns->GetFloat(T::kScnsPosition), -1.0f);
    EXPECT_EQ(WriteXml(h), xml);
}

// Document files are outside input.
TEST_F(ShowFile, BadInputLoadsWithoutHarm) {
    const std::string xml =
        "<?xml version=\"1.0\"?><YOBM_OBMX bogus=\"1\"><unknown><YOBM_LAYR/></unknown>"
        "<YOBM_OBMX_mixs><YOBM_MIXS luid=\"banana\"><YOBM_MIXS_lyrs>"
        "<YOBM_LAYR name=\"a\"><YOBM_LAYR_unit><YOBM_UNIT unid=\"7\" "
        "spec=\"x.qtz\"/></YOBM_LAYR_unit></YOBM_LAYR>"
        "<YOBM_LAYR name=\"b\"><YOBM_LAYR_unit><YOBM_UNIT unid=\"7\" "
        "spec=\"y.qtz\"/></YOBM_LAYR_unit></YOBM_LAYR>"
        "<YOBM_LAYR name=\"c\"><YOBM_LAYR_unit><YOBM_UNIT unid=\"99999\"/></YOBM_LAYR_unit></YOBM_LAYR>"
        "</YOBM_MIXS_lyrs></YOBM_MIXS></YOBM_OBMX_mixs>"
        "<YOBM_OBMX_lyrs><YOBM_SCNS tmmd=\"x\"><YOBM_SCNS_sqns>"
        "<YOBM_SQNC name=\"zero\" sqid=\"0\"/><YOBM_SQNC name=\"five\" sqid=\"5\"/>"
        "<YOBM_SQNC name=\"again\" sqid=\"5\"/>"
        "</YOBM_SCNS_sqns></YOBM_SCNS></YOBM_OBMX_lyrs></YOBM_OBMX>";
    T::SetSequenceIdCounter(4);
    CDocModelHolder h;
    ASSERT_TRUE(ReadXml(h, xml));
    EXPECT_EQ(h.Mix()->ArrayCount(T::kMixsLayers), 3u);
    EXPECT_EQ(h.Mix()->GetUInt(T::kMixsLastUnitId), 0u);  // "banana" reads as nothing
    // A layer from a file gets no inputs it did not list.
    EXPECT_EQ(InputKeys(LayerUnit(h, 0)), "");
    // Look-ups find the first of two units with one id.
    EXPECT_EQ(UDocModel::FindUnitById(h.Mix().Get(), 7), LayerUnit(h, 0));
    // Fresh ids still avoid every id in use.
    const uint32_t id = UDocUnits::NewUnitId(h.Mix());
    EXPECT_EQ(id, 1u);
    h.Mix().SetUInt(nullptr, T::kMixsLastUnitId, 6);
    EXPECT_EQ(UDocUnits::NewUnitId(h.Mix()), 8u);
    // Sequence ids: 0 and a repeated id get fresh ones, never shared.
    const CRecord* scns = h.Scenes().Get();
    ASSERT_EQ(scns->ArrayCount(T::kScnsSequences), 3u);
    const uint32_t a = scns->GetElement(T::kScnsSequences, 0)->GetUInt(T::kSqncId);
    const uint32_t b = scns->GetElement(T::kScnsSequences, 1)->GetUInt(T::kSqncId);
    const uint32_t c = scns->GetElement(T::kScnsSequences, 2)->GetUInt(T::kSqncId);
    EXPECT_EQ(a, 5u);  // the counter's next value
    EXPECT_NE(b, 0u);
    EXPECT_NE(b, a);
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
    EXPECT_EQ(scns->GetByte(T::kScnsTimeLine), 0);  // "x" reads as 0
}

TEST_F(ShowFile, NestingBeyondTheReaderBoundIsRefused) {
    std::string deep =
        "<?xml version=\"1.0\"?><YOBM_OBMX><YOBM_OBMX_mixs><YOBM_MIXS><YOBM_MIXS_lyrs>"
        "<YOBM_LAYR><YOBM_LAYR_unit><YOBM_UNIT>";
    std::string close;
    for (int i = 0; i < 400; ++i) {
        deep += "<YOBM_UNIT_flts><YOBM_UNIT>";
        close = "</YOBM_UNIT></YOBM_UNIT_flts>" + close;
    }
    deep +=
        close +
        "</YOBM_UNIT></YOBM_LAYR_unit></YOBM_LAYR></YOBM_MIXS_lyrs></YOBM_MIXS></YOBM_OBMX_mixs></YOBM_OBMX>";
    CDocModelHolder h;
    EXPECT_FALSE(ReadXml(h, deep));
    EXPECT_EQ(h.Mix()->ArrayCount(T::kMixsLayers), 0u);
}

TEST(DocModelHolder, StoredPathsFollowTheDocument) {
    CDocModelHolder h;
    h.SetDocumentPath(CMacFileU::LFsSpecFromPath("/srv/show/a.obm"));
    const LFsSpec media = CMacFileU::LFsSpecFromPath("/srv/show/media/m.mov");
    EXPECT_STREQ(h.MakeStoredPath(media).CStr(), "media/m.mov");
    EXPECT_EQ(h.ResolveStoredPath(LString("media/m.mov")), media);
}

}  // namespace
