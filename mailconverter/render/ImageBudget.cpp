#include "mailconverter/render/ImageBudget.h"

#include "mailconverter/readers/AttachmentNames.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <algorithm>

namespace tessaly {
namespace {

/// Names listed in the note before "and N more".
constexpr std::size_t kNamesShown = 10;

std::int64_t costOf(const InlineResource &resource)
{
    if (resource.mimeType.rfind("image/", 0) != 0)
        return kMinimumImageCost;
    // Reads only the header: the size an image declares is what a decoder would allocate.
    QByteArray bytes = QByteArray::fromRawData(resource.bytes.data(), static_cast<qsizetype>(resource.bytes.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const QSize size = QImageReader(&buffer).size();
    if (!size.isValid())
        return kMinimumImageCost;
    return std::max(std::int64_t(size.width()) * size.height(), kMinimumImageCost);
}

void spend(MailMessage &message, std::int64_t &left, UndrawnImages &undrawn)
{
    std::vector<InlineResource> drawn;
    for (InlineResource &resource : message.inlineResources) {
        const std::int64_t cost = costOf(resource);
        if (cost <= left) {
            left -= cost;
            drawn.push_back(std::move(resource));
            continue;
        }
        std::string name =
            "inline image " + std::to_string(undrawn.names.size() + 1) + extensionForMimeType(resource.mimeType);
        undrawn.names.push_back(name);
        message.attachments.push_back(
            AttachmentPart{std::move(name), std::move(resource.mimeType), std::move(resource.bytes), false});
    }
    message.inlineResources = std::move(drawn);
    for (MailMessage &inner : message.forwarded)
        spend(inner, left, undrawn);
}

} // namespace

UndrawnImages keepImagesWithinBudget(MailMessage &message, std::int64_t budget)
{
    UndrawnImages undrawn;
    std::int64_t left = budget;
    spend(message, left, undrawn);
    if (!undrawn.names.empty())
        undrawn.reason = "over this message's budget of " + std::to_string(budget / (1024 * 1024)) + " megapixels";
    return undrawn;
}

std::string undrawnImagesNote(const UndrawnImages &undrawn)
{
    if (undrawn.names.empty())
        return {};
    const std::size_t count = undrawn.names.size();
    std::string note = count == 1 ? "1 image" : std::to_string(count) + " images";
    note += " (";
    for (std::size_t i = 0; i < std::min(count, kNamesShown); ++i)
        note += (i ? ", " : "") + undrawn.names[i];
    if (count > kNamesShown)
        note += " and " + std::to_string(count - kNamesShown) + " more";
    return note + "), " + undrawn.reason + "; listed with the attachments";
}

} // namespace tessaly
