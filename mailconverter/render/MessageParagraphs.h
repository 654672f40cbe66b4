// A message's page below its header block, as paragraphs for TextPageWriter.
#pragma once

#include "mailconverter/mime/MailMessage.h"
#include "mailconverter/textpages/TextPageWriter.h"

#include <QtGlobal>

#include <vector>

namespace tessaly {

/// Images with more pixels than this are not decoded at all.
inline constexpr qint64 kMaxImagePixels = qint64(64) * 1024 * 1024;

/// Whether `message` or a message forwarded in it has an HTML body, which the web engine draws.
bool hasHtmlBody(const MailMessage &message);

/// The column the paragraphs are for, in points, and what becomes of HTML bodies.
struct MessagePageColumn
{
    double widthPoints = 0;
    double heightPoints = 0; ///< of a whole page's column
    /// Draw HTML bodies as their text (htmlText), in the proportional face: the page the web
    /// engine could not draw. Otherwise they are left out.
    bool htmlAsText = false;
};

/// Everything the page of `message` shows below its own header block, in order: each body
/// (plain text as plainTextParagraphs, an image decoded no larger than the column at a CSS
/// pixel to 0.75 pt, an invitation's block with its fields as bold labels beside their
/// values), then each forwarded message under a rule and a "Forwarded message" caption, with
/// its header block (the rows of headerRows, its attachments listed) and its own bodies and
/// forwarded messages. An image that is missing, undecodable or over kMaxImagePixels is left out.
std::vector<TextParagraph> messageParagraphs(const MailMessage &message, const MessagePageColumn &column);

} // namespace tessaly
