// Fuzzes the receive loop's stream watchers (the ":F=", "start download" and "FW>" matchers and
// the image-name capture) with one stream fed twice: in the chunks a device's reads might give,
// and byte by byte as the reference.
//
// Input: byte 0 gives n (0..63); the next n bytes give the chunk sizes, 1 + byte % 80 each, used
// in turn (n = 0: every chunk 80 bytes, the size of the loop's reads); the rest is the stream.
//
// What the chunking may change, and what it may not. A matcher reports at most once per chunk
// and skips the rest of the chunk, and ":F=" is not looked for while a name is being captured,
// so the chunked run may miss matches that the byte-by-byte run sees; none of the three
// patterns can overlap itself, so the byte-by-byte run sees every "start download" and "FW>".
// The checked rules:
// - after every chunk: each state is below its pattern's length, the capture is idle or goes
//   on (never left at "marker done"), the name has at most kImageNameMaxLength characters and a
//   terminating zero within the buffer, and every reported position is the end of an
//   occurrence of its pattern within the chunk (matchEnd);
// - "start download" and "FW>": every report of the chunked run is also one of the reference;
// - ":F=": the chunked run's i-th marker is at or after the reference's i-th, so it reports no
//   more of them; it may report a marker that the reference took as part of a name, since it
//   resumes looking only after the chunk in which that name ended;
// - a name taken for a marker is the same whatever the chunking, and when both runs saw the
//   same markers they end with the same name and capture state;
// - both runs report exactly what a plain search of the stream predicts: the first occurrence
//   at or after the point where looking resumes, which is the end of the chunk that held the
//   last report (for ":F=", the end of the chunk in which the last name ended); a name is the
//   bytes after the marker up to a carriage return, at most kImageNameMaxLength of them, and
//   the byte after the longest name ends it as a carriage return does. The reference is the
//   case of one byte per chunk, so it resumes right after each match or name.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "IdleWatchers.h"

namespace {

using drel::kCaptureContinues;
using drel::kCaptureIdle;
using drel::kImageNameMaxLength;
using drel::fuzz::ChunkReport;
using drel::fuzz::IdleWatchers;
using drel::fuzz::kMarker;
using drel::fuzz::kPrompt;
using drel::fuzz::kTrigger;
using drel::fuzz::Require;

constexpr int kReadSize = 80;
constexpr size_t kMaxChunkSizeBytes = 64;

struct Input {
    std::vector<int> chunkSizes;
    std::string_view stream;
};

// Takes the chunk sizes and the stream apart as laid out above.
Input Split(const uint8_t* data, size_t size) {
    Input input;
    size_t n = 0;
    if (size > 0) {
        n = std::min<size_t>(data[0] % kMaxChunkSizeBytes, size - 1);
        for (size_t i = 1; i <= n; ++i) {
            input.chunkSizes.push_back(1 + data[i] % kReadSize);
        }
    }
    if (input.chunkSizes.empty()) {
        input.chunkSizes.push_back(kReadSize);
    }
    const size_t skip = size > 0 ? 1 + n : 0;
    input.stream = std::string_view(reinterpret_cast<const char*>(data) + skip, size - skip);
    return input;
}

// What one run reported, by stream position.
struct Run {
    std::vector<size_t> chunkEnds;  // the stream position after each chunk
    std::vector<size_t> markers;
    std::vector<size_t> triggers;
    std::vector<size_t> prompts;
    std::map<size_t, std::string> names;  // each name that ended, by the marker that began it
    std::string imageName;                // the buffer's text after the last chunk
    uint16_t capture = kCaptureIdle;
};

// Whether `pattern` stands in `stream` just before `end`.
bool EndsOccurrence(std::string_view stream, size_t end, std::string_view pattern) {
    return end >= pattern.size() && stream.substr(end - pattern.size(), pattern.size()) == pattern;
}

// The rules that hold after every chunk, whatever came before.
void CheckChunk(const IdleWatchers& w, const ChunkReport& report, std::string_view stream) {
    Require(w.MarkerState() < std::strlen(kMarker), "marker state below its length");
    Require(w.TriggerState() < std::strlen(kTrigger), "trigger state below its length");
    Require(w.PromptState() < std::strlen(kPrompt), "prompt state below its length");
    Require(w.CaptureState() == kCaptureIdle || w.CaptureState() == kCaptureContinues,
            "capture is idle or goes on between chunks");
    // Only a capture writes the name; the byte-by-byte run would else measure it for every byte.
    Require((w.CaptureState() == kCaptureIdle && !report.nameEnded) ||
                strnlen(w.ImageName(), kImageNameMaxLength + 1) <= kImageNameMaxLength,
            "name zero-terminated within kImageNameMaxLength characters");
    Require(!report.marker || EndsOccurrence(stream, *report.marker, kMarker),
            "a marker report ends \":F=\"");
    Require(!report.trigger || EndsOccurrence(stream, *report.trigger, kTrigger),
            "a trigger report ends \"start download\"");
    Require(!report.prompt || EndsOccurrence(stream, *report.prompt, kPrompt),
            "a prompt report ends \"FW>\"");
}

// Feeds `stream` in chunks of `sizes`, taken in turn, and records what the watchers report.
Run Watch(std::string_view stream, const std::vector<int>& sizes) {
    Run run;
    IdleWatchers watchers;
    size_t markerOfName = 0;
    for (size_t at = 0, k = 0; at < stream.size(); ++k) {
        const int count =
            static_cast<int>(std::min<size_t>(sizes[k % sizes.size()], stream.size() - at));
        const ChunkReport report =
            watchers.Feed(reinterpret_cast<const uint8_t*>(stream.data()) + at, count);
        at += static_cast<size_t>(count);
        CheckChunk(watchers, report, stream.substr(0, at));
        run.chunkEnds.push_back(at);
        if (report.marker) {
            run.markers.push_back(*report.marker);
            markerOfName = *report.marker;
        }
        if (report.nameEnded) {
            Require(!run.markers.empty(), "a name ends only after a marker");
            run.names[markerOfName] = watchers.ImageName();
        }
        if (report.trigger) {
            run.triggers.push_back(*report.trigger);
        }
        if (report.prompt) {
            run.prompts.push_back(*report.prompt);
        }
    }
    run.imageName = watchers.ImageName();
    run.capture = watchers.CaptureState();
    return run;
}

// The rules that tie the chunked run to the byte-by-byte reference.
void CheckAgainstReference(const Run& chunked, const Run& reference) {
    Require(std::includes(reference.triggers.begin(), reference.triggers.end(),
                          chunked.triggers.begin(), chunked.triggers.end()),
            "every chunked \"start download\" is one of the reference's");
    Require(std::includes(reference.prompts.begin(), reference.prompts.end(),
                          chunked.prompts.begin(), chunked.prompts.end()),
            "every chunked \"FW>\" is one of the reference's");
    Require(chunked.markers.size() <= reference.markers.size(),
            "the chunked run reports no more markers than the reference");
    for (size_t i = 0; i < chunked.markers.size(); ++i) {
        Require(chunked.markers[i] >= reference.markers[i],
                "the chunked run's i-th marker is not before the reference's");
    }
    for (const auto& [marker, name] : chunked.names) {
        const auto same = reference.names.find(marker);
        Require(same == reference.names.end() || same->second == name,
                "the name taken for a marker does not depend on the chunking");
    }
    if (chunked.markers == reference.markers) {
        Require(chunked.imageName == reference.imageName && chunked.capture == reference.capture,
                "runs that saw the same markers end with the same name and capture state");
    }
}

// The end of the chunk of `run` that holds stream byte `index`: where looking resumes.
size_t EndOfChunkHolding(const Run& run, size_t index) {
    return *std::upper_bound(run.chunkEnds.begin(), run.chunkEnds.end(), index);
}

// Where `run` should report `pattern`, found by a plain search.
std::vector<size_t> PlainSearch(std::string_view stream, std::string_view pattern, const Run& run) {
    std::vector<size_t> ends;
    for (size_t from = 0;;) {
        const size_t at = stream.find(pattern, from);
        if (at == std::string_view::npos) {
            return ends;
        }
        ends.push_back(at + pattern.size());
        from = EndOfChunkHolding(run, ends.back() - 1);
    }
}

// The name taken from `bytes`: every byte but the zero bytes, which are left out.
std::string AsText(std::string_view bytes) {
    std::string text;
    for (char c : bytes) {
        if (c != '\0') {
            text.push_back(c);
        }
    }
    return text;
}

// Checks the markers and names of `run` against a plain search and copy of the stream.
void CheckCaptures(std::string_view stream, const Run& run) {
    std::vector<size_t> markers;
    std::map<size_t, std::string> names;
    std::string imageName;
    uint16_t capture = kCaptureIdle;
    for (size_t from = 0;;) {
        const size_t at = stream.find(kMarker, from);
        if (at == std::string_view::npos) {
            break;
        }
        const size_t begin = at + std::strlen(kMarker);
        markers.push_back(begin);
        size_t end = begin;
        for (size_t stored = 0;
             end < stream.size() && stream[end] != '\r' && stored < kImageNameMaxLength; ++end) {
            stored += stream[end] != '\0' ? 1 : 0;
        }
        imageName = AsText(stream.substr(begin, end - begin));
        if (end == stream.size()) {
            capture = kCaptureContinues;
            break;
        }
        names[begin] = imageName;
        from = EndOfChunkHolding(run, end);
    }
    Require(run.markers == markers, "markers where a plain search finds them");
    Require(run.names == names, "names as the plain copy takes them");
    Require(run.imageName == imageName, "last name as the plain copy takes it");
    Require(run.capture == capture, "capture state as the plain copy leaves it");
}

// Checks everything `run` reported against a plain search of the stream.
void CheckAgainstPlainSearch(std::string_view stream, const Run& run) {
    Require(run.triggers == PlainSearch(stream, kTrigger, run),
            "\"start download\" where a plain search finds it");
    Require(run.prompts == PlainSearch(stream, kPrompt, run),
            "\"FW>\" where a plain search finds it");
    CheckCaptures(stream, run);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Input input = Split(data, size);
    const Run chunked = Watch(input.stream, input.chunkSizes);
    const Run reference = Watch(input.stream, {1});
    CheckAgainstReference(chunked, reference);
    CheckAgainstPlainSearch(input.stream, reference);
    CheckAgainstPlainSearch(input.stream, chunked);
    return 0;
}
