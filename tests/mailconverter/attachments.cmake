tessaly_add_test(tessaly_attachments_tests
  SOURCES
    AttachmentEmbedderTest.cpp
    AttachmentFolderWriterTest.cpp
    AttachmentNamesTest.cpp
    AttachmentTestFiles.h
    TnefReaderTest.cpp
    UuencodeExtractorTest.cpp
  LIBRARIES tessaly_attachments)
