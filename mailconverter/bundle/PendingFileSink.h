// A qpdf pipeline that writes into a PendingFile, so QPDFWriter's output is committed atomically.
#pragma once

#include "support/PendingFile.h"

#include <qpdf/Pipeline.hh>

#include <optional>
#include <string>

namespace tessaly {

/// Gathers QPDFWriter's many small writes into large ones. A write that fails is kept as
/// `failure()`, and what follows is dropped: qpdf finishes its pipelines from destructors,
/// where an exception would end the process.
class PendingFileSink : public Pipeline
{
public:
    explicit PendingFileSink(PendingFile &file);

    void write(unsigned char const *data, size_t length) override;
    void finish() override;

    /// The first write that failed, if any: the file is then incomplete.
    const std::optional<Error> &failure() const { return m_failure; }

private:
    void flush();

    PendingFile &m_file;
    std::string m_buffer;
    std::optional<Error> m_failure;
};

} // namespace tessaly
