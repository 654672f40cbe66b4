#include "mailconverter/mime/AddressList.h"

#include "mailconverter/mime/CharsetDecoding.h"
#include "mailconverter/mime/HeaderDecoding.h"
#include "support/TextHelpers.h"
#include "support/Utf8.h"

#include <map>
#include <string>

namespace tessaly {

namespace {

std::string validUtf8(const char *text)
{
    if (!text)
        return {};
    return decodeToUtf8(text, {});
}

void appendAddresses(InternetAddressList *list, std::vector<MailAddress> &out, int depth = 0)
{
    if (!list || depth > 4)
        return;
    const int count = internet_address_list_length(list);
    for (int i = 0; i < count; ++i) {
        InternetAddress *address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(address)) {
            appendAddresses(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)), out, depth + 1);
            continue;
        }
        MailAddress entry;
        entry.name = validUtf8(internet_address_get_name(address));
        if (INTERNET_ADDRESS_IS_MAILBOX(address))
            entry.address = validUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
        if (!entry.name.empty() || !entry.address.empty())
            out.push_back(std::move(entry));
    }
}

std::string trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

// The comments ("(...)") of each mailbox in an address list, by lower-case address: GMime
// keeps a comment only as the name of a mailbox that has none.
std::map<std::string, std::string> addressComments(std::string_view list)
{
    std::map<std::string, std::string> comments;
    std::string comment;
    std::string bare; // the item outside comments and quotes, to find a bare address in
    std::string angle;
    int depth = 0;
    bool quoted = false;
    bool inAngle = false;
    auto finishItem = [&] {
        const std::string address = asciiLowercase(trimmed(angle.empty() ? bare : angle));
        if (!comment.empty() && !address.empty())
            comments.emplace(address, decodeHeaderText(trimmed(comment)));
        comment.clear();
        bare.clear();
        angle.clear();
    };
    for (std::size_t i = 0; i < list.size(); ++i) {
        const char c = list[i];
        if (quoted) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                quoted = false;
        } else if (depth > 0) {
            if (c == '\\' && i + 1 < list.size()) {
                comment += list[++i];
                continue;
            }
            if (c == '(')
                ++depth;
            if (c == ')' && --depth == 0)
                continue;
            comment += c;
        } else if (c == '(') {
            if (!comment.empty())
                comment += ' ';
            depth = 1;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '<') {
            inAngle = true;
        } else if (c == '>') {
            inAngle = false;
        } else if ((c == ',' || c == ';' || c == ':') && !inAngle) {
            finishItem();
        } else {
            (inAngle ? angle : bare) += c;
        }
    }
    finishItem();
    return comments;
}

} // namespace

std::vector<MailAddress> parseAddressList(std::string_view raw, std::string_view declaredCharset,
                                          GMimeParserOptions *options)
{
    std::vector<MailAddress> addresses;
    if (raw.empty())
        return addresses;
    const std::string repaired = reencodeEncodedWords(raw, declaredCharset);
    if (InternetAddressList *list = internet_address_list_parse(options, repaired.c_str())) {
        appendAddresses(list, addresses);
        g_object_unref(list);
    }
    for (MailAddress &address : addresses) {
        // Names without addresses ("=?gb2312?B?...?=, ..."), which GMime takes for local parts.
        if (address.name.empty() && address.address.find('@') == std::string::npos &&
            address.address.find("=?") != std::string::npos) {
            address.name = decodeHeaderText(address.address);
            address.address.clear();
        }
    }
    if (addresses.empty()) {
        std::string name = trimmed(decodeHeaderText(raw, declaredCharset));
        if (!name.empty())
            addresses.push_back(MailAddress{std::move(name), {}});
        return addresses;
    }
    if (repaired.find('(') == std::string::npos)
        return addresses;
    const std::map<std::string, std::string> comments = addressComments(repaired);
    for (MailAddress &address : addresses) {
        const std::string key = asciiLowercase(address.address);
        const auto found = comments.find(key);
        if (found == comments.end() || found->second.empty() || address.name.find(found->second) != std::string::npos)
            continue;
        address.name = address.name.empty() ? found->second : address.name + " (" + found->second + ")";
    }
    return addresses;
}

} // namespace tessaly
