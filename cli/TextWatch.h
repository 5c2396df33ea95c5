#pragma once

// Finds a text in a stream that arrives in pieces, wherever the pieces split it.

#include <string>
#include <string_view>

namespace drel::cli {

class TextWatch {
  public:
    // Watches for `text`, which must not be empty.
    explicit TextWatch(std::string text) : text_(std::move(text)) {}

    // Takes the next piece of the stream; true when `text` ends within it (it may begin in
    // earlier pieces). Never fails; one thread at a time.
    bool Feed(std::string_view piece);

  private:
    std::string text_;
    std::string tail_;  // the end of the stream so far, shorter than `text_`
};

}  // namespace drel::cli
