# Test data of the JPEG picture tests: committed files in jpeg_data/ and the fuzzer's
# corpus in fuzz/corpus/, which the corpus test replays.
foreach(jpeg_test jpeg_image_test jpeg_corpus_test picture_registry_test)
    if(TARGET ${jpeg_test})
        target_compile_definitions(${jpeg_test} PRIVATE
            JPEG_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/jpeg_data"
            JPEG_FUZZ_CORPUS_DIR="${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus")
    endif()
endforeach()
