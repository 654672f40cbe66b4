#include "mailconverter/bundle/QpdfBundleAssembler.h"

namespace tessaly {

Result<AssembledPart> QpdfBundleAssembler::assemble(const BundlePart &, const FileInFolder &)
{
    return Error{"bundles are not built yet"};
}

} // namespace tessaly
