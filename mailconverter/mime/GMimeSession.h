// Initialising GMime once per process and the parser options for real-world mail.
#pragma once

#include <memory>

typedef struct _GMimeParserOptions GMimeParserOptions;

namespace tessaly {

/// Initialises GMime once, from any thread; later calls return at once.
void ensureGMimeInitialised();

struct ParserOptionsDeleter
{
    void operator()(GMimeParserOptions *options) const;
};
using ParserOptionsPtr = std::unique_ptr<GMimeParserOptions, ParserOptionsDeleter>;

/// New parser options with fallback charsets utf-8, windows-1252, iso-8859-1 and loose
/// compliance for encoded words, addresses and parameters. GMime objects are not
/// thread-safe, so each thread makes its own.
ParserOptionsPtr makeParserOptions();

} // namespace tessaly
