# Settings every Tessaly target shares, through the INTERFACE target tessaly_options.
add_library(tessaly_options INTERFACE)
target_compile_features(tessaly_options INTERFACE cxx_std_20)
# Every include is written from the repository root: "support/Result.h".
target_include_directories(tessaly_options INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_definitions(tessaly_options INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  POINTERHOLDER_TRANSITION=4
  TESSALY_VERSION="${TESSALY_VERSION_TEXT}")
if(MSVC)
  target_compile_options(tessaly_options INTERFACE /W4 /utf-8 /permissive- /Zc:__cplusplus)
  target_compile_definitions(tessaly_options INTERFACE NOMINMAX UNICODE _UNICODE)
else()
  target_compile_options(tessaly_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor -Wconversion)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 reports a false overlapping memcpy inside std::string wherever it inlines an
    # ordinary "text" + std::to_string(n) (GCC bugs 105329 and 105651).
    target_compile_options(tessaly_options INTERFACE -Wno-restrict)
  endif()
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    # Clang's -Wconversion also takes in signed/unsigned mixing, which GCC's leaves out for C++;
    # both compilers then check the same narrowing.
    target_compile_options(tessaly_options INTERFACE -Wno-sign-conversion)
  endif()
endif()

# Built as a parser of hostile input should be, with the flags Debian's dpkg-buildflags gives for
# hardening=+all. Windows gets none of them: mingw-w64 would need libssp for the stack protector
# and for _FORTIFY_SOURCE, and PE files have neither RELRO nor the same PIE.
if(NOT WIN32 AND NOT MSVC)
  include(CheckPIESupported)
  check_pie_supported(LANGUAGES CXX)
  set_property(TARGET tessaly_options PROPERTY INTERFACE_POSITION_INDEPENDENT_CODE ON)
  set(protection -fstack-protector-strong -fstack-clash-protection)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i.86)$")
    list(APPEND protection -fcf-protection) # Intel CET: x86 only
  endif()
  target_compile_options(tessaly_options INTERFACE ${protection} -Wformat -Werror=format-security)
  if(NOT TESSALY_SANITIZE AND NOT TESSALY_FUZZ)
    # Checked copies need the optimiser; AddressSanitizer checks every access instead, and
    # better without the fortified functions in its way.
    target_compile_options(tessaly_options INTERFACE
      $<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE$<SEMICOLON>-D_FORTIFY_SOURCE=2>)
  endif()
  if(NOT APPLE)
    target_link_options(tessaly_options INTERFACE LINKER:-z,relro,-z,now)
  endif()
endif()

if(TESSALY_ASSERTIONS)
  # The standard library checks indexes and preconditions: the test builds find out-of-range
  # access that would otherwise go unnoticed.
  target_compile_definitions(tessaly_options INTERFACE _GLIBCXX_ASSERTIONS)
endif()

if(TESSALY_WERROR)
  target_compile_options(tessaly_options INTERFACE $<IF:$<CXX_COMPILER_ID:MSVC>,/WX,-Werror>)
endif()

if(TESSALY_SANITIZE)
  target_compile_options(tessaly_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(tessaly_options INTERFACE -fsanitize=address,undefined)
endif()

if(TESSALY_FUZZ)
  # Coverage for libFuzzer in every library; the fuzz targets themselves link the fuzzer's main.
  target_compile_options(tessaly_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_link_options(tessaly_options INTERFACE -fsanitize=address,undefined)
endif()
