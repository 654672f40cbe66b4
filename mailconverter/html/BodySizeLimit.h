// Bodies too long for a page: cut for the page, kept whole to travel inside the PDF.
#pragma once

#include "mailconverter/mime/MailMessage.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tessaly {

/// Bodies longer than this are cut for the page (about 600 pages of plain text).
inline constexpr std::size_t kMaxBodyBytes = 2 * 1024 * 1024;

/// A body too long for the page, kept whole so that it can travel inside the PDF.
struct CutBody
{
    std::string fileName;
    std::string mimeType;
    std::string text;
    /// The body on the page that stands for this text, valid while its message lives.
    const BodyPart *shownAs = nullptr;
};

/// Cuts the bodies of `message` and of its forwarded messages that are longer than
/// kMaxBodyBytes at a line end (or, without one in the last half, at a character boundary),
/// so that a huge body costs bounded time and memory on the page. The whole text goes into
/// `cutBodies`, to be embedded in the PDF, so nothing of the message is lost; when the whole
/// message is embedded as `embeddedSourceName`, that carries the text already. Says so on the
/// page and in `warnings`.
void limitBodySizes(MailMessage &message, const std::string &embeddedSourceName, std::vector<CutBody> &cutBodies,
                    std::vector<std::string> &warnings);

/// For a message whose pages run past its page budget: adds to `cutBodies` the whole text of
/// every text body of `message` and of its forwarded messages that limitBodySizes left whole
/// (those it cut are there already), named and numbered as limitBodySizes names them. Returns
/// the number of bodies added.
std::size_t keepUncutBodies(const MailMessage &message, std::vector<CutBody> &cutBodies);

} // namespace tessaly
