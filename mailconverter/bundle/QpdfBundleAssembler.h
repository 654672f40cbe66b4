// The bundle assembler on qpdf: joins a mailbox's message PDFs into one PDF.
#pragma once

#include "platform/BundleAssembler.h"

namespace tessaly {

/// Stands in until the assembler is written: every part fails.
class QpdfBundleAssembler : public BundleAssembler
{
public:
    QpdfBundleAssembler() = default;

    Result<AssembledPart> assemble(const BundlePart &part, const FileInFolder &destination) override;
};

} // namespace tessaly
