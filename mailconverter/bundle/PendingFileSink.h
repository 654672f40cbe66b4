// A qpdf pipeline that writes into a PendingFile, so QPDFWriter's output is committed atomically.
#pragma once

#include "support/PendingFile.h"

#include <qpdf/Pipeline.hh>

#include <string>

namespace tessaly {

/// Gathers QPDFWriter's many small writes into large ones. A write that fails throws
/// std::runtime_error with the file's error, which QPDFWriter passes up to its caller.
class PendingFileSink : public Pipeline
{
public:
    explicit PendingFileSink(PendingFile &file);

    void write(unsigned char const *data, size_t length) override;
    void finish() override;

private:
    void flush();

    PendingFile &m_file;
    std::string m_buffer;
};

} // namespace tessaly
