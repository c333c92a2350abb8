# flashgrab's image decoders: the bitmap tags (JPEG with its tables and alpha, PNG/GIF, lossless)
# and the video stream codecs (through libavcodec). Included by flashgrab/CMakeLists.txt.
add_library(flashgrab_decoders STATIC
  ${CMAKE_CURRENT_LIST_DIR}/bitmap_decode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jpeg_decode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/av_library.cpp
  ${CMAKE_CURRENT_LIST_DIR}/av_picture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/h263_deblock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video_decode.cpp)
target_include_directories(flashgrab_decoders PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(flashgrab_decoders PRIVATE ${TORVANE_WARNINGS})
target_include_directories(flashgrab_decoders SYSTEM PRIVATE
                           $<TARGET_PROPERTY:PkgConfig::FLASHGRAB_AV,INTERFACE_INCLUDE_DIRECTORIES>)
target_link_libraries(flashgrab_decoders PUBLIC PkgConfig::FLASHGRAB_DEPS ${CMAKE_DL_LIBS})
