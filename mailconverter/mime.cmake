# tessaly_mime: the message model, charset handling, the message reader and HTML composition.
# GMime and gumbo only, no Qt, so it builds with sanitizers and under fuzzers.
add_library(tessaly_mime STATIC
  CharsetDecoding.cpp CharsetDecoding.h
  FlowedText.cpp FlowedText.h
  GMimeMessageReader.cpp GMimeMessageReader.h
  GMimeSession.cpp GMimeSession.h
  HeaderDecoding.cpp HeaderDecoding.h
  HeaderBlockHtml.cpp HeaderBlockHtml.h
  HtmlComposer.cpp HtmlComposer.h
  HtmlNestingLimit.cpp HtmlNestingLimit.h
  HtmlPresentation.cpp HtmlPresentation.h
  HtmlSanitizer.cpp HtmlSanitizer.h
  MailMessage.h
  MimeModelBuilder.cpp
  PageRuleFilter.cpp PageRuleFilter.h
  PlainTextHtml.cpp PlainTextHtml.h
  ScriptFonts.cpp ScriptFonts.h
)
target_include_directories(tessaly_mime PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(tessaly_mime
  PUBLIC tessaly_options tessaly_support tessaly_platform
  PRIVATE PkgConfig::GMIME PkgConfig::GUMBO)
set_target_properties(tessaly_mime PROPERTIES AUTOMOC OFF)
