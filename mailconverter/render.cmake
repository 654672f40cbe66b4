# tessaly_mailconverter: rendering (Qt WebEngine, QTextDocument), PDF finishing (qpdf) and
# the converter component itself.
add_library(tessaly_mailconverter STATIC
  AttachmentHandling.cpp AttachmentHandling.h
  BlockingRequestInterceptor.cpp BlockingRequestInterceptor.h
  FontSetup.cpp FontSetup.h
  HeaderStamp.cpp HeaderStamp.h
  ImageBudget.cpp ImageBudget.h
  MessageScheme.cpp MessageScheme.h
  MessageSchemeHandler.cpp MessageSchemeHandler.h
  PageSetup.cpp PageSetup.h
  PdfFinisher.cpp PdfFinisher.h
  PdfMailConverter.cpp PdfMailConverter.h
  SourceEmbedding.cpp SourceEmbedding.h
  TextDocumentRenderer.cpp TextDocumentRenderer.h
  TextMapRepair.cpp TextMapRepair.h
  WebEngineRenderer.cpp WebEngineRenderer.h
  XmpMetadata.cpp XmpMetadata.h
)
target_include_directories(tessaly_mailconverter PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(tessaly_mailconverter
  PUBLIC tessaly_mime tessaly_platform tessaly_support tessaly_options Qt6::Gui Qt6::WebEngineCore
  PkgConfig::QPDF)
if(TARGET tessaly_attachments)
  target_link_libraries(tessaly_mailconverter PUBLIC tessaly_attachments)
endif()
