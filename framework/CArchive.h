#pragma once

// The byte stream a document is saved to or loaded from: an open file and a direction.
//
// A document's Serialize writes or reads through it; the first failed read or write marks the
// archive failed, later calls do nothing, and the caller (OnSaveDocument, OnOpenDocument) reports
// the failure once at the end. User-interface thread.

#include <QFileDevice>
#include <cstddef>
#include <string>

namespace drel {

class CArchive {
  public:
    enum Mode { load, store };

    // An archive on `file`, which must be open in the matching direction and outlive it.
    CArchive(QFileDevice& file, Mode mode) : m_file(file), m_mode(mode) {}

    bool IsStoring() const { return m_mode == store; }
    bool IsLoading() const { return m_mode == load; }

    // Writes `count` bytes of `data`. Fails (see Failed) when not storing or the file refuses.
    void Write(const void* data, size_t count);

    // Reads up to `count` bytes into `data`; returns how many were read (0 at the end of the
    // file). Fails when not loading or the file cannot be read.
    size_t Read(void* data, size_t count);

    // Reads everything from the current position to the end of the file.
    std::string ReadAll();

    // True once a read or write has failed.
    bool Failed() const { return m_bFailed; }

    // The file's error text after a failure.
    std::string ErrorText() const;

  private:
    QFileDevice& m_file;
    Mode m_mode;
    bool m_bFailed = false;
};

}  // namespace drel
