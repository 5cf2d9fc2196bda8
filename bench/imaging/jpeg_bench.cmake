# The JPEG decode benchmark reads the committed 480 x 480 colour test picture.
if(TARGET jpeg_decode_bench)
    target_compile_definitions(jpeg_decode_bench PRIVATE
        JPEG_BENCH_FILE="${PROJECT_SOURCE_DIR}/tests/imaging/jpeg_data/color_480.jpg")
endif()
