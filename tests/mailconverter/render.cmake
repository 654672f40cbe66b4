# One executable for everything that renders, so that Qt WebEngine starts once per run.
add_executable(render_tests
  RenderTestMain.cpp
  PdfProbe.cpp PdfProbe.h
  ScriptSamples.h
  PdfFinisherTest.cpp
  PdfMailConverterTest.cpp
  SourceEmbeddingTest.cpp
  TextDocumentRendererTest.cpp
  WebEngineRendererTest.cpp
)
target_link_libraries(render_tests PRIVATE tessaly_options tessaly_mailconverter GTest::gtest)
add_test(NAME render_tests COMMAND render_tests)
set_tests_properties(render_tests PROPERTIES
  TIMEOUT 600
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1")
