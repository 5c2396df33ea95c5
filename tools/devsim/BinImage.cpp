#include "BinImage.h"

#include <utility>

namespace drel::devsim {

namespace {

void PutWord(std::string& out, std::uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) {
        out += static_cast<char>((word >> shift) & 0xffu);
    }
}

std::uint32_t GetWord(std::string_view bytes, std::size_t offset) {
    std::uint32_t word = 0;
    for (int i = 3; i >= 0; --i) {
        word =
            (word << 8) | static_cast<unsigned char>(bytes[offset + static_cast<std::size_t>(i)]);
    }
    return word;
}

// Takes `count` bytes from the front of `bytes`; false when fewer are left.
bool Take(std::string_view& bytes, std::size_t count, std::string_view& taken) {
    if (bytes.size() < count) {
        return false;
    }
    taken = bytes.substr(0, count);
    bytes.remove_prefix(count);
    return true;
}

bool Fail(std::string& error, std::string reason) {
    error = std::move(reason);
    return false;
}

}  // namespace

std::uint32_t AddToChecksum(std::uint32_t checksum, std::string_view data) {
    for (char byte : data) {
        checksum += static_cast<unsigned char>(byte);
    }
    return checksum;
}

std::string EncodeImageHeader(const ImageHeader& header) {
    std::string bytes;
    PutWord(bytes, header.start);
    PutWord(bytes, header.length);
    return bytes;
}

ImageHeader DecodeImageHeader(std::string_view bytes) {
    return {GetWord(bytes, 0), GetWord(bytes, 4)};
}

std::string EncodeRecordHeader(const RecordHeader& header) {
    std::string bytes;
    PutWord(bytes, header.address);
    PutWord(bytes, header.length);
    PutWord(bytes, header.checksum);
    return bytes;
}

RecordHeader DecodeRecordHeader(std::string_view bytes) {
    return {GetWord(bytes, 0), GetWord(bytes, 4), GetWord(bytes, 8)};
}

bool ParseBinImage(std::string_view bytes, BinImage& image, std::string& error) {
    image = BinImage{};
    std::string_view piece;
    if (!Take(bytes, kBinSignature.size(), piece) || piece != kBinSignature) {
        return Fail(error, "no BIN signature");
    }
    if (!Take(bytes, kImageHeaderSize, piece)) {
        return Fail(error, "the image ends inside its header");
    }
    image.header = DecodeImageHeader(piece);
    while (!bytes.empty()) {
        const std::string number = std::to_string(image.records.size() + 1);
        if (!Take(bytes, kRecordHeaderSize, piece)) {
            return Fail(error, "the image ends inside the header of record " + number);
        }
        const RecordHeader header = DecodeRecordHeader(piece);
        if (header.isEnd()) {
            image.hasEndRecord = true;
            image.endRecord = header;
            return bytes.empty() || Fail(error, "bytes follow the end record");
        }
        if (!Take(bytes, header.length, piece)) {
            return Fail(error, "the image ends inside the data of record " + number);
        }
        image.records.push_back({header, std::string(piece)});
    }
    return true;
}

}  // namespace drel::devsim
