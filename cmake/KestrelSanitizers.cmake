# KESTREL_SANITIZE: empty, "address,undefined" or "thread". Applied to every target
# of the tree so that the core, the tests and the programs agree on one runtime.
set(KESTREL_SANITIZE "" CACHE STRING "Sanitizers to build with")
if(KESTREL_SANITIZE)
  add_compile_options(-fsanitize=${KESTREL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${KESTREL_SANITIZE})
endif()

# libFuzzer needs clang; with other compilers the fuzz targets are built with a
# replay driver that runs them over their seed corpus.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(KESTREL_LIBFUZZER ON)
else()
  set(KESTREL_LIBFUZZER OFF)
endif()
