#include "app/ArchiveOptions.h"

#include <QSettings>

namespace tessaly {
namespace {

constexpr auto kEmbedSourceKey = "options/embedSource";

} // namespace

bool embedSourceChosen()
{
    return QSettings().value(QLatin1String(kEmbedSourceKey), false).toBool();
}

void setEmbedSourceChosen(bool chosen)
{
    QSettings().setValue(QLatin1String(kEmbedSourceKey), chosen);
}

} // namespace tessaly
