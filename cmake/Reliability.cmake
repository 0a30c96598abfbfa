# Builds that look for faults. Qt and the system libraries stay as they are.
option(AUDITLOG_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(AUDITLOG_FUZZ "Build the libFuzzer targets of tests/fuzz (needs clang)" OFF)

# Every target of ours, the companion library included, gets the sanitizers.
# UBSan findings stop the run like ASan's.
if(AUDITLOG_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# The fuzz targets need every parser built with coverage for libFuzzer, and with
# ASan/UBSan so that a memory fault stops the run too.
if(AUDITLOG_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "AUDITLOG_FUZZ needs clang (CXX=clang++ CC=clang)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_subdirectory(tests/fuzz)
endif()
