#include "framework/CArchive.h"

namespace drel {

void CArchive::Write(const void* data, size_t count) {
    if (m_bFailed || !IsStoring()) {
        m_bFailed = true;
        return;
    }
    const auto written = m_file.write(static_cast<const char*>(data), static_cast<qint64>(count));
    if (written != static_cast<qint64>(count)) {
        m_bFailed = true;
    }
}

size_t CArchive::Read(void* data, size_t count) {
    if (m_bFailed || !IsLoading()) {
        m_bFailed = true;
        return 0;
    }
    const auto got = m_file.read(static_cast<char*>(data), static_cast<qint64>(count));
    if (got < 0) {
        m_bFailed = true;
        return 0;
    }
    return static_cast<size_t>(got);
}

std::string CArchive::ReadAll() {
    std::string bytes;
    char chunk[65536];
    while (size_t got = Read(chunk, sizeof chunk)) {
        bytes.append(chunk, got);
    }
    return bytes;
}

std::string CArchive::ErrorText() const {
    return m_file.errorString().toLocal8Bit().toStdString();
}

}  // namespace drel
