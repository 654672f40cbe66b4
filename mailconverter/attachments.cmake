# tessaly_attachments: safe names, TNEF and uuencode, embedding attachments in the PDF (qpdf)
# and saving them beside it, and the converter's attachment step built from those. No Qt, so
# it builds with sanitizers.
add_library(tessaly_attachments STATIC
  AttachmentEmbedder.cpp AttachmentEmbedder.h
  AttachmentFile.h
  AttachmentFolderWriter.cpp AttachmentFolderWriter.h
  AttachmentNames.cpp AttachmentNames.h
  MessageAttachments.cpp MessageAttachments.h
  TnefReader.cpp TnefReader.h
  UuencodeExtractor.cpp UuencodeExtractor.h
)
target_include_directories(tessaly_attachments PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(tessaly_attachments
  PUBLIC tessaly_options tessaly_support tessaly_mime PkgConfig::QPDF)
set_target_properties(tessaly_attachments PROPERTIES AUTOMOC OFF)
