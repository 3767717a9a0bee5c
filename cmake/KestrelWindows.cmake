# The Windows build: the DLLs the programs load go beside them (the build's bin folder,
# the installed bin folder and so the zip), and CPack makes a zip.
if(NOT WIN32)
  return()
endif()

file(GLOB kestrel_third_party_dlls "${KESTREL_WINDOWS_DEPS}/bin/*.dll")
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
                OUTPUT_VARIABLE kestrel_winpthread OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT EXISTS "${kestrel_winpthread}")
  message(FATAL_ERROR "libwinpthread-1.dll not found beside ${CMAKE_CXX_COMPILER}")
endif()
set(KESTREL_RUNTIME_DLLS ${kestrel_third_party_dlls} ${kestrel_winpthread})
file(COPY ${KESTREL_RUNTIME_DLLS} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
install(FILES ${KESTREL_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR})
