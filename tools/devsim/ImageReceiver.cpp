#include "ImageReceiver.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace drel::devsim {

namespace {

std::string Word(std::uint32_t word) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(word));
    return text;
}

std::string HexBytes(std::string_view bytes) {
    std::string text;
    for (char byte : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(byte));
        text += text.empty() ? "" : " ";
        text += hex;
    }
    return text;
}

}  // namespace

std::size_t ImageReceiver::Take(std::string_view bytes, std::string& reply) {
    std::size_t taken = 0;
    while (taken < bytes.size() && !finished()) {
        const std::string_view rest = bytes.substr(taken);
        switch (stage_) {
            case Stage::Signature:
                taken += Collect(rest, kBinSignature.size());
                if (collected_.size() == kBinSignature.size()) {
                    SignatureComplete(reply);
                }
                break;
            case Stage::ImageHeader:
                taken += Collect(rest, kImageHeaderSize);
                if (collected_.size() == kImageHeaderSize) {
                    image_ = DecodeImageHeader(collected_);
                    collected_.clear();
                    RequestRecord(reply);
                }
                break;
            case Stage::RecordHeader:
                taken += Collect(rest, kRecordHeaderSize);
                if (collected_.size() == kRecordHeaderSize) {
                    RecordHeaderComplete(reply);
                }
                break;
            case Stage::RecordData:
                taken += TakeData(rest);
                if (recordLeft_ == 0) {
                    RecordComplete(reply);
                }
                break;
            case Stage::Done:
                break;
        }
    }
    return taken;
}

void ImageReceiver::Abandon(const std::string& reason) {
    if (!finished()) {
        Finish(reason);
    }
}

std::string ImageReceiver::Awaiting() const {
    const std::string record = "record " + std::to_string(records_ + 1);
    switch (stage_) {
        case Stage::Signature:
            return "the signature";
        case Stage::ImageHeader:
            return "the image header";
        case Stage::RecordHeader:
            return "the header of " + record;
        case Stage::RecordData:
            return "the data of " + record + " (" + std::to_string(record_.length - recordLeft_) +
                   " of " + std::to_string(record_.length) + " bytes)";
        case Stage::Done:
            break;
    }
    return "nothing";
}

std::size_t ImageReceiver::Collect(std::string_view bytes, std::size_t size) {
    const std::size_t count = std::min(size - collected_.size(), bytes.size());
    collected_.append(bytes.substr(0, count));
    return count;
}

// The data is summed as it passes and not kept: a record may be of any length.
std::size_t ImageReceiver::TakeData(std::string_view bytes) {
    const std::size_t count = std::min<std::size_t>(recordLeft_, bytes.size());
    recordSum_ = AddToChecksum(recordSum_, bytes.substr(0, count));
    recordLeft_ -= static_cast<std::uint32_t>(count);
    return count;
}

void ImageReceiver::SignatureComplete(std::string& reply) {
    if (collected_ != kBinSignature) {
        Finish("bad signature (received " + HexBytes(collected_) + ")");
        return;
    }
    collected_.clear();
    if (!options_.requestHeader) {
        Finish("header request withheld");
        return;
    }
    reply += kHeaderRequest;
    stage_ = Stage::ImageHeader;
}

void ImageReceiver::RecordHeaderComplete(std::string& reply) {
    record_ = DecodeRecordHeader(collected_);
    collected_.clear();
    if (record_.isEnd()) {
        stage_ = Stage::Done;
        result_ = EndResult(record_);
        return;
    }
    stage_ = Stage::RecordData;
    recordLeft_ = record_.length;
    recordSum_ = 0;
    if (recordLeft_ == 0) {
        RecordComplete(reply);
    }
}

void ImageReceiver::RecordComplete(std::string& reply) {
    ++records_;
    bytes_ += record_.length;
    if (recordSum_ != record_.checksum) {
        Note("record " + std::to_string(records_) + " checksum " + Word(record_.checksum) +
             " in its header, " + Word(recordSum_) + " in its data");
    }
    RequestRecord(reply);
}

void ImageReceiver::RequestRecord(std::string& reply) {
    if (options_.stopAfterRecords && records_ >= *options_.stopAfterRecords) {
        Finish("record request withheld after " + std::to_string(records_) + " records");
        return;
    }
    reply += kRecordRequest;
    stage_ = Stage::RecordHeader;
}

void ImageReceiver::Note(std::string fault) {
    if (firstFault_.empty()) {
        firstFault_ = std::move(fault);
    }
}

void ImageReceiver::Finish(const std::string& reason) {
    stage_ = Stage::Done;
    result_ = std::string(kFailed) + (firstFault_.empty() ? reason : firstFault_);
}

std::string ImageReceiver::EndResult(const RecordHeader& end) const {
    const std::string counts =
        std::to_string(records_) + " records, " + std::to_string(bytes_) + " bytes";
    if (!firstFault_.empty()) {
        return std::string(kFailed) + firstFault_;
    }
    if (end.length != 0 || end.checksum != 0) {
        return std::string(kFailed) + "end record has length " + std::to_string(end.length) +
               " and checksum " + Word(end.checksum) + ", not 0 and 0";
    }
    if (image_.length != bytes_) {
        return std::string(kFailed) + "image length " + std::to_string(image_.length) +
               " in the image header, " + counts + " received";
    }
    return std::string(kOk) + counts;
}

}  // namespace drel::devsim
