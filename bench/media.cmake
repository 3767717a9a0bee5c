# The live view's media path: decoding, colour conversion against libswscale, and the
# delays from a packet's arrival to its picture or sound being ready.
find_package(PkgConfig REQUIRED)
pkg_check_modules(KESTREL_BENCH_SWSCALE REQUIRED IMPORTED_TARGET libswscale)
# The encoded clips come from the tests' helper; built here too when tests are off.
if(NOT TARGET kestrel_media_clips)
  add_library(kestrel_media_clips STATIC ${PROJECT_SOURCE_DIR}/tests/support/media_clips.cpp)
  target_include_directories(kestrel_media_clips PUBLIC ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(kestrel_media_clips PUBLIC kestrel_media_decode)
  kestrel_set_warnings(kestrel_media_clips)
endif()

kestrel_add_bench(video_pipeline ${CMAKE_CURRENT_SOURCE_DIR}/video_pipeline.cpp)
target_link_libraries(video_pipeline PRIVATE kestrel_media_clips PkgConfig::KESTREL_BENCH_SWSCALE)
kestrel_add_bench(audio_pipeline ${CMAKE_CURRENT_SOURCE_DIR}/audio_pipeline.cpp)
target_link_libraries(audio_pipeline PRIVATE kestrel_media_clips)

# The stream client on a simulated 1080p30 camera (a plain program that prints its numbers).
add_executable(bench_stream_client ${CMAKE_CURRENT_LIST_DIR}/stream_client.cpp)
target_link_libraries(bench_stream_client PRIVATE kestrel_media kestrel_devsim)
kestrel_set_warnings(bench_stream_client)
