// A qpdf input source over a file in an open folder that holds no descriptor between reads, so
// that a bundle can read thousands of message PDFs at once under the descriptor limit.
#pragma once

#include "support/FolderHandle.h"

#include <qpdf/FileInputSource.hh>
#include <qpdf/InputSource.hh>

#include <memory>
#include <string>

namespace tessaly {

/// Opens the file through its folder (FolderHandle::openForReading: no link followed) around
/// each operation and closes it after, as qpdf's ClosedFileInputSource does with paths. Between
/// stayOpen(true) and stayOpen(false) it keeps the file open, for a burst of reads. A file that
/// cannot be opened throws std::runtime_error, as qpdf's own sources do.
class QPDF_DLL_CLASS FolderFileSource : public InputSource
{
public:
    explicit FolderFileSource(FileInFolder file);
    ~FolderFileSource() override;
    FolderFileSource(const FolderFileSource &) = delete;
    FolderFileSource &operator=(const FolderFileSource &) = delete;

    qpdf_offset_t findAndSkipNextEOL() override;
    const std::string &getName() const override;
    qpdf_offset_t tell() override;
    void seek(qpdf_offset_t offset, int whence) override;
    void rewind() override;
    size_t read(char *into, size_t length) override;
    void unreadCh(char ch) override;

    /// Keeps the file open from stayOpen(true) until stayOpen(false).
    void stayOpen(bool stay);

private:
    void before();
    void after();

    FileInFolder m_file;
    std::string m_path; ///< for qpdf's messages
    qpdf_offset_t m_offset = 0;
    std::unique_ptr<FileInputSource> m_open;
    bool m_stayOpen = false;
};

} // namespace tessaly
