tessaly_add_test(tessaly_attachments_tests
  SOURCES
    AttachmentEmbedderTest.cpp
    AttachmentFolderWriterTest.cpp
    AttachmentNamesTest.cpp
    AttachmentTestFiles.h
    MessageAttachmentsTest.cpp
    TnefReaderTest.cpp
    TnefTestWriter.h
    UuencodeExtractorTest.cpp
  LIBRARIES tessaly_attachments)
