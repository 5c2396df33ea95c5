#pragma once

// The boot monitor's side of one image download, free of I/O and of time: it is fed the
// bytes the host sends and answers with the request bytes the device sends back.
//
// The handshake: the host sends the 7-byte signature unasked; the device asks for the 8-byte
// image header with 0x01; then for each record it sends 0x02 and takes a 12-byte record
// header and that record's data. The record with address 0 ends the image. Nothing is echoed.
//
// The receiver checks what it gets: the signature (a wrong one ends the load at once, since
// nothing sensible can follow), each record's checksum, the end record's length and checksum
// words (both 0), and the byte count: the image header's length word must equal the number of
// data bytes received in all records. A fault in a record does not stop the transfer: the
// host is still asked for every record, and the first fault found is reported once the end
// record has arrived. The result is one line, "load ok: R records, B bytes" or
// "load FAILED: <reason>". One thread uses an instance.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "BinImage.h"

namespace drel::devsim {

// Ways the device can be told to misbehave, to test how a host copes.
struct LoadOptions {
    bool requestHeader = true;                        // false: never sends 0x01
    std::optional<std::uint32_t> stopAfterRecords{};  // sends no 0x02 after this many records
};

class ImageReceiver {
  public:
    static constexpr char kHeaderRequest = 0x01;
    static constexpr char kRecordRequest = 0x02;
    static constexpr std::string_view kOk = "load ok: ";
    static constexpr std::string_view kFailed = "load FAILED: ";

    explicit ImageReceiver(LoadOptions options = {}) : options_(options) {}

    // Takes image bytes from the front of `bytes` until the load ends, appending the requests
    // the device sends in answer to `reply`. Returns how many bytes it took: all of them,
    // unless the load ended before their end (at least one while it is not finished). Takes
    // nothing once finished. Never fails.
    std::size_t Take(std::string_view bytes, std::string& reply);

    // Ends an unfinished load for a reason found outside (the host fell silent, purged the
    // port): the result becomes a failure naming the first fault, or else `reason`. Does
    // nothing once finished. Never fails.
    void Abandon(const std::string& reason);

    bool finished() const { return stage_ == Stage::Done; }
    // The result line without its line end; empty until finished.
    const std::string& result() const { return result_; }
    // What the receiver waits for, to say where a load stopped: "the signature", "the image
    // header", "the header of record 3" or "the data of record 3 (100 of 4096 bytes)".
    std::string Awaiting() const;

  private:
    enum class Stage { Signature, ImageHeader, RecordHeader, RecordData, Done };

    std::size_t Collect(std::string_view bytes, std::size_t size);
    std::size_t TakeData(std::string_view bytes);
    void SignatureComplete(std::string& reply);
    void RecordHeaderComplete(std::string& reply);
    void RecordComplete(std::string& reply);
    void RequestRecord(std::string& reply);
    void Note(std::string fault);
    void Finish(const std::string& reason);
    std::string EndResult(const RecordHeader& end) const;

    LoadOptions options_;
    Stage stage_ = Stage::Signature;
    std::string collected_;  // the header being received
    ImageHeader image_;
    RecordHeader record_;
    std::uint32_t recordLeft_ = 0;  // data bytes of the current record still to come
    std::uint32_t recordSum_ = 0;
    std::uint32_t records_ = 0;  // data records received whole
    std::uint64_t bytes_ = 0;    // data bytes received in them
    std::string firstFault_;
    std::string result_;
};

}  // namespace drel::devsim
