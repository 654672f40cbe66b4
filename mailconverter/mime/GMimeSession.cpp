#include "mailconverter/mime/GMimeSession.h"

#include <gmime/gmime.h>

#include <mutex>

namespace tessaly {

void ensureGMimeInitialised()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

void ParserOptionsDeleter::operator()(GMimeParserOptions *options) const
{
    g_mime_parser_options_free(options);
}

ParserOptionsPtr makeParserOptions()
{
    ensureGMimeInitialised();
    ParserOptionsPtr options(g_mime_parser_options_new());
    static const char *fallbackCharsets[] = {"utf-8", "windows-1252", "iso-8859-1", nullptr};
    g_mime_parser_options_set_fallback_charsets(options.get(), fallbackCharsets);
    g_mime_parser_options_set_rfc2047_compliance_mode(options.get(), GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_address_compliance_mode(options.get(), GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_parameter_compliance_mode(options.get(), GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_allow_addresses_without_domain(options.get(), TRUE);
    return options;
}

} // namespace tessaly
