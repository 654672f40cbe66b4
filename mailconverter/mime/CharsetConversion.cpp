#include "mailconverter/mime/CharsetConversion.h"

#include "mailconverter/mime/Iso2022JpDecoding.h"

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace tessaly {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

struct Alias
{
    std::string_view converter;
    std::vector<std::string_view> labels;
};

// The WHATWG labels whose decoder is a superset of the charset the label names.
const std::vector<Alias> &aliases()
{
    static const std::vector<Alias> kAliases = {
        {"CP932",
         {"shift_jis", "shift-jis", "sjis", "x-sjis", "ms_kanji", "csshiftjis", "windows-31j", "ms932", "cp932",
          "x-ms-cp932"}},
        {"EUC-JP-MS", {"euc-jp", "x-euc-jp", "cseucpkdfmtjapanese"}},
        {"GB18030",
         {"gb2312", "gbk", "x-gbk", "cp936", "ms936", "windows-936", "chinese", "csgb2312", "csiso58gb231280",
          "gb_2312", "gb_2312-80", "iso-ir-58", "euc-cn", "gb18030"}},
        {"BIG5-HKSCS", {"big5", "big5-hkscs", "cn-big5", "csbig5", "x-x-big5", "cp950"}},
        {"CP949",
         {"euc-kr", "ks_c_5601-1987", "ks_c_5601-1989", "ksc5601", "ksc_5601", "korean", "csksc56011987", "iso-ir-149",
          "windows-949", "cp949", "ms949", "cseuckr"}},
        {"CP874", {"tis-620", "iso-8859-11", "iso8859-11", "windows-874", "dos-874"}},
        {"CP1254",
         {"iso-8859-9", "iso8859-9", "iso_8859-9", "latin5", "l5", "iso-ir-148", "csisolatin5", "windows-1254"}},
        {"ISO-8859-8", {"iso-8859-8-i", "csiso88598i", "logical"}},
        {"MACINTOSH", {"x-mac-roman", "mac", "macintosh", "csmacintosh"}},
        {"KOI8-U", {"koi8-u", "koi8-ru"}},
    };
    return kAliases;
}

// iconv with each byte it cannot read replaced, and the conversion going on after it.
CharsetConversion convertWithIconv(std::string_view bytes, const std::string &converter)
{
    CharsetConversion result;
    GIConv cd = g_iconv_open("UTF-8", converter.c_str());
    if (cd == reinterpret_cast<GIConv>(-1))
        return result;
    result.known = true;
    std::vector<char> buffer(std::max<std::size_t>(256, bytes.size() * 4 + 16));
    gchar *in = const_cast<gchar *>(bytes.data());
    gsize inLeft = bytes.size();
    while (true) {
        gchar *out = buffer.data();
        gsize outLeft = buffer.size();
        const gsize status = g_iconv(cd, inLeft > 0 ? &in : nullptr, &inLeft, &out, &outLeft);
        result.text.append(buffer.data(), buffer.size() - outLeft);
        if (status != static_cast<gsize>(-1)) {
            if (inLeft == 0)
                break;
            continue;
        }
        if (errno == E2BIG)
            continue;
        // EILSEQ: a byte that does not decode; EINVAL: a character cut off at the end.
        result.text += kReplacement;
        ++result.badPlaces;
        if (errno == EINVAL || inLeft <= 1)
            break;
        ++in;
        --inLeft;
    }
    g_iconv_close(cd);
    return result;
}

} // namespace

std::string converterNameOf(std::string_view label)
{
    for (const Alias &alias : aliases()) {
        if (std::find(alias.labels.begin(), alias.labels.end(), label) != alias.labels.end())
            return std::string(alias.converter);
    }
    return std::string(label);
}

CharsetConversion convertCharset(std::string_view bytes, std::string_view label)
{
    if (label.empty())
        return {};
    if (isIso2022JpLabel(label))
        return decodeIso2022Jp(bytes);
    return convertWithIconv(bytes, converterNameOf(label));
}

} // namespace tessaly
