// BIN images: what the writer makes parses back to the records it was asked for, with true
// checksums and lengths unless a fault was asked for; what is not an image is refused.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/devsim/BinImage.h"
#include "tools/devsim/BinImageWriter.h"

namespace {

using drel::devsim::AddToChecksum;
using drel::devsim::BinImage;
using drel::devsim::EncodeRecordHeader;
using drel::devsim::ImageShape;
using drel::devsim::MakeBinImage;
using drel::devsim::ParseBinImage;

struct Shape {
    const char* name;
    std::vector<std::uint32_t> sizes;
    std::uint32_t address;
};

void PrintTo(const Shape& shape, std::ostream* os) {
    *os << shape.name;
}

class BinImageRoundTripTest : public testing::TestWithParam<Shape> {};

TEST_P(BinImageRoundTripTest, ParsesBackToTheRecordsAskedFor) {
    const ImageShape shape{GetParam().sizes, GetParam().address, 7};
    std::string error;
    const std::string bytes = MakeBinImage(shape, error);
    ASSERT_EQ(error, "");
    BinImage image;
    ASSERT_TRUE(ParseBinImage(bytes, image, error)) << error;

    std::uint32_t address = shape.address;
    std::uint32_t total = 0;
    ASSERT_EQ(image.records.size(), shape.recordSizes.size());
    for (std::size_t i = 0; i < image.records.size(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i + 1));
        const auto& record = image.records[i];
        EXPECT_EQ(record.header.address, address);
        EXPECT_EQ(record.header.length, shape.recordSizes[i]);
        EXPECT_EQ(record.data.size(), shape.recordSizes[i]);
        EXPECT_EQ(record.header.checksum, AddToChecksum(0, record.data));
        address += shape.recordSizes[i];
        total += shape.recordSizes[i];
    }
    EXPECT_EQ(image.header.start, shape.address);
    EXPECT_EQ(image.header.length, total);
    EXPECT_TRUE(image.hasEndRecord);
    EXPECT_EQ(EncodeRecordHeader(image.endRecord), std::string(12, '\0'));
}

const Shape kShapes[] = {
    {"NoRecords", {}, 0x100000},
    {"OneEmptyRecord", {0}, 0x100000},
    {"SizesAroundTheTransmittersPieces", {0, 4096, 4097, 10000}, 0x100000},
    {"ManyOneByteRecords", std::vector<std::uint32_t>(50, 1), 1},
    {"EndingRightAt4GiB", {0x80, 0x80}, 0xffffff00},
};

INSTANTIATE_TEST_SUITE_P(Shapes, BinImageRoundTripTest, testing::ValuesIn(kShapes),
                         [](const testing::TestParamInfo<Shape>& info) { return info.param.name; });

TEST(BinImageTest, SameSpecSameImageAndEachSeedOtherData) {
    std::string error;
    ImageShape shape{{64, 64}};
    const std::string first = MakeBinImage(shape, error);
    EXPECT_EQ(MakeBinImage(shape, error), first);
    shape.seed = 2;
    const std::string second = MakeBinImage(shape, error);
    EXPECT_EQ(second.size(), first.size());
    EXPECT_NE(second, first);
}

TEST(BinImageTest, ChecksumIsTheUnsigned32BitSumOfTheBytes) {
    EXPECT_EQ(AddToChecksum(0, "\x01\xff"), 0x100u);
    EXPECT_EQ(AddToChecksum(0xffffffffu, "\x02"), 1u);
    EXPECT_EQ(AddToChecksum(5, ""), 5u);
}

TEST(BinImageTest, WritesTheFaultsAskedFor) {
    ImageShape shape{{10, 20, 30}};
    shape.badChecksumRecord = 2;
    shape.imageLength = 61;
    shape.endRecord = false;
    std::string error;
    BinImage image;
    ASSERT_TRUE(ParseBinImage(MakeBinImage(shape, error), image, error)) << error;
    ASSERT_EQ(image.records.size(), 3u);
    EXPECT_EQ(image.records[0].header.checksum, AddToChecksum(0, image.records[0].data));
    EXPECT_EQ(image.records[1].header.checksum, AddToChecksum(0, image.records[1].data) + 1);
    EXPECT_EQ(image.records[2].header.checksum, AddToChecksum(0, image.records[2].data));
    EXPECT_EQ(image.header.length, 61u);
    EXPECT_FALSE(image.hasEndRecord);
}

struct Refusal {
    const char* name;
    ImageShape shape;
    std::string reason;
};

void PrintTo(const Refusal& refusal, std::ostream* os) {
    *os << refusal.name;
}

class BinImageWriterRefusalTest : public testing::TestWithParam<Refusal> {};

TEST_P(BinImageWriterRefusalTest, WritesNothing) {
    std::string error;
    EXPECT_EQ(MakeBinImage(GetParam().shape, error), "");
    EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
}

ImageShape WithBadChecksum(std::uint32_t record) {
    ImageShape shape{{1, 2}};
    shape.badChecksumRecord = record;
    return shape;
}

const Refusal kRefusals[] = {
    {"StartAtAddress0", {{1}, 0}, "cannot start at address 0"},
    {"RecordsPast4GiB", {{0x80, 0x81}, 0xffffff00}, "do not fit"},
    // Its address would wrap to 0 and make it an end record.
    {"EmptyRecordAt4GiB", {{0x100, 0}, 0xffffff00}, "do not fit"},
    {"BadChecksumOfRecord0", WithBadChecksum(0), "no record 0"},
    {"BadChecksumOfAMissingRecord", WithBadChecksum(3), "no record 3"},
};

INSTANTIATE_TEST_SUITE_P(Cases, BinImageWriterRefusalTest, testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<Refusal>& info) {
                             return info.param.name;
                         });

struct Damage {
    const char* name;
    std::size_t keep;    // bytes of the good image kept
    std::string append;  // then appended
    std::string reason;
};

void PrintTo(const Damage& damage, std::ostream* os) {
    *os << damage.name;
}

class BinImageParseRefusalTest : public testing::TestWithParam<Damage> {};

// The good image: signature (7), header (8), record 1 header (12) and 5 data bytes, end (12).
TEST_P(BinImageParseRefusalTest, SaysWhereTheImageIsBroken) {
    std::string error;
    const std::string good = MakeBinImage(ImageShape{{5}}, error);
    ASSERT_EQ(good.size(), 44u);
    BinImage image;
    EXPECT_FALSE(ParseBinImage(good.substr(0, GetParam().keep) + GetParam().append, image, error));
    EXPECT_EQ(error, GetParam().reason);
}

const Damage kDamages[] = {
    {"Empty", 0, "", "no BIN signature"},
    {"OtherSignature", 0, "B000FE\n", "no BIN signature"},
    {"CutInTheImageHeader", 14, "", "the image ends inside its header"},
    {"CutInARecordHeader", 26, "", "the image ends inside the header of record 1"},
    {"CutInRecordData", 31, "", "the image ends inside the data of record 1"},
    {"BytesAfterTheEndRecord", 44, "x", "bytes follow the end record"},
};

INSTANTIATE_TEST_SUITE_P(Cases, BinImageParseRefusalTest, testing::ValuesIn(kDamages),
                         [](const testing::TestParamInfo<Damage>& info) {
                             return info.param.name;
                         });

TEST(BinImageTest, AnImageThatStopsAfterACompleteRecordParsesWithoutEndRecord) {
    std::string error;
    const std::string good = MakeBinImage(ImageShape{{5}}, error);
    BinImage image;
    ASSERT_TRUE(ParseBinImage(good.substr(0, 32), image, error)) << error;
    EXPECT_EQ(image.records.size(), 1u);
    EXPECT_FALSE(image.hasEndRecord);
}

}  // namespace
