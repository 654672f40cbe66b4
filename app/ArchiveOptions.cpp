#include "app/ArchiveOptions.h"

#include <QSettings>

namespace tessaly {
namespace {

constexpr auto kEmbedSourceKey = "options/embedSource";
constexpr auto kBundleKey = "options/bundleEachMailbox";

} // namespace

bool embedSourceChosen()
{
    return QSettings().value(QLatin1String(kEmbedSourceKey), false).toBool();
}

void setEmbedSourceChosen(bool chosen)
{
    QSettings().setValue(QLatin1String(kEmbedSourceKey), chosen);
}

bool bundleChosen()
{
    return QSettings().value(QLatin1String(kBundleKey), false).toBool();
}

void setBundleChosen(bool chosen)
{
    QSettings().setValue(QLatin1String(kBundleKey), chosen);
}

} // namespace tessaly
