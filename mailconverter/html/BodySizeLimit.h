// Bodies too long for a page: cut for the page, kept whole to travel inside the PDF.
#pragma once

#include "mailconverter/mime/MailMessage.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tessaly {

/// Bodies longer than this are cut for the page (about 600 pages of plain text).
inline constexpr std::size_t kMaxBodyBytes = 2 * 1024 * 1024;
/// All bodies of a message and its forwarded messages together show at most this much.
inline constexpr std::size_t kMaxPageBytes = 2 * kMaxBodyBytes;
/// ... and at most this many lines (about 1,500 pages): short lines fill pages long before
/// they reach the bytes.
inline constexpr std::size_t kMaxPageLines = 100000;

/// A body too long for the page (or a header block too long to read whole), kept whole so
/// that it can travel inside the PDF.
struct CutBody
{
    std::string fileName;
    std::string mimeType;
    std::string text;
    /// The body on the page that stands for this text, valid while its message lives; null
    /// for a header block.
    const BodyPart *shownAs = nullptr;
};

/// Cuts the bodies of `message` and of its forwarded messages, in page order, so that none
/// is longer than kMaxBodyBytes and all of them together keep within kMaxPageBytes and
/// kMaxPageLines: a huge body, or many large ones, cost bounded time and memory on the page.
/// A body is cut at a line end (or, without one in the last half, at a character boundary);
/// a body after the page is full shows only a note. The whole text goes into `cutBodies`,
/// to be embedded in the PDF, so nothing of the message is lost; when the whole message is
/// embedded as `embeddedSourceName`, that carries the text already. Says so on the page and
/// in `warnings`.
void limitBodySizes(MailMessage &message, const std::string &embeddedSourceName, std::vector<CutBody> &cutBodies,
                    std::vector<std::string> &warnings);

/// For a message whose pages run past its page budget: adds to `cutBodies` the whole text of
/// every text body of `message` and of its forwarded messages that limitBodySizes left whole
/// (those it cut are there already), named and numbered as limitBodySizes names them. Returns
/// the number of bodies added.
std::size_t keepUncutBodies(const MailMessage &message, std::vector<CutBody> &cutBodies);

} // namespace tessaly
