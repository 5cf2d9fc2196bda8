foreach(jpeg_test jpeg_image_test jpeg_corpus_test)
    if(NOT TARGET ${jpeg_test})
        continue()
    endif()
    target_compile_definitions(${jpeg_test} PRIVATE
        JPEG_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/jpeg_data"
        JPEG_FUZZ_CORPUS_DIR="${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus")
endforeach()
target_sources(jpeg_corpus_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/jpeg_fuzzer.cpp)
