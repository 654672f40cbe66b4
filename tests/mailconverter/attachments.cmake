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

# The converter's attachment options end to end; renders, so it runs in a Qt application of its own.
if(TARGET tessaly_mailconverter)
  add_executable(converter_attachments_tests ConverterAttachmentsTest.cpp AttachmentTestFiles.h)
  target_link_libraries(converter_attachments_tests PRIVATE tessaly_options tessaly_test_support tessaly_mailconverter GTest::gtest)
  add_test(NAME converter_attachments_tests COMMAND converter_attachments_tests)
  set_tests_properties(converter_attachments_tests PROPERTIES
    TIMEOUT 600
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1")
endif()
