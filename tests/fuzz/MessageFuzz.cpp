// Feeds arbitrary bytes to the MIME model and the HTML composition: no crash, no hang.
#include "mailconverter/html/HeaderBlockHtml.h"
#include "mailconverter/html/HtmlComposer.h"
#include "mailconverter/mime/BoundedHeaderBlock.h"
#include "mailconverter/mime/MailMessage.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tessaly;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    // The input as one header field cut at half its length, as a field past the bound is cut.
    if (cutHeaderField(bytes, size / 2).size() > size / 2)
        std::abort();
    Result<MailMessage> message = parseMailMessage(bytes);
    if (!message)
        return 0;
    const std::vector<AttachmentListing> listings{{"a.txt", 1, "a%20b/a.txt", false}, {"b.bin", 2, "", true}};
    headerRows(message.value(), listings, HeaderLimits{}, HeaderMarkup::Simple);
    ComposeOptions options;
    options.cidBaseUrl = "tessaly://m1/cid/";
    composeMessageHtml(message.value(), listings, options);
    return 0;
}
