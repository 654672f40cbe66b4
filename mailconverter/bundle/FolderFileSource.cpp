#include "mailconverter/bundle/FolderFileSource.h"

#include "support/SystemReason.h"

#include <cerrno>
#include <cstdio>
#include <stdexcept>

namespace tessaly {

FolderFileSource::FolderFileSource(FileInFolder file) : m_file(std::move(file)), m_path(m_file.path()) {}

FolderFileSource::~FolderFileSource() = default;

void FolderFileSource::before()
{
    if (m_open)
        return;
    Result<OpenFile> file = m_file.folder.openForReading(m_file.name);
    if (!file)
        throw std::runtime_error(file.error().message);
    // The stream has a descriptor of its own; the OpenFile's closes when it goes.
    std::FILE *stream = file.value().streamFromStart();
    if (!stream)
        throw std::runtime_error("cannot read '" + m_path + "': " + systemReason(errno));
    m_open = std::make_unique<FileInputSource>(m_path.c_str(), stream, true);
    m_open->seek(m_offset, SEEK_SET);
    m_open->setLastOffset(last_offset);
}

void FolderFileSource::after()
{
    last_offset = m_open->getLastOffset();
    m_offset = m_open->tell();
    if (!m_stayOpen)
        m_open.reset();
}

qpdf_offset_t FolderFileSource::findAndSkipNextEOL()
{
    before();
    const qpdf_offset_t result = m_open->findAndSkipNextEOL();
    after();
    return result;
}

const std::string &FolderFileSource::getName() const
{
    return m_path;
}

qpdf_offset_t FolderFileSource::tell()
{
    // Kept up to date by every operation, so no need to open the file for it.
    return m_open ? m_open->tell() : m_offset;
}

void FolderFileSource::seek(qpdf_offset_t offset, int whence)
{
    before();
    m_open->seek(offset, whence);
    after();
}

void FolderFileSource::rewind()
{
    m_offset = 0;
    if (m_open)
        m_open->rewind();
}

size_t FolderFileSource::read(char *into, size_t length)
{
    before();
    const size_t result = m_open->read(into, length);
    after();
    return result;
}

void FolderFileSource::unreadCh(char ch)
{
    before();
    m_open->unreadCh(ch);
    after();
}

void FolderFileSource::stayOpen(bool stay)
{
    m_stayOpen = stay;
    if (!stay && m_open)
        after();
}

} // namespace tessaly
