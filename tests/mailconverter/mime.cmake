tessaly_add_test(mime_tests
  SOURCES
    FlowedTextTest.cpp
    GMimeMessageReaderTest.cpp
    HeaderBlockHtmlTest.cpp
    HeaderDecodingTest.cpp
    HtmlComposerTest.cpp
    HtmlSanitizerTest.cpp
    MailMessageTest.cpp
    MimeTestHelpers.h
  LIBRARIES tessaly_mime PkgConfig::GMIME)
